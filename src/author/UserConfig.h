#pragma once
// Where the program keeps what belongs to the user rather than to a show: the overlay's layout and
// the recovery copies of unsaved tracks. $XDG_CONFIG_HOME/morveldan, else ~/.config/morveldan.

#include <filesystem>
#include <string>

// The folder (made on demand by the callers that write); empty when neither XDG_CONFIG_HOME nor
// HOME is set.
std::filesystem::path userConfigFolder();

// Keeps the bytes as a recovery copy in the config folder's recovery/ (named after the show's
// folder, the time and the extension, never over another copy) and says so on stderr, naming
// the file they were meant for; what was lost, and why, when they cannot be kept. True when kept.
bool keepRecoveryCopy(const std::string& bytes, const std::string& extension,
                      const std::string& meantFor, const char* what);
