#pragma once
// The keys of a live run as tables: every key is one row (the key, the modifiers it needs, a few
// words of help and its action), so that the key handling and the help shown to the viewer are
// made from the same rows and cannot drift apart. A run combines the tables of its parts (the
// transport's, the author's) and tries them in order.

#include <SDL2/SDL_events.h>
#include <SDL2/SDL_keycode.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

struct KeyRow {
    SDL_Keycode key;
    // KMOD_SHIFT, KMOD_CTRL, KMOD_ALT, KMOD_GUI, or'ed: each must be held (either side's key).
    // A row needing none takes its key with any modifiers held that no other row of the key needs.
    Uint16 modifiers;
    const char* help; // what the key does, in a few words
    std::function<void()> action;
};

using KeyTable = std::vector<KeyRow>;

// The row that takes the key with the modifiers held (SDL's KMOD_ bits): of the rows for the key
// whose modifiers are all held, the one that needs the most (Shift+Left before Left), and among
// equals the first in the tables' order. Null when none does.
const KeyRow* rowForKey(std::span<const KeyTable> tables, SDL_Keycode key, Uint16 held);

// Runs the action of the row that takes the key event; false when no row takes it.
bool pressKey(std::span<const KeyTable> tables, const SDL_KeyboardEvent& event);

// The row's key as the viewer presses it: "Ctrl+S", "Shift+Left", "PageUp", "[".
std::string keyName(const KeyRow& row);

// Every row as its key name and help ("Space pause"), rows joined by ", ", one line a table.
std::string keysHelp(std::span<const KeyTable> tables);
