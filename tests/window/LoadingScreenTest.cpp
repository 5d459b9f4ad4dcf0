#include "timeline/LoadingScreen.h"
#include "TestFiles.h"
#include "WindowTestSupport.h"
#include "player/RenderWindow.h"
#include "render/GLState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr int width = 64, height = 48;

// The first row from the top, in the middle column of the back buffer, that is more blue than red.
int firstBlueRow() {
    std::vector<Rgba> column(height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int row = 0; row < height; ++row)
        glReadPixels(width / 2, height - 1 - row, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &column[row]);
    for (int row = 0; row < height; ++row)
        if (column[row].b > 128 && column[row].r < 128)
            return row;
    return -1;
}

Rgba backBufferPixel(int x, int rowFromTop) {
    Rgba pixel;
    glReadPixels(x, height - 1 - rowFromTop, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &pixel);
    return pixel;
}

TEST(LoadingScreen, ThePictureRisesUprightByOneStepPerEntry) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no display";
    TempDir run;
    std::filesystem::create_directories(run.path() / "data/overlay");
    writeImage(
        run.file("data/overlay/loader.jpg"), 32, 32,
        [](int, int y) {
            return y < 16 ? Rgba{255, 0, 0, 255} : Rgba{0, 0, 255, 255};
        },
        false);
    ScopedWorkingDirectory inRun(run.path());
    RenderWindow window(smallWindow(width, height));
    ASSERT_NO_THROW(requireOpenGl2());
    setScreenPerspective();
    glEnable(GL_TEXTURE_2D);

    const int total = 4;
    ShowFiles files{FileReach::Anywhere};
    LoadingScreen loading(window, files, total);
    // The picture's middle (red above, blue below) stands at y = progress - 0.5, two units in front
    // of the eye under the 40 degree view.
    const double halfView = 2 * std::tan(20 * M_PI / 180);
    for (int entry = 0; entry < total; ++entry) {
        loading.drawFrame();
        const double middle = double(entry) / total - 0.5;
        const double expectedRow = (halfView - middle) / (2 * halfView) * height;
        EXPECT_NEAR(firstBlueRow(), expectedRow, 1.5) << "entry " << entry;
        const Rgba top = backBufferPixel(width / 2, 0);
        if (entry == 0)
            EXPECT_TRUE(top.r < 30 && top.b < 30) << "the first picture starts below the top";
        else
            EXPECT_GT(top.r, 200) << "entry " << entry;
        loading.presentFrame();
        EXPECT_EQ(loading.shown(), entry + 1);
    }
    GLint texture = -1, depth = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(texture, 0);
    EXPECT_EQ(depth, 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

} // namespace
