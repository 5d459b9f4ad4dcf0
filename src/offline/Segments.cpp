#include "offline/Segments.h"

#include "audio/MusicStream.h"
#include "encode/ShowEncoder.h"
#include "offline/OfflineRender.h"
#include "media/Checksum.h"
#include "platform/Error.h"
#include "media/FFmpegHandles.h"
#include "platform/FileBytes.h"
#include "platform/StopSignals.h"
#include "timeline/ScriptLoader.h"
#include "timeline/ScriptReader.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr const char* scriptFile = "data/demo.txt";

struct ScriptStart {
    std::string musicFile;
    uint32_t startOffset = 0;
};

ScriptStart readScriptStart() {
    std::string bytes;
    bool tooLarge = false;
    if (!ScriptText::readFile(scriptFile, bytes, tooLarge))
        raise("Unable to load %s", scriptFile);
    const ScriptText script(scriptFile, bytes);
    LoadReport report(scriptFile, nullptr);
    ScriptHeader header;
    if (!readScriptHeader(script, report, header))
        raise("Unable to load %s", scriptFile);
    return {header.musicFile, static_cast<uint32_t>(header.startOffset)};
}

// The files that make the show: everything in data/ and plugins/, and any other file a line of
// the script names, in a fixed order.
std::set<std::string> showFiles() {
    std::set<std::string> files;
    for (const char* folder : {"data", "plugins"}) {
        std::error_code error;
        if (!fs::is_directory(folder, error))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(folder, error))
            if (entry.is_regular_file(error))
                files.insert(entry.path().lexically_normal().string());
    }
    std::ifstream script(scriptFile);
    std::string line;
    while (std::getline(script, line)) {
        std::error_code error;
        if (!line.empty() && line.size() < 4096 && fs::is_regular_file(line, error))
            files.insert(fs::path(line).lexically_normal().string());
    }
    return files;
}

std::string spanEndText(const std::optional<uint32_t>& time) {
    return time ? std::to_string(*time) : "-";
}

} // namespace

std::string segmentSpanLine(const RenderPlan& plan, int segment, int segments) {
    return formatText("segment %d/%d: frames %llu to %llu of a span of %llu frames", segment,
                      segments, (unsigned long long)plan.firstFrame,
                      (unsigned long long)(uint64_t(plan.firstFrame) + plan.frameCount),
                      (unsigned long long)plan.spanFrames);
}

std::optional<uint64_t> spanInSegmentLog(const std::string& logText) {
    const size_t at = logText.find(" of a span of ");
    unsigned long long span = 0;
    if (at == std::string::npos ||
        std::sscanf(logText.c_str() + at, " of a span of %llu frames", &span) != 1)
        return std::nullopt;
    return span;
}

ShowIdentity identifyShow() {
    const ScriptStart start = readScriptStart();
    Checksum show;
    for (const std::string& file : showFiles()) {
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

// --- The join ---------------------------------------------------------------------------------

namespace {

struct Segment {
    std::string file;
    SegmentManifest manifest;
};

// Reads and checks every segment against its manifest and the others; in segment order.
std::vector<Segment> checkedSegments(const std::vector<std::string>& files) {
    std::vector<Segment> segments;
    for (const std::string& file : files) {
        std::error_code error;
        if (!fs::is_regular_file(file, error))
            raise("Segment %s does not exist", file.c_str());
        std::string problem;
        const std::optional<SegmentManifest> manifest = readManifest(manifestPathOf(file), problem);
        if (!manifest)
            raise("Segment %s %s", file.c_str(), problem.c_str());
        if (fileChecksum(file) != manifest->file)
            raise("Segment %s is damaged: its checksum differs from its manifest's", file.c_str());
        const Segment* first = segments.empty() ? nullptr : &segments.front();
        if (first &&
            (manifest->show != first->manifest.show || manifest->music != first->manifest.music))
            raise("Segment %s belongs to another show than segment %s", file.c_str(),
                  first->file.c_str());
        if (first && !manifest->sameRender(first->manifest))
            raise("Segment %s belongs to another render than segment %s (%s, %d segments; not "
                  "%s, %d segments)",
                  file.c_str(), first->file.c_str(), manifest->options.c_str(), manifest->segments,
                  first->manifest.options.c_str(), first->manifest.segments);
        for (const Segment& earlier : segments)
            if (earlier.manifest.segment == manifest->segment)
                raise("Segment %s doubles segment %s (both are segment %d/%d)", file.c_str(),
                      earlier.file.c_str(), manifest->segment, manifest->segments);
        segments.push_back({file, *manifest});
    }
    if (segments.empty())
        raise("--join needs the segment files");
    std::sort(segments.begin(), segments.end(), [](const Segment& a, const Segment& b) {
        return a.manifest.segment < b.manifest.segment;
    });
    const int count = segments.front().manifest.segments;
    for (int k = 1; k <= count; ++k)
        if (size_t(k) > segments.size() || segments[size_t(k - 1)].manifest.segment != k)
            raise("Segment %d/%d is missing", k, count);
    return segments;
}

// The options of a segment's manifest, back as a request.
RenderRequest requestOf(const std::string& options, int& width, int& height) {
    RenderRequest request;
    char from[32] = {}, to[32] = {}, preset[32] = {};
    if (std::sscanf(options.c_str(), "size=%dx%d fps=%d from=%31s to=%31s quality=%d preset=%31s",
                    &width, &height, &request.fps, from, to, &request.quality, preset) != 7)
        raise("The segments' options cannot be read: %s", options.c_str());
    if (std::string(from) != "-")
        request.from = uint32_t(std::stoul(from));
    if (std::string(to) != "-")
        request.to = uint32_t(std::stoul(to));
    request.preset = preset;
    return request;
}

} // namespace

void joinSegments(const std::string& output, const std::vector<std::string>& segmentFiles) {
    av_log_set_level(AV_LOG_ERROR);
    const std::vector<Segment> segments = checkedSegments(segmentFiles);
    const SegmentManifest& first = segments.front().manifest;
    const ShowIdentity identity = identifyShow();
    if (identity.show != first.show)
        raise("Segment %s belongs to another show than the one in %s",
              segments.front().file.c_str(), fs::current_path().c_str());
    int width = 0, height = 0;
    const RenderRequest request = requestOf(first.options, width, height);
    const ScriptStart start = readScriptStart();
    MusicStream music(start.musicFile, MusicOutput::Manual);
    std::string problem;
    // The segments know where the show's end-of-show entry ends their span.
    std::optional<RenderPlan> plan = planRender(
        {start.startOffset, music.lengthFrames(), request.from, request.to, 0, request.fps},
        problem, UINT32_MAX - 1);
    if (!plan)
        throw ShowError(problem);
    if (first.spanFrames > plan->spanFrames)
        raise("Segment %s holds a span of %llu frames; the show's is %llu frames",
              segments.front().file.c_str(), (unsigned long long)first.spanFrames,
              (unsigned long long)plan->spanFrames);
    plan->frameCount = plan->spanFrames = first.spanFrames;
    ShowEncoder encoder(output, VideoFormat{width, height, request.fps, request.quality,
                                            request.preset, true, true});
    encoder.setAudio(musicOfSpan(music, *plan));
    for (const Segment& segment : segments) {
        const int64_t frames = encoder.appendVideoOf(segment.file);
        const uint64_t expected = segment.manifest.endFrame - segment.manifest.firstFrame;
        if (uint64_t(frames) != expected)
            raise("Segment %s is damaged: it holds %lld frames, its manifest says %llu",
                  segment.file.c_str(), (long long)frames, (unsigned long long)expected);
    }
    encoder.finish();
    std::fprintf(stderr, "Joined %zu segments (%llu frames) into %s\n", segments.size(),
                 (unsigned long long)first.spanFrames, output.c_str());
}

// --- The local render in segments ---------------------------------------------------------------

namespace {

using Clock = std::chrono::steady_clock;

// A segment's log is looked through for its span line only while it is this small: the line
// comes right after loading.
constexpr size_t maxLogBytesRead = size_t(1) << 20;

struct LocalSegment {
    int number = 0; // from 1
    std::string file;
    std::string log;
    uint64_t frames = 0; // its share of the span
    pid_t child = 0;     // while it renders
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
    return words;
}

// Starts the segment's render as a child process writing its messages to its log.
pid_t startSegment(const std::vector<std::string>& words, const std::string& log) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<char*> arguments;
    for (const std::string& word : words)
        arguments.push_back(const_cast<char*>(word.c_str()));
    arguments.push_back(nullptr);
    pid_t child = 0;
    const int status =
        posix_spawn(&child, words.front().c_str(), &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (status != 0)
        raise("Unable to start %s: %s", words.front().c_str(), std::strerror(status));
    return child;
}

// The frames a running segment has kept so far, from the last progress line in its log.
uint64_t framesDoneIn(const std::string& log) {
    std::ifstream in(log, std::ios::binary | std::ios::ate);
    const std::streamoff size = in.tellg();
    const std::streamoff tail = std::min<std::streamoff>(size, 512);
    if (tail <= 0)
        return 0;
    in.seekg(size - tail);
    std::string text(size_t(tail), '\0');
    in.read(text.data(), tail);
    const size_t at = text.rfind("frame ");
    unsigned long long done = 0;
    if (at != std::string::npos)
        std::sscanf(text.c_str() + at, "frame %llu/", &done);
    return done;
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

class SegmentProgress {
public:
    SegmentProgress(uint64_t total, uint64_t keptFrames)
        : total_(total), kept_(keptFrames), start_(Clock::now()) {}
    ~SegmentProgress() {
        if (printed_)
            std::fputs("\n", stderr);
    }
    SegmentProgress(const SegmentProgress&) = delete;
    SegmentProgress& operator=(const SegmentProgress&) = delete;

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

void stopChildren(std::vector<LocalSegment>& segments) {
    for (LocalSegment& segment : segments)
        if (segment.child > 0)
            kill(segment.child, SIGTERM);
    for (LocalSegment& segment : segments)
        if (segment.child > 0) {
            waitpid(segment.child, nullptr, 0);
            segment.child = 0;
        }
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
    SegmentProgress progress(spanFrames, keptFrames);
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
                segment.child = startSegment(
                    segmentArguments(request, width, height, program, segment), segment.log);
                ++running;
            }
            uint64_t done = 0;
            for (LocalSegment& segment : segments) {
                if (segment.child > 0) {
                    int status = 0;
                    if (waitpid(segment.child, &status, WNOHANG) == segment.child) {
                        segment.child = 0;
                        --running;
                        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
                            raise("Segment %d/%d failed (see %s): %s", segment.number, count,
                                  segment.log.c_str(), lastLineOf(segment.log).c_str());
                        segment.finished = true;
                        ++finished;
                        if (const std::optional<uint64_t> span = spanOf(segment))
                            learnSpan(*span);
                    } else if (std::string log;
                               !spanKnown &&
                               readWholeFile(segment.log, maxLogBytesRead, log) == FileRead::Read) {
                        if (const std::optional<uint64_t> span = spanInSegmentLog(log))
                            learnSpan(*span);
                    }
                }
                done += segment.finished    ? segment.frames
                        : segment.child > 0 ? std::min(segment.frames, framesDoneIn(segment.log))
                                            : 0;
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

    const ShowIdentity identity = identifyShow();
    const ScriptStart start = readScriptStart();
    MusicStream music(start.musicFile, MusicOutput::Manual, false);
    std::string problem;
    // An estimate: the segments' manifests say where the end-of-show entry ends the span.
    const std::optional<RenderPlan> plan =
        planRender({start.startOffset, music.lengthFrames(), request.from, request.to, 0,
                    request.fps, 1, count},
                   problem, UINT32_MAX - 1);
    if (!plan)
        throw ShowError(problem);
    SegmentManifest wanted;
    wanted.show = identity.show;
    wanted.music = identity.music;
    wanted.options = renderOptionsText(request, width, height);
    wanted.segments = count;

    std::vector<LocalSegment> segments(static_cast<size_t>(count), LocalSegment{});
    std::vector<int> kept, toRender;
    uint64_t spanFrames = plan->spanFrames;
    for (int k = 1; k <= count; ++k) {
        LocalSegment& segment = segments[size_t(k - 1)];
        segment.number = k;
        const std::string stem =
            (fs::path(work) / formatText("segment-%d-of-%d", k, count)).string();
        segment.file = stem + ".mp4";
        segment.log = stem + ".log";
        const std::optional<SegmentManifest> earlier = finishedEarlier(segment, wanted);
        segment.finished = earlier.has_value();
        (segment.finished ? kept : toRender).push_back(k);
        if (earlier) // it knows where the end-of-show entry ends the span
            spanFrames = earlier->spanFrames;
    }
    auto listed = [](const std::vector<int>& numbers) {
        std::string text;
        for (int number : numbers)
            text += (text.empty() ? "" : ", ") + std::to_string(number);
        return text.empty() ? std::string("none") : text;
    };
    std::fprintf(stderr, "Segments in %s: kept %s; rendering %s\n", work.c_str(),
                 listed(kept).c_str(), listed(toRender).c_str());

    const uint64_t keptFrames = shareSpan(segments, spanFrames, toRender);
    runSegments(segments, toRender, request, width, height, program, spanFrames, keptFrames,
                !kept.empty());
    std::vector<std::string> files;
    for (const LocalSegment& segment : segments)
        files.push_back(segment.file);
    joinSegments(request.videoFile, files);
    // The segments, their manifests and logs go; anything else (the task and join logs of a farm
    // render finished here) stays, and the folder with it.
    for (const LocalSegment& segment : segments)
        for (const std::string& file : {segment.file, manifestPathOf(segment.file), segment.log})
            fs::remove(file, error);
    fs::remove(work, error);
}
