#pragma once
// Reading a pass of a ShaderToy entry: the file as written for Shadertoy, with its channel lines
// (`#iChannel0 "file://PATH"`, `"music"`, `"self"`, `#iChannel0::WrapMode "Clamp"`, ...), its
// `#iUniform` and `#iKeyboard` lines and its `#include "PATH"` lines taken out, and the GLSL the
// program compiles for it, with a map from each of its lines back to the author's file and line.
// Nothing here touches OpenGL, so any bytes may be handed to readShaderToyPass (the fuzz targets
// do).

#include "render/Shader.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace shadertoy {

inline constexpr int channelCount = 4;

// The float uniforms a pass is given by the entry itself, which no track feeds.
inline constexpr std::string_view ownFloatUniforms[] = {"iTime",      "iGlobalTime", "iTimeDelta",
                                                        "iFrameRate", "iSampleRate", "beat"};

enum class ChannelKind { None, Image, Video, Buffer, Music, Self, Sound, Keyboard, Cube };
enum class Wrap { Default, Repeat, Clamp, Mirror };
// Mipmap is LinearMipmapLinear.
enum class Filter {
    Default,
    Nearest,
    Linear,
    NearestMipmapNearest,
    LinearMipmapNearest,
    NearestMipmapLinear,
    Mipmap
};

// The names of a cube map's faces, in the order +X, -X, +Y, -Y, +Z, -Z, as the spellings that a
// `{}` in a channel's path may stand for.
inline constexpr std::array<std::array<std::string_view, 6>, 4> cubeFaceSpellings = {{
    {"e", "w", "u", "d", "n", "s"},
    {"px", "nx", "py", "ny", "pz", "nz"},
    {"posx", "negx", "posy", "negy", "posz", "negz"},
    {"right", "left", "top", "bottom", "front", "back"},
}};

struct Channel {
    ChannelKind kind = ChannelKind::None;
    // The file, relative to the show folder (Image, Video, Buffer, Sound); for a cube map its
    // six faces' files, +X to -Z.
    std::string path;
    std::array<std::string, 6> faces;
    bool cubeType = false; // `::Type "CubeMap"`
    Wrap wrap = Wrap::Default;
    Filter minFilter = Filter::Default;
    Filter magFilter = Filter::Default;
    int line = 0, column = 0; // where its value was given, in `file`
    std::string file;         // the file that gave it
};

// The language a pass compiles as: the website's GLSL ES 3.00 where the driver offers it.
enum class Language { Es300, Glsl130 };

enum class UniformType { Float, Int, Vec2, Vec3, Vec4, Color3, Color4 };

// A value the author tunes, declared by `#iUniform TYPE NAME = VALUE in { MIN, MAX } step S`.
struct Uniform {
    UniformType type = UniformType::Float;
    std::string name;
    std::array<float, 4> value = {};
    std::optional<float> min, max, step;
    std::string file; // where it was declared
    int line = 0;
};

// How many numbers a uniform of the type holds.
int componentCount(UniformType type);

struct Pass {
    std::string file; // the pass's own file, as given
    // The GLSL to compile: the version line, what the website adds, the author's lines (the
    // directive lines left empty, included files in place of their #include lines), and a main
    // that calls mainImage unless the file has its own.
    std::string source;
    SourceLineMap lines; // the source's lines in the author's files
    std::array<Channel, channelCount> channels;
    std::vector<Uniform> uniforms;
    bool keyboard = false; // `#iKeyboard`: the keyboard's texture and its functions are declared
    bool ownMain = false;
    bool cubePass = false; // defines mainCubemap (not mainImage): drawn into a cube map's faces
    // Directive problems, "PATH:LINE:COLUMN: error: MESSAGE" each; the pass is not to be compiled
    // while there are any.
    std::vector<std::string> problems;
    // Lines read and left out because they change nothing here, "PATH:LINE:COLUMN: MESSAGE".
    std::vector<std::string> warnings;
};

// The contents of a file, or nothing when it cannot be read; a ShowError ("PATH is refused: WHY")
// for a file the show may not read.
using FileReader = std::function<std::optional<std::string>(const std::string& path)>;

// The kind of file a channel names, by its extension: .glsl (and .frag, .fs) a buffer pass, the
// usual video containers a video, the usual sound files a sound, anything else an image.
ChannelKind channelKindOfFile(std::string_view path);

// Reads a pass from its file's bytes; included files come through `read`. Never throws for what
// the bytes hold: every problem goes to the pass's problems.
Pass readShaderToyPass(const std::string& file, std::string_view bytes, const FileReader& read,
                       Language language = Language::Es300);

} // namespace shadertoy
