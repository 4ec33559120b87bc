#include "store/cdc.h"

#include <array>
#include <bit>

namespace {

// 256 fixed pseudo-random words (splitmix64 from a fixed seed): the publisher and every
// launcher must derive the same cuts from the same bytes.
constexpr std::array<std::uint64_t, 256> makeGear() {
    std::array<std::uint64_t, 256> gear{};
    std::uint64_t state = 0x5645'4C4C'554D'4152u;
    for (std::uint64_t& g : gear) {
        state += 0x9E37'79B9'7F4A'7C15u;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9u;
        z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EBu;
        g = z ^ (z >> 31);
    }
    return gear;
}
constexpr std::array<std::uint64_t, 256> gear = makeGear();

// The top bits of the hash, which depend on the last 64 bytes (the low ones on the last few).
constexpr std::uint64_t topBits(int count) {
    return count <= 0 ? 0 : ~std::uint64_t{0} << (64 - count);
}

} // namespace

bool validChunking(const Chunking& c, std::int64_t limit) {
    return c.min >= 64 && c.min <= c.avg && c.avg <= c.max && c.max <= limit &&
           std::has_single_bit(static_cast<std::uint64_t>(c.avg));
}

std::size_t nextCut(const Chunking& c, const unsigned char* data, std::size_t size) {
    const auto min = static_cast<std::size_t>(c.min), max = static_cast<std::size_t>(c.max);
    if (size <= min) return size;
    const std::size_t end = size < max ? size : max;
    const std::size_t normal = end < static_cast<std::size_t>(c.avg) ? end : static_cast<std::size_t>(c.avg);
    // Normalised chunking: a harder test before the average size and an easier one after it
    // keep most chunks near the average.
    const int bits = std::countr_zero(static_cast<std::uint64_t>(c.avg));
    const std::uint64_t hard = topBits(bits + 2), easy = topBits(bits - 2);
    std::uint64_t hash = 0;
    std::size_t i = min > 64 ? min - 64 : 0;
    for (; i < min; ++i) // the window before the first possible cut
        hash = (hash << 1) + gear[data[i]];
    for (; i < normal; ++i) {
        hash = (hash << 1) + gear[data[i]];
        if (!(hash & hard)) return i + 1;
    }
    for (; i < end; ++i) {
        hash = (hash << 1) + gear[data[i]];
        if (!(hash & easy)) return i + 1;
    }
    return end;
}
