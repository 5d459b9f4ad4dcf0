#include "offline/Screenshot.h"

#include "platform/Error.h"

#include <FreeImage.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

struct BitmapDeleter {
    void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

Bitmap allocateRgb(const std::string& path, int width, int height) {
    Bitmap bitmap(FreeImage_Allocate(width, height, 24));
    if (!bitmap)
        raise("Unable to save picture %s", path.c_str());
    return bitmap;
}

constexpr int jpegQuality = 85;

bool namesJpeg(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension == ".jpg" || extension == ".jpeg";
}

void save(const std::string& path, FIBITMAP* bitmap) {
    const bool jpeg = namesJpeg(path);
    if (!FreeImage_Save(jpeg ? FIF_JPEG : FIF_PNG, bitmap, path.c_str(),
                        jpeg ? jpegQuality | JPEG_OPTIMIZE : PNG_DEFAULT))
        raise("Unable to save picture %s", path.c_str());
}

} // namespace

void savePicture(const std::string& path, const uint8_t* bottomUp, int width, int height,
                 PixelOrder order) {
    Bitmap bitmap = allocateRgb(path, width, height);
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = bottomUp + size_t(y) * size_t(width) * 4;
        uint8_t* row = FreeImage_GetScanLine(bitmap.get(), y); // row 0 is the bottom one
        for (int x = 0; x < width; ++x) {
            const uint8_t* pixel = source + 4 * x;
            // The bitmap keeps blue, green, red.
            uint8_t* target = row + 3 * x;
            target[FI_RGBA_BLUE] = pixel[order == PixelOrder::Bgra ? 0 : 2];
            target[FI_RGBA_GREEN] = pixel[1];
            target[FI_RGBA_RED] = pixel[order == PixelOrder::Bgra ? 2 : 0];
        }
    }
    save(path, bitmap.get());
}
