// What one frame shows: built from a status snapshot, drawn by the window and printed, as
// headline and detail, by headless mode.
#pragma once

#include "base/session_status.h"

#include <cstdint>
#include <string>

// The control the keyboard has reached, ringed once the keyboard is used.
enum class Focus : std::uint8_t { None, Button, Link };

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
    bool repairHover = false;  // set by the window
    Focus focus = Focus::None; // set by the window
    double time = 0;           // seconds since the process started; drives the animations
};

ScreenView buildView(const SessionSnapshot& snapshot, double time);

// What the window's taskbar button shows: the download's progress, a working state while the
// amount of work is unknown, the error state on failure, nothing once the game may be played.
struct TaskbarProgress {
    enum Kind { None, Indeterminate, Normal, Error } kind = None;
    std::uint64_t done = 0, total = 0; // for Normal and Error
    bool operator==(const TaskbarProgress&) const = default;
};

TaskbarProgress taskbarProgress(const SessionSnapshot& snapshot);
