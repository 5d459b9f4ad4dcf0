#pragma once
// A record of the files the show reads while it loads (script, images, shaders, models, video,
// plug-ins), so that a live run can watch them for changes.

#include <string>
#include <vector>

// Notes that a file is about to be read, by the path as given.
void noteDataFileRead(const std::string& path);

// The paths noted since the last call, each once, in the order first noted.
std::vector<std::string> takeNotedDataFiles();
