// What a ShaderToy entry adds to its shader: the entry's frame (the website's uniforms set, its
// channels bound, state guarded) against the same compiled source drawn by a bare full-screen
// quad with only iResolution and iTime set, at 640 x 480. Run from the build directory on a
// display; compare the two times (the entry should stay within 5 % of the bare draw).
#include "TestFiles.h"
#include "WindowTestSupport.h"
#include "effects/ShaderToy.h"
#include "effects/ShaderToySource.h"
#include "player/RenderWindow.h"
#include "render/GLState.h"
#include "render/Screen.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

// A ray-marched scene of the usual kind: a few shapes, soft shading, a fog.
const char* const scene = "float shape(vec3 p) {\n"
                          "    vec3 q = mod(p + 2.0, 4.0) - 2.0;\n"
                          "    float ball = length(q) - 0.8 - 0.1 * sin(iTime + p.x);\n"
                          "    float box = length(max(abs(q) - vec3(0.6), 0.0)) - 0.05;\n"
                          "    return min(ball, max(box, -ball + 0.3));\n"
                          "}\n"
                          "void mainImage(out vec4 fragColor, in vec2 fragCoord) {\n"
                          "    vec2 uv = (2.0 * fragCoord - iResolution.xy) / iResolution.y;\n"
                          "    vec3 origin = vec3(0.0, 0.0, iTime);\n"
                          "    vec3 direction = normalize(vec3(uv, 1.5));\n"
                          "    float t = 0.0;\n"
                          "    int steps = 0;\n"
                          "    for (int i = 0; i < 80; i++) {\n"
                          "        float d = shape(origin + direction * t);\n"
                          "        if (d < 0.001 || t > 40.0) break;\n"
                          "        t += d;\n"
                          "        steps = i;\n"
                          "    }\n"
                          "    vec3 colour = vec3(1.0 - float(steps) / 80.0) * exp(-0.05 * t);\n"
                          "    fragColor = vec4(colour, 1.0);\n"
                          "}\n";

struct BenchWindow {
    BenchWindow() : window(smallWindow(640, 480)) {
        requireOpenGl2();
        setScreenPerspective();
        glEnable(GL_TEXTURE_2D);
        writeTextFile(folder.file("scene.glsl"), scene);
    }
    TempDir folder;
    RenderWindow window;
    FrameInputs frame;
    ShowFiles files{FileReach::Anywhere};
    FamilyStates shared;
    EffectContext context{frame, files, shared};
};

BenchWindow& benchWindow() {
    static BenchWindow window;
    return window;
}

// The same compiled source as the entry's image pass, drawn with only iResolution and iTime set,
// in the state the entry draws in.
class BareDraw {
public:
    BareDraw() {
        const shadertoy::Pass pass = shadertoy::readShaderToyPass(
            "scene.glsl", scene, [](const std::string&) { return std::optional<std::string>(); });
        program.buildMapped(pass.source, pass.lines);
        resolution = glGetUniformLocation(program.program, "iResolution");
        time = glGetUniformLocation(program.program, "iTime");
    }
    void draw(uint32_t milliseconds) const {
        for (GLenum capability : {GL_BLEND, GL_DEPTH_TEST, GL_ALPHA_TEST, GL_CULL_FACE})
            glDisable(capability);
        glUseProgram(program.program);
        glUniform3f(resolution, float(currentScreen().width), float(currentScreen().height), 1);
        glUniform1f(time, float(milliseconds) / 1000);
        {
            OrthoView ortho;
            MatrixPush layer;
            glTranslatef(0, 0, -1);
            Quad(1, 1).draw(1, 1);
        }
        glUseProgram(0);
    }

private:
    FragmentProgram program;
    GLint resolution = -1, time = -1;
};

void BM_BareFullScreenDraw(benchmark::State& state) {
    benchWindow();
    const BareDraw bare;
    uint32_t milliseconds = 0;
    for (auto _ : state) {
        bare.draw(milliseconds += 16);
        glFinish();
    }
}
BENCHMARK(BM_BareFullScreenDraw)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();

void BM_ShaderToyEntry(benchmark::State& state) {
    BenchWindow& bench = benchWindow();
    Effekter::ShaderToy entry(bench.context, 0, -1, bench.folder.file("scene.glsl"));
    uint32_t milliseconds = 0;
    for (auto _ : state) {
        entry.draw(milliseconds += 16, 0.5f);
        glFinish();
    }
}
BENCHMARK(BM_ShaderToyEntry)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();

// Both in turn, frame by frame at the same times, so that a machine's changing load falls on both
// alike: the counters are the mean milliseconds of each and the entry's time over the bare one's.
void BM_EntryOverBareInTurn(benchmark::State& state) {
    BenchWindow& bench = benchWindow();
    const BareDraw bare;
    Effekter::ShaderToy entry(bench.context, 0, -1, bench.folder.file("scene.glsl"));
    using Clock = std::chrono::steady_clock;
    double bareSeconds = 0, entrySeconds = 0;
    uint32_t milliseconds = 0;
    for (auto _ : state) {
        milliseconds += 16;
        const auto begun = Clock::now();
        bare.draw(milliseconds);
        glFinish();
        const auto between = Clock::now();
        entry.draw(milliseconds, 0.5f);
        glFinish();
        bareSeconds += std::chrono::duration<double>(between - begun).count();
        entrySeconds += std::chrono::duration<double>(Clock::now() - between).count();
    }
    const double frames = double(state.iterations());
    state.counters["bare_ms"] = 1000 * bareSeconds / frames;
    state.counters["entry_ms"] = 1000 * entrySeconds / frames;
    state.counters["entry_over_bare"] = entrySeconds / bareSeconds;
}
BENCHMARK(BM_EntryOverBareInTurn)->Unit(benchmark::kMillisecond)->MinTime(4)->UseRealTime();

} // namespace
