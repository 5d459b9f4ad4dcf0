#include "ImageEffectSupport.h"

#include "effects/ImageLayers.h"
#include "timeline/EffectFactory.h"
#include "timeline/ScriptReader.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// Every image the twelve keywords open, in mid colours so every layer shows.
void writeEveryImage(const TempDir& run) {
    const char* jpegs[] = {
        "data/pic.jpg",
        "data/zoomer/zoomer1.jpg",
        "data/zoomer/zoomer2.jpg",
        "data/zoomer/bg.jpg",
        "data/zoomer/bg1.jpg",
        "data/zoomer/zoomer2-old.jpg",
        "data/solaris/solaris1.jpg",
        "data/solaris/solaris2.jpg",
        "data/solaris/it.jpg",
        "data/strobo/twist.jpg",
        "data/strobo/bg.jpg",
        "data/strobo/text.jpg",
        "data/sky/clouds.jpg",
        "data/sky/landskab1.jpg",
        "data/sky/landskab1_add.jpg",
        "data/colorbox/colorbox1.jpg",
        "data/colorbox/colorbox2.jpg",
        "data/colorbox/star.jpg",
        "data/mirok/brum/pastelmand.jpg",
        "data/mirok/brum/stjern1.jpg",
    };
    for (const char* path : jpegs)
        writeSolid(run, path, {120, 160, 200, 255});
    const char* pngs[] = {"data/mirok/prikker/prik1.png", "data/mirok/prikker/prik2.png",
                          "data/mirok/prikker/prik3.png", "data/mirok/prikker/prik4.png",
                          "data/mirok/brum/brum.png"};
    for (const char* path : pngs)
        writeSolid(run, path, {200, 120, 60, 180});
}

struct ScriptFile {
    FILE* file;
    explicit ScriptFile(const std::string& path) : file(std::fopen(path.c_str(), "r")) {}
    ~ScriptFile() {
        if (file)
            std::fclose(file);
    }
};

} // namespace

class ImageEffectKeywords : public GlFixture {};

TEST_F(ImageEffectKeywords, EveryKeywordBuildsFromItsEntryAndHandsOnACleanState) {
    writeEveryImage(temp);
    ScopedWorkingDirectory inRunDirectory(temp.path());
    writeTextFile(temp.file("entries.txt"), "AlphaBlendImage\n1000\n61000\ndata/pic.jpg\n"
                                            "# a comment between lines\nBEATBACK\n"
                                            "FlashWhite\n1000\n61000\n"
                                            "Overlays\n1000\n61000\n"
                                            "Zoomba\n1000\n61000\n"
                                            "Zoombb\n1000\n61000\n"
                                            "Solaris\n1000\n61000\n"
                                            "Stroboskop\n1000\n61000\n"
                                            "Tunnel\n1000\n61000\n"
                                            "ColorBox\n1000\n61000\n"
                                            "Prikker\n1000\n61000\n"
                                            "Brum\n1000\n61000\n"
                                            "EndDemo\n1000\n61000\n");
    ScriptFile script(temp.file("entries.txt"));
    ASSERT_NE(script.file, nullptr);
    std::vector<std::pair<std::string, std::unique_ptr<Effekt>>> effects;
    while (!scriptAtEnd(script.file)) {
        const std::string keyword = readScriptLine(script.file);
        const int start = readScriptNumber(script.file);
        const int end = readScriptNumber(script.file);
        std::unique_ptr<Effekt> effect = makeEffect(keyword, start, end, script.file);
        ASSERT_NE(effect, nullptr) << keyword;
        EXPECT_EQ(effect->startTime, 1000u);
        EXPECT_EQ(effect->endTime, 61000u);
        expectCleanState(keyword.c_str());
        effects.emplace_back(keyword, std::move(effect));
    }
    ASSERT_EQ(effects.size(), 12u);
    const auto& layer = dynamic_cast<const Effekter::AlphaBlendImage&>(*effects[0].second);
    EXPECT_EQ(layer.mode, Effekter::AlphaBlendImage::BEATBACK);
    EXPECT_EQ(layer.name, "data/pic.jpg");

    for (auto& [keyword, effect] : effects) {
        if (keyword == "EndDemo")
            continue;
        for (uint32_t time : {1001u, 21000u, 50000u, 60999u})
            for (float beat : {0.0f, 0.3f, 1.0f}) {
                clearFrame();
                effect->draw(time, beat);
                const std::string where = keyword + " at " + std::to_string(time);
                expectCleanState(where.c_str());
                expectScreenPerspective(where.c_str());
                readFrame();
                if (time == 21000 && keyword != "Overlays") {
                    EXPECT_GT(meanBrightness(), 0) << where << " drew nothing";
                }
            }
    }
}
