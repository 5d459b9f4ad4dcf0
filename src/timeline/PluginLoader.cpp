#include "timeline/PluginLoader.h"

#include "platform/DataFiles.h"
#include "platform/Error.h"
#include "timeline/ScriptLoader.h"
#include "timeline/ShowTracks.h"

namespace Effekter {

namespace {

// What plug-ins call to read a track: the value the living tracks hold for this frame.
float readTrack(const char* name, float fallback) {
    const ShowTracks* tracks = ShowTracks::living();
    const float* value = tracks && name ? tracks->find(name) : nullptr;
    return value ? *value : fallback;
}

} // namespace

PluginLoader::PluginLoader(int32_t start, int32_t end, const std::string& path, FILE* script)
    : Effekt(start, end) {
    noteDataFileRead(path);
    if (!library_.open(pluginLibraryFile(path)))
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

void PluginLoader::draw(uint32_t time, float beat) { draw_(static_cast<int>(time), beat); }

} // namespace Effekter
