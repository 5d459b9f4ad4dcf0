#pragma once
// The tables of the models built into the program. Each table is generated once, on first use, by
// code that shapes it; the counts of triangles, vertices and normals are fixed.

#include "render/GL.h"
#include "render/VecMath.h"

#include <cstdint>
#include <vector>

// One triangle: three vertex indices, then the three corners' normal indices.
struct ModelFace {
    int16_t vertex[3];
    int16_t normal[3];
};

struct ModelMaterial {
    float ambient[3];
    float diffuse[3];
    float specular[3];
    float emission[3];
    float alpha;
    float shininess;
    int32_t texture; // -1: none (not read)
};

// `triangles` consecutive triangles use `material`.
struct MaterialRun {
    int32_t material;
    int32_t triangles;
};

struct BuiltinModel {
    std::vector<ModelFace> faces;
    std::vector<Vec3> vertices;
    std::vector<Vec3> normals;
    std::vector<ModelMaterial> materials; // rings only
    std::vector<MaterialRun> runs;        // rings only
};

const BuiltinModel& quelmModel();
// number: 1 to 4.
const BuiltinModel& ringModel(int number);

// Compiles a model in immediate mode into a new display list; the materials of the run table are
// applied between triangles.
GLuint compileModelList(const BuiltinModel& model);
