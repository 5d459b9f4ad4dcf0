#include "platform/DataFiles.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace {

std::mutex notedMutex;
std::vector<std::string> noted;

} // namespace

void noteDataFileRead(const std::string& path) {
    std::lock_guard lock(notedMutex);
    if (std::find(noted.begin(), noted.end(), path) == noted.end())
        noted.push_back(path);
}

std::vector<std::string> takeNotedDataFiles() {
    std::lock_guard lock(notedMutex);
    return std::exchange(noted, {});
}
