#include "render/Shader.h"

#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/LoadNotes.h"

#include <cctype>
#include <string_view>
#include <vector>

namespace {

// Compiles one stage: the shader, or 0 with the driver's log in `log`.
GLuint tryCompileStage(const char* source, GLenum type, std::string& log) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled)
        return shader;
    GLint logLength = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &logLength);
    std::vector<char> text(size_t(logLength > 0 ? logLength : 1) + 1, '\0');
    glGetShaderInfoLog(shader, GLsizei(text.size()), nullptr, text.data());
    glDeleteShader(shader);
    log = text.data();
    return 0;
}

// Compiles one stage; on failure reports the driver's log with the whole source and throws the
// same text.
GLuint compileStage(const char* source, GLenum type) {
    std::string log;
    if (const GLuint shader = tryCompileStage(source, type, log))
        return shader;
    const std::string message =
        formatText("Compiler error %s... while compiling:\n %s\n", log.c_str(), source);
    debugWrite(message);
    throw ShowError(message);
}

// Compiles a stage whose source the map describes; a failure throws the log in the author's form.
GLuint compileMappedStage(const char* source, GLenum type, const SourceLineMap& map) {
    std::string log;
    if (const GLuint shader = tryCompileStage(source, type, log))
        return shader;
    throw ShaderErrors(authorMessages(log, map, source));
}

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Reads the digits at `at` into `value`; false when there are none.
bool readNumber(std::string_view text, size_t& at, int& value) {
    const size_t begin = at;
    value = 0;
    while (at < text.size() && isDigit(text[at]) && at - begin < 9)
        value = value * 10 + (text[at++] - '0');
    return at > begin;
}

bool skipText(std::string_view text, size_t& at, std::string_view expected) {
    if (text.substr(at, expected.size()) != expected)
        return false;
    at += expected.size();
    return true;
}

// One log line's place: Mesa writes "0:12(7): ", others "0(12) : ". False when it has none.
bool readLogPlace(std::string_view line, size_t& at, int& sourceLine, int& column, bool& mesa) {
    int sourceNumber = 0;
    at = 0;
    column = 0;
    if (!readNumber(line, at, sourceNumber))
        return false;
    mesa = skipText(line, at, ":");
    if (mesa)
        return readNumber(line, at, sourceLine) && skipText(line, at, "(") &&
               readNumber(line, at, column) && skipText(line, at, "):");
    return skipText(line, at, "(") && readNumber(line, at, sourceLine) && skipText(line, at, ")") &&
           (skipText(line, at, " :") || skipText(line, at, ":"));
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// "error: MESSAGE" or "warning: MESSAGE" from what a log line says after its place; a severity
// with a code ("error C0000: ") loses the code.
std::string severityAndMessage(std::string_view said) {
    said = trimmed(said);
    for (std::string_view severity : {"error", "warning"}) {
        if (said.substr(0, severity.size()) != severity)
            continue;
        std::string_view rest = said.substr(severity.size());
        const size_t colon = rest.find(':');
        if (colon != std::string_view::npos && rest.substr(0, colon).find(' ', 1) == rest.npos)
            rest = rest.substr(colon + 1);
        return std::string(severity) + ": " + std::string(trimmed(rest));
    }
    return "error: " + std::string(said);
}

} // namespace

SourceLineMap::Place SourceLineMap::place(int sourceLine) const {
    if (lines.empty())
        return {files.empty() ? -1 : 0, sourceLine};
    if (sourceLine < 1 || size_t(sourceLine) > lines.size())
        return {};
    return lines[size_t(sourceLine) - 1];
}

namespace {

// Line `number` (from 1) of the text; empty past its end.
std::string_view lineOf(std::string_view text, int number) {
    size_t begin = 0;
    for (int line = 1; line < number; ++line) {
        begin = text.find('\n', begin);
        if (begin == std::string_view::npos)
            return {};
        ++begin;
    }
    const size_t end = text.find('\n', begin);
    return text.substr(begin, end == std::string_view::npos ? text.npos : end - begin);
}

// Mesa counts columns (from 1) in its preprocessor's output, where every run of blanks and every
// comment within a line has become one space. The column of the same character in the line as
// written.
int writtenColumn(std::string_view line, int collapsedColumn) {
    int collapsed = 0;
    size_t at = 0;
    while (at < line.size()) {
        const size_t start = at;
        if (line[at] == ' ' || line[at] == '\t' || line.substr(at, 2) == "/*") {
            while (at < line.size()) {
                if (line[at] == ' ' || line[at] == '\t' || line[at] == '\r') {
                    ++at;
                } else if (line.substr(at, 2) == "/*") {
                    const size_t end = line.find("*/", at + 2);
                    at = end == std::string_view::npos ? line.size() : end + 2;
                } else {
                    break;
                }
            }
        } else {
            ++at;
        }
        if (++collapsed == collapsedColumn)
            return int(start) + 1;
    }
    return collapsedColumn;
}

} // namespace

std::vector<std::string> authorMessages(const std::string& log, const SourceLineMap& map,
                                        std::string_view source) {
    const std::string firstFile = map.files.empty() ? std::string("shader") : map.files[0];
    std::vector<std::string> messages;
    size_t begin = 0;
    while (begin < log.size()) {
        size_t end = log.find('\n', begin);
        if (end == std::string::npos)
            end = log.size();
        const std::string_view line = trimmed(std::string_view(log).substr(begin, end - begin));
        begin = end + 1;
        if (line.empty())
            continue;
        size_t at = 0;
        int sourceLine = 0, column = 0;
        bool mesa = false;
        if (!readLogPlace(line, at, sourceLine, column, mesa)) {
            messages.push_back(firstFile + ": " + severityAndMessage(line));
            continue;
        }
        const SourceLineMap::Place place = map.place(sourceLine);
        if (mesa && column > 0 && !source.empty())
            column = writtenColumn(lineOf(source, sourceLine), column);
        const std::string said = severityAndMessage(line.substr(at));
        if (place.file < 0) // a line the program added: the author's file, without a line
            messages.push_back(firstFile + ": " + said);
        else
            messages.push_back(formatText("%s:%d:%d: %s", map.files[size_t(place.file)].c_str(),
                                          place.line, column > 0 ? column : 1, said.c_str()));
    }
    if (messages.empty())
        messages.push_back(firstFile + ": error: the shader does not compile");
    return messages;
}

namespace {

std::string joinedLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

} // namespace

ShaderErrors::ShaderErrors(std::vector<std::string> messages)
    : ShowError(joinedLines(messages)), messages_(std::move(messages)) {}

FragmentProgram::~FragmentProgram() {
    glDeleteShader(fragmentShader);
    glDeleteProgram(program);
}

void FragmentProgram::build(const ShowFile& file) {
    files = file.path();
    const std::optional<std::string> source = file.bytes();
    if (!source)
        raise("Error opening: %s", file.c_str());
    fragmentShader = compileMappedStage(source->c_str(), GL_FRAGMENT_SHADER, {{file.path()}, {}});
    linkFragmentProgram();
}

void FragmentProgram::buildFromSource(const char* source) {
    fragmentShader = compileStage(source, GL_FRAGMENT_SHADER);
    linkFragmentProgram();
}

void FragmentProgram::buildMapped(const std::string& source, const SourceLineMap& map) {
    const GLuint shader = compileMappedStage(source.c_str(), GL_FRAGMENT_SHADER, map);
    const GLuint linked = glCreateProgram();
    glAttachShader(linked, shader);
    glLinkProgram(linked);
    GLint status = GL_FALSE;
    glGetProgramiv(linked, GL_LINK_STATUS, &status);
    if (!status) {
        GLint logLength = 0;
        glGetProgramiv(linked, GL_INFO_LOG_LENGTH, &logLength);
        std::vector<char> log(size_t(logLength > 0 ? logLength : 1) + 1, '\0');
        glGetProgramInfoLog(linked, GLsizei(log.size()), nullptr, log.data());
        glDeleteProgram(linked);
        glDeleteShader(shader);
        throw ShaderErrors(authorMessages(log.data(), map));
    }
    glDeleteShader(fragmentShader);
    glDeleteProgram(program);
    fragmentShader = shader;
    program = linked;
    files = map.files.empty() ? std::string() : map.files[0];
}

void FragmentProgram::linkFragmentProgram() {
    program = glCreateProgram();
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);
}

ShaderProgram::~ShaderProgram() {
    glDeleteShader(fragmentShader);
    glDeleteShader(vertexShader);
    glDeleteProgram(program);
}

GLuint ShaderProgram::compileShader(const char* source, GLenum type) {
    return compileStage(source, type);
}

void ShaderProgram::load(const ShowFile& fragment, const ShowFile& vertex) {
    const char* const fragmentPath = fragment.c_str();
    const char* const vertexPath = vertex.c_str();
    files = std::string(fragmentPath) + ", " + vertexPath;
    program = glCreateProgram();
    if (const auto source = fragment.bytes()) {
        fragmentShader =
            compileMappedStage(source->c_str(), GL_FRAGMENT_SHADER, {{fragmentPath}, {}});
        glAttachShader(program, fragmentShader);
    } else {
        noteLoadWarning("Unable to open shader %s (the program is made without that stage)",
                        fragmentPath);
    }
    if (const auto source = vertex.bytes()) {
        vertexShader = compileMappedStage(source->c_str(), GL_VERTEX_SHADER, {{vertexPath}, {}});
        glAttachShader(program, vertexShader);
    } else {
        noteLoadWarning("Unable to open shader %s (the program is made without that stage)",
                        vertexPath);
    }
    glLinkProgram(program);
}

namespace {

GLint locateUniform(GLuint program, const std::string& files, const char* name) {
    const GLint location = glGetUniformLocation(program, name);
    if (location == -1) {
        debugWrite("Unable to locate shader handle for: ");
        debugWrite(name);
        if (!files.empty())
            debugWrite(" (in " + files + ")");
        debugWrite("\n");
    }
    return location;
}

} // namespace

GLint uniformLocation(const FragmentProgram& program, const char* name) {
    return locateUniform(program.program, program.files, name);
}

GLint uniformLocation(const ShaderProgram& program, const char* name) {
    return locateUniform(program.program, program.files, name);
}
