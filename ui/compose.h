// Drawing one whole frame of the launcher's screen from a ScreenView.
#pragma once

#include "ui/bar.h"
#include "ui/canvas.h"
#include "ui/screen_view.h"

#include <cstdint>

namespace ui {

// The pictures and font atlases, used in place from the embedded resources.
struct Artwork {
    Image background;                                               // 960 x 660, opaque
    Image panel;                                                    // 960 x 150, premultiplied
    Image buttonNormal, buttonHover, buttonPressed, buttonDisabled; // 292 x 108, premultiplied
};
extern Artwork artwork;

// The data of resources 101 to 110, in that order, at least of the sizes below.
inline constexpr std::size_t resourceSizes[10] = {2534400, 576000, 126144, 126144, 126144,
                                                  126144,  31746,  69861,  122804, 29194};
// Binds the pictures and the four fonts' atlases.
void bindArtwork(const std::uint8_t* const resources[10]);

// The "REPAIR FILES" link's hit rectangle.
Rect repairLinkRect();

// Draws the whole view into the canvas: background, panel, headline, bar, detail, button, link.
void composeFrame(std::uint8_t* canvas, const ScreenView& view);

} // namespace ui
