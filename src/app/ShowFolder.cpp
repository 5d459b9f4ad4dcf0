#include "app/ShowFolder.h"

#include "platform/Error.h"
#include "timeline/Show.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace fs = std::filesystem;

#ifndef MORVELDAN_SHOW_FROM_PROGRAM
#define MORVELDAN_SHOW_FROM_PROGRAM "../share/morveldan/show"
#endif
#ifndef MORVELDAN_INSTALLED_SHOW
#define MORVELDAN_INSTALLED_SHOW "/usr/local/share/morveldan/show"
#endif

namespace {

bool holdsShow(const fs::path& folder) {
    std::error_code ignored;
    return fs::is_regular_file(folder / showScriptPath, ignored);
}

void makeAbsolute(std::string& path) {
    if (!path.empty())
        path = fs::absolute(path).lexically_normal().string();
}

} // namespace

fs::path installedShowFolder() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        const fs::path beside =
            (program.parent_path() / MORVELDAN_SHOW_FROM_PROGRAM).lexically_normal();
        if (holdsShow(beside))
            return beside;
    }
    return MORVELDAN_INSTALLED_SHOW;
}

fs::path chooseShowFolder(const std::string& given, const fs::path& current,
                          const fs::path& installed) {
    if (!given.empty()) {
        if (!holdsShow(given))
            raise("%s is not a show folder: it holds no %s", given.c_str(), showScriptPath);
        return given;
    }
    if (holdsShow(current))
        return current;
    if (!holdsShow(installed))
        raise("No show to play: the current folder %s holds no %s, and there is no installed "
              "show at %s",
              current.c_str(), showScriptPath, installed.c_str());
    return installed;
}

void enterShowFolder(CommandLine& line) {
    makeAbsolute(line.shotFile);
    makeAbsolute(line.render.videoFile);
    makeAbsolute(line.render.framesFolder);
    makeAbsolute(line.render.sheetFile);
    makeAbsolute(line.render.profileCsv);
    makeAbsolute(line.joinFile);
    for (std::string& segment : line.joinSegments)
        makeAbsolute(segment);
    const fs::path current = fs::current_path();
    const fs::path folder = chooseShowFolder(line.showFolder, current, installedShowFolder());
    if (folder != current && chdir(folder.c_str()) != 0)
        raise("Unable to enter the show folder %s: %s", folder.c_str(), std::strerror(errno));
}
