// What one frame shows: built from a status snapshot, drawn by the window and printed, as
// headline and detail, by headless mode.
#pragma once

#include "app/session_status.h"

#include <string>

struct ScreenView {
    SessionPhase phase = SessionPhase::Contacting;
    std::string headline;
    std::string detail;      // wrapped to at most two lines when drawn
    double fraction = 0;     // progress 0..1; -1 when the amount of work is unknown
    std::string buttonLabel; // "PLAY" or "RETRY"
    bool buttonEnabled = false;
    bool buttonHover = false;   // set by the window
    bool buttonPressed = false; // set by the window
    bool repairVisible = false;
    bool repairHover = false; // set by the window
    double time = 0;          // seconds since the process started; drives the animations
};

ScreenView buildView(const SessionSnapshot& snapshot, double time);
