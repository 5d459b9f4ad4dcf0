#include "timeline/ScriptReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// A script stream holding exactly these bytes (NULs included).
std::unique_ptr<FILE, FileCloser> scriptOf(const std::string& bytes) {
    std::unique_ptr<FILE, FileCloser> file(std::tmpfile());
    std::fwrite(bytes.data(), 1, bytes.size(), file.get());
    std::rewind(file.get());
    return file;
}

TEST(ScriptReader, CommentsWhiteSpaceAndEmptyLines) {
    auto script = scriptOf("# comment\n"
                           "Tunnel\t \r\n"
                           "#another\n"
                           " # not a comment\n"
                           "   \n"
                           "\n"
                           "  lead\n");
    EXPECT_EQ(readScriptLine(script.get()), "Tunnel");
    EXPECT_EQ(readScriptLine(script.get()), " # not a comment");
    EXPECT_EQ(readScriptLine(script.get()), "");
    EXPECT_EQ(readScriptLine(script.get()), "");
    EXPECT_EQ(readScriptLine(script.get()), "  lead");
    EXPECT_THROW(readScriptLine(script.get()), ScriptEnded);
    // At the end it keeps saying so; no earlier line comes back.
    EXPECT_THROW(readScriptLine(script.get()), ScriptEnded);
}

TEST(ScriptReader, LongLinesAreReadInPartsOf1023Characters) {
    const std::string value(1500, 'a');
    const std::string comment = "#" + std::string(2000, 'c');
    auto script = scriptOf(value + "\n" + comment + "\nnext");
    EXPECT_EQ(readScriptLine(script.get()), std::string(1023, 'a'));
    EXPECT_EQ(readScriptLine(script.get()), std::string(477, 'a'));
    // The whole long comment is skipped, not only its first part.
    EXPECT_EQ(readScriptLine(script.get()), "next");
}

TEST(ScriptReader, NumbersConvertLikeAtoi) {
    auto script = scriptOf("42\n  -1\n+7x\n12abc\nabc\n\n-2147483648\n");
    for (int expected : {42, -1, 7, 12, 0, 0, INT32_MIN})
        EXPECT_EQ(readScriptNumber(script.get()), expected);
    EXPECT_THROW(readScriptNumber(script.get()), ScriptEnded);
}

TEST(ScriptReader, EndIsOnlyBlankAndCommentLines) {
    auto trailing = scriptOf("last\n\n  \t\r\n# done\n#" + std::string(3000, 'x') + "\n\n");
    readScriptLine(trailing.get());
    EXPECT_TRUE(scriptAtEnd(trailing.get()));

    // Content after blank and comment lines: not the end, and the stream stays where it was.
    auto more = scriptOf("\n# note\n  \nTunnel\n");
    EXPECT_FALSE(scriptAtEnd(more.get()));
    EXPECT_EQ(readScriptLine(more.get()), "");

    // A comment part longer than a buffer hides a value-looking tail; a value part that starts
    // with '#' after a full first part is a comment, as readScriptLine treats it.
    auto longComment = scriptOf("#" + std::string(1100, ' ') + "Tunnel\n");
    EXPECT_TRUE(scriptAtEnd(longComment.get()));
    auto blankThenHash = scriptOf(std::string(1023, ' ') + "# tail\n");
    EXPECT_TRUE(scriptAtEnd(blankThenHash.get()));

    auto empty = scriptOf("");
    EXPECT_TRUE(scriptAtEnd(empty.get()));
}

TEST(ScriptReader, NulBytesAreValuesNotBlankLines) {
    auto script = scriptOf(std::string("\0Tunnel\n", 8));
    EXPECT_FALSE(scriptAtEnd(script.get()));
    EXPECT_EQ(readScriptLine(script.get()), "");
    EXPECT_TRUE(scriptAtEnd(script.get()));
}

} // namespace
