#include "offline/OfflineFrame.h"

#include "audio/MusicStream.h"
#include "platform/Error.h"
#include "platform/StopSignals.h"
#include "render/GL.h"
#include "render/Screen.h"
#include "timeline/EntryTimer.h"
#include "timeline/ShowFrame.h"

bool drawOfflineFrame(MusicStream& music, Show& show, uint64_t sample, EntryTimer* timer) {
    throwIfStopped("Render interrupted");
    music.setPosition(int64_t(sample));
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
    return true;
}

bool drawWarmupFrame(MusicStream& music, Show& show, uint64_t sample) {
    const bool going = drawOfflineFrame(music, show, sample);
    glFinish();
    return going;
}
