// The rolling checksum that finds a chunk of a new build at any offset of the player's old
// copy: a 64-bit cyclic polynomial (buzhash) over a window of one chunk, which moves one byte
// at a time in constant time. vellumark-publish writes one per chunk ("rolling" in the
// manifest); the launcher rolls it over the old file and checks every hit by its SHA-256.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class RollingHash {
public:
    // An empty hash for a window of window bytes, which extend fills.
    explicit RollingHash(std::size_t window) : outShift_(static_cast<unsigned>(window % 64)) {}
    // Adds bytes at the back of a window that is not full yet.
    void extend(const void* data, std::size_t size);
    std::uint64_t value() const { return value_; }
    // Moves the window one byte on: out leaves it at the front, in joins it at the back.
    void roll(unsigned char out, unsigned char in);

private:
    std::uint64_t value_ = 0;
    unsigned outShift_ = 0; // the window's length, modulo 64
};

// The checksum of a whole chunk, as the window that holds exactly its bytes gives it.
std::uint64_t rollingSum(std::string_view chunk);

// The manifest's text form: 16 lowercase hex digits a chunk, one string for the file.
std::string rollingText(const std::vector<std::uint64_t>& sums);
// False unless text is exactly 16 hex digits for each of count chunks.
bool parseRollingText(std::string_view text, std::size_t count, std::vector<std::uint64_t>& sums);
