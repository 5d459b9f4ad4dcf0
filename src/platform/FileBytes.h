#pragma once
// Whole files read into memory, with a bound on their size decided before anything is allocated.

#include <cstddef>
#include <string>

enum class FileRead { Read, Unreadable, TooLarge };

// Reads the whole file into `bytes`. A file larger than `limit` is not read.
FileRead readWholeFile(const std::string& path, size_t limit, std::string& bytes);
