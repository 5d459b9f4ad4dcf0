// Textures from image files: loading them upright, sharing one file's image, refusing sizes no
// picture should have, and uploads.

#include "FoundationFixture.h"

#include "platform/Error.h"
#include "render/Texture.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

// Four quadrants: red top-left, green top-right, blue bottom-left, half-transparent white
// bottom-right.
Rgba quadrantColour(int x, int y, int size) {
    const bool right = x >= size / 2, bottom = y >= size / 2;
    if (!right && !bottom)
        return {255, 0, 0, 255};
    if (right && !bottom)
        return {0, 255, 0, 255};
    if (!right)
        return {0, 0, 255, 255};
    return {255, 255, 255, 128};
}

// The 54 header bytes of a 24-bit BMP claiming width x height, and no pixel.
std::string bmpClaiming(uint32_t width, uint32_t height) {
    std::string bytes(54, '\0');
    auto put32 = [&bytes](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + size_t(i)] = char((value >> (8 * i)) & 0xFF);
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, 54);  // file size
    put32(10, 54); // pixels start
    put32(14, 40); // info header size
    put32(18, width);
    put32(22, height);
    bytes[26] = 1;  // planes
    bytes[28] = 24; // bits per pixel
    return bytes;
}

long peakMemoryKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

TEST_F(Foundation, LoadedImageIsUprightWithChannelsAndAlphaKept) {
    const std::string path = temp.file("quadrants.png");
    writeImage(path, 16, 16, [](int x, int y) { return quadrantColour(x, y, 16); });
    CTextureFreeImage texture;
    texture.load(files().open(path, ShowFileKind::Picture));
    EXPECT_EQ(texture.width(), 16);

    // The texture's level 0, read back: first row must be the picture's top row.
    std::vector<Rgba> level(16 * 16);
    {
        TextureBinding binding(texture);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, level.data());
    }
    EXPECT_EQ(level[0], (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(level[15], (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(level[15 * 16], (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(level[15 * 16 + 15], (Rgba{255, 255, 255, 128}));

    // Drawn under the layer view it appears upright on screen.
    {
        TextureBinding binding(texture);
        glColor4f(1, 1, 1, 1);
        drawFullScreenQuad();
    }
    readFrame();
    EXPECT_TRUE(near(pixel(8, 8), {255, 0, 0, 255}, 8)) << pixel(8, 8);
    EXPECT_TRUE(near(pixel(56, 8), {0, 255, 0, 255}, 8)) << pixel(56, 8);
    EXPECT_TRUE(near(pixel(8, 56), {0, 0, 255, 255}, 8)) << pixel(8, 56);
    expectCleanState("drawing a loaded texture");
}

TEST_F(Foundation, JpegLoadsOpaqueAndMissingFileGivesEmptyTextureWithOneLine) {
    const std::string path = temp.file("plain.jpg");
    writeImage(
        path, 8, 8,
        [](int, int) {
            return Rgba{200, 100, 50, 0};
        },
        false);
    CTextureFreeImage jpeg;
    jpeg.load(files().open(path, ShowFileKind::Picture));
    std::vector<Rgba> level(64);
    {
        TextureBinding binding(jpeg);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, level.data());
    }
    EXPECT_EQ(level[27].a, 255);
    EXPECT_NEAR(level[27].r, 200, 6);
    EXPECT_NEAR(level[27].b, 50, 6);

    StderrCapture capture;
    CTextureFreeImage missing;
    missing.load(files().open(temp.file("nothing-here.png"), ShowFileKind::Picture));
    const std::string output = capture.text();
    EXPECT_NE(output.find("nothing-here.png"), std::string::npos) << output;
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    EXPECT_EQ(missing.width(), 0);
    EXPECT_NE(missing.textureId, 0u);
    expectNoGlError("loading a missing file");
}

TEST_F(Foundation, TexturesOfOneUnchangedFileShareOneNameUntilTheLastUserGoes) {
    const std::string path = temp.file("shared.png");
    const auto solid = [&](Rgba colour) {
        writeImage(path, 8, 8, [&](int, int) { return colour; });
    };
    const auto firstTexel = [](const CTexture& texture) {
        Rgba texel[64];
        TextureBinding binding(texture);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
        return texel[0];
    };
    const size_t before = sharedImageCount();
    solid({255, 0, 0, 255});
    auto first = std::make_unique<CTextureFreeImage>();
    auto second = std::make_unique<CTextureFreeImage>();
    first->load(files().open(path, ShowFileKind::Picture));
    second->load(files().open(temp.path().string() + "/./shared.png",
                              ShowFileKind::Picture)); // another spelling of the same file
    EXPECT_EQ(first->textureId, second->textureId);
    EXPECT_EQ(sharedImageCount(), before + 1);
    const GLuint shared = first->textureId;

    // An upload gives that texture a name of its own and leaves the shared image alone.
    CTextureFreeImage uploaded;
    uploaded.load(files().open(path, ShowFileKind::Picture));
    const unsigned char green[4] = {0, 255, 0, 255};
    uploaded.upload(green, 1, 1, false, GL_RGBA, true);
    EXPECT_NE(uploaded.textureId, shared);
    EXPECT_EQ(firstTexel(*second), (Rgba{255, 0, 0, 255}));

    // A file changed on disk is decoded anew; the old image stays with those holding it.
    solid({0, 0, 255, 255});
    CTextureFreeImage changed;
    changed.load(files().open(path, ShowFileKind::Picture));
    EXPECT_NE(changed.textureId, shared);
    EXPECT_EQ(firstTexel(changed), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(sharedImageCount(), before + 2);

    first.reset();
    EXPECT_TRUE(glIsTexture(shared));
    EXPECT_EQ(firstTexel(*second), (Rgba{255, 0, 0, 255}));
    second.reset();
    EXPECT_FALSE(glIsTexture(shared)) << "the last user deletes the shared name";
    EXPECT_EQ(sharedImageCount(), before + 1);
    expectNoGlError("sharing textures");
}

TEST_F(Foundation, ImagesClaimingAHugeSizeAreRefusedBeforeAnyPixelIsDecoded) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* size;
    };
    const Case cases[] = {
        {"huge.png", pngClaiming(40000, 40000), "40000x40000"},
        {"vast.png", pngClaiming(100000, 100000), "100000x100000"},
        {"huge.bmp", bmpClaiming(40000, 40000), "40000x40000"},
    };
    for (const Case& c : cases) {
        const std::string path = temp.file(c.name);
        writeTextFile(path, c.bytes);
        const long peakBefore = peakMemoryKilobytes();
        StderrCapture capture;
        CTextureFreeImage texture;
        texture.load(files().open(path, ShowFileKind::Picture));
        EXPECT_EQ(capture.text(), "Unable to read image " + path + "\nImage " + path +
                                      " has an unusable size " + c.size + "\n");
        EXPECT_EQ(texture.width(), 0) << c.name;
        EXPECT_LT(peakMemoryKilobytes() - peakBefore, 100 * 1024) << c.name;
    }
    expectNoGlError("refusing huge images");
}

TEST_F(Foundation, UploadRejectsUnknownFormatAndSetsWrapMode) {
    CTexture texture;
    const unsigned char pixels[16] = {};
    EXPECT_THROW(
        {
            try {
                texture.upload(pixels, 2, 2, false, GL_LUMINANCE, true);
            } catch (const ShowError& error) {
                EXPECT_STREQ(error.what(), "Unknown pixeldepth");
                throw;
            }
        },
        ShowError);
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);

    texture.upload(pixels, 2, 2, true, GL_RGBA, true);
    GLint wrapS = 0, wrapT = 0;
    {
        TextureBinding binding(texture);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    }
    EXPECT_EQ(wrapS, GL_MIRRORED_REPEAT);
    EXPECT_EQ(wrapT, GL_MIRRORED_REPEAT);
    expectNoGlError("upload");
}
