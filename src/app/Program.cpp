#include "app/Program.h"

#include "app/CommandLine.h"
#include "app/ErrorBox.h"
#include "app/ShowFolder.h"
#include "app/StarterShow.h"
#include "audio/MusicStream.h"
#include "author/AuthorSession.h"
#include "effects/ShaderToy.h"
#include "farm/LocalSegments.h"
#include "farm/SegmentJoin.h"
#include "farm/SegmentRender.h"
#include "offline/ContactSheet.h"
#include "offline/FrameSinks.h"
#include "offline/LeadIn.h"
#include "offline/OffscreenWindow.h"
#include "offline/Profile.h"
#include "offline/Render.h"
#include "offline/Shot.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/FrameWatch.h"
#include "platform/LargeStack.h"
#include "platform/StopSignals.h"
#include "player/FrameLoop.h"
#include "player/RenderWindow.h"
#include "player/VideoSetupDialog.h"
#include "render/GL.h"
#include "render/GLState.h"
#include "render/ImageFile.h"
#include "timeline/MusicBeat.h"
#include "timeline/Show.h"
#include "timeline/ShowTempo.h"
#include "timeline/TrackNames.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#ifndef MORVELDAN_VERSION
#define MORVELDAN_VERSION "unknown"
#endif

namespace {

constexpr int exitSucceeded = 0;
constexpr int exitCancelled = 255; // the dialog's Cancel: -1 as a process exit status
constexpr int exitFailed = 1;
constexpr int exitUsage = 1;
constexpr int exitCheckFailed = 1;

// What shells expect of a process ended by a signal.
int exitAfterSignal(int signal) {
    stopUnwound();
    return 128 + signal;
}

uint32_t startSeconds(uint32_t startOffset) { return startOffset; }

// Drawn off screen on the manual clock, into a framebuffer that stands for the window.
bool isOffline(CommandLine::Action action) {
    return action == CommandLine::Action::Render || action == CommandLine::Action::ContactSheet ||
           action == CommandLine::Action::Shot || action == CommandLine::Action::Check ||
           action == CommandLine::Action::Profile;
}

// For a check: music that cannot be played, and entries that end after the music does (at the
// effect time of the music's last sample; -1 never ends).
// Checks the entries against the music's length and notes the beat's range over it, the music
// decoded once for both; returns the tempo line: the declared tempo, or the one found in the
// music (empty when there is neither).
std::string checkMusic(ShowCheck& check, Show& show) {
    const TrackSet& tracks = show.tracks().tracks();
    const std::optional<DeclaredTempo>& declared = tracks.tempo;
    std::string tempo = declared ? tempoText(declaredShowTempo(*declared)) : std::string();
    if (check.musicLine == 0)
        return tempo;
    ShowMusic& music = show.music();
    if (!music.error().empty()) {
        check.add(check.musicLine, music.error());
        return tempo;
    }
    if (!declared)
        if (const auto& detected = music.tempo())
            tempo = tempoText(detectedShowTempo(*detected, show.musicFile()));
    checkBeat(check, tracks.beat(), music.lowBandSums());
    const uint64_t musicEnd =
        uint64_t(startSeconds(show.startOffset())) + music.facts().frames * 1000 / musicSampleRate;
    for (const ShowCheck::Entry& entry : check.entries) {
        // An entry that ends the show does so at its start: only that must come before the
        // music's end.
        if (entry.endsShow) {
            if (entry.start >= musicEnd && entry.start != UINT32_MAX) // -1 never starts
                check.add(entry.line,
                          formatText("the entry '%s' starts at %u ms, after the music, which "
                                     "ends at %llu ms: the show never reaches it",
                                     entry.keyword.c_str(), entry.start,
                                     (unsigned long long)musicEnd));
        } else if (entry.end != UINT32_MAX && entry.end > musicEnd) {
            check.add(entry.line,
                      formatText("the entry '%s' ends at %u ms, after the music, which ends at "
                                 "%llu ms",
                                 entry.keyword.c_str(), entry.end, (unsigned long long)musicEnd));
        }
    }
    return tempo;
}

// Which language the show's ShaderToy passes compile as, when it has any.
void noteShaderToyLanguage(const Show& show, ShowCheck& check) {
    for (const auto& effect : show.effects())
        if (const auto* toy = dynamic_cast<const Effekter::ShaderToy*>(effect.get())) {
            check.notes.push_back(toy->language() == shadertoy::Language::Es300
                                      ? "ShaderToy passes compile as GLSL ES 3.00"
                                      : "ShaderToy passes compile as GLSL 1.30 (the driver offers "
                                        "no GLSL ES 3.00)");
            return;
        }
}

// Prints every problem and a summary line; the exit status.
int reportCheck(const ShowCheck& check, const std::string& tempo) {
    if (!tempo.empty())
        std::printf("%s\n", tempo.c_str());
    for (const std::string& note : check.notes)
        std::printf("%s\n", note.c_str());
    for (const std::string& warning : check.warnings)
        std::printf("%s\n", warning.c_str());
    for (const std::string& problem : check.problems)
        std::printf("%s\n", problem.c_str());
    for (const std::string& plugin : check.plugins)
        std::printf("%s\n", plugin.c_str());
    const size_t count = check.problems.size();
    const size_t entries = check.entries.size();
    std::printf("%s: %zu %s checked, %s\n", check.script.c_str(), entries,
                entries == 1 ? "entry" : "entries",
                count == 0   ? "no problems found"
                : count == 1 ? "1 problem found"
                             : formatText("%zu problems found", count).c_str());
    std::fflush(stdout);
    return count == 0 ? 0 : exitCheckFailed;
}

// Start-up, the show (or the single shot, or an offline render) and shut-down. Everything made
// here is destroyed, in reverse order, before an error leaves this function.
int runShow(const CommandLine& line) {
    if (line.action == CommandLine::Action::Join) {
        joinSegments(line.joinFile, line.joinSegments, line.render.reach);
        return exitSucceeded;
    }
    if (line.render.localSegments > 0) {
        catchStopSignals();
        renderInSegments(line.render, line.settings.width, line.settings.height, "/proc/self/exe");
        return exitSucceeded;
    }
    startImageDecoder();
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
    std::optional<ProfileFile> profileCsv;
    if (!line.render.profileCsv.empty())
        profileCsv.emplace(line.render.profileCsv);
    setScreenPerspective();
    CEnabler texturing(GL_TEXTURE_2D);
    ShowCheck check;
    const bool checking = line.action == CommandLine::Action::Check;
    if (checking)
        setDebugOutput(false); // the check's report is all it prints
    const auto loadStarted = std::filesystem::file_time_type::clock::now();
    ShowOptions options;
    options.check = checking ? &check : nullptr;
    options.rules.pluginsRefused = line.noPlugins;
    options.rules.loadSeconds = line.loadSeconds;
    options.reach = line.render.reach;
    // Sound is kept where it is played or encoded: a segment has none.
    options.musicSound = line.action == CommandLine::Action::Play ||
                         (line.action == CommandLine::Action::Render && line.render.segment == 0);
    std::unique_ptr<Show> show = loadShow(window, options);
    if (checking) {
        const std::string tempo = checkMusic(check, *show);
        checkTrackNames(show->tracks().tracks(), show->effects(), check);
        checkTrackTargets(show->tracks(), check);
        noteShaderToyLanguage(*show, check);
        return reportCheck(check, tempo);
    }
    std::optional<FrameWatch> frameWatch;
    if (isOffline(line.action))
        frameWatch.emplace(line.frameSeconds);
    if (line.action == CommandLine::Action::Shot)
        renderShot(line.shotTime, line.render, *show, *offscreen, line.shotFile);
    else if (line.action == CommandLine::Action::Render && line.render.segment > 0)
        renderSegment(line.render, *show, *offscreen, *frames);
    else if (line.action == CommandLine::Action::Render)
        renderShow(line.render, *show, *offscreen, *frames);
    else if (line.action == CommandLine::Action::ContactSheet)
        makeContactSheet(line.render, *show, *offscreen, *sheet);
    else if (line.action == CommandLine::Action::Profile)
        profileShow(line.render, *show, *offscreen, profileCsv ? &*profileCsv : nullptr);
    else {
        glClearColor(0, 0, 0, 0);
        playLiveShow(window, {std::move(show), nullptr, loadStarted, options.rules},
                     line.authorOverlay);
    }
    show.reset();
    // A signal during a single shot is noticed only here.
    if (const int signal = stopSignal())
        return exitAfterSignal(signal);
    return exitSucceeded;
}

// Runs the show; when a render or shot finds that its warm-up was too short, draws it again from
// the start with the warm-up it needs, in this process: nothing of the first attempt is left
// (its show, its window and its context are gone, the next show starts its state afresh).
int runShowWithWarmup(CommandLine line) {
    for (;;) {
        try {
            return runShow(line);
        } catch (const LeadInTooShort& shortLeadIn) {
            std::fprintf(stderr, "%s: drawing again with --warmup %u\n", shortLeadIn.what(),
                         shortLeadIn.warmup());
            line.render.warmup = shortLeadIn.warmup();
            line.showSetup = false;
        }
    }
}

void report(const std::string& message, bool messageBox) {
    setDebugOutput(true);
    debugWrite("morveldan: ");
    debugWrite(message);
    debugWrite("\n");
    if (messageBox)
        showErrorBox(message);
}

// The show, with what ends it early said on standard error (and in a box, when asked).
int runShowReportingFailures(const CommandLine& line) {
    std::string failure;
    int status = exitFailed;
    try {
        return runShowWithWarmup(line);
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
    return stopSignal() ? exitAfterSignal(stopSignal()) : status;
}

} // namespace

int runProgram(int argc, char** argv) {
    CommandLine line = parseCommandLine(argc, argv);
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
    case CommandLine::Action::New:
        return runNewShow(line.newFolder);
    default:
        break;
    }
    // Locals that a shader leaves uninitialised read as zero, as in the browsers that Shadertoy's
    // shaders are written in. Mesa's drivers read this before the first context; others do not.
    // Mesa announces every option set this way on standard error; MESA_DEBUG=silent hushes that,
    // and Mesa prints none of its other messages without MESA_DEBUG anyway.
    if (!std::getenv("glsl_zero_init")) {
        setenv("glsl_zero_init", "true", 0);
        setenv("MESA_DEBUG", "silent", 0);
    }
    try {
        enterShowFolder(line);
    } catch (const std::exception& error) {
        report(error.what(), line.messageBox);
        return exitUsage;
    }
    // The image decoder is forked before the large stack is made, so that its memory limit does
    // not count that stack.
    if (line.action != CommandLine::Action::Join && line.render.localSegments == 0)
        startImageDecoder();
    return runOnLargeStack(largeStackBytes, [&] { return runShowReportingFailures(line); });
}
