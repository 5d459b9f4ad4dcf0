#include "farm/SegmentJoin.h"

#include "audio/MusicStream.h"
#include "encode/ShowEncoder.h"
#include "farm/SegmentManifest.h"
#include "farm/ShowIdentity.h"
#include "media/Checksum.h"
#include "media/MediaLog.h"
#include "offline/PlannedMusic.h"
#include "offline/RenderPlan.h"
#include "platform/Error.h"
#include "timeline/Show.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

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

void joinSegments(const std::string& output, const std::vector<std::string>& segmentFiles,
                  FileReach reach) {
    quietMediaLog();
    const std::vector<Segment> segments = checkedSegments(segmentFiles);
    const SegmentManifest& first = segments.front().manifest;
    const ShowIdentity identity = identifyShow(reach);
    if (identity.show != first.show)
        raise("Segment %s belongs to another show than the one in %s",
              segments.front().file.c_str(), fs::current_path().c_str());
    int width = 0, height = 0;
    const RenderRequest request = requestOf(first.options, width, height);
    const ScriptHeader start = readShowHeader(reach);
    MusicStream music(start.musicFile, MusicOutput::Manual);
    std::string problem;
    // The segments know where the show's end-of-show entry ends their span.
    std::optional<RenderPlan> plan = planRender({uint32_t(start.startOffset), music.lengthFrames(),
                                                 request.from, request.to, 0, request.fps},
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
