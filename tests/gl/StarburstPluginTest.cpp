// The example plug-in, loaded and drawn the way a script entry does it.
#include "GlFixture.h"
#include "StarburstEntry.h"

#include <cstdio>
#include <memory>

namespace {

class StarburstPlugin : public GlFixture {
protected:
    StarburstPlugin() {
        windowWidth = 96;
        windowHeight = 64;
    }

    std::unique_ptr<Effekter::PluginLoader> load(const char* parameterLines, int32_t start = 0,
                                                 int32_t end = -1) {
        return loadStarburst(context(), parameterLines, start, end, &nextLine);
    }

    int litPixels() const {
        int lit = 0;
        for (int y = 0; y < windowHeight; ++y)
            for (int x = 0; x < windowWidth; ++x) {
                const Rgba c = pixel(x, y);
                lit += c.r + c.g + c.b > 60;
            }
        return lit;
    }

    std::string nextLine;
};

TEST_F(StarburstPlugin, DrawsBeatPulsingRaysAndLeavesTheStateAsFound) {
    // Init reads its ray count, skipping a comment, and leaves the next entry's line.
    auto plugin = load("# rays\n24\nTunnel\n");
    EXPECT_EQ(nextLine, "Tunnel\n");

    GLdouble projectionBefore[16], projectionAfter[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projectionBefore);
    plugin->draw(1500, 0.0f);
    expectCleanState("starburst draw");
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    glGetDoublev(GL_PROJECTION_MATRIX, projectionAfter);
    EXPECT_EQ(std::vector<GLdouble>(projectionBefore, projectionBefore + 16),
              std::vector<GLdouble>(projectionAfter, projectionAfter + 16));
    GLint matrixMode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    EXPECT_EQ(matrixMode, GL_MODELVIEW);

    readFrame();
    const Rgba centre = pixel(windowWidth / 2, windowHeight / 2);
    EXPECT_GT(centre.r + centre.g + centre.b, 600) << centre;
    const int quiet = litPixels();
    EXPECT_GT(quiet, windowWidth * windowHeight / 20);

    clearFrame();
    plugin->draw(1500, 1.0f);
    readFrame();
    EXPECT_GT(litPixels(), quiet * 5 / 4) << "a full beat should push the rays out";
}

TEST_F(StarburstPlugin, EachEntryDrawsItsOwnRaysAndTime) {
    // One library serves both entries; each frame draws the entry whose window holds the time.
    auto first = load("3\n", 1000, 5000);
    auto second = load("360\n", 6000, 9000);
    first->draw(2500, 0.5f);
    readFrame();
    const std::vector<Rgba> threeRays = frame;
    clearFrame();
    second->draw(7500, 0.5f);
    readFrame();
    const std::vector<Rgba> manyRays = frame;

    // A third entry like the first, 1.5 s into its own window, draws the same picture.
    auto third = load("3\n", 10000, 14000);
    clearFrame();
    third->draw(11500, 0.5f);
    readFrame();
    EXPECT_EQ(frame, threeRays);
    EXPECT_NE(frame, manyRays);
}

} // namespace
