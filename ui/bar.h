// The progress bar: a gold frame with rounded ends, a dark track, a fill that grows or, when
// the amount of work is unknown, sweeps back and forth, stripes while work goes on, a label.
#pragma once

#include "ui/canvas.h"
#include "ui/font.h"
#include "ui/layout.h"

#include <cstdint>
#include <functional>
#include <string>

namespace ui {

struct BarPalette {
    Color topColor;
    Color bottomColor;
};

inline constexpr BarPalette normalPalette{{158, 236, 70, 255}, {52, 148, 24, 255}};
inline constexpr BarPalette offlinePalette{{255, 210, 90, 255}, {200, 120, 20, 255}};
inline constexpr BarPalette failedPalette{{255, 120, 90, 255}, {170, 40, 25, 255}};

// The colour of the pixel at column x, row y inside the rectangle being filled.
using ColorFunction = std::function<Color(int x, int y)>;

// Fills the rectangle with anti-aliased corners of radius r.
void fillRoundedRect(Canvas& canvas, Rect rect, int r, const ColorFunction& color);

// The bar in rect at the given scale, its label in font.
void bar(Canvas& canvas, Rect rect, double value, bool indeterminate, double time, const BarPalette& palette,
         const std::string& label, Scale scale = {}, const Font& font = labelFont);

// The bar for high contrast: the outline, the track and the fill in flat colours, the label in
// the outline's colour over the track and in fillText over the fill.
struct PlainColors {
    Color outline, track, fill, fillText;
};
void plainBar(Canvas& canvas, Rect rect, double value, bool indeterminate, double time,
              const std::string& label, Scale scale, const Font& font, const PlainColors& colors);

} // namespace ui
