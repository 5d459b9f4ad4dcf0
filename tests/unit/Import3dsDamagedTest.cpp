// The 3DS reader on damaged and foreign files: what it keeps, what it leaves out, and what it
// says about it.

#include "Import3dsScenes.h"
#include "TestFiles.h"
#include "model3ds/ChunkIds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace chunk3ds;

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
