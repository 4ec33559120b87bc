#include "ui/compose.h"

#include "ui/font.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace ui {

Artwork artwork;

void bindArtwork(const std::uint8_t* const r[res::count]) {
    const auto image = [](const res::Picture& p, const std::uint8_t* data) {
        return Image{p.width, p.height, data};
    };
    artwork = {image(res::background, r[0]),    image(res::panel, r[1]),
               image(res::buttonNormal, r[2]),  image(res::buttonHover, r[3]),
               image(res::buttonPressed, r[4]), image(res::buttonDisabled, r[5])};
    labelFont.atlas = r[6];
    headlineFont.atlas = r[7];
    buttonFont.atlas = r[8];
    detailFont.atlas = r[9];
}

namespace {

constexpr Color shadow{10, 5, 2, 200};

void drawShadowed(const Font& font, Canvas& canvas, int x, int y, std::string_view text, Color color) {
    drawText(font, canvas, x + 2, y + 2, text, shadow);
    drawText(font, canvas, x, y, text, color);
}

// At most two lines; a cut second line ends in "..." after its trailing spaces and periods.
std::vector<std::string> detailLines(const std::string& detail) {
    std::vector<std::string> lines = wrapText(detail);
    if (lines.size() >= 3) {
        lines.resize(2);
        std::string& last = lines[1];
        while (!last.empty() && (last.back() == ' ' || last.back() == '.'))
            last.pop_back();
        last += "...";
    }
    return lines;
}

} // namespace

void composeFrame(Canvas& canvas, const ScreenView& v) {
    std::memcpy(canvas.pixels(), artwork.background.pixels, canvasBytes);
    blitImage(canvas, artwork.panel, 0, layout::panelTop);

    const bool failed = v.phase == SessionPhase::Failed, offline = v.phase == SessionPhase::Offline;
    drawShadowed(headlineFont, canvas, 44, 572, v.headline,
                 failed ? Color{255, 168, 140, 255} : Color{250, 232, 178, 255});

    const BarPalette& palette = offline ? offlinePalette : failed ? failedPalette : normalPalette;
    std::string label;
    if (v.fraction >= 0 && !offline && !failed) {
        char text[16];
        std::snprintf(text, sizeof text, "%d%%", static_cast<int>(v.fraction * 100 + 0.5));
        label = text;
    }
    bar(canvas, layout::bar, offline || failed ? 1 : v.fraction, v.fraction < 0, v.time, palette, label);

    const std::vector<std::string> lines = detailLines(v.detail);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        drawShadowed(detailFont, canvas, 44, 638 + 18 * static_cast<int>(i), lines[i], {222, 196, 146, 255});
    }

    if (!v.buttonLabel.empty()) {
        const Image& picture = !v.buttonEnabled  ? artwork.buttonDisabled
                               : v.buttonPressed ? artwork.buttonPressed
                               : v.buttonHover   ? artwork.buttonHover
                                                 : artwork.buttonNormal;
        blitImage(canvas, picture, layout::buttonX, layout::buttonY);
        // A slow pulse invites the player to click while the game is ready.
        if (&picture == &artwork.buttonNormal && v.phase == SessionPhase::Ready) {
            blitImage(canvas, artwork.buttonHover, layout::buttonX, layout::buttonY, true,
                      static_cast<int>((std::sin(v.time * 3) + 1) * 0.5 * 70));
        }
        const int w = measureText(buttonFont, v.buttonLabel);
        const int baseline = (v.buttonPressed ? 598 : 596) + buttonFont.ascent / 2;
        drawShadowed(buttonFont, canvas, layout::buttonLabelCentre - w / 2, baseline, v.buttonLabel,
                     v.buttonEnabled ? Color{255, 244, 200, 255} : Color{190, 176, 150, 255});
    }

    if (v.repairVisible) {
        const int w = measureText(detailFont, layout::repairText);
        const Color color = v.repairHover ? Color{250, 232, 178, 255} : Color{200, 214, 196, 255};
        drawShadowed(detailFont, canvas, layout::repairTextRight - w, layout::repairBaseline,
                     layout::repairText, color);
        if (v.repairHover) {
            const Rect link = repairLinkRect();
            for (int x = link.left + 8; x < link.right - 8; ++x)
                blendPixel(canvas, x, 654, color, 1);
        }
    }
}

} // namespace ui
