// The author's keys in a live run: those of the selected entry on the timeline strip and those of
// the selected value's keys in time.
#include "author/AuthorSession.h"

#include <algorithm>

KeyTable AuthorSession::entryKeys() {
    const auto move = [this](int steps) {
        analyzeMusic(); // the grid's tempo may have to be found
        const std::optional<ShowTempo> showTempo = tempo();
        entryEditing_.moveSelected(steps, showTempo ? &*showTempo : nullptr);
    };
    return {
        {SDLK_e, KMOD_NONE, "select an entry at the play head",
         [this] { entryEditing_.selectNextActive(transport().time()); }},
        {SDLK_LEFTBRACKET, KMOD_NONE, "entry a grid step earlier", [move] { move(-1); }},
        {SDLK_RIGHTBRACKET, KMOD_NONE, "entry a grid step later", [move] { move(1); }},
        {SDLK_g, KMOD_NONE, "grid", [this] { entryEditing_.cycleSnap(); }},
        {SDLK_d, KMOD_NONE, "copy the entry", [this] { entryEditing_.duplicateSelected(); }},
        {SDLK_DELETE, KMOD_SHIFT, "remove the entry", [this] { entryEditing_.deleteSelected(); }},
    };
}

KeyTable AuthorSession::trackKeys() {
    const auto selected = [this] {
        return editing_.selected(show().effects(), show().tracks().tweaks(), transport().time(),
                                 &show().tracks().tracks());
    };
    const auto nudge = [this](int steps) {
        editing_.nudgeSelected(show().tracks().tracks(), show().effects(), show().tracks().tweaks(),
                               transport().time(), steps);
    };
    const auto goTo = [this, selected](bool next) {
        if (const auto value = selected())
            goToKey(*value, next);
    };
    return {
        {SDLK_k, KMOD_NONE, "key the value",
         [this] {
             editing_.keySelected(show().tracks().tracks(), show().effects(),
                                  show().tracks().tweaks(), transport().time());
         }},
        {SDLK_DELETE, KMOD_NONE, "remove its key",
         [this, selected] {
             if (const auto value = selected())
                 editing_.editor().deleteKey(show().tracks().tracks(), value->tracks,
                                             transport().time());
         }},
        {SDLK_COMMA, KMOD_NONE, "previous key", [goTo] { goTo(false); }},
        {SDLK_PERIOD, KMOD_NONE, "next key", [goTo] { goTo(true); }},
        {SDLK_UP, KMOD_NONE, "value a step up", [nudge] { nudge(1); }},
        {SDLK_DOWN, KMOD_NONE, "value a step down", [nudge] { nudge(-1); }},
        {SDLK_r, KMOD_NONE, "record", [this] { editing_.toggleRecording(); }},
        {SDLK_F2, KMOD_NONE, "save", [this] { save(); }},
        {SDLK_s, KMOD_CTRL, "save", [this] { save(); }},
        {SDLK_z, KMOD_CTRL, "undo",
         [this] {
             if (!editing_.editor().undo(show().tracks().tracks()))
                 statusMessage_ = "Nothing to undo";
         }},
    };
}

void AuthorSession::goToKey(const TweakValue& value, bool next) {
    const uint32_t now = transport().time();
    const std::vector<uint32_t> times = keyTimes(show().tracks().tracks(), value.tracks);
    if (next) {
        const auto after = std::upper_bound(times.begin(), times.end(), now);
        if (after != times.end())
            transport().seekTo(*after);
    } else {
        const auto before = std::lower_bound(times.begin(), times.end(), now);
        if (before != times.begin())
            transport().seekTo(*(before - 1));
    }
}
