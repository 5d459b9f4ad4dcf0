#pragma once
// The files a show reads (script, tracks, pictures, shaders, models, music, video, plug-ins) reach
// their readers only through the show's ShowFiles, which keeps a list of them for a live run to
// watch for changes. A reader takes a ShowFile, which only ShowFiles::open makes, so none can skip
// the list or the guard: shows come from elsewhere, so a file is opened only when it is a regular
// file no larger than its kind allows and, unless the user allows otherwise, inside the show's
// folder.

#include "platform/Error.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

enum class ShowFileKind { Script, Tracks, Picture, Shader, Model, Music, Video, Plugin };

// The largest file of each kind a show may have: shaders (and their includes) 1 MiB, the script and
// the tracks file 16 MiB, pictures, models and plug-ins 256 MiB, music 2 GiB, video 4 GiB.
uint64_t largestShowFile(ShowFileKind kind);

// Where a show's files may lie.
enum class FileReach {
    ShowFolder, // inside the show's folder (the current one when the ShowFiles is made)
    Anywhere,   // wherever the path leads (--allow-outside)
};

// A file the guard would not open: the message is "PATH is refused: WHY".
class FileRefused : public ShowError {
public:
    FileRefused(const std::string& path, std::string reason)
        : ShowError(path + " is refused: " + reason), reason_(std::move(reason)) {}
    const std::string& reason() const { return reason_; }

private:
    std::string reason_;
};

class ShowFile {
public:
    // The path as the script or the effect names it, relative to the show folder.
    const std::string& path() const { return path_; }
    const char* c_str() const { return path_.c_str(); }
    ShowFileKind kind() const { return kind_; }

    // The whole file, up to its kind's largest size; nothing when it cannot be read or has grown
    // beyond that since it was opened.
    std::optional<std::string> bytes() const;

private:
    friend class ShowFiles;
    ShowFile(std::string path, ShowFileKind kind) : path_(std::move(path)), kind_(kind) {}
    std::string path_;
    ShowFileKind kind_;
};

class ShowFiles {
public:
    explicit ShowFiles(FileReach reach);

    // Notes the file as read by the show and hands it to a reader. Throws FileRefused for a file
    // that is not a regular file (a named pipe, a device, a folder), is larger than its kind
    // allows, or lies outside the show's folder while the reach is the folder. A file that does not
    // exist is handed on: its reader says that it is missing.
    ShowFile open(const std::string& path, ShowFileKind kind);

    // Every path opened so far, each once, in the order first opened.
    std::vector<std::string> opened() const;

    FileReach reach() const { return reach_; }

private:
    FileReach reach_;
    std::filesystem::path folder_; // the show's folder, every link in it followed
    mutable std::mutex mutex_;     // video channels open their files on a decoding thread
    std::vector<std::string> opened_;
};

// Why the path may not be read as a show's file of that kind, or nothing when it may. `folder` is
// the show's folder with every link in it followed.
std::optional<std::string> showFileRefusal(const std::string& path, ShowFileKind kind,
                                           FileReach reach, const std::filesystem::path& folder);
