#pragma once
// Whole files read into memory, with a bound on their size decided before anything is allocated.

#include <cstddef>
#include <string>

enum class FileRead { Read, Unreadable, TooLarge };

// Reads the whole file into `bytes`. A file larger than `limit` is not read.
FileRead readWholeFile(const std::string& path, size_t limit, std::string& bytes);

// Whether the file holds exactly these bytes.
bool fileHolds(const std::string& path, const std::string& bytes);

// Writes the bytes beside the path and renames them over it, so that a reader (or a crash) sees
// the old file or the new one, never a part. Throws ShowError naming the path on failure.
void replaceFileBytes(const std::string& path, const std::string& bytes);
