#include "timeline/ScriptLoader.h"

#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/LoadNotes.h"
#include "platform/SharedLibrary.h"
#include "render/Shader.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <filesystem>
#include <optional>
#include <vector>

// --- Reports --------------------------------------------------------------------------------

std::string scriptPlace(const std::string& file, int line) {
    return line > 0 ? file + ":" + std::to_string(line) : file;
}

void ShowCheck::add(int line, const std::string& text) {
    problems.push_back(scriptPlace(script, line) + ": " + text);
}

void ShowCheck::addPlugin(int line, const std::string& libraryPath,
                          const std::string& description) {
    const std::filesystem::path file(showLibraryFile(libraryPath));
    plugins.push_back(scriptPlace(script, line) + ": plug-in " +
                      std::filesystem::absolute(file).lexically_normal().string() + ": " +
                      description);
}

LoadReport::LoadReport(std::string scriptName, ShowCheck* check)
    : name_(std::move(scriptName)), check_(check) {
    if (check_)
        check_->script = name_;
}

void LoadReport::fault(int line, std::string_view where, std::string_view message,
                       std::string_view hint) {
    std::string text(where);
    if (!check_) {
        if (!hint.empty())
            text += "; " + std::string(hint);
        throw ShowError(scriptPlace(name_, line) + ": " + text + "\n" + std::string(message));
    }
    text += ": " + oneLine(message);
    if (!hint.empty())
        text += "; " + std::string(hint);
    check_->add(line, text);
}

void LoadReport::warning(int line, std::string_view text) {
    if (check_)
        check_->add(line, std::string(text));
    else
        debugLine("%s: warning: %.*s", scriptPlace(name_, line).c_str(), int(text.size()),
                  text.data());
}

void LoadReport::note(int line, std::string_view text) {
    if (check_)
        check_->add(line, std::string(text));
}

std::string oneLine(std::string_view message) {
    const size_t quote = message.find("... while compiling:");
    if (quote != std::string_view::npos)
        message = message.substr(0, quote);
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.remove_suffix(1);
    std::string text;
    for (char c : message) {
        if (c == '\n')
            text += " / ";
        else
            text += c;
    }
    return text;
}

// --- Values ---------------------------------------------------------------------------------

namespace {

struct Value {
    std::string text;
    int line = 0;
};

Value readValue(const ScriptText& script) {
    long offset = 0;
    Value value;
    value.text = readScriptLine(script.stream(), &offset);
    value.line = script.lineAt(offset);
    return value;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// The next line as a number, checked: a fault when it does not fit in 32 bits or holds a NUL
// byte (the value is then 0), a note when it has no digits.
int32_t readNumber(const ScriptText& script, LoadReport& report, const std::string& what,
                   int* lineNumber = nullptr) {
    const Value line = readValue(script);
    if (lineNumber)
        *lineNumber = line.line;
    const ScriptNumber number = parseScriptNumber(line.text);
    switch (number.form) {
    case NumberForm::Number:
        break;
    case NumberForm::NoDigits:
        report.note(line.line, what + ": " + quoted(line.text) + " is not a number; it reads as 0");
        break;
    case NumberForm::OutOfRange:
        report.fault(line.line, what,
                     "The number " + quoted(line.text) +
                         " does not fit in 32 bits (-2147483648 to 4294967295; -1 never ends)");
        break;
    case NumberForm::HoldsNul:
        report.fault(line.line, what, "The number line holds a NUL byte");
        break;
    }
    return number.value;
}

// The next line as text; a fault when it holds a NUL byte (which would cut a file name short).
std::string readText(const ScriptText& script, LoadReport& report, const std::string& what) {
    Value line = readValue(script);
    if (line.text.find('\0') != std::string::npos) {
        report.fault(line.line, what, "The line holds a NUL byte");
        line.text.resize(line.text.find('\0'));
    }
    return line.text;
}

std::string entryName(const std::string& keyword) { return "the entry " + quoted(keyword); }

// The entry's start and end time and its extra lines.
EntryValues readEntryValues(const ScriptText& script, LoadReport& report, const EffectFamily& row,
                            EntryLines& lines) {
    const std::string keyword(row.keyword);
    EntryValues values;
    values.start =
        readNumber(script, report, "the start time of " + entryName(keyword), &lines.start);
    values.end = readNumber(script, report, "the end time of " + entryName(keyword), &lines.end);
    for (const ExtraLine& extra : row.extraLines) {
        const std::string what = std::string(extra.meaning) + " of " + entryName(keyword);
        if (extra.number)
            values.numbers.push_back(readNumber(script, report, what));
        else
            values.texts.push_back(readText(script, report, what));
    }
    values.script = script.stream();
    return values;
}

// Effects are drawn while start < time < end, in whole milliseconds, compared unsigned.
bool canBeActive(const EntryValues& values) {
    return uint64_t(uint32_t(values.start)) + 1 < uint64_t(uint32_t(values.end));
}

// For an unknown keyword: when the entry before it reads extra lines, one of them may be missing.
std::string hintAfter(const EffectFamily* previous, int previousLine, bool previousMade) {
    if (!previous || (previous->extraLines.empty() && !previous->readsOwnLines))
        return {};
    std::string hint = "after its start and end time, the entry before it (" +
                       std::string(previous->keyword) + ", line " + std::to_string(previousLine) +
                       ") reads " + describeExtraLines(*previous) +
                       ": is a line missing there, or one too many?";
    if (previous->readsOwnLines && !previousMade)
        hint += " (that plug-in could not be loaded, so it read none of its lines)";
    return hint;
}

// A check goes on at the next line that is a known keyword.
std::optional<Value> skipToKnownKeyword(const ScriptText& script,
                                        std::span<const EffectFamily> families, std::string& hint) {
    const std::string separator = hint.empty() ? "" : "; ";
    try {
        for (;;) {
            Value line = readValue(script);
            if (findFamily(families, line.text)) {
                hint += separator + "going on from line " + std::to_string(line.line) + " (" +
                        line.text + ")";
                return line;
            }
        }
    } catch (const ScriptEnded&) {
        hint += separator + "no known keyword follows it";
        return std::nullopt;
    }
}

} // namespace

// --- Header and entries ---------------------------------------------------------------------

bool readScriptHeader(const ScriptText& script, LoadReport& report, ScriptHeader& header) {
    try {
        const Value music = readValue(script);
        header.musicFile = music.text;
        header.musicLine = music.line;
        if (music.text.find('\0') != std::string::npos)
            report.fault(music.line, "the music file name", "The line holds a NUL byte");
        header.startOffset = readNumber(script, report, "the start offset");
        header.entryCount = readNumber(script, report, "the entry count");
        if (report.check())
            report.check()->musicLine = music.line;
        return true;
    } catch (const ScriptEnded&) {
        report.fault(0, "the header",
                     script.name() +
                         " ends before its three header lines (music file, start offset, entry "
                         "count)");
        return false;
    }
}

namespace {

// One pass over the entries. A check goes on after an unknown keyword from the next line that is
// a known keyword, and after a failed entry with the next line.
class EntryLoop {
public:
    EntryLoop(const ScriptText& script, LoadReport& report, EntryBuilder& builder,
              const EntryRules& rules)
        : script_(script), report_(report), builder_(builder), rules_(rules),
          started_(Clock::now()) {}

    void run() {
        while (found_ || !scriptAtEnd(script_.stream())) {
            const Value keyword = found_ ? *found_ : readValue(script_);
            found_.reset();
            if (const EffectFamily* row = findFamily(rules_.families, keyword.text)) {
                if (!loadEntry(keyword, *row))
                    return;
            } else {
                found_ = unknownKeyword(keyword);
                if (!found_)
                    return;
            }
        }
    }

private:
    // The keyword line a check goes on from, if any.
    std::optional<Value> unknownKeyword(const Value& keyword) {
        std::string hint = hintAfter(previous_, previousLine_, previousMade_);
        std::optional<Value> found;
        if (report_.checking())
            found = skipToKnownKeyword(script_, rules_.families, hint);
        report_.fault(
            keyword.line, "the keyword line",
            formatText("Unknown entry '%s' in file, please correct", keyword.text.c_str()), hint);
        previous_ = nullptr;
        return found;
    }

    // False when the script ends before the entry's lines do.
    bool loadEntry(const Value& keyword, const EffectFamily& row) {
        const std::string name = entryName(keyword.text);
        const size_t problemsBefore = problemCount();
        EntryValues values;
        EntryLines lines;
        lines.keyword = keyword.line;
        try {
            values = readEntryValues(script_, report_, row, lines);
        } catch (const ScriptEnded&) {
            const std::string extras = describeExtraLines(row);
            report_.fault(keyword.line, name,
                          "The " + name.substr(4) + " is cut short: " + script_.name() +
                              " ends before all its lines (start time, end time" +
                              (extras.empty() ? "" : ", " + extras) + ")");
            return false;
        }
        if (ShowCheck* check = report_.check())
            check->entries.push_back({keyword.text, keyword.line, uint32_t(values.start),
                                      uint32_t(values.end), row.endsShow});
        const bool plugin = row.readsOwnLines && !values.texts.empty();
        if (plugin && report_.check()) {
            inspectPlugin(keyword.line, name, values.texts[0]);
            return true;
        }
        if (plugin && rules_.pluginsRefused) {
            report_.warning(keyword.line,
                            "the entry 'Plugin' is skipped (--no-plugins): " + values.texts[0]);
            passOverPluginLines();
            return true;
        }
        if (overBudget(keyword.line))
            return false;
        builder_.startEntry();
        // A value already reported stands for 0: no second message about the window.
        if (problemCount() == problemsBefore && !canBeActive(values))
            report_.warning(keyword.line,
                            formatText("%s (start %u, end %u) can never be active: no "
                                       "millisecond lies between its start and end",
                                       name.c_str(), uint32_t(values.start), uint32_t(values.end)));
        previousMade_ = make(name, row, values, lines);
        previous_ = &row;
        previousLine_ = keyword.line;
        return true;
    }

    // Makes the effect; false when it failed (a check notes why and goes on).
    bool make(const std::string& name, const EffectFamily& row, const EntryValues& values,
              EntryLines& lines) {
        const int line = lines.keyword;
        LoadNoteCollector notes;
        bool made = false;
        const auto begun = Clock::now();
        const TimedEntry timed{line, name};
        try {
            builder_.make(row, values);
            lines.last = script_.lineAt(std::ftell(script_.stream()) - 1);
            builder_.madeEntry(lines);
            made = true;
        } catch (const Interrupted&) {
            throw; // a stop signal ends a check too
        } catch (const ShaderErrors& errors) {
            // A check lists every message of every pass on a line of its own.
            if (report_.checking())
                for (const std::string& message : errors.messages())
                    report_.fault(line, name, message);
            else
                report_.fault(line, name, errors.what());
        } catch (const std::exception& error) {
            report_.fault(line, name, error.what());
        }
        noteTime(timed, secondsSince(begun));
        for (const std::string& note : notes.notes())
            report_.note(line, name + ": " + note);
        if (ShowCheck* check = report_.check())
            for (const std::string& warning : notes.warnings())
                check->warnings.push_back(scriptPlace(check->script, line) + ": warning: " + name +
                                          ": " + warning);
        return made;
    }

    // A check lists the plug-in with what its file is, without loading it: no code of the show
    // runs. The lines its Init would have read are passed over.
    void inspectPlugin(int line, const std::string& name, const std::string& libraryPath) {
        try {
            report_.check()->addPlugin(line, libraryPath, builder_.describePlugin(libraryPath));
        } catch (const Interrupted&) {
            throw;
        } catch (const std::exception& error) {
            report_.fault(line, name, error.what());
        }
        passOverPluginLines();
    }

    // The lines the plug-in would have read are passed over up to the next known keyword.
    void passOverPluginLines() {
        std::string passedOver;
        found_ = skipToKnownKeyword(script_, rules_.families, passedOver);
        previous_ = nullptr;
    }

    size_t problemCount() const { return report_.check() ? report_.check()->problems.size() : 0; }

    using Clock = std::chrono::steady_clock;
    struct TimedEntry {
        int line = 0;
        std::string name;
        double seconds = 0;
    };
    static constexpr size_t slowestKept = 3;

    static double secondsSince(Clock::time_point begun) {
        return std::chrono::duration<double>(Clock::now() - begun).count();
    }

    // Keeps the slowest entries so far, slowest first.
    void noteTime(TimedEntry timed, double seconds) {
        timed.seconds = seconds;
        const auto place = std::find_if(slowest_.begin(), slowest_.end(),
                                        [&](const auto& other) { return other.seconds < seconds; });
        if (size_t(place - slowest_.begin()) >= slowestKept)
            return;
        slowest_.insert(place, std::move(timed));
        if (slowest_.size() > slowestKept)
            slowest_.pop_back();
    }

    // A fault at the entry's line, which ends the load, once the entries have taken their time.
    bool overBudget(int line) {
        const double seconds = secondsSince(started_);
        if (seconds <= rules_.loadSeconds)
            return false;
        std::string slowest;
        for (const TimedEntry& timed : slowest_)
            slowest += formatText("%s%s %s (%.1f s)", slowest.empty() ? "" : ", ",
                                  scriptPlace(script_.name(), timed.line).c_str(),
                                  timed.name.c_str(), timed.seconds);
        report_.fault(line, "the load",
                      formatText("the entries before this one took %.2f s to load, longer than "
                                 "the %g s a load may take (--load-limit): it stops here; the "
                                 "slowest were %s",
                                 seconds, rules_.loadSeconds, slowest.c_str()));
        return true;
    }

    const ScriptText& script_;
    LoadReport& report_;
    EntryBuilder& builder_;
    const EntryRules& rules_;
    std::optional<Value> found_;             // a keyword line the loop skipped to
    const EffectFamily* previous_ = nullptr; // the entry before, for the unknown keyword's hint
    int previousLine_ = 0;
    bool previousMade_ = false;
    Clock::time_point started_;
    std::vector<TimedEntry> slowest_;
};

} // namespace

void readScriptEntries(const ScriptText& script, LoadReport& report, EntryBuilder& builder,
                       const EntryRules& rules) {
    EntryLoop(script, report, builder, rules).run();
}
