#pragma once
// The one window of the show: an SDL2 window with its OpenGL context, the show's screen, the
// buffer swap and the three input flags the frame loop acts on.

#include "platform/Error.h"
#include "player/VideoSettings.h"
#include "render/Screen.h"
#include "timeline/ShowScreen.h"

#include <memory>

class Letterbox;

struct SDL_Window;
union SDL_Event;

// Thrown when the viewer closes the window: "You quit?".
struct WindowClosed : ShowEnded {
    WindowClosed() : ShowEnded("You quit?") {}
};

// Sees the window's events before the window does; an event it takes goes no further.
class WindowEventFilter {
public:
    virtual ~WindowEventFilter() = default;
    virtual bool takeEvent(const SDL_Event& event) = 0;
};

class RenderWindow : public ShowScreen {
public:
    // Opens the window at width x height (a display mode change when fullscreen) and makes its
    // context current; it is the current screen for its life. The settings' vertical sync,
    // multisampling and always-on-top switches are honoured. Throws "Error: %s\n" when SDL, the
    // window or the context cannot be made.
    RenderWindow(int width, int height, int bitsPerPixel, bool fullscreen,
                 const VideoSettings& switches = {});
    explicit RenderWindow(const VideoSettings& settings)
        : RenderWindow(settings.width, settings.height, settings.bitsPerPixel, !settings.windowed,
                       settings) {}
    // Closes the window and shuts SDL down.
    ~RenderWindow();
    RenderWindow(const RenderWindow&) = delete;
    RenderWindow& operator=(const RenderWindow&) = delete;

    // Presents the frame, clears the flags and takes the pending events: key releases of Escape,
    // Left and Right set their flags; a close request throws "You quit?" at once. Other events go
    // to the filter first, when there is one. Throws a quiet Interrupted when a stop signal has
    // arrived.
    void swapAndPoll() override;
    void setEventFilter(WindowEventFilter* filter) { filter_ = filter; }

    bool quitRequested() const { return quitRequested_; }
    bool seekBackRequested() const { return seekBackRequested_; }
    bool seekForwardRequested() const { return seekForwardRequested_; }

    // Around the drawing of a live frame: when the window has been resized away from the show's
    // size, the frame is drawn at the show's size and scaled into the window, aspect kept.
    void beginShowFrame();
    void endShowFrame();
    // The window's drawable size now (it follows resizes by the viewer or a window manager).
    int drawableWidth() const { return drawableWidth_; }
    int drawableHeight() const { return drawableHeight_; }

    bool multisampled() const { return multisampled_; }
    SDL_Window* sdlWindow() const { return window_; }

private:
    bool quitRequested_ = false;
    bool seekBackRequested_ = false;
    bool seekForwardRequested_ = false;
    bool multisampled_ = false;
    WindowEventFilter* filter_ = nullptr;
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
    int drawableWidth_ = 0;
    int drawableHeight_ = 0;
    ScreenScope screen_;
    std::unique_ptr<Letterbox> letterbox_; // made after screen_, ended before it

    bool tryOpen(int width, int height, int bitsPerPixel, bool fullscreen,
                 const VideoSettings& switches, bool multisampling);
    void close();
};
