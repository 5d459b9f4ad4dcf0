#include "model3ds/LImporter.h"

#include <algorithm>

void LImporter::clear() {
    lights.clear();
    meshes.clear();
    materials.clear();
    processingLevel = 2;
}

namespace {

template <typename Object>
const Object* findByName(const std::vector<Object>& objects, const std::string& name) {
    const auto it = std::find_if(objects.begin(), objects.end(),
                                 [&](const Object& o) { return o.getName() == name; });
    return it == objects.end() ? nullptr : &*it;
}

} // namespace

const LMaterial* LImporter::findMaterial(const std::string& name) const {
    return findByName(materials, name);
}

const LMesh* LImporter::findMesh(const std::string& name) const { return findByName(meshes, name); }
