#include "ui/font.h"

#include "resource_table.h"
#include "store/utf8.h"

namespace ui {

namespace {

constexpr Font fontOf(const res::FontAtlas& atlas, const Glyph* glyphs) {
    return {atlas.atlasWidth, atlas.atlasHeight, nullptr, glyphs, atlas.pixelSize, atlas.ascent};
}

} // namespace

Font labelFont = fontOf(res::labelFont, labelGlyphs);
Font headlineFont = fontOf(res::headlineFont, headlineGlyphs);
Font buttonFont = fontOf(res::buttonFont, buttonGlyphs);
Font detailFont = fontOf(res::detailFont, detailGlyphs);

std::string sanitizeText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 128) {
            out += c >= 32 && c <= 126 ? static_cast<char>(c) : '?';
            ++i;
            continue;
        }
        const std::size_t n = utf8SequenceLength(utf8, i);
        out += '?';
        i += n == 0 ? 1 : n;
    }
    return out;
}

int measureText(const Font& font, std::string_view text) {
    int width = 0;
    for (const char c : sanitizeText(text))
        width += font.glyphs[static_cast<unsigned char>(c)].advance;
    return width;
}

void drawText(const Font& font, Canvas& canvas, int x, int y, std::string_view text, Color color) {
    int pen = x;
    for (const char ch : sanitizeText(text)) {
        const Glyph& g = font.glyphs[static_cast<unsigned char>(ch)];
        const int left = pen + g.offsetX, top = y + g.offsetY;
        const Rect area = intersect(canvas.clip(), {left, top, left + g.width, top + g.height});
        for (int row = area.top; row < area.bottom; ++row) {
            const int i = row - top;
            for (int column = area.left; column < area.right; ++column) {
                const int j = column - left;
                const int coverage = font.atlas[(g.atlasY + i) * font.atlasWidth + g.atlasX + j];
                const int u = coverage * color.a / 255;
                if (u == 0) continue;
                std::uint8_t* d = canvas.at(column, row);
                const int c[3] = {color.r, color.g, color.b};
                for (int k = 0; k < 3; ++k)
                    d[k] = static_cast<std::uint8_t>(((255 - u) * d[k] + c[k] * u) / 255);
                d[3] = 255;
            }
        }
        pen += g.advance;
    }
}

std::vector<std::string> wrapText(std::string_view text) {
    const std::string clean = sanitizeText(text);
    // Widths are summed as the text is walked, so a long text costs its length, not its
    // length squared.
    const auto advance = [](char c) { return detailFont.glyphs[static_cast<unsigned char>(c)].advance; };
    const int space = advance(' ');
    std::vector<std::string> lines;
    std::string line;
    int lineWidth = 0;
    std::size_t at = 0;
    while (at < clean.size()) {
        const std::size_t start = clean.find_first_not_of(' ', at);
        if (start == std::string::npos) break;
        const std::size_t end = std::min(clean.find(' ', start), clean.size());
        std::string_view word = std::string_view(clean).substr(start, end - start);
        at = end;
        int wordWidth = 0;
        for (const char c : word)
            wordWidth += advance(c);
        while (wordWidth > wrapWidth) {
            // The longest prefix that fits, one character at least.
            std::size_t n = 0;
            int fitted = 0;
            while (n < word.size() && fitted + advance(word[n]) <= wrapWidth)
                fitted += advance(word[n++]);
            if (n == 0) fitted = advance(word[n++]);
            if (!line.empty()) lines.push_back(std::move(line));
            line.clear();
            lineWidth = 0;
            lines.emplace_back(word.substr(0, n));
            word.remove_prefix(n);
            wordWidth -= fitted;
        }
        const int joined = line.empty() ? wordWidth : lineWidth + space + wordWidth;
        if (joined <= wrapWidth) {
            if (!line.empty()) line += ' ';
            line += word;
            lineWidth = joined;
        } else {
            if (!line.empty()) lines.push_back(std::move(line));
            line = std::string(word);
            lineWidth = wordWidth;
        }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

} // namespace ui
