#include "PrivateXServer.h"

#include "TestFiles.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Windows may vanish between an event and the questions asked about them.
int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

std::string readDisplayNumber(int readEnd) {
    std::string number;
    pollfd waitFor{readEnd, POLLIN, 0};
    while (poll(&waitFor, 1, 30000) > 0) {
        char c;
        if (read(readEnd, &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    return number;
}

std::vector<std::string> atomNames(Display* display, Window window, const char* property) {
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char* data = nullptr;
    std::vector<std::string> names;
    if (XGetWindowProperty(display, window, XInternAtom(display, property, False), 0, 64, False,
                           XA_ATOM, &type, &format, &count, &remaining, &data) == Success &&
        data && format == 32) {
        const Atom* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count; ++i) {
            char* name = XGetAtomName(display, atoms[i]);
            if (name) {
                names.push_back(name);
                XFree(name);
            }
        }
    }
    if (data)
        XFree(data);
    return names;
}

std::string windowName(Display* display, Window window) {
    char* name = nullptr;
    std::string text;
    if (XFetchName(display, window, &name) && name)
        text = name;
    if (name)
        XFree(name);
    return text;
}

} // namespace

PrivateXServer::PrivateXServer(const std::string& screen) {
    int channel[2];
    if (pipe(channel) != 0)
        throw std::runtime_error("no pipe for the X server");
    serverPid_ = fork();
    if (serverPid_ == 0) {
        close(channel[0]);
        const std::string fd = std::to_string(channel[1]);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(channel[1]);
    const std::string number = readDisplayNumber(channel[0]);
    close(channel[0]);
    if (serverPid_ < 0 || number.empty())
        throw std::runtime_error("the X server did not start");
    displayName_ = ":" + number;

    XSetErrorHandler(ignoreXErrors);
    display_ = XOpenDisplay(displayName_.c_str());
    if (!display_)
        throw std::runtime_error("cannot connect to " + displayName_);
    XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    XSync(display_, False);
}

PrivateXServer::~PrivateXServer() {
    if (display_)
        XCloseDisplay(display_);
    if (serverPid_ > 0) {
        kill(serverPid_, SIGTERM);
        waitpid(serverPid_, nullptr, 0);
    }
}

void PrivateXServer::collectEvents() {
    XSync(display_, False);
    while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        WindowEvent entry;
        switch (event.type) {
        case CreateNotify:
            entry.kind = WindowEvent::Created;
            entry.window = event.xcreatewindow.window;
            break;
        case MapNotify:
            entry.kind = WindowEvent::Mapped;
            entry.window = event.xmap.window;
            recordMappedWindow(entry);
            break;
        case UnmapNotify:
            entry.kind = WindowEvent::Unmapped;
            entry.window = event.xunmap.window;
            break;
        case DestroyNotify:
            entry.kind = WindowEvent::Destroyed;
            entry.window = event.xdestroywindow.window;
            break;
        default:
            continue;
        }
        events_.push_back(entry);
    }
}

void PrivateXServer::recordMappedWindow(WindowEvent& event) {
    event.name = windowName(display_, event.window);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display_, event.window, &attributes)) {
        event.width = attributes.width;
        event.height = attributes.height;
    }
    event.states = atomNames(display_, event.window, "_NET_WM_STATE");
}

std::string PrivateXServer::xdotool(const std::string& arguments, int timeoutSeconds) const {
    const std::string command = "DISPLAY=" + displayName_ + " timeout " +
                                std::to_string(timeoutSeconds) + " xdotool " + arguments;
    FILE* output = popen(command.c_str(), "r");
    if (!output)
        return "";
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, output))
        text += buffer;
    return pclose(output) == 0 ? text : "";
}

bool PrivateXServer::saveWindowImage(unsigned long window, const std::string& path) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes))
        return false;
    XImage* image =
        XGetImage(display_, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image)
        return false;
    // Channel masks of a TrueColor visual, e.g. 0xff0000: the shift puts the channel's top bit
    // at 7.
    const auto channel = [](unsigned long pixel, unsigned long mask) {
        int shift = 0;
        while (mask > 0xff) {
            mask >>= 1;
            ++shift;
        }
        return static_cast<uint8_t>((pixel >> shift) & 0xff);
    };
    writeImage(
        path, attributes.width, attributes.height,
        [&](int x, int y) {
            const unsigned long pixel = XGetPixel(image, x, y);
            return Rgba{channel(pixel, image->red_mask), channel(pixel, image->green_mask),
                        channel(pixel, image->blue_mask), 255};
        },
        false);
    XDestroyImage(image);
    return true;
}
