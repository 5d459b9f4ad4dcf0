#include "effects/ShaderToySource.h"

#include "effects/ShaderToyPreamble.h"
#include "effects/ShaderToyText.h"
#include "effects/ShaderToyUniform.h"
#include "platform/Error.h"

#include <algorithm>
#include <filesystem>

namespace shadertoy {

namespace {

constexpr int maxIncludeDepth = 32;
// Files of one pass, its own and included ones together: a bound on the work any bytes can ask for.
constexpr size_t maxPassFiles = 256;

// The preprocessor's own directives, which the compiler reads.
constexpr std::string_view glslDirectives[] = {"define", "undef",   "if",       "ifdef", "ifndef",
                                               "else",   "elif",    "endif",    "error", "pragma",
                                               "line",   "version", "extension"};

struct NamedFilter {
    std::string_view name;
    Filter filter;
};

constexpr NamedFilter filterNames[] = {
    {"Nearest", Filter::Nearest},
    {"Linear", Filter::Linear},
    {"Mipmap", Filter::Mipmap},
    {"NearestMipMapNearest", Filter::NearestMipmapNearest},
    {"LinearMipMapNearest", Filter::LinearMipmapNearest},
    {"NearestMipMapLinear", Filter::NearestMipmapLinear},
    {"LinearMipMapLinear", Filter::Mipmap},
};

std::string relativeTo(const std::string& file, std::string_view path) {
    const std::filesystem::path named{std::string(path)};
    if (named.is_absolute())
        return named.lexically_normal().string();
    return (std::filesystem::path(file).parent_path() / named).lexically_normal().string();
}

// Whether the path names something: what it is (a pipe, a folder, a file too large) is the show
// files' guard's to judge when the channel opens it.
bool pathExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

std::optional<Filter> filterNamed(std::string_view name) {
    for (const NamedFilter& known : filterNames)
        if (equalsIgnoringCase(name, known.name))
            return known.filter;
    return std::nullopt;
}

std::optional<Wrap> wrapNamed(std::string_view name) {
    if (equalsIgnoringCase(name, "Repeat"))
        return Wrap::Repeat;
    if (equalsIgnoringCase(name, "Clamp"))
        return Wrap::Clamp;
    if (equalsIgnoringCase(name, "Mirror"))
        return Wrap::Mirror;
    return std::nullopt;
}

// The path with every `{}` replaced by the face's name.
std::string facePath(std::string_view pattern, std::string_view face) {
    std::string path;
    for (size_t at = 0; at < pattern.size();) {
        if (pattern.compare(at, 2, "{}") == 0) {
            path += face;
            at += 2;
        } else {
            path += pattern[at++];
        }
    }
    return path;
}

// Reads one file of a pass (the pass's own or an included one) into the pass.
class PassReader {
public:
    PassReader(Pass& pass, const FileReader& read) : pass_(pass), read_(read) {}

    void readFile(const std::string& file, std::string_view bytes) {
        if (bytes.find('\0') != std::string_view::npos) {
            problem(file, 1, 1, "the file holds a NUL byte; a shader is text");
            return;
        }
        including_.push_back(file);
        const int fileIndex = int(pass_.lines.files.size());
        pass_.lines.files.push_back(file);
        int lineNumber = 0;
        size_t begin = 0;
        while (begin <= bytes.size()) {
            size_t end = bytes.find('\n', begin);
            if (end == std::string_view::npos)
                end = bytes.size();
            const std::string_view line = bytes.substr(begin, end - begin);
            ++lineNumber;
            if (!readDirective(file, lineNumber, line)) {
                body_.text += line;
                body_.text += '\n';
                body_.lines.push_back({fileIndex, lineNumber});
            }
            if (end == bytes.size())
                break;
            begin = end + 1;
        }
        including_.pop_back();
    }

    // Finds the files the channels name, now that every line that sets them was read.
    void finishChannels() {
        for (Channel& channel : pass_.channels)
            if (channel.kind != ChannelKind::None)
                finishChannel(channel);
    }

    PassBody body_;

private:
    Pass& pass_;
    const FileReader& read_;
    std::vector<std::string> including_;

    void problem(const std::string& file, int line, int column, const std::string& message) {
        pass_.problems.push_back(
            formatText("%s:%d:%d: error: %s", file.c_str(), line, column, message.c_str()));
    }
    void problem(const Channel& channel, const std::string& message) {
        problem(channel.file, channel.line, channel.column, message);
    }

    // Keeps the line's place in the source: empty, or the text given.
    void keepLine(const std::string& file, int line, std::string_view text = {}) {
        body_.text += text;
        body_.text += '\n';
        body_.lines.push_back(
            {int(std::find(pass_.lines.files.begin(), pass_.lines.files.end(), file) -
                 pass_.lines.files.begin()),
             line});
    }

    // Handles a directive line of the file; false for a line of GLSL.
    bool readDirective(const std::string& file, int line, std::string_view text) {
        const std::string_view afterSpace = withoutLeadingSpace(text);
        const int column = int(text.size() - afterSpace.size()) + 1;
        if (afterSpace.empty() || afterSpace.front() != '#')
            return false;
        const std::string_view directive = withoutLeadingSpace(afterSpace.substr(1));
        const std::string_view word = leadingName(directive);
        const std::string_view rest = directive.substr(word.size());
        if (startsWith(word, "iChannel")) {
            readChannel(file, line, column, directive.substr(8));
        } else if (word == "include") {
            readInclude(file, line, column, rest);
            return true; // the included lines stand in its place
        } else if (word == "iUniform") {
            readUniform(file, line, column, rest);
            return true; // its declaration stands in its place
        } else if (word == "iKeyboard" && trimmed(rest).empty()) {
            pass_.keyboard = true;
        } else if (word == "version") {
            // Every pass compiles as one version, given first.
        } else if (word == "extension") {
            // Extension lines must come before any code: they go first, the line stays empty.
            body_.extensions.emplace_back(withoutTrailingSpace(afterSpace));
        } else if (word.empty() || std::find(std::begin(glslDirectives), std::end(glslDirectives),
                                             word) != std::end(glslDirectives)) {
            return false;
        } else {
            // The editors' lines that set what they show (#StrictCompatibility,
            // #iFirstPersonControls, ...) change nothing a file can see here.
            pass_.warnings.push_back(
                formatText("%s:%d:%d: '#%s' is not read here; the line is left out", file.c_str(),
                           line, column, std::string(word).c_str()));
        }
        keepLine(file, line);
        return true;
    }

    void readUniform(const std::string& file, int line, int column, std::string_view words) {
        std::variant<Uniform, std::string> read = readUniformDirective(words);
        if (const std::string* fault = std::get_if<std::string>(&read)) {
            problem(file, line, column, *fault);
            keepLine(file, line);
            return;
        }
        Uniform& uniform = std::get<Uniform>(read);
        uniform.file = file;
        uniform.line = line;
        const auto earlier =
            std::find_if(pass_.uniforms.begin(), pass_.uniforms.end(),
                         [&](const Uniform& other) { return other.name == uniform.name; });
        if (earlier != pass_.uniforms.end()) {
            problem(file, line, column,
                    formatText("the uniform '%s' was declared before, at %s:%d",
                               uniform.name.c_str(), earlier->file.c_str(), earlier->line));
            keepLine(file, line);
            return;
        }
        keepLine(file, line,
                 "uniform " + std::string(glslTypeOf(uniform.type)) + " " + uniform.name + ";");
        pass_.uniforms.push_back(std::move(uniform));
    }

    void readChannel(const std::string& file, int line, int column, std::string_view rest) {
        if (rest.empty() || rest[0] < '0' || rest[0] > '9') {
            problem(file, line, column, "a channel number from 0 to 3 must follow '#iChannel'");
            return;
        }
        size_t digits = 0;
        while (digits < rest.size() && std::isdigit(static_cast<unsigned char>(rest[digits])))
            ++digits;
        const std::string number(rest.substr(0, digits));
        if (digits > 1 || number[0] > '3') {
            problem(file, line, column,
                    "channel " + number + " is out of range: channels are 0 to 3");
            return;
        }
        Channel& channel = pass_.channels[size_t(number[0] - '0')];
        rest = rest.substr(digits);
        std::string_view setting;
        if (startsWith(rest, "::")) {
            const size_t end = rest.find_first_of(" \t\"", 2);
            setting = rest.substr(2, end == std::string_view::npos ? rest.npos : end - 2);
            rest = rest.substr(2 + setting.size());
        }
        const std::optional<std::string_view> value = quoted(rest);
        if (!value) {
            problem(file, line, column,
                    "the value must follow in double quotes, as in "
                    "#iChannel0 \"file://picture.png\"");
            return;
        }
        if (setting.empty())
            readChannelValue(channel, file, line, column, *value);
        else
            readChannelSetting(channel, file, line, column, setting, *value);
    }

    void readChannelValue(Channel& channel, const std::string& file, int line, int column,
                          std::string_view value) {
        channel.file = file;
        channel.line = line;
        channel.column = column;
        channel.path.clear();
        channel.kind = ChannelKind::None;
        if (value == "music") {
            channel.kind = ChannelKind::Music;
        } else if (value == "self" || value == "file://self") {
            channel.kind = ChannelKind::Self;
        } else if (value == "keyboard") {
            channel.kind = ChannelKind::Keyboard;
        } else if (startsWith(value, "https://") || startsWith(value, "http://")) {
            problem(channel, "the channel names a web address; shows read local files only: "
                             "save the file beside the shader and name its path");
        } else {
            const std::string_view path = startsWith(value, "file://") ? value.substr(7) : value;
            if (path.empty()) {
                problem(channel, "unknown channel value \"" + std::string(value) +
                                     "\": \"file://PATH\", a path, \"music\", \"self\" or "
                                     "\"keyboard\"");
                return;
            }
            channel.path = relativeTo(file, path);
            channel.kind = channelKindOfFile(channel.path);
        }
    }

    void readChannelSetting(Channel& channel, const std::string& file, int line, int column,
                            std::string_view setting, std::string_view value) {
        if (setting == "WrapMode") {
            if (const auto wrap = wrapNamed(value))
                channel.wrap = *wrap;
            else
                problem(file, line, column,
                        "unknown wrap mode \"" + std::string(value) +
                            "\": \"Repeat\", \"Clamp\" or \"Mirror\"");
        } else if (setting == "MinFilter" || setting == "MagFilter") {
            const auto filter = filterNamed(value);
            if (!filter)
                problem(file, line, column,
                        "unknown filter \"" + std::string(value) +
                            "\": \"Nearest\", \"Linear\", \"Mipmap\" or a GL filter's name "
                            "(\"NearestMipMapNearest\" ... \"LinearMipMapLinear\")");
            else if (setting == "MinFilter")
                channel.minFilter = *filter;
            else if (*filter != Filter::Nearest && *filter != Filter::Linear)
                problem(file, line, column, "a magnifying filter is \"Nearest\" or \"Linear\"");
            else
                channel.magFilter = *filter;
        } else if (setting == "Type") {
            if (equalsIgnoringCase(value, "CubeMap") || equalsIgnoringCase(value, "Texture"))
                channel.cubeType = equalsIgnoringCase(value, "CubeMap");
            else
                problem(file, line, column,
                        "unknown channel type \"" + std::string(value) +
                            "\": \"CubeMap\" or \"Texture\"");
        } else {
            problem(file, line, column,
                    "unknown channel setting '" + std::string(setting) +
                        "': WrapMode, MinFilter, MagFilter or Type");
        }
    }

    void finishChannel(Channel& channel) {
        const bool facePattern = channel.path.find("{}") != std::string::npos;
        if (channel.cubeType && channel.kind != ChannelKind::Image &&
            channel.kind != ChannelKind::Buffer) {
            problem(channel, "only images and buffer passes are cube maps");
            channel.kind = ChannelKind::None;
        } else if (channel.kind == ChannelKind::Image && (facePattern || channel.cubeType)) {
            findFaces(channel, facePattern);
        } else if (!channel.path.empty() && !pathExists(channel.path)) {
            problem(channel, "the channel's file " + channel.path + " is missing");
            channel.kind = ChannelKind::None;
        }
    }

    // A cube map's six images: `{}` in the path stands for each face's name, in the first of the
    // usual spellings whose six files are all there.
    void findFaces(Channel& channel, bool facePattern) {
        channel.kind = ChannelKind::None;
        if (!facePattern) {
            problem(channel, "a cube map's path holds {} where its faces' names go "
                             "(e w u d n s, px nx py ny pz nz, ...)");
            return;
        }
        for (const auto& spelling : cubeFaceSpellings) {
            for (size_t face = 0; face < spelling.size(); ++face)
                channel.faces[face] = facePath(channel.path, spelling[face]);
            if (std::all_of(channel.faces.begin(), channel.faces.end(), pathExists)) {
                channel.kind = ChannelKind::Cube;
                return;
            }
        }
        problem(channel, "the six faces of " + channel.path +
                             " are missing: {} is e w u d n s, px nx py ny pz nz, posx negx ... "
                             "or right left top bottom front back");
    }

    void readInclude(const std::string& file, int line, int column, std::string_view rest) {
        const std::optional<std::string_view> name = quoted(rest);
        if (!name || name->empty()) {
            problem(file, line, column, "#include needs a path in double quotes");
            keepLine(file, line);
            return;
        }
        const std::string included = relativeTo(file, *name);
        if (std::find(including_.begin(), including_.end(), included) != including_.end()) {
            std::string cycle;
            for (const std::string& step : including_)
                cycle += step + " -> ";
            problem(file, line, column, "include cycle: " + cycle + included);
            keepLine(file, line);
            return;
        }
        if (int(including_.size()) >= maxIncludeDepth) {
            problem(file, line, column, "includes nest deeper than 32 files");
            keepLine(file, line);
            return;
        }
        if (pass_.lines.files.size() >= maxPassFiles) {
            problem(file, line, column, "a pass may include at most 255 files");
            keepLine(file, line);
            return;
        }
        std::optional<std::string> contents;
        std::string unread = included + " is missing";
        try {
            contents = read_(included);
        } catch (const ShowError& refused) {
            unread = refused.what(); // "PATH is refused: WHY"
        }
        if (!contents) {
            problem(file, line, column, "the included file " + unread);
            keepLine(file, line);
            return;
        }
        readFile(included, *contents);
    }
};

bool hasExtension(std::string_view extension, std::initializer_list<std::string_view> known) {
    return std::any_of(known.begin(), known.end(), [&](std::string_view candidate) {
        return equalsIgnoringCase(extension, candidate);
    });
}

} // namespace

ChannelKind channelKindOfFile(std::string_view path) {
    const std::string extension = std::filesystem::path(std::string(path)).extension().string();
    if (hasExtension(extension, {".glsl", ".frag", ".fs"}))
        return ChannelKind::Buffer;
    if (hasExtension(extension, {".avi", ".mp4", ".mkv", ".webm", ".mov", ".ogv", ".mpg", ".m4v"}))
        return ChannelKind::Video;
    if (hasExtension(extension, {".mp3", ".ogg", ".oga", ".wav", ".flac", ".opus", ".m4a", ".aac"}))
        return ChannelKind::Sound;
    return ChannelKind::Image;
}

Pass readShaderToyPass(const std::string& file, std::string_view bytes, const FileReader& read,
                       Language language) {
    Pass pass;
    pass.file = file;
    PassReader reader(pass, read);
    reader.readFile(file, bytes);
    reader.finishChannels();
    assembleSource(pass, reader.body_, language);
    return pass;
}

} // namespace shadertoy
