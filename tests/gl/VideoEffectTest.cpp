#include "GlFixture.h"

#include "effects/Video.h"
#include "encode/VideoWriter.h"
#include "platform/Error.h"

#include <memory>
#include <vector>

namespace {

// Shaders that show their input unchanged, so pixels can be predicted.
const char* const passVideo = "uniform sampler2D t; uniform float time; uniform float beat;\n"
                              "uniform int idx;\n"
                              "void main() { gl_FragColor = texture2D(t, gl_TexCoord[0].st)\n"
                              "  + 0.0 * vec4(time + beat + float(idx)); }\n";
const char* const passDistort = "uniform sampler2D t; uniform float time; uniform float beat;\n"
                                "void main() { gl_FragColor = texture2D(t, gl_TexCoord[0].st)\n"
                                "  + 0.0 * vec4(time + beat); }\n";
// Red while idx is 3, green otherwise.
const char* const idxVideo = "uniform float time; uniform float beat; uniform int idx;\n"
                             "void main() { gl_FragColor = idx == 3 ? vec4(1.0, 0.0, 0.0, 1.0)\n"
                             "  : vec4(0.0, 1.0, 0.0, 1.0) + 0.0 * vec4(time + beat); }\n";

} // namespace

class VideoEffect : public GlFixture {
protected:
    void SetUp() override {
        GlFixture::SetUp();
        if (IsSkipped())
            return;
        writeTextFile(temp.file("data/mirok/video/video.fs"), passVideo);
        writeTextFile(temp.file("data/mirok/video/distort.fs"), passDistort);
        writeFrameImage(false);
        writeSolidVideo(255, 0, 0);
        enterFolder(temp.path());
    }

    void writeSolidVideo(uint8_t r, uint8_t g, uint8_t b) {
        MjpegAviWriter writer(temp.file("data/mirok/video/Video.avi"), 64, 48, 25);
        std::vector<uint8_t> rgb(64 * 48 * 3);
        for (size_t i = 0; i < rgb.size(); i += 3) {
            rgb[i] = r;
            rgb[i + 1] = g;
            rgb[i + 2] = b;
        }
        for (int n = 0; n < 10; ++n)
            writer.addFrame(rgb.data());
    }
    // Black leaves the picture alone; with whiteTop the upper half is white.
    void writeFrameImage(bool whiteTop) {
        writeImage(temp.file("data/mirok/video/frame.png"), 32, 32, [&](int, int y) {
            const uint8_t v = whiteTop && y < 16 ? 255 : 0;
            return Rgba{v, v, v, 255};
        });
    }
};

TEST_F(VideoEffect, RefreshesOnlyAfterMoreThanTwentyMillisecondsAndAtOnceAfterASeekBack) {
    Effekter::Video video(context(), 0, 100000);
    video.draw(20, 0);
    EXPECT_EQ(video.refreshCount(), 0) << "20 ms after the start is not yet due";
    video.draw(1030, 0);
    EXPECT_EQ(video.refreshCount(), 1);
    video.draw(1045, 0.5f);
    video.draw(1050, 1.0f);
    EXPECT_EQ(video.refreshCount(), 1) << "20 ms or less after the last refresh";
    video.draw(1051, 0);
    EXPECT_EQ(video.refreshCount(), 2);
    video.draw(500, 0);
    EXPECT_EQ(video.refreshCount(), 3) << "a backward seek refreshes at once";
    expectCleanState("video draws");
}

TEST_F(VideoEffect, ShowsTheVideoWithTheFrameImageLaidOver) {
    Effekter::Video plain(context(), 0, 100000);
    plain.draw(1000, 0);
    readFrame();
    EXPECT_TRUE(near(pixel(32, 32), {255, 0, 0, 255}, 12)) << pixel(32, 32);

    writeFrameImage(true);
    Effekter::Video framed(context(), 0, 100000);
    clearFrame();
    framed.draw(1000, 0);
    readFrame();
    EXPECT_TRUE(near(pixel(32, 4), {255, 255, 255, 255}, 12)) << "top " << pixel(32, 4);
    EXPECT_TRUE(near(pixel(32, 60), {255, 0, 0, 255}, 12)) << "bottom " << pixel(32, 60);
    expectCleanState("framed video");
}

TEST_F(VideoEffect, TwoVideosShareTheFrameImageButNotTheVideoTexture) {
    const size_t before = sharedImageCount();
    auto first = std::make_unique<Effekter::Video>(context(), 0, 100000);
    Effekter::Video second(context(), 0, 100000);
    EXPECT_EQ(sharedImageCount(), before + 1) << "only the frame image is shared";
    first->draw(1000, 0);
    first.reset();
    clearFrame();
    second.draw(1000, 0);
    readFrame();
    EXPECT_TRUE(near(pixel(32, 32), {255, 0, 0, 255}, 12)) << pixel(32, 32);
    expectCleanState("second video");
}

TEST_F(VideoEffect, FilterChoiceReachesTheShaderAtTheNextRefresh) {
    writeTextFile("data/mirok/video/video.fs", idxVideo);
    Effekter::Video video(context(), 0, 100000);
    video.filterEffect = 3;
    video.draw(1000, 0);
    readFrame();
    EXPECT_TRUE(near(pixel(32, 32), {255, 0, 0, 255}, 12)) << pixel(32, 32);
    expectCleanState("filtered video");
}

TEST_F(VideoEffect, RegistersItsFilterAndReportsBadVideos) {
    {
        Effekter::Video video(context(), 0, 1000);
        EXPECT_EQ(video.name, "Video");
        TweakRegistry tweaks;
        video.registerTweaks(tweaks);
        const TweakVariable* filter = tweaks.find("Filter effect");
        ASSERT_NE(filter, nullptr);
        EXPECT_EQ(filter->address, &video.filterEffect);
    }
    writeTextFile("data/mirok/video/Video.avi", "not a video");
    try {
        Effekter::Video broken(context(), 0, 1000);
        ADD_FAILURE() << "a broken video was accepted";
    } catch (const ShowError& error) {
        EXPECT_STREQ(error.what(), "Error reading AVI");
    }
    expectCleanState("failed construction");
}

TEST_F(VideoEffect, CommittedShadersDrawEveryFilter) {
    copySourceData(temp.path(), "data/mirok/video/video.fs");
    copySourceData(temp.path(), "data/mirok/video/distort.fs");
    Effekter::Video video(context(), 0, 100000);
    uint32_t time = 1000;
    for (int filter = 0; filter <= 5; ++filter) {
        video.filterEffect = filter;
        time += 40;
        clearFrame();
        video.draw(time, filter % 2 ? 1.0f : 0.0f);
        readFrame();
        EXPECT_GT(meanBrightness(), 20) << "filter " << filter << " drew nothing";
        expectCleanState("committed shaders");
    }
}
