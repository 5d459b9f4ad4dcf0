#include "timeline/EffectFactory.h"

#include "timeline/ScriptReader.h"

// Effect families; each adds its header here and its keywords to the table below.
#include "effects/ChaosZoomer.h"
#include "effects/PosedObjects.h"
#include "effects/QuelmRinge.h"
#include "effects/Rubber3d.h"
#include "effects/ShaderSuite3D.h"
#include "timeline/PluginLoader.h"

#include <string_view>

namespace {

using Maker = std::unique_ptr<Effekt> (*)(int32_t start, int32_t end, FILE* script);

struct KeywordEntry {
    std::string_view keyword;
    Maker make;
};

// For effects whose entry has no extra lines.
template <class EffectClass> std::unique_ptr<Effekt> plain(int32_t start, int32_t end, FILE*) {
    return std::make_unique<EffectClass>(start, end);
}

const KeywordEntry keywordTable[] = {
    // Plug-ins
    {"Plugin",
     [](int32_t s, int32_t e, FILE* f) -> std::unique_ptr<Effekt> {
         const std::string path = readScriptLine(f);
         return std::make_unique<Effekter::PluginLoader>(s, e, path, f);
     }},

    // Image layer and sprite effects

    // Shader effects

    // Mesh effects
    {"ChaosZoomer", plain<Effekter::ChaosZoomer>},
    {"Rubber3d", plain<Effekter::Rubber3d>},
    {"FogRotator", plain<Effekter::FogRotator>},
    {"ShaderSuite3D", plain<Effekter::ShaderSuite3D>},
    {"Quelm3D", plain<Effekter::Quelm3D>},
    {"QuelmRinge", plain<Effekter::QuelmRinge>},

    // Render-target and video effects

    {"", nullptr}, // end marker
};

const KeywordEntry* findKeyword(const std::string& keyword) {
    for (const KeywordEntry& entry : keywordTable)
        if (entry.make && entry.keyword == keyword)
            return &entry;
    return nullptr;
}

} // namespace

std::unique_ptr<Effekt> makeEffect(const std::string& keyword, int32_t start, int32_t end,
                                   FILE* script) {
    const KeywordEntry* entry = findKeyword(keyword);
    return entry ? entry->make(start, end, script) : nullptr;
}

bool isKnownEffect(const std::string& keyword) {
    return findKeyword(keyword) != nullptr;
}
