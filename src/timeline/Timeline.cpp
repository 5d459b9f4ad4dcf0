#include "timeline/Timeline.h"

#include "app/RenderWindow.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "timeline/EffectFactory.h"
#include "timeline/LoadingScreen.h"
#include "timeline/ScriptReader.h"

#include <cstdio>
#include <memory>

namespace {

const char* const scriptPath = "data/demo.txt";

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using ScriptFile = std::unique_ptr<FILE, FileCloser>;

void loadEntries(EffectList& effects, FILE* script, LoadingScreen& loading,
                 std::vector<std::string>* keywords) {
    while (!scriptAtEnd(script)) {
        const std::string keyword = readScriptLine(script);
        try {
            const int32_t start = readScriptNumber(script);
            const int32_t end = readScriptNumber(script);
            loading.presentFrame();
            if (!isKnownEffect(keyword))
                raise("Unknown entry '%s' in file, please correct", keyword.c_str());
            std::unique_ptr<Effekt> effect = makeEffect(keyword, start, end, script);
            debugLine("Loaded %s with start time %i and end time %i", keyword.c_str(), start, end);
            effects.push_back(std::move(effect));
            if (keywords)
                keywords->push_back(keyword);
        } catch (const ScriptEnded&) {
            raise("The entry '%s' is cut short: %s ends before all its lines", keyword.c_str(),
                  scriptPath);
        }
    }
}

} // namespace

void loadTimeline(EffectList& effects, RenderWindow& window, std::string& musicFile,
                  int32_t& startOffset, std::vector<std::string>* keywords) {
    ScriptFile script(std::fopen(scriptPath, "r"));
    if (!script)
        raise("Unable to load data/demo.txt");
    int entryCount = 0;
    try {
        musicFile = readScriptLine(script.get());
        startOffset = readScriptNumber(script.get());
        entryCount = readScriptNumber(script.get());
    } catch (const ScriptEnded&) {
        raise("%s ends before its three header lines (music file, start offset, entry count)",
              scriptPath);
    }
    LoadingScreen loading(window, entryCount);
    loadEntries(effects, script.get(), loading, keywords);
}
