#include "author/AuthorSession.h"

#include "audio/MusicStream.h"
#include "author/Overlay.h"
#include "platform/Debug.h"
#include "platform/FileBytes.h"
#include "player/Letterbox.h"
#include "render/GLState.h"
#include "render/Screen.h"
#include "render/ShaderInputs.h"
#include "tracks/TracksFile.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
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
    std::string files = scriptUnsaved ? showScriptPath : "";
    if (tracksUnsaved)
        files += std::string(files.empty() ? "" : ", ") + showTracksPath;
    return "Morveldan - " + files + " (unsaved changes)";
}

} // namespace

AuthorSession::AuthorSession(RenderWindow& window, LoadedShow loaded, bool overlayShown)
    : run_(window, std::move(loaded.show), std::move(loaded.music)), rules_(loaded.rules),
      started_(Clock::now()), entryEditing_(editing_.editor()) {
    run_.extend(this, {entryKeys(), trackKeys()}, [this] { setOverlayShown(!overlayShown_); });
    keysHelp_ = keysHelp(run_.keys());
    takeShow();
    watchFiles(show().files());
    savedWhileLoading_ = fileSavedSince(watchedFiles_, loaded.loadStarted);
    setOverlayShown(overlayShown);
}

AuthorSession::~AuthorSession() {
    editing_.keepUnsaved(show().tracks().tracks(), showTracksPath);
    entryEditing_.keepUnsaved(showScriptPath);
}

void AuthorSession::takeShow() {
    entryEditing_.load(show());
    // The music's analysis starts with the overlay, or with the first key that needs the tempo.
    if (analysis_ && (&analysis_->music() != &show().music() ||
                      (!show().tracks().tracks().tempo && !analysis_->findsTempo())))
        analysis_.reset();
    if (overlayShown_)
        analyzeMusic();
}

void AuthorSession::analyzeMusic() {
    if (!analysis_)
        analysis_ =
            std::make_unique<MusicAnalysis>(show().sharedMusic(), !show().tracks().tracks().tempo);
}

std::optional<ShowTempo> AuthorSession::tempo() const {
    if (const std::optional<DeclaredTempo>& declared = show().tracks().tracks().tempo)
        return declaredShowTempo(*declared);
    if (analysis_ && analysis_->ready() && analysis_->tempo()) {
        ShowTempo found = detectedShowTempo(*analysis_->tempo(), show().musicFile());
        found.firstBarMs += show().startOffset(); // effect time = music time + start offset
        return found;
    }
    return std::nullopt;
}

void AuthorSession::watchFiles(std::vector<std::string> files) {
    watchedFiles_ = std::move(files);
    watcher_.watch(watchedFiles_);
}

void AuthorSession::setOverlayShown(bool shown) {
    if (shown && !overlay_)
        overlay_ = std::make_unique<Overlay>(run_.window());
    overlayShown_ = shown;
    if (shown)
        analyzeMusic();
}

void AuthorSession::refreshShow() {
    std::vector<std::string> changed;
    if (!savedWhileLoading_.empty())
        changed.push_back(std::exchange(savedWhileLoading_, std::string()));
    else if (watcher_.takeChanges(changed))
        // The author's own save of the tracks file is no change to reload for.
        std::erase_if(changed, [&](const std::string& file) {
            return (file == showTracksPath && editing_.takeOwnSave(file)) ||
                   (file == showScriptPath && entryEditing_.takeOwnSave(file));
        });
    if (!changed.empty()) {
        debugLine("%s changed: reloading the show", changed.front().c_str());
        tracksFileChanged_ =
            std::find(changed.begin(), changed.end(), showTracksPath) != changed.end() ||
            changed.front() == "(many files)";
        reload();
    }
}

void AuthorSession::reload() {
    const auto begun = Clock::now();
    const bool tracksChanged = std::exchange(tracksFileChanged_, false);
    watcher_.holdChanges();
    // Unsaved key edits play on unless the tracks file itself changed.
    const bool keepEdits = editing_.editor().unsaved() && !tracksChanged;
    std::vector<std::string> filesRead;
    std::unique_ptr<Show> fresh;
    try {
        ShowOptions options;
        options.rules = rules_;
        options.music = show().sharedMusic();
        options.filesRead = &filesRead;
        if (keepEdits)
            options.tracks = show().tracks().tracks();
        fresh = loadShow(run_.window(), std::move(options));
    } catch (const ShowEnded&) { // the window closed while loading
        throw;
    } catch (const Interrupted&) {
        throw;
    } catch (const std::exception& error) {
        // The files of the failed load are watched as well, so that saving the fix brings the
        // next reload.
        reloadError_ = error.what();
        debugLine("Reload failed, the last good show plays on: %s", error.what());
        std::vector<std::string> files = watchedFiles_;
        for (std::string& file : filesRead)
            if (std::find(files.begin(), files.end(), file) == files.end())
                files.push_back(std::move(file));
        watchFiles(std::move(files));
        resetFrameState();
        return;
    }
    if (!keepEdits) { // the tracks were read from the file
        editing_.keepUnsaved(show().tracks().tracks(), showTracksPath);
        editing_.editor().startOver();
    }
    // The script is read again: entry edits not saved go to the recovery folder, and no edit
    // noted before can be undone on the new entries.
    entryEditing_.keepUnsaved(showScriptPath);
    editing_.editor().undoList().clear();
    run_.takeShow(std::move(fresh));
    takeShow();
    watchFiles(show().files());
    reloadError_.clear();
    lastReloadSeconds_ = secondsBetween(begun, Clock::now());
    debugLine("Reloaded the show in %.0f ms", lastReloadSeconds_ * 1000);
}

void AuthorSession::beforeFrame() { transport().keepInLoop(); }

void AuthorSession::afterFrame(uint32_t time, float beat) {
    if (editing_.recording())
        recordMouse(time);
    show().frame().endMouseFrame();
    const auto now = Clock::now();
    if (!firstFrame_)
        frameTimes_.add(float(secondsBetween(lastFrame_, now) * 1000));
    firstFrame_ = false;
    lastFrame_ = now;
    const double nowSeconds = secondsBetween(started_, now);
    beats_.add(nowSeconds, beat);
    showUnsavedInTitle();
    editing_.recordUnsaved(show().tracks().tracks(), showTracksPath);
    entryEditing_.recordUnsaved(showScriptPath);
    if (!overlayShown_)
        return;
    const std::optional<ShowTempo> showTempo = tempo();
    overlay_->draw({transport(), show().effects(), entryEditing_.entries(), entryEditing_.rows(),
                    frameTimes_, beats_, nowSeconds, reloadError_, show().tracks().tracks(),
                    show().tracks().tweaks(), editing_, statusMessage_, transport().time(),
                    entryEditing_, showTempo ? &*showTempo : nullptr, analysis_.get(),
                    show().startOffset(), keysHelp_});
}

void AuthorSession::showUnsavedInTitle() {
    const std::string title = titleFor(entryEditing_.unsaved(), editing_.editor().unsaved());
    if (title == title_)
        return;
    title_ = title;
    SDL_SetWindowTitle(run_.window().sdlWindow(), title.c_str());
}

// The script when its entries were edited, and the tracks file.
void AuthorSession::save() {
    std::string saved;
    if (entryEditing_.unsaved())
        saved = entryEditing_.save(showScriptPath) + "; ";
    statusMessage_ = saved + editing_.save(show().tracks().tracks(), showTracksPath);
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
    return false;
}

// The left button over the picture is the mouse that ShaderToy entries read (iMouse).
void AuthorSession::takeMouse(const SDL_Event& event) {
    FrameInputs& inputs = show().frame();
    const bool press = event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_LEFT;
    const bool drag = event.type == SDL_MOUSEMOTION && (event.motion.state & SDL_BUTTON_LMASK);
    if (!(press || drag ||
          (event.type == SDL_MOUSEBUTTONUP && event.button.button == SDL_BUTTON_LEFT)))
        return;
    if (event.type == SDL_MOUSEBUTTONUP) {
        inputs.releaseMouse();
        return;
    }
    // Window points to drawable pixels, then into the letterboxed picture, bottom row 0.
    int pointsWidth = 0, pointsHeight = 0;
    SDL_GetWindowSize(run_.window().sdlWindow(), &pointsWidth, &pointsHeight);
    const int drawableWidth = run_.window().drawableWidth(),
              drawableHeight = run_.window().drawableHeight();
    if (pointsWidth <= 0 || pointsHeight <= 0 || drawableWidth <= 0 || drawableHeight <= 0)
        return;
    const int x = press ? event.button.x : event.motion.x;
    const int y = press ? event.button.y : event.motion.y;
    const Screen& show = currentScreen();
    const LetterboxRect picture =
        letterboxRect(show.width, show.height, drawableWidth, drawableHeight);
    const double top = drawableHeight - picture.y - picture.height;
    const double pictureX =
        (double(x) * drawableWidth / pointsWidth - picture.x) * show.width / picture.width;
    const double fromTop =
        (double(y) * drawableHeight / pointsHeight - top) * show.height / picture.height;
    const auto clampedX = float(std::clamp(pictureX, 0.0, double(show.width)));
    const auto clampedY = float(std::clamp(show.height - fromTop, 0.0, double(show.height)));
    if (press)
        inputs.pressMouse(clampedX, clampedY);
    else
        inputs.moveMouse(clampedX, clampedY);
}

// While recording, each change of the mouse (a press, its frame passing, a drag, the release) is
// a key of the tracks iMouse.x to iMouse.w at the frame's time; a press to its release undoes as
// one edit.
void AuthorSession::recordMouse(uint32_t time) {
    const float* mouse = show().frame().mouse();
    if (std::equal(mouse, mouse + 4, recordedMouse_))
        return;
    std::copy(mouse, mouse + 4, recordedMouse_);
    if (mouseGesture_ == 0)
        mouseGesture_ = editing_.newGesture();
    const TweakVariable variable{nullptr, "iMouse", TweakQuat4F, recordedMouse_, "", "iMouse"};
    editing_.valueChanged(tracks().tracks(),
                          {nullptr, &variable, {"iMouse.x", "iMouse.y", "iMouse.z", "iMouse.w"}},
                          time, mouseGesture_);
    if (mouse[2] < 0)
        mouseGesture_ = 0; // released
}

void playLiveShow(RenderWindow& window, LoadedShow show, bool overlayShown) {
    AuthorSession session(window, std::move(show), overlayShown);
    while (session.runFrame()) {
    }
}
