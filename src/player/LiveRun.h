#pragma once
// A live run of a show: its music played on the sound device, the transport that moves the clock,
// the frame loop and the keys. What a run adds beyond that (the author mode's reloads, overlay and
// editing) reaches it through the hooks: around every frame, the window's events first, and key
// tables tried before the run's own.

#include "player/FrameLoop.h"
#include "player/KeyTable.h"
#include "player/RenderWindow.h"
#include "player/SlowFrameWatch.h"
#include "player/Transport.h"

#include <memory>
#include <span>
#include <vector>

class MusicStream;
class Show;

class LiveRunHooks : public LiveFrameHooks {
public:
    // Before a frame takes the show: the place to give the run another one (LiveRun::takeShow).
    virtual void refreshShow() = 0;
    // Sees the window's events before the run's keys do; true takes the event.
    virtual bool takeEvent(const SDL_Event& event) = 0;
};

class LiveRun final : public WindowEventFilter {
public:
    // Plays the show's music (or `music`, when given) from the show's start offset.
    LiveRun(RenderWindow& window, std::unique_ptr<Show> show,
            std::unique_ptr<MusicStream> music = nullptr);
    ~LiveRun() override;
    LiveRun(const LiveRun&) = delete;
    LiveRun& operator=(const LiveRun&) = delete;

    // The hooks, and the key tables tried before the transport's (F1 `toggleOverlay` among them).
    void extend(LiveRunHooks* hooks, std::vector<KeyTable> keys,
                std::function<void()> toggleOverlay);

    // One frame. False, without drawing, when the viewer ended the show.
    bool runFrame();

    // Plays this show from now on, at the same music position (a reload): the music stream goes
    // on where the new show's music is the same, and the old show is destroyed.
    void takeShow(std::unique_ptr<Show> show);

    RenderWindow& window() { return window_; }
    Show& show() { return *show_; }
    const Show& show() const { return *show_; }
    Transport& transport() { return transport_; }
    // Every key of the run, in the order they are tried.
    std::span<const KeyTable> keys() const { return keys_; }

    bool takeEvent(const SDL_Event& event) override;

private:
    RenderWindow& window_;
    std::unique_ptr<Show> show_;
    std::unique_ptr<MusicStream> music_;
    Transport transport_;
    LiveRunHooks* hooks_ = nullptr;
    std::vector<KeyTable> keys_;
    SlowFrameWatch slowFrames_;
};

// The state a show starts its frames from, also after a reload drew its loading picture.
void resetFrameState();
