#include "ui/layout.h"

#include <cstdint>

#include "ui/font.h"

namespace ui {

Rect repairLinkRect() {
    const int w = measureText(detailFont, layout::repairText);
    return {layout::repairTextRight - 8 - w, 628, layout::repairTextRight + 8, 658};
}

Hit hitTest(int x, int y) {
    return {layout::buttonHit.contains(x, y), repairLinkRect().contains(x, y)};
}

bool saneWindowRect(const Rect& r, int neededWidth, int neededHeight, const Rect& screen) {
    // 64-bit: the corners may be anything, and their difference must not overflow.
    const std::int64_t width = std::int64_t(r.right) - r.left, height = std::int64_t(r.bottom) - r.top;
    if (width <= 0 || height <= 0 || width > 4 * std::int64_t(neededWidth) ||
        height > 4 * std::int64_t(neededHeight)) {
        return false;
    }
    return !intersect(r, screen).empty();
}

} // namespace ui
