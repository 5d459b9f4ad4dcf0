#pragma once
// A live run of the show: the frame loop with the transport keys, the overlay (F1) and reloading
// the show when the script or a file it loaded changes on disk.

#include "author/EntryEditing.h"
#include "author/FileWatcher.h"
#include "author/FrameStats.h"
#include "author/MusicAnalysis.h"
#include "author/ShowEntries.h"
#include "author/TrackEditing.h"
#include "author/Transport.h"
#include "effekt/Effekt.h"
#include "player/FrameLoop.h"
#include "player/KeyTable.h"
#include "player/RenderWindow.h"
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

class AuthorSession final : public LiveFrameHooks, public WindowEventFilter {
public:
    // Takes over the loaded show: watches its files (and its tracks file), opens its music and
    // plays it from the start offset (in seconds, as the show always starts).
    AuthorSession(RenderWindow& window, LoadedShow loaded, bool overlayShown);
    ~AuthorSession() override;
    AuthorSession(const AuthorSession&) = delete;
    AuthorSession& operator=(const AuthorSession&) = delete;

    // One frame: a reload first when a watched file changed. False when the viewer ended it.
    bool runFrame();

    // Loads the show again; on success the old one is destroyed and the new one plays on at the
    // same music position, on failure the old one plays on and the message is kept for the
    // overlay (and written to stderr).
    void reload();

    Transport& transport() { return transport_; }
    Show& show() { return *show_; }
    ShowTracks& tracks() { return show_->tracks(); }
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

    void beforeFrame() override;
    void afterFrame(uint32_t time, float beat) override;
    bool takeEvent(const SDL_Event& event) override;
    std::span<const KeyTable> keys() const { return keys_; }

private:
    RenderWindow& window_;
    std::unique_ptr<Show> show_;
    EntryRules rules_;
    std::unique_ptr<MusicStream> music_;
    Transport transport_;
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
    // The keys, tried in this order, and their help for the overlay.
    std::vector<KeyTable> keys_ = {entryKeys(), trackKeys(),
                                   transportKeys(
                                       transport_,
                                       [this]() -> const EffectList& { return show_->effects(); },
                                       [this] { setOverlayShown(!overlayShown_); })};
    std::string keysHelp_ = keysHelp(keys_);

    void takeShow();
    void analyzeMusic();
    void watchFiles(std::vector<std::string> files);
    bool handleKey(const SDL_Event& event);
    // The author's own keys (AuthorKeys.cpp): the selected entry's, the selected value's.
    KeyTable entryKeys();
    KeyTable trackKeys();
    void takeMouse(const SDL_Event& event) const;
    void goToKey(const TweakValue& value, bool next);
    void save();
    void showUnsavedInTitle();
};

// Plays the loaded show in the window until the viewer ends it.
void playLiveShow(RenderWindow& window, LoadedShow show, bool overlayShown);
