#pragma once
// Watches files for changes with inotify. The folders holding them are watched, not the files,
// so a file that an editor replaces (writes a new file and renames it over the old one) is seen
// as well as one written in place. A thread of its own sleeps in the kernel until something
// changes; the frame loop only reads a flag.

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

class FileWatcher {
public:
    // Without inotify (one line on stderr) nothing is ever reported.
    FileWatcher();
    ~FileWatcher();
    FileWatcher(const FileWatcher&) = delete;
    FileWatcher& operator=(const FileWatcher&) = delete;

    // From now until the next watch, changes of files in the watched folders are kept; those of
    // the files that watch then names count as changes. A reload calls it before it reads any
    // file, so that a file saved while the reload runs is not missed.
    void holdChanges();
    // Replaces the watched files (paths as the program opens them).
    void watch(const std::vector<std::string>& paths);
    // True once for every batch of changes since the last call; `file` gets the first one.
    bool takeChange(std::string* file = nullptr);
    // The same, with every file of the batch (at most maxBatchFiles, then "(many files)").
    bool takeChanges(std::vector<std::string>& files);

private:
    int inotify_ = -1;
    int stop_ = -1; // an eventfd that wakes the thread to end it
    std::mutex mutex_;
    std::map<int, std::set<std::string>> namesByWatch_;
    std::map<int, std::string> folderByWatch_;
    static constexpr size_t maxBatchFiles = 64;
    std::vector<std::string> changedFiles_;
    static constexpr size_t maxHeldChanges = 1024;
    bool holding_ = false;
    std::set<std::string> heldChanges_;
    std::atomic<bool> changed_{false};
    std::thread thread_;

    void run();
    void readEvents();
    std::string pathOf(int watch, const char* name);
    void noteChange(const std::string& path);
};
