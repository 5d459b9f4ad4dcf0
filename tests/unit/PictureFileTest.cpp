#include "TestFiles.h"
#include "offline/Screenshot.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

TEST(PictureFile, TheNameChoosesJpegOrPngAndTheOrderTheRedChannel) {
    TempDir folder;
    const struct {
        const char* name;
        FREE_IMAGE_FORMAT format;
        int tolerance;
        PixelOrder order;
    } cases[] = {{"a.png", FIF_PNG, 0, PixelOrder::Bgra},
                 {"b.JPG", FIF_JPEG, 12, PixelOrder::Bgra},
                 {"c.jpeg", FIF_JPEG, 12, PixelOrder::Rgba},
                 {"d.jpg.png", FIF_PNG, 0, PixelOrder::Rgba}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A 16x8 picture, red growing to the right, rows bottom up as OpenGL reads them.
        std::vector<uint8_t> picture(16 * 8 * 4);
        const size_t red = c.order == PixelOrder::Bgra ? 2 : 0;
        for (size_t i = 0; i < picture.size(); i += 4)
            picture[i + red] = uint8_t(i / 4 % 16 * 16);
        const std::string path = folder.file(c.name);
        savePicture(path, picture.data(), 16, 8, c.order);
        EXPECT_EQ(FreeImage_GetFileType(path.c_str(), 0), c.format);
        int width = 0, height = 0;
        const std::vector<Rgba> pixels = readImage(path, width, height);
        ASSERT_EQ(width, 16);
        ASSERT_EQ(height, 8);
        for (int x = 0; x < 16; ++x) {
            EXPECT_LE(std::abs(int(pixels[size_t(x)].r) - x * 16), c.tolerance) << x;
            EXPECT_LE(int(pixels[size_t(x)].b), c.tolerance) << x;
        }
    }
}
