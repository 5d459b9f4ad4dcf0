// The files a render in segments keeps beside its segments: the manifest that says what a
// segment holds, and the progress file through which a segment's render reports how far it is.
#include "TestFiles.h"
#include "farm/ProgressFile.h"
#include "farm/SegmentManifest.h"
#include "offline/RenderPlan.h"

#include <gtest/gtest.h>

namespace {

TEST(SegmentManifest, ReadsBackWhatWasWrittenAndRefusesDamage) {
    TempDir folder;
    SegmentManifest written;
    written.show = "abc";
    written.music = "def";
    written.options = "size=64x48 fps=10 from=- to=4500 quality=0 preset=veryfast";
    written.segment = 2;
    written.segments = 3;
    written.firstFrame = 15;
    written.endFrame = 30;
    written.spanFrames = 45;
    written.file = "0123";
    const std::string path = folder.file("s.mp4.manifest");
    writeManifest(path, written);
    std::string problem;
    const std::optional<SegmentManifest> read = readManifest(path, problem);
    ASSERT_TRUE(read) << problem;
    EXPECT_TRUE(read->sameRender(written));
    EXPECT_EQ(read->segment, 2);
    EXPECT_EQ(read->file, "0123");
    // A frame range that is not the segment's share of the span is damage.
    written.endFrame = 31;
    writeManifest(path, written);
    EXPECT_FALSE(readManifest(path, problem));
    EXPECT_NE(problem.find("damaged manifest (" + path + ")"), std::string::npos);
    // Spans near 2^63 with the frames that 64-bit products gave once they wrapped (the first
    // after the last): one too large to count in signed 64 bits, one that is not.
    const uint64_t big = (uint64_t(1) << 63) + 6;
    for (const auto& [span, segment] : {std::pair{big, 2}, std::pair{big - 8, 3}}) {
        written.spanFrames = span;
        written.segment = segment;
        written.firstFrame = span * uint64_t(segment - 1) / 3;
        written.endFrame = span * uint64_t(segment) / 3;
        ASSERT_GT(written.firstFrame, written.endFrame);
        writeManifest(path, written);
        EXPECT_FALSE(readManifest(path, problem)) << span;
        EXPECT_EQ(problem, "has a damaged manifest (" + path + "): frames " +
                               std::to_string(written.firstFrame) + " to " +
                               std::to_string(written.endFrame) + " are not segment " +
                               std::to_string(segment) + " of 3 of a span of " +
                               std::to_string(span) + " frames");
    }
    EXPECT_EQ(segmentFrames(big, 3, 3), std::make_pair(big / 3 * 2 + 1, big)); // no wrap
    EXPECT_FALSE(readManifest(folder.file("none.manifest"), problem));
    EXPECT_NE(problem.find("has no manifest"), std::string::npos);
}

TEST(SegmentProgressFile, ReadsBackWhatWasWrittenAndRefusesAnythingElse) {
    TempDir folder;
    const std::string path = folder.file("segment-2-of-3.progress");
    writeProgressFile(path, {45, 7});
    const std::optional<SegmentProgress> read = readProgressFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->spanFrames, 45u);
    EXPECT_EQ(read->keptFrames, 7u);
    const std::string whole = readFileBytes(path);
    // Cut anywhere: a writer that did not replace the file whole, or one that died while writing.
    for (size_t size = 0; size < whole.size(); ++size) {
        writeTextFile(path, whole.substr(0, size));
        EXPECT_FALSE(readProgressFile(path)) << whole.substr(0, size);
    }
    const std::string heading = "morveldan segment progress\n";
    const std::string refused[] = {
        "morveldan segment progress\r\nspan=45\r\nkept=7\r\nend\r\n",
        "morveldan segment\nspan=45\nkept=7\nend\n",
        std::string("\x7f"
                    "ELF\x02\x01\x00\x00\n",
                    9),
        heading + "kept=7\nspan=45\nend\n",
        heading + "span=45\nkept=7\nend\nend\n",
        heading + "span=45\nkept=46\nend\n",
        heading + "span=0\nkept=0\nend\n",
        heading + "span=-45\nkept=7\nend\n",
        heading + "span=+45\nkept=7\nend\n",
        heading + "span= 45\nkept=7\nend\n",
        heading + "span=45x\nkept=7\nend\n",
        heading + "span=\nkept=7\nend\n",
        heading + "span45\nkept=7\nend\n",
        heading + "spans=45\nkept=7\nend\n",
        heading + "span=45\nkept=7\nEnd\n",
        heading + "span=99999999999999999999\nkept=7\nend\n",
        heading + std::string(1000, '7'),
    };
    for (const std::string& text : refused) {
        writeTextFile(path, text);
        EXPECT_FALSE(readProgressFile(path)) << text;
    }
    writeTextFile(path, heading + "span=18446744073709551615\nkept=18446744073709551615\nend\n");
    EXPECT_TRUE(readProgressFile(path));
    EXPECT_FALSE(readProgressFile(folder.file("none.progress")));
}

} // namespace
