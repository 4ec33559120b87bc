// The window as assistive technology sees it, through Active Accessibility (which UI
// Automation's clients also reach): a client whose children are the headline and the detail
// line (static texts named by what they show), the progress bar while a download runs (named
// by the headline, its value the percentage shown), the main button (named by its label,
// unavailable while disabled) and the REPAIR FILES link while it shows. The button's and the
// link's default actions post the messages below, which the window handles as clicks.
#pragma once

#include "ui/screen_view.h"

#include <cstdint>

// A window (HWND), and the message parameters and result as the system passes them.
struct HWND__;
using WindowHandle = HWND__*;
using MessageResult = std::intptr_t; // LRESULT, LPARAM
using MessageWord = std::uintptr_t;  // WPARAM

// The window's own messages (WM_APP + 1 and + 2).
inline constexpr unsigned pressButtonMessage = 0x8000 + 1;
inline constexpr unsigned startRepairMessage = 0x8000 + 2;

// The children's ids.
enum AccessibleChild : long {
    headlineChild = 1,
    detailChild,
    barChild,
    buttonChild,
    linkChild,
    childCount = 5
};

// The answer to WM_GETOBJECT: the client's object, which reads view (the frame on screen,
// scale its pixels to the window's) whenever it is asked.
MessageResult answerGetObject(WindowHandle window, MessageWord wParam, MessageResult lParam,
                              const ScreenView* view, const double* scale);
// Ends the object's connection to the window, as the window goes.
void disconnectAccessible();
// Raises the events a screen reader announces for what changed between the two views.
void announceChanges(WindowHandle window, const ScreenView& before, const ScreenView& after);
