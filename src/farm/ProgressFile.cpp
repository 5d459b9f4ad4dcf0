#include "farm/ProgressFile.h"

#include "platform/FileBytes.h"

#include <charconv>
#include <string_view>

namespace {

constexpr std::string_view heading = "morveldan segment progress\n";
constexpr std::string_view lastLine = "end\n"; // a file cut short lacks it
constexpr size_t largestFile = 256;

// The number of the line "<key>=<digits>\n" at the start of `text`; the text moves past the line.
std::optional<uint64_t> takeCount(std::string_view& text, std::string_view key) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos || text.substr(0, key.size()) != key ||
        text.substr(key.size(), 1) != "=")
        return std::nullopt;
    const std::string_view digits = text.substr(key.size() + 1, end - key.size() - 1);
    uint64_t value = 0;
    const auto [stop, fault] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || fault != std::errc() || stop != digits.data() + digits.size())
        return std::nullopt;
    text.remove_prefix(end + 1);
    return value;
}

} // namespace

void writeProgressFile(const std::string& path, const SegmentProgress& progress) {
    replaceFileBytes(path, std::string(heading) + "span=" + std::to_string(progress.spanFrames) +
                               "\nkept=" + std::to_string(progress.keptFrames) + "\n" +
                               std::string(lastLine));
}

std::optional<SegmentProgress> readProgressFile(const std::string& path) {
    std::string bytes;
    if (readWholeFile(path, largestFile, bytes) != FileRead::Read)
        return std::nullopt;
    std::string_view text = bytes;
    if (text.substr(0, heading.size()) != heading)
        return std::nullopt;
    text.remove_prefix(heading.size());
    const std::optional<uint64_t> span = takeCount(text, "span");
    const std::optional<uint64_t> kept = span ? takeCount(text, "kept") : std::nullopt;
    if (!kept || text != lastLine || *span == 0 || *kept > *span)
        return std::nullopt;
    return SegmentProgress{*span, *kept};
}
