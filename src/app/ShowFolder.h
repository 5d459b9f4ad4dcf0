#pragma once
// A show is a folder holding data/demo.txt and the files it names. The program runs in the show's
// folder; the files it writes are named relative to the folder it was started from.

#include "app/CommandLine.h"

#include <filesystem>

// The installed default show: found relative to the program (so a staged or moved install finds
// its own), else at the place the build was configured to install it.
std::filesystem::path installedShowFolder();

// The show to play: `given` when named (it must hold data/demo.txt), else `current` when it holds
// data/demo.txt, else `installed`. Throws a message naming the folder that holds no show.
std::filesystem::path chooseShowFolder(const std::string& given,
                                       const std::filesystem::path& current,
                                       const std::filesystem::path& installed);

// Makes the output paths of the command line absolute against the current folder, then makes the
// chosen show's folder the current one. Throws when there is no show or its folder cannot be
// entered.
void enterShowFolder(CommandLine& line);
