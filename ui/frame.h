// The frame on screen: drawn at the scale the resources hold nearest the window's DPI, in the
// system's colours while high contrast is on, kept in the look's pixels and in the screen's
// form. Each refresh redraws only the parts whose look changed, and asks the system to show
// only those.
#pragma once

#include "ui/compose.h"

#include <windows.h>

#include <cstdint>
#include <vector>

class ScreenFrame {
public:
    // Draws at the DPI from now on (the larger of two scales as near), decoding its set the
    // first time; the frame is stretched only when no set matches exactly.
    void useDpi(int dpi);
    // Reads the high-contrast setting and the system's colours; the whole frame is drawn again
    // when either changed.
    void readContrast();

    // The window's DPI over 96 (1 at least), and a logical length at it.
    double scale() const { return uiScale_; }
    const double* scaleSource() const { return &uiScale_; } // read by the accessible objects
    int scaled(int logical) const { return static_cast<int>(uiScale_ * logical + 0.5); }
    // False once the DPI or the colours changed, until the whole frame is drawn again.
    bool drawn() const { return framed_; }

    // Draws next, wholly or where it differs from before, and has the system show it.
    void show(HWND window, const ScreenView& before, const ScreenView& next);
    // Shows the part of the frame the system asks for (WM_PAINT).
    void paint(HWND window) const;

private:
    double frameToClient() const; // client pixels per frame pixel
    bool stretched() const;
    RECT onScreen(ui::Rect area) const;

    double uiScale_ = 1;
    ui::Look look_;
    ui::Contrast contrastColors_;
    bool highContrast_ = false;
    ui::Canvas canvas_;
    std::vector<std::uint8_t> presentBuffer_ = std::vector<std::uint8_t>(ui::canvasBytes);
    bool framed_ = false;
};
