// Whole frames from the generated artwork: what shows in each phase.
#include "ui/artwork_files.h"
#include "ui/compose.h"
#include "ui/font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

class Compose : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string problem;
        ASSERT_TRUE(bindArtworkFiles(RESOURCES_DIR, problem)) << problem;
    }

    std::vector<std::uint8_t> frame(const ScreenView& v) {
        ui::Canvas canvas;
        ui::composeFrame(canvas, v);
        return std::vector<std::uint8_t>(canvas.pixels(), canvas.pixels() + canvas.bytes());
    }
};

bool sameRegion(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, ui::Rect r) {
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * ui::canvasWidth + x) * 4;
            if (a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2]) return false;
        }
    }
    return true;
}

TEST_F(Compose, ArtworkIsOpaqueAndPremultiplied) {
    for (int i = 0; i < 960 * 660; ++i)
        ASSERT_EQ(ui::artwork.background.pixels[i * 4 + 3], 255);
    for (const ui::Image* image : {&ui::artwork.panel, &ui::artwork.buttonNormal, &ui::artwork.buttonHover,
                                   &ui::artwork.buttonPressed, &ui::artwork.buttonDisabled}) {
        for (int i = 0; i < image->width * image->height; ++i) {
            const std::uint8_t* p = image->pixels + i * 4;
            ASSERT_LE(std::max({p[0], p[1], p[2]}), p[3]) << "colour above alpha at " << i;
        }
    }
}

TEST_F(Compose, RepairLinkShowsOnlyWhenReadyAndUnderlinesOnHover) {
    const ui::Rect link = ui::repairLinkRect();
    EXPECT_EQ(link.left, 912 - 132);
    EXPECT_EQ(link.right, 928);
    ScreenView ready = buildView(SessionSnapshot{.phase = SessionPhase::Ready}, 0);
    ScreenView offline = buildView(SessionSnapshot{.phase = SessionPhase::Offline}, 0);
    const auto withLink = frame(ready), withoutLink = frame(offline);
    EXPECT_FALSE(sameRegion(withLink, withoutLink, {780, 636, 921, 654}));
    ready.repairHover = true;
    const auto hovered = frame(ready);
    const std::size_t under = (654 * 960 + 800) * 4;
    EXPECT_EQ(hovered[under], 250); // the underline in the hover colour
    EXPECT_EQ(hovered[under + 1], 232);
    EXPECT_NE(withLink[under], 250);
}

TEST_F(Compose, GlowPulsesOnlyInReadyWithoutHover) {
    ScreenView ready = buildView(SessionSnapshot{.phase = SessionPhase::Ready}, 0);
    ScreenView later = buildView(SessionSnapshot{.phase = SessionPhase::Ready}, 0.5);
    const ui::Rect button{660, 558, 920, 634};
    EXPECT_FALSE(sameRegion(frame(ready), frame(later), button));
    ready.buttonHover = later.buttonHover = true;
    EXPECT_TRUE(sameRegion(frame(ready), frame(later), button));
    ScreenView offline = buildView(SessionSnapshot{.phase = SessionPhase::Offline}, 0),
               offlineLater = buildView(SessionSnapshot{.phase = SessionPhase::Offline}, 0.5);
    EXPECT_TRUE(sameRegion(frame(offline), frame(offlineLater), button));
}

// In high contrast each pixel of the bar's label is drawn in the pair of what lies under it:
// the highlight pair over the fill, the window pair over the track.
TEST_F(Compose, HighContrastLabelTakesThePairOfWhatLiesUnderIt) {
    const ui::Contrast c{{0, 0, 0, 255}, {255, 255, 255, 255}, {26, 235, 255, 255}, {0, 0, 0, 255},
                         {0, 0, 0, 255}, {255, 255, 255, 255}, {63, 242, 63, 255},  {255, 255, 0, 255}};
    ui::Look look = ui::baseLook();
    look.contrast = &c;
    SessionSnapshot s{.phase = SessionPhase::Downloading};
    s.bytesDone = 50;
    s.bytesTotal = 100;
    ui::Canvas canvas;
    ui::composeFrame(canvas, buildView(s, 0), look); // "50%" centred on the fill's end
    const auto between = [](const std::uint8_t* p, ui::Color a, ui::Color b) {
        const std::uint8_t want[2][3] = {{a.r, a.g, a.b}, {b.r, b.g, b.b}};
        for (int k = 0; k < 3; ++k) {
            if (p[k] < std::min(want[0][k], want[1][k]) || p[k] > std::max(want[0][k], want[1][k]))
                return false;
        }
        return true;
    };
    const int fillEnd = 43 + 287; // half of the well inside the outline
    int overFill = 0, overTrack = 0;
    for (int y = 595; y < 601; ++y) { // rows clear of the rounded ends
        for (int x = fillEnd - 30; x < fillEnd + 30; ++x) {
            const std::uint8_t* p = canvas.at(x, y);
            const bool fill = x < fillEnd;
            ASSERT_TRUE(fill ? between(p, c.highlight, c.highlightText) : between(p, c.window, c.text))
                << x << "," << y;
            if (fill ? p[0] != c.highlight.r : p[0] != c.window.r) ++(fill ? overFill : overTrack);
        }
    }
    EXPECT_GT(overFill, 10); // the label shows on both
    EXPECT_GT(overTrack, 10);
}

TEST_F(Compose, LongFailureMessageShowsTwoLinesEndingInDots) {
    SessionSnapshot failed = SessionSnapshot{.phase = SessionPhase::Failed};
    failed.message = std::string(60, 'a') + " " + std::string(60, 'b') + " " + std::string(60, 'c') + ". . ";
    const auto cut = frame(buildView(failed, 0));
    failed.message = std::string(60, 'a') + " " + std::string(60, 'b') + "...";
    const auto shown = frame(buildView(failed, 0));
    // Both end their second line in the same "..." after the same text.
    EXPECT_TRUE(sameRegion(cut, shown, {0, 620, 960, 660}));
}

} // namespace

// A frame kept up to date by redrawing only the changed areas must equal the whole frame
// composed afresh, through a session's changes; and the pulse alone touches only the button.
TEST_F(Compose, ChangedAreasKeepTheFrameExact) {
    const auto view = [](SessionPhase phase, double time, auto&& tweak) {
        SessionSnapshot s{.phase = phase};
        s.filesChecked = 10;
        s.filesTotal = 40;
        s.bytesDone = 100 << 20;
        s.bytesTotal = 300 << 20;
        s.bytesPerSecond = 5 << 20;
        tweak(s);
        return buildView(s, time);
    };
    const auto same = [](SessionSnapshot&) {};
    std::vector<ScreenView> steps = {
        view(SessionPhase::Contacting, 0, same),
        view(SessionPhase::Contacting, 0.4, same),
        view(SessionPhase::Checking, 0.5, same),
        view(SessionPhase::Downloading, 0.53, same),
        view(SessionPhase::Downloading, 0.56, [](SessionSnapshot& s) { s.bytesDone = 299 << 20; }),
        view(SessionPhase::Failed, 0.6,
             [](SessionSnapshot& s) { s.message = std::string(300, 'w') + " end"; }),
        view(SessionPhase::Failed, 0.63, [](SessionSnapshot& s) { s.message = "short"; }),
        view(SessionPhase::Ready, 0.7, same),
        view(SessionPhase::Ready, 0.733, same),
        view(SessionPhase::Offline, 0.8, same),
        view(SessionPhase::Ready, 0.9, same),
    };
    ScreenView hover = steps.back(), pressed = steps.back(), link = steps.back();
    hover.buttonHover = true;
    pressed.buttonHover = pressed.buttonPressed = true;
    link.repairHover = true;
    steps.insert(steps.end(), {hover, pressed, link, steps.back()});

    // At every scale the resources hold, and in the system's colours.
    const ui::Contrast contrast{{0, 0, 0, 255},     {255, 255, 255, 255}, {26, 235, 255, 255},
                                {0, 0, 0, 255},     {0, 0, 0, 255},       {255, 255, 255, 255},
                                {63, 242, 63, 255}, {255, 255, 0, 255}};
    std::vector<ui::Look> looks{ui::baseLook(), *ui::scaledLook(3), *ui::scaledLook(4), ui::baseLook()};
    looks.back().contrast = &contrast;
    for (const ui::Look& look : looks) {
        ui::Canvas kept(look.width(), look.height()), whole(look.width(), look.height());
        ui::composeFrame(kept, steps.front(), look);
        for (std::size_t i = 1; i < steps.size(); ++i) {
            for (const ui::Rect area : ui::changedAreas(steps[i - 1], steps[i], look))
                ui::composeArea(kept, steps[i], area, look);
            ui::composeFrame(whole, steps[i], look);
            ASSERT_TRUE(std::equal(whole.pixels(), whole.pixels() + whole.bytes(), kept.pixels()))
                << "step " << i << " at scale " << look.scale.halves << (look.contrast ? " in contrast" : "");
        }
    }

    // Left at Ready, the pulse alone redraws the button, about ten of the thirty ticks a second.
    int redraws = 0;
    for (int tick = 1; tick <= 63; ++tick) {
        const std::vector<ui::Rect> pulse = ui::changedAreas(
            view(SessionPhase::Ready, (tick - 1) / 30.0, same), view(SessionPhase::Ready, tick / 30.0, same));
        ASSERT_LE(pulse.size(), 1u);
        if (pulse.empty()) continue;
        ++redraws;
        EXPECT_LT((pulse[0].right - pulse[0].left) * (pulse[0].bottom - pulse[0].top), 960 * 660 / 10);
    }
    EXPECT_GE(redraws, 10);
    EXPECT_LE(redraws, 24); // 63 ticks are one period of the pulse: 2.1 s
    EXPECT_TRUE(ui::changedAreas(steps[9], view(SessionPhase::Offline, 5, same)).empty());
}
