// The drawing foundation: drawable sizes, the full-screen quad, GL state guards, the perspective,
// render targets, shader programs, the cube's arrays and the state that lets black add nothing.

#include "FoundationFixture.h"

#include "platform/Error.h"
#include "render/RenderTarget.h"
#include "render/Screen.h"
#include "render/Shader.h"
#include "render/TexturedCube.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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
    program.load(files().open(temp.file("red.fs"), ShowFileKind::Shader),
                 files().open(temp.file("missing.vs"), ShowFileKind::Shader));
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
        fromFile.build(files().open(temp.file("absent.fs"), ShowFileKind::Shader));
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
