#pragma once
// Edits of the script's entries from the timeline strip: select one, move it or its edges, copy
// it, delete it. The show plays the new times at once; the script's text follows each edit,
// changing only the lines it must, and is saved with the tracks. An entry's tracks (named by its
// keyword and start) are renamed and their keys shifted when its start moves. Every edit goes
// to the key editor's undo list, so that Ctrl+Z undoes key and entry edits in one order.

#include "author/KeyEditing.h"
#include "author/ScriptDocument.h"
#include "author/ShowEntries.h"
#include "author/UserConfig.h"
#include "effekt/Effekt.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class Show;
struct EffectFamily;
struct ShowTempo;
class TrackSet;

// What moves snap to.
enum class Snap { Beat, Bar, Off };
const char* snapName(Snap snap);

// The time on the grid nearest to `time` (the time itself with Snap::Off or no tempo).
uint32_t snappedTime(uint32_t time, Snap snap, const ShowTempo* tempo);
// One step of `[` and `]`: a beat or a bar, or 100 ms with Snap::Off or no tempo.
double gridStep(Snap snap, const ShowTempo* tempo);

class EntryEditing {
public:
    // After every change of the entries (their times, their number) the show's tracks are bound
    // to them again and `showChanged` is called.
    explicit EntryEditing(KeyEditor& keys, std::function<void()> showChanged = nullptr);

    // A show (re)loaded: edits start over from its script, and change it from now on.
    void load(Show& show);

    const std::vector<ShowEntry>& entries() const { return entries_; }
    int rows() const { return rows_; }
    const ScriptDocument& script() const { return script_; }
    bool unsaved() const { return unsaved_; }

    std::optional<size_t> selected() const { return selected_; }
    void select(std::optional<size_t> entry) { selected_ = entry; }
    // The next entry active at the time after the selected one (the first when none is).
    void selectNextActive(uint32_t time);

    Snap snap() const { return snap_; }
    void cycleSnap();

    // Gives the entry new times (the same gesture joins edits into one undo). False, with a
    // message, when the entry is not found in the script or the times are not possible.
    bool setTimes(size_t entry, uint32_t start, uint32_t end, uint64_t gesture = 0);
    // The selected entry `steps` grid steps later (earlier when negative).
    bool moveSelected(int steps, const ShowTempo* tempo);
    // A copy of the selected entry right after it in the script, starting where it ends; the copy
    // is selected.
    bool duplicateSelected();
    bool deleteSelected();

    // The outcome of the last edit that failed, for the overlay.
    const std::string& message() const { return message_; }

    // Writes the script beside the path and renames it over it; the message to show.
    std::string save(const std::string& path);
    // True, once after each save, when the file holds what was saved.
    bool takeOwnSave(const std::string& path);
    // Brings the recovery copy of the script up to date after an edit (or removes it once the
    // edits are saved); does nothing, and allocates nothing, while nothing changed.
    void recordUnsaved(const char* path);
    // With unsaved edits, the copy of the script in the recovery folder kept, named on stderr.
    void keepUnsaved(const std::string& path);

private:
    struct State; // what an undo puts back
    Show* show_ = nullptr;
    KeyEditor& keys_;
    std::function<void()> showChanged_;
    ScriptDocument script_;
    std::vector<ShowEntry> entries_;
    int rows_ = 1;
    std::optional<size_t> selected_;
    Snap snap_ = Snap::Beat;
    bool unsaved_ = false;
    uint64_t edits_ = 0;    // every edit of the run
    uint64_t recorded_ = 0; // the edits the recovery copy holds
    RecoveryCopy recovery_{".txt", "entry edits"};
    std::string message_;
    std::string savedText_;
    bool saved_ = false;

    void markEdited() {
        unsaved_ = true;
        ++edits_;
    }
    void describe();
    void changed();
    // Moves the lines of the entries from `from` on by `count` lines.
    void shiftLines(size_t from, int count);
    bool editable(size_t entry) const;
    std::unique_ptr<Effekt> makeCopy(const EffectFamily& family, int32_t start, int32_t end,
                                     std::string extra);
    std::shared_ptr<State> noteEdit(const std::vector<std::string>& trackNames, uint64_t gesture);
    std::vector<std::string> moveTracks(const std::string& keyword, uint32_t from, uint32_t to,
                                        bool apply);
};
