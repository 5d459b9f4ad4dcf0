#pragma once
// The small pieces of text reading that the readers of a ShaderToy pass share.

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

namespace shadertoy {

inline bool isNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

inline bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

inline std::string_view withoutLeadingSpace(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    return text;
}

inline std::string_view withoutTrailingSpace(std::string_view text) {
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

inline std::string_view trimmed(std::string_view text) {
    return withoutTrailingSpace(withoutLeadingSpace(text));
}

inline bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

inline bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The text between the first pair of double quotes in `text`, which must be all that follows;
// nothing when there is no such pair.
inline std::optional<std::string_view> quoted(std::string_view text) {
    text = trimmed(text);
    if (text.size() < 2 || text.front() != '"' || text.back() != '"')
        return std::nullopt;
    text = text.substr(1, text.size() - 2);
    if (text.find('"') != std::string_view::npos)
        return std::nullopt;
    return text;
}

// The name at the start of the text (letters, digits, '_'; empty when none).
inline std::string_view leadingName(std::string_view text) {
    size_t end = 0;
    while (end < text.size() && isNameCharacter(text[end]))
        ++end;
    return text.substr(0, end);
}

} // namespace shadertoy
