#pragma once
// Temporary folders and files made by tests.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    bool operator==(const Rgba&) const = default;
};

// A fresh folder under the system's temporary directory, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Writes text to a file (parent folders are made).
void writeTextFile(const std::string& path, const std::string& text);

// A whole file's bytes; empty when it cannot be read.
std::string readFileBytes(const std::string& path);

// How many times `part` stands in `text`.
size_t countIn(const std::string& text, const std::string& part);

// What a shell command writes to its standard output.
std::string commandOutput(const std::string& command);

// Writes an image through FreeImage; the format follows the extension (.png, .jpg, .bmp...).
// pixelAt(x, y) gives the colour with y = 0 at the picture's top row. 32-bit images keep alpha.
void writeImage(const std::string& path, int width, int height,
                const std::function<Rgba(int x, int y)>& pixelAt, bool withAlpha = true);

// A few dozen bytes of PNG whose header claims an RGB picture of width x height, and no pixel.
std::string pngClaiming(uint32_t width, uint32_t height);

// Reads an image through FreeImage as RGBA, top row first; empty when unreadable.
std::vector<Rgba> readImage(const std::string& path, int& width, int& height);

// Makes a folder the working directory for the object's lifetime (effects open "data/..." paths
// relative to it), and puts back the previous one at the end.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const std::filesystem::path& folder);
    ~ScopedWorkingDirectory();
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

// Puts a file or a folder (all it holds) into a test's show as files of its own: hard links where
// the file system allows them, copies elsewhere. A show does not follow links out of its folder.
void shareIntoShow(const std::filesystem::path& source, const std::filesystem::path& target);

// Copies a committed data file (a path under the source tree's data/, e.g. "data/polar.fs") to the
// same relative path under `runDirectory`.
void copySourceData(const std::filesystem::path& runDirectory, const std::string& relativePath);
