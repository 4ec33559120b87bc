// libFuzzer target over binary patches: any bytes applied to an old file stay inside it and
// within the size the header names, and a patch made from two halves of the input, in either
// coding, gives the second back from the first. A prefixed frame is handed the old file whole,
// so a read outside it is the sanitizer's to catch.
#include "net/patch.h"
#include "tests/fuzz/require.h"

#include <string>
#include <string_view>

namespace {

const std::string sha(64, '0');

// Applies patch to old; what was written, and whether every read and write stayed in bounds.
PatchResult applyTo(std::string_view patch, const std::string& old, std::string& written) {
    PatchHeader header;
    const bool named = readPatchHeader(patch, header);
    const PatchIo io{[&](std::int64_t at, char* data, std::size_t size) {
                         require(named && at >= 0 && at + std::int64_t(size) <= header.oldSize);
                         if (at + std::int64_t(size) > std::int64_t(old.size())) return false;
                         old.copy(data, size, std::size_t(at));
                         return true;
                     },
                     [&](const char* data, std::size_t size) {
                         written.append(data, size);
                         require(named && std::int64_t(written.size()) <= header.newSize);
                         return true;
                     },
                     [&](std::string_view& whole) {
                         require(named && header.oldSize <= maxPrefixedFile);
                         whole = old;
                         return true;
                     }};
    const PatchResult r = applyPatch(patch, io);
    require(r != PatchResult::Ok || std::int64_t(written.size()) == header.newSize);
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string written;
    applyTo(bytes, std::string(1000, 'o'), written);

    const std::string old(bytes.substr(0, size / 2)), next(bytes.substr(size / 2));
    for (const std::string& patch :
         {makePrefixedPatch(old, next, sha, sha, 1), makeCopyPatch(old, next, sha, sha, 1)}) {
        written.clear();
        require(applyTo(patch, old, written) == PatchResult::Ok && written == next);
    }
    return 0;
}
