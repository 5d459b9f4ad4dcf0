// Fuzz target of the timeline script reader: any bytes go through the loading loop the program
// uses, once as a run (stops at the first fault) and once as a check (notes every problem), with
// a builder that stands for the effect factory. Neither may crash, hang or grow without bound,
// and the two must agree on scripts without plug-ins.

#include "platform/Debug.h"
#include "platform/Error.h"
#include "timeline/ScriptLoader.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

const char* const source = "fuzz.txt";

// Counts the entries it is handed; a Plugin entry's "plug-in" reads one raw line as plug-ins do,
// and an entry whose first text is "fail" throws as a constructor would.
class CountingBuilder : public EntryBuilder {
public:
    explicit CountingBuilder(const ScriptText& script) : script_(script) {}

    std::string describePlugin(const std::string&) override { return "not read"; }

    void make(const EffectFamily& row, const EntryValues& values) override {
        int texts = 0, numbers = 0;
        for (const ExtraLine& line : row.extraLines)
            (line.number ? numbers : texts) += 1;
        check(int(values.texts.size()) == texts && int(values.numbers.size()) == numbers);
        check(values.script == script_.stream());
        for (const std::string& text : values.texts)
            check(text.find('\0') == std::string::npos);
        if (!values.texts.empty() && values.texts[0] == "fail")
            raise("Unable to make %s", std::string(row.keyword).c_str());
        if (row.readsOwnLines) {
            char line[1024];
            if (!std::fgets(line, sizeof line, values.script))
                line[0] = '\0';
        }
        ++made;
    }

    int made = 0;

private:
    const ScriptText& script_;
};

bool startsWithSource(const std::string& text) {
    return text.compare(0, std::string_view(source).size(), source) == 0;
}

// Loads as the program does; the fault's text when a run stops.
bool load(std::string_view bytes, ShowCheck* showCheck, int& made, std::string& fault) {
    const ScriptText script(source, bytes);
    LoadReport report(source, showCheck);
    CountingBuilder builder(script);
    try {
        ScriptHeader header;
        if (readScriptHeader(script, report, header))
            readScriptEntries(script, report, builder);
    } catch (const ShowError& error) {
        fault = error.what();
        made = builder.made;
        return false;
    }
    made = builder.made;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setDebugOutput(false);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    int madeByRun = 0, madeByCheck = 0;
    std::string fault;
    const bool runLoaded = load(bytes, nullptr, madeByRun, fault);

    ShowCheck showCheck;
    std::string none;
    check(load(bytes, &showCheck, madeByCheck, none));
    for (const std::string& problem : showCheck.problems)
        check(startsWithSource(problem) && problem.find('\n') == std::string::npos);
    int lastLine = 0;
    for (const ShowCheck::Entry& entry : showCheck.entries) {
        check(entry.line > lastLine);
        lastLine = entry.line;
    }
    // A check makes no plug-in and passes over its lines, where a run's plug-in reads them.
    if (!showCheck.plugins.empty())
        return 0;
    if (runLoaded) {
        check(madeByRun == madeByCheck);
    } else {
        // The run stopped at a fault the check also found, with the file and line first.
        check(startsWithSource(fault) && fault.find('\n') != std::string::npos);
        check(!showCheck.problems.empty());
        check(madeByRun <= madeByCheck);
    }
    return 0;
}
