#pragma once
// Display-list meshes: models read from .3ds files through the importer, and the models built into
// the program (the Quelm model and the four rings) compiled from their tables.

#include "render/GL.h"

#include <string>

// Flags of ModelDisplayList: which of the model's per-vertex arrays the list takes.
enum ModelArrays : unsigned {
    ModelNormals = 1,
    ModelTexCoords = 2,
    ModelBinormalsAsColours = 4,
};

// The first mesh of a .3ds file compiled into a display list of vertex arrays. The list lives as
// long as the GL context. Raises "No mesh in <path>" when the file holds no mesh (or cannot be
// read). No client array is left enabled.
class ModelDisplayList {
public:
    GLuint list = 0;

    ModelDisplayList(const std::string& path, unsigned flags);
    void draw() const { glCallList(list); }
};

// Compiles the Quelm model into a new display list and returns its name.
GLuint buildQuelmModelList();

// The four ring display lists, one set for the whole program, made by buildRingModels.
struct RingModelSet {
    GLuint ring[4] = {0, 0, 0, 0};
};
RingModelSet& ringModels();

// Compiles rings 1 to 4 into four new display lists and stores their names in ringModels().
void buildRingModels();

// Draws the ring assembly turned by `angle` degrees and shifted sideways by offsetX / 4.
void drawRings(float angle, float offsetX);

// Lighting and light 0 off again after drawRings under setupLighting().
void disableLighting();
