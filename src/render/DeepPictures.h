#pragma once
// Pictures of more than 8 bits a channel kept as floats, for the decoding child of ImageFile.cpp:
// the image library's 16-bit and float pictures, and DDS files of floats with our own reader.

#include "render/ImageFile.h"

#include <FreeImage.h>

#include <cstddef>
#include <optional>

// A picture of 16-bit whole numbers (read as 0 to 1) or of floats, as floats, top row first,
// values above 1 and below 0 kept, with room for `roomAfter` bytes behind them; an empty image
// (noted) for one larger than maxFloatImageSide; nothing for an 8-bit picture or one of other
// numbers, which then goes the 8-bit way.
std::optional<DecodedImage> floatPicture(FIBITMAP* image, const char* path, size_t roomAfter);

// A DDS file of floats (up to `largestFile` bytes); an empty image (noted) for one that cannot be
// read; nothing for another DDS file, which the image library may read.
std::optional<DecodedImage> floatDds(const char* path, size_t largestFile);
