#pragma once
// The profile: the frames a render would keep drawn without reading them back, and what each
// script entry cost to draw printed as a table and, on request, written to a CSV file.

#include "offline/RenderRequest.h"

#include <cstdio>
#include <string>

class OffscreenWindow;
class Show;

// The CSV file of a profile, created at once so an unwritable place fails before the show loads.
class ProfileFile {
public:
    explicit ProfileFile(const std::string& path);
    ~ProfileFile();
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;
    void write(const std::string& text);

private:
    std::string path_;
    std::FILE* file_;
};

// Draws the frames a render of the request would keep, with its warm-up, without reading them
// back or encoding them, and prints on standard output what each script entry cost to draw.
void profileShow(const RenderRequest& request, Show& show, const OffscreenWindow& target,
                 ProfileFile* csv);
