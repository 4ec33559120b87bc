// Headless mode: one session without a window, its status as one self-overwriting line on
// standard output, then the game (unless nolaunch) or exit code 1.
#pragma once

#include "app/options.h"

#include <chrono>
#include <string>

// How often the status line is looked at.
inline constexpr std::chrono::milliseconds headlessPollInterval{200};

// Returns when the game may be played (after starting it unless noLaunch); ends the process
// with exit code 1 when the session failed.
void runHeadless(const LaunchOptions& options);

// -verify: checks the contents of every file against the manifest without changing anything,
// prints what a repair would fetch, and returns 0 when nothing, 3 when something, 1 when the
// check could not be made.
int runVerify(const LaunchOptions& options);

// The status line written for a headline and detail: a carriage return, then the text padded
// with spaces to 110 bytes (a longer text is written whole).
std::string headlessLine(const std::string& headline, const std::string& detail);
