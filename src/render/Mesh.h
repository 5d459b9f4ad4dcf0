#pragma once
// The models built into the program (the Quelm model and the four rings) compiled from their
// tables into display lists.

#include "render/GL.h"

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
