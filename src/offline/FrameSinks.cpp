#include "offline/FrameSinks.h"

#include "encode/ShowEncoder.h"
#include "media/MediaLog.h"
#include "offline/Screenshot.h"
#include "platform/Error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

class VideoSink : public FrameSink {
public:
    VideoSink(const std::string& path, const VideoFormat& format)
        : path_(path), encoder_(path, format) {}
    void setAudio(const MusicStretch& sound) override { encoder_.setAudio(sound); }
    void write(const uint8_t* frame) override { encoder_.writeFrame(frame); }
    void finish() override { encoder_.finish(); }
    std::string describe() const override { return path_; }

private:
    std::string path_;
    ShowEncoder encoder_;
};

// frame-000000.png, frame-000001.png, ... in the folder; removed again unless finished.
class PictureSink : public FrameSink {
public:
    PictureSink(const std::string& folder, int width, int height)
        : folder_(folder), width_(width), height_(height) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error || !std::filesystem::is_directory(folder))
            raise("Unable to write %s: %s", folder.c_str(),
                  error ? error.message().c_str() : "not a folder");
        // Fail now, not after the timeline has loaded, when nothing can be written there.
        const std::string probe = pathOf(0);
        std::FILE* file = std::fopen(probe.c_str(), "wb");
        if (!file)
            raise("Unable to write %s: %s", probe.c_str(), std::strerror(errno));
        std::fclose(file);
        std::filesystem::remove(probe, error);
    }
    ~PictureSink() override {
        if (finished_)
            return;
        std::error_code ignored;
        for (uint64_t index = 0; index <= written_; ++index)
            std::filesystem::remove(pathOf(index), ignored);
    }
    void write(const uint8_t* frame) override {
        savePicture(pathOf(written_), frame, width_, height_, PixelOrder::Rgba);
        ++written_;
    }
    void finish() override { finished_ = true; }
    std::string describe() const override {
        return (std::filesystem::path(folder_) / "frame-NNNNNN.png").string();
    }

private:
    std::string pathOf(uint64_t index) const {
        return (std::filesystem::path(folder_) /
                formatText("frame-%06llu.png", (unsigned long long)index))
            .string();
    }

    std::string folder_;
    int width_, height_;
    uint64_t written_ = 0;
    bool finished_ = false;
};

} // namespace

std::unique_ptr<FrameSink> openFrameSink(const RenderRequest& request, int width, int height) {
    quietMediaLog();
    if (!request.framesFolder.empty())
        return std::make_unique<PictureSink>(request.framesFolder, width, height);
    return std::make_unique<VideoSink>(request.videoFile,
                                       VideoFormat{width, height, request.fps, request.quality,
                                                   request.preset, request.segment == 0});
}
