#include "app/CommandLine.h"

#include "platform/Error.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

namespace {

constexpr int shotWidth = 1024;
constexpr int shotHeight = 768;
constexpr int largestSide = 16384;
constexpr int videoWidth = 1280;
constexpr int videoHeight = 720;
constexpr int sheetRenderWidth = 640;
constexpr int sheetRenderHeight = 480;
constexpr int largestFps = 240;
constexpr uint32_t sheetWarmup = 1000; // per thumbnail: a contact sheet draws many warm-ups
constexpr int worstQuality = 51;
constexpr std::string_view encoderPresets[] = {
    "ultrafast", "superfast", "veryfast", "faster", "fast", "medium", "slow", "slower", "veryslow"};

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

bool withinRenderLimit(int width, int height) {
    return std::max(width, height) <= renderLongestSide &&
           int64_t(width) * height <= renderLargestArea;
}

CommandLine invalid(std::string problem) {
    CommandLine result;
    result.action = CommandLine::Action::Invalid;
    result.problem = std::move(problem);
    return result;
}

// A whole number from `least` to `most`; an empty result when the text is anything else.
std::optional<int64_t> numberIn(std::string_view text, int64_t least, int64_t most) {
    int64_t value = 0;
    if (!parseNumber(text, value) || value < least || value > most)
        return std::nullopt;
    return value;
}

bool isRenderOption(std::string_view option) {
    return option == "--fps" || option == "--from" || option == "--to" || option == "--warmup" ||
           option == "--quality" || option == "--preset" || option == "--segment" ||
           option == "--segments" || option == "--jobs";
}

constexpr int mostSegments = 100000;
constexpr int mostJobs = 64;

// "K/N" with 1 <= K <= N.
std::optional<std::string> readSegment(std::string_view value, RenderRequest& request) {
    const size_t slash = value.find('/');
    int64_t k = 0, n = 0;
    if (slash == std::string_view::npos || !parseNumber(value.substr(0, slash), k) ||
        !parseNumber(value.substr(slash + 1), n) || n < 1 || n > mostSegments || k < 1 || k > n)
        return formatText("--segment needs K/N, the K-th of N segments (1 <= K <= N <= %d), not "
                          "'%s'",
                          mostSegments, std::string(value).c_str());
    request.segment = int(k);
    request.segmentCount = int(n);
    return std::nullopt;
}

// The render options that also shape the warm-up of a single shot.
bool isWarmupOption(std::string_view option) { return option == "--fps" || option == "--warmup"; }

// Reads the value of one of the render options into the request; the problem text on a mistake.
std::optional<std::string> readRenderOption(std::string_view option, std::string_view value,
                                            RenderRequest& request) {
    const std::string text(value);
    if (option == "--fps") {
        const auto fps = numberIn(value, 1, largestFps);
        if (!fps)
            return formatText("--fps needs frames per second from 1 to 240, not '%s'",
                              text.c_str());
        request.fps = int(*fps);
        return std::nullopt;
    }
    if (option == "--segment")
        return readSegment(value, request);
    if (option == "--segments" || option == "--jobs") {
        const bool jobs = option == "--jobs";
        const auto count = numberIn(value, 1, jobs ? mostJobs : mostSegments);
        if (!count)
            return formatText("%s needs a number from 1 to %d, not '%s'",
                              std::string(option).c_str(), jobs ? mostJobs : mostSegments,
                              text.c_str());
        (jobs ? request.jobs : request.localSegments) = int(*count);
        return std::nullopt;
    }
    if (option == "--preset") {
        if (std::find(std::begin(encoderPresets), std::end(encoderPresets), value) ==
            std::end(encoderPresets))
            return formatText("--preset needs one of ultrafast, superfast, veryfast, faster, fast, "
                              "medium, slow, slower, veryslow, not '%s'",
                              text.c_str());
        request.preset = text;
        return std::nullopt;
    }
    if (option == "--quality") {
        const auto quality = numberIn(value, 0, worstQuality);
        if (!quality)
            return formatText("--quality needs a number from 0 (best) to 51, not '%s'",
                              text.c_str());
        request.quality = int(*quality);
        return std::nullopt;
    }
    const auto milliseconds = numberIn(value, 0, UINT32_MAX);
    if (!milliseconds)
        return formatText("%s needs milliseconds from 0 to 4294967295, not '%s'",
                          std::string(option).c_str(), text.c_str());
    if (option == "--from")
        request.from = uint32_t(*milliseconds);
    else if (option == "--to")
        request.to = uint32_t(*milliseconds);
    else
        request.warmup = uint32_t(*milliseconds);
    return std::nullopt;
}

// The checks that need the whole line: one output, options that belong to it, a size that fits.
std::optional<std::string> checkRender(const CommandLine& line, bool sizeGiven) {
    const RenderRequest& request = line.render;
    const int outputs = int(!request.videoFile.empty()) + int(!request.framesFolder.empty()) +
                        int(!request.sheetFile.empty()) + int(request.profile);
    if (outputs > 1)
        return "--render, --frames, --contact-sheet and --profile cannot be combined";
    if (line.action == CommandLine::Action::Shot)
        return "--shot cannot be combined with --render, --frames, --contact-sheet or --profile";
    if (request.from && request.to && *request.to <= *request.from)
        return "--to must be later than --from";
    const bool segmented = request.segment > 0 || request.localSegments > 0;
    if (segmented && request.videoFile.empty())
        return "--segment and --segments go with --render";
    if (request.segment > 0 && request.localSegments > 0)
        return "--segment and --segments cannot be combined";
    if (request.jobs > 1 && request.localSegments == 0)
        return "--jobs goes with --segments";
    const int width = line.settings.width, height = line.settings.height;
    if (sizeGiven && !withinRenderLimit(width, height))
        return "a render is at most 3840x2160 pixels (either way round)";
    if (!request.videoFile.empty() && (width % 2 != 0 || height % 2 != 0))
        return "a video needs an even width and height";
    return std::nullopt;
}

// Offline renders draw into a hidden window without dialog or message box.
void prepareRender(CommandLine& line, bool sizeGiven, bool warmupGiven) {
    line.action = line.render.profile             ? CommandLine::Action::Profile
                  : line.render.sheetFile.empty() ? CommandLine::Action::Render
                                                  : CommandLine::Action::ContactSheet;
    line.showSetup = false;
    line.settings.windowed = true;
    line.settings.hidden = true;
    line.settings.verticalSync = false;
    line.messageBox = false;
    const bool sheet = line.action == CommandLine::Action::ContactSheet;
    if (sheet && !warmupGiven)
        line.render.warmup = sheetWarmup;
    if (!sizeGiven) {
        line.settings.width = sheet ? sheetRenderWidth : videoWidth;
        line.settings.height = sheet ? sheetRenderHeight : videoHeight;
    }
}

// A check loads the show in a hidden window, without dialog, sound or message box.
void prepareCheck(CommandLine& line) {
    line.action = CommandLine::Action::Check;
    line.showSetup = false;
    line.settings.windowed = true;
    line.settings.hidden = true;
    line.settings.verticalSync = false;
    line.messageBox = false;
}

} // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    bool sizeGiven = false;
    bool spanOptionGiven = false; // --from, --to or --quality: only renders have them
    bool renderOptionGiven = false;
    bool warmupGiven = false;
    bool checkGiven = false;
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
        else if (option == "--author") {
            line.authorOverlay = true;
            line.settings.windowed = true;
        } else if (option == "--no-message-box")
            line.messageBox = false;
        else if (option == "--no-plugins") {
            line.noPlugins = true;
            line.render.showOptions.emplace_back(option);
        } else if (option == "--allow-outside") {
            line.render.reach = FileReach::Anywhere;
            line.render.showOptions.emplace_back(option);
        } else if (option == "--load-limit" || option == "--frame-limit") {
            char* end = nullptr;
            const double seconds = valuesLeft < 1 ? 0 : std::strtod(argv[i + 1], &end);
            if (valuesLeft < 1 || *end != '\0' || !(seconds > 0 && seconds <= 86400))
                return invalid(std::string(option) +
                               " needs SECONDS, more than 0 and at most 86400");
            (option == "--load-limit" ? line.loadSeconds : line.frameSeconds) = seconds;
            line.render.showOptions.emplace_back(option);
            line.render.showOptions.emplace_back(argv[++i]);
        } else if (option == "--size") {
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
        } else if (option == "--render" || option == "--frames" || option == "--contact-sheet") {
            if (valuesLeft < 1 || std::string_view(argv[i + 1]).empty())
                return invalid(std::string(option) + " needs a file or folder name");
            std::string& target = option == "--render"   ? line.render.videoFile
                                  : option == "--frames" ? line.render.framesFolder
                                                         : line.render.sheetFile;
            target = argv[++i];
        } else if (option == "--join") {
            if (valuesLeft < 2)
                return invalid("--join needs the output file and the segment files");
            line.joinFile = argv[++i];
            while (i + 1 < argc && !std::string_view(argv[i + 1]).starts_with("-"))
                line.joinSegments.push_back(argv[++i]);
            if (line.joinSegments.empty())
                return invalid("--join needs the segment files after the output file");
            if (line.action == CommandLine::Action::Play)
                line.action = CommandLine::Action::Join;
        } else if (option == "--new") {
            if (valuesLeft < 1 || std::string_view(argv[i + 1]).empty())
                return invalid("--new needs the folder of the new show");
            line.newFolder = argv[++i];
        } else if (option == "--profile")
            line.render.profile = true;
        else if (option == "--profile-csv") {
            if (valuesLeft < 1 || std::string_view(argv[i + 1]).empty())
                return invalid("--profile-csv needs a file name");
            line.render.profileCsv = argv[++i];
            line.render.profile = true;
        } else if (isRenderOption(option)) {
            if (valuesLeft < 1)
                return invalid(std::string(option) + " needs a value");
            if (auto problem = readRenderOption(option, argv[++i], line.render))
                return invalid(*problem);
            renderOptionGiven = true;
            spanOptionGiven = spanOptionGiven || !isWarmupOption(option);
            warmupGiven = warmupGiven || option == "--warmup";
        } else if (option == "--check")
            checkGiven = true;
        else if (option == "--verbose")
            line.render.verbose = true;
        else if (option.empty())
            return invalid("the show folder's name is empty");
        else if (option.starts_with("-"))
            return invalid("unknown option '" + std::string(option) + "'");
        else if (!line.showFolder.empty())
            return invalid("one show folder at most, not '" + line.showFolder + "' and '" +
                           std::string(option) + "'");
        else
            line.showFolder = option;
    }
    const bool rendering = !line.render.videoFile.empty() || !line.render.framesFolder.empty() ||
                           !line.render.sheetFile.empty() || line.render.profile;
    const bool shot = line.action == CommandLine::Action::Shot;
    if (!line.newFolder.empty() && line.action != CommandLine::Action::Help &&
        line.action != CommandLine::Action::Version) {
        if (argc != 3)
            return invalid("--new takes no other options or show folder");
        line.action = CommandLine::Action::New;
        return line;
    }
    if (line.action == CommandLine::Action::Join) {
        if (rendering || shot || renderOptionGiven || checkGiven)
            return invalid("--join takes no other render, shot or check options");
        line.showSetup = false;
        line.messageBox = false;
        return line;
    }
    if (renderOptionGiven && !rendering && (!shot || spanOptionGiven))
        return invalid(shot ? "--from, --to, --quality and --preset go with --render, --frames, "
                              "--contact-sheet or --profile"
                            : "--fps, --from, --to, --warmup, --quality and --preset go with "
                              "--render, --frames, --contact-sheet or --profile (--fps and "
                              "--warmup also with --shot)");
    if (checkGiven && line.action != CommandLine::Action::Help &&
        line.action != CommandLine::Action::Version) {
        if (rendering || shot)
            return invalid("--check cannot be combined with --shot, --render, --frames, "
                           "--contact-sheet or --profile");
        prepareCheck(line);
        return line;
    }
    if (rendering && line.action != CommandLine::Action::Help &&
        line.action != CommandLine::Action::Version) {
        if (auto problem = checkRender(line, sizeGiven))
            return invalid(*problem);
        prepareRender(line, sizeGiven, warmupGiven);
    }
    if (line.action == CommandLine::Action::Shot) {
        // Drawn off screen like a render, so it needs no screen and matches the rendered frame.
        if (!withinRenderLimit(line.settings.width, line.settings.height))
            return invalid("a shot is at most 3840x2160 pixels (either way round)");
        line.showSetup = false;
        line.settings.windowed = true;
        line.settings.hidden = true;
        line.settings.verticalSync = false;
        line.messageBox = false;
        if (!sizeGiven) {
            line.settings.width = shotWidth;
            line.settings.height = shotHeight;
        }
    }
    return line;
}
