#pragma once
// The files a show reads (script, images, shaders, models, video, plug-ins) reach their readers
// only through the show's ShowFiles, which keeps a list of them for a live run to watch for
// changes. A reader takes a ShowFile, which only ShowFiles::open makes, so none can skip the list.

#include <mutex>
#include <string>
#include <vector>

class ShowFile {
public:
    // The path as the script or the effect names it, relative to the show folder.
    const std::string& path() const { return path_; }
    const char* c_str() const { return path_.c_str(); }

private:
    friend class ShowFiles;
    explicit ShowFile(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

class ShowFiles {
public:
    // Notes the file as read by the show and hands it to a reader.
    ShowFile open(const std::string& path);

    // Every path opened so far, each once, in the order first opened.
    std::vector<std::string> opened() const;

private:
    mutable std::mutex mutex_; // video channels open their files on a decoding thread
    std::vector<std::string> opened_;
};
