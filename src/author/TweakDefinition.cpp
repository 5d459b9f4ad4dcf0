#include "author/TweakDefinition.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace {

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::optional<double> number(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

TweakDefinition parseTweakDefinition(const std::string& definition) {
    TweakDefinition parsed;
    size_t at = 0;
    while (at < definition.size()) {
        while (at < definition.size() && isBlank(definition[at]))
            ++at;
        const size_t keyStart = at;
        while (at < definition.size() && definition[at] != '=' && !isBlank(definition[at]))
            ++at;
        const std::string key = lowerCase(definition.substr(keyStart, at - keyStart));
        if (at >= definition.size() || definition[at] != '=')
            continue;
        ++at;
        std::string value;
        if (at < definition.size() && (definition[at] == '\'' || definition[at] == '"')) {
            const char quote = definition[at++];
            const size_t close = definition.find(quote, at);
            const size_t end = close == std::string::npos ? definition.size() : close;
            value = definition.substr(at, end - at);
            at = close == std::string::npos ? end : end + 1;
        } else {
            const size_t valueStart = at;
            while (at < definition.size() && !isBlank(definition[at]))
                ++at;
            value = definition.substr(valueStart, at - valueStart);
        }
        if (key == "label")
            parsed.label = value;
        else if (key == "min")
            parsed.min = number(value);
        else if (key == "max")
            parsed.max = number(value);
        else if (key == "step")
            parsed.step = number(value);
    }
    return parsed;
}
