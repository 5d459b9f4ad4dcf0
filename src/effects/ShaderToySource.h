#pragma once
// Reading a pass of a ShaderToy entry: the file as written for Shadertoy, with its channel lines
// (`#iChannel0 "file://PATH"`, `"music"`, `"self"`, `#iChannel0::WrapMode "Clamp"`, ...) and its
// `#include "PATH"` lines taken out, and the GLSL the program compiles for it, with a map from
// each of its lines back to the author's file and line. Nothing here touches OpenGL, so any bytes
// may be handed to readShaderToyPass (the fuzz targets do).

#include "render/Shader.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace shadertoy {

inline constexpr int channelCount = 4;

enum class ChannelKind { None, Image, Video, Buffer, Music, Self };
enum class Wrap { Default, Repeat, Clamp };
enum class Filter { Default, Nearest, Linear, Mipmap };

struct Channel {
    ChannelKind kind = ChannelKind::None;
    std::string path; // the file, relative to the show folder (Image, Video, Buffer)
    Wrap wrap = Wrap::Default;
    Filter minFilter = Filter::Default;
    Filter magFilter = Filter::Default;
    int line = 0, column = 0; // where its value was given, in `file`
    std::string file;         // the file that gave it
};

struct Pass {
    std::string file; // the pass's own file, as given
    // The GLSL to compile: the version line, what the website adds, the author's lines (the
    // directive lines left empty, included files in place of their #include lines), and a main
    // that calls mainImage unless the file has its own.
    std::string source;
    SourceLineMap lines; // the source's lines in the author's files
    std::array<Channel, channelCount> channels;
    bool ownMain = false;
    // Directive problems, "PATH:LINE:COLUMN: error: MESSAGE" each; the pass is not to be compiled
    // while there are any.
    std::vector<std::string> problems;
};

// The contents of a file, or nothing when it cannot be read; a ShowError ("PATH is refused: WHY")
// for a file the show may not read.
using FileReader = std::function<std::optional<std::string>(const std::string& path)>;

// The kind of file a `file://` channel names, by its extension: .glsl (and .frag, .fs) a buffer
// pass, the usual video containers a video, anything else an image.
ChannelKind channelKindOfFile(std::string_view path);

// Reads a pass from its file's bytes; included files come through `read`. Never throws for what
// the bytes hold: every problem goes to the pass's problems.
Pass readShaderToyPass(const std::string& file, std::string_view bytes, const FileReader& read);

} // namespace shadertoy
