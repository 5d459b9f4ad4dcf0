#pragma once
// Where the program keeps what belongs to the user rather than to a show: the overlay's layout and
// the recovery copies of unsaved tracks. $XDG_CONFIG_HOME/morveldan, else ~/.config/morveldan.

#include <filesystem>

// The folder (made on demand by the callers that write); empty when neither XDG_CONFIG_HOME nor
// HOME is set.
std::filesystem::path userConfigFolder();
