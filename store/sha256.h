// SHA-256 on the system's CNG provider, with digests as 64 lowercase hex digits.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(const void* data, std::size_t size);
    // The digest text; empty when the system could not make a hash object, so it never
    // matches an expected digest.
    std::string finishHex();

private:
    void* hash_ = nullptr; // BCRYPT_HASH_HANDLE
};

// The digest of a whole file; false when it cannot be opened or read.
bool hashFile(const std::wstring& path, std::string& digest);

// Whether bytes [start, start + length) of an open file hash to expected. A file that ends
// before the range does, a read error and a mismatch are all false.
bool verifyRange(HANDLE file, std::int64_t start, std::int64_t length, const std::string& expected);
