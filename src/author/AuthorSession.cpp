#include "author/AuthorSession.h"

#include "audio/MusicStream.h"
#include "author/Overlay.h"
#include "effekt/Tweaks.h"
#include "platform/DataFiles.h"
#include "platform/Debug.h"
#include "platform/FileBytes.h"
#include "player/Letterbox.h"
#include "render/GLState.h"
#include "render/ShaderInputs.h"
#include "timeline/Timeline.h"
#include "tracks/TracksFile.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <utility>

namespace {

const char* const scriptPath = "data/demo.txt";

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::unique_ptr<MusicStream> openMusic(const std::string& file, int32_t startOffset) {
    auto music = std::make_unique<MusicStream>(file, MusicOutput::Device);
    music->play(true);
    music->setPositionSeconds(double(uint32_t(startOffset)));
    return music;
}

// The first of the files modified at or after `since`; empty when none was.
std::string fileSavedSince(const std::vector<std::string>& files,
                           std::filesystem::file_time_type since) {
    for (const std::string& file : files) {
        std::error_code error;
        const auto modified = std::filesystem::last_write_time(file, error);
        if (!error && modified >= since)
            return file;
    }
    return {};
}

// "Morveldan", and the files with unsaved changes.
std::string titleFor(bool scriptUnsaved, bool tracksUnsaved) {
    if (!scriptUnsaved && !tracksUnsaved)
        return "Morveldan";
    std::string files = scriptUnsaved ? scriptPath : "";
    if (tracksUnsaved)
        files += std::string(files.empty() ? "" : ", ") + showTracksPath;
    return "Morveldan - " + files + " (unsaved changes)";
}

// The state a show starts from, also after a reload drew its loading picture.
void resetFrameState() {
    setScreenPerspective();
    glClearColor(0, 0, 0, 0);
}

} // namespace

AuthorSession::AuthorSession(RenderWindow& window, LoadedShow show, bool overlayShown)
    : window_(window), effects_(show.effects), musicFile_(show.musicFile),
      startOffset_(uint32_t(show.startOffset)),
      music_(show.music ? std::move(show.music) : openMusic(show.musicFile, show.startOffset)),
      transport_(*music_, startOffset_), started_(Clock::now()),
      entryEditing_(
          effects_, keywords_, editing_.editor(),
          [this]() -> TrackSet& { return tracks_->tracks(); }, [this] { rebindTracks(); }) {
    takeShow(show.keywords, std::move(show.tracks));
    watchFiles(takeNotedDataFiles());
    savedWhileLoading_ = fileSavedSince(watchedFiles_, show.loadStarted);
    setOverlayShown(overlayShown);
    window_.setEventFilter(this);
}

AuthorSession::~AuthorSession() {
    window_.setEventFilter(nullptr);
    editing_.keepUnsaved(tracks_->tracks(), showTracksPath);
    entryEditing_.keepUnsaved(scriptPath);
}

void AuthorSession::takeShow(const std::vector<std::string>& keywords, TrackSet tracks) {
    keywords_ = keywords;
    const bool findTempo = !tracks.tempo;
    tracks_.reset();
    tracks_ = std::make_unique<ShowTracks>(std::move(tracks), effects_, keywords, musicFile_);
    entryEditing_.load(fileText(scriptPath));
    if (!analysis_ || analysis_->musicFile() != musicFile_ ||
        (findTempo && !analysis_->findsTempo()))
        analysis_ = std::make_unique<MusicAnalysis>(musicFile_, findTempo);
}

void AuthorSession::rebindTracks() {
    TrackSet tracks = std::move(tracks_->tracks());
    tracks_.reset();
    TweakRegistry::instance().terminate();
    tracks_ = std::make_unique<ShowTracks>(std::move(tracks), effects_, keywords_, musicFile_);
}

std::optional<ShowTempo> AuthorSession::tempo() const {
    if (const std::optional<DeclaredTempo>& declared = tracks_->tracks().tempo)
        return declaredShowTempo(*declared);
    if (analysis_ && analysis_->ready() && analysis_->tempo()) {
        ShowTempo found = detectedShowTempo(*analysis_->tempo(), analysis_->musicFile());
        found.firstBeatMs += startOffset_; // effect time = music time + start offset
        return found;
    }
    return std::nullopt;
}

void AuthorSession::watchFiles(std::vector<std::string> files) {
    files.insert(files.begin(), {scriptPath, showTracksPath});
    watchedFiles_ = std::move(files);
    watcher_.watch(watchedFiles_);
}

void AuthorSession::setOverlayShown(bool shown) {
    if (shown && !overlay_)
        overlay_ = std::make_unique<Overlay>(window_);
    overlayShown_ = shown;
}

bool AuthorSession::runFrame() {
    std::vector<std::string> changed;
    if (!savedWhileLoading_.empty())
        changed.push_back(std::exchange(savedWhileLoading_, std::string()));
    else if (watcher_.takeChanges(changed))
        // The author's own save of the tracks file is no change to reload for.
        std::erase_if(changed, [&](const std::string& file) {
            return (file == showTracksPath && editing_.takeOwnSave(file)) ||
                   (file == scriptPath && entryEditing_.takeOwnSave(file));
        });
    if (!changed.empty()) {
        debugLine("%s changed: reloading the show", changed.front().c_str());
        tracksFileChanged_ =
            std::find(changed.begin(), changed.end(), showTracksPath) != changed.end() ||
            changed.front() == "(many files)";
        reload();
    }
    return runShowFrame(window_, *music_, effects_, startOffset_, this);
}

void AuthorSession::reload() {
    const auto begun = Clock::now();
    const bool tracksChanged = std::exchange(tracksFileChanged_, false);
    watcher_.holdChanges();
    takeNotedDataFiles();
    EffectList fresh;
    std::string musicFile;
    int32_t startOffset = 0;
    std::vector<std::string> keywords;
    TrackSet tracks;
    try {
        loadTimeline(fresh, window_, musicFile, startOffset, &keywords);
        // Unsaved key edits play on unless the tracks file itself changed.
        const bool keepEdits = editing_.editor().unsaved() && !tracksChanged;
        tracks = keepEdits ? tracks_->tracks() : loadShowTracks();
    } catch (const ShowEnded&) { // the window closed while loading
        throw;
    } catch (const Interrupted&) {
        throw;
    } catch (const std::exception& error) {
        // The new effects made so far go with `fresh`; the files of the failed load are watched
        // as well, so that saving the fix brings the next reload.
        reloadError_ = error.what();
        debugLine("Reload failed, the last good show plays on: %s", error.what());
        std::vector<std::string> files = watchedFiles_;
        for (std::string& file : takeNotedDataFiles())
            if (std::find(files.begin(), files.end(), file) == files.end())
                files.push_back(std::move(file));
        files.erase(files.begin(), files.begin() + 2); // which watchFiles puts first again
        watchFiles(std::move(files));
        resetFrameState();
        return;
    }
    if (!editing_.editor().unsaved() || tracksChanged) { // the tracks were read from the file
        editing_.keepUnsaved(tracks_->tracks(), showTracksPath);
        editing_.editor().startOver();
    }
    // The script is read again: entry edits not saved go to the recovery folder, and no edit
    // noted before can be undone on the new entries.
    entryEditing_.keepUnsaved(scriptPath);
    editing_.editor().undoList().clear();
    shutDownEffects(effects_);
    effects_ = std::move(fresh);
    const bool musicChanged = musicFile != musicFile_;
    musicFile_ = musicFile;
    takeShow(keywords, std::move(tracks));
    watchFiles(takeNotedDataFiles());
    if (musicChanged) {
        const double position = music_->positionSeconds();
        music_ = std::make_unique<MusicStream>(musicFile, MusicOutput::Device);
        music_->play(true);
        music_->setPositionSeconds(position);
        if (transport_.paused())
            music_->pause();
    }
    startOffset_ = uint32_t(startOffset);
    transport_.setShow(*music_, startOffset_);
    reloadError_.clear();
    resetFrameState();
    lastReloadSeconds_ = secondsBetween(begun, Clock::now());
    debugLine("Reloaded the show in %.0f ms", lastReloadSeconds_ * 1000);
}

void AuthorSession::beforeFrame() { transport_.keepInLoop(); }

void AuthorSession::afterFrame(uint32_t, float beat) {
    if (FrameInputs* inputs = FrameInputs::current())
        inputs->endMouseFrame();
    const auto now = Clock::now();
    if (!firstFrame_)
        frameTimes_.add(float(secondsBetween(lastFrame_, now) * 1000));
    firstFrame_ = false;
    lastFrame_ = now;
    const double nowSeconds = secondsBetween(started_, now);
    beats_.add(nowSeconds, beat);
    showUnsavedInTitle();
    if (!overlayShown_)
        return;
    const std::optional<ShowTempo> showTempo = tempo();
    overlay_->draw({transport_, effects_, entryEditing_.entries(), entryEditing_.rows(),
                    frameTimes_, beats_, nowSeconds, reloadError_, tracks_->tracks(), editing_,
                    statusMessage_, transport_.time(), entryEditing_,
                    showTempo ? &*showTempo : nullptr, analysis_.get(), startOffset_, keysHelp_});
}

void AuthorSession::showUnsavedInTitle() {
    const std::string title = titleFor(entryEditing_.unsaved(), editing_.editor().unsaved());
    if (title == title_)
        return;
    title_ = title;
    SDL_SetWindowTitle(window_.sdlWindow(), title.c_str());
}

// The script when its entries were edited, and the tracks file.
void AuthorSession::save() {
    std::string saved;
    if (entryEditing_.unsaved())
        saved = entryEditing_.save(scriptPath) + "; ";
    statusMessage_ = saved + editing_.save(tracks_->tracks(), showTracksPath);
}

bool AuthorSession::takeEvent(const SDL_Event& event) {
    if (overlayShown_) {
        overlay_->processEvent(event);
        const bool keyboard = event.type == SDL_KEYDOWN || event.type == SDL_KEYUP ||
                              event.type == SDL_TEXTINPUT || event.type == SDL_TEXTEDITING;
        if (keyboard && overlay_->wantsText())
            return true;
    }
    if (!overlayShown_ || !overlay_->wantsMouse())
        takeMouse(event);
    if (event.type == SDL_KEYUP)
        return handleKey(event);
    return false;
}

// The left button over the picture is the mouse that ShaderToy entries read (iMouse).
void AuthorSession::takeMouse(const SDL_Event& event) const {
    FrameInputs* inputs = FrameInputs::current();
    const bool press = event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_LEFT;
    const bool drag = event.type == SDL_MOUSEMOTION && (event.motion.state & SDL_BUTTON_LMASK);
    if (!inputs || !(press || drag ||
                     (event.type == SDL_MOUSEBUTTONUP && event.button.button == SDL_BUTTON_LEFT)))
        return;
    if (event.type == SDL_MOUSEBUTTONUP) {
        inputs->releaseMouse();
        return;
    }
    // Window points to drawable pixels, then into the letterboxed picture, bottom row 0.
    int pointsWidth = 0, pointsHeight = 0;
    SDL_GetWindowSize(window_.sdlWindow(), &pointsWidth, &pointsHeight);
    const int drawableWidth = window_.drawableWidth(), drawableHeight = window_.drawableHeight();
    if (pointsWidth <= 0 || pointsHeight <= 0 || drawableWidth <= 0 || drawableHeight <= 0)
        return;
    const int x = press ? event.button.x : event.motion.x;
    const int y = press ? event.button.y : event.motion.y;
    const LetterboxRect picture =
        letterboxRect(screenWidth, screenHeight, drawableWidth, drawableHeight);
    const double top = drawableHeight - picture.y - picture.height;
    const double pictureX =
        (double(x) * drawableWidth / pointsWidth - picture.x) * screenWidth / picture.width;
    const double fromTop =
        (double(y) * drawableHeight / pointsHeight - top) * screenHeight / picture.height;
    const auto clampedX = float(std::clamp(pictureX, 0.0, double(screenWidth)));
    const auto clampedY = float(std::clamp(screenHeight - fromTop, 0.0, double(screenHeight)));
    if (press)
        inputs->pressMouse(clampedX, clampedY);
    else
        inputs->moveMouse(clampedX, clampedY);
}

bool AuthorSession::handleKey(const SDL_Event& event) { return pressKey(keys_, event.key); }

void playLiveShow(RenderWindow& window, LoadedShow show, bool overlayShown) {
    AuthorSession session(window, std::move(show), overlayShown);
    while (session.runFrame()) {
    }
}
