#pragma once
// What drawing the show asks of the screen it draws on, whatever window or framebuffer that is.

class ShowScreen {
public:
    virtual ~ShowScreen() = default;
    // Presents the frame drawn and takes the screen's pending events, which may end the show by
    // throwing (the viewer closed the window, a stop signal arrived).
    virtual void swapAndPoll() = 0;
};
