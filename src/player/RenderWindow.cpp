#include "player/RenderWindow.h"

#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/StopSignals.h"
#include "player/Letterbox.h"
#include "render/GLState.h"
#include "render/Screen.h"

#include <SDL2/SDL.h>

namespace {

const char* const windowTitle = "Morveldan";

void requestContextAttributes(bool multisampling) {
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, multisampling ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, multisampling ? 8 : 0);
}

Uint32 pixelFormatFor(int bitsPerPixel) {
    return bitsPerPixel == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
}

} // namespace

RenderWindow::RenderWindow(int width, int height, int bitsPerPixel, bool fullscreen,
                           const VideoSettings& switches)
    : screen_(Screen{width, height, 0}) {
    // Only what the window needs: the music stream opens the audio device itself and falls back
    // to a silent clock when there is none, which SDL_INIT_EVERYTHING would turn into a failure.
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0)
        raise("Error: %s\n", SDL_GetError());
    if (switches.multisampling && tryOpen(width, height, bitsPerPixel, fullscreen, switches, true))
        multisampled_ = true;
    else if (!tryOpen(width, height, bitsPerPixel, fullscreen, switches, false)) {
        const std::string reason = SDL_GetError();
        SDL_Quit();
        raise("Error: %s\n", reason.c_str());
    }
    // Vertical sync is a wish: drivers may refuse it, and the show runs either way.
    SDL_GL_SetSwapInterval(switches.verticalSync ? 1 : 0);
    SDL_GL_GetDrawableSize(window_, &drawableWidth_, &drawableHeight_);
}

bool RenderWindow::tryOpen(int width, int height, int bitsPerPixel, bool fullscreen,
                           const VideoSettings& switches, bool multisampling) {
    requestContextAttributes(multisampling);
    Uint32 flags = SDL_WINDOW_OPENGL;
    if (switches.hidden)
        flags |= SDL_WINDOW_HIDDEN;
    if (fullscreen)
        flags |= SDL_WINDOW_FULLSCREEN;
    else {
        flags |= SDL_WINDOW_RESIZABLE;
        if (switches.alwaysOnTop)
            flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    }
    window_ = SDL_CreateWindow(windowTitle, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                               height, flags);
    if (window_ && fullscreen) {
        SDL_DisplayMode wanted{pixelFormatFor(bitsPerPixel), width, height, 0, nullptr};
        SDL_SetWindowDisplayMode(window_, &wanted);
    }
    if (window_)
        context_ = SDL_GL_CreateContext(window_);
    if (window_ && context_)
        return true;
    if (multisampling)
        debugLine("No %dx%d window with 8x multisampling (%s); trying without", width, height,
                  SDL_GetError());
    close();
    return false;
}

void RenderWindow::close() {
    if (context_)
        SDL_GL_DeleteContext(context_);
    if (window_)
        SDL_DestroyWindow(window_);
    context_ = nullptr;
    window_ = nullptr;
}

RenderWindow::~RenderWindow() {
    letterbox_.reset(); // its framebuffer goes while the context is there
    close();
    SDL_Quit();
}

void RenderWindow::beginShowFrame() {
    if (!letterbox_)
        letterbox_ = std::make_unique<Letterbox>();
    letterbox_->beginFrame(drawableWidth_, drawableHeight_);
}

void RenderWindow::endShowFrame() {
    if (letterbox_)
        letterbox_->endFrame();
}

void RenderWindow::swapAndPoll() {
    quitRequested_ = seekBackRequested_ = seekForwardRequested_ = false;
    SDL_GL_SwapWindow(window_);
    throwIfStopped();
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT)
            throw WindowClosed();
        if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
            SDL_GL_GetDrawableSize(window_, &drawableWidth_, &drawableHeight_);
        if (filter_ && filter_->takeEvent(event))
            continue;
        if (event.type != SDL_KEYUP)
            continue;
        switch (event.key.keysym.sym) {
        case SDLK_ESCAPE:
            quitRequested_ = true;
            break;
        case SDLK_LEFT:
            seekBackRequested_ = true;
            break;
        case SDLK_RIGHT:
            seekForwardRequested_ = true;
            break;
        default:
            break;
        }
    }
}
