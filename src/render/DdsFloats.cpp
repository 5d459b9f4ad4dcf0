#include "render/DdsFloats.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr size_t headerEnd = 128;    // "DDS " and the 124-byte header
constexpr size_t extendedEnd = 148;  // and the 20-byte header of DX10 files
constexpr uint32_t fourCcFlag = 0x4; // the pixel format names its format by a code
constexpr uint32_t cubeMapCaps = 0x200;
constexpr uint32_t volumeCaps = 0x200000;
constexpr uint32_t cubeMapMisc = 0x4;

uint32_t wordAt(std::string_view bytes, size_t at) {
    uint32_t word = 0;
    std::memcpy(&word, bytes.data() + at, sizeof word);
    return word;
}

// How the texels of a format of floats are laid out.
struct Layout {
    int channels = 0;
    int bytesPerChannel = 0; // 2 for halves, 4 for floats
};

// The old formats' codes (D3DFMT_R16F ... D3DFMT_A32B32G32R32F).
Layout layoutOfCode(uint32_t code) {
    switch (code) {
    case 111:
        return {1, 2};
    case 112:
        return {2, 2};
    case 113:
        return {4, 2};
    case 114:
        return {1, 4};
    case 115:
        return {2, 4};
    case 116:
        return {4, 4};
    default:
        return {};
    }
}

// The DX10 header's DXGI formats of floats.
Layout layoutOfDxgi(uint32_t format) {
    switch (format) {
    case 2:
        return {4, 4}; // R32G32B32A32_FLOAT
    case 6:
        return {3, 4}; // R32G32B32_FLOAT
    case 10:
        return {4, 2}; // R16G16B16A16_FLOAT
    case 16:
        return {2, 4}; // R32G32_FLOAT
    case 34:
        return {2, 2}; // R16G16_FLOAT
    case 41:
        return {1, 4}; // R32_FLOAT
    case 54:
        return {1, 2}; // R16_FLOAT
    default:
        return {};
    }
}

float channelAt(const unsigned char* texel, int channel, int bytesPerChannel) {
    if (bytesPerChannel == 2) {
        uint16_t half = 0;
        std::memcpy(&half, texel + channel * 2, 2);
        return halfToFloat(half);
    }
    float value = 0;
    std::memcpy(&value, texel + channel * 4, 4);
    return value;
}

} // namespace

float halfToFloat(uint16_t half) {
    const int exponent = (half >> 10) & 0x1f;
    const int mantissa = half & 0x3ff;
    const float sign = (half & 0x8000) ? -1.0f : 1.0f;
    if (exponent == 0)
        return sign * std::ldexp(float(mantissa), -24);
    if (exponent == 31)
        return mantissa ? NAN : sign * INFINITY;
    return sign * std::ldexp(float(mantissa | 0x400), exponent - 25);
}

std::optional<FloatPicture> readFloatDds(std::string_view bytes, int largestSide,
                                         std::string& fault) {
    fault.clear();
    if (bytes.size() < headerEnd || bytes.substr(0, 4) != "DDS " || wordAt(bytes, 4) != 124)
        return std::nullopt;
    if (!(wordAt(bytes, 80) & fourCcFlag))
        return std::nullopt;
    const uint32_t code = wordAt(bytes, 84);
    const bool extended = std::memcmp(bytes.data() + 84, "DX10", 4) == 0;
    if (extended && bytes.size() < extendedEnd) {
        fault = "its DX10 header is cut short";
        return std::nullopt;
    }
    const Layout layout = extended ? layoutOfDxgi(wordAt(bytes, 128)) : layoutOfCode(code);
    if (layout.channels == 0)
        return std::nullopt; // not floats: perhaps the image library's
    const uint32_t height = wordAt(bytes, 12), width = wordAt(bytes, 16);
    if ((wordAt(bytes, 112) & (cubeMapCaps | volumeCaps)) ||
        (extended && ((wordAt(bytes, 136) & cubeMapMisc) || wordAt(bytes, 132) == 4))) {
        fault = "a cube map or a volume in one DDS file is not read; give a 2-D picture";
        return std::nullopt;
    }
    if (width == 0 || height == 0 || width > uint32_t(largestSide) ||
        height > uint32_t(largestSide)) {
        fault =
            "its size " + std::to_string(width) + "x" + std::to_string(height) + " is not usable";
        return std::nullopt;
    }
    const size_t texelBytes = size_t(layout.channels) * size_t(layout.bytesPerChannel);
    const size_t dataStart = extended ? extendedEnd : headerEnd;
    const size_t dataBytes = size_t(width) * height * texelBytes;
    if (bytes.size() - dataStart < dataBytes) {
        fault = "it is cut short";
        return std::nullopt;
    }
    FloatPicture picture{int(width), int(height), {}};
    picture.rgba.resize(size_t(width) * height * 4);
    const auto* texel = reinterpret_cast<const unsigned char*>(bytes.data() + dataStart);
    for (size_t at = 0; at < size_t(width) * height; ++at, texel += texelBytes)
        for (int channel = 0; channel < 4; ++channel)
            picture.rgba[at * 4 + size_t(channel)] =
                channel < layout.channels ? channelAt(texel, channel, layout.bytesPerChannel)
                : channel == 3            ? 1.0f
                                          : 0.0f;
    return picture;
}
