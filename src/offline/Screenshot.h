#pragma once
// Saving pictures the show drew.

#include <cstdint>
#include <string>

// Pictures are written as JPEG when the file name ends in .jpg or .jpeg, else as PNG.

enum class PixelOrder { Bgra, Rgba };

// Writes a picture of 4 bytes a pixel (in the given order, the fourth unused; rows bottom up, as
// OpenGL reads them) as an RGB picture file. Throws "Unable to save picture %s" when it cannot be
// written.
void savePicture(const std::string& path, const uint8_t* bottomUp, int width, int height,
                 PixelOrder order);
