#include "PrivateXServer.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

using namespace std::chrono_literals;

const std::string dialogTitle = "Video setup";

class VideoSetupDialogRun : public ::testing::Test {
  protected:
    void startProgram() {
        writeTextFile(runFolder.file("data/demo.txt"), "data/none.ogg\n0\n0\n");
        program = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/tmp/dlgdrv/drv"}, runFolder.path(),
            std::vector<std::string>{"DISPLAY=" + server.displayName()}, errorFile);
    }

    // The dialog's window, found by its title; 0 if it never shows.
    unsigned long findDialog() {
        const std::string found = server.xdotool("search --sync --name '^" + dialogTitle + "$'");
        server.collectEvents();
        return std::strtoul(found.c_str(), nullptr, 10);
    }

    void typeInto(unsigned long window, const std::string& keys) {
        server.xdotool("windowfocus --sync " + std::to_string(window));
        server.xdotool("key --delay 150 " + keys);
    }

    // Index in the event log of the first event of that kind for the window, or -1.
    long indexOf(WindowEvent::Kind kind, unsigned long window) const {
        const auto& events = server.events();
        const auto found = std::find_if(events.begin(), events.end(), [&](const WindowEvent& e) {
            return e.kind == kind && e.window == window;
        });
        return found == events.end() ? -1 : found - events.begin();
    }

    std::string standardError() const {
        std::string text;
        if (FILE* file = std::fopen(errorFile.c_str(), "r")) {
            char buffer[512];
            while (std::fgets(buffer, sizeof buffer, file))
                text += buffer;
            std::fclose(file);
        }
        return text;
    }

    PrivateXServer server;
    TempDir runFolder;
    std::string errorFile = runFolder.file("stderr.txt");
    std::unique_ptr<ChildProcess> program;
};

} // namespace

TEST_F(VideoSetupDialogRun, EscapeCancelsBeforeAnyOtherWindowIsCreated) {
    startProgram();
    const unsigned long dialog = findDialog();
    ASSERT_NE(dialog, 0u) << standardError();

    const std::string shot = MORVELDAN_BUILD_DIR "/screenshots/video-setup-dialog.png";
    std::filesystem::create_directories(std::filesystem::path(shot).parent_path());
    EXPECT_TRUE(server.saveWindowImage(dialog, shot));

    typeInto(dialog, "Escape");
    EXPECT_EQ(program->waitForExit(server, 20s), 255) << standardError();

    // The dialog was the only window ever shown, and nothing was created once it went away.
    const long dialogGone = indexOf(WindowEvent::Unmapped, dialog);
    ASSERT_GE(dialogGone, 0);
    const auto& events = server.events();
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (events[i].kind == WindowEvent::Mapped) {
            EXPECT_EQ(events[i].name, dialogTitle);
        }
        if (static_cast<long>(i) > dialogGone) {
            EXPECT_NE(events[i].kind, WindowEvent::Created);
        }
    }
}
