#pragma once
// What the author edits tracks with in a live run: the selected tweak value, the record switch,
// the undoable key edits, saving the tracks file, and a recovery copy of edits that were not saved.

#include "author/KeyEditing.h"
#include "effekt/Effekt.h"

#include <cstdint>
#include <optional>
#include <string>

// A tweak value of an entry and the tracks that drive it.
struct TweakValue {
    const Effekt* effect;
    const TweakVariable* variable;
    ValueTracks tracks;
};

class TrackEditing {
public:
    KeyEditor& editor() { return editor_; }
    bool recording() const { return recording_; }
    void toggleRecording() { recording_ = !recording_; }
    // A number for one gesture of the author's (a drag), so that its edits undo as one.
    uint64_t newGesture() { return ++lastGesture_; }

    void select(const TweakValue& value) { selected_ = value.tracks.front(); }
    // The selected value, or when it is not in the show the first value of the first entry
    // active at the time; none when no active entry has values.
    std::optional<TweakValue> selected(const EffectList& effects, uint32_t time) const;

    // After the author changed the value (a widget, a nudge): a key at the time when the value
    // is tracked or recording is on; otherwise the change holds for the run only.
    void valueChanged(TrackSet& tracks, const TweakValue& value, uint32_t time,
                      uint64_t gesture = 0);
    // The selected value one step up (steps > 0) or down, within its bounds; booleans toggle and
    // enumerations go to the next or previous name. False when nothing is selected.
    bool nudgeSelected(TrackSet& tracks, const EffectList& effects, uint32_t time, int steps);
    // A key of the selected value at the time from its numbers now.
    bool keySelected(TrackSet& tracks, const EffectList& effects, uint32_t time);

    // Writes the tracks file (beside it, then renamed over it). Returns the message to show: what
    // was saved, or why it was not.
    std::string save(const TrackSet& tracks, const std::string& path);
    // True, once after each save, when the file holds what the author saved: the change seen is
    // the save itself, no outside edit.
    bool takeOwnSave(const std::string& path);
    // With unsaved edits, writes them to a recovery file in the user's config folder and says so
    // on stderr, naming the tracks file they were meant for. Nothing without unsaved edits.
    void keepUnsaved(const TrackSet& tracks, const std::string& path);

private:
    KeyEditor editor_;
    bool recording_ = false;
    std::string selected_; // the first track name of the selected value
    uint64_t lastGesture_ = 0;
    std::string savedText_;
    bool saved_ = false;
};

// Every tweak value of the entry (none unless its tweaks were registered).
std::vector<TweakValue> tweakValuesOf(const Effekt& effect);
