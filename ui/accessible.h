// The window as assistive technology sees it, through Active Accessibility (which UI
// Automation's clients also reach): a client whose children are the headline and the detail
// line (static texts named by what they show), the progress bar while a download runs (named
// by the headline, its value the percentage shown), the main button (named by its label,
// unavailable while disabled) and the REPAIR FILES link while it shows. The button's and the
// link's default actions post the messages below, which the window handles as clicks.
#pragma once

#include "ui/screen_view.h"

#include <windows.h>

inline constexpr UINT pressButtonMessage = WM_APP + 1;
inline constexpr UINT startRepairMessage = WM_APP + 2;

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
LRESULT answerGetObject(HWND window, WPARAM wParam, LPARAM lParam, const ScreenView* view,
                        const double* scale);
// Ends the object's connection to the window, as the window goes.
void disconnectAccessible();
// Raises the events a screen reader announces for what changed between the two views.
void announceChanges(HWND window, const ScreenView& before, const ScreenView& after);
