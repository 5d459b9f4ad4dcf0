#include "timeline/ScriptKeywords.h"

#include <string>

namespace {

constexpr ExtraLine number(std::string_view meaning) { return {true, meaning}; }
constexpr ExtraLine text(std::string_view meaning) { return {false, meaning}; }

constexpr ScriptKeyword keywordTable[] = {
    {"Plugin", {text("the library path")}, 1, true},
    {"ChaosZoomer", {}},
    {"Stroboskop", {}},
    {"Rubber3d", {}},
    {"Plasma2D", {number("the seed")}, 1},
    {"Brum", {}},
    {"Banger", {}},
    {"ColorBox", {}},
    {"Zoomba", {}},
    {"Zoombb", {}},
    {"Solaris", {}},
    {"FlashWhite", {}},
    {"PolarCoords", {}},
    {"FogRotator", {}},
    {"WalkCube", {}},
    {"AlphaBlendImage", {text("the image path"), text("the mode word")}, 2},
    {"Tunnel", {}},
    {"Faces", {}},
    {"TwistBox", {}},
    {"Circles", {}},
    {"NanoBall", {}},
    {"Overlays", {}},
    {"EndDemo", {}},
    {"ShaderSuite3D", {}},
    {"Quelm3D", {}},
    {"Prikker", {}},
    {"Video", {}},
    {"Spheres", {}},
    {"Mirror", {}},
    {"BallsBounce", {}},
    {"Manden", {}},
    {"QuelmRinge", {}},
    {"ShaderShow", {text("the fragment shader path"), text("the image path")}, 2},
    {"ShaderToy", {text("the image pass's shader path")}, 1},
};

} // namespace

std::span<const ScriptKeyword> scriptKeywords() { return keywordTable; }

const ScriptKeyword* findScriptKeyword(std::string_view keyword) {
    for (const ScriptKeyword& row : keywordTable)
        if (row.keyword == keyword)
            return &row;
    return nullptr;
}

std::string describeExtraLines(const ScriptKeyword& keyword) {
    std::string text;
    for (int i = 0; i < keyword.extraCount; ++i) {
        if (i > 0)
            text += " and ";
        text += keyword.extra[i].meaning;
    }
    if (keyword.pluginReadsMore)
        text += ", then the lines its plug-in reads";
    return text;
}
