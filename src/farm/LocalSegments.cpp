#include "farm/LocalSegments.h"

#include "audio/MusicStream.h"
#include "farm/ProgressFile.h"
#include "farm/SegmentJoin.h"
#include "farm/SegmentManifest.h"
#include "farm/ShowIdentity.h"
#include "media/Checksum.h"
#include "offline/RenderPlan.h"
#include "platform/ChildProcess.h"
#include "platform/Error.h"
#include "platform/StopSignals.h"
#include "timeline/Show.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <thread>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

struct LocalSegment {
    int number = 0; // from 1
    std::string file;
    std::string log;
    std::string progressFile;
    uint64_t frames = 0;     // its share of the span
    uint64_t keptFrames = 0; // of them, while it renders
    std::unique_ptr<ChildProgram> child;
    bool finished = false;
};

std::vector<std::string> segmentArguments(const RenderRequest& r, int width, int height,
                                          const std::string& program, const LocalSegment& segment) {
    std::vector<std::string> words = {
        program,     fs::current_path().string(),
        "--render",  segment.file,
        "--segment", formatText("%d/%d", segment.number, r.localSegments),
        "--size",    formatText("%dx%d", width, height),
        "--fps",     std::to_string(r.fps),
        "--quality", std::to_string(r.quality),
        "--preset",  r.preset,
        "--warmup",  std::to_string(r.warmup)};
    if (r.from) {
        words.push_back("--from");
        words.push_back(std::to_string(*r.from));
    }
    if (r.to) {
        words.push_back("--to");
        words.push_back(std::to_string(*r.to));
    }
    words.insert(words.end(), r.showOptions.begin(), r.showOptions.end());
    return words;
}

// Starts the segment's render as a child process, its messages going to its log and its progress
// to its progress file (an earlier run's removed first).
void startSegment(LocalSegment& segment, const std::vector<std::string>& arguments) {
    std::error_code error;
    fs::remove(segment.progressFile, error);
    segment.keptFrames = 0;
    segment.child = std::make_unique<ChildProgram>(
        arguments, segment.log,
        std::vector<std::string>{std::string(progressFileVariable) + "=" + segment.progressFile});
}

std::string lastLineOf(const std::string& log) {
    std::ifstream in(log);
    std::string line, last;
    while (std::getline(in, line)) {
        const size_t carriage = line.rfind('\r');
        if (carriage != std::string::npos)
            line = line.substr(carriage + 1);
        if (!line.empty())
            last = line;
    }
    return last;
}

// The manifest of a segment finished by an earlier run, when it still belongs to this render.
std::optional<SegmentManifest> finishedEarlier(const LocalSegment& segment,
                                               const SegmentManifest& wanted) {
    std::error_code error;
    if (!fs::is_regular_file(segment.file, error))
        return std::nullopt;
    std::string problem;
    std::optional<SegmentManifest> manifest = readManifest(manifestPathOf(segment.file), problem);
    if (manifest && manifest->sameShowAndOptions(wanted) && manifest->segment == segment.number &&
        fileChecksum(segment.file) == manifest->file)
        return manifest;
    return std::nullopt;
}

// The line on standard error that shows how far the whole render is.
class ProgressLine {
public:
    ProgressLine(uint64_t total, uint64_t keptFrames)
        : total_(total), kept_(keptFrames), start_(Clock::now()) {}
    ~ProgressLine() {
        if (printed_)
            std::fputs("\n", stderr);
    }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void setTotal(uint64_t total, uint64_t keptFrames) {
        total_ = total;
        kept_ = keptFrames;
    }

    // Before any segment has said how long the span is.
    void showStarting(int finished, int segments) {
        printed_ = true;
        std::fprintf(stderr, "\rsegments %d/%d  starting   ", finished, segments);
        std::fflush(stderr);
    }

    void show(uint64_t done, int finished, int segments) {
        printed_ = true;
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        const uint64_t doneHere = done - kept_;
        std::string rate;
        // A rate over a moment or a handful of frames says nothing.
        if (seconds >= 2.0 && doneHere >= 10)
            rate = rateAndTimeLeft(doneHere, total_ - kept_, seconds);
        std::fprintf(stderr, "\rsegments %d/%d  frame %llu/%llu  %3.0f%%%s   ", finished, segments,
                     (unsigned long long)done, (unsigned long long)total_,
                     100.0 * double(done) / double(total_), rate.c_str());
        std::fflush(stderr);
    }

private:
    uint64_t total_, kept_;
    Clock::time_point start_;
    bool printed_ = false;
};

// Asks every running segment to end, then waits for them all.
void stopChildren(std::vector<LocalSegment>& segments) {
    for (LocalSegment& segment : segments)
        if (segment.child)
            segment.child->stop();
    for (LocalSegment& segment : segments)
        segment.child.reset();
}

// Gives every segment its share of a span of `spanFrames`; returns the frames of those not in
// `toRender` (finished before this run).
uint64_t shareSpan(std::vector<LocalSegment>& segments, uint64_t spanFrames,
                   const std::vector<int>& toRender) {
    uint64_t kept = 0;
    const int count = int(segments.size());
    for (LocalSegment& segment : segments) {
        const auto [first, end] = segmentFrames(spanFrames, segment.number, count);
        segment.frames = end - first;
        if (std::find(toRender.begin(), toRender.end(), segment.number) == toRender.end())
            kept += segment.frames;
    }
    return kept;
}

// The span a finished segment's manifest gives (where the end-of-show entry ends it).
std::optional<uint64_t> spanOf(const LocalSegment& segment) {
    std::string problem;
    const std::optional<SegmentManifest> manifest =
        readManifest(manifestPathOf(segment.file), problem);
    return manifest ? std::optional<uint64_t>(manifest->spanFrames) : std::nullopt;
}

// Renders the segments numbered in `toRender`, request.jobs at a time, showing the progress of
// the whole render. On any failure or stop signal the running ones are stopped.
void runSegments(std::vector<LocalSegment>& segments, const std::vector<int>& toRender,
                 const RenderRequest& request, int width, int height, const std::string& program,
                 uint64_t spanFrames, uint64_t keptFrames, bool spanKnown) {
    const int count = int(segments.size());
    ProgressLine progress(spanFrames, keptFrames);
    const auto learnSpan = [&](uint64_t span) {
        progress.setTotal(span, shareSpan(segments, span, toRender));
        spanFrames = span;
        spanKnown = true;
    };
    size_t next = 0;
    int running = 0;
    int finished = count - int(toRender.size());
    try {
        while (finished < count) {
            if (stopSignal())
                throw Interrupted(stopSignal(), "Render interrupted");
            while (running < request.jobs && next < toRender.size()) {
                LocalSegment& segment = segments[size_t(toRender[next++] - 1)];
                startSegment(segment, segmentArguments(request, width, height, program, segment));
                ++running;
            }
            uint64_t done = 0;
            for (LocalSegment& segment : segments) {
                if (!segment.child) {
                    done += segment.finished ? segment.frames : 0;
                    continue;
                }
                if (const std::optional<int> status = segment.child->exitStatus()) {
                    segment.child.reset();
                    --running;
                    if (*status != 0)
                        raise("Segment %d/%d failed (see %s): %s", segment.number, count,
                              segment.log.c_str(), lastLineOf(segment.log).c_str());
                    segment.finished = true;
                    ++finished;
                    if (const std::optional<uint64_t> span = spanOf(segment))
                        learnSpan(*span);
                    done += segment.frames;
                    continue;
                }
                if (const std::optional<SegmentProgress> seen =
                        readProgressFile(segment.progressFile)) {
                    if (!spanKnown)
                        learnSpan(seen->spanFrames);
                    segment.keptFrames = seen->keptFrames;
                }
                done += std::min(segment.frames, segment.keptFrames);
            }
            if (spanKnown)
                progress.show(std::min(done, spanFrames), finished, count);
            else
                progress.showStarting(finished, count);
            if (finished < count)
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
    } catch (...) {
        stopChildren(segments);
        throw;
    }
}

std::string listed(const std::vector<int>& numbers) {
    std::string text;
    for (int number : numbers)
        text += (text.empty() ? "" : ", ") + std::to_string(number);
    return text.empty() ? std::string("none") : text;
}

} // namespace

void renderInSegments(const RenderRequest& request, int width, int height,
                      const std::string& program) {
    const int count = request.localSegments;
    const std::string work = request.videoFile + ".segments";
    std::error_code error;
    fs::create_directories(work, error);
    if (error || !fs::is_directory(work))
        raise("Unable to make the work folder %s: %s", work.c_str(),
              error ? error.message().c_str() : "not a folder");

    const ShowIdentity identity = identifyShow(request.reach);
    const ScriptHeader start = readShowHeader(request.reach);
    MusicStream music(start.musicFile, MusicOutput::Manual, false);
    std::string problem;
    // An estimate: the segments' manifests say where the end-of-show entry ends the span.
    const std::optional<RenderPlan> plan =
        planRender({uint32_t(start.startOffset), music.lengthFrames(), request.from, request.to, 0,
                    request.fps, 1, count},
                   problem, UINT32_MAX - 1);
    if (!plan)
        throw ShowError(problem);
    SegmentManifest wanted;
    wanted.show = identity.show;
    wanted.music = identity.music;
    wanted.options = renderOptionsText(request, width, height);
    wanted.segments = count;

    std::vector<LocalSegment> segments(static_cast<size_t>(count));
    std::vector<int> kept, toRender;
    uint64_t spanFrames = plan->spanFrames;
    for (int k = 1; k <= count; ++k) {
        LocalSegment& segment = segments[size_t(k - 1)];
        segment.number = k;
        const std::string stem =
            (fs::path(work) / formatText("segment-%d-of-%d", k, count)).string();
        segment.file = stem + ".mp4";
        segment.log = stem + ".log";
        segment.progressFile = stem + ".progress";
        const std::optional<SegmentManifest> earlier = finishedEarlier(segment, wanted);
        segment.finished = earlier.has_value();
        (segment.finished ? kept : toRender).push_back(k);
        if (earlier) // it knows where the end-of-show entry ends the span
            spanFrames = earlier->spanFrames;
    }
    std::fprintf(stderr, "Segments in %s: kept %s; rendering %s\n", work.c_str(),
                 listed(kept).c_str(), listed(toRender).c_str());

    const uint64_t keptFrames = shareSpan(segments, spanFrames, toRender);
    runSegments(segments, toRender, request, width, height, program, spanFrames, keptFrames,
                !kept.empty());
    std::vector<std::string> files;
    for (const LocalSegment& segment : segments)
        files.push_back(segment.file);
    joinSegments(request.videoFile, files, request.reach);
    // The segments, their manifests, logs and progress files go; anything else (the task and join
    // logs of a farm render finished here) stays, and the folder with it.
    for (const LocalSegment& segment : segments)
        for (const std::string& file :
             {segment.file, manifestPathOf(segment.file), segment.log, segment.progressFile})
            fs::remove(file, error);
    fs::remove(work, error);
}
