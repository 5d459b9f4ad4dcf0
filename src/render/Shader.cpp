#include "render/Shader.h"

#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/LoadNotes.h"

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

} // namespace

FragmentProgram::~FragmentProgram() {
    glDeleteShader(fragmentShader);
    glDeleteProgram(program);
}

void FragmentProgram::build(bool fromFile, const char* pathOrSource) {
    if (!fromFile) {
        buildFromSource(pathOrSource);
        return;
    }
    const std::optional<std::string> source = readWholeFile(pathOrSource);
    if (!source)
        raise("Error opening: %s", pathOrSource);
    buildFromSource(source->c_str());
}

void FragmentProgram::buildFromSource(const char* source) {
    fragmentShader = compileStage(source, GL_FRAGMENT_SHADER);
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
    const GLuint shader = compileStage(source, type);
    debugWrite("No errors compiling\n");
    return shader;
}

void ShaderProgram::load(const char* fragmentPath, const char* vertexPath) {
    program = glCreateProgram();
    if (const auto source = readWholeFile(fragmentPath)) {
        fragmentShader = compileShader(source->c_str(), GL_FRAGMENT_SHADER);
        glAttachShader(program, fragmentShader);
    } else {
        noteLoadProblem("Unable to open shader %s", fragmentPath);
    }
    if (const auto source = readWholeFile(vertexPath)) {
        vertexShader = compileShader(source->c_str(), GL_VERTEX_SHADER);
        glAttachShader(program, vertexShader);
    } else {
        noteLoadProblem("Unable to open shader %s", vertexPath);
    }
    glLinkProgram(program);
}

GLint uniformLocation(GLuint program, const char* name) {
    const GLint location = glGetUniformLocation(program, name);
    if (location == -1) {
        debugWrite("Unable to locate shader handle for: ");
        debugWrite(name);
        debugWrite("\n");
    }
    return location;
}
