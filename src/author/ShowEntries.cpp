#include "author/ShowEntries.h"

#include <algorithm>
#include <numeric>
#include <sstream>

namespace {

struct ValueLine {
    int number;
    std::string text;
};

std::string trimmedEnd(std::string text) {
    while (!text.empty() && std::string_view(" \t\r\n").find(text.back()) != std::string::npos)
        text.pop_back();
    return text;
}

std::vector<ValueLine> valueLines(const std::string& scriptText) {
    std::vector<ValueLine> lines;
    std::istringstream in(scriptText);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        if (++number == 1 && line.starts_with("\xEF\xBB\xBF"))
            line.erase(0, 3); // a byte-order mark
        if (line.empty() || line[0] != '#')
            lines.push_back({number, trimmedEnd(line)});
    }
    // Blank lines after the last entry are not part of it.
    while (!lines.empty() && lines.back().text.empty())
        lines.pop_back();
    return lines;
}

constexpr size_t headerLines = 3;
constexpr size_t timeLines = 2;

} // namespace

std::vector<ShowEntry> describeEntries(const std::string& scriptText, const EffectList& effects,
                                       const std::vector<std::string>& keywords) {
    const std::vector<ValueLine> lines = valueLines(scriptText);
    std::vector<ShowEntry> entries(effects.size());
    std::vector<size_t> found; // index into lines of each entry's keyword, while they are found
    size_t cursor = headerLines;
    for (size_t i = 0; i < effects.size(); ++i) {
        entries[i].keyword = i < keywords.size() ? keywords[i] : std::string();
        entries[i].start = effects[i]->startTime;
        entries[i].end = effects[i]->endTime;
        if (found.size() != i)
            continue;
        while (cursor < lines.size() && lines[cursor].text != entries[i].keyword)
            ++cursor;
        if (cursor >= lines.size())
            continue;
        if (cursor + timeLines >= lines.size())
            continue;
        entries[i].line = lines[cursor].number;
        entries[i].startLine = lines[cursor + 1].number;
        entries[i].endLine = entries[i].lastLine = lines[cursor + 2].number;
        found.push_back(cursor);
        cursor += 1 + timeLines;
    }
    for (size_t i = 0; i < found.size(); ++i) {
        const size_t first = found[i] + 1 + timeLines;
        const size_t next = i + 1 < found.size() ? found[i + 1] : lines.size();
        for (size_t at = first; at < next && at < lines.size(); ++at) {
            entries[i].extraLines.push_back(lines[at].text);
            entries[i].lastLine = lines[at].number;
        }
    }
    return entries;
}

int packRows(std::vector<ShowEntry>& entries) {
    std::vector<size_t> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return entries[a].start < entries[b].start; });
    std::vector<uint32_t> rowEnds; // where the last entry of each row ends
    for (const size_t index : order) {
        ShowEntry& entry = entries[index];
        const uint32_t end = std::max(entry.end, entry.start);
        size_t row = 0;
        while (row < rowEnds.size() && rowEnds[row] > entry.start)
            ++row;
        if (row == rowEnds.size())
            rowEnds.push_back(end);
        else
            rowEnds[row] = end;
        entry.row = int(row);
    }
    return int(rowEnds.size());
}
