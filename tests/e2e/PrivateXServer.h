#pragma once
// A virtual X server of the test's own, so no other test's windows mix with the ones watched here,
// with a log of every top-level window created, mapped, unmapped and destroyed on it.

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

struct WindowEvent {
    enum Kind { Created, Mapped, Unmapped, Destroyed };
    Kind kind = Created;
    unsigned long window = 0;
    // Read when the window is mapped (empty if it was already gone).
    std::string name;
    int width = 0;
    int height = 0;
    std::vector<std::string> states; // the atoms of _NET_WM_STATE, e.g. "_NET_WM_STATE_ABOVE"
};

class PrivateXServer {
public:
    // Xvfb with one screen, e.g. "1280x1024x24" (its only display mode).
    explicit PrivateXServer(const std::string& screen = "1280x1024x24");
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    const std::string& displayName() const { return displayName_; }

    // Takes the pending window events into the log.
    void collectEvents();
    const std::vector<WindowEvent>& events() const { return events_; }

    // Runs xdotool on this display; returns its standard output, or "" when it fails or takes
    // longer than the time given.
    std::string xdotool(const std::string& arguments, int timeoutSeconds = 60) const;

    // Saves the window's picture as an image file (format by extension); false if it cannot.
    bool saveWindowImage(unsigned long window, const std::string& path);

private:
    void recordMappedWindow(WindowEvent& event);

    int serverPid_ = -1;
    std::string displayName_;
    struct _XDisplay* display_ = nullptr;
    std::vector<WindowEvent> events_;
};

// Points DISPLAY at another server for the object's lifetime.
class ScopedDisplay {
public:
    explicit ScopedDisplay(const std::string& name) {
        if (const char* old = std::getenv("DISPLAY"))
            saved_ = old;
        setenv("DISPLAY", name.c_str(), 1);
    }
    ~ScopedDisplay() {
        if (saved_)
            setenv("DISPLAY", saved_->c_str(), 1);
        else
            unsetenv("DISPLAY");
    }
    ScopedDisplay(const ScopedDisplay&) = delete;
    ScopedDisplay& operator=(const ScopedDisplay&) = delete;

private:
    std::optional<std::string> saved_;
};
