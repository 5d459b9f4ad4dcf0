#pragma once
// The show's picture in a window of another size. Effects are made at load for the window's size
// then (feedback targets, copies of the screen), so a resized window gets the picture drawn at
// that size in a framebuffer of its own, scaled into the window with its aspect kept and black
// bars beside it or above and below.

#include "render/RenderTarget.h"
#include "render/Screen.h"

#include <memory>
#include <optional>

struct LetterboxRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const LetterboxRect&) const = default;
};

// Where a picture of the show's size lands, centred and as large as fits, in the window.
LetterboxRect letterboxRect(int showWidth, int showHeight, int windowWidth, int windowHeight);

class Letterbox {
public:
    // Before the frame: drawing goes into the picture framebuffer when the window's drawable
    // differs from the show's size (the current screen's), else straight to the window.
    void beginFrame(int windowWidth, int windowHeight);
    // After the show's frame: the picture, scaled into the cleared window. Drawing goes to the
    // window again (the author's overlay is drawn there at the window's own size).
    void endFrame();

private:
    std::unique_ptr<RenderTarget> picture_;
    std::optional<ScreenScope> pictureScreen_; // the picture stands for the window meanwhile
    int windowWidth_ = 0;
    int windowHeight_ = 0;
    bool active_ = false;
    bool blitMissingNoted_ = false;
};
