#include "author/UserConfig.h"

#include <cstdlib>

std::filesystem::path userConfigFolder() {
    // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::filesystem::path(config) / "morveldan";
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0')
        return std::filesystem::path(home) / ".config" / "morveldan";
    return {};
}
