// Bitmap fonts: an 8-bit coverage atlas per font and a table of 128 glyphs.
#pragma once

#include "ui/canvas.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

struct Glyph {
    std::int16_t atlasX, atlasY, width, height, offsetX, offsetY, advance;
};

struct Font {
    std::int32_t atlasWidth = 0;
    std::int32_t atlasHeight = 0;
    const std::uint8_t* atlas = nullptr; // one coverage byte per pixel, row-major
    const Glyph* glyphs = nullptr;       // 128 entries, by byte value
    std::int32_t pixelSize = 0;
    std::int32_t ascent = 0; // baseline = centre line + ascent / 2
};

// The four fonts; their atlases are bound from the embedded resources.
extern Font labelFont, headlineFont, buttonFont, detailFont;

// The built-in glyph tables (generated with the atlases).
extern const Glyph labelGlyphs[128], headlineGlyphs[128], buttonGlyphs[128], detailGlyphs[128];
// The same four at each larger scale the resources hold (res::scaledSets, in that order).
extern const Glyph* const scaledGlyphTables[][4];

// Every byte of the result lies in 32..126: each well-formed non-ASCII character and each byte
// that starts no well-formed sequence becomes one "?".
std::string sanitizeText(std::string_view utf8);

int measureText(const Font& font, std::string_view text);

// Draws text with its pen starting at x and its baseline at y; pixels outside the clip are skipped.
void drawText(const Font& font, Canvas& canvas, int x, int y, std::string_view text, Color color);

inline constexpr int wrapWidth = 580;

// Lines of at most 580 pixels in detailFont (unless one character is wider), broken at spaces.
std::vector<std::string> wrapText(std::string_view text);

} // namespace ui
