// The JSON writer: strings and integers only; documents are built by concatenation.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A JSON string literal, quotes included. Invalid UTF-8 is repaired with \ufffd, and the
// characters unsafe in HTML and script source are escaped. Never fails.
std::string jsonString(std::string_view bytes);

std::string jsonInt(std::int64_t value);
