#pragma once
// What a shared object file is, told by reading its bytes: nothing in it is loaded or run.

#include <string>
#include <string_view>
#include <vector>

struct SharedObjectFacts {
    std::string problem;              // why it cannot be loaded here; empty when it can
    std::string machine;              // "x86-64", ...
    std::vector<std::string> exports; // of the names asked about, those it defines as functions
};

// Reads an ELF file's header and its dynamic symbols: whether it is a shared object for this
// machine, and which of `names` it exports as functions.
SharedObjectFacts readSharedObject(std::string_view bytes, const std::vector<std::string>& names);
