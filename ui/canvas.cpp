#include "ui/canvas.h"

namespace ui {

void blitImage(std::uint8_t* canvas, const Image& image, int x, int y, bool useOpacity, int opacity) {
    const std::uint32_t o = static_cast<std::uint32_t>(opacity);
    for (int i = 0; i < image.height; ++i) {
        const int row = y + i;
        if (row < 0 || row >= canvasHeight) continue;
        for (int j = 0; j < image.width; ++j) {
            const int column = x + j;
            if (column < 0 || column >= canvasWidth) continue;
            const std::uint8_t* s = image.pixels + (static_cast<std::size_t>(i) * image.width + j) * 4;
            std::uint8_t* d = canvas + (static_cast<std::size_t>(row) * canvasWidth + column) * 4;
            const std::uint32_t sa = s[3];
            if (!useOpacity) {
                const std::uint32_t k = 66049u * (255 - sa);
                for (int c = 0; c < 4; ++c)
                    d[c] = static_cast<std::uint8_t>(((k * d[c]) / 65535 + s[c] * 257u) >> 8);
            } else {
                const std::uint32_t t = sa * o * 66049u;
                const std::uint32_t r = 16842495u - (t / 65535) * 257;
                for (int c = 0; c < 3; ++c) {
                    d[c] = static_cast<std::uint8_t>(((d[c] * r + s[c] * o * 66049u) / 65535) >> 8);
                }
                d[3] = static_cast<std::uint8_t>(((d[3] * r + t) / 65535) >> 8);
            }
        }
    }
}

void blendPixel(std::uint8_t* canvas, int x, int y, Color color, double coverage) {
    if (coverage <= 0 || x < 0 || x >= canvasWidth || y < 0 || y >= canvasHeight) return;
    const double a = color.a * coverage / 255;
    std::uint8_t* d = canvas + (static_cast<std::size_t>(y) * canvasWidth + x) * 4;
    const std::uint8_t c[3] = {color.r, color.g, color.b};
    for (int k = 0; k < 3; ++k)
        d[k] = static_cast<std::uint8_t>(static_cast<int>(d[k] * (1 - a) + c[k] * a + 0.5));
}

} // namespace ui
