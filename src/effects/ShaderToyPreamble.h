#pragma once
// The GLSL the program puts around a ShaderToy pass's own lines: the version and what the website
// declares before them (uniforms, the channels' samplers), the keyboard's functions when the pass
// asks for them, and a main that calls mainImage.

#include "effects/ShaderToySource.h"

#include <string>
#include <vector>

namespace shadertoy {

// The author's lines of a pass as read: the text (directives left as empty lines), each line's
// place, and the #extension lines, which go before any code.
struct PassBody {
    std::string text;
    std::vector<SourceLineMap::Place> lines;
    std::vector<std::string> extensions;
};

// Makes the pass's source and line map from its body, its channels and its language.
void assembleSource(Pass& pass, const PassBody& body, Language language);

} // namespace shadertoy
