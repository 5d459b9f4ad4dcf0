// Fuzz target of the 3DS reader: any bytes must read without a crash, a hang or unbounded memory,
// and every mesh read must be usable as it stands.

#include "model3ds/L3DS.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    L3DS importer;
    const bool read = importer.loadMemory(data, size, "fuzz input");
    check(read || (importer.meshCount() == 0 && importer.materialCount() == 0));
    for (size_t m = 0; m < importer.meshCount(); ++m) {
        const LMesh& mesh = importer.mesh(m);
        const size_t vertices = mesh.vertexCount();
        check(vertices <= LMesh::maxVertices);
        for (size_t t = 0; t < mesh.triangleCount(); ++t) {
            const LTriangle& triangle = mesh.triangle(t);
            const LFace& face = mesh.face(t);
            check(triangle.a < vertices && triangle.b < vertices && triangle.c < vertices);
            check(face.a == triangle.a && face.b == triangle.b && face.c == triangle.c);
        }
        // The other processing levels must cope with whatever the reader accepted.
        LMesh copy = mesh;
        check(copy.process(1));
        check(copy.process(0));
        check(copy.vertexCount() == vertices);
    }
    for (size_t i = 0; i < importer.materialCount(); ++i) {
        const LMaterial& material = importer.material(i);
        check(material.getID() == i);
        check(material.getShininess() >= 0 && material.getShininess() <= 1);
        check(material.getTransparency() >= 0 && material.getTransparency() <= 1);
        check(material.getShadingType() <= 4);
    }
    return 0;
}
