#include "effects/PluginLoader.h"

#include "platform/Error.h"
#include "platform/SharedObjectFile.h"
#include "platform/ShowFiles.h"
#include "render/ShaderInputs.h"

#include <algorithm>
#include <optional>
#include <utility>

std::string describePluginFile(const ShowFile& file) {
    const std::optional<std::string> bytes = file.bytes();
    if (!bytes)
        raise("Unable to load plugin: %s: it does not exist or cannot be read", file.c_str());
    const SharedObjectFacts facts = readSharedObject(*bytes, {"Init", "Draw"});
    if (!facts.problem.empty())
        raise("Unable to load plugin: %s: %s", file.c_str(), facts.problem.c_str());
    for (const char* name : {"Init", "Draw"})
        if (std::find(facts.exports.begin(), facts.exports.end(), name) == facts.exports.end())
            raise("Unable to fint %s function in plugin: %s", name, file.c_str());
    return "an ELF shared object for " + facts.machine + ", exporting Init and Draw";
}

namespace Effekter {

namespace {

// The track reader's function takes no context: while a plug-in draws, this holds the named values
// of the show it draws in.
const NamedValues* drawingValues = nullptr;

float readTrack(const char* name, float fallback) {
    const float* value = drawingValues && name ? drawingValues->find(name) : nullptr;
    return value ? *value : fallback;
}

} // namespace

PluginLoader::PluginLoader(const EffectContext& context, int32_t start, int32_t end,
                           const std::string& path, FILE* script)
    : Effekt(start, end), frame_(context.frame) {
    if (!library_.open(showLibraryFile(context.files.open(path, ShowFileKind::Plugin).path())))
        raise("Unable to load plugin: %s\n%s", path.c_str(), library_.error().c_str());
    init_ = reinterpret_cast<MorveldanPluginInit>(library_.symbol("Init"));
    if (!init_)
        raise("Unable to fint Init function in plugin: %s", path.c_str());
    draw_ = reinterpret_cast<MorveldanPluginDraw>(library_.symbol("Draw"));
    if (!draw_)
        raise("Unable to fint Draw function in plugin: %s", path.c_str());
    if (auto setTrackReader =
            reinterpret_cast<MorveldanPluginSetTrackReader>(library_.symbol("SetTrackReader")))
        setTrackReader(readTrack);
    init_(script, start, end);
}

void PluginLoader::draw(uint32_t time, float beat) {
    const NamedValues* before = std::exchange(drawingValues, frame_.values());
    draw_(static_cast<int>(time), beat);
    drawingValues = before;
}

} // namespace Effekter
