// The author's reference, docs/script.md, has one section per keyword of the effect table, headed
// "### `Keyword`", and no section for a keyword the table does not know.
#include "timeline/ScriptKeywords.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
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
    for (const ScriptKeyword& row : scriptKeywords())
        known.insert(std::string(row.keyword));
    ASSERT_FALSE(known.empty());
    for (const std::string& keyword : known)
        EXPECT_TRUE(documented.count(keyword)) << "docs/script.md has no section for " << keyword;
    for (const std::string& heading : documented)
        EXPECT_TRUE(known.count(heading))
            << "docs/script.md documents an unknown keyword " << heading;
}

} // namespace
