#pragma once
// GLSL programs: a fragment-only program and a vertex + fragment program.

#include "render/GL.h"

#include <optional>
#include <string>

// The source line a compiler log names first ("0:12(7): error" or "0(12) : error"), or 0.
int shaderLogLine(const std::string& log);

// Reads a whole file; nothing when it cannot be opened.
std::optional<std::string> readWholeFile(const std::string& path);

class FragmentProgram {
public:
    GLuint fragmentShader = 0;
    GLuint program = 0;
    std::string files; // the file it was built from, for messages; empty for source in code

    FragmentProgram() = default;
    ~FragmentProgram();
    FragmentProgram(const FragmentProgram&) = delete;
    FragmentProgram& operator=(const FragmentProgram&) = delete;

    // With fromFile the text is a path whose contents are the source; otherwise it is the source.
    // Throws "Error opening: <path>" or the compiler's message, then led by "<path>:<line>: ".
    void build(bool fromFile, const char* pathOrSource);
    void buildFromSource(const char* source);

private:
    void linkFragmentProgram();
};

class ShaderProgram {
public:
    GLuint vertexShader = 0;
    GLuint fragmentShader = 0;
    GLuint program = 0;
    std::string files; // "fragment file, vertex file", for messages

    ShaderProgram() = default;
    ~ShaderProgram();
    ShaderProgram(const ShaderProgram&) = delete;
    ShaderProgram& operator=(const ShaderProgram&) = delete;

    // Fragment file first, vertex file second. A file that cannot be opened leaves its stage out.
    // A compiler error names the file and the line as build does.
    void load(const char* fragmentPath, const char* vertexPath);
    // Compiles one stage; throws the compiler's message on failure.
    GLuint compileShader(const char* source, GLenum type);
};

// glGetUniformLocation, with a debug line naming the uniform and the program's files when the
// program has no active uniform of that name.
GLint uniformLocation(const FragmentProgram& program, const char* name);
GLint uniformLocation(const ShaderProgram& program, const char* name);
