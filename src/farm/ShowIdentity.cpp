#include "farm/ShowIdentity.h"

#include "media/Checksum.h"
#include "platform/Error.h"
#include "timeline/Show.h"

#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

// The files that make the show: everything in data/ and plugins/, and any other file a line of
// the script names, in a fixed order.
std::set<std::string> showFiles(FileReach reach) {
    std::error_code noFolder;
    const fs::path folder = fs::canonical(fs::current_path(noFolder), noFolder);
    const auto readable = [&](const std::string& file) {
        return !showFileRefusal(file, ShowFileKind::Video, reach, folder);
    };
    std::set<std::string> files;
    for (const char* folder : {"data", "plugins"}) {
        std::error_code error;
        if (!fs::is_directory(folder, error))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(folder, error))
            if (entry.is_regular_file(error) && readable(entry.path().string()))
                files.insert(entry.path().lexically_normal().string());
    }
    std::ifstream script(showScriptPath);
    std::string line;
    while (std::getline(script, line)) {
        std::error_code error;
        if (!line.empty() && line.size() < 4096 && fs::is_regular_file(line, error) &&
            readable(line))
            files.insert(fs::path(line).lexically_normal().string());
    }
    return files;
}

std::string spanEndText(const std::optional<uint32_t>& time) {
    return time ? std::to_string(*time) : "-";
}

} // namespace

ShowIdentity identifyShow(FileReach reach) {
    const ScriptHeader start = readShowHeader(reach);
    Checksum show;
    for (const std::string& file : showFiles(reach)) {
        show.add(file);
        show.add(std::string_view("\0", 1));
        show.add(fileChecksum(file));
    }
    std::error_code error;
    const std::string music =
        fs::is_regular_file(start.musicFile, error) ? fileChecksum(start.musicFile) : "none";
    show.add(music);
    return {show.hex(), music};
}

std::string renderOptionsText(const RenderRequest& request, int width, int height) {
    return formatText("size=%dx%d fps=%d from=%s to=%s quality=%d preset=%s", width, height,
                      request.fps, spanEndText(request.from).c_str(),
                      spanEndText(request.to).c_str(), request.quality, request.preset.c_str());
}

SegmentManifest manifestOf(const ShowIdentity& identity, const RenderRequest& request, int width,
                           int height, const RenderPlan& plan) {
    SegmentManifest m;
    m.show = identity.show;
    m.music = identity.music;
    m.options = renderOptionsText(request, width, height);
    m.segment = request.segment;
    m.segments = request.segmentCount;
    m.firstFrame = uint64_t(plan.firstFrame);
    m.endFrame = m.firstFrame + plan.frameCount;
    m.spanFrames = plan.spanFrames;
    m.file = fileChecksum(request.videoFile);
    return m;
}
