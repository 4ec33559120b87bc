// Letter case as Windows ignores it in file names: the system's simple upper-case mapping of
// each UTF-16 unit (the table its ordinal comparisons ignoring case use), so that it can be
// applied where no Windows call is at hand.
#pragma once

#include <string>
#include <string_view>

char16_t upcaseUnit(char16_t c);
// Every unit of text upper-cased so; a unit above U+FFFF (only where wchar_t has 32 bits)
// stays as it is.
std::wstring upcased(std::wstring_view text);

// UTF-8 as UTF-16 units; a byte that starts no well-formed sequence becomes U+FFFD.
std::u16string utf16Of(std::string_view utf8);
