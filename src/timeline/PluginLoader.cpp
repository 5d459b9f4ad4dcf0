#include "timeline/PluginLoader.h"

#include "platform/Debug.h"
#include "platform/Error.h"

namespace Effekter {

PluginLoader::PluginLoader(int32_t start, int32_t end, const std::string& path, FILE* script)
    : Effekt(start, end) {
    // dlopen searches the system's library path for a bare file name; a plug-in named that way
    // lies in the run folder.
    const bool bareName = path.find('/') == std::string::npos;
    if (!library_.open(bareName ? "./" + path : path)) {
        debugLine("%s", library_.error().c_str());
        raise("Unable to load plugin: %s", path.c_str());
    }
    init_ = reinterpret_cast<MorveldanPluginInit>(library_.symbol("Init"));
    if (!init_)
        raise("Unable to fint Init function in plugin: %s", path.c_str());
    draw_ = reinterpret_cast<MorveldanPluginDraw>(library_.symbol("Draw"));
    if (!draw_)
        raise("Unable to fint Draw function in plugin: %s", path.c_str());
    init_(script, start, end);
}

void PluginLoader::draw(uint32_t time, float beat) { draw_(static_cast<int>(time), beat); }

} // namespace Effekter
