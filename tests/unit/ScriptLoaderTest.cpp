// The loading loop on malformed scripts: a run stops at the first fault naming file and line, a
// check reports every problem and goes on.
#include "timeline/ScriptLoader.h"
#include "effects/EffectFamily.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/LoadNotes.h"

#include <gtest/gtest.h>

#include <set>

#include <string>
#include <vector>

namespace {

// Stands for the effect factory: records what it is asked to make. An image path
// "missing.png" fails as a constructor does, "faint.png" leaves a note as an unreadable image
// does; a Plugin's "plug-in" reads one line as plug-ins do.
class RecordingBuilder : public EntryBuilder {
public:
    std::string describePlugin(const std::string&) override { return "not read"; }

    void make(const EffectFamily& row, const EntryValues& values) override {
        if (!values.texts.empty() && values.texts[0] == "missing.png")
            raise("Unable to open %s", values.texts[0].c_str());
        if (!values.texts.empty() && values.texts[0] == "faint.png")
            noteLoadProblem("Unable to read image faint.png");
        if (row.readsOwnLines) {
            char line[256] = "";
            if (std::fgets(line, sizeof line, values.script))
                pluginLines.push_back(line);
        }
        made.push_back(std::string(row.keyword) + " " + std::to_string(values.start) + " " +
                       std::to_string(values.end));
    }
    std::vector<std::string> made;
    std::vector<std::string> pluginLines;
};

// The text of the fault that stops a run, or "" when the script loads.
std::string runFault(const std::string& bytes, RecordingBuilder& builder) {
    const ScriptText script("demo.txt", bytes);
    LoadReport report("demo.txt", nullptr);
    try {
        ScriptHeader header;
        if (readScriptHeader(script, report, header))
            readScriptEntries(script, report, builder);
    } catch (const ShowError& error) {
        return error.what();
    }
    return "";
}

ShowCheck checkScript(const std::string& bytes, RecordingBuilder& builder) {
    const ScriptText script("demo.txt", bytes);
    ShowCheck check;
    LoadReport report("demo.txt", &check);
    ScriptHeader header;
    if (readScriptHeader(script, report, header))
        readScriptEntries(script, report, builder);
    return check;
}

} // namespace

TEST(ScriptLoader, ARunStopsAtTheFirstFaultNamingItsLine) {
    const std::string seedHint =
        "after its start and end time, the entry before it (Plasma2D, "
        "line 4) reads the seed: is a line missing there, or one too many?";
    const struct {
        const char* what;
        std::string script;
        std::string fault;
    } cases[] = {
        {"missing seed", "m.ogg\n0\n2\nPlasma2D\n75000\n82500\nTunnel\n75000\n82500\n",
         "demo.txt:8: the keyword line; " + seedHint +
             "\nUnknown entry '75000' in file, please correct"},
        {"comments and CR-LF do not shift the count",
         "# a\r\nm.ogg\r\n0\r\n1\r\n# b\r\n tunnel\r\n0\r\n10\r\n",
         "demo.txt:6: the keyword line\nUnknown entry ' tunnel' in file, please correct"},
        {"a byte-order mark and a long line",
         "\xEF\xBB\xBFm.ogg\n0\n1\nTunnel\n0\n10\n" + std::string(1500, 'x') + "\n",
         "demo.txt:7: the keyword line\nUnknown entry '" + std::string(1023, 'x') +
             "' in file, please correct"},
        {"cut short", "m.ogg\n0\n1\nShaderShow\n0\n10\nshader.fs\n# end\n",
         "demo.txt:4: the entry 'ShaderShow'\nThe entry 'ShaderShow' is cut short: demo.txt ends "
         "before all its lines (start time, end time, the fragment shader path and the image "
         "path)"},
        {"end beyond 32 bits", "m.ogg\n0\n1\nTunnel\n0\n99999999999\n",
         "demo.txt:6: the end time of the entry 'Tunnel'\nThe number '99999999999' does not fit "
         "in 32 bits (-2147483648 to 4294967295; -1 never ends)"},
        {"NUL in a number",
         std::string("m.ogg\n0\n1\nTunnel\n1\0"
                     "2\n5\n",
                     21),
         "demo.txt:5: the start time of the entry 'Tunnel'\nThe number line holds a NUL byte"},
        {"NUL in a path", std::string("m.ogg\n0\n1\nAlphaBlendImage\n0\n9\na\0b\nUP\n", 35),
         "demo.txt:7: the image path of the entry 'AlphaBlendImage'\nThe line holds a NUL byte"},
        {"constructor fails", "m.ogg\n0\n2\nTunnel\n0\n5\nAlphaBlendImage\n0\n9\nmissing.png\nUP\n",
         "demo.txt:7: the entry 'AlphaBlendImage'\nUnable to open missing.png"},
        {"start offset beyond 32 bits", "m.ogg\n5000000000\n1\n",
         "demo.txt:2: the start offset\nThe number '5000000000' does not fit in 32 bits "
         "(-2147483648 to 4294967295; -1 never ends)"},
        {"header cut short", "m.ogg\n0\n",
         "demo.txt: the header\ndemo.txt ends before its three header lines (music file, start "
         "offset, entry count)"},
        {"clean, with -1 and 4294967295 as never ending",
         "m.ogg\n0\n2\nTunnel\n0\n-1\nBrum\n10\n4294967295\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingBuilder builder;
        EXPECT_EQ(runFault(c.script, builder), c.fault);
    }
}

TEST(ScriptLoader, EntriesThatCanNeverBeActiveAreWarnedAboutOnceAndStillLoaded) {
    RecordingBuilder builder;
    setDebugOutput(true);
    testing::internal::CaptureStderr();
    const std::string fault = runFault("m.ogg\n0\n6\n"
                                       "Tunnel\n500\n500\n"
                                       "Brum\n500\n501\n"
                                       "Zoomba\n900\n100\n"
                                       "Solaris\n-1\n-1\n"
                                       "Zoombb\n500\n502\n"
                                       "Banger\n0\n-1\n",
                                       builder);
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(fault, "");
    EXPECT_EQ(builder.made.size(), 6u);
    EXPECT_EQ(warnings,
              "demo.txt:4: warning: the entry 'Tunnel' (start 500, end 500) can never be active: "
              "no millisecond lies between its start and end\n"
              "demo.txt:7: warning: the entry 'Brum' (start 500, end 501) can never be active: no "
              "millisecond lies between its start and end\n"
              "demo.txt:10: warning: the entry 'Zoomba' (start 900, end 100) can never be active: "
              "no millisecond lies between its start and end\n"
              "demo.txt:13: warning: the entry 'Solaris' (start 4294967295, end 4294967295) can "
              "never be active: no millisecond lies between its start and end\n");
}

TEST(ScriptLoader, ACheckReportsEveryProblemAndGoesOnFromTheNextKeyword) {
    RecordingBuilder builder;
    const ShowCheck check = checkScript("m.ogg\nsoon\n9\n"                         // 1-3
                                        "Plasma2D\n0\n100\n"                       // 4-6: no seed
                                        "Tunnel\n0\n100\n"                         // 7-9
                                        "Plugin\n0\n100\nlib.so\nparameter\n"      // 10-14
                                        "Bogus\n1\n2\nUP\n"                        // 15-18
                                        "Brum\n5\n99999999999\n"                   // 19-21
                                        "AlphaBlendImage\n0\n9\nmissing.png\nUP\n" // 22-26
                                        "AlphaBlendImage\n0\n9\nfaint.png\nUP\n"   // 27-31
                                        "Stroboskop\n7\n7\n"                       // 32-34
                                        "Unknown\n0\n1\n"                          // 35-37
                                        ,
                                        builder);
    const std::vector<std::string> expected = {
        "demo.txt:2: the start offset: 'soon' is not a number; it reads as 0",
        "demo.txt:7: the seed of the entry 'Plasma2D': 'Tunnel' is not a number; it reads as 0",
        "demo.txt:8: the keyword line: Unknown entry '0' in file, please correct; after its start "
        "and end time, the entry before it (Plasma2D, line 4) reads the seed: is a line missing "
        "there, or one too many?; going on from line 10 (Plugin)",
        "demo.txt:21: the end time of the entry 'Brum': The number '99999999999' does not fit in "
        "32 bits (-2147483648 to 4294967295; -1 never ends)",
        "demo.txt:22: the entry 'AlphaBlendImage': Unable to open missing.png",
        "demo.txt:27: the entry 'AlphaBlendImage': Unable to read image faint.png",
        "demo.txt:32: the entry 'Stroboskop' (start 7, end 7) can never be active: no millisecond "
        "lies between its start and end",
        "demo.txt:35: the keyword line: Unknown entry 'Unknown' in file, please correct; no known "
        "keyword follows it",
    };
    EXPECT_EQ(check.problems, expected);
    // A check lists the plug-in without loading it, and passes over its lines to the next known
    // keyword.
    EXPECT_EQ(builder.made, (std::vector<std::string>{"Plasma2D 0 100", "Brum 5 0",
                                                      "AlphaBlendImage 0 9", "Stroboskop 7 7"}));
    EXPECT_TRUE(builder.pluginLines.empty());
    ASSERT_EQ(check.plugins.size(), 1u);
    EXPECT_TRUE(check.plugins[0].starts_with("demo.txt:10: plug-in /")) << check.plugins[0];
    EXPECT_TRUE(check.plugins[0].ends_with("/lib.so: not read")) << check.plugins[0];
    ASSERT_EQ(check.entries.size(), 6u);
    EXPECT_EQ(check.entries[1].keyword, "Plugin");
    EXPECT_EQ(check.entries[1].line, 10);
    EXPECT_EQ(check.musicLine, 1);
}

TEST(ScriptLoader, EveryFamilyHasOneRowWithAMakerAndASummary) {
    std::set<std::string_view> keywords;
    for (const EffectFamily& family : effectFamilies()) {
        EXPECT_TRUE(keywords.insert(family.keyword).second) << family.keyword << " twice";
        EXPECT_NE(family.make, nullptr) << family.keyword;
        EXPECT_FALSE(family.summary.empty()) << family.keyword;
        EXPECT_EQ(findFamily(effectFamilies(), family.keyword), &family);
    }
    EXPECT_EQ(keywords.size(), 34u);
    EXPECT_EQ(findFamily(effectFamilies(), "tunnel"), nullptr) << "keywords are exact";
}
