#pragma once
// The script's bytes as the author wrote them, and the edits the timeline strip makes to them:
// an entry's times, a copy of its lines, its removal, the entry count. Each edit changes only
// the lines it must; comments, blank lines, line ends (LF or CR-LF), a byte-order mark and every
// other byte stay as they were.

#include <cstdint>
#include <string>
#include <vector>

class ScriptDocument {
public:
    ScriptDocument() = default;
    explicit ScriptDocument(const std::string& bytes);

    std::string bytes() const;
    // The text of a line (from 1), without its line end or, on line 1, a byte-order mark.
    std::string lineText(int line) const;
    int lineCount() const { return int(lines_.size()); }

    // Puts the number in place of the first number on the line (an optional sign and digits);
    // a line without one is given the number alone. A time of 4294967295 is written -1.
    void setNumber(int line, uint32_t value);
    // Adds the number to the entry count, the third value line.
    void addToEntryCount(int change);
    // A copy of lines first..last put right after `last`; returns the copy's first line.
    int copyLines(int first, int last);
    void removeLines(int first, int last);

private:
    struct Line {
        std::string text;
        std::string end; // "\n", "\r\n" or "" (the last line, without an end)
    };
    std::string byteOrderMark_;
    std::vector<Line> lines_;

    std::string usualEnd() const;
};
