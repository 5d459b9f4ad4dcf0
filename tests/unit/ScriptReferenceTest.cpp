// The author's reference, docs/script.md, has one section per keyword of the effect table, headed
// "### `Keyword`", and no section for a keyword the table does not know; it names every fixed
// data file the program reads.
#include "effects/EffectFamily.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

std::set<std::string> keywordHeadings(const std::string& path) {
    std::set<std::string> headings;
    std::ifstream file(path);
    const std::string prefix = "### `";
    for (std::string line; std::getline(file, line);)
        if (line.rfind(prefix, 0) == 0 && line.size() > prefix.size() + 1 && line.back() == '`')
            headings.insert(line.substr(prefix.size(), line.size() - prefix.size() - 1));
    return headings;
}

TEST(ScriptReference, HasASectionForEveryKeywordAndNoOther) {
    const std::set<std::string> documented =
        keywordHeadings(MORVELDAN_SOURCE_DIR "/docs/script.md");
    std::set<std::string> known;
    for (const EffectFamily& family : effectFamilies())
        known.insert(std::string(family.keyword));
    ASSERT_FALSE(known.empty());
    for (const std::string& keyword : known)
        EXPECT_TRUE(documented.count(keyword)) << "docs/script.md has no section for " << keyword;
    for (const std::string& heading : documented)
        EXPECT_TRUE(known.count(heading))
            << "docs/script.md documents an unknown keyword " << heading;
}

// The table at the head of the keywords, one row a family: its keyword, its extra lines and what it
// draws, as the table of families has them (the same words as --help).
std::string keywordTable() {
    std::string table = "| Keyword | Extra lines | What it draws |\n|---|---|---|\n";
    for (const EffectFamily& family : effectFamilies()) {
        const std::string extra = describeExtraLines(family);
        table += "| `" + std::string(family.keyword) + "` | " + (extra.empty() ? "none" : extra) +
                 " | " + std::string(family.summary) + " |\n";
    }
    return table;
}

TEST(ScriptReference, OpensTheKeywordsWithTheTableOfFamilies) {
    std::ifstream reference(MORVELDAN_SOURCE_DIR "/docs/script.md");
    std::stringstream documented;
    documented << reference.rdbuf();
    EXPECT_NE(documented.str().find(keywordTable()), std::string::npos)
        << "docs/script.md should hold, under \"## Keywords\":\n"
        << keywordTable();
}

TEST(ScriptReference, NamesEveryFixedDataFileTheProgramReads) {
    std::ifstream reference(MORVELDAN_SOURCE_DIR "/docs/script.md");
    std::stringstream documented;
    documented << reference.rdbuf();
    const std::regex quotedDataPath("\"(data/[A-Za-z0-9_./-]+)\"");
    size_t paths = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(MORVELDAN_SOURCE_DIR "/src")) {
        std::ifstream source(entry.path());
        std::stringstream code;
        code << source.rdbuf();
        const std::string text = code.str();
        for (std::sregex_iterator match(text.begin(), text.end(), quotedDataPath), end;
             match != end; ++match, ++paths) {
            const std::string name = std::filesystem::path((*match)[1].str()).filename();
            EXPECT_NE(documented.str().find(name), std::string::npos)
                << (*match)[1] << " (" << entry.path().filename() << ") is not in docs/script.md";
        }
    }
    EXPECT_GT(paths, 50u);
}

} // namespace
