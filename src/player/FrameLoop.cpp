#include "player/FrameLoop.h"

#include "audio/MusicStream.h"
#include "platform/FrameWatch.h"
#include "player/RenderWindow.h"
#include "timeline/Show.h"
#include "timeline/ShowFrame.h"

namespace {

void seekBy(MusicStream& music, double seconds) {
    music.setPositionSeconds(music.positionSeconds() + seconds);
}

// Ends the watch of a frame however the frame ends.
struct WatchedFrame {
    FrameWatch* watch;
    ~WatchedFrame() {
        if (watch)
            watch->end();
    }
};

} // namespace

bool runShowFrame(RenderWindow& window, MusicStream& music, Show& show, LiveFrameHooks* hooks,
                  FrameWatch* watch) {
    if (window.quitRequested())
        return false;
    if (hooks)
        hooks->beforeFrame();
    window.beginShowFrame();
    clearFrame();
    if (window.seekForwardRequested())
        seekBy(music, 1.0);
    if (window.seekBackRequested())
        seekBy(music, -1.0);
    float beat = 0;
    const uint32_t time = prepareMusicFrame(music, show, beat);
    if (watch) {
        describeActiveEntries(show, time, watch->description(), FrameWatch::descriptionSize);
        watch->begin();
    }
    const WatchedFrame watched{watch};
    drawActiveEffects(show.effects(), time, beat);
    show.frame().endKeyFrame();
    window.endShowFrame();
    if (hooks)
        hooks->afterFrame(time, beat);
    window.swapAndPoll();
    return true;
}
