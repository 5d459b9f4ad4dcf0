#pragma once
// An effect that lives in a shared object exporting Init and Draw (include/morveldan/plugin.h).

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "morveldan/plugin.h"
#include "platform/SharedLibrary.h"
#include "platform/ShowFiles.h"

#include <cstdio>
#include <string>

// What a plug-in's file is, read without loading it ("an ELF shared object for x86-64, exporting
// Init and Draw"); throws ShowError naming the file when it could not be loaded as a plug-in here.
std::string describePluginFile(const ShowFile& file);

namespace Effekter {

class PluginLoader : public Effekt {
public:
    // Loads the library (a path without a slash names a file in the show folder, the current one),
    // finds both exports, then lets Init read its own lines from the script.
    // Throws "Unable to load plugin: %s" (with the dynamic linker's reason on a line of its own),
    // "Unable to fint Init function in plugin: %s" or "Unable to fint Draw function in plugin: %s"
    // with the path.
    PluginLoader(const EffectContext& context, int32_t start, int32_t end, const std::string& path,
                 FILE* script);

    // The plug-in's Draw, which reads the show's tracks through the reader it was given.
    void draw(uint32_t time, float beat) override;

private:
    FrameInputs& frame_;
    SharedLibrary library_;
    MorveldanPluginInit init_ = nullptr;
    MorveldanPluginDraw draw_ = nullptr;
};

} // namespace Effekter
