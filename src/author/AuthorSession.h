#pragma once
// The author mode of a live run: the overlay (F1) with its panels, editing the tracks and the
// entries, and reloading the show when the script or a file it loaded changes on disk. It extends
// the run through its hooks and keys; every live run has it.

#include "author/EntryEditing.h"
#include "author/FileWatcher.h"
#include "author/FrameStats.h"
#include "author/MusicAnalysis.h"
#include "author/ShowEntries.h"
#include "author/TrackEditing.h"
#include "effekt/Effekt.h"
#include "player/KeyTable.h"
#include "player/LiveRun.h"
#include "player/RenderWindow.h"
#include "player/Transport.h"
#include "timeline/Show.h"
#include "timeline/ShowTempo.h"
#include "timeline/ShowTracks.h"
#include "tracks/Track.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

class MusicStream;
class Overlay;

// The show as loaded, and how to load it again.
struct LoadedShow {
    std::unique_ptr<Show> show;
    // Music already opened (tests); otherwise the show's music is played.
    std::unique_ptr<MusicStream> music;
    // When loading began: a file saved since then, before it was watched, brings a reload (never,
    // by default).
    std::filesystem::file_time_type loadStarted = std::filesystem::file_time_type::max();
    EntryRules rules = {}; // the families and --no-plugins, for reloads
};

class AuthorSession final : public LiveRunHooks {
public:
    // Runs the loaded show live (its music played from the start offset, in seconds, as the show
    // always starts) and watches its files (and its tracks file).
    AuthorSession(RenderWindow& window, LoadedShow loaded, bool overlayShown);
    ~AuthorSession() override;
    AuthorSession(const AuthorSession&) = delete;
    AuthorSession& operator=(const AuthorSession&) = delete;

    // One frame of the run, a reload first when a watched file changed. False when the viewer
    // ended it.
    bool runFrame() { return run_.runFrame(); }

    // Loads the show again; on success the old one is destroyed and the new one plays on at the
    // same music position, on failure the old one plays on and the message is kept for the
    // overlay (and written to stderr).
    void reload();

    Transport& transport() { return run_.transport(); }
    Show& show() { return run_.show(); }
    const Show& show() const { return run_.show(); }
    ShowTracks& tracks() { return show().tracks(); }
    TrackEditing& editing() { return editing_; }
    EntryEditing& entryEditing() { return entryEditing_; }
    // The tempo the tracks file declares, else the one found in the music once it is found.
    std::optional<ShowTempo> tempo() const;
    // The music's waveform and tempo, worked out in the background once the overlay is shown or a
    // key needs the tempo (null before).
    const MusicAnalysis* musicAnalysis() const { return analysis_.get(); }
    bool overlayShown() const { return overlayShown_; }
    void setOverlayShown(bool shown);
    const std::string& reloadError() const { return reloadError_; }
    double lastReloadSeconds() const { return lastReloadSeconds_; }

    // A reload when a watched file changed.
    void refreshShow() override;
    void beforeFrame() override;
    void afterFrame(uint32_t time, float beat) override;
    bool takeEvent(const SDL_Event& event) override;
    std::span<const KeyTable> keys() const { return run_.keys(); }
    LiveRun& run() { return run_; }

private:
    LiveRun run_;
    EntryRules rules_;
    std::unique_ptr<MusicAnalysis> analysis_;
    std::vector<std::string> watchedFiles_;
    FileWatcher watcher_;
    std::unique_ptr<Overlay> overlay_;
    bool overlayShown_ = false;
    std::string reloadError_;
    std::string savedWhileLoading_; // a file saved during the first load, before it was watched
    double lastReloadSeconds_ = 0;
    FrameTimes frameTimes_;
    BeatHistory beats_;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastFrame_;
    bool firstFrame_ = true;
    TrackEditing editing_;
    EntryEditing entryEditing_;
    bool tracksFileChanged_ = false; // among the files that brought the next reload
    std::string title_;
    std::string statusMessage_; // the last save's outcome, for the overlay
    std::string keysHelp_;      // every key of the run, for the overlay
    float recordedMouse_[4] = {}; // iMouse as last recorded
    uint64_t mouseGesture_ = 0;   // the recorded press, drag and release that undo as one

    void takeShow();
    void analyzeMusic();
    void watchFiles(std::vector<std::string> files);
    // The author's own keys (AuthorKeys.cpp): the selected entry's, the selected value's.
    KeyTable entryKeys();
    KeyTable trackKeys();
    void takeMouse(const SDL_Event& event);
    void recordMouse(uint32_t time);
    void goToKey(const TweakValue& value, bool next);
    void save();
    void showUnsavedInTitle();
};

// Plays the loaded show in the window until the viewer ends it.
void playLiveShow(RenderWindow& window, LoadedShow show, bool overlayShown);
