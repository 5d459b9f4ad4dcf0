#include "timeline/LoadingScreen.h"

#include "platform/LoadNotes.h"
#include "render/GLState.h"
#include "timeline/ShowScreen.h"

LoadingScreen::LoadingScreen(ShowScreen& screen, ShowFiles& files, int total)
    : screen_(screen), total_(total) {
    try {
        picture_.load(files.open("data/overlay/loader.jpg", ShowFileKind::Picture));
    } catch (const FileRefused& refused) {
        noteLoadProblem("%s", refused.what()); // the show loads without it
    }
}

void LoadingScreen::drawFrame() const {
    glClear(GL_COLOR_BUFFER_BIT);
    // A count of 0 (or less) holds the picture at its start.
    const float progress = total_ > 0 ? float(shown_) / float(total_) : 0.0f;
    glColor4f(1, 1, 1, 1);
    MatrixPush push;
    TextureBinding binding(picture_);
    glTranslatef(0, progress - 0.5f, -2);
    Quad(1.0f, 1.2f).draw(1, -1);
}

void LoadingScreen::presentFrame() {
    drawFrame();
    screen_.swapAndPoll();
    presented_ = std::chrono::steady_clock::now();
    ++shown_;
}

void LoadingScreen::nextEntry() {
    constexpr auto frameTime = std::chrono::milliseconds(20);
    if (shown_ == 0 || std::chrono::steady_clock::now() - presented_ >= frameTime)
        presentFrame();
    else
        ++shown_;
}
