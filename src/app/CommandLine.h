#pragma once
// The program's options.

#include "app/VideoSettings.h"

#include <cstdint>
#include <string>

struct CommandLine {
    enum class Action { Play, Shot, Help, Version, Invalid };
    Action action = Action::Play;
    std::string problem; // what was wrong, for Invalid

    VideoSettings settings; // the defaults, changed by --windowed, --fullscreen and --size
    bool showSetup = true;  // run the Video setup dialog before the window opens
    bool messageBox = true; // report errors in a message box as well as on stderr
    uint32_t shotTime = 0;  // effect time of the single frame drawn by --shot
    std::string shotFile;   // PNG written by --shot
};

CommandLine parseCommandLine(int argc, const char* const* argv);

// The text printed by --help.
const char* usageText();
