#include "author/FileWatcher.h"

#include "platform/Debug.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

constexpr uint32_t changeEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_ATTRIB;

} // namespace

FileWatcher::FileWatcher() {
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    stop_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (inotify_ < 0 || stop_ < 0) {
        debugLine("Files cannot be watched (%s); the show will not reload", std::strerror(errno));
        return;
    }
    thread_ = std::thread([this] { run(); });
}

FileWatcher::~FileWatcher() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        if (write(stop_, &one, sizeof one) != sizeof one)
            debugLine("The file watcher could not be woken: %s", std::strerror(errno));
        thread_.join();
    }
    if (inotify_ >= 0)
        close(inotify_);
    if (stop_ >= 0)
        close(stop_);
}

void FileWatcher::watch(const std::vector<std::string>& paths) {
    if (inotify_ < 0)
        return;
    std::map<std::string, std::set<std::string>> namesByFolder;
    for (const std::string& path : paths) {
        const std::filesystem::path file(path);
        const std::string folder = file.parent_path().empty() ? "." : file.parent_path().string();
        namesByFolder[folder].insert(file.filename().string());
    }
    std::lock_guard lock(mutex_);
    // Folders that stay watched keep their watch, so no change in them can slip through while
    // the set is replaced.
    for (auto watch = folderByWatch_.begin(); watch != folderByWatch_.end();) {
        if (namesByFolder.count(watch->second)) {
            ++watch;
            continue;
        }
        inotify_rm_watch(inotify_, watch->first);
        namesByWatch_.erase(watch->first);
        watch = folderByWatch_.erase(watch);
    }
    for (auto& [folder, names] : namesByFolder) {
        const int watch = inotify_add_watch(inotify_, folder.c_str(), changeEvents);
        if (watch < 0) {
            debugLine("Unable to watch %s for changes: %s", folder.c_str(), std::strerror(errno));
            continue;
        }
        namesByWatch_[watch] = std::move(names);
        folderByWatch_[watch] = folder;
    }
    // A file now watched that changed after holdChanges, before it was watched.
    for (const auto& [watch, names] : namesByWatch_)
        for (const std::string& name : names)
            if (heldChanges_.count(pathOf(watch, name.c_str())))
                noteChange(pathOf(watch, name.c_str()));
    holding_ = false;
    heldChanges_.clear();
}

void FileWatcher::holdChanges() {
    std::lock_guard lock(mutex_);
    holding_ = true;
    heldChanges_.clear();
}

std::string FileWatcher::pathOf(int watch, const char* name) {
    return (std::filesystem::path(folderByWatch_[watch]) / name).string();
}

void FileWatcher::noteChange(const std::string& path) {
    if (std::find(changedFiles_.begin(), changedFiles_.end(), path) == changedFiles_.end()) {
        if (changedFiles_.size() < maxBatchFiles)
            changedFiles_.push_back(path);
        else
            changedFiles_.back() = "(many files)";
    }
    changed_ = true;
}

bool FileWatcher::takeChange(std::string* file) {
    std::vector<std::string> files;
    if (!takeChanges(files))
        return false;
    if (file)
        *file = files.empty() ? std::string() : files.front();
    return true;
}

bool FileWatcher::takeChanges(std::vector<std::string>& files) {
    if (!changed_.exchange(false))
        return false;
    std::lock_guard lock(mutex_);
    files = std::move(changedFiles_);
    changedFiles_.clear();
    return true;
}

void FileWatcher::run() {
    pollfd sources[2] = {{inotify_, POLLIN, 0}, {stop_, POLLIN, 0}};
    while (true) {
        if (poll(sources, 2, -1) < 0 && errno != EINTR) {
            debugLine("The file watcher stopped: %s", std::strerror(errno));
            return;
        }
        if (sources[1].revents)
            return;
        if (sources[0].revents)
            readEvents();
    }
}

void FileWatcher::readEvents() {
    alignas(inotify_event) char buffer[16384];
    while (true) {
        const ssize_t length = read(inotify_, buffer, sizeof buffer);
        if (length <= 0)
            return;
        std::lock_guard lock(mutex_);
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            const auto names = namesByWatch_.find(event->wd);
            const bool overflow = (event->mask & IN_Q_OVERFLOW) != 0;
            const bool watched = names != namesByWatch_.end() && event->len > 0 &&
                                 names->second.count(event->name) > 0;
            if (!overflow && !watched) {
                if (holding_ && names != namesByWatch_.end() && event->len > 0 &&
                    heldChanges_.size() < maxHeldChanges)
                    heldChanges_.insert(pathOf(event->wd, event->name));
                continue;
            }
            noteChange(overflow ? std::string("(many files)") : pathOf(event->wd, event->name));
        }
    }
}
