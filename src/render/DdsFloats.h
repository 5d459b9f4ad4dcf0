#pragma once
// DirectDraw Surface files of 16-bit (half) or 32-bit floats, which look-up tables and HDR
// pictures are kept in and the image library does not read: the first level of a 2-D picture,
// its channels as floats.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct FloatPicture {
    int width = 0;
    int height = 0;
    std::vector<float> rgba; // top row first; missing channels are 0, a missing alpha 1
};

// The picture of a DDS file of floats. Nothing, with `fault` empty, for a file that is no DDS of
// floats (another reader may know it); nothing with `fault` saying why for one that cannot be
// read (cut short, a volume or a cube map, larger than `largestSide` on a side).
std::optional<FloatPicture> readFloatDds(std::string_view bytes, int largestSide,
                                         std::string& fault);

// A 16-bit float as a float.
float halfToFloat(uint16_t half);
