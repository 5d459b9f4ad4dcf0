// Shaders in the Shadertoy convention, written for this test, each checking one thing real ones
// rely on and drawing green when it holds (red when not): both texture calls, the old and new
// uniform names, loops, arrays, structs, functions, macros, buffers, channel settings.
#include "GlFixture.h"

#include "effects/ShaderToy.h"
#include "platform/Error.h"
#include "render/GLState.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

struct ToyCase {
    const char* what;
    // The files, the image pass first; paths relative to the test's folder.
    std::vector<std::pair<std::string, std::string>> files;
};

// The check as the last lines of an image pass: green when `ok` holds.
std::string imagePass(const std::string& channels, const std::string& before,
                      const std::string& check) {
    return channels + before +
           "void mainImage(out vec4 fragColor, in vec2 fragCoord) {\n"
           "    vec2 uv = fragCoord / iResolution.xy;\n"
           "    bool ok = " +
           check +
           ";\n"
           "    fragColor = ok ? vec4(0.0, 1.0, 0.0, 1.0) : vec4(1.0, 0.0, 0.0, 1.0);\n"
           "}\n";
}

const std::string picture = "#iChannel0 \"file://quadrants.png\"\n";
// Red top left, green top right, blue bottom left, white bottom right (as seen).
const std::string nearColour = "bool near(vec4 a, vec3 b) { return all(lessThan(abs(a.rgb - b), "
                               "vec3(0.02))); }\n";

const ToyCase cases[] = {
    {"texture2D reads an image upright",
     {{"toy.glsl", imagePass(picture, nearColour,
                             "near(texture2D(iChannel0, vec2(0.25, 0.75)), vec3(1.0, 0.0, 0.0)) && "
                             "near(texture2D(iChannel0, vec2(0.75, 0.25)), vec3(1.0))")}}},
    {"texture() and iChannelResolution",
     {{"toy.glsl",
       imagePass(
           picture, nearColour,
           "near(texture(iChannel0, vec2(0.75, 0.75)), vec3(0.0, 1.0, 0.0)) && "
           "iChannelResolution[0] == vec3(64.0, 64.0, 1.0) && iChannelResolution[1].z == 0.0")}}},
    {"iGlobalTime is iTime, three frames of 100 ms in",
     {{"toy.glsl", imagePass("", "",
                             "iGlobalTime == iTime && abs(iTime - 0.3) < 0.0001 && iFrame == 2 && "
                             "abs(iTimeDelta - 0.1) < 0.0001 && abs(iFrameRate - 10.0) < 0.01")}}},
    {"iChannelTime is the entry's time for an image",
     {{"toy.glsl",
       imagePass(picture, "", "iChannelTime[0] == iTime && iChannelTime[3] == iTime")}}},
    {"integer loops with break and continue",
     {{"toy.glsl", imagePass("",
                             "int sumTo(int n) {\n"
                             "    int sum = 0;\n"
                             "    for (int i = 0; i < 100; i++) {\n"
                             "        if (i > n) break;\n"
                             "        if (i % 2 == 1) continue;\n"
                             "        sum += i;\n"
                             "    }\n"
                             "    return sum;\n"
                             "}\n",
                             "sumTo(10) == 30")}}},
    {"const arrays indexed in a loop",
     {{"toy.glsl",
       imagePass("",
                 "const float weights[5] = float[5](0.1, 0.2, 0.4, 0.2, 0.1);\n"
                 "const vec3 palette[2] = vec3[](vec3(1.0, 0.0, 0.0), vec3(0.0, 0.0, 1.0));\n",
                 "abs((weights[0] + weights[1] + weights[2] + weights[3] + weights[4]) - 1.0) < "
                 "0.0001 && palette[1].b == 1.0 && weights.length() == 5")}}},
    {"structs made, passed and returned",
     {{"toy.glsl", imagePass("",
                             "struct Ray { vec3 origin; vec3 direction; };\n"
                             "struct Hit { float distance; int id; };\n"
                             "Hit trace(Ray ray) {\n"
                             "    float t = -ray.origin.z / ray.direction.z;\n"
                             "    return Hit(t, t > 0.0 ? 1 : 0);\n"
                             "}\n",
                             "trace(Ray(vec3(0.0, 0.0, -2.0), vec3(0.0, 0.0, 1.0))).id == 1 && "
                             "trace(Ray(vec3(0.0, 0.0, -2.0), vec3(0.0, 0.0, 0.5))).distance "
                             "== 4.0")}}},
    {"functions with out and inout parameters and overloads",
     {{"toy.glsl", imagePass("",
                             "void split(float v, out float whole, inout float rest) {\n"
                             "    whole = floor(v);\n"
                             "    rest += v - whole;\n"
                             "}\n"
                             "float twice(float v) { return 2.0 * v; }\n"
                             "vec2 twice(vec2 v) { return 2.0 * v; }\n"
                             "bool functionsWork() {\n"
                             "    float whole, rest = 0.25;\n"
                             "    split(2.5, whole, rest);\n"
                             "    return whole == 2.0 && rest == 0.75 && twice(1.5) == 3.0 &&\n"
                             "           twice(vec2(1.0)) == vec2(2.0);\n"
                             "}\n",
                             "functionsWork()")}}},
    {"macros with arguments and conditionals",
     {{"toy.glsl",
       imagePass("",
                 "#define PI 3.14159265\n"
                 "#define SQUARE(x) ((x) * (x))\n"
                 "#define STEPS 4\n"
                 "#if STEPS > 2\n"
                 "#define MANY 1\n"
                 "#endif\n"
                 "#ifndef MANY\n"
                 "#error no\n"
                 "#endif\n",
                 "abs(SQUARE(2.0) - 4.0) < 0.001 && abs(sin(PI)) < 0.001 && STEPS == 4")}}},
    {"matrices turn and multiply",
     {{"toy.glsl",
       imagePass("",
                 "mat2 turn(float a) { float c = cos(a), s = sin(a); return mat2(c, s, -s, c); }\n",
                 "length(turn(1.5707963) * vec2(1.0, 0.0) - vec2(0.0, 1.0)) < 0.001 && "
                 "mat3(2.0) * vec3(1.0, 2.0, 3.0) == vec3(2.0, 4.0, 6.0)")}}},
    {"a ray-marched sphere is hit in the middle and missed in the corner",
     {{"toy.glsl",
       imagePass("",
                 "float scene(vec3 p) { return length(p) - 1.0; }\n"
                 "float march(vec2 uv) {\n"
                 "    vec3 origin = vec3(0.0, 0.0, -3.0);\n"
                 "    vec3 direction = normalize(vec3(uv * 2.0 - 1.0, 1.5));\n"
                 "    float t = 0.0;\n"
                 "    for (int i = 0; i < 64; i++) {\n"
                 "        float d = scene(origin + direction * t);\n"
                 "        if (d < 0.001) return t;\n"
                 "        t += d;\n"
                 "        if (t > 10.0) break;\n"
                 "    }\n"
                 "    return -1.0;\n"
                 "}\n",
                 "march(vec2(0.5)) > 1.9 && march(vec2(0.5)) < 2.1 && march(vec2(0.0)) < 0.0")}}},
    {"a buffer pass drawn before the image",
     {{"toy.glsl", imagePass("#iChannel1 \"file://buffer.glsl\"\n", "",
                             "texture(iChannel1, uv) == vec4(0.25, 0.5, 2.0, -1.0)")},
      {"buffer.glsl",
       "void mainImage(out vec4 c, in vec2 p) { c = vec4(0.25, 0.5, 2.0, -1.0); }\n"}}},
    {"a buffer reading itself counts the frames in float",
     {{"toy.glsl", imagePass("#iChannel0 \"file://count.glsl\"\n", "",
                             "texelFetch(iChannel0, ivec2(fragCoord), 0).r == 3.5")},
      {"count.glsl", "#iChannel0 \"self\"\n"
                     "void mainImage(out vec4 c, in vec2 p) {\n"
                     "    c = texelFetch(iChannel0, ivec2(p), 0) + (iFrame == 0 ? 1.5 : 1.0);\n"
                     "}\n"}}},
    {"a file made for another player declares the website's uniforms itself",
     {{"toy.glsl", "uniform vec3 iResolution;\nuniform float iTime;\n"
                   "uniform  float  iChannelTime[4];\n" +
                       imagePass("", "", "iResolution.x == 64.0 && abs(iTime - 0.3) < 0.0001")}}},
    {"a file with its own main runs as it is",
     {{"toy.glsl", "void main() {\n"
                   "    bool ok = iResolution.xy == vec2(64.0) && gl_FragCoord.x < 64.0;\n"
                   "    gl_FragColor = ok ? vec4(0.0, 1.0, 0.0, 1.0) : vec4(1.0, 0.0, 0.0, 1.0);\n"
                   "}\n"}}},
    {"Clamp and Nearest, Repeat by default",
     {{"toy.glsl",
       imagePass(picture + "#iChannel1 \"file://quadrants.png\"\n"
                           "#iChannel1::WrapMode \"Clamp\"\n#iChannel1::MagFilter \"Nearest\"\n"
                           "#iChannel1::MinFilter \"Nearest\"\n",
                 nearColour,
                 "near(texture(iChannel1, vec2(1.5, 0.9)), vec3(0.0, 1.0, 0.0)) && "
                 "near(texture(iChannel0, vec2(1.25, 0.75)), vec3(1.0, 0.0, 0.0)) && "
                 "near(texture(iChannel1, vec2(0.4969, 0.25)), vec3(0.0, 0.0, 1.0))")}}},
    {"code shared through #include by a buffer and the image",
     {{"toy.glsl",
       imagePass("#iChannel0 \"file://shared/buffer.glsl\"\n#include \"shared/common.glsl\"\n", "",
                 "abs(texture(iChannel0, uv).r - shade(uv.x)) < 0.001")},
      {"shared/common.glsl", "float shade(float x) { return floor(x * 4.0) / 4.0; }\n"},
      {"shared/buffer.glsl", "#include \"common.glsl\"\n"
                             "void mainImage(out vec4 c, in vec2 p) {\n"
                             "    c = vec4(shade(p.x / iResolution.x));\n"
                             "}\n"}}},
    {"the website's language: bit casts, half floats, inverse, determinant, textureSize, bits",
     {{"toy.glsl",
       imagePass(picture, "",
                 "floatBitsToUint(1.0) == 0x3f800000u && uintBitsToFloat(0x40000000u) == 2.0 && "
                 "packHalf2x16(vec2(1.0, -2.0)) == 0xc0003c00u && "
                 "unpackHalf2x16(0x3c00u).x == 1.0 && "
                 "inverse(mat2(2.0, 0.0, 0.0, 4.0)) == mat2(0.5, 0.0, 0.0, 0.25) && "
                 "determinant(mat3(2.0)) == 8.0 && textureSize(iChannel0, 0) == ivec2(64) && "
                 "(0xf0 & 0x3c) == 0x30 && (1 << 4) == 16 && (~0u >> 28) == 15u && "
                 "trunc(-1.5) == -1.0")}}},
    {"WebGL habits: precision, GL_ES guards, texelFetch, textureLod, unsigned hashes",
     {{"toy.glsl",
       imagePass(picture,
                 "#ifdef GL_ES\nprecision mediump float;\n#endif\n"
                 "precision highp float;\n"
                 "uint hash(uint x) { x ^= x >> 16; x *= 0x7feb352dU; x ^= x >> 15; "
                 "return x; }\n" +
                     nearColour,
                 "near(texelFetch(iChannel0, ivec2(5, 60), 0), vec3(1.0, 0.0, 0.0)) && "
                 "near(textureLod(iChannel0, vec2(0.75, 0.25), 0.0), vec3(1.0)) && "
                 "hash(1u) != hash(2u) && iSampleRate == 44100.0 && iDate.x > 2000.0 && "
                 "iMouse == vec4(0.0)")}}},
};

class ShaderToyShaders : public GlFixture {};

TEST_F(ShaderToyShaders, EveryShaderOfTheSetCompilesAndDrawsWhatItChecks) {
    writeImage(temp.file("quadrants.png"), 64, 64, [](int x, int y) {
        const bool right = x >= 32, bottom = y >= 32;
        return bottom ? (right ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 255, 255})
                      : (right ? Rgba{0, 255, 0, 255} : Rgba{255, 0, 0, 255});
    });
    ScopedWorkingDirectory inFolder(temp.path());
    for (const ToyCase& toy : cases) {
        SCOPED_TRACE(toy.what);
        for (const auto& [path, text] : toy.files)
            writeTextFile(temp.file(path), text);
        std::unique_ptr<Effekter::ShaderToy> effect;
        try {
            effect = std::make_unique<Effekter::ShaderToy>(context(), 0, 10000, toy.files[0].first);
        } catch (const ShowError& error) {
            ADD_FAILURE() << error.what();
            continue;
        }
        // The frame at 200 ms is drawn twice, as a paused live run draws it: the second is the
        // same frame, so the buffers, iFrame and iTimeDelta do not move on.
        for (uint32_t time : {100u, 200u, 200u, 300u}) {
            clearFrame();
            effect->draw(time, 0.5f);
        }
        readFrame();
        EXPECT_EQ(pixel(32, 32), (Rgba{0, 255, 0, 255}));
        EXPECT_EQ(pixel(3, 60), (Rgba{0, 255, 0, 255}));
        expectNoGlError(toy.what);
        expectCleanState(toy.what);
        expectScreenPerspective(toy.what);
    }
}

} // namespace
