#pragma once
// Reader of 3D Studio (.3ds) files: the whole file is read into memory, its chunk tree walked,
// and the meshes, materials and lights found are kept in the importer's lists; every mesh is then
// post-processed at the importer's processing level.
//
// Damaged files never make the reader fail in a harmful way: a chunk whose length is below its
// header's size or reaches past its parent ends the walk of that parent; reads past the end of the
// file give 0; counts are limited to what the chunk holds; faces whose corners lie beyond the
// vertex list are left out (one line on standard error per file); a mesh whose smoothing split
// would pass 65535 vertices is left out with a line on standard error.

#include "model3ds/LImporter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class L3DS : public LImporter {
public:
    L3DS() = default;
    // Reads the file; one that cannot be read leaves the importer empty.
    explicit L3DS(const std::string& path);
    ~L3DS() override = default;

    bool loadFile(const std::string& path) override;
    // Reads a file image already in memory; `source` names it in diagnostics.
    bool loadMemory(const uint8_t* data, size_t size, const std::string& source = "<memory>");
    // The name of the file's first mesh when it was left out, so that mesh(0) is a later one.
    const std::optional<std::string>& firstMeshLeftOut() const { return firstMeshLeftOut_; }

private:
    struct Chunk {
        uint16_t id = 0;
        uint64_t dataStart = 0;
        uint64_t end = 0; // offset just past the chunk, as its header declares
    };

    // Keeps the file's bytes while they are parsed, then lets them go.
    bool readBuffer(std::vector<uint8_t>&& bytes, const std::string& source);
    bool parse();

    uint8_t readU8();
    uint16_t readU16();
    uint32_t readU32();
    float readFloat();
    Vec3 readVec3();
    // Stores at most limit - 1 characters and reads on to the terminating NUL (or `end`).
    std::string readString(size_t limit, uint64_t end);
    void seekTo(uint64_t offset);
    // The declared count, limited to the elements of `size` bytes left in the chunk.
    size_t countThatFits(uint32_t declared, size_t size, const Chunk& chunk) const;

    // Reads the header at the read position if it lies wholly inside `parent`.
    bool readChunkHeader(const Chunk& parent, Chunk& chunk);
    bool findChunk(uint16_t id, const Chunk& parent, Chunk& found);
    Vec3 readColour(const Chunk& chunk);
    Vec3 readFirstColour(const Chunk& parent);
    float readPercentage(const Chunk& chunk);
    float readFirstPercentage(const Chunk& parent);

    void readMaterials(const Chunk& editor);
    void readMaterial(const Chunk& chunk);
    void readMap(const Chunk& chunk, LMap& map);
    bool readReflectionMap(const Chunk& chunk, LMap& map);
    void readObjects(const Chunk& editor);
    void readMesh(const Chunk& chunk);
    void readFaces(const Chunk& chunk, LMesh& mesh);
    void readLight(const Chunk& chunk);
    void processMeshes();

    std::string objectName;
    std::vector<uint8_t> buffer; // the file, only while it is read
    uint32_t bufferSize = 0;
    uint32_t position = 0;
    std::string source_;
    size_t facesLeftOut_ = 0;
    std::optional<Chunk> firstChunkPastEnd_; // the first chunk claiming bytes the file lacks
    std::optional<std::string> firstMeshLeftOut_;
    // Material ids by name (the first material of a name), for the faces' material groups.
    std::unordered_map<std::string, uint32_t> materialIdByName_;
};
