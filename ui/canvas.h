// The software canvas every frame is drawn into, the embedded pictures, and the two pixel
// primitives the rest of the drawing code builds on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ui {

// The frame's size in logical pixels.
inline constexpr int canvasWidth = 960;
inline constexpr int canvasHeight = 660;
inline constexpr std::size_t canvasBytes = std::size_t{canvasWidth} * canvasHeight * 4; // R, G, B, A

struct Color {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
    bool operator==(const Color&) const = default;
};

struct Rect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0; // right and bottom exclusive

    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool empty() const { return right <= left || bottom <= top; }
    bool operator==(const Rect&) const = default;
};

// The smallest rectangle holding both (an empty one holds nothing); the common part.
Rect unite(Rect a, Rect b);
Rect intersect(Rect a, Rect b);

// The surface every primitive draws on: width * height pixels of R, G, B, A bytes, rows top
// to bottom, transparent black when made.
class Canvas {
public:
    Canvas(int width = canvasWidth, int height = canvasHeight)
        : width_(width), height_(height), clip_{0, 0, width, height},
          pixels_(static_cast<std::size_t>(width) * height * 4, 0) {}

    int width() const { return width_; }
    int height() const { return height_; }
    // The primitives draw only inside the clip rectangle: the whole canvas unless set.
    Rect clip() const { return clip_; }
    void setClip(Rect r);
    void clearClip() { clip_ = {0, 0, width_, height_}; }
    bool contains(int x, int y) const { return clip_.contains(x, y); }
    std::uint8_t* pixels() { return pixels_.data(); }
    const std::uint8_t* pixels() const { return pixels_.data(); }
    std::size_t bytes() const { return pixels_.size(); }
    std::uint8_t* at(int x, int y) { return pixels_.data() + offset(x, y); }
    const std::uint8_t* at(int x, int y) const { return pixels_.data() + offset(x, y); }

private:
    std::size_t offset(int x, int y) const { return (static_cast<std::size_t>(y) * width_ + x) * 4; }

    int width_, height_;
    Rect clip_;
    std::vector<std::uint8_t> pixels_;
};

// The canvas as the 32-bit rows the screen takes: blue, green, red and a byte of 255. Only the
// pixels inside area are converted; out has the canvas's size.
void toBgrx(const Canvas& canvas, std::uint8_t* out, Rect area);
inline void toBgrx(const Canvas& canvas, std::uint8_t* out) {
    toBgrx(canvas, out, {0, 0, canvas.width(), canvas.height()});
}

// A picture used in place: width * height * 4 bytes, R, G, B, A, rows top to bottom.
struct Image {
    std::int32_t width = 0;
    std::int32_t height = 0;
    const std::uint8_t* pixels = nullptr;
};

// Premultiplied source-over compositing of the picture with its top-left corner at (x, y);
// with useOpacity the source is scaled by opacity / 255 first. Pixels outside the clip are skipped.
void blitImage(Canvas& canvas, const Image& image, int x, int y, bool useOpacity = false, int opacity = 255);

// Blends one colour into one pixel with a coverage factor; the canvas alpha stays.
void blendPixel(Canvas& canvas, int x, int y, Color color, double coverage);

} // namespace ui
