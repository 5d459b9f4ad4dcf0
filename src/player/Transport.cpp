#include "player/Transport.h"

#include "audio/MusicStream.h"
#include "timeline/ShowFrame.h"

#include <algorithm>
#include <limits>

namespace {

constexpr uint32_t minimumLoop = 1000;       // milliseconds
constexpr uint32_t previousEntryGrace = 500; // milliseconds into an entry that still go back

// Entries draw only strictly after their start.
uint32_t firstDrawnTime(const Effekt& effect) { return effect.startTime + 1; }

} // namespace

Transport::Transport(MusicStream& music, uint32_t startOffset)
    : music_(&music), startOffset_(startOffset) {}

void Transport::setShow(MusicStream& music, uint32_t startOffset) {
    music_ = &music;
    startOffset_ = startOffset;
}

uint32_t Transport::time() const { return effectTimeAt(music_->positionSeconds(), startOffset_); }

void Transport::togglePause() {
    paused_ = !paused_;
    if (paused_)
        music_->pause();
    else
        music_->play(false);
}

void Transport::seekBy(double seconds) {
    music_->setPositionSeconds(music_->positionSeconds() + seconds);
}

void Transport::seekTo(uint32_t time) {
    const int64_t milliseconds = std::max<int64_t>(int64_t(time) - int64_t(startOffset_), 0);
    // Whole frames: the first one at or after the millisecond, then past any rounding of the
    // frame loop's conversion back to milliseconds.
    int64_t frame = (milliseconds * musicSampleRate + 999) / 1000;
    const uint32_t wanted = uint32_t(milliseconds) + startOffset_;
    for (int step = 0;
         step < 4 && effectTimeAt(double(frame) / musicSampleRate, startOffset_) < wanted; ++step)
        ++frame;
    music_->setPosition(frame);
}

void Transport::home() { music_->setPositionSeconds(double(startOffset_)); }

uint32_t Transport::musicEndTime() const {
    if (!music_->hasMusic())
        return std::numeric_limits<uint32_t>::max();
    const uint64_t end = music_->lengthFrames() * 1000 / musicSampleRate + startOffset_;
    return uint32_t(std::min<uint64_t>(end, std::numeric_limits<uint32_t>::max()));
}

bool Transport::reachable(uint32_t time) const {
    return time >= startOffset_ && time < musicEndTime();
}

std::optional<uint32_t> Transport::nearestEntryStart(const EffectList& effects, bool later) const {
    const uint32_t now = time();
    std::optional<uint32_t> nearest;
    for (const auto& effect : effects) {
        const uint32_t first = firstDrawnTime(*effect);
        const bool onItsSide = later ? first > now : uint64_t(first) + previousEntryGrace < now;
        if (onItsSide && reachable(first) &&
            (!nearest || (later ? first < *nearest : first > *nearest)))
            nearest = first;
    }
    return nearest;
}

void Transport::nextEntry(const EffectList& effects) {
    if (const std::optional<uint32_t> next = nearestEntryStart(effects, true))
        seekTo(*next);
}

void Transport::previousEntry(const EffectList& effects) {
    if (const std::optional<uint32_t> previous = nearestEntryStart(effects, false))
        seekTo(*previous);
    else
        home();
}

void Transport::toggleLoop(const EffectList& effects) {
    if (looping_) {
        looping_ = false;
        return;
    }
    const uint32_t now = time();
    uint32_t latestStart = 0;
    uint32_t earliestEnd = std::numeric_limits<uint32_t>::max();
    bool anyActive = false;
    for (const auto& effect : effects)
        if (effect->isActiveAt(now)) {
            latestStart = std::max(latestStart, firstDrawnTime(*effect));
            earliestEnd = std::min(earliestEnd, effect->endTime);
            anyActive = true;
        }
    loopStart_ = anyActive ? latestStart : now;
    const uint64_t shortest = uint64_t(loopStart_) + minimumLoop;
    uint64_t end = anyActive ? std::max<uint64_t>(earliestEnd, shortest) : shortest;
    // An entry that outlasts the music loops back where the music would wrap.
    if (end > musicEndTime() && shortest <= musicEndTime())
        end = musicEndTime();
    loopEnd_ = uint32_t(std::min<uint64_t>(end, std::numeric_limits<uint32_t>::max()));
    looping_ = true;
}

void Transport::keepInLoop() {
    if (!looping_)
        return;
    const uint32_t now = time();
    if (now < loopStart_ || now >= loopEnd_)
        seekTo(loopStart_);
}

// The actions hold the transport and the effects by reference: both outlive the table.
KeyTable transportKeys(Transport& transport, std::function<const EffectList&()> effects,
                       std::function<void()> toggleOverlay) {
    return {
        {SDLK_SPACE, KMOD_NONE, "pause", [&transport] { transport.togglePause(); }},
        {SDLK_LEFT, KMOD_NONE, "back 1 s", [&transport] { transport.seekBy(-1.0); }},
        {SDLK_RIGHT, KMOD_NONE, "on 1 s", [&transport] { transport.seekBy(1.0); }},
        {SDLK_LEFT, KMOD_SHIFT, "back 10 s", [&transport] { transport.seekBy(-10.0); }},
        {SDLK_RIGHT, KMOD_SHIFT, "on 10 s", [&transport] { transport.seekBy(10.0); }},
        {SDLK_PAGEUP, KMOD_NONE, "previous entry",
         [&transport, effects] { transport.previousEntry(effects()); }},
        {SDLK_PAGEDOWN, KMOD_NONE, "next entry",
         [&transport, effects] { transport.nextEntry(effects()); }},
        {SDLK_HOME, KMOD_NONE, "start", [&transport] { transport.home(); }},
        {SDLK_l, KMOD_NONE, "loop", [&transport, effects] { transport.toggleLoop(effects()); }},
        {SDLK_F1, KMOD_NONE, "overlay", std::move(toggleOverlay)},
    };
}
