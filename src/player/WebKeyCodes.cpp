#include "player/WebKeyCodes.h"

namespace {

struct KeyCode {
    SDL_Keycode key;
    int code;
};

constexpr KeyCode namedKeys[] = {
    {SDLK_BACKSPACE, 8},     {SDLK_TAB, 9},           {SDLK_RETURN, 13},
    {SDLK_KP_ENTER, 13},     {SDLK_LSHIFT, 16},       {SDLK_RSHIFT, 16},
    {SDLK_LCTRL, 17},        {SDLK_RCTRL, 17},        {SDLK_LALT, 18},
    {SDLK_RALT, 18},         {SDLK_PAUSE, 19},        {SDLK_CAPSLOCK, 20},
    {SDLK_ESCAPE, 27},       {SDLK_SPACE, 32},        {SDLK_PAGEUP, 33},
    {SDLK_PAGEDOWN, 34},     {SDLK_END, 35},          {SDLK_HOME, 36},
    {SDLK_LEFT, 37},         {SDLK_UP, 38},           {SDLK_RIGHT, 39},
    {SDLK_DOWN, 40},         {SDLK_INSERT, 45},       {SDLK_DELETE, 46},
    {SDLK_KP_MULTIPLY, 106}, {SDLK_KP_PLUS, 107},     {SDLK_KP_MINUS, 109},
    {SDLK_KP_PERIOD, 110},   {SDLK_KP_DIVIDE, 111},   {SDLK_SEMICOLON, 186},
    {SDLK_EQUALS, 187},      {SDLK_COMMA, 188},       {SDLK_MINUS, 189},
    {SDLK_PERIOD, 190},      {SDLK_SLASH, 191},       {SDLK_BACKQUOTE, 192},
    {SDLK_LEFTBRACKET, 219}, {SDLK_BACKSLASH, 220},   {SDLK_RIGHTBRACKET, 221},
    {SDLK_QUOTE, 222},
};

} // namespace

int webKeyCode(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + int(key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return '0' + int(key - SDLK_0);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
        return 97 + int(key - SDLK_KP_1);
    if (key == SDLK_KP_0)
        return 96;
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return 112 + int(key - SDLK_F1);
    for (const KeyCode& named : namedKeys)
        if (named.key == key)
            return named.code;
    return -1;
}
