#pragma once
// Shared pieces of the tests and benchmarks that open a window: a small windowed record and
// synthetic key events.

#include "player/VideoSettings.h"

#include <SDL2/SDL.h>

inline VideoSettings smallWindow(int width, int height, bool multisampling = false) {
    VideoSettings settings;
    settings.width = width;
    settings.height = height;
    settings.windowed = true;
    settings.verticalSync = false;
    settings.multisampling = multisampling;
    return settings;
}

// Queues a key press (SDL_KEYDOWN) or release (SDL_KEYUP) for the window's next poll.
inline void pushKey(Uint32 type, SDL_Keycode key) {
    SDL_Event event{};
    event.type = type;
    event.key.type = type;
    event.key.state = type == SDL_KEYUP ? SDL_RELEASED : SDL_PRESSED;
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
}

inline void pushKeyRelease(SDL_Keycode key) { pushKey(SDL_KEYUP, key); }
