#pragma once
// Near misses between a show's free tracks and the float uniforms its ShaderShow and ShaderToy
// shaders declare (every pass of the latter, with the files it includes),
// for the check: a track named `Glow` feeds nothing when the shader declares `uniform float glow;`.

#include "effekt/Effekt.h"
#include "tracks/Track.h"

#include <string>
#include <string_view>
#include <vector>

struct ShowCheck;

// A `uniform float NAME` declaration of a shader file.
struct DeclaredUniform {
    std::string name;
    std::string file;
    int line = 0;
};

// The float uniforms declared in GLSL source, in order (comments after // are skipped).
std::vector<DeclaredUniform> floatUniformsIn(std::string_view source, const std::string& file);

// The edit distance of the names ignoring case, when they are nearly the same name (1 or 2
// letters off, and not every letter, or only the case differs); -1 otherwise.
int nearMiss(std::string_view a, std::string_view b);

// Warns of each free track no ShaderShow shader declares (in a show without plug-ins, which
// could read it), naming the closest uniform, and of each float uniform no track feeds that a
// track nearly names.
void checkTrackNames(const TrackSet& tracks, const EffectList& effects, ShowCheck& check);
