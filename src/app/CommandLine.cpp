#include "app/CommandLine.h"

#include <charconv>
#include <string_view>

namespace {

constexpr int shotWidth = 1024;
constexpr int shotHeight = 768;
constexpr int largestSide = 16384;

bool parseNumber(std::string_view text, int64_t& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && !text.empty();
}

// "WxH" with both sides from 1 to 16384.
bool parseSize(std::string_view text, int& width, int& height) {
    const size_t cross = text.find('x');
    if (cross == std::string_view::npos)
        return false;
    int64_t w = 0, h = 0;
    if (!parseNumber(text.substr(0, cross), w) || !parseNumber(text.substr(cross + 1), h))
        return false;
    if (w < 1 || h < 1 || w > largestSide || h > largestSide)
        return false;
    width = int(w);
    height = int(h);
    return true;
}

CommandLine invalid(std::string problem) {
    CommandLine result;
    result.action = CommandLine::Action::Invalid;
    result.problem = std::move(problem);
    return result;
}

} // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    bool sizeGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        const int valuesLeft = argc - 1 - i;
        if (option == "--help" || option == "-h")
            line.action = CommandLine::Action::Help;
        else if (option == "--version")
            line.action = CommandLine::Action::Version;
        else if (option == "--no-setup")
            line.showSetup = false;
        else if (option == "--windowed")
            line.settings.windowed = true;
        else if (option == "--fullscreen")
            line.settings.windowed = false;
        else if (option == "--no-message-box")
            line.messageBox = false;
        else if (option == "--size") {
            if (valuesLeft < 1)
                return invalid("--size needs WIDTHxHEIGHT");
            if (!parseSize(argv[++i], line.settings.width, line.settings.height))
                return invalid("--size needs WIDTHxHEIGHT (1 to 16384 each), not '" +
                               std::string(argv[i]) + "'");
            sizeGiven = true;
        } else if (option == "--shot") {
            if (valuesLeft < 2)
                return invalid("--shot needs MS and FILE.png");
            int64_t time = 0;
            if (!parseNumber(argv[++i], time) || time < 0 || time > int64_t(UINT32_MAX))
                return invalid("--shot needs a time in milliseconds from 0 to 4294967295, not '" +
                               std::string(argv[i]) + "'");
            line.shotTime = uint32_t(time);
            line.shotFile = argv[++i];
            if (line.action == CommandLine::Action::Play)
                line.action = CommandLine::Action::Shot;
        } else
            return invalid("unknown option '" + std::string(option) + "'");
    }
    if (line.action == CommandLine::Action::Shot) {
        line.showSetup = false;
        line.settings.windowed = true;
        line.messageBox = false;
        if (!sizeGiven) {
            line.settings.width = shotWidth;
            line.settings.height = shotHeight;
        }
    }
    return line;
}

const char* usageText() {
    return "Usage: morveldan [OPTION]...\n"
           "Plays the show described by data/demo.txt (run it from the folder holding data/).\n"
           "\n"
           "  --no-setup          skip the Video setup dialog\n"
           "  --windowed          play in a window\n"
           "  --fullscreen        play full screen (the default)\n"
           "  --size WxH          window or screen size in pixels (default 1024x768)\n"
           "  --no-message-box    report errors on standard error only\n"
           "  --shot MS FILE.png  draw the single frame at effect time MS (milliseconds), save it\n"
           "                      as a PNG picture and exit; implies --no-setup --windowed\n"
           "                      --no-message-box, size 1024x768 unless --size is given\n"
           "  --help              show this text and exit\n"
           "  --version           show the version and exit\n"
           "\n"
           "Keys: Left and Right seek one second, Escape ends the show.\n";
}
