#pragma once
// Files for the mesh effect tests: solid-colour images and small .3ds models.

#include "TestFiles.h"

#include <string>

// A 16 x 16 image of one colour; PNG files keep the colour's alpha.
void writeSolidImage(const std::string& path, Rgba colour);

// A square of the given half size in the model's z = 0 plane, with faces on both sides (in
// smoothing groups of their own, so each side has its own normals) and texture coordinates.
void writeSquareModel(const std::string& path, float halfSize);
