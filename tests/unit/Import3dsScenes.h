#pragma once
// Scenes for the 3DS reader's tests, and the reader run on their bytes.

#include "model3ds/L3DS.h"
#include "model3ds/L3dsWriter.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// An L3DS read from the bytes of a scene (or of any chunk tree).
struct Loaded {
    L3DS importer;
    bool ok = false;
    explicit Loaded(const std::vector<uint8_t>& bytes) {
        ok = importer.loadMemory(bytes.data(), bytes.size(), "test.3ds");
    }
    explicit Loaded(const Scene3ds& scene) : Loaded(encode3ds(scene)) {}
};

// A unit cube centred on the origin: 8 shared corners, two triangles per side, wound outwards.
// Each side's smoothing group comes from `groupOfSide`.
inline SceneMesh cube(uint32_t (*groupOfSide)(int side)) {
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

inline Scene3ds sceneWith(SceneMesh mesh) {
    Scene3ds scene;
    scene.meshes.push_back(std::move(mesh));
    return scene;
}

// Two triangles sharing the edge from vertex 1 to vertex 2.
inline SceneMesh twoTriangles(uint32_t firstGroup, uint32_t secondGroup) {
    SceneMesh mesh;
    mesh.name = "Pair";
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0.5f}};
    mesh.faces = {{0, 1, 2, firstGroup}, {1, 3, 2, secondGroup}};
    return mesh;
}

inline SceneMaterial namedMaterial(const std::string& name, const Vec3& diffuse = {}) {
    SceneMaterial material;
    material.name = name;
    material.diffuse = diffuse;
    return material;
}
