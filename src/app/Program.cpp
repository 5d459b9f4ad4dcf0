#include "app/Program.h"

#include "app/CommandLine.h"
#include "app/ContactSheet.h"
#include "app/FrameLoop.h"
#include "app/OfflineRender.h"
#include "app/RenderWindow.h"
#include "app/Screenshot.h"
#include "app/VideoSetupDialog.h"
#include "audio/MusicStream.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/StopSignals.h"
#include "render/GL.h"
#include "render/GLState.h"
#include "timeline/Timeline.h"
#include "timeline/Tweaks.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

#ifndef MORVELDAN_VERSION
#define MORVELDAN_VERSION "unknown"
#endif

namespace {

constexpr int exitSucceeded = 0;
constexpr int exitCancelled = 255; // the dialog's Cancel: -1 as a process exit status
constexpr int exitFailed = 1;
constexpr int exitUsage = 1;

// What shells expect of a process ended by a signal.
int exitAfterSignal(int signal) { return 128 + signal; }

// Ends the run's tweakable variables and destroys the effects first to last.
void shutDownEffects(EffectList& effects) {
    TweakRegistry::instance().terminate();
    for (auto& effect : effects)
        effect.reset();
    effects.clear();
}

uint32_t startSeconds(int32_t startOffset) { return static_cast<uint32_t>(startOffset); }

void playShow(RenderWindow& window, EffectList& effects, const std::string& musicFile,
              int32_t startOffset) {
    MusicStream music(musicFile, MusicOutput::Device);
    music.play(true);
    music.setPositionSeconds(double(startSeconds(startOffset)));
    glClearColor(0, 0, 0, 0);
    while (runShowFrame(window, music, effects, startSeconds(startOffset))) {
    }
}

// The single frame whose effect time is `time`, with the beat of the music at the matching
// position, (time - start offset) milliseconds into the track.
void drawShot(EffectList& effects, const std::string& musicFile, int32_t startOffset, uint32_t time,
              const std::string& pictureFile) {
    MusicStream music(musicFile, MusicOutput::Manual);
    const int64_t trackMilliseconds = int64_t(time) - int64_t(startSeconds(startOffset));
    music.setPositionSeconds(double(trackMilliseconds) / 1000.0);
    float spectrum[spectrumSize];
    music.spectrum(spectrum);
    glClearColor(0, 0, 0, 0);
    clearFrame();
    drawActiveEffects(effects, time, beatLevel(spectrum));
    saveWindowPicture(pictureFile);
}

bool isOffline(CommandLine::Action action) {
    return action == CommandLine::Action::Render || action == CommandLine::Action::ContactSheet;
}

// Start-up, the show (or the single shot, or an offline render) and shut-down. Everything made
// here is destroyed, in reverse order, before an error leaves this function.
int runShow(const CommandLine& line) {
    VideoSettings settings = line.settings;
    if (line.showSetup && !runVideoSetupDialog(settings))
        return exitCancelled;
    catchStopSignals();
    const bool offline = isOffline(line.action);
    if (offline) {
        chooseOfflineVideoDriver();
        // The window only carries the GL context: small and hidden, whatever the render size.
        settings.width = 64;
        settings.height = 64;
    }
    RenderWindow window(settings);
    requireOpenGl2();
    if (!offline)
        requireDrawableSize(settings.width, settings.height);
    // The render's framebuffer stands for the window before anything is sized to the screen.
    std::optional<OffscreenWindow> offscreen;
    if (offline)
        offscreen.emplace(line.settings.width, line.settings.height);
    // Outputs are opened first: an unwritable place fails before the show loads.
    std::unique_ptr<FrameSink> frames;
    std::optional<SheetFile> sheet;
    if (line.action == CommandLine::Action::Render)
        frames = openFrameSink(line.render, line.settings.width, line.settings.height);
    if (line.action == CommandLine::Action::ContactSheet)
        sheet.emplace(line.render.sheetFile);
    setScreenPerspective();
    CEnabler texturing(GL_TEXTURE_2D);
    EffectList effects;
    std::string musicFile;
    int32_t startOffset = 0;
    std::vector<std::string> keywords;
    loadTimeline(effects, window, musicFile, startOffset, &keywords);
    if (line.action == CommandLine::Action::Shot)
        drawShot(effects, musicFile, startOffset, line.shotTime, line.shotFile);
    else if (line.action == CommandLine::Action::Render)
        renderShow(line.render, effects, musicFile, startOffset, *offscreen, *frames);
    else if (line.action == CommandLine::Action::ContactSheet)
        makeContactSheet(line.render, effects, keywords, musicFile, startOffset, *offscreen,
                         *sheet);
    else
        playShow(window, effects, musicFile, startOffset);
    shutDownEffects(effects);
    // A signal during a single shot is noticed only here.
    if (const int signal = stopSignal())
        return exitAfterSignal(signal);
    return exitSucceeded;
}

void report(const std::string& message, bool messageBox) {
    debugWrite("Exception: ");
    debugWrite(message);
    debugWrite("\n");
    if (messageBox &&
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Error", message.c_str(), nullptr) != 0)
        debugLine("The message box could not be shown: %s", SDL_GetError());
}

} // namespace

int runProgram(int argc, char** argv) {
    const CommandLine line = parseCommandLine(argc, argv);
    switch (line.action) {
    case CommandLine::Action::Help:
        std::fputs(usageText(), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::printf("morveldan %s\n", MORVELDAN_VERSION);
        return 0;
    case CommandLine::Action::Invalid:
        std::fprintf(stderr, "morveldan: %s\n\n%s", line.problem.c_str(), usageText());
        return exitUsage;
    default:
        break;
    }
    std::string failure;
    int status = exitFailed;
    try {
        return runShow(line);
    } catch (const Interrupted& stop) {
        if (*stop.what())
            report(stop.what(), false);
        return exitAfterSignal(stop.signal());
    } catch (const ShowEnded& end) {
        // A shot or a render that ended this way has not made its picture.
        failure = end.what();
        if (line.action == CommandLine::Action::Play)
            status = exitSucceeded;
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "Unknown error";
    }
    report(failure, line.messageBox);
    return status;
}
