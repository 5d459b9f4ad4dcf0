#include "author/UserConfig.h"

#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/FileBytes.h"
#include "platform/UserFolders.h"

#include <chrono>

std::filesystem::path userConfigFolder() { return userFolder("XDG_CONFIG_HOME", ".config"); }

namespace {

// Named after the show's folder and the time, so that no recovery file replaces another.
std::filesystem::path newRecoveryPath(const std::filesystem::path& folder,
                                      const std::string& extension) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    std::error_code noFolder;
    const std::string show = std::filesystem::current_path(noFolder).filename().string();
    std::filesystem::path recovery;
    for (int copy = 1; recovery.empty() || std::filesystem::exists(recovery, noFolder); ++copy)
        recovery = folder / "recovery" /
                   formatText("%s-%lld-%d%s", show.empty() ? "show" : show.c_str(),
                              static_cast<long long>(seconds), copy, extension.c_str());
    return recovery;
}

} // namespace

RecoveryCopy::RecoveryCopy(std::string extension, const char* what)
    : extension_(std::move(extension)), what_(what) {}

bool RecoveryCopy::update(const std::string& bytes, const std::string& meantFor) {
    try {
        const std::filesystem::path folder = userConfigFolder();
        if (folder.empty())
            raise("no config folder (neither XDG_CONFIG_HOME nor HOME is set)");
        if (path_.empty()) {
            path_ = newRecoveryPath(folder, extension_);
            std::filesystem::create_directories(path_.parent_path());
        }
        replaceFileBytes(path_.string(), bytes);
        failure_.clear();
        return true;
    } catch (const std::exception& error) {
        if (failure_ != error.what())
            debugLine("Unsaved %s of %s cannot be kept: %s", what_, meantFor.c_str(), error.what());
        failure_ = error.what();
        return false;
    }
}

void RecoveryCopy::discard() {
    if (path_.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    path_.clear();
}

bool RecoveryCopy::keep(const std::string& bytes, const std::string& meantFor) {
    const bool kept = update(bytes, meantFor);
    if (kept)
        debugLine("Unsaved %s of %s were kept in %s", what_, meantFor.c_str(), path_.c_str());
    else
        debugLine("Unsaved %s of %s are lost: %s", what_, meantFor.c_str(), failure_.c_str());
    path_.clear();
    failure_.clear();
    return kept;
}
