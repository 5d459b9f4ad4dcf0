#include "render/Shader.h"

#include "platform/DataFiles.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/LoadNotes.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <vector>

std::optional<std::string> readWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

namespace {

// Compiles one stage; on failure deletes it, reports the driver's log with the whole source and
// throws the same text.
GLuint compileStage(const char* source, GLenum type) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled)
        return shader;
    GLint logLength = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &logLength);
    std::vector<char> log(size_t(logLength > 0 ? logLength : 1) + 1, '\0');
    glGetShaderInfoLog(shader, GLsizei(log.size()), nullptr, log.data());
    glDeleteShader(shader);
    const std::string message =
        formatText("Compiler error %s... while compiling:\n %s\n", log.data(), source);
    debugWrite(message);
    throw ShowError(message);
}

// Compiles a stage read from a file; a compiler error then starts with "<path>:<line>: ", or with
// "<path>: " when the driver's log names no line.
template <class Compile> GLuint compileFileStage(const char* path, Compile compile) {
    try {
        return compile();
    } catch (const ShowError& error) {
        const int line = shaderLogLine(error.what());
        if (line > 0)
            throw ShowError(formatText("%s:%d: %s", path, line, error.what()));
        throw ShowError(formatText("%s: %s", path, error.what()));
    }
}

} // namespace

int shaderLogLine(const std::string& log) {
    // Mesa writes "0:12(7): error", others "0(12) : error": a source number, then the line.
    for (size_t at = 0; at < log.size(); ++at) {
        if (!std::isdigit(static_cast<unsigned char>(log[at])) ||
            (at > 0 && std::isalnum(static_cast<unsigned char>(log[at - 1]))))
            continue;
        size_t next = at;
        while (next < log.size() && std::isdigit(static_cast<unsigned char>(log[next])))
            ++next;
        if (next >= log.size() || (log[next] != ':' && log[next] != '('))
            continue;
        const char close = log[next] == ':' ? '(' : ')';
        size_t end = next + 1;
        while (end < log.size() && std::isdigit(static_cast<unsigned char>(log[end])))
            ++end;
        if (end > next + 1 && end < log.size() && log[end] == close && end - next < 9)
            return std::stoi(log.substr(next + 1, end - next - 1));
    }
    return 0;
}

FragmentProgram::~FragmentProgram() {
    glDeleteShader(fragmentShader);
    glDeleteProgram(program);
}

void FragmentProgram::build(bool fromFile, const char* pathOrSource) {
    if (!fromFile) {
        buildFromSource(pathOrSource);
        return;
    }
    noteDataFileRead(pathOrSource);
    files = pathOrSource;
    const std::optional<std::string> source = readWholeFile(pathOrSource);
    if (!source)
        raise("Error opening: %s", pathOrSource);
    fragmentShader = compileFileStage(
        pathOrSource, [&] { return compileStage(source->c_str(), GL_FRAGMENT_SHADER); });
    linkFragmentProgram();
}

void FragmentProgram::buildFromSource(const char* source) {
    fragmentShader = compileStage(source, GL_FRAGMENT_SHADER);
    linkFragmentProgram();
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

void ShaderProgram::load(const char* fragmentPath, const char* vertexPath) {
    noteDataFileRead(fragmentPath);
    noteDataFileRead(vertexPath);
    files = std::string(fragmentPath) + ", " + vertexPath;
    program = glCreateProgram();
    if (const auto source = readWholeFile(fragmentPath)) {
        fragmentShader = compileFileStage(
            fragmentPath, [&] { return compileShader(source->c_str(), GL_FRAGMENT_SHADER); });
        glAttachShader(program, fragmentShader);
    } else {
        noteLoadWarning("Unable to open shader %s (the program is made without that stage)", fragmentPath);
    }
    if (const auto source = readWholeFile(vertexPath)) {
        vertexShader = compileFileStage(
            vertexPath, [&] { return compileShader(source->c_str(), GL_VERTEX_SHADER); });
        glAttachShader(program, vertexShader);
    } else {
        noteLoadWarning("Unable to open shader %s (the program is made without that stage)", vertexPath);
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
