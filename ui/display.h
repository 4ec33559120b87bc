// What the system says about how the window is to look: the DPI, high contrast and the
// system's colours.
#pragma once

#include "ui/compose.h"

#include <windows.h>

// The screen's DPI (the system's); a window's own (0 before Windows 10, where a window has the
// system's); the outer size of a window of that style whose client area is width x height at
// a DPI.
int systemDpi();
int windowDpi(HWND window);
SIZE outerSize(int width, int height, DWORD style, int dpi);

// High contrast as the system has it, unless VELLUMARK_HIGH_CONTRAST is 1 (on) or 0 (off): for
// players who want the plain window either way. The system's colour pairs for it.
bool highContrastOn();
ui::Contrast systemContrast();
