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

TEST(ScriptReader, NumbersConvertLikeAtoiWithinThirtyTwoBits) {
    auto script = scriptOf("42\n  -1\n+7x\n12abc\nabc\n\n-2147483648\n");
    for (int expected : {42, -1, 7, 12, 0, 0, INT32_MIN})
        EXPECT_EQ(readScriptNumber(script.get()), expected);
    EXPECT_THROW(readScriptNumber(script.get()), ScriptEnded);

    const struct {
        std::string line;
        NumberForm form;
        int32_t value;
    } cases[] = {
        {"4294967295", NumberForm::Number, -1}, // the unsigned spelling of "never ends"
        {"3000000000", NumberForm::Number, int32_t(3000000000u)},
        {"4294967296", NumberForm::OutOfRange, 0},
        {"99999999999", NumberForm::OutOfRange, 0}, // once wrapped to 1215752191
        {"-2147483649", NumberForm::OutOfRange, 0},
        {"-99999999999999999999999", NumberForm::OutOfRange, 0},
        {std::string("12\0"
                     "34",
                     5),
         NumberForm::HoldsNul, 0},
        {" \t", NumberForm::NoDigits, 0},
        {"-", NumberForm::NoDigits, 0},
    };
    for (const auto& c : cases) {
        const ScriptNumber number = parseScriptNumber(c.line);
        EXPECT_EQ(number.form, c.form) << c.line;
        EXPECT_EQ(number.value, c.value) << c.line;
    }
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
    EXPECT_EQ(readScriptLine(script.get()), std::string("\0Tunnel", 7));
    EXPECT_TRUE(scriptAtEnd(script.get()));
}

TEST(ScriptText, DropsTheByteOrderMarkAndCarriageReturnsAndKnowsTheLines) {
    const ScriptText text("demo.txt", "\xEF\xBB\xBF# first\r\nm.ogg\r\n\r\nlone\rcr\nlast");
    long offset = 0;
    EXPECT_EQ(readScriptLine(text.stream(), &offset), "m.ogg");
    EXPECT_EQ(text.lineAt(offset), 2);
    // What a plug-in reading the stream itself gets: no carriage return before the line feed.
    char raw[64];
    ASSERT_NE(std::fgets(raw, sizeof raw, text.stream()), nullptr);
    EXPECT_STREQ(raw, "\n");
    EXPECT_EQ(text.currentLine(), 4);
    EXPECT_EQ(readScriptLine(text.stream(), &offset), "lone\rcr");
    EXPECT_EQ(readScriptLine(text.stream(), &offset), "last");
    EXPECT_EQ(text.lineAt(offset), 5);
    // Only a mark at the very start is dropped.
    const ScriptText later("demo.txt", "a\n\xEF\xBB\xBF");
    readScriptLine(later.stream());
    EXPECT_EQ(readScriptLine(later.stream()), "\xEF\xBB\xBF");
}

} // namespace
