// One line for the player about a failed update: the likely cause in plain words, the
// technical detail in parentheses at the end.
#pragma once

#include "store/file_error.h"

#include <cstddef>
#include <string>
#include <string_view>

// The detail is cut to maxDetailBytes: a failure can quote a path of any length, and the
// screen shows two lines of it.
std::string playerMessage(const FileError& failure);
inline constexpr std::size_t maxDetailBytes = 500;

// The text cut to at most limit bytes at a character boundary, "..." ending a cut text; a
// failure's text is shortened so before it is logged.
std::string shortened(std::string_view text, std::size_t limit);
inline constexpr std::size_t maxLoggedBytes = 2000;
