// Drawing one whole frame of the launcher's screen from a ScreenView.
#pragma once

#include "resource_table.h"
#include "ui/bar.h"
#include "ui/canvas.h"
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

// Binds the pictures and the four fonts' atlases: the data of every resource of res::all,
// in that order, each of its listed size at least.
void bindArtwork(const std::uint8_t* const resources[res::count]);

// Draws the whole view into a frame-sized canvas: background, panel, headline, bar, detail,
// button, link.
void composeFrame(Canvas& canvas, const ScreenView& view);

// Draws the part of the view inside area; the pixels there come out exactly as composeFrame
// draws them, and those outside stay.
void composeArea(Canvas& canvas, const ScreenView& view, Rect area);

// Where the headline and the detail lines of the view stand on the frame.
Rect headlineArea(const ScreenView& view);
Rect detailArea(const ScreenView& view);

// The areas of the frame whose pixels may differ between the two views: one for each part
// that looks different (headline, bar, detail, button, link), holding where it was and is.
std::vector<Rect> changedAreas(const ScreenView& before, const ScreenView& after);

} // namespace ui
