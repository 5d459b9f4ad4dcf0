#include "author/UserConfig.h"

#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/FileBytes.h"
#include "platform/UserFolders.h"

#include <chrono>

std::filesystem::path userConfigFolder() { return userFolder("XDG_CONFIG_HOME", ".config"); }

bool keepRecoveryCopy(const std::string& bytes, const std::string& extension,
                      const std::string& meantFor, const char* what) {
    const std::filesystem::path folder = userConfigFolder();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    // Named after the show's folder and the time, so that no recovery file replaces another.
    std::error_code noFolder;
    const std::string show = std::filesystem::current_path(noFolder).filename().string();
    std::filesystem::path recovery;
    for (int copy = 1; recovery.empty() || std::filesystem::exists(recovery, noFolder); ++copy)
        recovery = folder / "recovery" /
                   formatText("%s-%lld-%d%s", show.empty() ? "show" : show.c_str(),
                              static_cast<long long>(seconds), copy, extension.c_str());
    try {
        if (folder.empty())
            raise("no config folder (neither XDG_CONFIG_HOME nor HOME is set)");
        std::filesystem::create_directories(recovery.parent_path());
        replaceFileBytes(recovery.string(), bytes);
    } catch (const std::exception& error) {
        debugLine("Unsaved %s of %s are lost: %s", what, meantFor.c_str(), error.what());
        return false;
    }
    debugLine("Unsaved %s of %s were kept in %s", what, meantFor.c_str(), recovery.c_str());
    return true;
}
