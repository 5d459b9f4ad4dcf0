#include "app/Screenshot.h"

#include "platform/Error.h"
#include "render/GL.h"
#include "render/GLState.h"
#include "render/RenderTarget.h"

#include <FreeImage.h>

#include <memory>

namespace {

struct BitmapDeleter {
    void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};

} // namespace

void saveWindowPicture(const std::string& path) {
    std::unique_ptr<FIBITMAP, BitmapDeleter> bitmap(
        FreeImage_Allocate(screenWidth, screenHeight, 24));
    if (!bitmap)
        raise("Unable to save picture %s", path.c_str());
    // FreeImage keeps rows bottom first with 4-byte aligned pitch and blue first on little-endian
    // machines: exactly what OpenGL hands back as GL_BGR with a pack alignment of 4.
    bindWindowFramebuffer();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, screenWidth, screenHeight, GL_BGR, GL_UNSIGNED_BYTE,
                 FreeImage_GetBits(bitmap.get()));
    if (!FreeImage_Save(FIF_PNG, bitmap.get(), path.c_str(), PNG_DEFAULT))
        raise("Unable to save picture %s", path.c_str());
}
