#pragma once
// `morveldan --new FOLDER`: a starter show that plays at once and passes --check. It holds one
// entry of every effect family, every file those entries read (copied from the default show), a
// shader of its own driven by a track, a tracks file and a README.md that explains each line of
// the script.

#include <filesystem>
#include <string>

// The show the starter's files are copied from: the program's own folder when it holds the
// default show (a build tree), else the installed default show.
std::filesystem::path starterSourceFolder();

// Makes the starter show in `folder`, which must not exist or be empty. Throws a message when
// the folder holds anything, when a file of `source` is missing (before anything is written) or
// when writing fails.
void makeStarterShow(const std::filesystem::path& folder, const std::filesystem::path& source);

// --new FOLDER: makes the starter show from starterSourceFolder() and says how to play it, or says
// why not on stderr; the exit status (0, or 1).
int runNewShow(const std::string& folder);
