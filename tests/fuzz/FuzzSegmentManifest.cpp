// Fuzz target of the segment manifest reader: any file reads without a crash or a hang, is refused
// with a reason naming it or gives frames that are the segment's share of its span, and a manifest
// that was read writes out to one that reads back the same.

#include "farm/SegmentManifest.h"
#include "offline/RenderPlan.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

const std::string folder = "/tmp/fuzz-manifest-" + std::to_string(getpid());

bool same(const SegmentManifest& a, const SegmentManifest& b) {
    return a.sameRender(b) && a.segment == b.segment && a.firstFrame == b.firstFrame &&
           a.endFrame == b.endFrame && a.file == b.file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = folder + ".manifest", again = folder + "-again.manifest";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    check(file && std::fwrite(data, 1, size, file) == size);
    std::fclose(file);

    std::string problem;
    const std::optional<SegmentManifest> read = readManifest(path, problem);
    if (!read) {
        check(problem.find(path) != std::string::npos);
        return 0;
    }
    check(read->segment >= 1 && read->segment <= read->segments);
    check(read->firstFrame < read->endFrame && read->endFrame <= read->spanFrames);
    check(read->spanFrames <= uint64_t(INT64_MAX));
    check(std::make_pair(read->firstFrame, read->endFrame) ==
          segmentFrames(read->spanFrames, read->segment, read->segments));
    writeManifest(again, *read);
    const std::optional<SegmentManifest> back = readManifest(again, problem);
    check(back && same(*read, *back));
    std::remove(again.c_str());
    return 0;
}
