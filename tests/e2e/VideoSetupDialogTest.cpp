#include "PrivateXServer.h"
#include "ShowProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

using namespace std::chrono_literals;

const std::string dialogTitle = "Video setup";

// The real program, as a user starts it, in a folder of its own and on an X server of the test's
// own. The show is one starburst plug-in entry, so a started show is seen on standard error.
class VideoSetupDialogRun : public ::testing::Test {
protected:
    void startProgram(const std::string& screen = "1280x1024x24") {
        server = std::make_unique<PrivateXServer>(screen);
        display = std::make_unique<ScopedDisplay>(server->displayName());
        writeTextFile(runFolder.file("data/demo.txt"),
                      "data/no-music.ogg\n0\n1\nPlugin\n0\n100000\n" + showPlugin("starburst") +
                          "\n24\n");
        writeImage(
            runFolder.file("data/overlay/loader.jpg"), 16, 16,
            [](int, int) {
                return Rgba{200, 200, 200, 255};
            },
            false);
        program = std::make_unique<ShowProcess>(runFolder.path(),
                                                std::vector<std::string>{"--no-message-box"});
    }

    // The dialog's window, found by its title; 0 if it never shows.
    unsigned long findDialog() {
        const std::string found = server->xdotool("search --sync --name '^" + dialogTitle + "$'");
        server->collectEvents();
        return std::strtoul(found.c_str(), nullptr, 10);
    }

    // Keys typed on the keyboard while the window has the focus.
    void typeInto(unsigned long window, const std::string& keys) {
        server->xdotool("windowfocus --sync " + std::to_string(window));
        server->xdotool("key --delay 150 " + keys);
    }

    // The exit status; window events are taken while waiting, so that windows are seen alive.
    int waitForExit() {
        waitUntil(
            [&] {
                server->collectEvents();
                return !program->running();
            },
            20s);
        return program->wait(1s);
    }

    // The first window other than `except` that is shown within a minute.
    std::optional<WindowEvent> waitForOtherWindow(unsigned long except) {
        std::optional<WindowEvent> shown;
        waitUntil(
            [&] {
                server->collectEvents();
                const auto& events = server->events();
                const auto found = std::find_if(events.begin(), events.end(), [&](const auto& e) {
                    return e.kind == WindowEvent::Mapped && e.window != except;
                });
                if (found != events.end())
                    shown = *found;
                return shown.has_value();
            },
            60s);
        return shown;
    }

    // Index in the event log of the first event of that kind for the window, or -1.
    long indexOf(WindowEvent::Kind kind, unsigned long window) const {
        const auto& events = server->events();
        const auto found = std::find_if(events.begin(), events.end(), [&](const WindowEvent& e) {
            return e.kind == kind && e.window == window;
        });
        return found == events.end() ? -1 : found - events.begin();
    }

    std::string errors() const { return program->errorOutput(); }

    TempDir runFolder;
    std::unique_ptr<PrivateXServer> server;
    std::unique_ptr<ScopedDisplay> display;
    std::unique_ptr<ShowProcess> program;
};

} // namespace

// Also leaves a picture of the dialog as it first shows in the build tree, on a screen whose mode
// is the preset 1024 * 768.
TEST_F(VideoSetupDialogRun, EscapeCancelsBeforeAnyOtherWindowIsCreated) {
    startProgram("1024x768x24");
    const unsigned long dialog = findDialog();
    ASSERT_NE(dialog, 0u) << errors();

    const std::string shot = MORVELDAN_BUILD_DIR "/screenshots/video-setup-dialog.png";
    std::filesystem::create_directories(std::filesystem::path(shot).parent_path());
    EXPECT_TRUE(server->saveWindowImage(dialog, shot));

    typeInto(dialog, "Escape");
    EXPECT_EQ(waitForExit(), 255) << errors();
    EXPECT_EQ(errors().find("Loaded"), std::string::npos) << errors();

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
    ASSERT_NE(dialog, 0u) << errors();
    XDisplay().sendCloseRequest(dialog);
    EXPECT_EQ(waitForExit(), 255) << errors();
}

TEST_F(VideoSetupDialogRun, EnterStartsTheShowWithTheChosenSettings) {
    startProgram();
    const unsigned long dialog = findDialog();
    ASSERT_NE(dialog, 0u) << errors();

    // The focus starts on Run. Tab twice to the resolution list and pick its first entry (the
    // virtual screen's only mode, 1280 * 1024, not the preset 1024 * 768); clear Fullscreen, tick
    // Always on top, and press Enter on the Multisampling box.
    typeInto(dialog, "Tab Tab Home Tab space Tab space Tab Tab Return");
    const std::optional<WindowEvent> shown = waitForOtherWindow(dialog);
    ASSERT_TRUE(shown) << errors();

    // The dialog was gone before the show's window was even created.
    const long dialogDestroyed = indexOf(WindowEvent::Destroyed, dialog);
    ASSERT_GE(dialogDestroyed, 0);
    EXPECT_LT(dialogDestroyed, indexOf(WindowEvent::Created, shown->window));

    EXPECT_EQ(shown->width, 1280);
    EXPECT_EQ(shown->height, 1024);
    // A window kept above the others: the program asks for that only in a window, not full screen.
    EXPECT_NE(std::find(shown->states.begin(), shown->states.end(), "_NET_WM_STATE_ABOVE"),
              shown->states.end());

    typeInto(shown->window, "Escape");
    EXPECT_EQ(waitForExit(), 0) << errors();
    EXPECT_NE(errors().find("Loaded Plugin with start time 0 and end time 100000"),
              std::string::npos)
        << errors();
}
