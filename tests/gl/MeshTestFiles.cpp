#include "MeshTestFiles.h"

#include "model3ds/L3dsWriter.h"

#include <filesystem>

void writeSolidImage(const std::string& path, Rgba colour) {
    const bool withAlpha = std::filesystem::path(path).extension() == ".png";
    writeImage(
        path, 16, 16, [colour](int, int) { return colour; }, withAlpha);
}

void writeSquareModel(const std::string& path, float halfSize) {
    SceneMesh square;
    square.name = "square";
    square.vertices = {Vec3(-halfSize, -halfSize, 0), Vec3(halfSize, -halfSize, 0),
                       Vec3(halfSize, halfSize, 0), Vec3(-halfSize, halfSize, 0)};
    square.texCoords = {Vec2{0, 0}, Vec2{1, 0}, Vec2{1, 1}, Vec2{0, 1}};
    square.faces = {{0, 1, 2, 1}, {0, 2, 3, 1}, {0, 2, 1, 2}, {0, 3, 2, 2}};
    Scene3ds scene;
    scene.meshes.push_back(square);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    write3ds(path, scene);
}
