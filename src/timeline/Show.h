#pragma once
// A loaded show: the script with the lines of each entry, the effects, the tracks, the music
// decoded once, and what its effects are given when they are made (the frame's inputs, the show's
// files, the state their families share). Live runs, renders, shots, profiles, contact sheets,
// --check and the author mode all run one.

#include "effects/EffectContext.h"
#include "effects/EffectFamily.h"
#include "effekt/Effekt.h"
#include "platform/ShowFiles.h"
#include "render/ShaderInputs.h"
#include "timeline/ScriptLoader.h"
#include "timeline/ShowMusic.h"
#include "timeline/ShowSounds.h"
#include "timeline/ShowTracks.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ShowScreen;

// The script of a show, relative to its folder.
inline constexpr const char* showScriptPath = "data/demo.txt";

// One entry of the script as it was loaded: its family and its lines (its times are its effect's).
struct ScriptEntry {
    const EffectFamily* family = nullptr;
    EntryLines lines;
};

struct ShowOptions {
    // With a check every problem is noted there and loading goes on; a run stops at the first.
    ShowCheck* check = nullptr;
    EntryRules rules;
    // The music keeps its sound (it is played or encoded), not only what the spectrum reads.
    bool musicSound = true;
    // The music of the show loaded before this one: taken over while it serves.
    std::shared_ptr<ShowMusic> music;
    // Tracks to play instead of reading data/demo.tracks (a reload that keeps unsaved edits).
    std::optional<TrackSet> tracks;
    // Receives the files the show read, also when loading fails.
    std::vector<std::string>* filesRead = nullptr;
    // Where its files may lie: inside its folder unless the user allows more (--allow-outside).
    FileReach reach = FileReach::ShowFolder;
};

class Show {
public:
    ~Show();
    Show(const Show&) = delete;
    Show& operator=(const Show&) = delete;

    const std::string& scriptText() const { return scriptText_; }
    // The music file, the start offset and the entry count the script's first lines give.
    const ScriptHeader& header() const { return header_; }
    const std::string& musicFile() const { return header_.musicFile; }
    // Added, unscaled and with 32-bit wrap-around, to the music's time to give the effect time.
    uint32_t startOffset() const { return uint32_t(header_.startOffset); }

    EffectList& effects() { return effects_; }
    const EffectList& effects() const { return effects_; }
    // One for each effect, in the same order.
    const std::vector<ScriptEntry>& entries() const { return entries_; }
    std::vector<std::string> keywords() const;

    ShowTracks& tracks() { return *tracks_; }
    const ShowTracks& tracks() const { return *tracks_; }
    // Plays these tracks from now on, bound to the entries as they are now (after an edit of the
    // entries, or of the tracks file).
    void setTracks(TrackSet tracks);
    // The same tracks, bound again to the entries as they are now.
    void rebindTracks();

    ShowMusic& music() { return *music_; }
    const std::shared_ptr<ShowMusic>& sharedMusic() const { return music_; }

    FrameInputs& frame() { return frame_; }
    // The script, the tracks file and every file the entries read, each once.
    std::vector<std::string> files() const;

    // Opens one of the show's files through its guard (see ShowFiles::open).
    ShowFile openFile(const std::string& path, ShowFileKind kind) {
        return files_.open(path, kind);
    }

    // The earliest start of an entry that ends the show and can be active.
    std::optional<uint32_t> endTime() const;

    // An effect made for this show, for an entry that is not in the script yet.
    std::unique_ptr<Effekt> makeEffect(const EffectFamily& family, const EntryValues& values);
    void insertEntry(size_t at, const ScriptEntry& entry, std::unique_ptr<Effekt> effect);
    // Takes the entry's effect out of the show.
    std::unique_ptr<Effekt> removeEntry(size_t at);
    // The entry's lines after an edit of the script's text.
    void setEntryLines(size_t at, const EntryLines& lines) { entries_[at].lines = lines; }

private:
    friend std::unique_ptr<Show> makeShow(const std::string* scriptBytes, ShowOptions& options,
                                          ShowScreen* screen);
    explicit Show(FileReach reach) : files_(reach) {}

    FrameInputs frame_;
    ShowFiles files_;
    FamilyStates shared_;
    ShowSounds sounds_;
    EffectContext context_{frame_, files_, shared_, &sounds_};
    std::string scriptText_;
    ScriptHeader header_;
    EffectList effects_;
    std::vector<ScriptEntry> entries_;
    std::shared_ptr<ShowMusic> music_;
    std::unique_ptr<ShowTracks> tracks_;
};

// Reads data/demo.txt and data/demo.tracks, makes every entry's effect, with the rising loading
// picture presented once per entry, and decodes the music. Throws ShowError at the first fault,
// its text naming the script's file and line on a first line and the fault on the next ("Unable
// to load data/demo.txt", "Unknown entry '%s' in file, please correct", whatever an effect's
// constructor throws); throws "You quit?" when the window is closed while loading. With a check,
// every problem is noted there instead and loading goes on.
std::unique_ptr<Show> loadShow(ShowScreen& screen, ShowOptions options = {});

// A show made from script bytes as loadShow makes it from data/demo.txt, but with nothing drawn
// and no music decoded, playing the options' tracks or none: for entries whose families draw
// nothing (tests of what edits the script).
std::unique_ptr<Show> readShow(const std::string& scriptBytes, ShowOptions options = {});

// The script's header alone (for work that does not draw the show): throws "Unable to load
// data/demo.txt" when it cannot be read, and the refusal of a script or music file the show may
// not read.
ScriptHeader readShowHeader(FileReach reach);
