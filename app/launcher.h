// The launcher's start-up: options, preparation of the run, then one mode.
#pragma once

#include <chrono>
#include <string_view>

// Exit codes of the process.
inline constexpr int exitOk = 0;
inline constexpr int exitFailure = 1;
inline constexpr int exitBadCommandLine = 2;
inline constexpr int exitNeedsRepair = 3; // -verify found files a repair would fetch

// How long a start waits for the launcher it replaced to let go of its ".old" executable.
inline constexpr std::chrono::milliseconds oldExecutableWait{2000};

// The main sequence; returns the exit code.
int runLauncher();

// Runs the main sequence inside the outermost handler: an exception that escapes it is shown
// in the error box and gives exit code 1.
int runGuarded();

// A message box without owner: "The launcher hit an unexpected problem:" and the text.
void showErrorBox(std::string_view text);
