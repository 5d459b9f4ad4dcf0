#include "platform/ShowFiles.h"

#include "platform/FileBytes.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace fs = std::filesystem;

namespace {

constexpr uint64_t mebibyte = uint64_t(1) << 20;

// What each kind is called in messages and its largest file, in the order of ShowFileKind.
struct KindRule {
    const char* name;
    uint64_t largest;
};
constexpr KindRule kindRules[] = {
    {"script", 16 * mebibyte},  {"tracks file", 16 * mebibyte}, {"picture", 256 * mebibyte},
    {"shader", mebibyte},       {"model", 256 * mebibyte},      {"music file", 2048 * mebibyte},
    {"video", 4096 * mebibyte}, {"plug-in", 256 * mebibyte},
};

const KindRule& ruleOf(ShowFileKind kind) { return kindRules[size_t(kind)]; }

std::string sizeText(uint64_t bytes) {
    return bytes >= (mebibyte << 10) ? formatText("%llu GiB", (unsigned long long)(bytes >> 30))
                                     : formatText("%llu MiB", (unsigned long long)(bytes >> 20));
}

// What a file that is not a regular one is.
const char* typeOf(mode_t mode) {
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

bool inside(const fs::path& path, const fs::path& folder) {
    const auto [stop, unused] =
        std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return stop == folder.end();
}

constexpr const char* outsideHint = "a show reads only files inside its folder (--allow-outside "
                                    "lets it read others)";

// Why the path leaves the folder, or nothing when it stays inside.
std::optional<std::string> outsideFolder(const std::string& path, const fs::path& folder) {
    const fs::path named(path);
    if (named.is_absolute())
        return formatText("its path is absolute: %s", outsideHint);
    const fs::path lexical = named.lexically_normal();
    if (!lexical.empty() && *lexical.begin() == "..")
        return formatText("its path leads out of the show folder: %s", outsideHint);
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(folder / named, error);
    if (error)
        return formatText("its path cannot be followed: %s", error.message().c_str());
    if (!inside(resolved, folder))
        return formatText("it is a link to %s, outside the show folder: %s", resolved.c_str(),
                          outsideHint);
    return std::nullopt;
}

} // namespace

uint64_t largestShowFile(ShowFileKind kind) { return ruleOf(kind).largest; }

std::optional<std::string> showFileRefusal(const std::string& path, ShowFileKind kind,
                                           FileReach reach, const fs::path& folder) {
    if (reach == FileReach::ShowFolder)
        if (std::optional<std::string> outside = outsideFolder(path, folder))
            return outside;
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return std::nullopt; // missing or unreadable: its reader says so
    if (!S_ISREG(info.st_mode))
        return formatText("it is %s, not a regular file", typeOf(info.st_mode));
    const uint64_t largest = largestShowFile(kind);
    if (uint64_t(info.st_size) > largest)
        return formatText("it is larger than %s, the largest %s a show may have",
                          sizeText(largest).c_str(), ruleOf(kind).name);
    return std::nullopt;
}

std::optional<std::string> ShowFile::bytes() const {
    std::string bytes;
    if (readWholeFile(path_, size_t(largestShowFile(kind_)), bytes) != FileRead::Read)
        return std::nullopt;
    return bytes;
}

ShowFiles::ShowFiles(FileReach reach) : reach_(reach) {
    std::error_code error;
    folder_ = fs::canonical(fs::current_path(error), error);
}

ShowFile ShowFiles::open(const std::string& path, ShowFileKind kind) {
    if (const std::optional<std::string> refusal = showFileRefusal(path, kind, reach_, folder_))
        throw FileRefused(path, *refusal);
    std::lock_guard lock(mutex_);
    if (std::find(opened_.begin(), opened_.end(), path) == opened_.end())
        opened_.push_back(path);
    return ShowFile(path, kind);
}

std::vector<std::string> ShowFiles::opened() const {
    std::lock_guard lock(mutex_);
    return opened_;
}
