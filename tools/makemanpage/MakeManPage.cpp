// Writes the manual page (section 6, roff): the hand-written manual in morveldan.6.in with the
// version and every option filled in from the program's --help text, so the two never disagree.
// Usage: makemanpage VERSION morveldan.6.in > morveldan.6
#include "app/CommandLine.h"

#include <cstdio>
#include <fstream>
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
std::string option(const std::string& line) {
    const std::string body = line.substr(2);
    const size_t gap = body.find("  ");
    const std::string term = body.substr(0, gap);
    const size_t space = term.find(' ');
    std::string roff = ".TP\n\\fB" + escaped(term.substr(0, space)) + "\\fR";
    if (space != std::string::npos)
        roff += " \\fI" + escaped(term.substr(space + 1)) + "\\fR";
    roff += "\n";
    if (gap != std::string::npos)
        roff += escaped(trimmed(body.substr(gap))) + "\n";
    return roff;
}

// The options of the usage text, from the blank line after its description up to its keys; the
// lines between groups of options become paragraphs of their own.
std::string options(const std::vector<std::string>& lines) {
    size_t i = 1;
    while (i < lines.size() && !lines[i].empty())
        ++i;
    std::string roff;
    bool paragraph = false; // the last line written belongs to an untitled paragraph
    for (; i < lines.size() && lines[i].rfind("Keys:", 0) != 0; ++i) {
        const std::string& line = lines[i];
        if (line.empty()) {
            paragraph = false;
        } else if (line.rfind("  -", 0) == 0) {
            roff += option(line);
            paragraph = false;
        } else if (line[0] == ' ') {
            roff += escaped(trimmed(line)) + "\n"; // more of an option's text
        } else {
            if (!paragraph)
                roff += ".PP\n";
            roff += escaped(line) + "\n";
            paragraph = true;
        }
    }
    // Drop the newline: the template's line ends the last one.
    if (!roff.empty())
        roff.pop_back();
    return roff;
}

void replace(std::string& text, const std::string& marker, const std::string& by) {
    for (size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + by.size()))
        text.replace(at, marker.size(), by);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: makemanpage VERSION morveldan.6.in > morveldan.6\n", stderr);
        return 1;
    }
    std::ifstream templateFile(argv[2], std::ios::binary);
    std::ostringstream manual;
    manual << templateFile.rdbuf();
    if (!templateFile) {
        std::fprintf(stderr, "makemanpage: unable to read %s\n", argv[2]);
        return 1;
    }
    std::istringstream usage(usageText());
    std::vector<std::string> lines;
    for (std::string line; std::getline(usage, line);)
        lines.push_back(line);
    if (lines.empty() || lines[0].rfind("Usage: morveldan ", 0) != 0) {
        std::fputs("makemanpage: the usage text does not start with \"Usage: morveldan \"\n",
                   stderr);
        return 1;
    }
    std::string text = manual.str();
    replace(text, "@VERSION@", argv[1]);
    replace(text, "@OPTIONS@", options(lines));
    std::fputs(text.c_str(), stdout);
    return std::ferror(stdout) ? 1 : 0;
}
