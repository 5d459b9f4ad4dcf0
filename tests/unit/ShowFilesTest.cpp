// The guard every file of a show passes: links that stay in the folder are followed, every way out
// of it is refused unless the reach is anywhere, and so is anything but a regular file.
#include "platform/ShowFiles.h"
#include "TestFiles.h"
#include "platform/SharedObjectFile.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>

#include <filesystem>

namespace fs = std::filesystem;

TEST(ShowFiles, LinksInsideTheFolderAreFollowedAndEveryWayOutIsRefused) {
    TempDir show, elsewhere;
    writeTextFile(show.file("data/a.fs"), "void main() {}\n");
    writeTextFile(elsewhere.file("b.fs"), "void main() {}\n");
    fs::create_symlink("a.fs", show.path() / "data/inside.fs");
    fs::create_directory_symlink(show.path() / "data", show.path() / "same");
    fs::create_symlink(elsewhere.file("b.fs"), show.path() / "data/out.fs");
    fs::create_directory_symlink(elsewhere.path(), show.path() / "away");
    ASSERT_EQ(mkfifo(show.file("data/pipe.fs").c_str(), 0600), 0);
    writeTextFile(show.file("data/big.fs"), std::string((1 << 20) + 1, ' '));
    const std::string toB = "../" + elsewhere.path().filename().string() + "/b.fs";
    struct Case {
        std::string path;
        FileReach reach;
        const char* refusal; // the start of the reason, or null when the file is handed on
    };
    const Case cases[] = {
        {"data/a.fs", FileReach::ShowFolder, nullptr},
        {"data/inside.fs", FileReach::ShowFolder, nullptr},
        {"same/a.fs", FileReach::ShowFolder, nullptr},
        {"data/../data/a.fs", FileReach::ShowFolder, nullptr},
        {"data/missing.fs", FileReach::ShowFolder, nullptr}, // its reader says it is missing
        {show.file("data/a.fs"), FileReach::ShowFolder, "its path is absolute"},
        {toB, FileReach::ShowFolder, "its path leads out of the show folder"},
        {"data/out.fs", FileReach::ShowFolder, "it is a link to "},
        {"away/b.fs", FileReach::ShowFolder, "it is a link to "},
        {"away/missing.fs", FileReach::ShowFolder, "it is a link to "},
        {"data/out.fs", FileReach::Anywhere, nullptr},
        {toB, FileReach::Anywhere, nullptr},
        {"data/pipe.fs", FileReach::ShowFolder, "it is a named pipe, not a regular file"},
        {"/dev/zero", FileReach::Anywhere, "it is a device, not a regular file"},
        {"data", FileReach::ShowFolder, "it is a folder, not a regular file"},
        {"data/big.fs", FileReach::ShowFolder, "it is larger than 1 MiB, the largest shader"},
    };
    ScopedWorkingDirectory inShow(show.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ShowFiles files(c.reach);
        try {
            const ShowFile file = files.open(c.path, ShowFileKind::Shader);
            EXPECT_EQ(c.refusal, nullptr) << "handed on";
            EXPECT_EQ(files.opened(), std::vector<std::string>{c.path});
        } catch (const FileRefused& refused) {
            ASSERT_NE(c.refusal, nullptr) << refused.what();
            EXPECT_EQ(refused.reason().rfind(c.refusal, 0), 0u) << refused.what();
            EXPECT_TRUE(files.opened().empty());
        }
    }
}

TEST(SharedObjectFile, TellsWhatTheFileIsWithoutLoadingIt) {
    Dl_info library{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&std::fopen), &library), 0);
    const std::string libc = readFileBytes(library.dli_fname);
    ASSERT_GT(libc.size(), sizeof(Elf64_Ehdr));
    const auto patched = [&libc](size_t at, uint16_t value) {
        std::string bytes = libc;
        std::memcpy(bytes.data() + at, &value, sizeof value);
        return bytes;
    };
    const struct {
        const char* what;
        std::string bytes;
        std::string problem;
        std::vector<std::string> exports;
    } cases[] = {
        {"the C library", libc, "", {"fopen", "fclose"}},
        {"its header alone", libc.substr(0, 40), "it is not an ELF shared object", {}},
        {"a picture",
         "\x89PNG\r\n\x1a\n" + std::string(80, '\0'),
         "it is not an ELF shared object",
         {}},
        {"for another machine",
         patched(offsetof(Elf64_Ehdr, e_machine), EM_RISCV),
         "it is an ELF shared object for RISC-V, not for this x86-64",
         {}},
        {"an object file",
         patched(offsetof(Elf64_Ehdr, e_type), ET_REL),
         "it is an ELF file but not a shared object",
         {}},
        {"its sections cut off", libc.substr(0, libc.size() / 2), "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SharedObjectFacts facts = readSharedObject(c.bytes, {"fclose", "fopen", "Draw"});
        std::sort(facts.exports.begin(), facts.exports.end(), std::greater<>());
        EXPECT_EQ(facts.problem, c.problem);
        EXPECT_EQ(facts.exports, c.exports);
    }
}
