// The pixel primitives, text and the bar, with their exact integer arithmetic, on the canvas.
#include "ui/bar.h"
#include "ui/canvas.h"
#include "ui/font.h"
#include "ui/layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using namespace ui;

void fill(Canvas& c, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    for (std::size_t i = 0; i < c.bytes(); i += 4) {
        std::uint8_t* p = c.pixels() + i;
        p[0] = r, p[1] = g, p[2] = b, p[3] = a;
    }
}

TEST(Drawing, BlitCompositesPremultipliedAndClipsAtEveryEdge) {
    // A 4 x 4 picture: opaque red, half-transparent green, fully transparent, opaque blue.
    std::vector<std::uint8_t> pixels;
    for (int i = 0; i < 16; ++i) {
        const std::uint8_t px[4][4] = {{255, 0, 0, 255}, {0, 128, 0, 128}, {0, 0, 0, 0}, {0, 0, 255, 255}};
        pixels.insert(pixels.end(), px[i % 4], px[i % 4] + 4);
    }
    const Image image{4, 4, pixels.data()};
    Canvas c;
    fill(c, 100, 100, 100, 255);
    blitImage(c, image, 10, 10);
    EXPECT_EQ(std::vector<int>(c.at(10, 10), c.at(10, 10) + 4), (std::vector<int>{255, 0, 0, 255}));
    // d = ((66049 * 127 * 100) / 65535 + 128 * 257) >> 8 for green; 100 -> 49 elsewhere.
    EXPECT_EQ(std::vector<int>(c.at(11, 10), c.at(11, 10) + 4), (std::vector<int>{49, 178, 49, 255}));
    EXPECT_EQ(std::vector<int>(c.at(12, 10), c.at(12, 10) + 4), (std::vector<int>{100, 100, 100, 255}));

    // Off every edge: only the pixels on the canvas change, nothing wraps to another row.
    Canvas edges;
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{
             {-2, 100}, {958, 100}, {100, -2}, {100, 658}, {-3, -3}, {959, 659}}) {
        blitImage(edges, image, x, y);
    }
    EXPECT_EQ(edges.at(0, 100)[2], 0);   // column 2 of the picture (transparent) at x 0
    EXPECT_EQ(edges.at(1, 100)[2], 255); // column 3 (blue) at x 1
    EXPECT_EQ(edges.at(959, 100)[1], 128);
    EXPECT_EQ(edges.at(959, 101)[0], 255 * 0 + 128 * 0); // the row below was drawn from its own row
    EXPECT_EQ(edges.at(1, 101)[2], 255);
    EXPECT_EQ(edges.at(0, 0)[2], 255); // (-3, -3): only its last column and row land
    EXPECT_EQ(edges.at(959, 659)[0], 255);
    int touched = 0;
    for (std::size_t i = 0; i < edges.bytes(); i += 4)
        touched += edges.pixels()[i + 3] != 0;
    EXPECT_EQ(touched, 2 * 4 + 2 * 4 + 2 * 4 + 2 * 4 + 1 + 1 - 8); // transparent pixels leave alpha 0
}

TEST(Drawing, BlitWithOpacity) {
    const std::uint8_t opaque[4] = {200, 100, 50, 255};
    const std::uint8_t clear[4] = {0, 0, 0, 0};
    Canvas c;
    fill(c, 10, 20, 30, 255);
    blitImage(c, {1, 1, opaque}, 5, 5, true, 0);
    EXPECT_EQ(std::vector<int>(c.at(5, 5), c.at(5, 5) + 4), (std::vector<int>{10, 20, 30, 255}));
    blitImage(c, {1, 1, opaque}, 5, 5, true, 255);
    EXPECT_EQ(std::vector<int>(c.at(5, 5), c.at(5, 5) + 4), (std::vector<int>{200, 100, 50, 255}));
    for (int o : {0, 70, 255}) {
        blitImage(c, {1, 1, clear}, 6, 6, true, o);
        blitImage(c, {1, 1, clear}, 6, 6, false, o);
        EXPECT_EQ(std::vector<int>(c.at(6, 6), c.at(6, 6) + 4), (std::vector<int>{10, 20, 30, 255}));
    }
    blitImage(c, {1, 1, opaque}, 7, 7, true, 128);
    // t = 255 * 128 * 66049; r = 16842495 - (t / 65535) * 257; d = ((10 * r + 200 * 128 * 66049) / 65535) >>
    // 8
    const std::uint32_t t = 255u * 128u * 66049u, r = 16842495u - (t / 65535) * 257;
    EXPECT_EQ(c.at(7, 7)[0], ((10 * r + 200u * 128u * 66049u) / 65535) >> 8);
    EXPECT_EQ(c.at(7, 7)[3], ((255 * r + t) / 65535) >> 8);
}

TEST(Drawing, BlendPixel) {
    Canvas c;
    fill(c, 100, 100, 100, 7);
    blendPixel(c, 3, 3, {200, 50, 0, 255}, 1);
    EXPECT_EQ(std::vector<int>(c.at(3, 3), c.at(3, 3) + 4), (std::vector<int>{200, 50, 0, 7}));
    blendPixel(c, 4, 4, {200, 50, 0, 0}, 1);
    EXPECT_EQ(c.at(4, 4)[0], 100);
    blendPixel(c, 5, 5, {200, 50, 0, 255}, 0.5);
    EXPECT_EQ(c.at(5, 5)[0], 150);
    EXPECT_EQ(c.at(5, 5)[1], 75);
    blendPixel(c, 6, 6, {200, 50, 0, 255}, 0);
    EXPECT_EQ(c.at(6, 6)[0], 100);
    for (auto [x, y] : std::vector<std::pair<int, int>>{{-1, 0}, {960, 0}, {0, -1}, {0, 660}}) {
        blendPixel(c, x, y, {255, 255, 255, 255}, 1); // off the canvas: nothing, no wrap
    }
    EXPECT_EQ(c.at(959, 0)[0], 100);
    EXPECT_EQ(c.at(0, 1)[0], 100);
}

// A font whose glyphs are solid boxes, to check drawing and clipping exactly.
struct BoxFont {
    std::vector<std::uint8_t> atlas = std::vector<std::uint8_t>(8 * 4, 255);
    Glyph glyphs[128] = {};
    Font font;
    BoxFont() {
        for (int c = 33; c < 127; ++c)
            glyphs[c] = {0, 0, 3, 4, 1, -4, 5};
        glyphs[32] = {0, 0, 0, 0, 0, 0, 5};
        font = {8, 4, atlas.data(), glyphs, 4, 4};
    }
};

TEST(Drawing, TextIsBlendedAndClippedNeverWrapped) {
    BoxFont box;
    Canvas c;
    fill(c, 0, 0, 0, 0);
    drawText(box.font, c, 10, 20, "ab", {255, 128, 0, 255});
    EXPECT_EQ(std::vector<int>(c.at(11, 16), c.at(11, 16) + 4), (std::vector<int>{255, 128, 0, 255}));
    EXPECT_EQ(c.at(13, 19)[0], 255);
    EXPECT_EQ(c.at(14, 19)[3], 0);   // the gap between the two boxes
    EXPECT_EQ(c.at(16, 16)[0], 255); // the second glyph, one advance on
    EXPECT_EQ(c.at(11, 20)[3], 0);   // the baseline row itself is below the box

    Canvas half;
    fill(half, 100, 100, 100, 5);
    drawText(box.font, half, 10, 20, "a", {200, 0, 0, 128});
    // u = 255 * 128 / 255 = 128; d = ((255 - 128) * 100 + 200 * 128) / 255
    EXPECT_EQ(half.at(11, 16)[0], ((255 - 128) * 100 + 200 * 128) / 255);
    EXPECT_EQ(half.at(11, 16)[3], 255);
    Canvas none;
    drawText(box.font, none, 10, 20, "a", {200, 0, 0, 0});
    EXPECT_EQ(none.at(11, 16)[3], 0);

    Canvas edges;
    drawText(box.font, edges, -2, 2, "a", {255, 255, 255, 255});    // left and top
    drawText(box.font, edges, 957, 661, "a", {255, 255, 255, 255}); // right and bottom
    EXPECT_EQ(edges.at(0, 0)[0], 255);
    EXPECT_EQ(edges.at(0, 1)[0], 255);
    EXPECT_EQ(edges.at(2, 0)[0], 0);
    EXPECT_EQ(edges.at(958, 657)[0], 255);
    EXPECT_EQ(edges.at(959, 659)[0], 255);
    EXPECT_EQ(edges.at(0, 658)[0], 0); // nothing wrapped onto the next row
    int drawn = 0;
    for (std::size_t i = 0; i < edges.bytes(); i += 4)
        drawn += edges.pixels()[i] != 0;
    EXPECT_EQ(drawn, 2 * 2 + 2 * 3); // 2 x 2 at the top left, 2 x 3 at the bottom right
}

TEST(Drawing, SanitizeAndMeasure) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"caf\xC3\xA9!", "caf?!"},
        {"\xF0\x9F\x98\x80 ok", "? ok"},
        {"end\xC3", "end?"},
        {"a\tb\nc\x7F", "a?b?c?"},
        {"\xE2\x82", "??"},
        {"\xED\xA0\x80", "???"},
        {"\xC0\xAF", "??"},
        {"\xF4\x90\x80\x80", "????"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sanitizeText(c.in), c.out) << c.in;
    BoxFont box;
    EXPECT_EQ(measureText(box.font, ""), 0);
    EXPECT_EQ(measureText(box.font, "a b\xC3\xA9"), 20);
}

TEST(Drawing, BuiltInTablesHaveTheStatedMetrics) {
    EXPECT_EQ(measureText(buttonFont, "PLAY"), 109);
    EXPECT_EQ(measureText(buttonFont, "RETRY"), 152);
    EXPECT_EQ(measureText(detailFont, "REPAIR FILES"), 132);
    EXPECT_EQ(measureText(headlineFont, "Can't reach the update server"), 522);
    for (int c = 33; c < 127; ++c) {
        EXPECT_EQ(labelGlyphs[c].advance, 12);
        EXPECT_EQ(headlineGlyphs[c].advance, 18);
        EXPECT_EQ(detailGlyphs[c].advance, 11);
        EXPECT_EQ(buttonGlyphs[c].atlasY, 0);
        EXPECT_LE(buttonGlyphs[c].atlasX + buttonGlyphs[c].width, buttonFont.atlasWidth);
        EXPECT_LE(buttonGlyphs[c].height, buttonFont.atlasHeight);
        if (c > 33) {
            EXPECT_EQ(detailGlyphs[c].atlasX, detailGlyphs[c - 1].atlasX + detailGlyphs[c - 1].width + 1);
        }
    }
    EXPECT_EQ(detailGlyphs[33].atlasX, 1);
    EXPECT_EQ(buttonGlyphs[32].advance, 16);
    EXPECT_EQ(buttonGlyphs[static_cast<int>('A')].advance, 32);
    EXPECT_EQ(buttonGlyphs[static_cast<int>('P')].advance, 24);
    EXPECT_EQ(buttonGlyphs[static_cast<int>('R')].advance, 34);
}

TEST(Drawing, WrapText) {
    const std::string word64(64, 'w');
    auto lines = wrapText(word64 + " and more");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(52, 'w'));
    EXPECT_EQ(lines[1], std::string(12, 'w') + " and more");
    EXPECT_EQ(wrapText("a  b"), (std::vector<std::string>{"a b"}));
    EXPECT_TRUE(wrapText("").empty());
    EXPECT_TRUE(wrapText("    ").empty());
    // 52 characters fit a line exactly (572 pixels); the next word starts a new one.
    const std::string fits(52, 'x');
    EXPECT_EQ(wrapText(fits + " y"), (std::vector<std::string>{fits, "y"}));
    EXPECT_EQ(wrapText("tab\there"), (std::vector<std::string>{"tab?here"}));
    // A 20,000-character word (a hostile path) wraps into full lines in one pass.
    lines = wrapText(std::string(20000, 'w'));
    ASSERT_EQ(lines.size(), 385u);
    EXPECT_EQ(lines.back(), std::string(20000 - 384 * 52, 'w'));
}

TEST(Drawing, RoundedRectAndBarGeometry) {
    Canvas c;
    const Color white{255, 255, 255, 255};
    fillRoundedRect(c, {10, 10, 40, 30}, 8, [&](int, int) { return white; });
    EXPECT_EQ(c.at(10, 10)[0], 0);                 // outside the corner's arc
    EXPECT_EQ(c.at(25, 10)[0], 255);               // top edge, between the corners
    EXPECT_EQ(c.at(39, 20)[0], 255);               // right edge, between the corners
    EXPECT_EQ(c.at(40, 20)[0], 0);                 // right is exclusive
    const double d = std::hypot(0.5 - 8, 0.5 - 8); // corner pixel (0, 0)
    EXPECT_EQ(c.at(10, 10)[0], static_cast<int>(255 * std::min(1.0, std::max(0.0, 8.5 - d)) + 0.5));
    fillRoundedRect(c, {100, 100, 100, 120}, 4, [&](int, int) { return white; }); // empty
    EXPECT_EQ(c.at(100, 100)[0], 0);

    // Bar fill widths: a value of 0.5 fills 285 pixels of the 570-pixel well, 0.01 fills 6.
    const auto fillEnd = [](double value, bool indeterminate, double time) {
        Canvas b;
        bar(b, {40, 583, 620, 613}, value, indeterminate, time, normalPalette, "");
        // The fill is green-dominant; the well is dark brown.
        int first = -1, last = -1;
        for (int x = 45; x < 615; ++x) {
            const std::uint8_t* p = b.at(x, 598);
            if (p[1] > p[0] + 20) {
                if (first < 0) first = x;
                last = x;
            }
        }
        return std::pair{first, last};
    };
    EXPECT_EQ(fillEnd(0, false, 0), std::make_pair(-1, -1));
    EXPECT_EQ(fillEnd(0.5, false, 0), std::make_pair(45, 45 + 285 - 1));
    EXPECT_EQ(fillEnd(2, false, 0), std::make_pair(45, 45 + 570 - 1));
    EXPECT_EQ(fillEnd(-1, false, 0), std::make_pair(-1, -1));
    EXPECT_EQ(fillEnd(0.01, false, 0), std::make_pair(45, 50));
    EXPECT_EQ(fillEnd(0, true, 0), std::make_pair(45, 45 + 171 - 1));
    EXPECT_EQ(fillEnd(0, true, std::acos(-1.0) / 2.4), std::make_pair(45 + 399, 45 + 399 + 171 - 1));
}

TEST(Drawing, FullBarHasNoStripesAndPartialBarHas) {
    const auto rowOfFill = [](double value) {
        Canvas b;
        bar(b, {40, 583, 620, 613}, value, false, 0, normalPalette, "");
        std::vector<int> greens;
        for (int x = 60; x < 100; ++x)
            greens.push_back(b.at(x, 600)[1]);
        return greens;
    };
    const std::vector<int> full = rowOfFill(1), partial = rowOfFill(0.9);
    EXPECT_EQ(std::count(full.begin(), full.end(), full[0]), static_cast<long>(full.size()));
    EXPECT_NE(std::count(partial.begin(), partial.end(), partial[0]), static_cast<long>(partial.size()));
}

} // namespace

namespace {

TEST(Drawing, SmallCanvasesClipAtTheirOwnEdgesAndShowAsBgrx) {
    Canvas small(3, 2);
    const std::uint8_t red[4] = {255, 0, 0, 255};
    blitImage(small, {1, 1, red}, 2, 1);
    blitImage(small, {1, 1, red}, 3, 1); // off the canvas: nothing, no wrap to the next row
    blendPixel(small, 0, 2, {255, 255, 255, 255}, 1);
    int touched = 0;
    for (std::size_t i = 3; i < small.bytes(); i += 4)
        touched += small.pixels()[i] != 0;
    EXPECT_EQ(touched, 1);
    std::vector<std::uint8_t> screen(small.bytes());
    toBgrx(small, screen.data());
    EXPECT_EQ(std::vector<int>(screen.end() - 4, screen.end()), (std::vector<int>{0, 0, 255, 255}));
    EXPECT_EQ(std::vector<int>(screen.begin(), screen.begin() + 4), (std::vector<int>{0, 0, 0, 255}));
}

TEST(Layout, HitTestFindsTheButtonAndTheLink) {
    const struct {
        int x, y;
        bool button, link;
    } cases[] = {
        {660, 558, true, false},  {919, 633, true, true},   {659, 600, false, false},
        {920, 600, false, false}, {700, 557, false, false}, {700, 634, false, false},
        {900, 640, false, true},  {779, 640, false, false}, {790, 20, false, false},
    };
    for (const auto& c : cases) {
        const Hit hit = hitTest(c.x, c.y);
        EXPECT_EQ(hit.button, c.button) << c.x << "," << c.y;
        EXPECT_EQ(hit.repairLink, c.link) << c.x << "," << c.y;
    }
}

TEST(Layout, ASuggestedWindowRectIsTakenOnlyWhenSane) {
    const Rect screen{-1920, 0, 2560, 1600}; // two monitors side by side
    const struct {
        Rect suggested;
        bool taken;
    } cases[] = {
        {{100, 100, 2020, 1420}, true},   // the size needed, on the screen
        {{-1800, 50, 120, 1370}, true},   // on the monitor to the left
        {{2000, 1500, 3920, 2820}, true}, // partly on it
        {{100, 100, 100, 1420}, false},   // no width
        {{100, 1420, 2020, 100}, false},  // a negative height
        {{0, 0, 7681, 1320}, false},      // over four times as wide as needed
        {{3000, 0, 4920, 1320}, false},   // beside the screen
        {{-2147483647, 0, 2147483647, 1320}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(saneWindowRect(c.suggested, 1920, 1320, screen), c.taken)
            << c.suggested.left << "," << c.suggested.top << "," << c.suggested.right << ","
            << c.suggested.bottom;
    }
}

} // namespace
