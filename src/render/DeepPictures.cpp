#include "render/DeepPictures.h"

#include "platform/FileBytes.h"
#include "platform/LoadNotes.h"
#include "render/DdsFloats.h"

#include <cstdint>
#include <cstring>

namespace {

// How a deep picture's texels read as floats: its channels and what each is.
struct DeepLayout {
    int channels = 0;   // 1 for grey, 3 or 4
    bool whole = false; // 16-bit whole numbers (0 to 65535 read as 0 to 1), else floats
};

DeepLayout deepLayoutOf(FREE_IMAGE_TYPE type) {
    switch (type) {
    case FIT_UINT16:
        return {1, true};
    case FIT_RGB16:
        return {3, true};
    case FIT_RGBA16:
        return {4, true};
    case FIT_FLOAT:
        return {1, false};
    case FIT_RGBF:
        return {3, false};
    case FIT_RGBAF:
        return {4, false};
    default:
        return {};
    }
}

} // namespace

// A picture of more than 8 bits a channel as floats, top row first, values above 1 and below 0
// kept; nothing for an 8-bit picture or one of other numbers (which then goes the 8-bit way).
std::optional<DecodedImage> floatPicture(FIBITMAP* image, const char* path, size_t roomAfter) {
    const DeepLayout layout = deepLayoutOf(FreeImage_GetImageType(image));
    if (layout.channels == 0)
        return std::nullopt;
    const unsigned w = FreeImage_GetWidth(image);
    const unsigned h = FreeImage_GetHeight(image);
    if (w > unsigned(maxFloatImageSide) || h > unsigned(maxFloatImageSide)) {
        noteLoadProblem("Image %s is too large to keep as floats: %ux%u", path, w, h);
        return DecodedImage{};
    }
    DecodedImage picture{int(w), int(h), {}, {}, {}};
    picture.floats.reserve(size_t(w) * h * 4 + roomAfter / sizeof(float));
    for (unsigned y = 0; y < h; ++y) {
        const BYTE* row = FreeImage_GetScanLine(image, int(h - 1 - y));
        for (unsigned x = 0; x < w; ++x)
            for (int channel = 0; channel < 4; ++channel) {
                // Grey is red, green and blue alike; a missing alpha is opaque.
                const int from = layout.channels == 1 ? 0 : channel;
                float value = 1.0f;
                if (channel < 3 || layout.channels == 4) {
                    const size_t at = size_t(x) * size_t(layout.channels) + size_t(from);
                    if (layout.whole) {
                        uint16_t number = 0;
                        std::memcpy(&number, row + at * 2, 2);
                        value = float(number) / 65535;
                    } else {
                        std::memcpy(&value, row + at * 4, 4);
                    }
                }
                picture.floats.push_back(value);
            }
    }
    return picture;
}

// A DDS file of floats; nothing for another DDS file, which the image library may read.
std::optional<DecodedImage> floatDds(const char* path, size_t largestFile) {
    std::string bytes, fault;
    if (readWholeFile(path, largestFile, bytes) != FileRead::Read)
        return std::nullopt;
    std::optional<FloatPicture> picture = readFloatDds(bytes, maxFloatImageSide, fault);
    if (!fault.empty()) {
        noteLoadProblem("Image %s is refused: %s", path, fault.c_str());
        return DecodedImage{};
    }
    if (!picture)
        return std::nullopt;
    return DecodedImage{picture->width, picture->height, {}, std::move(picture->rgba), {}};
}
