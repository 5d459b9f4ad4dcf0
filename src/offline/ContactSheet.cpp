#include "offline/ContactSheet.h"

#include "audio/MusicStream.h"
#include "encode/ShowEncoder.h"
#include "offline/OfflineFrame.h"
#include "offline/OffscreenWindow.h"
#include "offline/RenderPlan.h"
#include "offline/Screenshot.h"
#include "platform/Error.h"
#include "render/GL.h"
#include "timeline/Show.h"
#include "timeline/ShowFrame.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numeric>

namespace {

const char* const labelFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int thumbnailWidth = 320;
constexpr int columnsAtMost = 4;
// Each thumbnail is kept until the sheet is made: 300 KiB, and as much again in the sheet.
constexpr size_t entriesAtMost = 500;
constexpr int margin = 12;
constexpr int labelHeight = 40;
constexpr int keywordPixels = 15;
constexpr int timePixels = 12;

struct Rgb {
    uint8_t red, green, blue;
};
constexpr Rgb background{24, 24, 28};
constexpr Rgb keywordColour{240, 240, 240};
constexpr Rgb timeColour{170, 170, 180};
constexpr Rgb emptyThumbnail{48, 48, 54};

// A picture of 4 bytes a pixel (blue, green, red, alpha), rows top down.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;

    Picture(int w, int h, Rgb fill) : width(w), height(h), pixels(size_t(w) * size_t(h) * 4) {
        for (size_t i = 0; i < pixels.size(); i += 4) {
            pixels[i] = fill.blue;
            pixels[i + 1] = fill.green;
            pixels[i + 2] = fill.red;
            pixels[i + 3] = 255;
        }
    }
    uint8_t* at(int x, int y) { return &pixels[(size_t(y) * size_t(width) + size_t(x)) * 4]; }
};

// Box-filtered reduction of a frame read from OpenGL (bottom-up rows) to a top-down thumbnail.
Picture shrink(const std::vector<uint8_t>& frame, int width, int height, int toWidth,
               int toHeight) {
    Picture result(toWidth, toHeight, background);
    for (int y = 0; y < toHeight; ++y) {
        const int top = y * height / toHeight,
                  bottom = std::max(top + 1, (y + 1) * height / toHeight);
        for (int x = 0; x < toWidth; ++x) {
            const int left = x * width / toWidth,
                      right = std::max(left + 1, (x + 1) * width / toWidth);
            unsigned sum[3] = {0, 0, 0};
            for (int sy = top; sy < bottom; ++sy) {
                const uint8_t* row = &frame[size_t(height - 1 - sy) * size_t(width) * 4];
                for (int sx = left; sx < right; ++sx)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += row[sx * 4 + c];
            }
            const unsigned count = unsigned((bottom - top) * (right - left));
            uint8_t* pixel = result.at(x, y);
            for (int c = 0; c < 3; ++c)
                pixel[c] = uint8_t((sum[c] + count / 2) / count);
        }
    }
    return result;
}

void paste(Picture& sheet, const Picture& part, int left, int top) {
    for (int y = 0; y < part.height; ++y)
        std::memcpy(sheet.at(left, top + y), &part.pixels[size_t(y) * size_t(part.width) * 4],
                    size_t(part.width) * 4);
}

// Text drawn with FreeType, blended into a picture by glyph coverage.
class LabelWriter {
public:
    LabelWriter() {
        if (FT_Init_FreeType(&library_) != 0)
            raise("Unable to start FreeType");
        if (FT_New_Face(library_, labelFont, 0, &face_) != 0) {
            FT_Done_FreeType(library_);
            raise("Unable to load the font %s", labelFont);
        }
    }
    ~LabelWriter() {
        FT_Done_Face(face_);
        FT_Done_FreeType(library_);
    }
    LabelWriter(const LabelWriter&) = delete;
    LabelWriter& operator=(const LabelWriter&) = delete;

    // Left end at x, baseline at y; clipped to maxWidth (the last characters fall off).
    void write(Picture& picture, const std::string& text, int pixels, int x, int baseline,
               int maxWidth, Rgb colour) {
        FT_Set_Pixel_Sizes(face_, 0, FT_UInt(pixels));
        int pen = x;
        for (unsigned char character : text) {
            if (FT_Load_Char(face_, character, FT_LOAD_RENDER) != 0)
                continue;
            const FT_GlyphSlot glyph = face_->glyph;
            blend(picture, glyph->bitmap, pen + glyph->bitmap_left, baseline - glyph->bitmap_top,
                  x + maxWidth, colour);
            pen += int(glyph->advance.x >> 6);
        }
    }

private:
    static void blend(Picture& picture, const FT_Bitmap& bitmap, int left, int top, int clipRight,
                      Rgb colour) {
        for (unsigned row = 0; row < bitmap.rows; ++row)
            for (unsigned column = 0; column < bitmap.width; ++column) {
                const int x = left + int(column), y = top + int(row);
                if (x < 0 || y < 0 || x >= std::min(clipRight, picture.width) ||
                    y >= picture.height)
                    continue;
                const unsigned cover = bitmap.buffer[row * unsigned(bitmap.pitch) + column];
                uint8_t* pixel = picture.at(x, y);
                const uint8_t target[3] = {colour.blue, colour.green, colour.red};
                for (int c = 0; c < 3; ++c)
                    pixel[c] = uint8_t((pixel[c] * (255 - cover) + target[c] * cover + 127) / 255);
            }
    }

    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
};

std::string clockText(uint32_t milliseconds) {
    return formatText("%u:%02u.%03u", milliseconds / 60000, milliseconds / 1000 % 60,
                      milliseconds % 1000);
}

struct Entry {
    std::string keyword;
    std::optional<uint32_t> middle;
    uint64_t sample = 0;
    std::optional<Picture> thumbnail; // empty: the entry is never reached, or the show ended
    bool showEnded = false;
};

using Clock = std::chrono::steady_clock;

} // namespace

std::optional<uint32_t> middleOfEntry(uint32_t start, uint32_t end, uint32_t earliest,
                                      uint32_t latest) {
    // Both bounds of an entry's window are exclusive; the reachable times are inclusive.
    const uint64_t first = std::max<uint64_t>(uint64_t(start) + 1, earliest);
    const uint64_t last = std::min<uint64_t>(end == 0 ? 0 : uint64_t(end) - 1, latest);
    if (end == 0 || first > last)
        return std::nullopt;
    return uint32_t(first + (last - first) / 2);
}

SheetFile::SheetFile(const std::string& path)
    : path_(path), temporary_(temporaryNameFor(path)), partial_(temporary_) {
    std::FILE* probe = std::fopen(temporary_.c_str(), "wb");
    if (!probe)
        raise("Unable to write %s: %s", path.c_str(), std::strerror(errno));
    std::fclose(probe);
}

SheetFile::~SheetFile() {
    if (saved_)
        return;
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
}

void SheetFile::save(const std::vector<uint8_t>& bgraBottomUp, int width, int height) {
    savePicture(temporary_, bgraBottomUp.data(), width, height, PixelOrder::Bgra);
    std::error_code error;
    std::filesystem::rename(temporary_, path_, error);
    if (error)
        raise("Unable to write %s: %s", path_.c_str(), error.message().c_str());
    saved_ = true;
}

namespace {

// Draws every entry's middle frame, in time order, each after a warm-up (continuing from the
// previous capture when that lies within the warm-up), and keeps its thumbnail.
void captureThumbnails(std::vector<Entry>& entries, const RenderRequest& request, Show& show,
                       MusicStream& music, OffscreenWindow& target, int thumbnailHeight) {
    std::vector<size_t> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return entries[a].sample < entries[b].sample; });
    std::vector<uint8_t> frame(target.frameBytes());
    const Entry* lastCaptured = nullptr;
    RenderPlan grid;
    grid.fps = request.fps;
    const int64_t warmupFrames = int64_t(request.warmup) * request.fps / 1000;
    size_t done = 0;
    for (size_t index : order) {
        Entry& entry = entries[index];
        ++done;
        if (!entry.middle)
            continue;
        if (lastCaptured && lastCaptured->sample == entry.sample) {
            entry.thumbnail = lastCaptured->thumbnail;
            entry.showEnded = lastCaptured->showEnded;
            continue;
        }
        grid.fromSample = entry.sample;
        for (int64_t k = -warmupFrames; k < 0; ++k) {
            if (-k * musicSampleRate > int64_t(entry.sample) * request.fps)
                continue; // before the music's start
            const uint64_t sample = grid.sampleOfFrame(k);
            if (lastCaptured && sample <= lastCaptured->sample)
                continue;
            drawWarmupFrame(music, show, sample);
        }
        lastCaptured = &entry;
        entry.showEnded = !drawOfflineFrame(music, show, entry.sample);
        if (!entry.showEnded) {
            target.read(frame.data());
            entry.thumbnail =
                shrink(frame, target.width(), target.height(), thumbnailWidth, thumbnailHeight);
        }
        std::fprintf(stderr, "\rthumbnail %zu/%zu   ", done, entries.size());
    }
    std::fputs("\n", stderr);
}

Picture composeSheet(const std::vector<Entry>& entries, int thumbnailHeight) {
    const int columns = std::min<int>(columnsAtMost, int(entries.size()));
    const int rows = (int(entries.size()) + columns - 1) / columns;
    const int cellHeight = thumbnailHeight + labelHeight;
    Picture sheet(margin + columns * (thumbnailWidth + margin),
                  margin + rows * (cellHeight + margin), background);
    LabelWriter writer;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& entry = entries[i];
        const int left = margin + int(i % size_t(columns)) * (thumbnailWidth + margin);
        const int top = margin + int(i / size_t(columns)) * (cellHeight + margin);
        if (entry.thumbnail)
            paste(sheet, *entry.thumbnail, left, top);
        else
            paste(sheet, Picture(thumbnailWidth, thumbnailHeight, emptyThumbnail), left, top);
        const std::string title = std::to_string(i + 1) + ". " + entry.keyword;
        const std::string when =
            entry.middle ? (entry.showEnded ? clockText(*entry.middle) + "  (the show has ended)"
                                            : clockText(*entry.middle))
                         : "never reached";
        const int textTop = top + thumbnailHeight;
        writer.write(sheet, title, keywordPixels, left + 2, textTop + 18, thumbnailWidth - 4,
                     keywordColour);
        writer.write(sheet, when, timePixels, left + 2, textTop + 34, thumbnailWidth - 4,
                     timeColour);
    }
    return sheet;
}

std::vector<uint8_t> bottomUp(const Picture& picture) {
    std::vector<uint8_t> result(picture.pixels.size());
    const size_t row = size_t(picture.width) * 4;
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(&result[size_t(picture.height - 1 - y) * row], &picture.pixels[size_t(y) * row],
                    row);
    return result;
}

} // namespace

void makeContactSheet(const RenderRequest& request, Show& show, OffscreenWindow& target,
                      SheetFile& file) {
    const EffectList& effects = show.effects();
    if (effects.empty())
        raise("The script has no entries to show on a contact sheet");
    if (effects.size() > entriesAtMost)
        raise("%s:%d: a contact sheet shows at most %zu entries, and this is entry %zu of %zu",
              showScriptPath, show.entries()[entriesAtMost].lines.keyword, entriesAtMost,
              entriesAtMost + 1, effects.size());
    const auto start = Clock::now();
    MusicStream music(show.music().samples(), MusicOutput::Manual);
    const uint32_t offset = show.startOffset();
    const std::vector<std::string> keywords = show.keywords();
    // Effect time 'offset' is the music's first sample; the last reachable time is its end (a show
    // without music has no end).
    const uint32_t latest =
        music.lengthFrames() > 0
            ? effectTimeAt(double(music.lengthFrames() - 1) / musicSampleRate, offset)
            : UINT32_MAX;
    std::vector<Entry> entries(effects.size());
    for (size_t i = 0; i < effects.size(); ++i) {
        entries[i].keyword = i < keywords.size() ? keywords[i] : "?";
        entries[i].middle =
            middleOfEntry(effects[i]->startTime, effects[i]->endTime, offset, latest);
        if (entries[i].middle)
            entries[i].sample = sampleOfEffectTime(*entries[i].middle, offset);
    }
    const int thumbnailHeight = std::max(1, thumbnailWidth * target.height() / target.width());
    glClearColor(0, 0, 0, 0);
    captureThumbnails(entries, request, show, music, target, thumbnailHeight);
    const Picture sheet = composeSheet(entries, thumbnailHeight);
    file.save(bottomUp(sheet), sheet.width, sheet.height);
    std::fprintf(stderr, "Contact sheet of %zu entries in %.1f s: %s\n", entries.size(),
                 std::chrono::duration<double>(Clock::now() - start).count(), file.path().c_str());
}
