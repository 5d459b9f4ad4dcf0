#pragma once
// The loading picture: data/overlay/loader.jpg, rising by 1/total of its travel with every entry.

#include "platform/ShowFiles.h"
#include "render/Texture.h"

#include <chrono>

class ShowScreen;

class LoadingScreen {
public:
    // Loads the picture from the show's files (a missing one leaves the texture empty). `total`
    // is the expected number of entries.
    LoadingScreen(ShowScreen& screen, ShowFiles& files, int total);

    // Draws the frame for the next entry, presents it and handles the window's events (which may
    // throw "You quit?").
    void presentFrame();
    // Counts the next entry, and presents its frame when the last one was presented long enough
    // ago to be seen: a show of many small entries loads in the time its entries take.
    void nextEntry();
    // Clears the colour buffer and draws the picture at the current progress, without presenting.
    void drawFrame() const;

    int shown() const { return shown_; }

private:
    ShowScreen& screen_;
    CTextureFreeImage picture_;
    int total_;
    int shown_ = 0;
    std::chrono::steady_clock::time_point presented_;
};
