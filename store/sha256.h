// SHA-256 on the system's CNG provider, with digests as 64 lowercase hex digits.
#pragma once

#include "store/handle.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

// A CNG hash object (BCRYPT_HASH_HANDLE), destroyed with BCryptDestroyHash.
struct CngHashTraits {
    using Type = void*;
    static Type invalid() { return nullptr; }
    static void close(Type h);
};

class Sha256 {
public:
    Sha256();

    void update(const void* data, std::size_t size);
    // The 32 bytes of the digest; false when the system could not make a hash object.
    bool finish(std::uint8_t (&digest)[32]);
    // The digest text; empty when the system could not make a hash object, so it never
    // matches an expected digest.
    std::string finishHex();

private:
    UniqueHandle<CngHashTraits> hash_;
};

// The digest of a whole file; false when it cannot be opened or read.
bool hashFile(const std::wstring& path, std::string& digest);

// Whether bytes [start, start + length) of an open file hash to expected. A file that ends
// before the range does, a read error and a mismatch are all false.
bool verifyRange(HANDLE file, std::int64_t start, std::int64_t length, const std::string& expected);
