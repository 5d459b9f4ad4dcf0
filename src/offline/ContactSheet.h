#pragma once
// The contact sheet: one picture with a labelled thumbnail from the middle of every script entry,
// in script order, each drawn after the show has run up to it (with warm-up) as it would live.

#include "effekt/Effekt.h"
#include "offline/RenderRequest.h"
#include "platform/StopSignals.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class OffscreenWindow;
class Show;

// The effect time at the middle of an entry's window, inside the part of the show that can be
// reached (from `earliest` to `latest`); empty when the window lies outside it.
std::optional<uint32_t> middleOfEntry(uint32_t start, uint32_t end, uint32_t earliest,
                                      uint32_t latest);

// The sheet's file, written under a temporary name (created at once, so an unwritable place fails
// before anything is drawn) and given its name by `save`; removed again unless saved.
class SheetFile {
public:
    explicit SheetFile(const std::string& path);
    ~SheetFile();
    SheetFile(const SheetFile&) = delete;
    SheetFile& operator=(const SheetFile&) = delete;

    void save(const std::vector<uint8_t>& bgraBottomUp, int width, int height);
    const std::string& path() const { return path_; }

private:
    std::string path_, temporary_;
    PartialFile partial_;
    bool saved_ = false;
};

void makeContactSheet(const RenderRequest& request, Show& show, OffscreenWindow& target,
                      SheetFile& file);
