// Which programs hold a file open: asked of the system's Restart Manager when a file cannot be
// opened or replaced because of a sharing violation, so the player knows what to close.
#pragma once

#include <string>
#include <vector>

// " (held by a.exe)", " (held by a.exe, b.exe)"; empty when no program is known. Each name at
// most once, in the order given.
std::string heldByText(const std::vector<std::string>& programs);

// The executable names (UTF-8) of the other processes that have any of the files open; empty
// when the system cannot tell.
std::vector<std::string> programsHolding(const std::vector<std::wstring>& paths);
