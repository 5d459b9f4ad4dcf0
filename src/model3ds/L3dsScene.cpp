// What the editor chunk of a .3ds file holds: its materials with their maps, and its objects
// (meshes with their faces, and lights); then the meshes' post-processing.

#include "model3ds/L3DS.h"

#include "model3ds/ChunkIds.h"
#include "platform/Debug.h"

#include <cstdint>
#include <string>
#include <utility>

using namespace chunk3ds;

namespace {

constexpr size_t nameLimit = 30;        // material and map names: 29 characters kept
constexpr size_t mapFileNameLimit = 20; // texture map file names: 19 characters kept
constexpr size_t objectNameLimit = 99;  // object names: 98 characters kept

} // namespace

// --- Materials

void L3DS::readMaterials(const Chunk& editor) {
    seekTo(editor.dataStart);
    Chunk chunk;
    while (findChunk(Material, editor, chunk)) {
        readMaterial(chunk);
        seekTo(chunk.end);
    }
}

void L3DS::readMaterial(const Chunk& chunk) {
    LMaterial material;
    seekTo(chunk.dataStart);
    Chunk sub;
    while (readChunkHeader(chunk, sub)) {
        switch (sub.id) {
        case MaterialName:
            material.setName(readString(nameLimit, sub.end));
            break;
        case MaterialAmbient:
            material.setAmbientColor(readFirstColour(sub));
            break;
        case MaterialDiffuse:
            material.setDiffuseColor(readFirstColour(sub));
            break;
        case MaterialSpecular:
            material.setSpecularColor(readFirstColour(sub));
            break;
        case MaterialShininess:
            material.setShininess(readFirstPercentage(sub));
            break;
        case MaterialTransparency:
            material.setTransparency(readFirstPercentage(sub));
            break;
        case MaterialShading: {
            const uint16_t shading = readU16();
            if (shading <= 4)
                material.setShadingType(shading);
            break;
        }
        case MaterialWireFrame:
            material.setShadingType(0);
            break;
        case TextureMap1:
            readMap(sub, material.map(LMapKind::Texture1));
            break;
        case TextureMap2:
            readMap(sub, material.map(LMapKind::Texture2));
            break;
        case OpacityMap:
            readMap(sub, material.map(LMapKind::Opacity));
            break;
        case BumpMap:
            readMap(sub, material.map(LMapKind::Bump));
            break;
        case SpecularMap:
            readMap(sub, material.map(LMapKind::Specular));
            break;
        case ReflectionMap:
            if (!readReflectionMap(sub, material.map(LMapKind::Reflection)))
                return; // a reflection map without its file name drops the material
            break;
        default:
            break;
        }
        seekTo(sub.end);
    }
    material.setID(static_cast<uint32_t>(materials.size()));
    materialIdByName_.emplace(material.getName(), material.getID());
    materials.push_back(std::move(material));
}

void L3DS::readMap(const Chunk& chunk, LMap& map) {
    Chunk sub;
    while (readChunkHeader(chunk, sub)) {
        switch (sub.id) {
        case PercentInt:
            map.strength = static_cast<int16_t>(readU16()) / 100.0f;
            break;
        case MapFileName:
            map.fileName = readString(mapFileNameLimit, sub.end);
            break;
        case MapUScale:
            map.uScale = readFloat();
            break;
        case MapVScale:
            map.vScale = readFloat();
            break;
        case MapUOffset:
            map.uOffset = readFloat();
            break;
        case MapVOffset:
            map.vOffset = readFloat();
            break;
        case MapAngle:
            map.angle = readFloat();
            break;
        default:
            break;
        }
        seekTo(sub.end);
    }
}

// A strength chunk followed by the file-name chunk; an empty name means "auto".
bool L3DS::readReflectionMap(const Chunk& chunk, LMap& map) {
    Chunk strength, name;
    if (!readChunkHeader(chunk, strength))
        return false;
    map.strength = readPercentage(strength);
    seekTo(strength.end);
    if (!readChunkHeader(chunk, name) || name.id != MapFileName)
        return false;
    map.fileName = readString(nameLimit, name.end);
    if (map.fileName.empty())
        map.fileName = "auto";
    return true;
}

// --- Objects

void L3DS::readObjects(const Chunk& editor) {
    seekTo(editor.dataStart);
    Chunk object;
    while (findChunk(Object, editor, object)) {
        objectName = readString(objectNameLimit, object.end);
        Chunk contents;
        if (readChunkHeader(object, contents)) {
            if (contents.id == TriangleMesh)
                readMesh(contents);
            else if (contents.id == Light)
                readLight(contents);
        }
        seekTo(object.end);
    }
}

void L3DS::readMesh(const Chunk& chunk) {
    LMesh mesh;
    mesh.setName(objectName);
    seekTo(chunk.dataStart);
    Chunk sub;
    while (readChunkHeader(chunk, sub)) {
        switch (sub.id) {
        case VertexList: {
            const size_t count = countThatFits(readU16(), 12, sub);
            mesh.setVertexCount(count);
            for (size_t i = 0; i < count; ++i) {
                const Vec3 p = readVec3();
                mesh.setVertex(i, {p.x, p.y, p.z, 1});
            }
            break;
        }
        case FaceList:
            readFaces(sub, mesh);
            break;
        case TexCoordList: {
            const size_t count = countThatFits(readU16(), 8, sub);
            if (mesh.vertexCount() == 0)
                mesh.setVertexCount(count);
            for (size_t i = 0; i < count; ++i) {
                const float u = readFloat(), v = readFloat();
                mesh.setTexCoord(i, {u, v});
            }
            break;
        }
        case LocalAxes: {
            Mat4 matrix;
            for (int row = 0; row < 4; ++row) {
                for (int column = 0; column < 3; ++column)
                    matrix.m[4 * row + column] = readFloat();
                matrix.m[4 * row + 3] = row == 3 ? 1.0f : 0.0f;
            }
            mesh.setMatrix(matrix);
            break;
        }
        default:
            break;
        }
        seekTo(sub.end);
    }
    facesLeftOut_ += mesh.removeFacesOutsideVertices();
    meshes.push_back(std::move(mesh));
}

void L3DS::readFaces(const Chunk& chunk, LMesh& mesh) {
    seekTo(chunk.dataStart);
    const size_t count = countThatFits(readU16(), 8, chunk);
    mesh.setTriangleCount(count);
    for (size_t i = 0; i < count; ++i) {
        LFace face;
        face.a = readU16();
        face.b = readU16();
        face.c = readU16();
        readU16(); // edge flags
        mesh.setFace(i, face);
    }
    Chunk sub;
    while (readChunkHeader(chunk, sub)) {
        if (sub.id == FaceMaterial) {
            // A group naming a material the file does not define uses material 0; face indices
            // beyond the face list are ignored.
            const auto named = materialIdByName_.find(readString(nameLimit, sub.end));
            const uint32_t id = named == materialIdByName_.end() ? 0 : named->second;
            mesh.addMaterial(id);
            const size_t faces = countThatFits(readU16(), 2, sub);
            for (size_t i = 0; i < faces; ++i) {
                const uint16_t face = readU16();
                if (face < mesh.triangleCount())
                    mesh.face(face).materialId = id;
            }
        } else if (sub.id == SmoothingGroups) {
            const size_t faces = countThatFits(static_cast<uint32_t>(mesh.triangleCount()), 4, sub);
            for (size_t i = 0; i < faces; ++i)
                mesh.face(i).smoothingGroups = readU32();
        }
        seekTo(sub.end);
    }
}

void L3DS::readLight(const Chunk& chunk) {
    LLight light;
    light.setName(objectName);
    seekTo(chunk.dataStart);
    light.position = readVec3();
    Chunk sub;
    while (readChunkHeader(chunk, sub)) {
        switch (sub.id) {
        case ColourFloat:
        case Colour24:
        case Colour24Gamma:
        case ColourFloatGamma:
            light.colour = readColour(sub);
            break;
        case Spotlight:
            light.spotlight = true;
            light.target = readVec3();
            light.hotspot = readFloat();
            light.falloff = readFloat();
            break;
        default:
            break;
        }
        seekTo(sub.end);
    }
    lights.push_back(std::move(light));
}

void L3DS::processMeshes() {
    for (auto it = meshes.begin(); it != meshes.end();) {
        if (it->process(processingLevel)) {
            ++it;
            continue;
        }
        debugLine("%s: mesh \"%s\" would need more than %zu vertices once split at its smoothing "
                  "groups and is left out",
                  source_.c_str(), it->getName().c_str(), LMesh::maxVertices);
        if (it == meshes.begin() && !firstMeshLeftOut_)
            firstMeshLeftOut_ = it->getName();
        it = meshes.erase(it);
    }
}
