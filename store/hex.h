// Bytes as lowercase hexadecimal text, the form of every digest, key and signature the
// launcher writes or reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

std::string hexText(const std::uint8_t* bytes, std::size_t size);

// The bytes of a text of lowercase hexadecimal digit pairs; false for anything else.
bool parseHex(std::string_view text, std::vector<std::uint8_t>& bytes);

// A SHA-256 digest as text: exactly 64 lowercase hexadecimal digits.
bool isSha256Text(std::string_view text);
