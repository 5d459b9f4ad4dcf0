#pragma once
// The user's own folders for this program, as the XDG base directories name them.

#include <filesystem>

// $VARIABLE/morveldan when the variable holds an absolute path (a relative one is to be
// ignored), else $HOME/UNDER_HOME/morveldan; empty when neither is set. Not made here.
std::filesystem::path userFolder(const char* variable, const char* underHome);
