#include "platform/UserFolders.h"

#include <cstdlib>

std::filesystem::path userFolder(const char* variable, const char* underHome) {
    const char* folder = std::getenv(variable);
    if (folder && folder[0] == '/')
        return std::filesystem::path(folder) / "morveldan";
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0')
        return std::filesystem::path(home) / underHome / "morveldan";
    return {};
}
