// Drawing one whole frame of the launcher's screen from a ScreenView.
#pragma once

#include "ui/bar.h"
#include "ui/canvas.h"
#include "ui/layout.h"
#include "ui/looks.h"
#include "ui/screen_view.h"

#include <cstdint>
#include <vector>

namespace ui {

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
