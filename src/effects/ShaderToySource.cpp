#include "effects/ShaderToySource.h"

#include "platform/Error.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace shadertoy {

namespace {

// What the website declares before the author's code. Each line is a line of the source that maps
// to no line of the author's files.
constexpr std::string_view preamble[] = {
    "uniform vec3 iResolution;",      "uniform float iTime;",
    "uniform float iGlobalTime;",     "uniform float iTimeDelta;",
    "uniform float iFrameRate;",      "uniform int iFrame;",
    "uniform float iChannelTime[4];", "uniform vec3 iChannelResolution[4];",
    "uniform vec4 iMouse;",           "uniform vec4 iDate;",
    "uniform float iSampleRate;",     "uniform sampler2D iChannel0;",
    "uniform sampler2D iChannel1;",   "uniform sampler2D iChannel2;",
    "uniform sampler2D iChannel3;",
};

// The version every pass compiles as: texture() and texture2D() both, integer loops, constant
// arrays, and gl_FragColor, on the OpenGL 2.x contexts the show runs on.
constexpr std::string_view versionLine = "#version 130";

constexpr std::string_view mainCallingMainImage[] = {
    "void main() {",
    "    vec4 shadertoyColour = vec4(0.0, 0.0, 0.0, 1.0);",
    "    mainImage(shadertoyColour, gl_FragCoord.xy);",
    "    gl_FragColor = shadertoyColour;",
    "}",
};

constexpr int maxIncludeDepth = 32;
// Files of one pass, its own and included ones together: a bound on the work any bytes can ask for.
constexpr size_t maxPassFiles = 256;

bool isNameCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view withoutLeadingSpace(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view withoutTrailingSpace(std::string_view text) {
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The text between the first pair of double quotes in `text`, which must be all that follows;
// nothing when there is no such pair.
std::optional<std::string_view> quoted(std::string_view text) {
    text = withoutTrailingSpace(withoutLeadingSpace(text));
    if (text.size() < 2 || text.front() != '"' || text.back() != '"')
        return std::nullopt;
    text = text.substr(1, text.size() - 2);
    if (text.find('"') != std::string_view::npos)
        return std::nullopt;
    return text;
}

std::string relativeTo(const std::string& file, std::string_view path) {
    const std::filesystem::path named{std::string(path)};
    if (named.is_absolute())
        return named.lexically_normal().string();
    return (std::filesystem::path(file).parent_path() / named).lexically_normal().string();
}

std::optional<Filter> filterNamed(std::string_view name) {
    if (equalsIgnoringCase(name, "Nearest"))
        return Filter::Nearest;
    if (equalsIgnoringCase(name, "Linear"))
        return Filter::Linear;
    if (equalsIgnoringCase(name, "Mipmap"))
        return Filter::Mipmap;
    return std::nullopt;
}

std::optional<Wrap> wrapNamed(std::string_view name) {
    if (equalsIgnoringCase(name, "Repeat"))
        return Wrap::Repeat;
    if (equalsIgnoringCase(name, "Clamp"))
        return Wrap::Clamp;
    return std::nullopt;
}

// Whether the text, comments left out, defines a function `main`.
bool definesMain(std::string_view text) {
    std::string code;
    code.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        if (startsWith(text.substr(at), "//")) {
            at = text.find('\n', at);
            if (at == std::string_view::npos)
                break;
        } else if (startsWith(text.substr(at), "/*")) {
            const size_t end = text.find("*/", at + 2);
            at = end == std::string_view::npos ? text.size() : end + 2;
            code += ' ';
        } else {
            code += text[at++];
        }
    }
    for (size_t at = code.find("main"); at != std::string::npos; at = code.find("main", at + 1)) {
        if ((at > 0 && isNameCharacter(code[at - 1])) ||
            (at + 4 < code.size() && isNameCharacter(code[at + 4])))
            continue;
        size_t next = at + 4;
        while (next < code.size() && std::isspace(static_cast<unsigned char>(code[next])))
            ++next;
        if (next >= code.size() || code[next] != '(')
            continue;
        size_t before = at;
        while (before > 0 && std::isspace(static_cast<unsigned char>(code[before - 1])))
            --before;
        if (before >= 4 && code.compare(before - 4, 4, "void") == 0 &&
            (before == 4 || !isNameCharacter(code[before - 5])))
            return true;
    }
    return false;
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
                body_ += line;
                body_ += '\n';
                pass_.lines.lines.push_back({fileIndex, lineNumber});
            }
            if (end == bytes.size())
                break;
            begin = end + 1;
        }
        including_.pop_back();
    }

    std::string body_;
    std::vector<std::string> extensions_;

private:
    Pass& pass_;
    const FileReader& read_;
    std::vector<std::string> including_;

    void problem(const std::string& file, int line, int column, const std::string& message) {
        pass_.problems.push_back(
            formatText("%s:%d:%d: error: %s", file.c_str(), line, column, message.c_str()));
    }

    // Keeps the line's place in the source as an empty line.
    void blank(const std::string& file, int line) {
        body_ += '\n';
        pass_.lines.lines.push_back(
            {int(std::find(pass_.lines.files.begin(), pass_.lines.files.end(), file) -
                 pass_.lines.files.begin()),
             line});
    }

    // Handles a directive line of the file; false for a line of GLSL.
    bool readDirective(const std::string& file, int line, std::string_view text) {
        const std::string_view trimmed = withoutLeadingSpace(text);
        const int column = int(text.size() - trimmed.size()) + 1;
        if (trimmed.empty() || trimmed.front() != '#')
            return false;
        std::string_view directive = withoutLeadingSpace(trimmed.substr(1));
        if (startsWith(directive, "iChannel")) {
            readChannel(file, line, column, directive.substr(8));
        } else if (startsWith(directive, "include") &&
                   (directive.size() == 7 || !isNameCharacter(directive[7]))) {
            readInclude(file, line, column, directive.substr(7));
            return true; // the included lines stand in its place
        } else if (startsWith(directive, "version")) {
            // Every pass compiles as one version, given first.
        } else if (startsWith(directive, "extension")) {
            // Extension lines must come before any code: they go first, the line stays empty.
            extensions_.emplace_back(withoutTrailingSpace(trimmed));
        } else if (directive.size() > 1 && directive[0] == 'i' &&
                   std::isupper(static_cast<unsigned char>(directive[1]))) {
            problem(file, line, column,
                    "unsupported directive '#" +
                        std::string(directive.substr(0, directive.find_first_of(" \t\""))) +
                        "' (only #iChannel0 to #iChannel3 and #include are read)");
        } else {
            return false;
        }
        blank(file, line);
        return true;
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
        if (value == "music") {
            channel.kind = ChannelKind::Music;
        } else if (value == "self") {
            channel.kind = ChannelKind::Self;
        } else if (startsWith(value, "file://") && value.size() > 7) {
            channel.path = relativeTo(file, value.substr(7));
            channel.kind = channelKindOfFile(channel.path);
            std::error_code ignored;
            if (!std::filesystem::exists(channel.path, ignored)) {
                problem(file, line, column, "the channel's file " + channel.path + " is missing");
                channel.kind = ChannelKind::None;
            }
        } else {
            problem(file, line, column,
                    "unknown channel value \"" + std::string(value) +
                        "\": \"file://PATH\", \"music\" or \"self\"");
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
                            "\": \"Repeat\" or \"Clamp\"");
        } else if (setting == "MinFilter" || setting == "MagFilter") {
            const auto filter = filterNamed(value);
            if (!filter)
                problem(file, line, column,
                        "unknown filter \"" + std::string(value) +
                            "\": \"Nearest\", \"Linear\" or \"Mipmap\"");
            else if (setting == "MinFilter")
                channel.minFilter = *filter;
            else if (*filter == Filter::Mipmap)
                problem(file, line, column, "a magnifying filter is \"Nearest\" or \"Linear\"");
            else
                channel.magFilter = *filter;
        } else {
            problem(file, line, column,
                    "unknown channel setting '" + std::string(setting) +
                        "': WrapMode, MinFilter or MagFilter");
        }
    }

    void readInclude(const std::string& file, int line, int column, std::string_view rest) {
        const std::optional<std::string_view> name = quoted(rest);
        if (!name || name->empty()) {
            problem(file, line, column, "#include needs a path in double quotes");
            blank(file, line);
            return;
        }
        const std::string included = relativeTo(file, *name);
        if (std::find(including_.begin(), including_.end(), included) != including_.end()) {
            std::string cycle;
            for (const std::string& step : including_)
                cycle += step + " -> ";
            problem(file, line, column, "include cycle: " + cycle + included);
            blank(file, line);
            return;
        }
        if (int(including_.size()) >= maxIncludeDepth) {
            problem(file, line, column, "includes nest deeper than 32 files");
            blank(file, line);
            return;
        }
        if (pass_.lines.files.size() >= maxPassFiles) {
            problem(file, line, column, "a pass may include at most 255 files");
            blank(file, line);
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
            blank(file, line);
            return;
        }
        readFile(included, *contents);
    }
};

// The name a preamble line declares ("uniform vec3 iChannelResolution[4];" -> iChannelResolution).
std::string_view uniformName(std::string_view declaration) {
    const size_t start = declaration.rfind(' ') + 1;
    return declaration.substr(start, declaration.find_first_of("[;", start) - start);
}

// Whether a line of the text declares a uniform of that name itself (files made for other players
// declare the website's uniforms; the file's own declaration then stands alone).
bool declaresUniform(std::string_view text, std::string_view name) {
    for (size_t at = text.find(name); at != std::string_view::npos; at = text.find(name, at + 1)) {
        if ((at > 0 && isNameCharacter(text[at - 1])) ||
            (at + name.size() < text.size() && isNameCharacter(text[at + name.size()])))
            continue;
        const size_t lineStart = text.rfind('\n', at) + 1; // npos + 1 is 0
        const std::string_view before = withoutLeadingSpace(text.substr(lineStart, at - lineStart));
        if (startsWith(before, "uniform") && before.size() > 7 && isSpace(before[7]))
            return true;
    }
    return false;
}

void addAddedLine(Pass& pass, std::string_view line) {
    pass.source += line;
    pass.source += '\n';
    pass.lines.lines.push_back({});
}

} // namespace

ChannelKind channelKindOfFile(std::string_view path) {
    const std::string extension = std::filesystem::path(std::string(path)).extension().string();
    for (std::string_view shader : {".glsl", ".frag", ".fs"})
        if (equalsIgnoringCase(extension, shader))
            return ChannelKind::Buffer;
    for (std::string_view video : {".avi", ".mp4", ".mkv", ".webm", ".mov", ".ogv", ".mpg", ".m4v"})
        if (equalsIgnoringCase(extension, video))
            return ChannelKind::Video;
    return ChannelKind::Image;
}

Pass readShaderToyPass(const std::string& file, std::string_view bytes, const FileReader& read) {
    Pass pass;
    pass.file = file;
    PassReader reader(pass, read);
    reader.readFile(file, bytes);
    pass.ownMain = definesMain(reader.body_);
    const std::vector<SourceLineMap::Place> bodyLines = std::move(pass.lines.lines);
    pass.lines.lines.clear();
    addAddedLine(pass, versionLine);
    for (const std::string& extension : reader.extensions_)
        addAddedLine(pass, extension);
    for (std::string_view line : preamble)
        if (!declaresUniform(reader.body_, uniformName(line)))
            addAddedLine(pass, line);
    pass.source += reader.body_;
    pass.lines.lines.insert(pass.lines.lines.end(), bodyLines.begin(), bodyLines.end());
    if (!pass.ownMain)
        for (std::string_view line : mainCallingMainImage)
            addAddedLine(pass, line);
    return pass;
}

} // namespace shadertoy
