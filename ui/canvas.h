// The software canvas every frame is drawn into, the embedded pictures, and the two pixel
// primitives the rest of the drawing code builds on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ui {

inline constexpr int canvasWidth = 960;
inline constexpr int canvasHeight = 660;
inline constexpr std::size_t canvasBytes = std::size_t{canvasWidth} * canvasHeight * 4; // R, G, B, A

struct Color {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

// A picture used in place: width * height * 4 bytes, R, G, B, A, rows top to bottom.
struct Image {
    std::int32_t width = 0;
    std::int32_t height = 0;
    const std::uint8_t* pixels = nullptr;
};

// Premultiplied source-over compositing of the picture with its top-left corner at (x, y);
// with useOpacity the source is scaled by opacity / 255 first. Pixels off the canvas are skipped.
void blitImage(std::uint8_t* canvas, const Image& image, int x, int y, bool useOpacity = false,
               int opacity = 255);

// Blends one colour into one pixel with a coverage factor; the canvas alpha stays.
void blendPixel(std::uint8_t* canvas, int x, int y, Color color, double coverage);

} // namespace ui
