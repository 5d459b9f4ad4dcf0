// DDS files of floats read by our own reader: the old codes and the DX10 header's formats, halves
// and floats, missing channels, and the files it refuses or leaves to the image library.
#include "render/DdsFloats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// The four letters that name a format, as the header's word.
constexpr uint32_t dx10 = 0x30315844, dxt1 = 0x31545844;

// A DDS file: `code` is a format code, or dx10 with `dxgi` the DX10 header's format.
std::string ddsFile(uint32_t width, uint32_t height, uint32_t code, uint32_t dxgi,
                    const std::string& texels, uint32_t caps2 = 0) {
    uint32_t header[31] = {};
    header[0] = 124;
    header[2] = height;
    header[3] = width;
    header[18] = 32;
    header[19] = 0x4;
    header[20] = code;
    header[27] = caps2;
    std::string bytes = "DDS ";
    bytes.append(reinterpret_cast<const char*>(header), sizeof header);
    if (code == dx10) {
        const uint32_t extended[5] = {dxgi, 3, 0, 1, 0};
        bytes.append(reinterpret_cast<const char*>(extended), sizeof extended);
    }
    return bytes + texels;
}

template <class T> std::string texels(std::initializer_list<T> values) {
    return std::string(reinterpret_cast<const char*>(std::data(values)), values.size() * sizeof(T));
}

TEST(DdsFloats, HalvesAndFloatsOfEveryLayoutReadAsRgbaFloats) {
    EXPECT_EQ(halfToFloat(0x3c00), 1.0f);
    EXPECT_EQ(halfToFloat(0xc000), -2.0f);
    EXPECT_EQ(halfToFloat(0x7bff), 65504.0f);
    EXPECT_EQ(halfToFloat(0x0001), std::ldexp(1.0f, -24));
    EXPECT_TRUE(std::isinf(halfToFloat(0x7c00)));
    EXPECT_TRUE(std::isnan(halfToFloat(0x7e00)));

    const struct {
        std::string file;
        std::vector<float> first; // the first texel
    } cases[] = {
        {ddsFile(2, 1, 113, 0, texels<uint16_t>({0x4200, 0x3800, 0xbc00, 0, 1, 2, 3, 4})),
         {3.0f, 0.5f, -1.0f, 0.0f}},
        {ddsFile(1, 1, 112, 0, texels<uint16_t>({0x3c00, 0x4000})), {1, 2, 0, 1}},
        {ddsFile(1, 1, 114, 0, texels<float>({7.25f})), {7.25f, 0, 0, 1}},
        {ddsFile(1, 2, dx10, 16, texels<float>({1.5f, -2.0f, 0, 0})), {1.5f, -2.0f, 0, 1}},
        {ddsFile(1, 1, dx10, 6, texels<float>({1, 2, 3})), {1, 2, 3, 1}},
        {ddsFile(1, 1, dx10, 54, texels<uint16_t>({0x3400})), {0.25f, 0, 0, 1}},
    };
    for (const auto& test : cases) {
        std::string fault;
        const std::optional<FloatPicture> picture = readFloatDds(test.file, 64, fault);
        ASSERT_TRUE(picture) << fault;
        EXPECT_TRUE(fault.empty());
        EXPECT_EQ(std::vector<float>(picture->rgba.begin(), picture->rgba.begin() + 4), test.first);
        EXPECT_EQ(picture->rgba.size(), size_t(picture->width * picture->height * 4));
    }
}

TEST(DdsFloats, FilesItCannotReadAreRefusedAndOthersLeftToTheImageLibrary) {
    const struct {
        std::string file;
        const char* fault; // empty: left to the image library
    } cases[] = {
        {ddsFile(2, 2, 113, 0, texels<uint16_t>({1, 2, 3})), "it is cut short"},
        {ddsFile(0, 2, 116, 0, ""), "its size 0x2 is not usable"},
        {ddsFile(65, 1, 116, 0, std::string(65 * 16, '\0')), "its size 65x1 is not usable"},
        {ddsFile(1, 1, 113, 0, std::string(8, '\0'), 0x200), "a cube map or a volume"},
        {ddsFile(1, 1, dx10, 2, "").substr(0, 140), "its DX10 header is cut short"},
        {ddsFile(1, 1, dxt1, 0, std::string(8, '\0')), ""},
        {ddsFile(1, 1, dx10, 28, std::string(4, '\0')), ""}, // R8G8B8A8_UNORM
        {"PNG not a DDS at all, but long enough to hold a DDS header of 128 bytes............" +
             std::string(64, '.'),
         ""},
    };
    for (const auto& test : cases) {
        std::string fault = "stale";
        EXPECT_FALSE(readFloatDds(test.file, 64, fault));
        EXPECT_EQ(fault.rfind(test.fault, 0), 0u) << fault;
        if (!*test.fault) {
            EXPECT_TRUE(fault.empty()) << fault;
        }
    }
}

} // namespace
