#include "timeline/EffectFactory.h"

// Effect families; each adds its header here and its keywords to the table below.
#include "effects/BallsBounce.h"
#include "effects/Brum.h"
#include "effects/ChaosZoomer.h"
#include "effects/Circles.h"
#include "effects/ColorBox.h"
#include "effects/ImageLayers.h"
#include "effects/Manden.h"
#include "effects/Mirror.h"
#include "effects/NanoBall.h"
#include "effects/Plasma2D.h"
#include "effects/PolarCoords.h"
#include "effects/PosedObjects.h"
#include "effects/Prikker.h"
#include "effects/QuelmRinge.h"
#include "effects/Rubber3d.h"
#include "effects/ShaderShow.h"
#include "effects/ShaderSuite3D.h"
#include "effects/ShaderToy.h"
#include "effects/Spheres.h"
#include "effects/Stroboskop.h"
#include "effects/Tunnel.h"
#include "effects/TwistBox.h"
#include "effects/Video.h"
#include "effects/WalkCube.h"
#include "effects/Zoomers.h"
#include "render/RenderTarget.h"
#include "timeline/PluginLoader.h"
#include "timeline/ScriptReader.h"

#include <string_view>

namespace {

using Maker = std::unique_ptr<Effekt> (*)(const EntryValues& values);

struct KeywordEntry {
    std::string_view keyword;
    Maker make;
};

// For effects whose entry has no extra lines.
template <class EffectClass> std::unique_ptr<Effekt> plain(const EntryValues& v) {
    return std::make_unique<EffectClass>(v.start, v.end);
}

const KeywordEntry keywordTable[] = {
    // Plug-ins
    {"Plugin",
     [](const EntryValues& v) -> std::unique_ptr<Effekt> {
         return std::make_unique<Effekter::PluginLoader>(v.start, v.end, v.texts[0], v.script);
     }},

    // Image layer and sprite effects
    {"AlphaBlendImage",
     [](const EntryValues& v) -> std::unique_ptr<Effekt> {
         return std::make_unique<Effekter::AlphaBlendImage>(v.start, v.end, v.texts[0], v.texts[1]);
     }},
    {"FlashWhite", plain<Effekter::FlashWhite>},
    {"Overlays", plain<Effekter::Overlays>},
    {"EndDemo", plain<Effekter::EndDemo>},
    {"Zoomba", plain<Effekter::Zoomba>},
    {"Zoombb", plain<Effekter::Zoombb>},
    {"Solaris", plain<Effekter::Solaris>},
    {"Stroboskop", plain<Effekter::Stroboskop>},
    {"Tunnel", plain<Effekter::Tunnel>},
    {"ColorBox", plain<Effekter::ColorBox>},
    {"Prikker", plain<Effekter::Prikker>},
    {"Brum", plain<Effekter::Brum>},

    // Shader effects
    {"Plasma2D",
     [](const EntryValues& v) -> std::unique_ptr<Effekt> {
         return std::make_unique<Effekter::Plasma2D>(v.start, v.end, v.numbers[0]);
     }},
    {"Banger", plain<Effekter::Banger>},
    {"PolarCoords", plain<Effekter::PolarCoords>},
    {"WalkCube", plain<Effekter::WalkCube>},
    {"Faces", plain<Effekter::Faces>},
    {"TwistBox", plain<Effekter::TwistBox>},
    {"Circles", plain<Effekter::Circles>},
    {"Mirror", plain<Effekter::Mirror>},
    {"BallsBounce", plain<Effekter::BallsBounce>},
    {"ShaderShow",
     [](const EntryValues& v) -> std::unique_ptr<Effekt> {
         return std::make_unique<Effekter::ShaderShow>(v.start, v.end, v.texts[0], v.texts[1]);
     }},
    {"ShaderToy",
     [](const EntryValues& v) -> std::unique_ptr<Effekt> {
         return std::make_unique<Effekter::ShaderToy>(v.start, v.end, v.texts[0]);
     }},

    // Mesh effects
    {"ChaosZoomer", plain<Effekter::ChaosZoomer>},
    {"Rubber3d", plain<Effekter::Rubber3d>},
    {"FogRotator", plain<Effekter::FogRotator>},
    {"ShaderSuite3D", plain<Effekter::ShaderSuite3D>},
    {"Quelm3D", plain<Effekter::Quelm3D>},
    {"QuelmRinge", plain<Effekter::QuelmRinge>},

    // Render-target and video effects
    {"NanoBall", plain<Effekter::NanoBall>},
    {"Video", plain<Effekter::Video>},
    {"Spheres", plain<Effekter::Spheres>},
    {"Manden", plain<Effekter::Manden>},

    {"", nullptr}, // end marker
};

const KeywordEntry* findKeyword(const std::string& keyword) {
    for (const KeywordEntry& entry : keywordTable)
        if (entry.make && entry.keyword == keyword)
            return &entry;
    return nullptr;
}

} // namespace

std::unique_ptr<Effekt> makeEffect(const std::string& keyword, const EntryValues& values) {
    const KeywordEntry* entry = findKeyword(keyword);
    if (!entry)
        return nullptr;
    const uint64_t targetsBefore = RenderTarget::madeCount();
    std::unique_ptr<Effekt> effect = entry->make(values);
    // A plug-in may keep anything from frame to frame.
    effect->keepsPictures = RenderTarget::madeCount() != targetsBefore || keyword == "Plugin";
    return effect;
}

bool isKnownEffect(const std::string& keyword) { return findKeyword(keyword) != nullptr; }

std::unique_ptr<Effekt> makeEffect(const std::string& keyword, int32_t start, int32_t end,
                                   FILE* script) {
    const ScriptKeyword* row = findScriptKeyword(keyword);
    if (!row)
        return nullptr;
    EntryValues values;
    values.start = start;
    values.end = end;
    values.script = script;
    for (int i = 0; i < row->extraCount; ++i) {
        if (row->extra[i].number)
            values.numbers.push_back(readScriptNumber(script));
        else
            values.texts.push_back(readScriptLine(script));
    }
    return makeEffect(keyword, values);
}
