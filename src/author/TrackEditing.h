#pragma once
// What the author edits tracks with in a live run: the selected tweak value, the record switch,
// the undoable key edits, saving the tracks file, and a recovery copy of edits that were not saved.

#include "author/KeyEditing.h"
#include "author/UserConfig.h"
#include "effekt/Effekt.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// A tweak value of an entry and the tracks that drive it; for a free track (a name that shaders
// and plug-ins read) the effect is null and the variable holds the track's number.
struct TweakValue {
    const Effekt* effect;
    const TweakVariable* variable;
    ValueTracks tracks;
};

// A free track edited like a tweak value: a float variable named after the track, holding the
// track's value at the time it was last looked at.
class FreeValue {
public:
    explicit FreeValue(const std::string& name)
        : variable_{nullptr, name, TweakFloat, &number_, ""} {}
    FreeValue(const FreeValue&) = delete;
    FreeValue& operator=(const FreeValue&) = delete;

    // The value, its number set from the track at the time (kept when there is no track).
    TweakValue at(const TrackSet& tracks, uint32_t time);
    TweakValue value() { return {nullptr, &variable_, {variable_.name}}; }

private:
    float number_ = 0;
    TweakVariable variable_;
};

class TrackEditing {
public:
    KeyEditor& editor() { return editor_; }
    bool recording() const { return recording_; }
    void toggleRecording() { recording_ = !recording_; }
    // A number for one gesture of the author's (a drag), so that its edits undo as one.
    uint64_t newGesture() { return ++lastGesture_; }

    void select(const TweakValue& value) { selectTrack(value.tracks.front()); }
    // Selects a track by name: the entry value it belongs to, else the free track of that name
    // (which need not exist yet).
    void selectTrack(const std::string& name);
    // The selected value, or when it is not in the show the first value of the first entry
    // active at the time; when no active entry has values and `tracks` are given, the first
    // track that their shaders read; else none. A free track has its number from `tracks` at
    // the time, when they are given.
    std::optional<TweakValue> selected(const EffectList& effects, const TweakRegistry& tweaks,
                                       uint32_t time, const TrackSet* tracks = nullptr) const;
    // Makes a free track by its first key, at the time with the value 0 (what a shader's uniform
    // holds without a track), and selects it. False for a name that is not free or already a
    // track.
    bool addFreeTrack(TrackSet& tracks, const std::string& name, uint32_t time);

    // After the author changed the value (a widget, a nudge): a key at the time when the value
    // is tracked or recording is on, or is a free track (which has no other place to hold it);
    // otherwise the change holds for the run only.
    void valueChanged(TrackSet& tracks, const TweakValue& value, uint32_t time,
                      uint64_t gesture = 0);
    // The selected value one step up (steps > 0) or down, within its bounds; booleans toggle and
    // enumerations go to the next or previous name. False when nothing is selected.
    bool nudgeSelected(TrackSet& tracks, const EffectList& effects, const TweakRegistry& tweaks,
                       uint32_t time, int steps);
    // A key of the selected value at the time from its numbers now.
    bool keySelected(TrackSet& tracks, const EffectList& effects, const TweakRegistry& tweaks,
                     uint32_t time);

    // Writes the tracks file (beside it, then renamed over it). Returns the message to show: what
    // was saved, or why it was not.
    std::string save(const TrackSet& tracks, const std::string& path);
    // True, once after each save, when the file holds what the author saved: the change seen is
    // the save itself, no outside edit.
    bool takeOwnSave(const std::string& path);
    // Brings the recovery copy of the tracks up to date after a key edit (or removes it once the
    // edits are saved); does nothing, and allocates nothing, while nothing changed.
    void recordUnsaved(const TrackSet& tracks, const char* path);
    // With unsaved edits, keeps them in the recovery file in the user's config folder and says so
    // on stderr, naming the tracks file they were meant for. Nothing without unsaved edits.
    void keepUnsaved(const TrackSet& tracks, const std::string& path);

private:
    KeyEditor editor_;
    uint64_t recorded_ = 0; // the edits the recovery copy holds
    RecoveryCopy recovery_{".tracks", "key edits"};
    bool recording_ = false;
    std::string selected_;                    // the first track name of the selected value
    mutable std::unique_ptr<FreeValue> free_; // the selected free track
    uint64_t lastGesture_ = 0;
    std::string savedText_;
    bool saved_ = false;
};

// The float uniforms that the shaders of the entries active at the time read from tracks and that
// no track feeds yet, each once, in script order: what a new free track can be made for.
std::vector<std::string> untrackedUniforms(const EffectList& effects, const TrackSet& tracks,
                                           uint32_t time);

// Every tweak value of the entry (none unless its tweaks were registered in `tweaks`).
std::vector<TweakValue> tweakValuesOf(const Effekt& effect, const TweakRegistry& tweaks);
