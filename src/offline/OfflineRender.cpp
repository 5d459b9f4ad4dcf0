#include "offline/OfflineRender.h"

#include "audio/MusicStream.h"
#include "encode/ShowEncoder.h"
#include "offline/EntryProfile.h"
#include "offline/FramePipeline.h"
#include "offline/LeadIn.h"
#include "offline/RenderPlan.h"
#include "offline/Screenshot.h"
#include "platform/Error.h"
#include "platform/StopSignals.h"
#include "render/GLState.h"
#include "render/RenderTarget.h"
#include "render/Screen.h"
#include "timeline/Show.h"
#include "timeline/ShowFrame.h"

extern "C" {
#include <libavutil/log.h>
}

#include <SDL2/SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double>(end - start).count();
}

const char* const endOfShow = "End of show";
// Two of each: the drawing runs ahead of the writer by at most four frames. Each is a frame in
// memory (3.7 MB at 1280x720); the writer needs a third of a frame's drawing time for its work.
constexpr int pixelBuffersInFlight = 2;
constexpr int framesQueuedForWriter = 2;
constexpr double progressInterval = 0.25;
constexpr double rateAfterSeconds = 1.0;

} // namespace

void chooseOfflineVideoDriver() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland))
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
}

// --- The framebuffer that stands for the window ---------------------------------------------

OffscreenWindow::OffscreenWindow(int width, int height) : width_(width), height_(height) {
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &largest);
    if (width > largest || height > largest)
        raise("This OpenGL draws off screen at most %dx%d pixels, not %dx%d", largest, largest,
              width, height);
    glGenRenderbuffersEXT(1, &colour_);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, colour_);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, width, height);
    glGenRenderbuffersEXT(1, &depth_);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth_);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    glGenFramebuffersEXT(1, &framebuffer_);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT,
                                 colour_);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                 depth_);
    if (glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glDeleteFramebuffersEXT(1, &framebuffer_);
        glDeleteRenderbuffersEXT(1, &colour_);
        glDeleteRenderbuffersEXT(1, &depth_);
        raise("No off-screen framebuffer of %dx%d pixels", width, height);
    }
    glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
    screen_.emplace(Screen{width, height, framebuffer_});
    glViewport(0, 0, width, height);
}

OffscreenWindow::~OffscreenWindow() {
    screen_.reset();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &framebuffer_);
    glDeleteRenderbuffersEXT(1, &colour_);
    glDeleteRenderbuffersEXT(1, &depth_);
}

void OffscreenWindow::read(uint8_t* destination, GLenum order) const {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
    glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width_, height_, order, GL_UNSIGNED_BYTE, destination);
}

bool drawOfflineFrame(MusicStream& music, Show& show, uint64_t sample, EntryTimer* timer) {
    throwIfStopped("Render interrupted");
    music.setPosition(int64_t(sample));
    if (timer)
        timer->clear();
    else
        clearFrame();
    try {
        drawMusicFrame(music, show, timer);
    } catch (const ShowEnded&) {
        bindScreenFramebuffer(); // the effect may have stopped in the middle of its drawing
        return false;
    }
    return true;
}

bool drawWarmupFrame(MusicStream& music, Show& show, uint64_t sample) {
    const bool going = drawOfflineFrame(music, show, sample);
    glFinish();
    return going;
}

namespace {

// --- Asynchronous read-back -----------------------------------------------------------------

// Pixel buffer objects in a ring: a frame's pixels are copied into one while the next frames are
// drawn, and mapped only when the ring comes round to it again.
class PixelReadback {
public:
    PixelReadback(const OffscreenWindow& target, int depth) : target_(target) {
        if (!GLEW_VERSION_2_1 && !GLEW_ARB_pixel_buffer_object)
            return; // every read is done at once
        buffers_.resize(size_t(depth));
        glGenBuffers(depth, buffers_.data());
        for (GLuint buffer : buffers_) {
            glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
            glBufferData(GL_PIXEL_PACK_BUFFER, GLsizeiptr(target.frameBytes()), nullptr,
                         GL_STREAM_READ);
        }
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    }
    ~PixelReadback() {
        if (!buffers_.empty())
            glDeleteBuffers(GLsizei(buffers_.size()), buffers_.data());
    }
    PixelReadback(const PixelReadback&) = delete;
    PixelReadback& operator=(const PixelReadback&) = delete;

    bool asynchronous() const { return !buffers_.empty(); }
    bool full() const { return inFlight_ == buffers_.size(); }
    bool empty() const { return inFlight_ == 0; }

    // Starts copying the frame just drawn.
    void start() {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers_[(first_ + inFlight_) % buffers_.size()]);
        target_.read(nullptr, GL_RGBA);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        ++inFlight_;
    }
    // Hands over the oldest frame started.
    void finishOldest(uint8_t* destination) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers_[first_]);
        const void* pixels = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
        if (!pixels) {
            glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
            raise("Unable to read the rendered picture back");
        }
        std::memcpy(destination, pixels, target_.frameBytes());
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        first_ = (first_ + 1) % buffers_.size();
        --inFlight_;
    }

private:
    const OffscreenWindow& target_;
    std::vector<GLuint> buffers_;
    size_t first_ = 0;
    size_t inFlight_ = 0;
};

// --- Outputs --------------------------------------------------------------------------------

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

// --- Progress and timings -------------------------------------------------------------------

struct Timings {
    double leadIn = 0; // the frames before the first kept one
    double drawing = 0;
    double readingBack = 0;
};

class Progress {
public:
    explicit Progress(uint64_t total)
        : total_(total), start_(Clock::now()), last_(start_), keptStart_(start_) {}
    // Ends the progress line also when an error cuts the render short, so the message that
    // follows starts on a line of its own.
    ~Progress() {
        if (printed_)
            std::fputs("\n", stderr);
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void warmingUp(uint64_t done, uint64_t total) {
        if (!due())
            return;
        printed_ = true;
        std::fprintf(stderr, "\rlead-in %llu/%llu        ", (unsigned long long)done,
                     (unsigned long long)total);
    }
    // The first kept frame starts now (after the lead-in).
    void startKeeping() { keptStart_ = Clock::now(); }
    void kept(uint64_t done) {
        if (!due() && done != total_)
            return;
        printed_ = true;
        const double elapsed = secondsBetween(keptStart_, Clock::now());
        // A rate over a moment says nothing: it shows after the first second.
        const std::string rate =
            elapsed >= rateAfterSeconds ? rateAndTimeLeft(done, total_, elapsed) : std::string();
        std::fprintf(stderr, "\rframe %llu/%llu  %3.0f%%%s   ", (unsigned long long)done,
                     (unsigned long long)total_, 100.0 * double(done) / double(total_),
                     rate.c_str());
    }
    void end() {
        if (printed_)
            std::fputs("\n", stderr);
        printed_ = false;
    }
    double seconds() const { return secondsBetween(start_, Clock::now()); }

private:
    bool due() {
        const auto now = Clock::now();
        if (secondsBetween(last_, now) < progressInterval)
            return false;
        last_ = now;
        return true;
    }

    uint64_t total_;
    Clock::time_point start_, last_, keptStart_;
    bool printed_ = false;
};

void printSummary(const RenderPlan& plan, uint64_t kept, double seconds, const Timings& timings,
                  const FramePipeline& pipeline, const FrameSink& sink) {
    const double perKept = kept > 0 ? 1000.0 / double(kept) : 0;
    std::fprintf(stderr,
                 "Rendered %llu frames (%.3f s of show at %d fps) in %.2f s: %.1f frames per "
                 "second\n",
                 (unsigned long long)kept, double(kept) / plan.fps, plan.fps, seconds,
                 seconds > 0 ? double(kept) / seconds : 0.0);
    if (plan.historyFrames > 0)
        std::fprintf(stderr,
                     "Lead-in: %llu frames from the show's start (the last %llu drawn in full) "
                     "in %.2f s\n",
                     (unsigned long long)plan.historyFrames, (unsigned long long)plan.warmupFrames,
                     timings.leadIn);
    std::fprintf(stderr,
                 "Per frame: drawing %.2f ms, reading back %.2f ms, waiting for the writer "
                 "%.2f ms; writing %.2f ms on its own thread\n",
                 timings.drawing * perKept, timings.readingBack * perKept,
                 pipeline.waitSeconds() * perKept, pipeline.consumerSeconds() * perKept);
    std::fprintf(stderr, "Wrote %s\n", sink.describe().c_str());
}

} // namespace

MusicStretch musicOfSpan(const MusicStream& music, const RenderPlan& plan) {
    const uint64_t length = music.lengthFrames();
    const uint64_t first = std::min(length, plan.fromSample);
    return {&music.samples(), first, std::min(length - first, plan.audioSamples())};
}

std::unique_ptr<FrameSink> openFrameSink(const RenderRequest& request, int width, int height) {
    av_log_set_level(AV_LOG_ERROR);
    if (!request.framesFolder.empty())
        return std::make_unique<PictureSink>(request.framesFolder, width, height);
    return std::make_unique<VideoSink>(request.videoFile,
                                       VideoFormat{width, height, request.fps, request.quality,
                                                   request.preset, request.segment == 0});
}

namespace {

// Gives back the music that no frame of the plan reads.
void keepPlannedMusic(MusicStream& music, const RenderPlan& plan) {
    const uint64_t lastFrame = plan.sampleOfFrame(int64_t(plan.frameCount) - 1);
    music.keepOnly(plan.sampleOfFrame(-int64_t(plan.historyFrames)),
                   std::max(lastFrame, plan.fromSample + plan.audioSamples()));
}

RenderPlan planOf(const RenderRequest& request, const MusicStream& music, uint32_t offset,
                  std::optional<uint32_t> showEnd) {
    std::string problem;
    const std::optional<RenderPlan> planned =
        planRender({offset, music.lengthFrames(), request.from, request.to, request.warmup,
                    request.fps, std::max(1, request.segment), std::max(1, request.segmentCount)},
                   problem, showEnd);
    if (!planned)
        throw ShowError(problem);
    if (planned->endsWithMusic)
        std::fprintf(stderr,
                     "--to %u is past the end of the music, which is %.3f seconds long: "
                     "the render ends with the music\n",
                     *request.to, double(music.lengthFrames()) / musicSampleRate);
    return *planned;
}

} // namespace

RenderPlan renderShow(const RenderRequest& request, Show& show, OffscreenWindow& target,
                      FrameSink& sink, RenderObserver* observer) {
    MusicStream music(show.music().samples(), MusicOutput::Manual);
    RenderPlan plan = planOf(request, music, show.startOffset(), show.endTime());
    if (request.segment > 0)
        std::fprintf(stderr, "%s\n",
                     segmentSpanLine(plan, request.segment, request.segmentCount).c_str());
    if (observer)
        observer->planned(plan);
    plan.warmupFrames = fullLeadInFrames(plan, show);
    keepPlannedMusic(music, plan);
    sink.setAudio(musicOfSpan(music, plan));

    glClearColor(0, 0, 0, 0);
    FramePipeline pipeline(target.frameBytes(), framesQueuedForWriter,
                           [&sink](const uint8_t* frame) { sink.write(frame); });
    PixelReadback readback(target, pixelBuffersInFlight);
    Progress progress(plan.frameCount);
    Timings timings;
    uint64_t kept = 0;
    auto handOver = [&](bool oldestInFlight) {
        uint8_t* frame = pipeline.acquire();
        const auto start = Clock::now();
        if (oldestInFlight)
            readback.finishOldest(frame);
        else
            target.read(frame, GL_RGBA);
        timings.readingBack += secondsBetween(start, Clock::now());
        pipeline.submit(frame);
        progress.kept(++kept);
        if (observer)
            observer->kept(kept);
    };

    const auto leadInStart = Clock::now();
    bool showEnded = !drawLeadIn(
        plan, music, show, [&](uint64_t done, uint64_t total) { progress.warmingUp(done, total); });
    timings.leadIn = secondsBetween(leadInStart, Clock::now());
    progress.startKeeping();
    for (int64_t index = 0; index < int64_t(plan.frameCount) && !showEnded; ++index) {
        const auto start = Clock::now();
        showEnded = !drawOfflineFrame(music, show, plan.sampleOfFrame(index));
        if (request.verbose)
            glFinish();
        timings.drawing += secondsBetween(start, Clock::now());
        if (showEnded)
            break;
        if (!readback.asynchronous()) {
            handOver(false);
            continue;
        }
        if (readback.full())
            handOver(true);
        const auto readStart = Clock::now();
        readback.start();
        timings.readingBack += secondsBetween(readStart, Clock::now());
    }
    while (!readback.empty())
        handOver(true);
    pipeline.drain();
    progress.end();
    if (kept == 0)
        raise("The show ended (%s) before the first frame to keep", endOfShow);
    sink.finish();
    printSummary(plan, kept, progress.seconds(), timings, pipeline, sink);
    return plan;
}

void renderShot(uint32_t time, const RenderRequest& request, Show& show, OffscreenWindow& target,
                const std::string& pictureFile) {
    MusicStream music(show.music().samples(), MusicOutput::Manual);
    const uint32_t offset = show.startOffset();
    std::string problem;
    std::optional<RenderPlan> plan = planShot(
        {offset, music.lengthFrames(), time, std::nullopt, request.warmup, request.fps}, problem);
    if (!plan)
        throw ShowError(problem);
    plan->warmupFrames = fullLeadInFrames(*plan, show);
    keepPlannedMusic(music, *plan);
    glClearColor(0, 0, 0, 0);
    if (!drawLeadIn(*plan, music, show, [](uint64_t, uint64_t) {}) ||
        !drawOfflineFrame(music, show, plan->sampleOfFrame(0)))
        raise("The show ended (%s) before %u", endOfShow, time);
    std::vector<uint8_t> picture(target.frameBytes());
    target.read(picture.data());
    savePicture(pictureFile, picture.data(), target.width(), target.height(), PixelOrder::Bgra);
}

// --- Profile ----------------------------------------------------------------------------------

ProfileFile::ProfileFile(const std::string& path)
    : path_(path), file_(std::fopen(path.c_str(), "wb")) {
    if (!file_)
        raise("Unable to write %s: %s", path.c_str(), std::strerror(errno));
}

ProfileFile::~ProfileFile() { std::fclose(file_); }

void ProfileFile::write(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0)
        raise("Unable to write %s: %s", path_.c_str(), std::strerror(errno));
}

void profileShow(const RenderRequest& request, Show& show, const OffscreenWindow& target,
                 ProfileFile* csv) {
    constexpr uint64_t emptyFramesMeasured = 100;
    MusicStream music(show.music().samples(), MusicOutput::Manual);
    RenderPlan plan = planOf(request, music, show.startOffset(), show.endTime());
    if (request.segment > 0)
        std::fprintf(stderr, "%s\n",
                     segmentSpanLine(plan, request.segment, request.segmentCount).c_str());
    plan.warmupFrames = fullLeadInFrames(plan, show);

    glClearColor(0, 0, 0, 0);
    ProfileReport report;
    report.keywords = show.keywords();
    report.emptyFrame = measureEmptyFrames(emptyFramesMeasured);
    EntryTimer timer(show.effects().size());
    Progress progress(plan.frameCount);
    uint64_t kept = 0;
    double drawingSeconds = 0;
    bool going = drawLeadIn(
        plan, music, show, [&](uint64_t done, uint64_t total) { progress.warmingUp(done, total); });
    progress.startKeeping();
    for (int64_t index = 0; going && index < int64_t(plan.frameCount); ++index) {
        const auto start = Clock::now();
        going = drawOfflineFrame(music, show, plan.sampleOfFrame(index), &timer);
        if (!going)
            break;
        drawingSeconds += secondsBetween(start, Clock::now());
        progress.kept(++kept);
    }
    progress.end();
    if (kept == 0)
        raise("The show ended (%s) before the first frame to keep", endOfShow);
    report.entries = timer.costs();
    report.clears = timer.clears();
    report.heading = formatText(
        "Profile of %llu frames at %dx%d, %d fps, from effect time %u ms: %.1f frames drawn per "
        "second",
        (unsigned long long)kept, target.width(), target.height(), plan.fps,
        effectTimeAt(double(plan.sampleOfFrame(0)) / musicSampleRate, show.startOffset()),
        drawingSeconds > 0 ? double(kept) / drawingSeconds : 0.0);
    std::fputs(report.table().c_str(), stdout);
    std::fflush(stdout);
    if (csv)
        csv->write(report.csv());
}
