#include "render/Texture.h"

#include "platform/Debug.h"
#include "platform/Error.h"

#include <FreeImage.h>

#include <cstring>
#include <memory>
#include <vector>

CTexture::CTexture() { glGenTextures(1, &textureId); }

CTexture::~CTexture() { glDeleteTextures(1, &textureId); }

namespace {

void setSamplingParameters(GLint wrap) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

struct BitmapDeleter {
    void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

bool usableSize(unsigned width, unsigned height) {
    return width > 0 && height > 0 && width <= unsigned(maxImageSide) &&
           height <= unsigned(maxImageSide);
}

void reportUnusableSize(const char* path, unsigned width, unsigned height) {
    debugLine("Unable to read image %s", path);
    debugLine("Image %s has an unusable size %ux%u", path, width, height);
}

// Reads only the header, where the format allows it, so that a file claiming a huge picture is
// refused before its pixels are allocated and decoded. False (and reported) when the size is
// unusable; true when it is usable or only decoding can tell.
bool headerSizeUsable(FREE_IMAGE_FORMAT format, const char* path) {
    if (!FreeImage_FIFSupportsNoPixels(format))
        return true;
    const Bitmap header(FreeImage_Load(format, path, FIF_LOAD_NOPIXELS));
    if (!header)
        return true; // the full load fails and says so
    const unsigned w = FreeImage_GetWidth(header.get());
    const unsigned h = FreeImage_GetHeight(header.get());
    if (usableSize(w, h))
        return true;
    reportUnusableSize(path, w, h);
    return false;
}

// Decodes a file into top-row-first RGBA pixels; empty when the file cannot be used.
std::vector<unsigned char> decodeImage(const char* path, int& width, int& height) {
    width = height = 0;
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path, 0);
    if (format == FIF_UNKNOWN) {
        debugLine("Unable to read image %s", path);
        return {};
    }
    if (!headerSizeUsable(format, path))
        return {};
    Bitmap image(FreeImage_Load(format, path, 0));
    if (!image) {
        debugLine("Unable to read image %s", path);
        return {};
    }
    const unsigned w = FreeImage_GetWidth(image.get());
    const unsigned h = FreeImage_GetHeight(image.get());
    if (!usableSize(w, h)) {
        reportUnusableSize(path, w, h);
        return {};
    }
    Bitmap converted;
    FIBITMAP* pixels32 = image.get();
    if (FreeImage_GetBPP(image.get()) != 32 || FreeImage_GetImageType(image.get()) != FIT_BITMAP) {
        converted.reset(FreeImage_ConvertTo32Bits(image.get()));
        if (!converted) {
            debugLine("Unable to convert image %s", path);
            return {};
        }
        pixels32 = converted.get();
    }
    const size_t rowBytes = size_t(w) * 4;
    std::vector<unsigned char> rgba(rowBytes * h);
    // FreeImage keeps the bottom row first and pixels as blue, green, red, alpha.
    for (unsigned row = 0; row < h; ++row) {
        const unsigned char* source = FreeImage_GetScanLine(pixels32, int(h - 1 - row));
        unsigned char* target = &rgba[row * rowBytes];
        for (size_t x = 0; x < rowBytes; x += 4) {
            target[x] = source[x + 2];
            target[x + 1] = source[x + 1];
            target[x + 2] = source[x];
            target[x + 3] = source[x + 3];
        }
    }
    width = int(w);
    height = int(h);
    return rgba;
}

} // namespace

void CTexture::upload(const void* pixels, int width, int height, bool mirroredWrap,
                      GLenum pixelFormat, bool noMipmaps) {
    TextureBinding binding(*this);
    setSamplingParameters(mirroredWrap ? GL_MIRRORED_REPEAT : GL_REPEAT);
    switch (pixelFormat) {
    case GL_RGBA:
        if (noMipmaps)
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                         pixels);
        else
            gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                              pixels);
        break;
    case GL_RGB8:
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);
        break;
    default:
        throw ShowError("Unknown pixeldepth");
    }
    width_ = width;
    height_ = height;
}

void CTextureFreeImage::load(const char* path) {
    int width = 0, height = 0;
    const std::vector<unsigned char> rgba = decodeImage(path, width, height);
    if (rgba.empty())
        return;
    TextureBinding binding(*this);
    setSamplingParameters(GL_REPEAT);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                      rgba.data());
    width_ = width;
    height_ = height;
}

TextureBinding::TextureBinding(const CTexture& texture) {
    glBindTexture(GL_TEXTURE_2D, texture.textureId);
}

TextureBinding::~TextureBinding() { glBindTexture(GL_TEXTURE_2D, 0); }
