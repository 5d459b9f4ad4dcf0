// Fuzz target of the ShaderToy pass reader (channel lines, their settings and #include): any bytes
// read without a throw, a crash, a hang or unbounded memory. Every problem is one line that names
// the pass's file or one it asked for, with a line and a column; every line of the GLSL made has a
// place in the map, and a channel that names a file names one.
//
// The input is the pass's own file, then the files it may include, separated by a line "%%": a
// path asked for is answered by one of them (chosen by the path), or is missing when there are
// none.

#include "effects/ShaderToySource.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

#define check(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "fails: %s\n", #condition);                                       \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

std::vector<std::string_view> filesOf(std::string_view input) {
    std::vector<std::string_view> files;
    for (size_t at = input.find("\n%%\n"); at != std::string_view::npos;
         at = input.find("\n%%\n")) {
        files.push_back(input.substr(0, at + 1));
        input.remove_prefix(at + 4);
    }
    files.push_back(input);
    return files;
}

// "FILE:LINE:COLUMN: error: MESSAGE" for one of the files, with a line and a column from 1.
bool placedAsAnEditorReadsIt(const std::string& problem, const std::set<std::string>& files) {
    const auto number = [&](size_t& at, char after) {
        const size_t start = at;
        while (at < problem.size() && problem[at] >= '0' && problem[at] <= '9')
            ++at;
        const bool read = at > start && at - start < 10 && std::atoi(problem.c_str() + start) >= 1;
        return read && at < problem.size() && problem[at++] == after;
    };
    return std::any_of(files.begin(), files.end(), [&](const std::string& file) {
        size_t at = file.size() + 1;
        return problem.compare(0, at, file + ":") == 0 && number(at, ':') && number(at, ':') &&
               problem.compare(at, 8, " error: ") == 0;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> files =
        filesOf(std::string_view(reinterpret_cast<const char*>(data), size));
    std::set<std::string> named = {"toy/pass.glsl"};
    const shadertoy::FileReader read = [&](const std::string& path) -> std::optional<std::string> {
        named.insert(path);
        if (files.size() < 2)
            return std::nullopt;
        return std::string(files[1 + std::hash<std::string>{}(path) % (files.size() - 1)]);
    };
    shadertoy::Pass pass;
    try {
        pass = shadertoy::readShaderToyPass("toy/pass.glsl", files[0], read);
    } catch (...) {
        check(false);
    }
    check(pass.lines.files.empty() || pass.lines.files[0] == "toy/pass.glsl");
    for (const std::string& problem : pass.problems) {
        check(problem.find('\n') == std::string::npos);
        check(problem.find(": error: ") != std::string::npos);
        check(placedAsAnEditorReadsIt(problem, named));
    }
    check(size_t(std::count(pass.source.begin(), pass.source.end(), '\n')) ==
          pass.lines.lines.size());
    for (const SourceLineMap::Place& place : pass.lines.lines)
        check(place.file >= -1 && place.file < int(pass.lines.files.size()) &&
              (place.file == -1 || place.line >= 1));
    for (const shadertoy::Channel& channel : pass.channels) {
        const bool namesAFile = channel.kind == shadertoy::ChannelKind::Image ||
                                channel.kind == shadertoy::ChannelKind::Video ||
                                channel.kind == shadertoy::ChannelKind::Buffer;
        check(!namesAFile || !channel.path.empty());
    }
    return 0;
}
