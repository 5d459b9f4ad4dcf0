#pragma once
// Saving what the show drew into the window.

#include <cstdint>
#include <string>

// Pictures are written as JPEG when the file name ends in .jpg or .jpeg, else as PNG.

// Reads the back buffer of the window framebuffer (screenWidth x screenHeight) and writes it as
// an RGB picture file. Throws "Unable to save picture %s" when the file cannot be written.
void saveWindowPicture(const std::string& path);

// Writes a picture of 4 bytes a pixel (blue, green, red, unused; rows bottom up, as OpenGL reads
// them) as an RGB picture file. Throws "Unable to save picture %s" when it cannot be written.
void savePicture(const std::string& path, const uint8_t* bgraBottomUp, int width, int height);
