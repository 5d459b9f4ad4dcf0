#include "platform/ShowFiles.h"

#include <algorithm>

ShowFile ShowFiles::open(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (std::find(opened_.begin(), opened_.end(), path) == opened_.end())
        opened_.push_back(path);
    return ShowFile(path);
}

std::vector<std::string> ShowFiles::opened() const {
    std::lock_guard lock(mutex_);
    return opened_;
}
