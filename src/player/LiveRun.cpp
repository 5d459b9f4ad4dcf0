#include "player/LiveRun.h"

#include "audio/MusicStream.h"
#include "player/WebKeyCodes.h"
#include "render/GLState.h"
#include "timeline/Show.h"

namespace {

std::unique_ptr<MusicStream> playedMusic(Show& show, std::unique_ptr<MusicStream> given) {
    if (given)
        return given;
    auto music = std::make_unique<MusicStream>(show.music().samples(), MusicOutput::Device);
    music->play(true);
    music->setPositionSeconds(double(show.startOffset()));
    return music;
}

} // namespace

void resetFrameState() {
    setScreenPerspective();
    glClearColor(0, 0, 0, 0);
}

LiveRun::LiveRun(RenderWindow& window, std::unique_ptr<Show> show,
                 std::unique_ptr<MusicStream> music)
    : window_(window), show_(std::move(show)), music_(playedMusic(*show_, std::move(music))),
      transport_(*music_, show_->startOffset()), slowFrames_(window.sdlWindow()) {
    extend(nullptr, {}, [] {});
    window_.setEventFilter(this);
}

LiveRun::~LiveRun() { window_.setEventFilter(nullptr); }

void LiveRun::extend(LiveRunHooks* hooks, std::vector<KeyTable> keys,
                     std::function<void()> toggleOverlay) {
    hooks_ = hooks;
    keys_ = std::move(keys);
    keys_.push_back(transportKeys(
        transport_, [this]() -> const EffectList& { return show_->effects(); },
        std::move(toggleOverlay)));
}

bool LiveRun::runFrame() {
    if (hooks_)
        hooks_->refreshShow();
    return runShowFrame(window_, *music_, *show_, hooks_, &slowFrames_.frames());
}

void LiveRun::takeShow(std::unique_ptr<Show> show) {
    const bool musicChanged = show->sharedMusic() != show_->sharedMusic();
    show_ = std::move(show);
    if (musicChanged) {
        const double position = music_->positionSeconds();
        music_ = std::make_unique<MusicStream>(show_->music().samples(), MusicOutput::Device);
        music_->play(true);
        music_->setPositionSeconds(position);
        if (transport_.paused())
            music_->pause();
    }
    transport_.setShow(*music_, show_->startOffset());
    resetFrameState();
}

bool LiveRun::takeEvent(const SDL_Event& event) {
    // Every key released reaches the shaders' keyboard, so that none stays held.
    if (event.type == SDL_KEYUP)
        show_->frame().releaseKey(webKeyCode(event.key.keysym.sym));
    if (hooks_ && hooks_->takeEvent(event))
        return true;
    // The keys also reach the shaders' keyboard (a key of the run still does its work).
    if (event.type == SDL_KEYDOWN)
        show_->frame().pressKey(webKeyCode(event.key.keysym.sym));
    return event.type == SDL_KEYUP && pressKey(keys_, event.key);
}
