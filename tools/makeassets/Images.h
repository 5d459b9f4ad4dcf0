#pragma once
// The show's pictures, by the way the effects blend them.

#include "Canvas.h"

#include <filesystem>

// Lights added onto the picture (GL_ONE, GL_ONE and GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR): bright
// shapes on black, black at every edge so the quads never show.
void writeGlowImages(const std::filesystem::path& dataDir);
// Opaque backgrounds, landscapes, tiles and environment maps.
void writeSceneImages(const std::filesystem::path& dataDir);
// Portraits, figures, flowers and sprites with alpha.
void writeFigureImages(const std::filesystem::path& dataDir);
// Pictures that carry words, and the masks that darken the picture (white blacks out).
void writeTextAndMaskImages(const std::filesystem::path& dataDir);

// Helpers shared by the picture files.

// 1 inside radius `inner`, falling smoothly to 0 at `outer` (distances from the centre).
float edgeFade(float distance, float inner, float outer);
// Alpha from brightness, for glowing PNG sprites.
void alphaFromBrightness(Canvas& canvas);
// A soft round blob: a Gaussian-like falloff that is exactly 0 at radius 1.
float softBlob(float distance);
