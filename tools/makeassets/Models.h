#pragma once
// The show's two 3DS models: smooth shapes of a few thousand triangles, 60 to 100 units across
// their radius (the effects draw them 400 to 500 units away).

#include "model3ds/L3dsWriter.h"

#include <filesystem>

// A (2, 3) torus knot: a tube winding twice round and three times through.
SceneMesh torusKnotMesh();
// A lumpy, organic ball.
SceneMesh blobMesh();

void writeModels(const std::filesystem::path& dataDir);
