// Rasterises the launcher's four bitmap fonts with FreeType into atlases of fixed sizes and
// writes their glyph tables as C++.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct AtlasRequest {
    std::string name;            // "label": the table is labelGlyphs
    std::string fontFile;        // a TrueType face
    int atlasWidth, atlasHeight; // a width of 0: as wide as the glyphs need
    int pixelSize;
    int fixedAdvance;                  // 0: proportional
    std::map<char, int> forcedAdvance; // proportional fonts: advances that must hold exactly
};

struct GlyphRow {
    int atlasX, atlasY, width, height, offsetX, offsetY, advance;
};

struct AtlasResult {
    int atlasWidth = 0;
    std::vector<std::uint8_t> atlas; // atlasWidth * atlasHeight coverage bytes
    GlyphRow glyphs[128] = {};
};

// Throws std::runtime_error with the reason when the face cannot be used or does not fit.
AtlasResult renderAtlas(const AtlasRequest& request);

std::string glyphTableSource(const std::vector<std::pair<std::string, const AtlasResult*>>& fonts);
