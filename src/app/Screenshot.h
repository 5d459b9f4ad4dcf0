#pragma once
// Saving pictures the show drew.

#include <cstdint>
#include <string>

// Pictures are written as JPEG when the file name ends in .jpg or .jpeg, else as PNG.

// Writes a picture of 4 bytes a pixel (blue, green, red, unused; rows bottom up, as OpenGL reads
// them) as an RGB picture file. Throws "Unable to save picture %s" when it cannot be written.
void savePicture(const std::string& path, const uint8_t* bgraBottomUp, int width, int height);
