// Writes the manual page (section 6, roff) made from the program's --help text, so the two never
// disagree. Usage: makemanpage VERSION > morveldan.6
#include "app/CommandLine.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Text for roff: backslashes and dashes escaped, no line starting with a control character.
std::string escaped(const std::string& text) {
    std::string result;
    for (char c : text) {
        if (c == '\\')
            result += "\\e";
        else if (c == '-')
            result += "\\-";
        else
            result += c;
    }
    if (!result.empty() && (result[0] == '.' || result[0] == '\''))
        result.insert(0, "\\&");
    return result;
}

std::string trimmed(const std::string& line) {
    const size_t first = line.find_first_not_of(' ');
    return first == std::string::npos ? "" : line.substr(first);
}

// An option line is "  --name ARGS  description"; the description may be missing.
void writeOption(const std::string& line) {
    const std::string body = line.substr(2);
    const size_t gap = body.find("  ");
    const std::string term = body.substr(0, gap);
    const size_t space = term.find(' ');
    std::printf(".TP\n\\fB%s\\fR", escaped(term.substr(0, space)).c_str());
    if (space != std::string::npos)
        std::printf(" \\fI%s\\fR", escaped(term.substr(space + 1)).c_str());
    std::printf("\n");
    if (gap != std::string::npos)
        std::printf("%s\n", escaped(trimmed(body.substr(gap))).c_str());
}

} // namespace

int main(int argc, char** argv) {
    const std::string version = argc > 1 ? argv[1] : "";
    std::istringstream usage(usageText());
    std::vector<std::string> lines;
    for (std::string line; std::getline(usage, line);)
        lines.push_back(line);
    if (lines.empty() || lines[0].rfind("Usage: morveldan ", 0) != 0) {
        std::fputs("makemanpage: the usage text does not start with \"Usage: morveldan \"\n",
                   stderr);
        return 1;
    }
    std::printf(".TH MORVELDAN 6 \"\" \"morveldan %s\" \"Games\"\n", version.c_str());
    std::printf(".SH NAME\nmorveldan \\- a real-time audio-visual show\n");
    std::printf(".SH SYNOPSIS\n.B morveldan\n%s\n",
                escaped(lines[0].substr(std::string("Usage: morveldan ").size())).c_str());
    std::printf(".SH DESCRIPTION\n");
    size_t i = 1;
    for (; i < lines.size() && !lines[i].empty(); ++i)
        std::printf("%s\n", escaped(lines[i]).c_str());
    std::printf(".SH OPTIONS\n");
    bool paragraph = false; // the last line written belongs to an untitled paragraph
    for (; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty()) {
            paragraph = false;
        } else if (line.rfind("  -", 0) == 0) {
            writeOption(line);
            paragraph = false;
        } else if (line[0] == ' ') {
            std::printf("%s\n", escaped(trimmed(line)).c_str()); // more of an option's text
        } else {
            if (!paragraph)
                std::printf(".PP\n");
            std::printf("%s\n", escaped(line).c_str());
            paragraph = true;
        }
    }
    return std::ferror(stdout) ? 1 : 0;
}
