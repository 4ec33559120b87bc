#include "ui/layout.h"

#include "ui/font.h"

namespace ui {

Rect repairLinkRect() {
    const int w = measureText(detailFont, layout::repairText);
    return {layout::repairTextRight - 8 - w, 628, layout::repairTextRight + 8, 658};
}

Hit hitTest(int x, int y) {
    return {layout::buttonHit.contains(x, y), repairLinkRect().contains(x, y)};
}

} // namespace ui
