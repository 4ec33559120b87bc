// UTF-8 inside the program, UTF-16 at every Windows call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Invalid input becomes U+FFFD rather than failing. toWide is the system's conversion;
// toUtf8 builds on every system.
std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

// Appends one code point (at most U+10FFFF) in UTF-8.
void appendUtf8(std::string& out, char32_t c);

// The system's sentence for a Windows error code, in English where the system has it;
// "winapi error #" and the number when it has none.
std::string systemText(std::uint32_t code);
