// The support log: "vellumark-launcher.log" in the user's temporary folder, one time-stamped
// line per event, appended and never truncated.
#pragma once

#include <string>
#include <string_view>

// Loses the line silently when it cannot be written; never reports or throws.
void appendLog(std::string_view text);

// Where the lines go: the temporary folder, or the current folder when there is none.
std::wstring logFilePath();
