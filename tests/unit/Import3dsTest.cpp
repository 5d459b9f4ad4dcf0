// The 3DS reader on sound files: what the writer wrote read back, smoothing groups and the
// normals and tangents they give, and materials found by name.

#include "Import3dsScenes.h"
#include "TestFiles.h"
#include "model3ds/ChunkIds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace chunk3ds;

namespace {

Vec3 position(const LMesh& mesh, size_t i) {
    const Vec4& v = mesh.vertex(i);
    return {v.x, v.y, v.z};
}

void expectNear(const Vec3& actual, const Vec3& expected, const char* what,
                float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

// The outward normals of cube()'s sides, in its order.
const Vec3 sideNormals[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};

} // namespace

TEST(Import3ds, ReadsBackWhatTheWriterWrote) {
    Scene3ds scene;
    SceneMesh mesh = twoTriangles(1, 1);
    mesh.texCoords = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    mesh.materialGroups = {{"Blue", {1}}};
    scene.meshes.push_back(mesh);
    SceneMaterial red = namedMaterial("Red", {1, 0, 0});
    red.ambient = {0.25f, 0, 0};
    red.specular = {0.5f, 0.5f, 0.5f};
    red.shininess = 0.4f;
    red.transparency = 0.1f;
    red.shading = 3;
    red.textureMap = SceneTextureMap{"red.png", 0.75f, 2, 3, 0.5f, 0.25f, 45};
    scene.materials = {red, namedMaterial("Blue", {0, 0, 1})};
    SceneLight lamp;
    lamp.name = "Lamp";
    lamp.position = {1, 2, 3};
    lamp.colour = {0.5f, 0.25f, 1};
    SceneLight spot = lamp;
    spot.name = "Spot";
    spot.spotlight = true;
    spot.target = {0, 0, -1};
    spot.hotspot = 20;
    spot.falloff = 40;
    scene.lights = {lamp, spot};
    TempDir dir;
    write3ds(dir.file("scene.3ds"), scene);

    L3DS importer(dir.file("scene.3ds"));
    ASSERT_EQ(importer.meshCount(), 1u);
    const LMesh& read = importer.mesh(0);
    EXPECT_EQ(read.getName(), "Pair");
    ASSERT_EQ(read.vertexCount(), 4u);
    ASSERT_EQ(read.triangleCount(), 2u);
    EXPECT_EQ(read.vertex(3).z, 0.5f);
    EXPECT_EQ(read.vertex(3).w, 1.0f);
    EXPECT_EQ(read.texCoord(2).v, 1.0f);
    EXPECT_EQ(read.triangle(1).a, 1);
    EXPECT_EQ(read.triangle(1).b, 3);
    EXPECT_EQ(read.triangle(1).c, 2);
    EXPECT_EQ(read.face(0).materialId, 0u);
    EXPECT_EQ(read.face(1).materialId, 1u);
    EXPECT_EQ(read.materialIds(), std::vector<uint32_t>{1});
    EXPECT_EQ(importer.findMesh("Pair"), &read);
    EXPECT_EQ(importer.findMesh("pair"), nullptr);

    ASSERT_EQ(importer.materialCount(), 2u);
    const LMaterial& material = importer.material(0);
    EXPECT_EQ(material.getName(), "Red");
    EXPECT_EQ(material.getID(), 0u);
    EXPECT_EQ(importer.findMaterial("Blue")->getID(), 1u);
    expectNear(material.getAmbientColor(), {0.25f, 0, 0}, "ambient");
    expectNear(material.getDiffuseColor(), {1, 0, 0}, "diffuse");
    expectNear(material.getSpecularColor(), {0.5f, 0.5f, 0.5f}, "specular");
    EXPECT_FLOAT_EQ(material.getShininess(), 0.4f);
    EXPECT_FLOAT_EQ(material.getTransparency(), 0.1f);
    EXPECT_EQ(material.getShadingType(), 3u);
    const LMap& map = material.map(LMapKind::Texture1);
    EXPECT_EQ(map.fileName, "red.png");
    EXPECT_FLOAT_EQ(map.strength, 0.75f);
    EXPECT_EQ(map.uScale, 2);
    EXPECT_EQ(map.vScale, 3);
    EXPECT_EQ(map.uOffset, 0.5f);
    EXPECT_EQ(map.vOffset, 0.25f);
    EXPECT_EQ(map.angle, 45);

    ASSERT_EQ(importer.lightCount(), 2u);
    EXPECT_EQ(importer.light(0).getName(), "Lamp");
    expectNear(importer.light(0).position, {1, 2, 3}, "position");
    expectNear(importer.light(0).colour, {0.5f, 0.25f, 1}, "colour");
    EXPECT_FALSE(importer.light(0).spotlight);
    const LLight& read2 = importer.light(1);
    EXPECT_TRUE(read2.spotlight);
    expectNear(read2.target, {0, 0, -1}, "target");
    EXPECT_EQ(read2.hotspot, 20);
    EXPECT_EQ(read2.falloff, 40);
}

TEST(Import3ds, CubeSplitsAtSidesInDifferentGroupsAndStaysWholeInOne) {
    Loaded split(sceneWith(cube([](int side) { return 1u << side; })));
    ASSERT_EQ(split.importer.meshCount(), 1u);
    const LMesh& sides = split.importer.mesh(0);
    ASSERT_EQ(sides.vertexCount(), 24u);
    ASSERT_EQ(sides.triangleCount(), 12u);
    for (size_t t = 0; t < 12; ++t) {
        const LTriangle& tri = sides.triangle(t);
        for (uint16_t corner : {tri.a, tri.b, tri.c})
            expectNear(sides.normal(corner), sideNormals[t / 2], "side normal");
    }

    Loaded whole(sceneWith(cube([](int) { return 1u; })));
    const LMesh& smooth = whole.importer.mesh(0);
    ASSERT_EQ(smooth.vertexCount(), 8u);
    for (size_t v = 0; v < 8; ++v) {
        // The normalised sum of the normals of the triangles around the corner.
        Vec3 sum;
        for (size_t t = 0; t < 12; ++t) {
            const LTriangle& tri = smooth.triangle(t);
            const int uses = (tri.a == v) + (tri.b == v) + (tri.c == v);
            sum = {sum.x + uses * sideNormals[t / 2].x, sum.y + uses * sideNormals[t / 2].y,
                   sum.z + uses * sideNormals[t / 2].z};
        }
        expectNear(smooth.normal(v), normalize(sum), "corner normal");
        const Vec3 p = position(smooth, v);
        EXPECT_GT(smooth.normal(v).x * p.x + smooth.normal(v).y * p.y + smooth.normal(v).z * p.z,
                  0.4f)
            << "corner normals point outwards";
    }
}

TEST(Import3ds, SmoothingGroupsAreComparedAsWholeValues) {
    // Groups 1 and 3 share bit 1 but are different values: the shared edge splits.
    EXPECT_EQ(Loaded(sceneWith(twoTriangles(1, 3))).importer.mesh(0).vertexCount(), 6u);
    EXPECT_EQ(Loaded(sceneWith(twoTriangles(4, 4))).importer.mesh(0).vertexCount(), 4u);
    // No smoothing chunk: everything in group 1, nothing split.
    SceneMesh unsmoothed = cube([](int side) { return 1u << side; });
    unsmoothed.writeSmoothingGroups = false;
    EXPECT_EQ(Loaded(sceneWith(unsmoothed)).importer.mesh(0).vertexCount(), 8u);

    const Loaded loaded(sceneWith(twoTriangles(1, 3)));
    const LMesh& split = loaded.importer.mesh(0);
    // The copies keep the position of the vertex they split from.
    const LTriangle& second = split.triangle(1);
    EXPECT_GE(second.a, 4);
    expectNear(position(split, second.a), {1, 0, 0}, "copied position");
    expectNear(position(split, second.c), {0, 1, 0}, "copied position");
    EXPECT_EQ(second.b, 3); // used by one face only: not split
}

TEST(Import3ds, VertexWithoutFacesHasZeroNormalAndTangentsComeFromTheMapping) {
    SceneMesh mesh;
    mesh.name = "Square";
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {5, 5, 5}};
    mesh.texCoords = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}};
    mesh.faces = {{0, 1, 2}, {0, 2, 3}};
    const Loaded mapped(sceneWith(mesh));
    const LMesh& square = mapped.importer.mesh(0);
    expectNear(square.normal(4), {0, 0, 0}, "unused vertex");
    for (size_t v = 0; v < 4; ++v) {
        expectNear(square.normal(v), {0, 0, 1}, "normal");
        expectNear(square.tangent(v), {1, 0, 0}, "tangent");
        expectNear(square.binormal(v), {0, -1, 0}, "binormal");
    }

    // Without texture coordinates the mapping has no area: zero tangents, never NaN.
    mesh.texCoords.clear();
    const Loaded withoutMapping(sceneWith(mesh));
    const LMesh& unmapped = withoutMapping.importer.mesh(0);
    for (size_t v = 0; v < 4; ++v) {
        expectNear(unmapped.tangent(v), {0, 0, 0}, "tangent");
        expectNear(unmapped.binormal(v), {0, 0, 0}, "binormal");
    }
}

TEST(Import3ds, MaterialsResolveWhereverTheyStandAndUnknownNamesUseMaterialZero) {
    Scene3ds scene = sceneWith(twoTriangles(1, 1));
    scene.meshes[0].materialGroups = {{"Second", {0}}, {"Missing", {1}}, {"First", {1, 2, 900}}};
    scene.materials = {namedMaterial("First"), namedMaterial("Second")};
    scene.materialsAfterObjects = true;
    Loaded loaded(scene);
    ASSERT_TRUE(loaded.ok);
    const LMesh& mesh = loaded.importer.mesh(0);
    EXPECT_EQ(mesh.face(0).materialId, 1u);
    EXPECT_EQ(mesh.face(1).materialId, 0u);
    EXPECT_EQ(mesh.materialIds(), (std::vector<uint32_t>{1, 0, 0}));

    // The unknown group alone: its face takes material 0, not a stale or random id.
    scene.meshes[0].materialGroups = {{"Second", {0, 1}}, {"Missing", {1}}};
    EXPECT_EQ(Loaded(scene).importer.mesh(0).face(1).materialId, 0u);
}

TEST(Import3ds, MaterialNamesDefaultsAndClamping) {
    Scene3ds scene = sceneWith(twoTriangles(1, 1));
    const std::string longName = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn"; // 40 characters
    SceneMaterial named = namedMaterial(longName);
    named.shading = -1;
    named.shininess = 1.5f;
    named.transparency = -0.5f;
    SceneMaterial reflective = namedMaterial("Mirror");
    reflective.reflectionMap = SceneTextureMap{""};
    scene.materials = {named, reflective};
    scene.meshes[0].materialGroups = {{longName, {1}}};
    Loaded loaded(scene);
    ASSERT_EQ(loaded.importer.materialCount(), 2u);
    const LMaterial& first = loaded.importer.material(0);
    EXPECT_EQ(first.getName(), longName.substr(0, 29));
    EXPECT_EQ(first.getShininess(), 1.0f);
    EXPECT_EQ(first.getTransparency(), 0.0f);
    EXPECT_EQ(first.getShadingType(), 2u);
    for (int kind = 0; kind < 6; ++kind) {
        const LMap& map = first.map(static_cast<LMapKind>(kind));
        EXPECT_EQ(map.fileName, "");
        EXPECT_EQ(map.uScale, 1);
        EXPECT_EQ(map.vScale, 1);
        EXPECT_EQ(map.strength, 0);
    }
    expectNear(first.getDiffuseColor(), {0, 0, 0}, "default colour");
    // The long name in the group is kept to the same 29 characters and finds the material.
    EXPECT_EQ(loaded.importer.mesh(0).face(1).materialId, 0u);
    EXPECT_EQ(loaded.importer.material(1).map(LMapKind::Reflection).fileName, "auto");

    // A long group name must not spill into the face count that follows it.
    scene.materials = {namedMaterial("Plain"), named};
    scene.meshes[0].materialGroups = {{longName, {1}}};
    const Loaded reordered(scene);
    const LMesh& mesh = reordered.importer.mesh(0);
    EXPECT_EQ(mesh.face(0).materialId, 0u);
    EXPECT_EQ(mesh.face(1).materialId, 1u);
}

TEST(Import3ds, TextureCoordinatesBeforeVerticesAndLocalAxes) {
    ChunkWriter out;
    out.begin(Main);
    out.begin(Editor);
    out.begin(Object);
    out.string("Early");
    out.begin(TriangleMesh);
    out.begin(TexCoordList);
    out.u16(2);
    for (float f : {0.1f, 0.2f, 0.3f, 0.4f})
        out.f32(f);
    out.end();
    out.begin(LocalAxes);
    for (int i = 0; i < 12; ++i)
        out.f32(static_cast<float>(i + 1));
    out.end();
    out.end();
    out.end();
    out.begin(Object);
    out.string("Camera");
    out.begin(Camera);
    out.vec3({0, 0, 0});
    out.end();
    out.end();
    out.end();
    out.end();
    Loaded loaded(out.bytes());
    ASSERT_EQ(loaded.importer.meshCount(), 1u) << "a camera object is no mesh";
    const LMesh& mesh = loaded.importer.mesh(0);
    ASSERT_EQ(mesh.vertexCount(), 2u);
    EXPECT_EQ(mesh.texCoord(1).u, 0.3f);
    EXPECT_EQ(mesh.matrix().m[1], 2.0f);
    EXPECT_EQ(mesh.matrix().m[3], 0.0f);
    EXPECT_EQ(mesh.matrix().m[12], 10.0f);
    EXPECT_EQ(mesh.matrix().m[15], 1.0f);
}
