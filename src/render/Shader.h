#pragma once
// GLSL programs: a fragment-only program and a vertex + fragment program.

#include "platform/ShowFiles.h"
#include "render/GL.h"

#include "platform/Error.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where the lines of a compiled source came from: the files, and for each line of the source (from
// 1) the file (an index into files, -1 for a line the program added) and its line there. Without
// lines, line N of the source is line N of files[0].
struct SourceLineMap {
    struct Place {
        int file = -1;
        int line = 0;
    };
    std::vector<std::string> files;
    std::vector<Place> lines;

    Place place(int sourceLine) const;
};

// A compiler's log as the messages an author's editor reads, one per element:
// "PATH:LINE:COLUMN: error: MESSAGE" (or "warning:"), the place mapped back to the author's file;
// a message without a place becomes "PATH: error: MESSAGE" with the map's first file. With the
// source that was compiled, Mesa's columns are turned into columns of the lines as written.
std::vector<std::string> authorMessages(const std::string& log, const SourceLineMap& map,
                                        std::string_view source = {});

// A shader that did not compile or link: its messages in the author's form, one per line of what().
class ShaderErrors : public ShowError {
public:
    explicit ShaderErrors(std::vector<std::string> messages);
    const std::vector<std::string>& messages() const { return messages_; }

private:
    std::vector<std::string> messages_;
};

class FragmentProgram {
public:
    GLuint fragmentShader = 0;
    GLuint program = 0;
    std::string files; // the file it was built from, for messages; empty for source in code

    FragmentProgram() = default;
    ~FragmentProgram();
    FragmentProgram(const FragmentProgram&) = delete;
    FragmentProgram& operator=(const FragmentProgram&) = delete;

    // Throws "Error opening: <path>", or ShaderErrors in the author's form.
    void build(const ShowFile& file);
    void buildFromSource(const char* source);
    // Compiles and links a source made from the files of the map; throws ShaderErrors in the
    // author's form when either fails. A program built before is replaced.
    void buildMapped(const std::string& source, const SourceLineMap& map);

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
    void load(const ShowFile& fragment, const ShowFile& vertex);
    // Compiles one stage; throws the compiler's message on failure.
    GLuint compileShader(const char* source, GLenum type);
};

// glGetUniformLocation, with a debug line naming the uniform and the program's files when the
// program has no active uniform of that name.
GLint uniformLocation(const FragmentProgram& program, const char* name);
GLint uniformLocation(const ShaderProgram& program, const char* name);
