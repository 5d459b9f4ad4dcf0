// Writes the seed files of the 3DS reader's fuzz corpus: models made with the writer, and damaged
// copies (cut short, with broken chunk lengths).

#include "model3ds/L3dsWriter.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

void save(const std::string& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream out(folder + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Scene3ds fullScene() {
    Scene3ds scene;
    SceneMesh cube;
    cube.name = "Cube";
    for (int i = 0; i < 8; ++i) {
        cube.vertices.push_back({i & 1 ? 1.f : -1.f, i & 2 ? 1.f : -1.f, i & 4 ? 1.f : -1.f});
        cube.texCoords.push_back({i & 1 ? 1.f : 0.f, i & 2 ? 1.f : 0.f});
    }
    const uint16_t sides[6][4] = {{1, 3, 7, 5}, {0, 4, 6, 2}, {2, 6, 7, 3},
                                  {0, 1, 5, 4}, {4, 5, 7, 6}, {0, 2, 3, 1}};
    for (int s = 0; s < 6; ++s) {
        const auto* q = sides[s];
        cube.faces.push_back({q[0], q[1], q[2], 1u << s});
        cube.faces.push_back({q[0], q[2], q[3], 1u << s});
    }
    cube.materialGroups = {{"Red", {0, 1, 2, 3}}, {"Blue", {4, 5}}};
    cube.localAxes = std::vector<float>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    scene.meshes.push_back(cube);
    SceneMaterial red;
    red.name = "Red";
    red.diffuse = {1, 0, 0};
    red.shininess = 0.5f;
    red.textureMap = SceneTextureMap{"red.png"};
    SceneMaterial blue;
    blue.name = "Blue";
    blue.diffuse = {0, 0, 1};
    blue.reflectionMap = SceneTextureMap{""};
    blue.bumpMap = SceneTextureMap{"bump.png"};
    scene.materials = {red, blue};
    SceneLight spot;
    spot.name = "Spot";
    spot.spotlight = true;
    SceneLight lamp;
    lamp.name = "Lamp";
    lamp.position = {1, 2, 3};
    scene.lights = {spot, lamp};
    return scene;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_3ds_corpus <folder>\n");
        return 1;
    }
    const std::string folder = argv[1];
    Scene3ds scene = fullScene();
    const std::vector<uint8_t> full = encode3ds(scene);
    save(folder, "full.3ds", full);
    scene.materialsAfterObjects = true;
    scene.meshes[0].writeSmoothingGroups = false;
    save(folder, "materials-last.3ds", encode3ds(scene));
    for (size_t cut : {full.size() / 3, full.size() / 2, full.size() - 7})
        save(folder, "cut-" + std::to_string(cut) + ".3ds",
             std::vector<uint8_t>(full.begin(), full.begin() + static_cast<long>(cut)));
    // Chunk lengths of 0, of 5 and reaching far past the file, at the editor chunk's first child.
    for (uint32_t length : {0u, 5u, 0x7FFFFFF0u}) {
        std::vector<uint8_t> broken = full;
        const size_t at = 12 + 6; // after the main and version chunks and the editor header
        for (int i = 0; i < 4; ++i)
            broken[at + 2 + i] = static_cast<uint8_t>(length >> (8 * i));
        save(folder, "length-" + std::to_string(length) + ".3ds", broken);
    }
    // Faces naming vertices that do not exist.
    Scene3ds bad = fullScene();
    bad.meshes[0].faces.push_back({7, 8, 300});
    save(folder, "bad-corner.3ds", encode3ds(bad));
    return 0;
}
