// Cost of a live frame of the default show at 1024 x 768, with the author's overlay hidden and
// shown, at a busy moment (Spheres). Run from the build directory on a display.
#include "audio/MusicStream.h"
#include "author/AuthorSession.h"
#include "player/RenderWindow.h"
#include "render/GLState.h"
#include "timeline/Timeline.h"

#include <benchmark/benchmark.h>

namespace {

constexpr uint32_t busyTime = 150000;

struct LiveShow {
    LiveShow() : window(settings()) {
        requireOpenGl2();
        setScreenPerspective();
        glEnable(GL_TEXTURE_2D);
        LoadedShow show{effects, "", 0, {}, nullptr};
        loadTimeline(effects, window, show.musicFile, show.startOffset, &show.keywords);
        show.music = std::make_unique<MusicStream>(show.musicFile, MusicOutput::Manual);
        session = std::make_unique<AuthorSession>(window, std::move(show), false);
        session->transport().seekTo(busyTime);
    }
    static VideoSettings settings() {
        VideoSettings settings;
        settings.width = 1024;
        settings.height = 768;
        settings.windowed = true;
        settings.verticalSync = false;
        return settings;
    }
    RenderWindow window;
    EffectList effects;
    std::unique_ptr<AuthorSession> session;
};

LiveShow& liveShow() {
    static LiveShow show;
    return show;
}

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

} // namespace
