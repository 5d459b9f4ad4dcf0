#pragma once
// A shared object loaded with dlopen. It stays loaded for the rest of the process: code or data of
// the library (static objects, functions registered with atexit, other entries sharing it) may be
// in use until the very end, so the handle is deliberately never closed.

#include <string>

// The file dlopen is given for a library path of a show: a path without a slash names a file in
// the current folder (the show's), not a system library.
std::string showLibraryFile(const std::string& path);

class SharedLibrary {
public:
    // Loads the library from the path as written; false (with the reason in error()) on failure.
    bool open(const std::string& path);
    // The address of an exported symbol, or null.
    void* symbol(const char* name) const;
    bool isOpen() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};
