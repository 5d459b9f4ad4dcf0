// The live run's key tables: which row takes a key with the modifiers held, the names and help
// made from the rows, and, in a live run of a small show, what every key does, with the README
// and --help naming every key.
#include "player/KeyTable.h"
#include "TestFiles.h"
#include "WindowTestSupport.h"
#include "app/CommandLine.h"
#include "audio/MusicStream.h"
#include "author/AuthorSession.h"
#include "render/GL.h"
#include "render/GLState.h"
#include "timeline/Show.h"
#include "timeline/ShowTracks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <regex>

namespace {

SDL_KeyboardEvent keyRelease(SDL_Keycode key, Uint16 modifiers) {
    SDL_Event event{};
    event.type = SDL_KEYUP;
    event.key.type = SDL_KEYUP;
    event.key.state = SDL_RELEASED;
    event.key.keysym.sym = key;
    event.key.keysym.mod = modifiers;
    return event.key;
}

TEST(KeyTable, TheRowNeedingTheMostHeldModifiersTakesTheKey) {
    std::string pressed;
    const auto row = [&](SDL_Keycode key, Uint16 modifiers, const char* name) {
        return KeyRow{key, modifiers, name, [&pressed, name] { pressed = name; }};
    };
    const KeyTable tables[] = {
        {row(SDLK_DELETE, KMOD_SHIFT, "first Shift+Delete"), row(SDLK_s, KMOD_CTRL, "Ctrl+S"),
         row(SDLK_F2, KMOD_NONE, "first F2")},
        {row(SDLK_LEFT, KMOD_NONE, "Left"), row(SDLK_LEFT, KMOD_SHIFT, "Shift+Left"),
         row(SDLK_DELETE, KMOD_NONE, "Delete"), row(SDLK_F2, KMOD_NONE, "second F2")}};
    const struct {
        SDL_Keycode key;
        Uint16 held;
        const char* taken; // empty: no row takes it
    } cases[] = {
        {SDLK_LEFT, KMOD_NONE, "Left"},
        {SDLK_LEFT, KMOD_LSHIFT, "Shift+Left"},
        {SDLK_LEFT, KMOD_RSHIFT | KMOD_LCTRL, "Shift+Left"},
        {SDLK_LEFT, KMOD_RCTRL | KMOD_NUM, "Left"},
        {SDLK_DELETE, KMOD_NONE, "Delete"},
        {SDLK_DELETE, KMOD_LALT, "Delete"},
        {SDLK_DELETE, KMOD_RSHIFT, "first Shift+Delete"},
        {SDLK_s, KMOD_RCTRL, "Ctrl+S"},
        {SDLK_s, KMOD_LCTRL | KMOD_LSHIFT, "Ctrl+S"},
        {SDLK_s, KMOD_NONE, ""},
        {SDLK_s, KMOD_LSHIFT, ""},
        {SDLK_F2, KMOD_NONE, "first F2"},
        {SDLK_a, KMOD_NONE, ""},
    };
    for (const auto& c : cases) {
        pressed.clear();
        const bool taken = pressKey(tables, keyRelease(c.key, c.held));
        EXPECT_EQ(pressed, c.taken) << SDL_GetKeyName(c.key) << " with modifiers " << c.held;
        EXPECT_EQ(taken, !pressed.empty()) << SDL_GetKeyName(c.key);
    }
}

TEST(KeyTable, NamesAndHelpAreMadeFromTheRows) {
    const KeyTable tables[] = {
        {{SDLK_s, KMOD_CTRL, "save", {}}, {SDLK_DELETE, KMOD_SHIFT, "delete", {}}},
        {{SDLK_PAGEUP, KMOD_NONE, "previous", {}},
         {SDLK_LEFTBRACKET, KMOD_NONE, "earlier", {}},
         {SDLK_l, KMOD_CTRL | KMOD_SHIFT, "both", {}}}};
    EXPECT_EQ(keysHelp(tables),
              "Ctrl+S save, Shift+Delete delete\nPageUp previous, [ earlier, Ctrl+Shift+L both");
}

// A paused run of a show of two entries, with its music at `time`, a ShaderShow throughout and
// another from 5 s to 9 s; both read the free track `level`, 0.2 from the start.
class LiveKeys : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display";
        writeTextFile(folder.file("data/level.fs"),
                      "#version 110\nuniform float level;\n"
                      "void main() { gl_FragColor = vec4(level); }\n");
        writeTextFile(folder.file("data/demo.tracks"), "track level\n0 0.2\n");
        writeTextFile(folder.file("data/demo.txt"), script);
        window = std::make_unique<RenderWindow>(smallWindow(160, 120));
        requireOpenGl2();
        setScreenPerspective();
        LoadedShow show{loadShow(*window), nullptr};
        show.music = std::make_unique<MusicStream>(
            std::vector<float>(size_t(musicSampleRate) * 40 * 2), MusicOutput::Manual);
        session = std::make_unique<AuthorSession>(*window, std::move(show), false);
    }
    void TearDown() override {
        session.reset();
        window.reset();
    }

    const std::string script = "m.ogg\n0\n2\n"
                               "ShaderShow\n0\n-1\ndata/level.fs\ndata/none.jpg\n"
                               "ShaderShow\n5000\n9000\ndata/level.fs\ndata/none.jpg\n";
    TempDir folder;
    ScopedWorkingDirectory inFolder{folder.path()};
    std::unique_ptr<RenderWindow> window;
    std::unique_ptr<AuthorSession> session;
};

// What the keys change in a live run.
struct Seen {
    uint32_t time;
    bool paused, looping, overlay, recording, unsaved;
    Snap snap;
    int selected; // the selected entry, -1 for none
    uint32_t selectedStart;
    size_t entries, levelKeys;
    long levelMilli; // the track `level` at the play head, in thousandths
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& s) {
    return out << "time " << s.time << (s.paused ? ", paused" : "")
               << (s.looping ? ", looping" : "") << (s.overlay ? ", overlay" : "")
               << (s.recording ? ", recording" : "") << (s.unsaved ? ", unsaved" : "") << ", grid "
               << snapName(s.snap) << ", entry " << s.selected << " at " << s.selectedStart << ", "
               << s.entries << " entries, " << s.levelKeys << " keys, level " << s.levelMilli;
}

Seen seen(AuthorSession& session) {
    const Transport& transport = session.transport();
    EntryEditing& entries = session.entryEditing();
    const TrackSet& tracks = session.tracks().tracks();
    const Track* level = tracks.find("level");
    const std::optional<size_t> selected = entries.selected();
    return {transport.time(),
            transport.paused(),
            transport.looping(),
            session.overlayShown(),
            session.editing().recording(),
            session.editing().editor().unsaved() || entries.unsaved(),
            entries.snap(),
            selected ? int(*selected) : -1,
            selected ? entries.entries()[*selected].start : 0,
            entries.entries().size(),
            level ? level->keys.size() : 0,
            level ? std::lround(level->valueAt(transport.time()) * 1000) : 0};
}

// Each key in turn from 12 s into the show, and the change it makes; the same key events as the
// switches the tables replaced, with the modifiers a viewer may hold.
TEST_F(LiveKeys, EveryKeyDoesWhatItDid) {
    session->transport().seekTo(12000);
    const struct {
        SDL_Keycode key;
        Uint16 held;
        bool taken;
        std::function<void(Seen&)> change;
    } steps[] = {
        {SDLK_SPACE, KMOD_NONE, true, [](Seen& s) { s.paused = true; }},
        {SDLK_LEFT, KMOD_NONE, true, [](Seen& s) { s.time = 11000; }},
        {SDLK_RIGHT, KMOD_LCTRL, true, [](Seen& s) { s.time = 12000; }},
        {SDLK_LEFT, KMOD_LSHIFT, true, [](Seen& s) { s.time = 2000; }},
        {SDLK_RIGHT, KMOD_RSHIFT | KMOD_RCTRL, true, [](Seen& s) { s.time = 12000; }},
        {SDLK_PAGEUP, KMOD_NONE, true, [](Seen& s) { s.time = 5001; }},
        {SDLK_HOME, KMOD_NONE, true, [](Seen& s) { s.time = 0; }},
        {SDLK_PAGEDOWN, KMOD_NONE, true, [](Seen& s) { s.time = 1; }},
        {SDLK_PAGEDOWN, KMOD_NONE, true, [](Seen& s) { s.time = 5001; }},
        {SDLK_l, KMOD_NONE, true, [](Seen& s) { s.looping = true; }},
        {SDLK_F1, KMOD_NONE, true, [](Seen& s) { s.overlay = true; }},
        {SDLK_e, KMOD_NONE, true, [](Seen& s) { s.selected = 0; }},
        {SDLK_e, KMOD_LCTRL, true, [](Seen& s) { s.selected = 1, s.selectedStart = 5000; }},
        {SDLK_g, KMOD_NONE, true, [](Seen& s) { s.snap = Snap::Bar; }},
        {SDLK_RIGHTBRACKET, KMOD_NONE, true,
         [](Seen& s) { s.selectedStart = 5100, s.unsaved = true; }},
        {SDLK_LEFTBRACKET, KMOD_NONE, true, [](Seen& s) { s.selectedStart = 5000; }},
        {SDLK_d, KMOD_NONE, true,
         [](Seen& s) { s.selected = 2, s.selectedStart = 9000, s.entries = 3; }},
        {SDLK_DELETE, KMOD_LSHIFT, true,
         [](Seen& s) { s.selected = -1, s.selectedStart = 0, s.entries = 2; }},
        {SDLK_k, KMOD_NONE, true, [](Seen& s) { s.levelKeys = 2; }},
        {SDLK_UP, KMOD_NONE, true, [](Seen& s) { s.levelMilli = 300; }},
        {SDLK_DOWN, KMOD_NONE, true, [](Seen& s) { s.levelMilli = 200; }},
        {SDLK_RIGHT, KMOD_NONE, true, [](Seen& s) { s.time = 6001; }},
        {SDLK_k, KMOD_NONE, true, [](Seen& s) { s.levelKeys = 3; }},
        {SDLK_COMMA, KMOD_NONE, true, [](Seen& s) { s.time = 5001; }},
        {SDLK_PERIOD, KMOD_NONE, true, [](Seen& s) { s.time = 6001; }},
        {SDLK_DELETE, KMOD_NONE, true, [](Seen& s) { s.levelKeys = 2; }},
        {SDLK_r, KMOD_NONE, true, [](Seen& s) { s.recording = true; }},
        {SDLK_z, KMOD_LCTRL, true, [](Seen& s) { s.levelKeys = 3; }},
        {SDLK_s, KMOD_NONE, false, [](Seen&) {}},
        {SDLK_z, KMOD_LSHIFT, false, [](Seen&) {}},
        {SDLK_s, KMOD_RCTRL, true, [](Seen& s) { s.unsaved = false; }},
        {SDLK_UP, KMOD_NONE, true, [](Seen& s) { s.levelMilli = 300, s.unsaved = true; }},
        {SDLK_F2, KMOD_NONE, true, [](Seen& s) { s.unsaved = false; }},
        {SDLK_DELETE, KMOD_LSHIFT, true, [](Seen&) {}}, // no entry selected
        {SDLK_a, KMOD_NONE, false, [](Seen&) {}},
        {SDLK_ESCAPE, KMOD_NONE, false, [](Seen&) {}}, // the window's
    };
    for (const auto& step : steps) {
        SDL_Event event{};
        event.key = keyRelease(step.key, step.held);
        Seen expected = seen(*session);
        step.change(expected);
        const bool taken = session->run().takeEvent(event);
        SCOPED_TRACE(std::string(SDL_GetKeyName(step.key)) + " with modifiers " +
                     std::to_string(step.held));
        EXPECT_EQ(taken, step.taken);
        EXPECT_EQ(seen(*session), expected);
    }
    // The entry moved and back, copied and deleted: the script saved is the same.
    EXPECT_EQ(readFileBytes(folder.file("data/demo.txt")), script);
    EXPECT_TRUE(readFileBytes(folder.file("data/demo.tracks"))
                    .ends_with("track level\n0 0.2 step\n5001 0.2 step\n6001 0.3 step\n"));
}

// The key's name where the text names keys: alone, or before '/', or in backquotes.
bool names(const std::string& text, const std::string& key) {
    const std::string quoted = std::regex_replace(key, std::regex(R"([\[\].+])"), R"(\$&)");
    return std::regex_search(text, std::regex("(^|[\\s|(`/])" + quoted + "($|[\\s,`/)])"));
}

TEST_F(LiveKeys, TheHelpTheReadmeAndUsageNameEveryKey) {
    const std::string help = keysHelp(session->keys());
    const std::string readme = readFileBytes(std::string(MORVELDAN_SOURCE_DIR) + "/README.md");
    for (const KeyTable& table : session->keys())
        for (const KeyRow& row : table) {
            EXPECT_NE(help.find(keyName(row) + " " + row.help), std::string::npos) << keyName(row);
            EXPECT_TRUE(names(readme, keyName(row))) << keyName(row) << " is not in README.md";
        }
    // --help names the transport's keys, and the modifiers in words ("ten with Shift").
    const std::string usage = usageText();
    for (const KeyRow& row : session->keys().back()) {
        EXPECT_TRUE(names(usage, SDL_GetKeyName(row.key))) << keyName(row);
        EXPECT_TRUE(!(row.modifiers & KMOD_SHIFT) || names(usage, "Shift")) << keyName(row);
    }
}

} // namespace
