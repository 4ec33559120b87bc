#include "ui/compose.h"

#include "ui/font.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace ui {

Artwork artwork;

namespace {

// The background with the panel over it: neither ever changes, so frames start from this.
std::vector<std::uint8_t> backdrop;

} // namespace

void bindArtwork(const std::uint8_t* const r[res::count]) {
    const auto image = [](const res::Picture& p, const std::uint8_t* data) {
        return Image{p.width, p.height, data};
    };
    artwork = {image(res::background, r[0]),    image(res::panel, r[1]),
               image(res::buttonNormal, r[2]),  image(res::buttonHover, r[3]),
               image(res::buttonPressed, r[4]), image(res::buttonDisabled, r[5])};
    labelFont.atlas = r[6];
    headlineFont.atlas = r[7];
    buttonFont.atlas = r[8];
    detailFont.atlas = r[9];
    Canvas canvas;
    std::memcpy(canvas.pixels(), artwork.background.pixels, canvasBytes);
    blitImage(canvas, artwork.panel, 0, layout::panelTop);
    backdrop.assign(canvas.pixels(), canvas.pixels() + canvasBytes);
}

namespace {

constexpr Color shadow{10, 5, 2, 200};
constexpr int headlineBaseline = 572, detailBaseline = 638, detailLineHeight = 18;

void drawShadowed(const Font& font, Canvas& canvas, int x, int y, std::string_view text, Color color) {
    drawText(font, canvas, x + 2, y + 2, text, shadow);
    drawText(font, canvas, x, y, text, color);
}

// The pixels drawShadowed may touch: every glyph's box, and the same shifted by the shadow.
Rect shadowedArea(const Font& font, int x, int y, std::string_view text) {
    Rect area;
    int pen = x;
    for (const char ch : sanitizeText(text)) {
        const Glyph& g = font.glyphs[static_cast<unsigned char>(ch)];
        const int left = pen + g.offsetX, top = y + g.offsetY;
        area = unite(area, {left, top, left + g.width + 2, top + g.height + 2});
        pen += g.advance;
    }
    return area;
}

// At most two lines; a cut second line ends in "..." after its trailing spaces and periods.
std::vector<std::string> detailLines(const std::string& detail) {
    std::vector<std::string> lines = wrapText(detail);
    if (lines.size() >= 3) {
        lines.resize(2);
        std::string& last = lines[1];
        while (!last.empty() && (last.back() == ' ' || last.back() == '.'))
            last.pop_back();
        last += "...";
    }
    return lines;
}

bool failed(const ScreenView& v) {
    return v.phase == SessionPhase::Failed;
}

// What the bar shows, in the terms bar() takes.
struct BarLook {
    const BarPalette* palette;
    double value;
    bool indeterminate;
    std::string label;
    double time; // 0 while nothing in the bar moves
    bool operator==(const BarLook&) const = default;
};

BarLook barLook(const ScreenView& v) {
    const bool offline = v.phase == SessionPhase::Offline;
    BarLook look{offline     ? &offlinePalette
                 : failed(v) ? &failedPalette
                             : &normalPalette,
                 offline || failed(v) ? 1 : v.fraction, v.fraction < 0, "", 0};
    if (v.fraction >= 0 && !offline && !failed(v)) {
        char text[16];
        std::snprintf(text, sizeof text, "%d%%", static_cast<int>(v.fraction * 100 + 0.5));
        look.label = text;
    }
    // The fill's stripes move while work goes on, and the sweep while its amount is unknown.
    if (look.indeterminate || look.value < 1) look.time = v.time;
    return look;
}

int barLabelBaseline() {
    return labelFont.ascent / 2 + layout::bar.top + (layout::bar.bottom - layout::bar.top) / 2;
}

int barLabelX(const std::string& label) {
    return layout::bar.left + (layout::bar.right - layout::bar.left) / 2 - measureText(labelFont, label) / 2;
}

// What the button shows: its picture, the pulse over it, its label.
struct ButtonLook {
    const Image* picture = nullptr;
    int pulse = -1; // the opacity of the glow; -1 for none
    std::string label;
    bool enabled = false, pressed = false, focused = false;
    bool operator==(const ButtonLook&) const = default;
};

ButtonLook buttonLook(const ScreenView& v) {
    if (v.buttonLabel.empty()) return {};
    ButtonLook look;
    look.picture = !v.buttonEnabled  ? &artwork.buttonDisabled
                   : v.buttonPressed ? &artwork.buttonPressed
                   : v.buttonHover   ? &artwork.buttonHover
                                     : &artwork.buttonNormal;
    // A slow pulse invites the player to click while the game is ready.
    if (look.picture == &artwork.buttonNormal && v.phase == SessionPhase::Ready)
        look.pulse = static_cast<int>((std::sin(v.time * 3) + 1) * 0.5 * 70);
    look.label = v.buttonLabel;
    look.focused = v.focus == Focus::Button;
    look.enabled = v.buttonEnabled;
    look.pressed = v.buttonPressed;
    return look;
}

int buttonLabelBaseline(const ButtonLook& b) {
    return (b.pressed ? 598 : 596) + buttonFont.ascent / 2;
}

int buttonLabelX(const ButtonLook& b) {
    return layout::buttonLabelCentre - measureText(buttonFont, b.label) / 2;
}

Rect buttonArea(const ScreenView& v) {
    const ButtonLook look = buttonLook(v);
    if (!look.picture) return {};
    const Rect picture{layout::buttonX, layout::buttonY, layout::buttonX + look.picture->width,
                       layout::buttonY + look.picture->height};
    return unite(picture,
                 shadowedArea(buttonFont, buttonLabelX(look), buttonLabelBaseline(look), look.label));
}

int repairTextX() {
    return layout::repairTextRight - measureText(detailFont, layout::repairText);
}

Rect repairArea(const ScreenView& v) {
    if (!v.repairVisible) return {};
    return unite(repairLinkRect(),
                 shadowedArea(detailFont, repairTextX(), layout::repairBaseline, layout::repairText));
}

} // namespace

Rect headlineArea(const ScreenView& v) {
    return shadowedArea(headlineFont, 44, headlineBaseline, v.headline);
}

Rect barArea(const ScreenView& v) {
    const BarLook look = barLook(v);
    return unite(layout::bar, shadowedArea(labelFont, barLabelX(look.label), barLabelBaseline(), look.label));
}

Rect detailArea(const ScreenView& v) {
    Rect area;
    const std::vector<std::string> lines = detailLines(v.detail);
    for (std::size_t i = 0; i < lines.size(); ++i)
        area = unite(area, shadowedArea(detailFont, 44,
                                        detailBaseline + detailLineHeight * static_cast<int>(i), lines[i]));
    return area;
}

// The keyboard's focus: a two-pixel outline in the headline's gold, inside the control's
// hit rectangle, where a mouse pointer's hover shows too.
void focusRing(Canvas& canvas, Rect r) {
    constexpr Color gold{250, 232, 178, 255};
    for (int t = 2; t < 4; ++t) {
        for (int x = r.left + t; x < r.right - t; ++x) {
            blendPixel(canvas, x, r.top + t, gold, 0.85);
            blendPixel(canvas, x, r.bottom - 1 - t, gold, 0.85);
        }
        for (int y = r.top + t + 1; y < r.bottom - 1 - t; ++y) {
            blendPixel(canvas, r.left + t, y, gold, 0.85);
            blendPixel(canvas, r.right - 1 - t, y, gold, 0.85);
        }
    }
}

void composeArea(Canvas& canvas, const ScreenView& v, Rect area) {
    canvas.setClip(area);
    const Rect clip = canvas.clip();
    for (int y = clip.top; y < clip.bottom; ++y) {
        const std::size_t offset = (static_cast<std::size_t>(y) * canvasWidth + clip.left) * 4;
        std::memcpy(canvas.pixels() + offset, backdrop.data() + offset,
                    static_cast<std::size_t>(clip.right - clip.left) * 4);
    }

    drawShadowed(headlineFont, canvas, 44, headlineBaseline, v.headline,
                 failed(v) ? Color{255, 168, 140, 255} : Color{250, 232, 178, 255});

    const BarLook b = barLook(v);
    bar(canvas, layout::bar, b.value, b.indeterminate, v.time, *b.palette, b.label);

    const std::vector<std::string> lines = detailLines(v.detail);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        drawShadowed(detailFont, canvas, 44, detailBaseline + detailLineHeight * static_cast<int>(i),
                     lines[i], {222, 196, 146, 255});
    }

    if (const ButtonLook button = buttonLook(v); button.picture) {
        blitImage(canvas, *button.picture, layout::buttonX, layout::buttonY);
        if (button.pulse >= 0)
            blitImage(canvas, artwork.buttonHover, layout::buttonX, layout::buttonY, true, button.pulse);
        drawShadowed(buttonFont, canvas, buttonLabelX(button), buttonLabelBaseline(button), button.label,
                     button.enabled ? Color{255, 244, 200, 255} : Color{190, 176, 150, 255});
        if (button.focused) focusRing(canvas, layout::buttonHit);
    }

    if (v.repairVisible) {
        const Color color = v.repairHover ? Color{250, 232, 178, 255} : Color{200, 214, 196, 255};
        drawShadowed(detailFont, canvas, repairTextX(), layout::repairBaseline, layout::repairText, color);
        if (v.repairHover) {
            const Rect link = repairLinkRect();
            for (int x = link.left + 8; x < link.right - 8; ++x)
                blendPixel(canvas, x, 654, color, 1);
        }
        if (v.focus == Focus::Link) focusRing(canvas, repairLinkRect());
    }
    canvas.clearClip();
}

void composeFrame(Canvas& canvas, const ScreenView& v) {
    composeArea(canvas, v, {0, 0, canvasWidth, canvasHeight});
}

std::vector<Rect> changedAreas(const ScreenView& before, const ScreenView& after) {
    std::vector<Rect> areas;
    const auto add = [&](bool changed, Rect was, Rect is) {
        if (const Rect area = unite(was, is); changed && !area.empty()) areas.push_back(area);
    };
    add(before.headline != after.headline || failed(before) != failed(after), headlineArea(before),
        headlineArea(after));
    add(barLook(before) != barLook(after), barArea(before), barArea(after));
    add(detailLines(before.detail) != detailLines(after.detail), detailArea(before), detailArea(after));
    add(buttonLook(before) != buttonLook(after), buttonArea(before), buttonArea(after));
    add(before.repairVisible != after.repairVisible || before.repairHover != after.repairHover ||
            (before.focus == Focus::Link) != (after.focus == Focus::Link),
        repairArea(before), repairArea(after));
    return areas;
}

} // namespace ui
