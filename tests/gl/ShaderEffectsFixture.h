#pragma once
// The shader effects tests' fixture: a run directory of its own with images of known colours and
// the committed shader sources, which a test may replace with a small probe shader that shows what
// the effect hands its uniforms as colours.

#include "GlFixture.h"

#include "render/GLState.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

constexpr Rgba red{255, 0, 0, 255};
constexpr Rgba green{0, 255, 0, 255};
constexpr Rgba blue{0, 0, 255, 255};
constexpr Rgba white{255, 255, 255, 255};

// Red top-left, green top-right, blue bottom-left, white bottom-right.
inline Rgba quadrant(int x, int y, int size) {
    const bool right = x >= size / 2, bottom = y >= size / 2;
    return bottom ? (right ? white : blue) : (right ? green : red);
}

inline void writePlain(const std::string& path, Rgba colour) {
    writeImage(
        path, 16, 16, [&](int, int) { return colour; }, false);
}

inline void writeQuadrants(const std::string& path) {
    writeImage(
        path, 64, 64, [](int x, int y) { return quadrant(x, y, 64); }, false);
}

inline void writeChequer(const std::string& path) {
    writeImage(
        path, 32, 32,
        [](int x, int y) {
            return ((x / 8 + y / 8) % 2) ? Rgba{230, 230, 230, 255} : Rgba{40, 40, 40, 255};
        },
        false);
}

// A soft round shadow: black with alpha falling off from the middle.
inline void writeShadow(const std::string& path) {
    writeImage(path, 32, 32, [](int x, int y) {
        const double d = std::hypot(x - 15.5, y - 15.5) / 16;
        return Rgba{0, 0, 0, uint8_t(d < 1 ? 255 * (1 - d) : 0)};
    });
}

inline const char* const committedShaders[] = {
    "data/bravelund/tolvik/cube.fs",
    "data/bravelund/tolvik/cube.vs",
    "data/bravelund/walk/cubeshader.fs",
    "data/bravelund/walk/cubeshader.vs",
    "data/bravelund/walk/floorshader.fs",
    "data/bravelund/bounce/cubeshader.fs",
    "data/bravelund/bounce/cubeshader.vs",
    "data/bravelund/bounce/floorshader.fs",
    "data/plasma/effekt2.fs",
    "data/circles/circles.txt",
    "data/bravelund/banger/slider.txt",
    "data/polar.fs",
    "data/bump.fs",
    "data/shaders/ripple.fs",
    "data/shaders/kaleidoscope.fs",
    "data/shaders/glitch.fs",
};

class ShaderEffects : public GlFixture {
protected:
    std::filesystem::path run;

    void SetUp() override {
        GlFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        run = temp.path() / "run";
        writeQuadrants((run / "data/bravelund/tolvik/boks.jpg").string());
        writeChequer((run / "data/bravelund/walk/skak.png").string());
        writeShadow((run / "data/bravelund/walk/skygge.png").string());
        writeChequer((run / "data/bravelund/bounce/skak.png").string());
        writeShadow((run / "data/bravelund/bounce/skygge.png").string());
        writePlain((run / "data/plasma/__water.jpg").string(), {120, 160, 220, 255});
        writePlain((run / "data/circles/__ring.jpg").string(), {200, 120, 60, 255});
        writePlain((run / "data/circles/circles.jpg").string(), {90, 200, 90, 255});
        writePlain((run / "data/circles/text.jpg").string(), white);
        writePlain((run / "data/bravelund/banger/bang.jpg").string(), {0, 0, 100, 255});
        writePlain((run / "data/bravelund/banger/bang1.jpg").string(), {0, 200, 0, 255});
        writePlain((run / "data/housing.jpg").string(), {0, 220, 0, 255});
        writeChequer((run / "data/__grid.jpg").string());
        writeQuadrants((run / "data/pictures/quadrants.png").string());
        for (const char* shader : committedShaders)
            copySourceData(run, shader);
        enterFolder(run);
    }

    // Replaces a shader of the run directory with a probe.
    void writeProbe(const std::string& relativePath, const std::string& source) {
        writeTextFile((run / relativePath).string(), source);
    }

    // Earlier drawing: a red frame. The clear colour is black again afterwards, so an effect that
    // clears leaves black.
    void fillRed() {
        clearFrame(1, 0, 0, 1);
        glClearColor(0, 0, 0, 0);
    }

    // The clean state, plus what every effect of this family leaves: depth test and fog off, the
    // model-view matrix current, identity and unpushed, the screen's viewport and perspective.
    void expectLeftAsFound(const std::string& where) {
        expectCleanState(where.c_str());
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST)) << where;
        EXPECT_FALSE(glIsEnabled(GL_FOG)) << where;
        expectScreenPerspective(where);
    }

    // Colour of the centre pixel of the last frame.
    Rgba centre() const { return pixel(windowWidth / 2, windowHeight / 2); }
};
