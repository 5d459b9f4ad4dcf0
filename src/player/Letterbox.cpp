#include "player/Letterbox.h"

#include "platform/Debug.h"
#include "render/GLState.h"
#include "render/Screen.h"

#include <algorithm>
#include <cmath>

LetterboxRect letterboxRect(int showWidth, int showHeight, int windowWidth, int windowHeight) {
    const double scale =
        std::min(double(windowWidth) / showWidth, double(windowHeight) / showHeight);
    LetterboxRect rect;
    rect.width = std::clamp(int(std::lround(showWidth * scale)), 1, std::max(windowWidth, 1));
    rect.height = std::clamp(int(std::lround(showHeight * scale)), 1, std::max(windowHeight, 1));
    rect.x = (windowWidth - rect.width) / 2;
    rect.y = (windowHeight - rect.height) / 2;
    return rect;
}

void Letterbox::beginFrame(int windowWidth, int windowHeight) {
    windowWidth_ = windowWidth;
    windowHeight_ = windowHeight;
    active_ = windowWidth > 0 && windowHeight > 0 &&
              (windowWidth != currentScreen().width || windowHeight != currentScreen().height);
    if (active_ && !GLEW_EXT_framebuffer_blit) {
        if (!blitMissingNoted_)
            debugLine("The window is %dx%d, the show %dx%d: this OpenGL cannot scale the picture "
                      "(no EXT_framebuffer_blit), so it stays in the lower left corner",
                      windowWidth, windowHeight, currentScreen().width, currentScreen().height);
        blitMissingNoted_ = true;
        active_ = false;
    }
    if (!active_) {
        picture_.reset(); // back at the show's size
        return;
    }
    const Screen show = currentScreen();
    if (!picture_)
        picture_ = std::make_unique<RenderTarget>(show.width, show.height);
    pictureScreen_.emplace(Screen{show.width, show.height, picture_->framebuffer});
    bindScreenFramebuffer();
    glViewport(0, 0, show.width, show.height);
}

void Letterbox::endFrame() {
    if (!active_)
        return;
    pictureScreen_.reset();
    const Screen show = currentScreen();
    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, picture_->framebuffer);
    glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, 0);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    GLfloat clearColour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    glClearColor(0, 0, 0, 1);
    glViewport(0, 0, windowWidth_, windowHeight_);
    glClear(GL_COLOR_BUFFER_BIT);
    const LetterboxRect to = letterboxRect(show.width, show.height, windowWidth_, windowHeight_);
    glBlitFramebufferEXT(0, 0, show.width, show.height, to.x, to.y, to.x + to.width,
                         to.y + to.height, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
    if (scissor)
        glEnable(GL_SCISSOR_TEST);
    bindScreenFramebuffer();
}
