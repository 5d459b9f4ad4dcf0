#include "ShowProcess.h"

#include "TestFiles.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string readWholeText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Display* asDisplay(void* display) { return static_cast<Display*>(display); }

// Windows of the program come and go while the tests look at them: errors about windows that
// no longer exist are expected and must not end the test program.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

} // namespace

namespace {

constexpr const char* pluginsOfTests = "test-plugins";

// The plug-ins a test's script names, put into the run folder the test made: a show loads them
// only from its own folder.
void sharePlugins(const std::filesystem::path& runFolder) {
    const std::filesystem::path target = runFolder / pluginsOfTests;
    const std::string temporary = std::filesystem::temp_directory_path().string();
    if (!runFolder.string().starts_with(temporary) || std::filesystem::exists(target))
        return;
    shareIntoShow(MORVELDAN_TEST_PLUGIN_DIR, target);
    shareIntoShow(std::string(MORVELDAN_BUILD_DIR) + "/plugins/starburst.so",
                  target / "starburst.so");
}

} // namespace

std::string testPlugin(const std::string& name) {
    return std::string(pluginsOfTests) + "/" + name + ".so";
}

std::string showPlugin(const std::string& name) { return testPlugin(name); }

std::string builtTestPlugin(const std::string& name) {
    return std::string(MORVELDAN_TEST_PLUGIN_DIR) + "/" + name + ".so";
}

ShowProcess::ShowProcess(const std::filesystem::path& runFolder,
                         const std::vector<std::string>& arguments)
    : runFolder_(runFolder) {
    sharePlugins(runFolder);
    const std::string program = std::string(MORVELDAN_BUILD_DIR) + "/morveldan";
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const std::string out = (runFolder / "stdout.txt").string();
    const std::string err = (runFolder / "stderr.txt").string();
    pid_ = fork();
    if (pid_ == 0) {
        setsid(); // a session of its own: whatever it leaves running stays in it
        if (chdir(runFolder.c_str()) != 0)
            _exit(126);
        const int outFile = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFile = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(outFile, STDOUT_FILENO);
        dup2(errFile, STDERR_FILENO);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
}

ShowProcess::~ShowProcess() {
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
    }
}

bool ShowProcess::running() {
    if (ended_ || pid_ <= 0)
        return false;
    rusage usage{};
    if (wait4(pid_, &status_, WNOHANG, &usage) == pid_) {
        ended_ = true;
        peakKilobytes_ = usage.ru_maxrss;
    }
    return !ended_;
}

int ShowProcess::wait(std::chrono::seconds limit) {
    if (!waitUntil([this] { return !running(); }, limit)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
        ended_ = true;
        return -1;
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
}

namespace {

// The processes of the session, also those that moved to process groups of their own.
std::vector<pid_t> sessionMembers(pid_t session) {
    std::vector<pid_t> members;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string stat = readWholeText(entry.path() / "stat");
        const size_t nameEnd = stat.rfind(')');
        char state = 0;
        int parent = 0, group = 0, sessionOf = 0;
        if (nameEnd != std::string::npos &&
            std::sscanf(stat.c_str() + nameEnd + 1, " %c %d %d %d", &state, &parent, &group,
                        &sessionOf) == 4 &&
            sessionOf == session && state != 'Z')
            members.push_back(pid_t(std::stoi(name)));
    }
    return members;
}

} // namespace

bool ShowProcess::leftNothingRunning() const {
    const bool ended =
        waitUntil([this] { return sessionMembers(pid_).empty(); }, std::chrono::seconds(2));
    for (const pid_t left : sessionMembers(pid_))
        kill(left, SIGKILL);
    return ended;
}

bool ShowProcess::exitedByItself() const { return ended_ && WIFEXITED(status_); }

std::string ShowProcess::errorOutput() const { return readWholeText(runFolder_ / "stderr.txt"); }

std::string ShowProcess::standardOutput() const { return readWholeText(runFolder_ / "stdout.txt"); }

ShowResult runShow(const std::filesystem::path& runFolder,
                   const std::vector<std::string>& arguments) {
    ShowProcess show(runFolder, arguments);
    ShowResult result;
    result.exitStatus = show.wait();
    result.errorOutput = show.errorOutput();
    return result;
}

XDisplay::XDisplay() : display_(XOpenDisplay(nullptr)) { XSetErrorHandler(ignoreXError); }

XDisplay::~XDisplay() {
    if (display_)
        XCloseDisplay(asDisplay(display_));
}

namespace {

bool isMapped(Display* display, Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

long processOf(Display* display, Window window) {
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", True);
    if (pidAtom == None)
        return -1;
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &remaining, &data) == Success &&
        data && count == 1 && format == 32)
        pid = long(*reinterpret_cast<unsigned long*>(data));
    if (data)
        XFree(data);
    return pid;
}

// The title as stored (STRING or UTF8_STRING; the titles looked for are plain ASCII).
std::string titleOf(Display* display, Window window) {
    XTextProperty property{};
    std::string title;
    if (XGetWMName(display, window, &property) && property.value && property.format == 8)
        title.assign(reinterpret_cast<const char*>(property.value), property.nitems);
    if (property.value)
        XFree(property.value);
    return title;
}

// Depth-first search of the window tree for the first window that satisfies `wanted`.
template <class Wanted> Window findWindow(Display* display, Window parent, const Wanted& wanted) {
    Window root, parentOut, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &parentOut, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        if (wanted(children[i]))
            found = children[i];
        else
            found = findWindow(display, children[i], wanted);
    }
    if (children)
        XFree(children);
    return found;
}

} // namespace

unsigned long XDisplay::windowOfProcess(pid_t pid, const std::string& except) {
    Display* display = asDisplay(display_);
    return findWindow(display, DefaultRootWindow(display), [&](Window window) {
        return processOf(display, window) == pid && isMapped(display, window) &&
               (except.empty() || titleOf(display, window) != except);
    });
}

unsigned long XDisplay::windowTitled(const std::string& title) {
    Display* display = asDisplay(display_);
    return findWindow(display, DefaultRootWindow(display), [&](Window window) {
        return titleOf(display, window) == title && isMapped(display, window);
    });
}

void XDisplay::sendKey(unsigned long window, const char* keysymName) {
    sendKeyEvent(window, keysymName, true);
    sendKeyEvent(window, keysymName, false);
}

void XDisplay::sendKeyEvent(unsigned long window, const char* keysymName, bool press) {
    Display* display = asDisplay(display_);
    XKeyEvent event{};
    event.display = display;
    event.window = window;
    event.root = DefaultRootWindow(display);
    event.subwindow = None;
    event.time = CurrentTime;
    event.same_screen = True;
    event.keycode = XKeysymToKeycode(display, XStringToKeysym(keysymName));
    event.type = press ? KeyPress : KeyRelease;
    XSendEvent(display, window, True, press ? KeyPressMask : KeyReleaseMask,
               reinterpret_cast<XEvent*>(&event));
    XFlush(display);
}

void XDisplay::sendCloseRequest(unsigned long window) {
    Display* display = asDisplay(display_);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}
