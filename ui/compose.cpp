#include "ui/compose.h"

#include "ui/font.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace ui {

namespace {

constexpr Color shadow{10, 5, 2, 200};
// Where texts stand, in logical pixels.
constexpr int textLeft = 44, headlineBaseline = 572, detailBaseline = 638, detailLineHeight = 18;

void drawShadowed(const Font& font, Canvas& canvas, int x, int y, std::string_view text, Color color,
                  const Look& look) {
    if (look.contrast) { // flat text in the system's colour, as every other window draws it
        drawText(font, canvas, x, y, text, color);
        return;
    }
    const int offset = look.scale(2);
    drawText(font, canvas, x + offset, y + offset, text, shadow);
    drawText(font, canvas, x, y, text, color);
}

// The pixels drawShadowed may touch: every glyph's box, and the same shifted by the shadow.
Rect shadowedArea(const Font& font, int x, int y, std::string_view text, const Look& look) {
    const int offset = look.scale(2);
    Rect area;
    int pen = x;
    for (const char ch : sanitizeText(text)) {
        const Glyph& g = font.glyphs[static_cast<unsigned char>(ch)];
        const int left = pen + g.offsetX, top = y + g.offsetY;
        area = unite(area, {left, top, left + g.width + offset, top + g.height + offset});
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

BarLook barLook(const ScreenView& v, const Look& look) {
    const bool offline = v.phase == SessionPhase::Offline;
    BarLook b{offline     ? &offlinePalette
              : failed(v) ? &failedPalette
                          : &normalPalette,
              offline || failed(v) ? 1 : v.fraction, v.fraction < 0, "", 0};
    if (v.fraction >= 0 && !offline && !failed(v)) {
        char text[16];
        std::snprintf(text, sizeof text, "%d%%", static_cast<int>(v.fraction * 100 + 0.5));
        b.label = text;
    }
    // The fill's stripes move while work goes on (high contrast has none), and the sweep while
    // its amount is unknown.
    if (b.indeterminate || (b.value < 1 && !look.contrast)) b.time = v.time;
    return b;
}

Rect barRect(const Look& look) {
    return look.scale(layout::bar);
}

int barLabelBaseline(const Look& look) {
    const Rect r = barRect(look);
    return look.label->ascent / 2 + r.top + (r.bottom - r.top) / 2;
}

int barLabelX(const std::string& label, const Look& look) {
    const Rect r = barRect(look);
    return r.left + (r.right - r.left) / 2 - measureText(*look.label, label) / 2;
}

// What the button shows: its picture, the pulse over it, its label.
struct ButtonLook {
    const Image* picture = nullptr;
    int pulse = -1; // the opacity of the glow; -1 for none
    std::string label;
    bool enabled = false, pressed = false, hover = false, focused = false;
    bool operator==(const ButtonLook&) const = default;
};

ButtonLook buttonLook(const ScreenView& v, const Look& look) {
    if (v.buttonLabel.empty()) return {};
    const Artwork& art = *look.art;
    ButtonLook b;
    b.picture = !v.buttonEnabled  ? &art.buttonDisabled
                : v.buttonPressed ? &art.buttonPressed
                : v.buttonHover   ? &art.buttonHover
                                  : &art.buttonNormal;
    // A slow pulse invites the player to click while the game is ready; high contrast keeps
    // the button still. Its glow takes 11 steps, so a window left at Ready redraws the button
    // about ten times a second rather than at every tick.
    if (b.picture == &art.buttonNormal && v.phase == SessionPhase::Ready && !look.contrast)
        b.pulse = static_cast<int>((std::sin(v.time * 3) + 1) * 0.5 * 10) * 7;
    b.label = v.buttonLabel;
    b.focused = v.focus == Focus::Button;
    b.enabled = v.buttonEnabled;
    b.pressed = v.buttonPressed;
    b.hover = v.buttonHover;
    return b;
}

int buttonLabelBaseline(const ButtonLook& b, const Look& look) {
    return look.scale(b.pressed ? 598 : 596) + look.button->ascent / 2;
}

int buttonLabelX(const ButtonLook& b, const Look& look) {
    return look.scale(layout::buttonLabelCentre) - measureText(*look.button, b.label) / 2;
}

Rect buttonArea(const ScreenView& v, const Look& look) {
    const ButtonLook b = buttonLook(v, look);
    if (!b.picture) return {};
    const Rect picture{look.scale(layout::buttonX), look.scale(layout::buttonY),
                       look.scale(layout::buttonX) + b.picture->width,
                       look.scale(layout::buttonY) + b.picture->height};
    return unite(picture, shadowedArea(*look.button, buttonLabelX(b, look), buttonLabelBaseline(b, look),
                                       b.label, look));
}

int repairTextX(const Look& look) {
    return look.scale(layout::repairTextRight) - measureText(*look.detail, layout::repairText);
}

Rect repairArea(const ScreenView& v, const Look& look) {
    if (!v.repairVisible) return {};
    return unite(look.scale(repairLinkRect()),
                 shadowedArea(*look.detail, repairTextX(look), look.scale(layout::repairBaseline),
                              layout::repairText, look));
}

int detailLineBaseline(std::size_t line, const Look& look) {
    return look.scale(detailBaseline + detailLineHeight * static_cast<int>(line));
}

} // namespace

Rect headlineArea(const ScreenView& v, const Look& look) {
    return shadowedArea(*look.headline, look.scale(textLeft), look.scale(headlineBaseline), v.headline, look);
}

Rect barArea(const ScreenView& v, const Look& look) {
    const BarLook b = barLook(v, look);
    return unite(barRect(look),
                 shadowedArea(*look.label, barLabelX(b.label, look), barLabelBaseline(look), b.label, look));
}

Rect detailArea(const ScreenView& v, const Look& look) {
    Rect area;
    const std::vector<std::string> lines = detailLines(v.detail);
    for (std::size_t i = 0; i < lines.size(); ++i)
        area = unite(area, shadowedArea(*look.detail, look.scale(textLeft), detailLineBaseline(i, look),
                                        lines[i], look));
    return area;
}

namespace {

// The keyboard's focus: an outline two logical pixels wide, inside the control's hit
// rectangle, where a mouse pointer's hover shows too; from inset pixels in.
void focusRing(Canvas& canvas, Rect r, Color color, double coverage, int inset, Scale scale) {
    for (int t = inset; t < inset + scale(2); ++t) {
        for (int x = r.left + t; x < r.right - t; ++x) {
            blendPixel(canvas, x, r.top + t, color, coverage);
            blendPixel(canvas, x, r.bottom - 1 - t, color, coverage);
        }
        for (int y = r.top + t + 1; y < r.bottom - 1 - t; ++y) {
            blendPixel(canvas, r.left + t, y, color, coverage);
            blendPixel(canvas, r.right - 1 - t, y, color, coverage);
        }
    }
}

constexpr Color gold{250, 232, 178, 255};

void drawButton(Canvas& canvas, const ButtonLook& button, const Look& look) {
    const Scale scale = look.scale;
    const Rect hit = scale(layout::buttonHit);
    Color text = button.enabled ? Color{255, 244, 200, 255} : Color{190, 176, 150, 255};
    if (const Contrast* c = look.contrast) {
        // A flat face with an outline: the highlight pair while hovered or pressed.
        const bool lit = button.enabled && (button.hover || button.pressed);
        const Color edge = button.enabled ? c->text : c->grayText;
        const Color face = lit ? c->highlight : c->buttonFace;
        text = !button.enabled ? c->grayText : lit ? c->highlightText : c->buttonText;
        fillRoundedRect(canvas, hit, scale(10), [&](int, int) { return edge; });
        fillRoundedRect(
            canvas, {hit.left + scale(2), hit.top + scale(2), hit.right - scale(2), hit.bottom - scale(2)},
            scale(8), [&](int, int) { return face; });
    } else {
        const int x = scale(layout::buttonX), y = scale(layout::buttonY);
        blitImage(canvas, *button.picture, x, y);
        if (button.pulse >= 0) blitImage(canvas, look.art->buttonHover, x, y, true, button.pulse);
    }
    drawShadowed(*look.button, canvas, buttonLabelX(button, look), buttonLabelBaseline(button, look),
                 button.label, text, look);
    if (button.focused) {
        if (look.contrast)
            focusRing(canvas, hit, text, 1, scale(4), scale);
        else
            focusRing(canvas, hit, gold, 0.85, scale(2), scale);
    }
}

// The backdrop under the clip, or a plain background in high contrast: no picture behind any
// text.
void fillBackground(Canvas& canvas, const Look& look) {
    const Rect clip = canvas.clip();
    for (int y = clip.top; y < clip.bottom; ++y) {
        const std::size_t offset = (static_cast<std::size_t>(y) * canvas.width() + clip.left) * 4;
        const std::size_t bytes = static_cast<std::size_t>(clip.right - clip.left) * 4;
        if (!look.contrast) {
            std::memcpy(canvas.pixels() + offset, look.backdrop + offset, bytes);
            continue;
        }
        const Color w = look.contrast->window;
        for (std::size_t i = 0; i < bytes; i += 4) {
            std::uint8_t* p = canvas.pixels() + offset + i;
            p[0] = w.r, p[1] = w.g, p[2] = w.b, p[3] = 255;
        }
    }
}

} // namespace

void composeArea(Canvas& canvas, const ScreenView& v, Rect area, const Look& look) {
    canvas.setClip(area);
    const Contrast* contrast = look.contrast;
    fillBackground(canvas, look);
    const Scale scale = look.scale;

    drawShadowed(*look.headline, canvas, scale(textLeft), scale(headlineBaseline), v.headline,
                 contrast    ? contrast->text
                 : failed(v) ? Color{255, 168, 140, 255}
                             : gold,
                 look);

    const BarLook b = barLook(v, look);
    if (contrast) {
        plainBar(canvas, barRect(look), b.value, b.indeterminate, v.time, b.label, scale, *look.label,
                 {contrast->text, contrast->window, contrast->highlight, contrast->highlightText});
    } else {
        bar(canvas, barRect(look), b.value, b.indeterminate, v.time, *b.palette, b.label, scale, *look.label);
    }

    const std::vector<std::string> lines = detailLines(v.detail);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        drawShadowed(*look.detail, canvas, scale(textLeft), detailLineBaseline(i, look), lines[i],
                     contrast ? contrast->text : Color{222, 196, 146, 255}, look);
    }

    if (const ButtonLook button = buttonLook(v, look); button.picture) drawButton(canvas, button, look);

    if (v.repairVisible) {
        const Color color = contrast ? contrast->link : v.repairHover ? gold : Color{200, 214, 196, 255};
        drawShadowed(*look.detail, canvas, repairTextX(look), scale(layout::repairBaseline),
                     layout::repairText, color, look);
        const Rect link = scale(repairLinkRect());
        if (v.repairHover) {
            for (int y = scale(654); y < scale(655); ++y) {
                for (int x = link.left + scale(8); x < link.right - scale(8); ++x)
                    blendPixel(canvas, x, y, color, 1);
            }
        }
        if (v.focus == Focus::Link) {
            if (contrast)
                focusRing(canvas, link, contrast->text, 1, scale(2), scale);
            else
                focusRing(canvas, link, gold, 0.85, scale(2), scale);
        }
    }
    canvas.clearClip();
}

void composeFrame(Canvas& canvas, const ScreenView& v, const Look& look) {
    composeArea(canvas, v, {0, 0, canvas.width(), canvas.height()}, look);
}

std::vector<Rect> changedAreas(const ScreenView& before, const ScreenView& after, const Look& look) {
    std::vector<Rect> areas;
    const auto add = [&](bool changed, Rect was, Rect is) {
        if (const Rect area = unite(was, is); changed && !area.empty()) areas.push_back(area);
    };
    add(before.headline != after.headline || failed(before) != failed(after), headlineArea(before, look),
        headlineArea(after, look));
    add(barLook(before, look) != barLook(after, look), barArea(before, look), barArea(after, look));
    add(detailLines(before.detail) != detailLines(after.detail), detailArea(before, look),
        detailArea(after, look));
    add(buttonLook(before, look) != buttonLook(after, look), buttonArea(before, look),
        buttonArea(after, look));
    add(before.repairVisible != after.repairVisible || before.repairHover != after.repairHover ||
            (before.focus == Focus::Link) != (after.focus == Focus::Link),
        repairArea(before, look), repairArea(after, look));
    return areas;
}

} // namespace ui
