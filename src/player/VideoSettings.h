#pragma once
// The display choices made in the Video setup dialog (or on the command line).

struct VideoSettings {
    int width = 1024;
    int height = 768;
    int bitsPerPixel = 32;
    bool windowed = false;
    bool verticalSync = true;
    bool multisampling = false;
    bool alwaysOnTop = true;
    bool hidden = false; // offline rendering draws off screen and never shows its window
};
