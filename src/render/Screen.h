#pragma once
// The picture the show draws: its size in pixels and the framebuffer that stands for the window
// (0, the window's own, unless the picture goes to a framebuffer of the run's: an off-screen
// render, or a live frame that is scaled into a resized window). Whatever a run draws on sets it
// for its own life with a ScreenScope, the only writer; effects and the view helpers read it.

#include "render/GL.h"

struct Screen {
    int width = 0;
    int height = 0;
    GLuint framebuffer = 0;
};

const Screen& currentScreen();

// Makes `screen` the current one for the scope's life and puts the one before it back at its end.
class ScreenScope {
public:
    explicit ScreenScope(const Screen& screen);
    ~ScreenScope();
    ScreenScope(const ScreenScope&) = delete;
    ScreenScope& operator=(const ScreenScope&) = delete;

private:
    Screen previous_;
};

// Draw into the current screen's framebuffer again.
void bindScreenFramebuffer();
