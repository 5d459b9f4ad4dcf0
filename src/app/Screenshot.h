#pragma once
// Saving what the show drew into the window.

#include <string>

// Reads the back buffer of the window framebuffer (screenWidth x screenHeight) and writes it as
// an RGB PNG file. Throws "Unable to save picture %s" when the file cannot be written.
void saveWindowPicture(const std::string& path);
