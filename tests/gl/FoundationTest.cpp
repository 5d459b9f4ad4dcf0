#include "GlFixture.h"

#include "platform/Error.h"
#include "render/GLState.h"
#include "render/RenderTarget.h"
#include "render/Screen.h"
#include "render/Shader.h"
#include "render/Texture.h"
#include "render/TexturedCube.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/resource.h>

namespace {

// Captures what the code under test writes to standard error.
class StderrCapture {
public:
    StderrCapture() { testing::internal::CaptureStderr(); }
    std::string text() {
        if (!taken_) {
            text_ = testing::internal::GetCapturedStderr();
            taken_ = true;
        }
        return text_;
    }
    ~StderrCapture() { text(); }

private:
    std::string text_;
    bool taken_ = false;
};

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

void appendBigEndian(std::string& bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes += char((value >> shift) & 0xFF);
}

void appendPngChunk(std::string& bytes, const char* type, const std::string& data) {
    appendBigEndian(bytes, uint32_t(data.size()));
    const std::string typed = type + data;
    uint32_t crc = 0xFFFFFFFF;
    for (const char byte : typed) {
        crc ^= uint8_t(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    bytes += typed;
    appendBigEndian(bytes, ~crc);
}

// A few dozen bytes of PNG whose header claims an RGB picture of width x height: an empty
// compressed stream follows, no pixel.
std::string pngClaiming(uint32_t width, uint32_t height) {
    std::string bytes = "\x89PNG\r\n\x1a\n";
    std::string header;
    appendBigEndian(header, width);
    appendBigEndian(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5);
    appendPngChunk(bytes, "IHDR", header);
    appendPngChunk(bytes, "IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8));
    appendPngChunk(bytes, "IEND", "");
    return bytes;
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

void drawFullScreenQuad(float repeat = 1) {
    OrthoView ortho;
    glTranslatef(0, 0, -1);
    Quad(1, 1).draw(repeat, repeat);
}

} // namespace

class Foundation : public GlFixture {};

TEST_F(Foundation, LoadedImageIsUprightWithChannelsAndAlphaKept) {
    const std::string path = temp.file("quadrants.png");
    writeImage(path, 16, 16, [](int x, int y) { return quadrantColour(x, y, 16); });
    CTextureFreeImage texture;
    texture.load(files().open(path));
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
    jpeg.load(files().open(path));
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
    missing.load(files().open(temp.file("nothing-here.png")));
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
    first->load(files().open(path));
    second->load(
        files().open(temp.path().string() + "/./shared.png")); // another spelling of the same file
    EXPECT_EQ(first->textureId, second->textureId);
    EXPECT_EQ(sharedImageCount(), before + 1);
    const GLuint shared = first->textureId;

    // An upload gives that texture a name of its own and leaves the shared image alone.
    CTextureFreeImage uploaded;
    uploaded.load(files().open(path));
    const unsigned char green[4] = {0, 255, 0, 255};
    uploaded.upload(green, 1, 1, false, GL_RGBA, true);
    EXPECT_NE(uploaded.textureId, shared);
    EXPECT_EQ(firstTexel(*second), (Rgba{255, 0, 0, 255}));

    // A file changed on disk is decoded anew; the old image stays with those holding it.
    solid({0, 0, 255, 255});
    CTextureFreeImage changed;
    changed.load(files().open(path));
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
        texture.load(files().open(path));
        EXPECT_EQ(capture.text(), "Unable to read image " + path + "\nImage " + path +
                                      " has an unusable size " + c.size + "\n");
        EXPECT_EQ(texture.width(), 0) << c.name;
        EXPECT_LT(peakMemoryKilobytes() - peakBefore, 100 * 1024) << c.name;
    }
    expectNoGlError("refusing huge images");
}

TEST_F(Foundation, WindowSizesBeyondWhatThisOpenGlDrawsAreRefused) {
    EXPECT_NO_THROW(requireDrawableSize(3840, 2160));
    GLint viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    for (const auto& [width, height] : {std::pair{viewport[0] + 1, 1}, {1, viewport[1] + 1}}) {
        try {
            requireDrawableSize(width, height);
            ADD_FAILURE() << width << "x" << height << " accepted";
        } catch (const ShowError& error) {
            EXPECT_NE(std::string(error.what()).find("This OpenGL draws at most"),
                      std::string::npos);
        }
    }
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

TEST_F(Foundation, QuadFillsTheViewportExactlyAndRepeats) {
    const std::string path = temp.file("checker.png");
    writeImage(path, 2, 2, [](int x, int y) {
        return (x + y) % 2 ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 0, 255};
    });
    clearFrame(1, 0, 1, 1);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0, 1, 0, 1);
    drawFullScreenQuad();
    readFrame();
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(pixel(i, 0), (Rgba{0, 255, 0, 255})) << "top edge at " << i;
        ASSERT_EQ(pixel(i, 63), (Rgba{0, 255, 0, 255})) << "bottom edge at " << i;
        ASSERT_EQ(pixel(0, i), (Rgba{0, 255, 0, 255})) << "left edge at " << i;
        ASSERT_EQ(pixel(63, i), (Rgba{0, 255, 0, 255})) << "right edge at " << i;
    }
    glEnable(GL_TEXTURE_2D);
    expectNoGlError("quad");
}

TEST_F(Foundation, GuardsSwitchTheirCapabilityOffAlsoWhenNestedOrOnError) {
    {
        CTransparency outer(GL_ONE, GL_ONE);
        {
            CTransparency inner(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            EXPECT_TRUE(glIsEnabled(GL_BLEND));
        }
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
    }
    try {
        CEnabler depth(GL_DEPTH_TEST);
        CFog fog(0, 1);
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_TRUE(glIsEnabled(GL_FOG));
        throw ShowError("passing through");
    } catch (const ShowError&) {
    }
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D)) << "fog must not touch other capabilities";
    expectNoGlError("guards");
}

TEST_F(Foundation, PerspectiveAspectFollowsTheSize) {
    auto aspect = [] {
        GLdouble projection[16];
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        return projection[5] / projection[0];
    };
    setPerspectiveView(1024, 1024);
    EXPECT_NEAR(aspect(), 1.0, 1e-6);
    const ScreenScope larger(Screen{1024, 768, 0});
    setScreenPerspective();
    EXPECT_NEAR(aspect(), 1024.0 / 768.0, 1e-6);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST_F(Foundation, ScreenTargetStartsClearedAndRedirectsDrawing) {
    glClearColor(0, 0, 1, 1);
    RenderTarget target;
    EXPECT_EQ(target.width, 64);
    std::vector<Rgba> texels(64 * 64);
    glBindTexture(GL_TEXTURE_2D, target.colourTexture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(texels[0], (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(texels[64 * 64 - 1], (Rgba{0, 0, 255, 255}));

    clearFrame(0, 0, 0, 1);
    target.bind();
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    target.unbind();
    readFrame();
    EXPECT_EQ(pixel(32, 32), (Rgba{0, 0, 0, 255})) << "drawing into the target reached the window";
    glBindTexture(GL_TEXTURE_2D, target.colourTexture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(texels[100], (Rgba{255, 0, 0, 255}));

    RenderTarget sized(128, 128);
    GLint depthAttachment = 0;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, sized.framebuffer);
    glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                             GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT,
                                             &depthAttachment);
    sized.unbind();
    EXPECT_EQ(GLuint(depthAttachment), sized.depthBuffer);
    glClearColor(0, 0, 0, 0);
    expectCleanState("render targets");
}

TEST_F(Foundation, ShaderErrorsCarryTheLogAndTheWholeSource) {
    std::string longSource = "void main() { gl_FragColor = vec4(1.0) }\n";
    for (int i = 0; i < 400; ++i)
        longSource += "// padding line " + std::to_string(i) + " to pass any fixed buffer\n";
    StderrCapture capture;
    FragmentProgram program;
    std::string message;
    try {
        program.buildFromSource(longSource.c_str());
    } catch (const ShowError& error) {
        message = error.what();
    }
    capture.text();
    ASSERT_EQ(message.rfind("Compiler error ", 0), 0u) << message.substr(0, 200);
    const size_t marker = message.find("... while compiling:\n ");
    ASSERT_NE(marker, std::string::npos);
    EXPECT_GT(marker, std::string("Compiler error ").size()) << "the driver's log is missing";
    EXPECT_NE(message.find(longSource), std::string::npos) << "the source was cut";
    expectNoGlError("failed compile");
}

TEST_F(Foundation, ProgramsLoadStagesAndReportMissingUniforms) {
    writeTextFile(temp.file("red.fs"),
                  "uniform float time;\n"
                  "void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }\n");
    StderrCapture capture;
    ShaderProgram program;
    program.load(files().open(temp.file("red.fs")), files().open(temp.file("missing.vs")));
    EXPECT_EQ(program.vertexShader, 0u);
    EXPECT_EQ(uniformLocation(program, "time"), -1);
    const std::string output = capture.text();
    EXPECT_EQ(output.find("No errors compiling"), std::string::npos); // a success says nothing
    EXPECT_NE(output.find("Unable to locate shader handle for: time (in " + temp.file("red.fs") +
                          ", " + temp.file("missing.vs") + ")\n"),
              std::string::npos);

    glUseProgram(program.program);
    glDisable(GL_TEXTURE_2D);
    drawFullScreenQuad();
    glUseProgram(0);
    glEnable(GL_TEXTURE_2D);
    readFrame();
    EXPECT_EQ(pixel(32, 32), (Rgba{255, 0, 0, 255}));

    FragmentProgram fromFile;
    try {
        fromFile.build(files().open(temp.file("absent.fs")));
        ADD_FAILURE() << "no error for a missing file";
    } catch (const ShowError& error) {
        EXPECT_EQ(std::string(error.what()), "Error opening: " + temp.file("absent.fs"));
    }
    expectNoGlError("programs");
}

TEST_F(Foundation, CubeArraysDrawExactlyLikeTheImmediateCubeAndLeaveItsAttributes) {
    auto drawLitCubes = [](auto drawCube) {
        CEnabler depth(GL_DEPTH_TEST);
        CEnabler lighting(GL_LIGHTING);
        CEnabler light(GL_LIGHT0);
        MatrixPush push;
        glTranslatef(0, 0, -4);
        for (int i = 0; i < 3; ++i) {
            glRotatef(37.0f + float(i) * 11, 1, 0.6f, 0.2f);
            glTranslatef(0.3f, -0.2f, 0.1f);
            drawCube();
        }
    };
    struct Result {
        std::vector<Rgba> pixels;
        float normal[4], texCoord[4];
    };
    auto capture = [&](bool fromArrays) {
        clearFrame();
        glDisable(GL_TEXTURE_2D);
        {
            std::optional<TexturedCubeArrays> arrays;
            if (fromArrays)
                arrays.emplace(0.6f);
            drawLitCubes([&] { arrays ? arrays->draw() : drawTexturedCube(0.6f); });
        }
        glEnable(GL_TEXTURE_2D);
        readFrame();
        Result result{frame, {}, {}};
        glGetFloatv(GL_CURRENT_NORMAL, result.normal);
        glGetFloatv(GL_CURRENT_TEXTURE_COORDS, result.texCoord);
        glNormal3f(9, 9, 9);
        glTexCoord2f(9, 9);
        return result;
    };
    const Result immediate = capture(false);
    const Result arrays = capture(true);
    EXPECT_GT(meanBrightness(), 5.0) << "the cubes are lit and on screen";
    EXPECT_TRUE(immediate.pixels == arrays.pixels);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(immediate.normal[i], arrays.normal[i]) << i;
    EXPECT_EQ(immediate.texCoord[0], arrays.texCoord[0]);
    EXPECT_EQ(immediate.texCoord[1], arrays.texCoord[1]);
    for (GLenum array : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_TEXTURE_COORD_ARRAY})
        EXPECT_FALSE(glIsEnabled(array)) << array;
    expectNoGlError("cube arrays");
}

TEST_F(Foundation, BlackAddsNothingOnlyWhenTheColourReachesThePictureUnchanged) {
    EXPECT_TRUE(blackAddsNothing()) << "the state effects start from";
    const std::vector<std::pair<const char*, std::function<void(bool)>>> spoilers = {
        {"lighting", [](bool on) { on ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING); }},
        {"fog", [](bool on) { on ? glEnable(GL_FOG) : glDisable(GL_FOG); }},
        {"stencil", [](bool on) { on ? glEnable(GL_STENCIL_TEST) : glDisable(GL_STENCIL_TEST); }},
        {"depth writes", [](bool on) { on ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST); }},
        {"added texture",
         [](bool on) {
             glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, on ? GL_ADD : GL_MODULATE);
         }},
    };
    for (const auto& [name, spoil] : spoilers) {
        spoil(true);
        EXPECT_FALSE(blackAddsNothing()) << name;
        spoil(false);
        EXPECT_TRUE(blackAddsNothing()) << name;
    }
    CEnabler depth(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    EXPECT_TRUE(blackAddsNothing()) << "a depth test that writes nothing";
    glDepthMask(GL_TRUE);
    expectNoGlError("black");
}
