#include "author/ShowEntries.h"

#include "timeline/Show.h"

#include <algorithm>
#include <numeric>
#include <sstream>

namespace {

std::string trimmedEnd(std::string text) {
    while (!text.empty() && std::string_view(" \t\r\n").find(text.back()) != std::string::npos)
        text.pop_back();
    return text;
}

// The script's lines, from 1 (index 0 is empty), a byte-order mark left out.
std::vector<std::string> scriptLines(const std::string& scriptText) {
    std::vector<std::string> lines(1);
    std::istringstream in(scriptText);
    for (std::string line; std::getline(in, line);) {
        if (lines.size() == 1 && line.starts_with("\xEF\xBB\xBF"))
            line.erase(0, 3);
        lines.push_back(trimmedEnd(line));
    }
    return lines;
}

} // namespace

std::vector<ShowEntry> describeEntries(const Show& show, const std::string& scriptText) {
    const std::vector<std::string> lines = scriptLines(scriptText);
    std::vector<ShowEntry> entries(show.effects().size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const EntryLines& span = show.entries()[i].lines;
        ShowEntry& entry = entries[i];
        entry.keyword = std::string(show.entries()[i].family->keyword);
        entry.start = show.effects()[i]->startTime;
        entry.end = show.effects()[i]->endTime;
        entry.line = span.keyword;
        entry.startLine = span.start;
        entry.endLine = span.end;
        entry.lastLine = span.last;
        for (int line = span.end + 1; line <= span.last && line < int(lines.size()); ++line)
            if (lines[size_t(line)].empty() || lines[size_t(line)][0] != '#')
                entry.extraLines.push_back(lines[size_t(line)]);
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
