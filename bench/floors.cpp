// What an update cannot do faster under this Wine: the same calls the launcher makes, alone.
//   floors WORK_FOLDER URL_LIST BIG_FILE_URL
//   floors --read-hash FILE      (reading a file once and hashing it: what reusing it costs at least)
// Prints one "name value unit" line a figure, for bench/run to set the launcher's beside.
#include "net/http.h"
#include "store/files.h"
#include "store/handle.h"
#include "store/paths.h"
#include "store/sha256.h"
#include "store/text.h"

#include "bench/cpu_time.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs body(i) for i in [0, count) on threads taking the next index; the wall time.
template <class Body> double onThreads(int threads, int count, Body body) {
    std::atomic<int> next{0};
    const auto start = Clock::now();
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&] {
            for (int i; (i = next.fetch_add(1)) < count;)
                body(i);
        });
    for (auto& t : pool)
        t.join();
    return secondsSince(start);
}

void hashing() {
    constexpr std::size_t piece = 1 << 20;
    const std::vector<char> data(piece, 'x');
    const int threads = static_cast<int>(std::thread::hardware_concurrency());
    for (const int n : {1, threads}) {
        const double cpu = cpuSeconds();
        const int pieces = 256 * n;
        const double s = onThreads(n, pieces, [&](int) {
            Sha256 h;
            h.update(data.data(), data.size());
            h.finishHex();
        });
        std::printf("hash_mb_per_s_%d_threads %.1f MB/s\n", n, pieces / s);
        if (n == 1) std::printf("hash_cpu_s_per_gib %.3f s\n", (cpuSeconds() - cpu) / pieces * 1024);
    }
}

void files(const std::wstring& root) {
    constexpr int count = 2000, perFolder = 200;
    const std::string block(4096, 'f');
    const auto name = [&](int i) {
        return joinPath(root, L"f" + std::to_wstring(i / perFolder) + L"\\" + std::to_wstring(i));
    };
    for (int f = 0; f < count / perFolder; ++f) {
        std::wstring failed;
        makeDirs(joinPath(root, L"f" + std::to_wstring(f)), failed);
    }
    for (const int threads : {1, 6}) {
        const double s = onThreads(threads, count, [&](int i) {
            const std::wstring target = name(i), part = target + L".part";
            FileHandle h(CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            DWORD n = 0;
            WriteFile(h.get(), block.data(), static_cast<DWORD>(block.size()), &n, nullptr);
            h.reset();
            moveReplacing(part, target);
        });
        std::printf("new_file_us_%d_threads %.1f us\n", threads, s / count * 1e6);
    }
    // Opening a small file and reading it whole: what a repair does for each file, hashing apart.
    for (const int threads : {1, 6}) {
        const double s = onThreads(threads, count, [&](int i) {
            std::string bytes;
            readWholeFile(name(i), bytes);
        });
        std::printf("open_read_us_%d_threads %.1f us\n", threads, s / count * 1e6);
    }
    double s = onThreads(1, count * 5, [&](int i) { fileInfo(name(i % count)); });
    std::printf("attributes_us %.2f us\n", s / (count * 5) * 1e6);
    const auto start = Clock::now();
    std::vector<DirEntry> entries;
    for (int round = 0; round < 5; ++round)
        for (int f = 0; f < count / perFolder; ++f)
            listDirectory(joinPath(root, L"f" + std::to_wstring(f)), entries);
    std::printf("listing_us_per_entry %.2f us\n", secondsSince(start) / (count * 5) * 1e6);
}

// GETs with the body read and dropped; the bytes received.
std::int64_t fetch(const std::string& url) {
    HttpRequest r;
    if (r.get(url).failed || r.status != 200) return -1;
    std::vector<char> buffer(transferBufferBytes);
    std::int64_t total = 0;
    for (std::uint32_t n = 0; !r.read(buffer.data(), transferBufferBytes, n).failed && n > 0;)
        total += n;
    return total;
}

void network(const std::string& urlList, const std::string& bigUrl) {
    std::vector<std::string> urls;
    std::ifstream in(urlList);
    for (std::string line; std::getline(in, line) && urls.size() < 2000;)
        urls.push_back(line);
    fetch(urls.front()); // the session and its first connection
    double cpu = cpuSeconds();
    std::atomic<std::int64_t> bytes{0};
    const double s = onThreads(6, static_cast<int>(urls.size()), [&](int i) { bytes += fetch(urls[i]); });
    std::printf("small_gets_per_s_6_threads %.0f files/s\n", urls.size() / s);
    std::printf("small_get_cpu_ms %.3f ms\n", (cpuSeconds() - cpu) / urls.size() * 1000);
    cpu = cpuSeconds();
    const auto start = Clock::now();
    const std::int64_t big = fetch(bigUrl);
    const double t = secondsSince(start);
    std::printf("big_get_mb_per_s %.1f MB/s\n", big / 1048576.0 / t);
    std::printf("download_cpu_s_per_gib %.3f s\n", (cpuSeconds() - cpu) / (big / 1073741824.0));
}

// Reads the file in the pieces the launcher's scan of an old copy reads, hashing every byte.
int readAndHash(const wchar_t* path) {
    const auto start = Clock::now();
    FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return 1;
    std::vector<char> buffer(std::size_t{8} << 20);
    Sha256 hash;
    std::int64_t total = 0;
    for (DWORD got = 0;
         ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got;) {
        hash.update(buffer.data(), got);
        total += got;
    }
    hash.finishHex();
    std::printf("read_hash_s %.2f s (%lld bytes)\n", secondsSince(start), static_cast<long long>(total));
    return 0;
}

// The floor of making a file anew beside its old copy from the old copy's bytes, as a patch
// does: read, hash what is written, write it to "<path>.copy", flush it, remove it.
int copyAndHash(const wchar_t* path) {
    const auto start = Clock::now();
    const std::wstring copyPath = std::wstring(path) + L".copy";
    FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    FileHandle copy(CreateFileW(copyPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file || !copy) return 1;
    std::vector<char> buffer(std::size_t{1} << 20);
    Sha256 hash;
    std::int64_t total = 0;
    for (DWORD got = 0, put = 0;
         ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got;) {
        hash.update(buffer.data(), got);
        if (!WriteFile(copy.get(), buffer.data(), got, &put, nullptr) || put != got) return 1;
        total += got;
    }
    hash.finishHex();
    FlushFileBuffers(copy.get());
    copy.reset();
    std::printf("copy_hash_flush_s %.2f s (%lld bytes)\n", secondsSince(start),
                static_cast<long long>(total));
    DeleteFileW(copyPath.c_str());
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"--read-hash") return readAndHash(argv[2]);
    if (argc == 3 && std::wstring(argv[1]) == L"--copy-hash") return copyAndHash(argv[2]);
    if (argc != 4) {
        std::fprintf(stderr, "usage: floors WORK_FOLDER URL_LIST BIG_FILE_URL\n");
        return 2;
    }
    hashing();
    files(argv[1]);
    network(toUtf8(argv[2]), toUtf8(argv[3]));
    return 0;
}
