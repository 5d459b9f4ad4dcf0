#pragma once
// The loading loop of the timeline script, without anything drawn: header lines, entries, their
// extra lines and the checks on their values. A run stops at the first fault with a message that
// names the file and line; a check (morveldan --check) notes every problem and goes on.

#include "effects/EffectFamily.h"
#include "timeline/ScriptReader.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// How long a show's entries may take to load by default (--load-limit changes it).
constexpr double loadBudgetSeconds = 30;

// What a check found, one line each ("data/demo.txt:12: ..."), and the entries it read.
struct ShowCheck {
    struct Entry {
        std::string keyword;
        int line = 0;
        uint32_t start = 0, end = 0;
        bool endsShow = false; // its family's entries end the show at their start
    };
    std::string script; // the script's file name
    std::vector<std::string> problems;
    std::vector<std::string> warnings; // printed, but the check still passes
    std::vector<std::string> notes;    // what the check measured, printed first
    std::vector<Entry> entries;        // every entry with a known keyword, made or not
    // "<script>:<line>: plug-in <file>: <what it is>", one per Plugin entry
    std::vector<std::string> plugins;
    int musicLine = 0; // the line naming the music file (0 when there is none)

    // Adds "<script>:<line>: <text>" (the script alone for line 0).
    void add(int line, const std::string& text);
    // Lists the library a Plugin entry loads, by its absolute path, and what the file is.
    void addPlugin(int line, const std::string& libraryPath, const std::string& description);
};

// "<file>:<line>", or the file alone for line 0.
std::string scriptPlace(const std::string& file, int line);

// Where loading reports. Without a check, a fault throws ShowError("<file>:<line>: <where>[;
// <hint>]\n<message>"), a warning is printed and a note (something a check mentions but a run
// accepts, such as a number line without digits) is dropped. With a check, all three are added
// to its problems and loading goes on.
class LoadReport {
public:
    LoadReport(std::string scriptName, ShowCheck* check);

    bool checking() const { return check_ != nullptr; }
    ShowCheck* check() const { return check_; }
    void fault(int line, std::string_view where, std::string_view message,
               std::string_view hint = {});
    void warning(int line, std::string_view text);
    void note(int line, std::string_view text);

private:
    std::string name_;
    ShowCheck* check_;
};

struct ScriptHeader {
    std::string musicFile;
    int musicLine = 0; // the line naming it
    int32_t startOffset = 0;
    int32_t entryCount = 0;
};

// The lines of one script entry: its keyword's, its times', and the last line it read (a
// plug-in's own lines included).
struct EntryLines {
    int keyword = 0, start = 0, end = 0, last = 0;
};

// Makes the effects of the entries the loop reads.
class EntryBuilder {
public:
    virtual ~EntryBuilder() = default;
    // Called for every entry whose keyword is known, once its times are read.
    virtual void startEntry() {}
    // Makes the entry's effect; throws (ShowError or another std::exception) when it cannot.
    virtual void make(const EffectFamily& family, const EntryValues& values) = 0;
    // After the effect was made: the lines of its entry.
    virtual void madeEntry(const EntryLines& /*lines*/) {}
    // What a plug-in's file is, read without loading it ("an ELF shared object for x86-64,
    // exporting Init and Draw"); throws when it could not be loaded. A check asks this instead
    // of loading the plug-in.
    virtual std::string describePlugin(const std::string& path) = 0;
};

// What the loop knows of keywords: the families, and whether Plugin entries are skipped
// (--no-plugins) rather than loaded.
struct EntryRules {
    std::span<const EffectFamily> families = effectFamilies();
    bool pluginsRefused = false;
    // The longest the entries may take to load together: the entry reached after that is a
    // fault that ends the load (a check's too), naming the slowest entries.
    double loadSeconds = loadBudgetSeconds;
};

// Reads the three header lines. False (after a fault) when the script ends before them.
bool readScriptHeader(const ScriptText& script, LoadReport& report, ScriptHeader& header);

// Reads every entry up to the end of the script and hands each to the builder.
void readScriptEntries(const ScriptText& script, LoadReport& report, EntryBuilder& builder,
                       const EntryRules& rules = {});

// A message on one line: the source a shader compiler's message quotes is left out, and line
// breaks become " / ".
std::string oneLine(std::string_view message);
