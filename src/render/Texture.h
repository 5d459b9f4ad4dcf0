#pragma once
// Textures: one OpenGL texture name per object for its whole life.

#include "render/GL.h"

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

// Largest side accepted from an image file; larger images are treated as unreadable.
constexpr int maxImageSide = 16384;

class CTextureFreeImage : public CTexture {
public:
    // Decodes an image file (format detected from its contents) into a mipmapped RGBA texture whose
    // first row is the picture's top row. A missing or unreadable file leaves the texture empty and
    // writes one line to the debug output; it never throws.
    void load(const char* path);
    void load(const std::string& path) { load(path.c_str()); }
};

// Binds a texture for one block and binds texture 0 at its end.
class TextureBinding {
public:
    explicit TextureBinding(const CTexture& texture);
    ~TextureBinding();
    TextureBinding(const TextureBinding&) = delete;
    TextureBinding& operator=(const TextureBinding&) = delete;
};
