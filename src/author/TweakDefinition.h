#pragma once
// The definition string of a tweak variable, e.g. " label='Fog near' min=0 max=1000 step=0.5":
// blank-separated key=value pairs, values optionally in single or double quotes. Keys are read
// without regard to case; unknown keys and values that are not numbers are ignored.

#include <optional>
#include <string>

struct TweakDefinition {
    std::string label;
    std::optional<double> min;
    std::optional<double> max;
    std::optional<double> step;
};

TweakDefinition parseTweakDefinition(const std::string& definition);
