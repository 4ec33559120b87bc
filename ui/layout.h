// Where things stand on the frame, in logical pixels: what the frame composer draws and what
// the window's hit test finds under the pointer.
#pragma once

#include "ui/canvas.h"

namespace ui {

// Device pixels per logical pixel, in halves: 2 at 96 DPI, 3 at 144, 4 at 192. Positions are
// given in logical pixels and turned into a frame's pixels with it.
struct Scale {
    int halves = 2;
    constexpr int operator()(int logical) const { return (logical * halves + 1) / 2; }
    constexpr Rect operator()(Rect r) const {
        return {(*this)(r.left), (*this)(r.top), (*this)(r.right), (*this)(r.bottom)};
    }
    bool operator==(const Scale&) const = default;
};

} // namespace ui

namespace ui::layout {

inline constexpr int panelTop = 531;
inline constexpr Rect bar{40, 583, 620, 613};

// The main button's picture (its top-left corner), its label's centre line, and the part of
// the picture a click hits.
inline constexpr int buttonX = 644, buttonY = 542;
inline constexpr int buttonLabelCentre = 790;
inline constexpr Rect buttonHit{660, 558, 920, 634};

// The "REPAIR FILES" link: its text ends at repairTextRight on repairBaseline.
inline constexpr const char* repairText = "REPAIR FILES";
inline constexpr int repairTextRight = 920, repairBaseline = 650;

} // namespace ui::layout

namespace ui {

// The link's hit rectangle: its text with a margin of 8 pixels.
Rect repairLinkRect();

// What lies under a point of the frame.
struct Hit {
    bool button = false;
    bool repairLink = false;
};
Hit hitTest(int x, int y);

// Whether a window rectangle the system suggests (after a change of DPI) can be taken: a
// positive size, at most four times the size the window needs at the new DPI each way, and
// some of it on the screen. Another program can send the message with any rectangle.
bool saneWindowRect(const Rect& suggested, int neededWidth, int neededHeight, const Rect& screen);

} // namespace ui
