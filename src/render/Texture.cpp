#include "render/Texture.h"

#include "platform/Error.h"
#include "render/ImageFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
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

// Level 0 is all that is ever sampled (the minifying filter is GL_LINEAR), so a picture whose sides
// are powers of two goes up as it is, without mipmap levels. Other sides go through the GLU, which
// scales them to a power of two as it always has.
void uploadImage(const std::vector<unsigned char>& rgba, int width, int height) {
    const auto powerOfTwo = [](int side) { return side > 0 && (side & (side - 1)) == 0; };
    const int largest = largestTextureSide();
    if (powerOfTwo(width) && powerOfTwo(height) && width <= largest && height <= largest)
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     rgba.data());
    else
        gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                          rgba.data());
}

} // namespace

int largestTextureSide() {
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    return largest;
}

struct SharedImage {
    GLuint name = 0;
    int width = 0;
    int height = 0;
    PictureCharge charge;

    SharedImage() { glGenTextures(1, &name); }
    ~SharedImage() { glDeleteTextures(1, &name); }
    SharedImage(const SharedImage&) = delete;
    SharedImage& operator=(const SharedImage&) = delete;
};

namespace {

// What makes two loads the same image: the same file, unchanged.
struct ImageFileKey {
    std::string canonicalPath;
    uintmax_t size = 0;
    int64_t modifiedNs = 0;
    uint64_t contentHash = 0;
    auto operator<=>(const ImageFileKey&) const = default;
};

// 64-bit FNV-1a of the file's bytes: edits within one tick of the file clock still count.
std::optional<uint64_t> hashFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return std::nullopt;
    uint64_t hash = 0xcbf29ce484222325ull;
    unsigned char buffer[65536];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        for (size_t i = 0; i < count; ++i)
            hash = (hash ^ buffer[i]) * 0x100000001b3ull;
    const bool failed = std::ferror(file);
    std::fclose(file);
    return failed ? std::nullopt : std::optional<uint64_t>(hash);
}

// None for anything but a readable regular file: those are decoded without being shared.
std::optional<ImageFileKey> keyOf(const char* path) {
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::canonical(path, error);
    struct stat info;
    if (error || stat(canonical.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    const std::optional<uint64_t> hash = hashFile(canonical.string());
    if (!hash)
        return std::nullopt;
    return ImageFileKey{canonical.string(), uintmax_t(info.st_size),
                        int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec, *hash};
}

using ImageCache = std::map<ImageFileKey, std::weak_ptr<const SharedImage>>;

// Only the thread that owns the OpenGL context loads textures.
ImageCache& imageCache() {
    static ImageCache cache;
    return cache;
}

std::shared_ptr<const SharedImage> decodeSharedImage(const char* path) {
    DecodedImage decoded = decodeImageFile(path, largestTextureSide());
    if (decoded.rgba.empty())
        return nullptr;
    auto image = std::make_shared<SharedImage>();
    glBindTexture(GL_TEXTURE_2D, image->name);
    setSamplingParameters(GL_REPEAT);
    uploadImage(decoded.rgba, decoded.width, decoded.height);
    glBindTexture(GL_TEXTURE_2D, 0);
    image->width = decoded.width;
    image->height = decoded.height;
    image->charge = std::move(decoded.charge);
    return image;
}

std::shared_ptr<const SharedImage> sharedImageOf(const char* path) {
    const std::optional<ImageFileKey> key = keyOf(path);
    if (!key)
        return decodeSharedImage(path);
    ImageCache& cache = imageCache();
    if (const auto found = cache.find(*key); found != cache.end())
        if (std::shared_ptr<const SharedImage> image = found->second.lock())
            return image;
    std::shared_ptr<const SharedImage> image = decodeSharedImage(path);
    if (image) {
        std::erase_if(cache, [](const auto& entry) { return entry.second.expired(); });
        cache[*key] = image;
    }
    return image;
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

// The shared image deletes its name when its last user goes, not the base class.
CTextureFreeImage::~CTextureFreeImage() {
    if (image_)
        textureId = 0;
}

void CTextureFreeImage::load(const ShowFile& file) {
    std::shared_ptr<const SharedImage> image = sharedImageOf(file.c_str());
    if (!image)
        return;
    if (!image_)
        glDeleteTextures(1, &textureId);
    image_ = std::move(image);
    textureId = image_->name;
    width_ = image_->width;
    height_ = image_->height;
}

void CTextureFreeImage::leaveSharedImage() {
    if (!image_)
        return;
    image_.reset();
    textureId = 0;
    glGenTextures(1, &textureId);
}

void CTextureFreeImage::upload(const void* pixels, int width, int height, bool mirroredWrap,
                               GLenum pixelFormat, bool noMipmaps) {
    leaveSharedImage();
    CTexture::upload(pixels, width, height, mirroredWrap, pixelFormat, noMipmaps);
}

size_t sharedImageCount() {
    return size_t(std::count_if(imageCache().begin(), imageCache().end(),
                                [](const auto& entry) { return !entry.second.expired(); }));
}

TextureBinding::TextureBinding(const CTexture& texture) {
    glBindTexture(GL_TEXTURE_2D, texture.textureId);
}

TextureBinding::~TextureBinding() { glBindTexture(GL_TEXTURE_2D, 0); }
