#include "offline/OfflineFrame.h"

#include "audio/MusicStream.h"
#include "platform/Error.h"
#include "platform/FrameWatch.h"
#include "platform/StopSignals.h"
#include "render/GL.h"
#include "render/Screen.h"
#include "timeline/EntryTimer.h"
#include "timeline/Show.h"
#include "timeline/ShowFrame.h"

#include <cstdio>

namespace {

// Ends the watch of the frame at the end of its drawing, however it ends.
class WatchedFrame {
public:
    WatchedFrame(const Show& show, const MusicStream& music) : watch_(FrameWatch::current()) {
        if (!watch_)
            return;
        describeActiveEntries(show, effectTimeAt(music.positionSeconds(), show.startOffset()),
                              watch_->description(), FrameWatch::descriptionSize);
        watch_->begin();
    }
    ~WatchedFrame() {
        if (watch_)
            watch_->end();
    }
    WatchedFrame(const WatchedFrame&) = delete;
    WatchedFrame& operator=(const WatchedFrame&) = delete;
    // The drawing is done when the driver has finished it.
    void finish() const {
        if (watch_)
            glFinish();
    }

private:
    FrameWatch* watch_;
};

} // namespace

bool drawOfflineFrame(MusicStream& music, Show& show, uint64_t sample, EntryTimer* timer) {
    throwIfStopped("Render interrupted");
    music.setPosition(int64_t(sample));
    const WatchedFrame watched(show, music);
    if (timer)
        timer->clear();
    else
        clearFrame();
    try {
        drawMusicFrame(music, show, timer);
    } catch (const ShowEnded&) {
        bindScreenFramebuffer(); // the effect may have stopped in the middle of its drawing
        return false;
    }
    watched.finish();
    return true;
}

bool drawWarmupFrame(MusicStream& music, Show& show, uint64_t sample) {
    const bool going = drawOfflineFrame(music, show, sample);
    glFinish();
    return going;
}
