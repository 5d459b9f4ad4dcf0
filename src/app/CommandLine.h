#pragma once
// The program's options.

#include "offline/RenderRequest.h"
#include "platform/FrameWatch.h"
#include "player/VideoSettings.h"
#include "timeline/ScriptLoader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CommandLine {
    enum class Action {
        Play,
        Shot,
        Render,
        ContactSheet,
        Profile,
        Check,
        Join,
        New,
        Help,
        Version,
        Invalid
    };
    Action action = Action::Play;
    std::string problem;    // what was wrong, for Invalid
    std::string showFolder; // the show to play; empty: the current folder or the installed show

    VideoSettings settings;     // the defaults, changed by --windowed, --fullscreen and --size
    bool showSetup = true;      // run the Video setup dialog before the window opens
    bool messageBox = true;     // report errors in a message box as well as on stderr
    bool authorOverlay = false; // --author: the live run starts with the author's overlay shown
    bool noPlugins = false;     // --no-plugins: Plugin entries are skipped, not loaded
    double loadSeconds = loadBudgetSeconds; // --load-limit: the longest the entries may load
    double frameSeconds =
        frameLimitSeconds;                 // --frame-limit: the longest one offline frame may take
    uint32_t shotTime = 0;                 // effect time of the single frame drawn by --shot
    std::string shotFile;                  // PNG written by --shot
    std::string newFolder;                 // --new: the starter show's folder
    std::string joinFile;                  // --join: the whole render made of...
    std::vector<std::string> joinSegments; // ...these segment files
    // For Render, ContactSheet and Profile, settings.width x height is its size; a Shot uses its
    // warm-up and frame rate.
    RenderRequest render;
};

// Largest picture of an offline render: 3840 x 2160 pixels, either way round.
constexpr int renderLongestSide = 3840;
constexpr int64_t renderLargestArea = 3840 * 2160;

CommandLine parseCommandLine(int argc, const char* const* argv);

// The text printed by --help (Usage.cpp): the options, then the script's keywords.
const char* usageText();
