#include "author/FileWatcher.h"

#include "platform/Debug.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

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
    std::lock_guard lock(mutex_);
    for (const auto& [watch, folder] : folderByWatch_)
        inotify_rm_watch(inotify_, watch);
    namesByWatch_.clear();
    folderByWatch_.clear();
    for (const std::string& path : paths) {
        const std::filesystem::path file(path);
        std::string folder = file.parent_path().string();
        if (folder.empty())
            folder = ".";
        const int watch = inotify_add_watch(inotify_, folder.c_str(), changeEvents);
        if (watch < 0) {
            debugLine("Unable to watch %s for changes: %s", folder.c_str(), std::strerror(errno));
            continue;
        }
        namesByWatch_[watch].insert(file.filename().string());
        folderByWatch_[watch] = folder;
    }
}

bool FileWatcher::takeChange(std::string* file) {
    if (!changed_.exchange(false))
        return false;
    std::lock_guard lock(mutex_);
    if (file)
        *file = changedFile_;
    changedFile_.clear();
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
            if (!overflow && !watched)
                continue;
            if (changedFile_.empty())
                changedFile_ =
                    overflow
                        ? std::string("(many files)")
                        : (std::filesystem::path(folderByWatch_[event->wd]) / event->name).string();
            changed_ = true;
        }
    }
}
