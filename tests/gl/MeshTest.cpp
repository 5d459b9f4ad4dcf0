#include "render/Mesh.h"
#include "GlFixture.h"
#include "model3ds/L3dsWriter.h"
#include "model3ds/ModelMeshes.h"
#include "platform/Error.h"
#include "render/GLState.h"
#include "render/Texture.h"

#include <algorithm>
#include <string>

namespace {

// A square of side 2 in the z = 0 plane facing +z, with texture u running against x (so the
// binormals point up, +y) and v with y.
SceneMesh square() {
    SceneMesh mesh;
    mesh.name = "Square";
    mesh.vertices = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
    mesh.texCoords = {{1, 0}, {0, 0}, {0, 1}, {1, 1}};
    mesh.faces = {{0, 1, 2}, {0, 2, 3}};
    return mesh;
}

// A small triangle off to the right: a second mesh that must not be drawn.
SceneMesh offside() {
    SceneMesh mesh;
    mesh.name = "Offside";
    mesh.vertices = {{3, 3, 0}, {4, 3, 0}, {3, 4, 0}};
    mesh.faces = {{0, 1, 2}};
    return mesh;
}

void expectNoClientArray(const char* where) {
    for (GLenum array : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY})
        EXPECT_FALSE(glIsEnabled(array)) << where << ": array " << std::hex << array;
}

GLint modelViewDepth() {
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    return depth;
}

} // namespace

class Meshes : public GlFixture {
protected:
    std::string writeModel() {
        Scene3ds scene;
        scene.meshes = {square(), offside()};
        const std::string path = temp.file("model.3ds");
        write3ds(path, scene);
        return path;
    }

    // Draws a list 3 units in front, filling the middle half of the view.
    void drawInFront(GLuint list, bool lit) {
        glDisable(GL_TEXTURE_2D);
        clearFrame();
        if (lit)
            setupLighting();
        {
            MatrixPush push;
            glTranslatef(0, 0, -5.5f);
            glCallList(list);
        }
        if (lit)
            disableLighting();
        glDisable(GL_DEPTH_TEST);
        readFrame();
        glEnable(GL_TEXTURE_2D);
    }
};

TEST_F(Meshes, ModelListDrawsTheFirstMeshLitAndLeavesNoClientArray) {
    const std::string path = writeModel();
    for (unsigned flags : {1u, 3u, 5u, 7u}) {
        SCOPED_TRACE(flags);
        const ModelDisplayList model(files().open(path, ShowFileKind::Model), flags);
        expectNoClientArray("after compiling");
        expectNoGlError("compiling");
        glColor4f(1, 1, 1, 1);
        drawInFront(model.list, true);
        expectNoGlError("drawing");
        // Facing the light: bright in the middle; nothing beyond the square.
        EXPECT_GT(pixel(32, 32).r, 150) << pixel(32, 32);
        EXPECT_EQ(pixel(2, 2).r, 0);
        EXPECT_EQ(pixel(62, 2).r, 0) << "the second mesh is not drawn";
    }
}

TEST_F(Meshes, FlagsChooseTheArraysTheListTakes) {
    const std::string path = writeModel();
    glColor4f(1, 0, 0, 1);
    // Bit 4: the binormals, (0, 1, 0) here, become the colours.
    drawInFront(ModelDisplayList(files().open(path, ShowFileKind::Model), 4).list, false);
    EXPECT_TRUE(near(pixel(32, 32), {0, 255, 0, 255}, 2)) << pixel(32, 32);
    glColor4f(1, 0, 0, 1);
    drawInFront(ModelDisplayList(files().open(path, ShowFileKind::Model), 1).list, false);
    EXPECT_TRUE(near(pixel(32, 32), {255, 0, 0, 255}, 2)) << pixel(32, 32);

    // Bit 2: texture coordinates. u runs against x, so the image's left half (red) shows right.
    const std::string image = temp.file("halves.png");
    writeImage(image, 8, 8, [](int x, int) {
        return x < 4 ? Rgba{255, 0, 0, 255} : Rgba{0, 0, 255, 255};
    });
    CTextureFreeImage texture;
    texture.load(files().open(image, ShowFileKind::Picture));
    const ModelDisplayList textured(files().open(path, ShowFileKind::Model), 2);
    glColor4f(1, 1, 1, 1);
    clearFrame();
    {
        TextureBinding binding(texture);
        MatrixPush push;
        glTranslatef(0, 0, -5.5f);
        glCallList(textured.list);
    }
    readFrame();
    const Rgba right = pixel(40, 32), left = pixel(24, 32);
    EXPECT_GT(right.r, 200) << right;
    EXPECT_LT(right.b, 50) << right;
    EXPECT_GT(left.b, 200) << left;
    EXPECT_LT(left.r, 50) << left;
    expectNoClientArray("after drawing");
    expectCleanState("after drawing");
}

// Every corner in a smoothing group of each face: split, the mesh needs one vertex per corner.
SceneMesh tooManyVertices() {
    SceneMesh mesh;
    mesh.name = "TooMany";
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    for (uint32_t face = 0; face < 21846; ++face)
        mesh.faces.push_back({0, 1, 2, face + 1});
    return mesh;
}

TEST_F(Meshes, FilesWithoutAUsableFirstMeshAreReported) {
    Scene3ds onlyLight;
    SceneLight light;
    light.name = "Lamp";
    onlyLight.lights = {light};
    write3ds(temp.file("light.3ds"), onlyLight);
    writeTextFile(temp.file("empty.3ds"), "");
    Scene3ds firstTooBig, secondTooBig;
    firstTooBig.meshes = {tooManyVertices(), offside()};
    secondTooBig.meshes = {offside(), tooManyVertices()};
    write3ds(temp.file("first.3ds"), firstTooBig);
    write3ds(temp.file("second.3ds"), secondTooBig);
    const std::pair<const char*, std::string> cases[] = {
        {"missing.3ds", "No mesh in %"},
        {"empty.3ds", "No mesh in %"},
        {"light.3ds", "No mesh in %"},
        // Not the next mesh in its place.
        {"first.3ds",
         "Unable to load model %: its mesh \"TooMany\" has more vertices than a model can hold"},
        {"second.3ds", ""}, // the model is the first mesh, which is fine
    };
    for (const auto& [name, pattern] : cases) {
        const std::string path = temp.file(name);
        std::string expected = pattern;
        if (const size_t mark = expected.find('%'); mark != std::string::npos)
            expected.replace(mark, 1, path);
        std::string message;
        testing::internal::CaptureStderr();
        try {
            ModelDisplayList model(files().open(path, ShowFileKind::Model), 1);
        } catch (const ShowError& error) {
            message = error.what();
        }
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(message, expected) << name;
        expectNoClientArray(name);
    }
}

TEST_F(Meshes, QuelmModelStandsLitInTheMiddle) {
    const GLuint list = buildQuelmModelList();
    ASSERT_NE(list, 0u);
    glColor4f(1, 1, 1, 1);
    glDisable(GL_TEXTURE_2D);
    clearFrame();
    setupLighting();
    {
        MatrixPush push;
        glTranslatef(0, 0, -8);
        glCallList(list);
    }
    disableLighting();
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    readFrame();
    expectNoGlError("Quelm model");
    // The stem in the middle and the cup above it are lit; the corners are empty.
    EXPECT_GT(pixel(32, 32).r, 60) << pixel(32, 32);
    EXPECT_GT(meanChannel(0, 24, 14, 40, 20), 60);
    for (auto [x, y] : {std::pair{1, 1}, {62, 1}, {1, 62}, {62, 62}})
        EXPECT_EQ(pixel(x, y).r, 0) << x << "," << y;
}

class RingAssembly : public GlFixture {
protected:
    RingAssembly() {
        windowWidth = 96;
        windowHeight = 72;
    }

    void drawAt(float angle, float offset) {
        glDisable(GL_TEXTURE_2D);
        clearFrame();
        setupLighting();
        const GLint depth = modelViewDepth();
        drawRings(angle, offset);
        EXPECT_EQ(modelViewDepth(), depth);
        disableLighting();
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_TEXTURE_2D);
        readFrame();
        expectNoGlError("drawing the rings");
    }

    int litPixels() const {
        return static_cast<int>(std::count_if(frame.begin(), frame.end(),
                                              [](const Rgba& c) { return c.r + c.g + c.b > 60; }));
    }
};

TEST_F(RingAssembly, RingsTurnAndShiftLit) {
    buildRingModels();
    const RingModelSet& set = ringModels();
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(glIsList(set.ring[i])) << i;
        for (int j = 0; j < i; ++j)
            EXPECT_NE(set.ring[i], set.ring[j]);
    }

    drawAt(0, 0);
    const std::vector<Rgba> still = frame;
    EXPECT_GT(litPixels(), windowWidth * windowHeight / 20);
    // Ring 1 stands around the middle: its hole is dark, its rim above the hole is lit.
    EXPECT_LT(pixel(48, 36).r + pixel(48, 36).g, 30) << pixel(48, 36);
    EXPECT_GT(meanChannel(0, 44, 2, 54, 18), 40);
    // The blue ambient of ring 1's material shows in its shading.
    EXPECT_GT(meanChannel(2, 44, 2, 54, 18), meanChannel(0, 44, 2, 54, 18));

    drawAt(45, 0);
    int changed = 0;
    for (size_t i = 0; i < frame.size(); ++i)
        changed += !near(frame[i], still[i], 8);
    EXPECT_GT(changed, 50) << "the rings turn with the angle";

    // The offset moves the whole assembly sideways by a quarter of its value.
    drawAt(30, -0.4f);
    const std::vector<Rgba> shifted = frame;
    glTranslatef(-0.1f, 0, 0);
    drawAt(30, 0);
    glLoadIdentity();
    changed = 0;
    for (size_t i = 0; i < frame.size(); ++i)
        changed += !near(frame[i], shifted[i], 8);
    EXPECT_LT(changed, 10);

    setupLighting();
    disableLighting();
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    glDisable(GL_DEPTH_TEST);
}

class BandedModels : public Meshes {
protected:
    BandedModels() {
        windowWidth = 200;
        windowHeight = 150;
    }

    // The rubber model lit, in scissor strips of 5 columns, each turned a little further, as
    // Rubber3d draws it; `drawStrip` draws one strip given its columns.
    template <class Drawing> std::vector<Rgba> drawInStrips(Drawing drawStrip) {
        glDisable(GL_TEXTURE_2D);
        clearFrame();
        setupLighting();
        CEnabler scissor(GL_SCISSOR_TEST);
        {
            MatrixPush push;
            glTranslatef(0, 0, -400);
            for (int x = 0; x < windowWidth; x += 5) {
                glRotatef(3, 0.3f, 1, 0.2f);
                glScissor(x, 0, 5, windowHeight);
                drawStrip(x, x + 5);
            }
        }
        disableLighting();
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_TEXTURE_2D);
        readFrame();
        return frame;
    }
};

TEST_F(BandedModels, DrawTheListsPicturePixelForPixelAndLeaveTheNormalAsItDoes) {
    const std::string path = MORVELDAN_BUILD_DIR "/data/rubber/simple.3ds";
    const ModelDisplayList list(files().open(path, ShowFileKind::Model), ModelNormals);
    const BandedModel banded(files().open(path, ShowFileKind::Model));
    float listNormal[3], bandedNormal[3];
    glNormal3f(0.6f, 0, 0.8f);
    const std::vector<Rgba> expected = drawInStrips([&](int, int) { glCallList(list.list); });
    glGetFloatv(GL_CURRENT_NORMAL, listNormal);
    glNormal3f(0.6f, 0, 0.8f);
    const std::vector<Rgba> drawn = drawInStrips([&](int l, int r) { banded.drawColumns(l, r); });
    glGetFloatv(GL_CURRENT_NORMAL, bandedNormal);
    expectNoGlError("banded model");
    expectNoClientArray("after the banded model");

    const auto lit =
        std::count_if(expected.begin(), expected.end(), [](const Rgba& c) { return c.r > 0; });
    EXPECT_GT(lit, windowWidth * windowHeight / 10) << "the model should fill much of the view";
    size_t differing = 0;
    for (size_t i = 0; i < expected.size(); ++i)
        if (expected[i].r != drawn[i].r || expected[i].g != drawn[i].g ||
            expected[i].b != drawn[i].b || expected[i].a != drawn[i].a)
            ++differing;
    EXPECT_EQ(differing, 0u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(listNormal[i], bandedNormal[i]) << "normal component " << i;
}
