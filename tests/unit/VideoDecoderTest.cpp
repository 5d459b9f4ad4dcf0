#include "TestFiles.h"

#include "encode/VideoWriter.h"
#include "media/VideoDecoder.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

// The video as a show's file, which is how the decoder is given one.
ShowFile videoFile(const std::string& path) {
    static ShowFiles files{FileReach::Anywhere};
    return files.open(path, ShowFileKind::Video);
}

using PixelRule = std::function<void(int frame, int x, int y, uint8_t* rgb)>;

void writeVideo(const std::string& path, int width, int height, int frames, const PixelRule& rule) {
    MjpegAviWriter writer(path, width, height, 25);
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (int n = 0; n < frames; ++n) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                rule(n, x, y, &rgb[(size_t(y) * width + x) * 3]);
        writer.addFrame(rgb.data());
    }
    writer.finish();
}

// Each frame is one grey level that names its number.
int greyOf(int frame) { return 20 + 2 * frame; }
void greyFrames(int n, int, int, uint8_t* rgb) { rgb[0] = rgb[1] = rgb[2] = uint8_t(greyOf(n)); }

// The frame number a delivered picture shows, read from its centre pixel.
int frameShown(const uint8_t* bgra) {
    const size_t centre = (size_t(256) * VideoDecoder::frameSide + 256) * 4;
    return (bgra[centre + 1] - 20 + 1) / 2;
}

// What standard error shows when the file is refused: the line before the error's text and the
// text itself.
std::string errorOf(const std::string& path) {
    testing::internal::CaptureStderr();
    try {
        VideoDecoder decoder(videoFile(path));
    } catch (const ShowError& error) {
        return testing::internal::GetCapturedStderr() + error.what();
    }
    return testing::internal::GetCapturedStderr();
}

} // namespace

TEST(VideoDecoder, DeliversTheAskedFrameForwardBackwardAndFarAhead) {
    TempDir temp;
    const std::string path = temp.file("count.avi");
    writeVideo(path, 160, 120, 100, greyFrames);
    VideoDecoder video(videoFile(path));
    ASSERT_EQ(video.frameCount(), 100);
    EXPECT_EQ(video.sourceWidth(), 160);
    EXPECT_EQ(video.sourceHeight(), 120);

    // The effect shows frame truncate(ms / 40) modulo the count.
    EXPECT_EQ(frameShown(video.frame(1000 / 40 % 100)), 25);
    EXPECT_EQ(frameShown(video.frame(4000 / 40 % 100)), 0);
    for (int n : {1, 2, 3, 97, 10, 60, 59, 99, 0, 51})
        EXPECT_EQ(frameShown(video.frame(n)), n) << "asked for frame " << n;
}

TEST(VideoDecoder, SameFrameTwiceIsNotDecodedAgain) {
    TempDir temp;
    const std::string path = temp.file("count.avi");
    writeVideo(path, 64, 48, 30, greyFrames);
    VideoDecoder video(videoFile(path));
    video.frame(7);
    const uint64_t decoded = video.decodedFrames();
    video.frame(7);
    EXPECT_EQ(video.decodedFrames(), decoded);
    video.frame(8);
    EXPECT_EQ(video.decodedFrames(), decoded + 1) << "the next frame should decode forward";
}

TEST(VideoDecoder, OddSizedSourceFillsTheWholeBottomUpBgraPicture) {
    TempDir temp;
    const std::string path = temp.file("odd.avi");
    // Top half red, bottom half blue, 75 x 41 pixels.
    writeVideo(path, 75, 41, 3, [](int, int, int y, uint8_t* rgb) {
        const bool top = y < 20;
        rgb[0] = top ? 255 : 0;
        rgb[1] = 0;
        rgb[2] = top ? 0 : 255;
    });
    VideoDecoder video(videoFile(path));
    const uint8_t* bgra = video.frame(1);
    auto at = [&](int x, int rowInMemory) { return bgra + (size_t(rowInMemory) * 512 + x) * 4; };
    // First row in memory is the picture's bottom row: blue, stored as bytes 255, 0, 0, 255.
    for (int x : {0, 255, 511}) {
        const uint8_t* bottom = at(x, 0);
        EXPECT_GT(bottom[0], 200) << "x " << x;
        EXPECT_LT(bottom[2], 60) << "x " << x;
        EXPECT_EQ(bottom[3], 255);
        const uint8_t* top = at(x, 511);
        EXPECT_LT(top[0], 60) << "x " << x;
        EXPECT_GT(top[2], 200) << "x " << x;
        EXPECT_EQ(top[3], 255);
    }
}

TEST(VideoDecoder, UnreadableFilesRaiseTheReadErrorAfterALineNamingTheFile) {
    TempDir temp;
    writeTextFile(temp.file("garbage.avi"), std::string(4096, 'x'));
    // A truncated header is no better.
    const std::string good = temp.file("good.avi");
    writeVideo(good, 32, 32, 5, greyFrames);
    const std::string bytes = readFileBytes(good);
    writeTextFile(temp.file("cut.avi"), bytes.substr(0, 64));
    for (const char* name : {"missing.avi", "garbage.avi", "cut.avi"})
        EXPECT_EQ(errorOf(temp.file(name)),
                  "Unable to read video " + temp.file(name) + "\nError reading AVI");
}

namespace {

// Real files from Debian packages (installed by tools/setup.sh).
const std::string cockatoo = "/usr/lib/python3/dist-packages/imageio/resources/images/cockatoo.mp4";
const std::string bluePygame = "/usr/share/doc/python-pygame-doc/examples/data/blue.mpg";

// Frame n of the file as the ffmpeg program decodes it from the start, in the decoder's layout.
std::vector<uint8_t> referenceFrame(const std::string& path, int n) {
    const std::string command = "ffmpeg -v error -i '" + path + "' -vf 'select=eq(n\\," +
                                std::to_string(n) +
                                "),scale=512:512:flags=bilinear,vflip' -frames:v 1 -pix_fmt bgra "
                                "-f rawvideo -";
    std::vector<uint8_t> bytes(VideoDecoder::frameBytes);
    FILE* pipe = popen(command.c_str(), "r");
    const size_t read = pipe ? std::fread(bytes.data(), 1, bytes.size(), pipe) : 0;
    if (pipe)
        pclose(pipe);
    EXPECT_EQ(read, bytes.size()) << command;
    return bytes;
}

double meanDifference(const uint8_t* a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < b.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(b.size());
}

} // namespace

// Only frame 0 is an IDR frame; frames 76 and 145 are I-frames the container marks as key frames,
// but decoding cannot start from them.
TEST(VideoDecoder, SeeksInH264WithFalseKeyFramesGiveWholeFrames) {
    VideoDecoder video(videoFile(cockatoo));
    EXPECT_EQ(video.frameCount(), 280);
    EXPECT_EQ(video.damagedFrames(), 0);
    video.frame(80);
    const uint8_t* again = video.frame(78); // behind: a seek
    EXPECT_LT(meanDifference(again, referenceFrame(cockatoo, 78)), 2.0);
}

// An MPEG program stream without any timestamps: every frame is blue, also after a seek back.
TEST(VideoDecoder, FramesWithoutTimestampsAreCounted) {
    VideoDecoder video(videoFile(bluePygame));
    ASSERT_GT(video.frameCount(), 1);
    for (int n : {0, video.frameCount() - 1, 1}) {
        const uint8_t* centre = video.frame(n) + (size_t(256) * 512 + 256) * 4;
        EXPECT_GT(centre[0], 150) << "frame " << n;
        EXPECT_LT(centre[1] + centre[2], 80) << "frame " << n;
    }
}
