// A file's bytes mapped read-only: the publisher diffs files of gigabytes, which reading into
// memory would copy and zero page by page first.
#pragma once

#include <filesystem>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

class MappedFile {
public:
    // An empty file maps to no bytes; ok() is false when the file cannot be opened or mapped.
    explicit MappedFile(const std::filesystem::path& file) {
#ifdef _WIN32
        const HANDLE h =
            CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return;
        LARGE_INTEGER size{};
        if (GetFileSizeEx(h, &size) && size.QuadPart == 0) {
            ok_ = true;
        } else if (size.QuadPart > 0) {
            if (const HANDLE map = CreateFileMappingW(h, nullptr, PAGE_READONLY, 0, 0, nullptr)) {
                data_ = MapViewOfFile(map, FILE_MAP_READ, 0, 0, 0);
                CloseHandle(map); // the view keeps the mapping
                size_ = static_cast<std::size_t>(size.QuadPart);
                ok_ = data_ != nullptr;
            }
        }
        CloseHandle(h);
#else
        const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        struct stat info {};
        if (fstat(fd, &info) == 0 && info.st_size == 0) {
            ok_ = true;
        } else if (info.st_size > 0) {
            void* p = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (p != MAP_FAILED) {
                data_ = p;
                size_ = static_cast<std::size_t>(info.st_size);
                ok_ = true;
            }
        }
        close(fd); // the mapping stays
#endif
    }
    ~MappedFile() {
        if (!data_) return;
#ifdef _WIN32
        UnmapViewOfFile(data_);
#else
        munmap(data_, size_);
#endif
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool ok() const {
        return ok_;
    }
    std::string_view bytes() const {
        return {static_cast<const char*>(data_), size_};
    }

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
    bool ok_ = false;
};
