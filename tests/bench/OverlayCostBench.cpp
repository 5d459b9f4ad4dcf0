// Cost of a live frame of the default show at 1280 x 720, with the author's overlay hidden and
// shown (the timeline strip with the music's waveform and beat lines), and
// with many tracks playing, at a busy moment (Spheres); the overlay and the strip alone, the
// strip's picture still or painted again every frame; and the cost of evaluating tracks alone.
// Run from the build directory on a display.
#include "TestFiles.h"
#include "WindowTestSupport.h"
#include "audio/MusicStream.h"
#include "author/AuthorSession.h"
#include "author/Overlay.h"
#include "player/RenderWindow.h"
#include "render/GLState.h"
#include "timeline/Show.h"

#include <SDL2/SDL.h>
#include <backends/imgui_impl_opengl2.h>
#include <benchmark/benchmark.h>
#include <imgui.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

constexpr uint32_t busyTime = 150000;

struct LiveShow {
    LiveShow() : window(smallWindow(1280, 720)) {
        setenv("XDG_CONFIG_HOME", config.path().c_str(), 1); // the overlay's layout file

        requireOpenGl2();
        setScreenPerspective();
        glEnable(GL_TEXTURE_2D);
        LoadedShow show{loadShow(window), nullptr};
        show.music =
            std::make_unique<MusicStream>(show.show->music().samples(), MusicOutput::Manual);
        session = std::make_unique<AuthorSession>(window, std::move(show), false);
        session->transport().seekTo(busyTime);
        // The strip draws the waveform and the beat lines once the music is worked out, which the
        // overlay starts.
        session->setOverlayShown(true);
        session->setOverlayShown(false);
        while (!session->musicAnalysis()->ready())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    TempDir config;
    RenderWindow window;
    std::unique_ptr<AuthorSession> session;
};

LiveShow& liveShow() {
    static LiveShow show;
    return show;
}

// What an overlay frame is given outside the session's own frame: the session's show, edits and
// tempo; no frame times, beats, reload error or save status.
struct OverlayInputs {
    explicit OverlayInputs(AuthorSession& session) : tempo(session.tempo()) {}
    OverlayView view(AuthorSession& session) {
        return {session.transport(),
                session.show().effects(),
                session.entryEditing().entries(),
                session.entryEditing().rows(),
                frames,
                beats,
                0,
                noError,
                session.tracks().tracks(),
                session.tracks().tweaks(),
                session.editing(),
                noStatus,
                session.transport().time(),
                session.entryEditing(),
                tempo ? &*tempo : nullptr,
                session.musicAnalysis(),
                0,
                keysHelp};
    }
    FrameTimes frames;
    BeatHistory beats;
    const std::string noError, noStatus, keysHelp;
    const std::optional<ShowTempo> tempo;
};

// The strip's picture (waveform and grid) is painted again when the view changes: each frame of
// a repainting case zooms the strip one wheel step in or out, by turns, the mouse over the strip.
// Returns false when the window cannot have the mouse.
bool pointAtTheStrip(RenderWindow& window) {
    const OverlayRect strip = overlayLayout(1280, 720).timeline;
    SDL_WarpMouseInWindow(window.sdlWindow(), int(strip.x + strip.width / 2),
                          int(strip.y + strip.height / 2));
    for (int wait = 0; wait < 100 && SDL_GetMouseFocus() != window.sdlWindow(); ++wait) {
        SDL_PumpEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    return SDL_GetMouseFocus() == window.sdlWindow();
}

SDL_Event wheelStep(int frame) {
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    event.wheel.y = frame % 2 ? -1 : 1;
    return event;
}

// The overlay alone (before the live frames: the overlay a session shows is another ImGui
// context), every panel with the timeline strip (waveform, beat lines, entries, keys),
// built and drawn over the last frame, without the show; the strip still or zoomed every frame.
void BM_OverlayAlone(benchmark::State& state) {
    LiveShow& show = liveShow();
    AuthorSession& session = *show.session;
    session.setOverlayShown(false);
    session.runFrame();
    Overlay overlay(show.window);
    OverlayInputs inputs(session);
    const OverlayView view = inputs.view(session);
    const bool repaint = state.range(0) != 0;
    if (repaint && !pointAtTheStrip(show.window)) {
        state.SkipWithError("the window does not get the mouse");
        return;
    }
    for (int warm = 0; warm < 3; ++warm)
        overlay.draw(view);
    int frame = 0;
    for (auto _ : state) {
        if (repaint)
            overlay.processEvent(wheelStep(frame++));
        overlay.draw(view);
        glFinish();
    }
    state.SetLabel(repaint ? "strip repainted" : "strip still");
}
BENCHMARK(BM_OverlayAlone)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(5)
    ->UseRealTime();

// An ImGui context of its own, drawn with the OpenGL 2 back end, in which the strip is drawn with
// no other panel; the context current before is current again afterwards.
class StripAlone {
public:
    StripAlone(int width, int height)
        : previous_(ImGui::GetCurrentContext()), context_(ImGui::CreateContext()),
          rect_(overlayLayout(width, height).timeline), width_(width), height_(height) {
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(float(width), float(height));
        ImGui_ImplOpenGL2_Init();
    }
    ~StripAlone() {
        ImGui_ImplOpenGL2_Shutdown();
        ImGui::DestroyContext(context_);
        ImGui::SetCurrentContext(previous_);
    }
    StripAlone(const StripAlone&) = delete;
    StripAlone& operator=(const StripAlone&) = delete;

    void draw(const OverlayView& view, StripState& strip) {
        ImGui_ImplOpenGL2_NewFrame();
        ImGui::GetIO().DeltaTime = 1.0f / 60;
        ImGui::NewFrame();
        drawTimelineStrip(view, rect_, strip);
        ImGui::Render();
        glViewport(0, 0, width_, height_);
        ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    }

private:
    ImGuiContext* previous_;
    ImGuiContext* context_;
    OverlayRect rect_;
    int width_, height_;
};

// The timeline strip alone at its size in a 1280 x 720 window, showing the whole show (0, 1) or
// 30 s of it (2, 3); its picture still (0, 2), or painted again every frame (1: zoomed between
// the whole show and four fifths of it by turns; 3: scrolled 100 ms earlier and later by turns).
void BM_StripAlone(benchmark::State& state) {
    LiveShow& show = liveShow();
    AuthorSession& session = *show.session;
    session.setOverlayShown(false);
    session.runFrame();
    StripAlone strip(1280, 720);
    StripState stripState;
    OverlayInputs inputs(session);
    const OverlayView view = inputs.view(session);
    strip.draw(view, stripState);
    const double wholeShow = stripState.viewSpan;
    const bool zoomed = state.range(0) >= 2, moving = state.range(0) % 2 != 0;
    if (zoomed) {
        stripState.viewSpan = 30000;
        stripState.viewStart = busyTime - 15000;
    }
    for (int warm = 0; warm < 3; ++warm)
        strip.draw(view, stripState);
    const double start = stripState.viewStart;
    int frame = 0;
    for (auto _ : state) {
        const bool odd = ++frame % 2 != 0;
        if (moving && zoomed)
            stripState.viewStart = start + (odd ? 100 : 0);
        else if (moving)
            stripState.viewSpan = wholeShow * (odd ? 0.8 : 1.0);
        strip.draw(view, stripState);
        glFinish();
    }
    const char* labels[] = {"whole show, still", "whole show, zoomed each frame", "30 s, still",
                            "30 s, scrolled each frame"};
    state.SetLabel(labels[state.range(0)]);
}
BENCHMARK(BM_StripAlone)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(5)
    ->UseRealTime();

// A live frame with the overlay hidden (0), shown (1), or shown with the strip zoomed one wheel
// step in or out every frame through the window's event queue (2).
void BM_LiveFrame(benchmark::State& state) {
    LiveShow& show = liveShow();
    show.session->setOverlayShown(state.range(0) != 0);
    const bool repaint = state.range(0) == 2;
    if (repaint && !pointAtTheStrip(show.window)) {
        state.SkipWithError("the window does not get the mouse");
        return;
    }
    for (int warm = 0; warm < 3; ++warm)
        show.session->runFrame();
    int frame = 0;
    for (auto _ : state) {
        if (repaint) {
            SDL_Event wheel = wheelStep(frame++);
            SDL_PushEvent(&wheel);
        }
        show.session->runFrame();
        glFinish();
    }
    const char* labels[] = {"overlay hidden", "overlay shown, strip still",
                            "overlay shown, strip repainted"};
    state.SetLabel(labels[state.range(0)]);
}
BENCHMARK(BM_LiveFrame)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->MinTime(5)->UseRealTime();

// `count` free-name tracks of 32 keys each, every interpolation used.
void addTracks(TrackSet& set, int count) {
    for (int track = 0; track < count; ++track)
        for (uint32_t key = 0; key < 32; ++key)
            set.setKey("track" + std::to_string(track),
                       {key * 6000, float(key % 5), Interpolation(key % 4)});
}

// The hidden-overlay frame again, with 200 tracks evaluated before the entries draw.
void BM_LiveFrameWith200Tracks(benchmark::State& state) {
    LiveShow& show = liveShow();
    show.session->setOverlayShown(false);
    addTracks(show.session->tracks().tracks(), 200);
    for (int warm = 0; warm < 3; ++warm)
        show.session->runFrame();
    for (auto _ : state) {
        show.session->runFrame();
        glFinish();
    }
}
BENCHMARK(BM_LiveFrameWith200Tracks)->Unit(benchmark::kMillisecond)->MinTime(5);

// Evaluating 200 tracks at a moving time, alone.
void BM_Apply200Tracks(benchmark::State& state) {
    EffectList none;
    TrackSet set;
    addTracks(set, 200);
    ShowTracks tracks(std::move(set), none, {});
    uint32_t time = 0;
    for (auto _ : state) {
        tracks.apply(time);
        time = (time + 17) % 200000;
        benchmark::DoNotOptimize(tracks.find("track7"));
    }
}
BENCHMARK(BM_Apply200Tracks)->Unit(benchmark::kMicrosecond);

} // namespace
