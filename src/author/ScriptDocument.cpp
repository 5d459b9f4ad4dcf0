#include "author/ScriptDocument.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string numberText(uint32_t value) {
    return value == UINT32_MAX ? "-1" : std::to_string(value);
}

} // namespace

ScriptDocument::ScriptDocument(const std::string& bytes) {
    std::string_view rest = bytes;
    if (rest.substr(0, byteOrderMark.size()) == byteOrderMark) {
        byteOrderMark_ = byteOrderMark;
        rest.remove_prefix(byteOrderMark.size());
    }
    while (!rest.empty()) {
        const size_t newline = rest.find('\n');
        if (newline == std::string_view::npos) {
            lines_.push_back({std::string(rest), ""});
            break;
        }
        const bool crlf = newline > 0 && rest[newline - 1] == '\r';
        lines_.push_back(
            {std::string(rest.substr(0, crlf ? newline - 1 : newline)), crlf ? "\r\n" : "\n"});
        rest.remove_prefix(newline + 1);
    }
}

std::string ScriptDocument::bytes() const {
    std::string bytes = byteOrderMark_;
    for (const Line& line : lines_)
        bytes += line.text + line.end;
    return bytes;
}

std::string ScriptDocument::lineText(int line) const {
    return line >= 1 && line <= lineCount() ? lines_[size_t(line - 1)].text : std::string();
}

void ScriptDocument::setNumber(int line, uint32_t value) {
    if (line < 1 || line > lineCount())
        return;
    std::string& text = lines_[size_t(line - 1)].text;
    size_t first = 0;
    while (first < text.size() && !isDigit(text[first]))
        ++first;
    if (first == text.size()) {
        text = numberText(value);
        return;
    }
    if (first > 0 && (text[first - 1] == '-' || text[first - 1] == '+'))
        --first;
    size_t last = first + 1;
    while (last < text.size() && isDigit(text[last]))
        ++last;
    text.replace(first, last - first, numberText(value));
}

void ScriptDocument::addToEntryCount(int change) {
    int valueLines = 0;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (!lines_[i].text.empty() && lines_[i].text[0] == '#')
            continue;
        if (++valueLines < 3)
            continue;
        const std::string& text = lines_[i].text;
        const long count = std::strtol(text.c_str(), nullptr, 10);
        setNumber(int(i + 1), uint32_t(std::max(0L, count + change)));
        return;
    }
}

std::string ScriptDocument::usualEnd() const {
    return !lines_.empty() && lines_.front().end == "\r\n" ? "\r\n" : "\n";
}

int ScriptDocument::copyLines(int first, int last) {
    if (first < 1 || last > lineCount() || first > last)
        return 0;
    std::vector<Line> copy(lines_.begin() + first - 1, lines_.begin() + last);
    if (lines_[size_t(last - 1)].end.empty()) { // the file's last line gets a line end
        lines_[size_t(last - 1)].end = usualEnd();
        copy.back().end.clear();
    }
    lines_.insert(lines_.begin() + last, copy.begin(), copy.end());
    return last + 1;
}

void ScriptDocument::removeLines(int first, int last) {
    if (first < 1 || last > lineCount() || first > last)
        return;
    lines_.erase(lines_.begin() + first - 1, lines_.begin() + last);
}
