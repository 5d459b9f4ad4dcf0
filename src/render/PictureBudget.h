#pragma once
// The pictures a show holds share a budget of memory (pictureBudgetBytes): what each may take, and
// the check of a picture's size against it, made from a header before any pixel is decoded.

#include "render/ImageFile.h"

#include <cstdint>

// What a picture may take: the sides the textures hold and the bytes left of the budget.
struct PictureAllowance {
    uint32_t largestSide = maxImageSide;
    uint64_t bytesLeft = pictureBudgetBytes;
};

// Reports a picture whose size is unusable or over what it may take; true when it fits.
bool sizeAllowed(const char* path, unsigned w, unsigned h, const PictureAllowance& allowance);
