// The rolling checksum that finds a chunk of a new build at any offset of the player's old
// copy: a 64-bit cyclic polynomial (buzhash) over a window of one chunk, which moves one byte
// at a time in constant time. vellumark-publish writes one per chunk ("rolling" in the
// manifest); the launcher rolls it over the old file and checks every hit by its SHA-256.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class RollingHash {
public:
    // An empty hash for a window of window bytes, which extend fills.
    explicit RollingHash(std::size_t window) : outShift_(static_cast<unsigned>(window % 64)) {}
    // Adds bytes at the back of a window that is not full yet.
    void extend(const void* data, std::size_t size);
    // The sum as published: its top 32 bits, the rest zero. They are enough to choose where a
    // SHA-256 is worth computing, and each costs the manifest half the digits of all 64.
    std::uint64_t value() const { return value_ & 0xFFFFFFFF00000000u; }
    // Moves the window one byte on: out leaves it at the front, in joins it at the back.
    void roll(unsigned char out, unsigned char in);

private:
    std::uint64_t value_ = 0;
    unsigned outShift_ = 0; // the window's length, modulo 64
};

// The checksum of a whole chunk, as the window that holds exactly its bytes gives it.
std::uint64_t rollingSum(std::string_view chunk);

// The manifest's text form: the 8 lowercase hex digits of each chunk's published sum, one
// string for the file.
std::string rollingText(const std::vector<std::uint64_t>& sums);
// False unless text is exactly 8 hex digits for each of count chunks.
bool parseRollingText(std::string_view text, std::size_t count, std::vector<std::uint64_t>& sums);

// Which sums a scan looks for, answered in a few cycles for every byte it rolls over: a bit
// for each value of a sum's top bits. A set bit only means "maybe"; the caller checks.
class SumFilter {
public:
    explicit SumFilter(const std::vector<std::uint64_t>& sums) {
        for (const std::uint64_t sum : sums)
            bits_.set(index(sum));
    }
    bool mayHold(std::uint64_t sum) const { return bits_.test(index(sum)); }

private:
    static constexpr int bits = 18; // 32 KiB: stays in the cache
    static std::size_t index(std::uint64_t sum) { return static_cast<std::size_t>(sum >> (64 - bits)); }
    std::bitset<std::size_t{1} << bits> bits_;
};

// What a caller made of a window the filter let through.
enum class WindowSeen {
    passed, // not a sum it wants: nothing was hashed
    missed, // hashed, and it was none of the chunks with that sum
    taken,  // one it wanted: the next window starts after it
};

// Rolls a window of window bytes over bytes [0, size) of a file, read in large pieces through
// read(offset, data, length). At every offset whose sum the filter may hold, take(sum, bytes,
// offset) says what the window was. goOn is asked before every read and after every miss.
// False when a read failed.
//
// A miss costs a digest of a whole window, and a window of bytes that repeat with a period
// that divides it (a run of one byte, a solid colour, a repeated page) has the same sum at
// every offset of the run: a sum that missed is not offered again before the window that
// missed has passed (except at multiples of the window, where chunks in place stand), and the
// scan ends once misses have hashed twice the file. So whatever the file holds, the bytes
// hashed for it stay within about three times its size.
using ReadAt = std::function<bool(std::int64_t offset, char* data, std::size_t length)>;
//
// probe, when given, is offered first every window the scan reaches by a read or after a window
// taken, before any rolling sum: where the caller knows what a window should hold (a chunk in
// place), a file that holds it costs one digest a chunk and no rolling sums.
using TakeWindow = std::function<WindowSeen(std::uint64_t sum, const char* window, std::int64_t offset)>;
using ProbeWindow = std::function<WindowSeen(const char* window, std::int64_t offset)>;
bool rollOver(std::int64_t size, std::size_t window, const SumFilter& filter, const ReadAt& read,
              const TakeWindow& take, const std::function<bool()>& goOn, const ProbeWindow& probe = {});
