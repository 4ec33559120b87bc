#include "store/sha256.h"

#include "store/handle.h"
#include "store/hex.h"
#include "store/paths.h"

#include <bcrypt.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

constexpr std::size_t readSize = 1048576;

struct alignas(32) ReadBuffer {
    unsigned char bytes[readSize];
};

// Read buffers are lent out and taken back rather than allocated per file: a fresh megabyte
// costs more than hashing a small file (its pages are mapped and cleared anew each time). As
// many exist as hashes ever ran at once; they live as long as the process.
class BufferLease {
public:
    BufferLease() {
        std::lock_guard guard(lock());
        if (spare().empty()) {
            buffer_ = new ReadBuffer;
        } else {
            buffer_ = spare().back();
            spare().pop_back();
        }
    }
    ~BufferLease() {
        std::lock_guard guard(lock());
        spare().push_back(buffer_);
    }
    BufferLease(const BufferLease&) = delete;
    BufferLease& operator=(const BufferLease&) = delete;

    unsigned char* bytes() { return buffer_->bytes; }

private:
    static std::mutex& lock() {
        static std::mutex* m = new std::mutex;
        return *m;
    }
    static std::vector<ReadBuffer*>& spare() {
        static auto* list = new std::vector<ReadBuffer*>;
        return *list;
    }
    ReadBuffer* buffer_;
};

// One provider for the whole process, opened once even when several threads ask at once,
// and never closed.
BCRYPT_ALG_HANDLE provider() {
    static const BCRYPT_ALG_HANDLE handle = [] {
        BCRYPT_ALG_HANDLE h = nullptr;
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&h, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
            h = nullptr;
        return h;
    }();
    return handle;
}

} // namespace

void CngHashTraits::close(Type h) {
    BCryptDestroyHash(h);
}

Sha256::Sha256() {
    BCRYPT_HASH_HANDLE h = nullptr;
    if (BCRYPT_ALG_HANDLE alg = provider();
        alg && BCRYPT_SUCCESS(BCryptCreateHash(alg, &h, nullptr, 0, nullptr, 0, 0))) {
        hash_.reset(h);
    }
}

void Sha256::update(const void* data, std::size_t size) {
    if (!hash_) return;
    // The call takes a 32-bit length, so any size goes in pieces of at most 2^30 bytes.
    constexpr std::size_t piece = std::size_t{1} << 30;
    auto* p = static_cast<UCHAR*>(const_cast<void*>(data));
    while (size > 0) {
        const std::size_t n = std::min(size, piece);
        BCryptHashData(hash_.get(), p, static_cast<ULONG>(n), 0);
        p += n;
        size -= n;
    }
}

bool Sha256::finish(std::uint8_t (&digest)[32]) {
    return hash_ && BCRYPT_SUCCESS(BCryptFinishHash(hash_.get(), digest, sizeof digest, 0));
}

std::string Sha256::finishHex() {
    std::uint8_t digest[32];
    return finish(digest) ? hexText(digest, sizeof digest) : std::string();
}

bool hashFile(const std::wstring& path, std::string& digest) {
    FileHandle file(CreateFileW(extendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    Sha256 hash;
    BufferLease buffer;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer.bytes(), readSize, &got, nullptr)) return false;
        if (got == 0) break;
        hash.update(buffer.bytes(), got);
    }
    std::string text = hash.finishHex();
    if (text.empty()) return false;
    digest = std::move(text);
    return true;
}

bool verifyRange(HANDLE file, std::int64_t start, std::int64_t length, const std::string& expected) {
    Sha256 hash;
    BufferLease buffer;
    for (std::int64_t done = 0; done < length;) {
        // Positioned reads: the handle's own file pointer is never relied on, so workers may
        // share a handle.
        const std::uint64_t offset = static_cast<std::uint64_t>(start + done);
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const auto want = static_cast<DWORD>(std::min<std::int64_t>(readSize, length - done));
        DWORD got = 0;
        const BOOL ok = ReadFile(file, buffer.bytes(), want, &got, &at);
        if (!ok && GetLastError() != ERROR_HANDLE_EOF) return false;
        if (got == 0) return false; // the file ends before the range does
        hash.update(buffer.bytes(), got);
        done += got;
    }
    return hash.finishHex() == expected;
}
