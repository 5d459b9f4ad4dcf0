#pragma once
// The author's overlay, drawn with Dear ImGui after the show's frame: the clock and its state,
// frame-time and beat graphs, the timeline strip, the tweak panel and the last reload error.
// The show's GL state is saved before and restored after it.

#include "author/OverlayPanels.h"
#include "author/TimelineStrip.h"

#include <string>
#include <vector>

class RenderWindow;
union SDL_Event;

// Where the overlay's windows are by default, in a window of the given size (the reload error
// window only while there is an error); the author may move and resize them.
struct OverlayLayout {
    OverlayRect clock, reloadError, tweaks, timeline;
};
OverlayLayout overlayLayout(int width, int height);

class Overlay {
public:
    // Makes the ImGui context and its SDL2 and OpenGL 2 back ends for the window's context.
    explicit Overlay(RenderWindow& window);
    ~Overlay();
    Overlay(const Overlay&) = delete;
    Overlay& operator=(const Overlay&) = delete;

    void processEvent(const SDL_Event& event);
    // True while a text field of the overlay has the keyboard.
    bool wantsText() const;
    // Whether the mouse is over a panel (or dragging one): its events are the overlay's.
    bool wantsMouse() const;
    void draw(const OverlayView& view);

private:
    RenderWindow& window_;
    std::string layoutFile_; // where ImGui keeps the panels' places; empty: nowhere
    StripState strip_;
    TweakPanelState tweaks_;
};

// The user's layout file for a window of that size (each size has its own layout), its folder
// made; empty when there is no config folder or it cannot be made.
std::string overlayLayoutFile(int width, int height);
