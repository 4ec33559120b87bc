// Move-only owners for Windows handles: one template, a traits type per kind of handle.
#pragma once

#include <windows.h>

#include <utility>

template <class Traits> class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type h) : h_(h) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Type get() const { return h_; }
    bool valid() const { return h_ != Traits::invalid(); }
    explicit operator bool() const { return valid(); }

    Type release() { return std::exchange(h_, Traits::invalid()); }
    void reset(Type h = Traits::invalid()) {
        if (valid()) Traits::close(h_);
        h_ = h;
    }

private:
    Type h_ = Traits::invalid();
};

// CreateFileW signals failure with INVALID_HANDLE_VALUE, most other calls with NULL.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Type h) { CloseHandle(h); }
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type invalid() { return nullptr; }
    static void close(Type h) { CloseHandle(h); }
};

struct FindHandleTraits {
    using Type = HANDLE;
    static Type invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Type h) { FindClose(h); }
};

struct ViewTraits {
    using Type = void*;
    static Type invalid() { return nullptr; }
    static void close(Type view) { UnmapViewOfFile(view); }
};

using FileHandle = UniqueHandle<FileHandleTraits>;
using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using MappedView = UniqueHandle<ViewTraits>;

// The calling thread's last error, or ERROR_GEN_FAILURE where a failing call left it at 0,
// so that a failure never reads as success. Call it on the line after the failing call.
inline DWORD lastErrorCode() {
    const DWORD code = GetLastError();
    return code != 0 ? code : ERROR_GEN_FAILURE;
}
