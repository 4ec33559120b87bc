// Starting programs: the game, and the launcher itself after it replaced its executable.
#pragma once

#include "store/file_error.h"

#include <cstdint>
#include <string>
#include <vector>

// The game executable relative to the game folder: the one the state file records when it
// is there, else "Vellumark Online.exe" or "Vellumark.exe" when present, else the first.
std::string findGameExe(const std::wstring& gameDir);

// Starts the game (no arguments, the game folder as working folder) and does not wait for
// it. An empty exe lets findGameExe choose. The failure says why it did not start.
FileError launchGame(const std::wstring& gameDir, const std::string& exe);

// Starts a program with its standard handles on the NUL device, inheriting nothing else; the
// system's error code, 0 when it started.
std::uint32_t startProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                           const std::wstring& workingDir);

// One element of a Windows command line, as CommandLineToArgvW splits it back.
std::wstring quoteArgument(const std::wstring& text);
