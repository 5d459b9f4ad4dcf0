#pragma once
// A small writer of 3D Studio (.3ds) files: meshes with texture coordinates, smoothing groups and
// material groups, materials with colours and texture maps, and lights. The asset generator makes
// the show's models with it and the importer's tests make their files with it.

#include "render/VecMath.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct SceneFace {
    uint16_t a = 0, b = 0, c = 0;
    uint32_t smoothingGroups = 1;
};

// The faces (indices into the mesh's face list) that use one material, named.
struct SceneMaterialGroup {
    std::string material;
    std::vector<uint16_t> faces;
};

struct SceneMesh {
    std::string name;
    std::vector<Vec3> vertices;
    std::vector<Vec2> texCoords; // empty: no texture-coordinate chunk
    std::vector<SceneFace> faces;
    bool writeSmoothingGroups = true; // false: no smoothing chunk (readers then assume group 1)
    std::vector<SceneMaterialGroup> materialGroups;
    // The local axes as twelve floats (three axis rows and the origin); absent: no chunk.
    std::optional<std::vector<float>> localAxes;
};

struct SceneTextureMap {
    std::string fileName;
    float strength = 1; // written as a whole percentage
    float uScale = 1, vScale = 1, uOffset = 0, vOffset = 0, angle = 0;
};

struct SceneMaterial {
    std::string name;
    Vec3 ambient, diffuse, specular;
    float shininess = 0, transparency = 0; // fractions, written as whole percentages
    int shading = 2;                       // 0 wire frame .. 4 metal; negative: no chunk
    std::optional<SceneTextureMap> textureMap;
    std::optional<SceneTextureMap> bumpMap;
    std::optional<SceneTextureMap> reflectionMap; // only strength and file name are written
};

struct SceneLight {
    std::string name;
    Vec3 position;
    Vec3 colour{1, 1, 1};
    bool spotlight = false;
    Vec3 target;
    float hotspot = 30, falloff = 45;
};

struct Scene3ds {
    std::vector<SceneMesh> meshes;
    std::vector<SceneMaterial> materials;
    std::vector<SceneLight> lights;
    // Materials are normally written before the objects; tests may ask for the other order.
    bool materialsAfterObjects = false;
};

// Builds a chunk tree: begin(id) ... end() nest; end() fills in the chunk's length.
class ChunkWriter {
public:
    void begin(uint16_t id);
    void end();
    void u8(uint8_t value);
    void u16(uint16_t value);
    void u32(uint32_t value);
    void f32(float value);
    void vec3(const Vec3& v);
    void string(const std::string& text); // bytes and a terminating NUL
    // A complete chunk whose data is the given float colour.
    void colourChunk(uint16_t id, const Vec3& colour);
    // A complete chunk holding one whole-percentage sub-chunk.
    void percentageChunk(uint16_t id, float fraction);

    // The bytes written so far; every begun chunk must have ended.
    const std::vector<uint8_t>& bytes() const;

private:
    std::vector<uint8_t> bytes_;
    std::vector<size_t> open_;
};

// The file's bytes. Values are written as given (tests write faulty files on purpose); a mesh of
// more than 65535 vertices, texture coordinates or faces raises ShowError.
std::vector<uint8_t> encode3ds(const Scene3ds& scene);

// Writes the file; raises ShowError when it cannot be written.
void write3ds(const std::string& path, const Scene3ds& scene);
