#include "TestFiles.h"
#include "model3ds/ChunkIds.h"
#include "model3ds/L3DS.h"
#include "model3ds/L3dsWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace chunk3ds;

namespace {

// An L3DS read from the bytes of a scene (or of any chunk tree).
struct Loaded {
    L3DS importer;
    bool ok = false;
    explicit Loaded(const std::vector<uint8_t>& bytes) {
        ok = importer.loadMemory(bytes.data(), bytes.size(), "test.3ds");
    }
    explicit Loaded(const Scene3ds& scene) : Loaded(encode3ds(scene)) {}
};

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

// A unit cube centred on the origin: 8 shared corners, two triangles per side, wound outwards.
// Each side's smoothing group comes from `groupOfSide`.
SceneMesh cube(uint32_t (*groupOfSide)(int side)) {
    SceneMesh mesh;
    mesh.name = "Cube";
    for (int i = 0; i < 8; ++i)
        mesh.vertices.push_back({i & 1 ? 0.5f : -0.5f, i & 2 ? 0.5f : -0.5f, i & 4 ? 0.5f : -0.5f});
    // Corners of each side in counter-clockwise order seen from outside.
    const int sides[6][4] = {{1, 3, 7, 5}, {0, 4, 6, 2}, {2, 6, 7, 3},
                             {0, 1, 5, 4}, {4, 5, 7, 6}, {0, 2, 3, 1}};
    for (int s = 0; s < 6; ++s) {
        const auto* q = sides[s];
        const uint32_t group = groupOfSide(s);
        auto corner = [&](int k) { return static_cast<uint16_t>(q[k]); };
        mesh.faces.push_back({corner(0), corner(1), corner(2), group});
        mesh.faces.push_back({corner(0), corner(2), corner(3), group});
    }
    return mesh;
}

const Vec3 sideNormals[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};

Scene3ds sceneWith(SceneMesh mesh) {
    Scene3ds scene;
    scene.meshes.push_back(std::move(mesh));
    return scene;
}

// Two triangles sharing the edge from vertex 1 to vertex 2.
SceneMesh twoTriangles(uint32_t firstGroup, uint32_t secondGroup) {
    SceneMesh mesh;
    mesh.name = "Pair";
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0.5f}};
    mesh.faces = {{0, 1, 2, firstGroup}, {1, 3, 2, secondGroup}};
    return mesh;
}

SceneMaterial namedMaterial(const std::string& name, const Vec3& diffuse = {}) {
    SceneMaterial material;
    material.name = name;
    material.diffuse = diffuse;
    return material;
}

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

TEST(Import3ds, ReflectionMapWithoutFileNameDropsOnlyItsMaterial) {
    ChunkWriter out;
    out.begin(Main);
    out.begin(Editor);
    auto material = [&](const char* name, bool brokenReflection) {
        out.begin(Material);
        out.begin(MaterialName);
        out.string(name);
        out.end();
        if (brokenReflection) {
            out.percentageChunk(ReflectionMap, 0.5f); // strength, but no file-name chunk
        }
        out.end();
    };
    material("A", false);
    material("B", true);
    material("C", false);
    out.end();
    out.end();
    Loaded loaded(out.bytes());
    ASSERT_EQ(loaded.importer.materialCount(), 2u);
    EXPECT_EQ(loaded.importer.material(1).getName(), "C");
    EXPECT_EQ(loaded.importer.material(1).getID(), 1u);
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

TEST(Import3ds, UnreadableOrForeignFilesGiveAnEmptyImporter) {
    TempDir dir;
    L3DS missing(dir.file("missing.3ds"));
    EXPECT_EQ(missing.meshCount(), 0u);
    EXPECT_FALSE(missing.loadFile(dir.file("missing.3ds")));
    writeTextFile(dir.file("text.3ds"), "MM not really a model");
    EXPECT_FALSE(missing.loadFile(dir.file("text.3ds")));
    writeTextFile(dir.file("empty.3ds"), "");
    EXPECT_FALSE(missing.loadFile(dir.file("empty.3ds")));

    // A main chunk without an editor chunk.
    ChunkWriter out;
    out.begin(Main);
    out.begin(Version);
    out.u32(3);
    out.end();
    out.end();
    EXPECT_FALSE(Loaded(out.bytes()).ok);

    // Reading a good file after a failed one starts from empty lists.
    write3ds(dir.file("good.3ds"), sceneWith(twoTriangles(1, 1)));
    EXPECT_TRUE(missing.loadFile(dir.file("good.3ds")));
    EXPECT_FALSE(missing.loadFile(dir.file("text.3ds")));
    EXPECT_EQ(missing.meshCount(), 0u);
}

TEST(Import3ds, TruncatedFilesGivePartlyFilledObjects) {
    Scene3ds scene = sceneWith(cube([](int side) { return 1u << side; }));
    scene.meshes[0].texCoords.assign(8, {0.5f, 0.5f});
    scene.materials = {namedMaterial("M", {1, 1, 1})};
    scene.meshes[0].materialGroups = {{"M", {0, 1, 2, 3}}};
    SceneLight light;
    light.name = "L";
    scene.lights.push_back(light);
    const std::vector<uint8_t> whole = encode3ds(scene);
    for (size_t size = 0; size < whole.size(); ++size) {
        const std::vector<uint8_t> part(whole.begin(), whole.begin() + size);
        Loaded loaded(part);
        for (size_t m = 0; m < loaded.importer.meshCount(); ++m) {
            const LMesh& mesh = loaded.importer.mesh(m);
            for (size_t t = 0; t < mesh.triangleCount(); ++t) {
                const LTriangle& tri = mesh.triangle(t);
                ASSERT_LT(std::max({tri.a, tri.b, tri.c}), mesh.vertexCount()) << size;
            }
        }
    }
    // Cut inside the face list: the vertices are all there, only the first faces.
    SceneMesh plain = cube([](int) { return 1u; });
    const std::vector<uint8_t> bytes = encode3ds(sceneWith(plain));
    // Header bytes before the face records: main, editor, mesh version, object and its name,
    // mesh, the vertex list, the face list header and its count.
    const size_t facesStart = 6 + 10 + 6 + 10 + 6 + 5 + 6 + (6 + 2 + 8 * 12) + 6 + 2;
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + facesStart + 8 * 5 + 3);
    Loaded partial(cut);
    ASSERT_TRUE(partial.ok);
    ASSERT_EQ(partial.importer.meshCount(), 1u);
    EXPECT_EQ(partial.importer.mesh(0).vertexCount(), 8u);
    EXPECT_EQ(partial.importer.mesh(0).triangleCount(), 5u);
    // Cut exactly after the last face: everything that ends at the last byte is read.
    const std::vector<uint8_t> exact(bytes.begin(), bytes.begin() + facesStart + 8 * 12);
    EXPECT_EQ(Loaded(exact).importer.mesh(0).triangleCount(), 12u);
}

namespace {

// A file with two meshes, the first holding a sub-chunk with the given length between its vertex
// list and its face list.
std::vector<uint8_t> meshesAroundBadChunk(uint32_t badLength) {
    ChunkWriter out;
    out.begin(Main);
    out.begin(Editor);
    for (int m = 0; m < 2; ++m) {
        out.begin(Object);
        out.string(m == 0 ? "First" : "Second");
        out.begin(TriangleMesh);
        out.begin(VertexList);
        out.u16(3);
        for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f})
            out.f32(f);
        out.end();
        if (m == 0) {
            out.u16(0x1234);
            out.u32(badLength);
        }
        out.begin(FaceList);
        out.u16(1);
        for (uint16_t v : {0, 1, 2, 7})
            out.u16(v);
        out.end();
        out.end();
        out.end();
    }
    out.end();
    out.end();
    return out.bytes();
}

} // namespace

TEST(Import3ds, BadChunkLengthsEndTheirParentsWalk) {
    for (uint32_t badLength : {0u, 1u, 5u, 1000u, 0xFFFFFFFFu, 0xFFFFFFFAu}) {
        Loaded loaded(meshesAroundBadChunk(badLength));
        ASSERT_TRUE(loaded.ok) << badLength;
        // The first mesh stops at the bad chunk: vertices kept, faces not reached; the second
        // object is read as usual.
        ASSERT_EQ(loaded.importer.meshCount(), 2u) << badLength;
        EXPECT_EQ(loaded.importer.mesh(0).vertexCount(), 3u);
        EXPECT_EQ(loaded.importer.mesh(0).triangleCount(), 0u) << badLength;
        EXPECT_EQ(loaded.importer.mesh(1).getName(), "Second");
        EXPECT_EQ(loaded.importer.mesh(1).triangleCount(), 1u);
    }
    // A vertex list claiming more than its mesh holds is not read into the next object's bytes.
    std::vector<uint8_t> bytes = meshesAroundBadChunk(6);
    const size_t firstList = 6 + 6 + 6 + 6 + 6; // main, editor, object, name "First", mesh
    ASSERT_EQ(bytes[firstList], 0x10);
    bytes[firstList + 6] = 200;  // vertex count
    bytes[firstList + 2] = 0xF0; // length
    bytes[firstList + 3] = 0x03;
    Loaded overlong(bytes);
    ASSERT_EQ(overlong.importer.meshCount(), 2u);
    EXPECT_EQ(overlong.importer.mesh(0).vertexCount(), 0u);
    EXPECT_EQ(overlong.importer.mesh(1).vertexCount(), 3u);

    // An empty chunk of an unknown kind is skipped and the walk goes on.
    Loaded empty(meshesAroundBadChunk(6));
    ASSERT_EQ(empty.importer.meshCount(), 2u);
    EXPECT_EQ(empty.importer.mesh(0).triangleCount(), 1u);
}

TEST(Import3ds, FacesBeyondTheVerticesAreLeftOutWithOneLinePerFile) {
    Scene3ds scene;
    for (int m = 0; m < 2; ++m) {
        SceneMesh mesh = twoTriangles(1, 1);
        mesh.faces.push_back({0, 1, 4});
        mesh.faces.push_back({400, 1, 2});
        mesh.faces.push_back({2, 1, 0});
        mesh.materialGroups = {{"B", {4}}};
        scene.meshes.push_back(mesh);
    }
    scene.materials = {namedMaterial("A"), namedMaterial("B")};
    testing::internal::CaptureStderr();
    Loaded loaded(scene);
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(loaded.importer.meshCount(), 2u);
    const LMesh& mesh = loaded.importer.mesh(0);
    ASSERT_EQ(mesh.triangleCount(), 3u);
    EXPECT_EQ(mesh.triangle(2).a, 2); // the good face after the bad ones
    EXPECT_EQ(mesh.face(2).materialId, 1u) << "faces keep their materials when others go";
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("test.3ds"), std::string::npos) << err;
    EXPECT_NE(err.find("4 faces"), std::string::npos) << err;
}

TEST(Import3ds, MeshSplitPastTheIndexRangeIsLeftOut) {
    // Every face uses the same three corners in its own smoothing group: each corner splits into
    // one vertex per face.
    auto fan = [](size_t faces) {
        SceneMesh mesh;
        mesh.name = "Fan";
        mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        for (size_t f = 0; f < faces; ++f)
            mesh.faces.push_back({0, 1, 2, static_cast<uint32_t>(f + 1)});
        return mesh;
    };
    Scene3ds scene;
    scene.meshes = {fan(21845), fan(21846)};
    scene.meshes[1].name = "TooMany";
    testing::internal::CaptureStderr();
    Loaded loaded(scene);
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(loaded.importer.meshCount(), 1u);
    EXPECT_EQ(loaded.importer.mesh(0).vertexCount(), 65535u);
    EXPECT_NE(err.find("\"TooMany\""), std::string::npos) << err;
    EXPECT_NE(err.find("65535"), std::string::npos) << err;
}

TEST(Import3ds, CountsAreLimitedToWhatTheirChunkHolds) {
    // Each mesh claims 65535 vertices, texture coordinates and faces but holds two vertices' data:
    // memory follows the file's size, not the claims.
    ChunkWriter out;
    out.begin(Main);
    out.begin(Editor);
    for (int m = 0; m < 200; ++m) {
        out.begin(Object);
        out.string("Claims");
        out.begin(TriangleMesh);
        for (uint16_t list : {TexCoordList, VertexList}) {
            out.begin(list);
            out.u16(0xFFFF);
            for (int f = 0; f < 6; ++f)
                out.f32(1);
            out.end();
        }
        out.begin(FaceList);
        out.u16(0xFFFF);
        out.end();
        out.end();
        out.end();
    }
    out.end();
    out.end();
    Loaded loaded(out.bytes());
    ASSERT_EQ(loaded.importer.meshCount(), 200u);
    EXPECT_EQ(loaded.importer.mesh(199).vertexCount(), 2u);
    EXPECT_EQ(loaded.importer.mesh(199).triangleCount(), 0u);
    EXPECT_EQ(loaded.importer.mesh(199).texCoord(1).u, 1.0f);
}
