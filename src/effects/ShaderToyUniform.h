#pragma once
// The `#iUniform` line of the editors: a value the author tunes, with its type, default, range and
// step, read from the words after `#iUniform`.

#include "effects/ShaderToySource.h"

#include <string>
#include <string_view>
#include <variant>

namespace shadertoy {

// `TYPE NAME [= VALUE] [in { MIN, MAX }] [step STEP]`: the uniform (its file and line left for
// the caller), or what is wrong with the words. VALUE is a number, or the type's constructor
// (`vec3(1.0, 0.5, 0.0)`, `color3(0.8, 0.4, 0.4)`, one number for every component).
std::variant<Uniform, std::string> readUniformDirective(std::string_view words);

// The GLSL type that holds it: colours are vec3 and vec4.
std::string_view glslTypeOf(UniformType type);

} // namespace shadertoy
