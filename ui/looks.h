// The looks frames are drawn with: the pictures and fonts of every scale, bound once from the
// embedded resources (or files), the backdrop each scale's frames start from, and the system's
// colours while high contrast is on.
#pragma once

#include "resource_table.h"
#include "ui/canvas.h"
#include "ui/font.h"
#include "ui/layout.h"

#include <cstdint>

namespace ui {

// The pictures and font atlases, used in place from the embedded resources.
struct Artwork {
    Image background;                                               // opaque
    Image panel;                                                    // premultiplied
    Image buttonNormal, buttonHover, buttonPressed, buttonDisabled; // premultiplied
};
extern Artwork artwork;

// The system's colours, used for everything when high contrast is on: each pair is a
// background and what is drawn on it.
struct Contrast {
    Color window, text;                     // the background, the texts, the bar's and button's outlines
    Color highlight, highlightText;         // the bar's fill, a hovered or pressed button
    Color buttonFace, buttonText, grayText; // the button; its label while disabled
    Color link;                             // REPAIR FILES
    bool operator==(const Contrast&) const = default;
};

// What a frame is drawn with: a scale, the pictures and fonts painted for it, the background
// with the panel over it at that scale, and the system's colours when high contrast is on.
struct Look {
    Scale scale;
    const Artwork* art = nullptr;
    const Font *label = nullptr, *headline = nullptr, *button = nullptr, *detail = nullptr;
    const std::uint8_t* backdrop = nullptr;
    const Contrast* contrast = nullptr;
    int width() const { return scale(canvasWidth); }
    int height() const { return scale(canvasHeight); }
};

// Binds the pictures and the four fonts' atlases: the data of every resource of res::all,
// in that order, each of its listed size at least.
void bindArtwork(const std::uint8_t* const resources[res::count]);
// Binds the set res::scaledSets[set] from its raw data, each of the set's listed size.
void bindScaledArtwork(int set, const std::uint8_t* const resources[res::count]);

// The look at 96 DPI (bound by bindArtwork), and one at a larger scale if its set is bound.
Look baseLook();
const Look* scaledLook(int halves);

} // namespace ui
