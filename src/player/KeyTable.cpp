#include "player/KeyTable.h"

#include <SDL2/SDL_keyboard.h>

namespace {

struct ModifierName {
    Uint16 bits;
    const char* prefix;
};
constexpr ModifierName modifierNames[] = {
    {KMOD_CTRL, "Ctrl+"}, {KMOD_SHIFT, "Shift+"}, {KMOD_ALT, "Alt+"}, {KMOD_GUI, "Super+"}};

// How many of the row's modifiers are held; -1 when one it needs is not.
int heldModifiers(const KeyRow& row, Uint16 held) {
    int count = 0;
    for (const ModifierName& modifier : modifierNames) {
        if (!(row.modifiers & modifier.bits))
            continue;
        if (!(held & modifier.bits))
            return -1;
        ++count;
    }
    return count;
}

} // namespace

const KeyRow* rowForKey(std::span<const KeyTable> tables, SDL_Keycode key, Uint16 held) {
    const KeyRow* best = nullptr;
    int bestCount = -1;
    for (const KeyTable& table : tables)
        for (const KeyRow& row : table) {
            if (row.key != key)
                continue;
            const int count = heldModifiers(row, held);
            if (count > bestCount) {
                best = &row;
                bestCount = count;
            }
        }
    return best;
}

bool pressKey(std::span<const KeyTable> tables, const SDL_KeyboardEvent& event) {
    const KeyRow* row = rowForKey(tables, event.keysym.sym, event.keysym.mod);
    if (!row)
        return false;
    row->action();
    return true;
}

std::string keyName(const KeyRow& row) {
    std::string name;
    for (const ModifierName& modifier : modifierNames)
        if (row.modifiers & modifier.bits)
            name += modifier.prefix;
    return name + SDL_GetKeyName(row.key);
}

std::string keysHelp(std::span<const KeyTable> tables) {
    std::string help;
    for (const KeyTable& table : tables) {
        if (!help.empty())
            help += '\n';
        for (const KeyRow& row : table)
            help += keyName(row) + " " + row.help + (&row == &table.back() ? "" : ", ");
    }
    return help;
}
