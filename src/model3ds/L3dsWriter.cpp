#include "model3ds/L3dsWriter.h"

#include "model3ds/ChunkIds.h"
#include "platform/Error.h"

#include <cmath>
#include <cstring>
#include <fstream>

void ChunkWriter::begin(uint16_t id) {
    open_.push_back(bytes_.size());
    u16(id);
    u32(0); // length, filled in by end()
}

void ChunkWriter::end() {
    const size_t start = open_.back();
    open_.pop_back();
    const auto length = static_cast<uint32_t>(bytes_.size() - start);
    for (int i = 0; i < 4; ++i)
        bytes_[start + 2 + i] = static_cast<uint8_t>(length >> (8 * i));
}

void ChunkWriter::u8(uint8_t value) { bytes_.push_back(value); }

void ChunkWriter::u16(uint16_t value) {
    u8(static_cast<uint8_t>(value));
    u8(static_cast<uint8_t>(value >> 8));
}

void ChunkWriter::u32(uint32_t value) {
    u16(static_cast<uint16_t>(value));
    u16(static_cast<uint16_t>(value >> 16));
}

void ChunkWriter::f32(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    u32(bits);
}

void ChunkWriter::vec3(const Vec3& v) {
    f32(v.x);
    f32(v.y);
    f32(v.z);
}

void ChunkWriter::string(const std::string& text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    u8(0);
}

void ChunkWriter::colourChunk(uint16_t id, const Vec3& colour) {
    begin(id);
    begin(chunk3ds::ColourFloat);
    vec3(colour);
    end();
    end();
}

void ChunkWriter::percentageChunk(uint16_t id, float fraction) {
    begin(id);
    begin(chunk3ds::PercentInt);
    u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(fraction * 100))));
    end();
    end();
}

const std::vector<uint8_t>& ChunkWriter::bytes() const {
    if (!open_.empty())
        raise("3DS writer: %zu chunks left open", open_.size());
    return bytes_;
}

namespace {

uint16_t checkedCount(size_t count, const char* what, const std::string& mesh) {
    if (count > 0xFFFF)
        raise("3DS writer: mesh \"%s\" has %zu %s; a 3DS mesh holds at most 65535", mesh.c_str(),
              count, what);
    return static_cast<uint16_t>(count);
}

void writeMap(ChunkWriter& out, uint16_t id, const SceneTextureMap& map) {
    out.begin(id);
    out.begin(chunk3ds::PercentInt);
    out.u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(map.strength * 100))));
    out.end();
    out.begin(chunk3ds::MapFileName);
    out.string(map.fileName);
    out.end();
    const std::pair<uint16_t, float> values[] = {{chunk3ds::MapUScale, map.uScale},
                                                 {chunk3ds::MapVScale, map.vScale},
                                                 {chunk3ds::MapUOffset, map.uOffset},
                                                 {chunk3ds::MapVOffset, map.vOffset},
                                                 {chunk3ds::MapAngle, map.angle}};
    for (const auto& [valueId, value] : values) {
        out.begin(valueId);
        out.f32(value);
        out.end();
    }
    out.end();
}

void writeMaterial(ChunkWriter& out, const SceneMaterial& material) {
    out.begin(chunk3ds::Material);
    out.begin(chunk3ds::MaterialName);
    out.string(material.name);
    out.end();
    out.colourChunk(chunk3ds::MaterialAmbient, material.ambient);
    out.colourChunk(chunk3ds::MaterialDiffuse, material.diffuse);
    out.colourChunk(chunk3ds::MaterialSpecular, material.specular);
    out.percentageChunk(chunk3ds::MaterialShininess, material.shininess);
    out.percentageChunk(chunk3ds::MaterialTransparency, material.transparency);
    if (material.shading >= 0) {
        out.begin(chunk3ds::MaterialShading);
        out.u16(static_cast<uint16_t>(material.shading));
        out.end();
    }
    if (material.textureMap)
        writeMap(out, chunk3ds::TextureMap1, *material.textureMap);
    if (material.bumpMap)
        writeMap(out, chunk3ds::BumpMap, *material.bumpMap);
    if (material.reflectionMap) {
        out.begin(chunk3ds::ReflectionMap);
        out.begin(chunk3ds::PercentInt);
        out.u16(static_cast<uint16_t>(
            static_cast<int16_t>(std::lround(material.reflectionMap->strength * 100))));
        out.end();
        out.begin(chunk3ds::MapFileName);
        out.string(material.reflectionMap->fileName);
        out.end();
        out.end();
    }
    out.end();
}

void writeFaces(ChunkWriter& out, const SceneMesh& mesh) {
    out.begin(chunk3ds::FaceList);
    out.u16(checkedCount(mesh.faces.size(), "faces", mesh.name));
    for (const SceneFace& face : mesh.faces) {
        out.u16(face.a);
        out.u16(face.b);
        out.u16(face.c);
        out.u16(7); // edge visibility flags
    }
    for (const SceneMaterialGroup& group : mesh.materialGroups) {
        out.begin(chunk3ds::FaceMaterial);
        out.string(group.material);
        out.u16(checkedCount(group.faces.size(), "faces in a material group", mesh.name));
        for (uint16_t face : group.faces)
            out.u16(face);
        out.end();
    }
    if (mesh.writeSmoothingGroups) {
        out.begin(chunk3ds::SmoothingGroups);
        for (const SceneFace& face : mesh.faces)
            out.u32(face.smoothingGroups);
        out.end();
    }
    out.end();
}

void writeMesh(ChunkWriter& out, const SceneMesh& mesh) {
    out.begin(chunk3ds::Object);
    out.string(mesh.name);
    out.begin(chunk3ds::TriangleMesh);
    out.begin(chunk3ds::VertexList);
    out.u16(checkedCount(mesh.vertices.size(), "vertices", mesh.name));
    for (const Vec3& v : mesh.vertices)
        out.vec3(v);
    out.end();
    if (!mesh.texCoords.empty()) {
        out.begin(chunk3ds::TexCoordList);
        out.u16(checkedCount(mesh.texCoords.size(), "texture coordinates", mesh.name));
        for (const Vec2& uv : mesh.texCoords) {
            out.f32(uv.u);
            out.f32(uv.v);
        }
        out.end();
    }
    if (mesh.localAxes) {
        out.begin(chunk3ds::LocalAxes);
        for (size_t i = 0; i < 12; ++i)
            out.f32(i < mesh.localAxes->size() ? (*mesh.localAxes)[i] : 0.0f);
        out.end();
    }
    writeFaces(out, mesh);
    out.end();
    out.end();
}

void writeLight(ChunkWriter& out, const SceneLight& light) {
    out.begin(chunk3ds::Object);
    out.string(light.name);
    out.begin(chunk3ds::Light);
    out.vec3(light.position);
    out.begin(chunk3ds::ColourFloat);
    out.vec3(light.colour);
    out.end();
    if (light.spotlight) {
        out.begin(chunk3ds::Spotlight);
        out.vec3(light.target);
        out.f32(light.hotspot);
        out.f32(light.falloff);
        out.end();
    }
    out.end();
    out.end();
}

} // namespace

std::vector<uint8_t> encode3ds(const Scene3ds& scene) {
    ChunkWriter out;
    out.begin(chunk3ds::Main);
    out.begin(chunk3ds::Version);
    out.u32(3);
    out.end();
    out.begin(chunk3ds::Editor);
    out.begin(chunk3ds::MeshVersion);
    out.u32(3);
    out.end();
    auto writeMaterials = [&] {
        for (const SceneMaterial& material : scene.materials)
            writeMaterial(out, material);
    };
    if (!scene.materialsAfterObjects)
        writeMaterials();
    for (const SceneMesh& mesh : scene.meshes)
        writeMesh(out, mesh);
    for (const SceneLight& light : scene.lights)
        writeLight(out, light);
    if (scene.materialsAfterObjects)
        writeMaterials();
    out.end();
    out.end();
    return out.bytes();
}

void write3ds(const std::string& path, const Scene3ds& scene) {
    const std::vector<uint8_t> bytes = encode3ds(scene);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file)
        raise("Unable to write %s", path.c_str());
}
