#pragma once
// Base of the model importers: the meshes, materials and lights read from a file.

#include "model3ds/LMesh.h"
#include "model3ds/LObject.h"

#include <cstdint>
#include <string>
#include <vector>

class LImporter {
public:
    LImporter() { clear(); }
    virtual ~LImporter() = default;
    // True when the file was read and is a model file.
    virtual bool loadFile(const std::string& path) = 0;
    // Empties the lists and sets processingLevel to 2.
    virtual void clear();

    size_t meshCount() const { return meshes.size(); }
    size_t materialCount() const { return materials.size(); }
    size_t lightCount() const { return lights.size(); }
    // Range-checked: an index outside the list throws std::out_of_range.
    const LMesh& mesh(size_t index) const { return meshes.at(index); }
    const LMaterial& material(size_t index) const { return materials.at(index); }
    const LLight& light(size_t index) const { return lights.at(index); }
    // The first object whose name equals `name` exactly, or null.
    const LMaterial* findMaterial(const std::string& name) const;
    const LMesh* findMesh(const std::string& name) const;

    // What is computed for each mesh after reading (see LMesh::process).
    int32_t processingLevel = 2;

protected:
    std::vector<LLight> lights;
    std::vector<LMesh> meshes;
    std::vector<LMaterial> materials;
};
