#pragma once
// Textures: one OpenGL texture name per object for its whole life.

#include "platform/ShowFiles.h"
#include "render/GL.h"
#include "render/ImageFile.h"

#include <memory>
#include <string>

class CTexture {
public:
    GLuint textureId = 0;

    CTexture();
    ~CTexture();
    CTexture(const CTexture&) = delete;
    CTexture& operator=(const CTexture&) = delete;

    // Hands tightly packed 8-bit pixels to OpenGL. pixelFormat is GL_RGBA (mipmapped unless
    // noMipmaps) or GL_RGB8 (one level); anything else throws "Unknown pixeldepth".
    virtual void upload(const void* pixels, int width, int height, bool mirroredWrap,
                        GLenum pixelFormat, bool noMipmaps);

    // Size of level 0 as last filled (0 x 0 while empty).
    int width() const { return width_; }
    int height() const { return height_; }

protected:
    int width_ = 0;
    int height_ = 0;
};

// The largest side of a texture this OpenGL holds.
int largestTextureSide();

// An image file decoded into one OpenGL texture, held by every CTextureFreeImage that loaded it.
struct SharedImage;

class CTextureFreeImage : public CTexture {
public:
    CTextureFreeImage() = default;
    ~CTextureFreeImage();

    // Shows an image file (format detected from its contents) as an RGBA texture whose first row is
    // the picture's top row. Textures that load the same unchanged file share one OpenGL texture,
    // which lives until the last of them is gone; a file changed on disk is decoded anew. A
    // missing or unreadable file leaves the texture empty and writes one line to the debug output;
    // it never throws.
    void load(const ShowFile& file);

    // Fills a texture name of this object's own; a shared image stays as it is for its other users.
    void upload(const void* pixels, int width, int height, bool mirroredWrap, GLenum pixelFormat,
                bool noMipmaps) override;

private:
    void leaveSharedImage();

    std::shared_ptr<const SharedImage> image_;
};

// How many image files are held in textures right now.
size_t sharedImageCount();

// Binds a texture for one block and binds texture 0 at its end.
class TextureBinding {
public:
    explicit TextureBinding(const CTexture& texture);
    ~TextureBinding();
    TextureBinding(const TextureBinding&) = delete;
    TextureBinding& operator=(const TextureBinding&) = delete;
};
