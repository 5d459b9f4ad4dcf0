#pragma once
// Key edits of the author mode. A tweak value of several numbers (a colour, a direction) has one
// track per number; its keys are edited together, at one time for all its tracks. Every edit is
// noted in an undo list before it changes anything.

#include "effekt/Tweaks.h"
#include "tracks/Track.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class Effekt;

// The tracks of one tweak value, one per number it holds, by name.
using ValueTracks = std::vector<std::string>;
ValueTracks valueTracks(const Effekt& effect, const TweakVariable& variable);

// The times at which any of the value's tracks has a key, rising, each once.
std::vector<uint32_t> keyTimes(const TrackSet& tracks, const ValueTracks& value);

// The interpolation of the value's key at or before the time (the one that leads on from there).
std::optional<Interpolation> interpolationAt(const TrackSet& tracks, const ValueTracks& value,
                                             uint32_t time);

// The edit list of a run, key edits and entry edits in one order: what each edit changed, to put
// back on Ctrl+Z.
class KeyUndoList {
public:
    static constexpr size_t capacity = 500; // older edits are forgotten

    // Keeps the named tracks as they are, before an edit. An edit with the same nonzero gesture
    // as the one before (one drag of a key or an entry, one widget held while recording) joins
    // it: tracks it noted already keep their first state.
    void noteBefore(const TrackSet& tracks, const ValueTracks& value, uint64_t gesture = 0);
    // The same for an edit of the script's entries: `restore` puts the entries back as they were
    // (it runs after the tracks are put back). A joining edit keeps the first restore.
    void noteEntryEdit(const TrackSet& tracks, const ValueTracks& names,
                       std::function<void()> restore, uint64_t gesture = 0);
    // Puts back the tracks of the last edit, then its entries; false when there is none.
    bool undo(TrackSet& tracks);
    size_t size() const { return edits_.size(); }
    void clear() { edits_.clear(); }

private:
    struct Edit {
        uint64_t gesture;
        std::vector<Track> before; // a track without keys did not exist
        std::function<void()> restoreEntries;
    };
    std::vector<Edit> edits_;
};

// The key edits on a show's tracks, each one undoable, and whether any is unsaved.
class KeyEditor {
public:
    KeyUndoList& undoList() { return undo_; }
    bool unsaved() const { return unsaved_; }
    void markSaved() { unsaved_ = false; }
    void markUnsaved() { noteEdit(); }
    // Counts every edit of the run: a change of it means the tracks changed.
    uint64_t edits() const { return edits_; }
    // After the tracks were read anew from the file: older edits no longer apply.
    void startOver();

    // Sets a key of each of the value's tracks at the time, from its numbers now; the
    // interpolation is that of the key before it (linear for a value's first key).
    void setKey(TrackSet& tracks, const ValueTracks& value, const TweakVariable& variable,
                uint32_t time, uint64_t gesture = 0);
    bool deleteKey(TrackSet& tracks, const ValueTracks& value, uint32_t time);
    void setInterpolation(TrackSet& tracks, const ValueTracks& value, uint32_t keyTime,
                          Interpolation interpolation);
    // Moves the value's keys at `from` towards `to`, no further than the next keys on either side;
    // returns the time they landed on.
    uint32_t moveKey(TrackSet& tracks, const ValueTracks& value, uint32_t from, uint32_t to,
                     uint64_t gesture);
    bool undo(TrackSet& tracks);

private:
    void noteEdit() {
        unsaved_ = true;
        ++edits_;
    }

    KeyUndoList undo_;
    bool unsaved_ = false;
    uint64_t edits_ = 0;
};
