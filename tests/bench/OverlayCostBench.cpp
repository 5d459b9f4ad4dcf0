// Cost of a live frame of the default show at 1280 x 720, with the author's overlay hidden and
// shown (the timeline strip with the music's waveform and beat lines), and
// with many tracks playing, at a busy moment (Spheres); and the cost of evaluating tracks alone.
// Run from the build directory on a display.
#include "TestFiles.h"
#include "audio/MusicStream.h"
#include "author/AuthorSession.h"
#include "author/Overlay.h"
#include "player/RenderWindow.h"
#include "render/GLState.h"
#include "timeline/ShowTracks.h"
#include "timeline/Timeline.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

constexpr uint32_t busyTime = 150000;

struct LiveShow {
    LiveShow() : window(settings()) {
        setenv("XDG_CONFIG_HOME", config.path().c_str(), 1); // the overlay's layout file

        requireOpenGl2();
        setScreenPerspective();
        glEnable(GL_TEXTURE_2D);
        LoadedShow show{effects, "", 0, {}, nullptr};
        loadTimeline(effects, window, show.musicFile, show.startOffset, &show.keywords);
        show.music = std::make_unique<MusicStream>(show.musicFile, MusicOutput::Manual);
        session = std::make_unique<AuthorSession>(window, std::move(show), false);
        session->transport().seekTo(busyTime);
        // The strip draws the waveform and the beat lines once the music is worked out.
        while (!session->musicAnalysis()->ready())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    static VideoSettings settings() {
        VideoSettings settings;
        settings.width = 1280;
        settings.height = 720;
        settings.windowed = true;
        settings.verticalSync = false;
        return settings;
    }
    TempDir config;
    RenderWindow window;
    EffectList effects;
    std::unique_ptr<AuthorSession> session;
};

LiveShow& liveShow() {
    static LiveShow show;
    return show;
}

// The overlay alone (before the live frames: the overlay a session shows is another ImGui
// context), every panel with the timeline strip (waveform, beat lines, entries, keys),
// built and drawn over the last frame, without the show.
void BM_OverlayAlone(benchmark::State& state) {
    LiveShow& show = liveShow();
    AuthorSession& session = *show.session;
    session.setOverlayShown(false);
    session.runFrame();
    Overlay overlay(show.window);
    FrameTimes frames;
    BeatHistory beats;
    const std::string noError, noStatus;
    const std::optional<ShowTempo> tempo = session.tempo();
    const OverlayView view{session.transport(),
                           show.effects,
                           session.entryEditing().entries(),
                           session.entryEditing().rows(),
                           frames,
                           beats,
                           0,
                           noError,
                           session.tracks().tracks(),
                           session.editing(),
                           noStatus,
                           session.transport().time(),
                           session.entryEditing(),
                           tempo ? &*tempo : nullptr,
                           session.musicAnalysis(),
                           0};
    for (int warm = 0; warm < 3; ++warm)
        overlay.draw(view);
    for (auto _ : state) {
        overlay.draw(view);
        glFinish();
    }
}
BENCHMARK(BM_OverlayAlone)->Unit(benchmark::kMillisecond)->MinTime(5);

void BM_LiveFrame(benchmark::State& state) {
    LiveShow& show = liveShow();
    show.session->setOverlayShown(state.range(0) != 0);
    for (int warm = 0; warm < 3; ++warm)
        show.session->runFrame();
    for (auto _ : state) {
        show.session->runFrame();
        glFinish();
    }
    state.SetLabel(state.range(0) ? "overlay shown" : "overlay hidden");
}
BENCHMARK(BM_LiveFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(5);

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
