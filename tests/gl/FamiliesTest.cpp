// The table of effect families against what the effects do: every row names the data files its
// effect reads, and a family of a test's own is one row, read from a script and drawn by the frame
// function like any other.
#include "GlFixture.h"
#include "TestShow.h"
#include "audio/MusicStream.h"
#include "platform/Error.h"
#include "timeline/ShowFrame.h"

#include <set>
#include <string>

namespace {

class Families : public GlFixture {};

TEST_F(Families, EveryRowNamesTheFilesItsEffectReads) {
    for (const EffectFamily& family : effectFamilies()) {
        if (!family.extraLines.empty())
            continue; // the files it reads are its script lines'
        const std::string keyword(family.keyword);
        testing::internal::CaptureStderr();
        const TestShow show = makeTestShow(keyword + "\n0\n1000\n");
        testing::internal::GetCapturedStderr();
        std::set<std::string> read;
        for (const std::string& file : show.show->files())
            if (file != showScriptPath && file != "data/demo.tracks")
                read.insert(file);
        EXPECT_EQ(read, std::set<std::string>(family.files.begin(), family.files.end())) << keyword;
    }
}

// Fills the picture with red.
class Block : public Effekt {
public:
    using Effekt::Effekt;
    void draw(uint32_t, float) override {
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0, 0, 0, 0);
    }
};

TEST_F(Families, AFamilyOfATestsOwnIsOneRow) {
    EXPECT_THROW(makeTestShow("Block\n0\n-1\n"), ShowError) << "no such keyword without the row";
    TestShow show = makeTestShow("Block\n0\n-1\n", {testFamily<Block>("Block")});
    ASSERT_EQ(show->keywords(), std::vector<std::string>{"Block"});
    MusicStream silence(std::vector<float>(size_t(musicSampleRate) * 2), MusicOutput::Manual);
    silence.setPositionSeconds(0.5); // effect time 500: the entry is active
    clearFrame();
    drawMusicFrame(silence, *show);
    readFrame();
    EXPECT_EQ(pixel(32, 32), (Rgba{255, 0, 0, 255}));
    expectNoGlError("a test's family");
}

} // namespace
