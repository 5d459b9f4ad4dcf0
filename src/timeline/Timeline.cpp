#include "timeline/Timeline.h"

#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/LoadNotes.h"
#include "platform/StopSignals.h"
#include "timeline/EffectFactory.h"
#include "timeline/LoadingScreen.h"
#include "timeline/ScriptLoader.h"
#include "timeline/ShowScreen.h"

#include <memory>
#include <optional>

namespace {

const char* const scriptPath = "data/demo.txt";

// Makes each entry's effect into the list, with one loading frame per entry.
class EffectListBuilder : public EntryBuilder {
public:
    EffectListBuilder(EffectList& effects, LoadingScreen& loading,
                      std::vector<std::string>* keywords)
        : effects_(effects), loading_(loading), keywords_(keywords) {}

    void startEntry() override {
        throwIfStopped();
        loading_.presentFrame();
    }

    void make(const ScriptKeyword& row, const EntryValues& values) override {
        const std::string keyword(row.keyword);
        std::unique_ptr<Effekt> effect = makeEffect(keyword, values);
        if (!effect)
            raise("No effect class has the keyword '%s'", keyword.c_str());
        debugLine("Loaded %s with start time %i and end time %i", keyword.c_str(), values.start,
                  values.end);
        effects_.push_back(std::move(effect));
        if (keywords_)
            keywords_->push_back(keyword);
    }

private:
    EffectList& effects_;
    LoadingScreen& loading_;
    std::vector<std::string>* keywords_;
};

// The script, or nothing after a fault.
std::optional<std::string> readScriptBytes(LoadReport& report) {
    std::string bytes;
    bool tooLarge = false;
    if (ScriptText::readFile(scriptPath, bytes, tooLarge))
        return bytes;
    if (tooLarge)
        report.fault(0, formatText("larger than %zu MB", maxScriptBytes >> 20),
                     "Unable to load data/demo.txt");
    else if (!report.checking())
        raise("Unable to load data/demo.txt");
    else
        report.fault(0, "cannot be read", "Unable to load data/demo.txt");
    return std::nullopt;
}

} // namespace

void loadTimeline(EffectList& effects, ShowScreen& screen, std::string& musicFile,
                  int32_t& startOffset, std::vector<std::string>* keywords, ShowCheck* check) {
    LoadReport report(scriptPath, check);
    const std::optional<std::string> bytes = readScriptBytes(report);
    if (!bytes)
        return;
    const ScriptText script(scriptPath, *bytes);
    ScriptHeader header;
    if (!readScriptHeader(script, report, header))
        return;
    musicFile = header.musicFile;
    startOffset = header.startOffset;
    std::optional<LoadingScreen> loading;
    {
        // A show may leave its loading picture out: the run goes on, so a check only warns.
        LoadNoteCollector notes;
        loading.emplace(screen, header.entryCount);
        if (check)
            for (const std::string& note : notes.notes())
                check->warnings.push_back("warning: " + note + " (the loading picture)");
    }
    EffectListBuilder builder(effects, *loading, keywords);
    readScriptEntries(script, report, builder);
}

void shutDownEffects(EffectList& effects) {
    TweakRegistry::instance().terminate();
    for (auto& effect : effects)
        effect.reset();
    effects.clear();
}
