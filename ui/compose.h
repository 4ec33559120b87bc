// Drawing one whole frame of the launcher's screen from a ScreenView.
#pragma once

#include "resource_table.h"
#include "ui/bar.h"
#include "ui/canvas.h"
#include "ui/font.h"
#include "ui/layout.h"
#include "ui/screen_view.h"

#include <cstdint>
#include <vector>

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

// Draws the whole view into a canvas of the look's size: background, panel, headline, bar,
// detail, button, link.
void composeFrame(Canvas& canvas, const ScreenView& view, const Look& look = baseLook());

// Draws the part of the view inside area (in the canvas's pixels); the pixels there come out
// exactly as composeFrame draws them, and those outside stay.
void composeArea(Canvas& canvas, const ScreenView& view, Rect area, const Look& look = baseLook());

// Where the headline and the detail lines of the view stand on the frame.
Rect headlineArea(const ScreenView& view, const Look& look = baseLook());
Rect detailArea(const ScreenView& view, const Look& look = baseLook());

// The areas of the frame whose pixels may differ between the two views: one for each part
// that looks different (headline, bar, detail, button, link), holding where it was and is.
std::vector<Rect> changedAreas(const ScreenView& before, const ScreenView& after,
                               const Look& look = baseLook());

} // namespace ui
