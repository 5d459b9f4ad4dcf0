#pragma once
// The keys of the live window by the codes web pages give them (A is 65, the arrows 37 to 40),
// which the website's keyboard texture is laid out by.

#include <SDL2/SDL_keycode.h>

// The key's code on web pages, or -1 for a key that has none here.
int webKeyCode(SDL_Keycode key);
