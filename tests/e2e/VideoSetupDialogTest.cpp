#include "PrivateXServer.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;

const std::string dialogTitle = "Video setup";

// The real program in a folder of its own, on an X server of the test's own. The show is one
// starburst plug-in entry, so a started show is visible on standard error and in a window.
class VideoSetupDialogRun : public ::testing::Test {
  protected:
    void startProgram(const std::string& screen = "1280x1024x24") {
        server = std::make_unique<PrivateXServer>(screen);
        writeTextFile(runFolder.file("data/demo.txt"),
                      "data/no-music.ogg\n"
                      "0\n"
                      "1\n"
                      "Plugin\n"
                      "0\n"
                      "100000\n" MORVELDAN_BUILD_DIR "/plugins/starburst.so\n"
                      "24\n");
        writeImage(
            runFolder.file("data/overlay/loader.jpg"), 16, 16,
            [](int, int) {
                return Rgba{200, 200, 200, 255};
            },
            false);
        program = std::make_unique<ChildProcess>(
            std::vector<std::string>{MORVELDAN_BUILD_DIR "/morveldan", "--no-message-box"},
            runFolder.path(), std::vector<std::string>{"DISPLAY=" + server->displayName()},
            errorFile);
    }

    // The dialog's window, found by its title; 0 if it never shows.
    unsigned long findDialog() {
        const std::string found = server->xdotool("search --sync --name '^" + dialogTitle + "$'");
        server->collectEvents();
        return std::strtoul(found.c_str(), nullptr, 10);
    }

    void typeInto(unsigned long window, const std::string& keys) {
        server->xdotool("windowfocus --sync " + std::to_string(window));
        server->xdotool("key --delay 150 " + keys);
    }

    // The first window other than `except` that is shown within the time given.
    const WindowEvent* waitForOtherWindow(unsigned long except, std::chrono::seconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            server->collectEvents();
            for (const WindowEvent& event : server->events())
                if (event.kind == WindowEvent::Mapped && event.window != except)
                    return &event;
            std::this_thread::sleep_for(50ms);
        }
        return nullptr;
    }

    // Index in the event log of the first event of that kind for the window, or -1.
    long indexOf(WindowEvent::Kind kind, unsigned long window) const {
        const auto& events = server->events();
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

    std::unique_ptr<PrivateXServer> server;
    TempDir runFolder;
    std::string errorFile = runFolder.file("stderr.txt");
    std::unique_ptr<ChildProcess> program;
};

} // namespace

// Also leaves a picture of the dialog as it first shows in the build tree, on a screen whose mode
// is the preset 1024 * 768.
TEST_F(VideoSetupDialogRun, EscapeCancelsBeforeAnyOtherWindowIsCreated) {
    startProgram("1024x768x24");
    const unsigned long dialog = findDialog();
    ASSERT_NE(dialog, 0u) << standardError();

    const std::string shot = MORVELDAN_BUILD_DIR "/screenshots/video-setup-dialog.png";
    std::filesystem::create_directories(std::filesystem::path(shot).parent_path());
    EXPECT_TRUE(server->saveWindowImage(dialog, shot));

    typeInto(dialog, "Escape");
    EXPECT_EQ(program->waitForExit(*server, 20s), 255) << standardError();
    EXPECT_EQ(standardError().find("Loaded"), std::string::npos) << standardError();

    // The dialog was the only window ever shown, and nothing was created once it went away.
    const long dialogGone = indexOf(WindowEvent::Unmapped, dialog);
    ASSERT_GE(dialogGone, 0);
    const auto& events = server->events();
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (events[i].kind == WindowEvent::Mapped) {
            EXPECT_EQ(events[i].name, dialogTitle);
        }
        if (static_cast<long>(i) > dialogGone) {
            EXPECT_NE(events[i].kind, WindowEvent::Created);
        }
    }
}

TEST_F(VideoSetupDialogRun, CloseButtonCancels) {
    startProgram();
    const unsigned long dialog = findDialog();
    ASSERT_NE(dialog, 0u) << standardError();
    server->requestClose(dialog);
    EXPECT_EQ(program->waitForExit(*server, 20s), 255) << standardError();
}

TEST_F(VideoSetupDialogRun, EnterStartsTheShowWithTheChosenSettings) {
    startProgram();
    const unsigned long dialog = findDialog();
    ASSERT_NE(dialog, 0u) << standardError();

    // The focus starts on Run. Tab twice to the resolution list and pick its first entry (the
    // virtual screen's only mode, 1280 * 1024, not the preset 1024 * 768); clear Fullscreen, tick
    // Always on top, and press Enter on the Multisampling box.
    typeInto(dialog, "Tab Tab Home Tab space Tab space Tab Tab Return");
    const WindowEvent* show = waitForOtherWindow(dialog, 60s);
    ASSERT_NE(show, nullptr) << standardError();
    const WindowEvent shown = *show;

    // The dialog was gone before the show's window was even created.
    const long dialogDestroyed = indexOf(WindowEvent::Destroyed, dialog);
    ASSERT_GE(dialogDestroyed, 0);
    EXPECT_LT(dialogDestroyed, indexOf(WindowEvent::Created, shown.window));

    EXPECT_EQ(shown.width, 1280);
    EXPECT_EQ(shown.height, 1024);
    // A window kept above the others: the program asks for that only in a window, not full screen.
    EXPECT_NE(std::find(shown.states.begin(), shown.states.end(), "_NET_WM_STATE_ABOVE"),
              shown.states.end());

    typeInto(shown.window, "Escape");
    EXPECT_EQ(program->waitForExit(*server, 20s), 0) << standardError();
    EXPECT_NE(standardError().find("Loaded Plugin with start time 0 and end time 100000"),
              std::string::npos)
        << standardError();
}
