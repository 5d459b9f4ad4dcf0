#pragma once
// The live run's transport: pause, seeks, jumps between script entries and a loop over the
// entries active now. The music's position is the show's clock, so every move is a move of the
// music; while paused the position, and so the effect time and the beat, stand still.

#include "effekt/Effekt.h"
#include "player/KeyTable.h"

#include <cstdint>
#include <optional>

class MusicStream;

class Transport {
public:
    // Effect time = milliseconds of music + start offset, as in the frame loop.
    Transport(MusicStream& music, uint32_t startOffset);

    // A reloaded show may bring other music or another start offset; pause and loop carry over.
    void setShow(MusicStream& music, uint32_t startOffset);

    uint32_t time() const;
    bool paused() const { return paused_; }
    void togglePause();

    // Relative seek; before the music's start goes to its start.
    void seekBy(double seconds);
    // To the first music position whose effect time is at least `time`.
    void seekTo(uint32_t time);
    // Where the show starts: the start offset in seconds into the music.
    void home();
    // To the first drawn millisecond of the next entry that starts after now, or of the latest
    // entry that started more than half a second ago (else the show's start).
    void nextEntry(const EffectList& effects);
    void previousEntry(const EffectList& effects);

    // Loops the span of the entries active now: from the latest start to the earliest end among
    // them, at least one second; with none active, one second from now. Pressed again, ends it.
    void toggleLoop(const EffectList& effects);
    bool looping() const { return looping_; }
    uint32_t loopStart() const { return loopStart_; }
    uint32_t loopEnd() const { return loopEnd_; }
    // Once per frame: back to the loop's start when the time left the loop.
    void keepInLoop();

private:
    MusicStream* music_;
    uint32_t startOffset_;
    bool paused_ = false;
    bool looping_ = false;
    uint32_t loopStart_ = 0;
    uint32_t loopEnd_ = 0;

    // Effect time at which the music ends (UINT32_MAX without music).
    uint32_t musicEndTime() const;
    bool reachable(uint32_t time) const;
    // The first drawn time of the reachable entry nearest to now: the next one that starts
    // later, or the one before that started more than half a second ago.
    std::optional<uint32_t> nearestEntryStart(const EffectList& effects, bool later) const;
};

// The keys every live run has: the transport's (Space pauses, Left and Right seek a second, ten
// with Shift, PageUp and PageDown jump between the entries, Home goes to the start, L loops) and
// F1, which calls `toggleOverlay`; `effects` gives the show's effects now. The transport must
// outlive the table.
KeyTable transportKeys(Transport& transport, std::function<const EffectList&()> effects,
                       std::function<void()> toggleOverlay);
