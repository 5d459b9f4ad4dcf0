#include "TextRender.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <stdexcept>

const char* const sansBoldFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const char* const sansFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct FontRenderer::Library {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

FontRenderer::FontRenderer(const char* fontPath) : library_(new Library) {
    if (FT_Init_FreeType(&library_->library) != 0) {
        delete library_;
        throw std::runtime_error("cannot start FreeType");
    }
    if (FT_New_Face(library_->library, fontPath, 0, &library_->face) != 0) {
        FT_Done_FreeType(library_->library);
        delete library_;
        throw std::runtime_error(std::string("cannot open the font ") + fontPath);
    }
}

FontRenderer::~FontRenderer() {
    FT_Done_Face(library_->face);
    FT_Done_FreeType(library_->library);
    delete library_;
}

namespace {

// Walks the glyphs of a text (Latin-1 / ASCII), calling visit(glyphSlot, penX) for each.
template <class Visit>
int layOut(FT_Face face, const std::string& text, int pixelSize, Visit visit) {
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize));
    int pen = 0;
    FT_UInt previous = 0;
    for (unsigned char ch : text) {
        FT_UInt glyph = FT_Get_Char_Index(face, ch);
        if (previous && glyph && FT_HAS_KERNING(face)) {
            FT_Vector kerning;
            FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &kerning);
            pen += int(kerning.x >> 6);
        }
        if (FT_Load_Glyph(face, glyph, FT_LOAD_RENDER) != 0)
            continue;
        visit(face->glyph, pen);
        pen += int(face->glyph->advance.x >> 6);
        previous = glyph;
    }
    return pen;
}

} // namespace

int FontRenderer::measure(const std::string& text, int pixelSize) {
    return layOut(library_->face, text, pixelSize, [](FT_GlyphSlot, int) {});
}

void FontRenderer::draw(Mask& mask, const std::string& text, int pixelSize, int x, int baseline) {
    layOut(library_->face, text, pixelSize, [&](FT_GlyphSlot slot, int pen) {
        const FT_Bitmap& bitmap = slot->bitmap;
        int left = x + pen + slot->bitmap_left;
        int top = baseline - slot->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row)
            for (unsigned col = 0; col < bitmap.width; ++col) {
                int px = left + int(col), py = top + int(row);
                if (px < 0 || py < 0 || px >= mask.width || py >= mask.height)
                    continue;
                float value = bitmap.buffer[row * bitmap.pitch + col] / 255.0f;
                mask.at(px, py) = std::min(1.0f, mask.at(px, py) + value);
            }
    });
}

void FontRenderer::drawCentred(Mask& mask, const std::string& text, int pixelSize, int centreX,
                               int baseline, int maxWidth) {
    while (pixelSize > 6 && measure(text, pixelSize) > maxWidth)
        --pixelSize;
    draw(mask, text, pixelSize, centreX - measure(text, pixelSize) / 2, baseline);
}
