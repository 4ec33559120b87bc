// Installs a build from its manifest URL into an empty folder, then checks the unchanged
// install again, and prints files and megabytes per second for each run. With --parse, times
// the parse of a manifest file and the memory the parsed manifest holds.
#include "base/session_status.h"
#include "net/manifest.h"
#include "store/files.h"
#include "store/sha256.h"
#include "store/text.h"
#include "sync/sync.h"
#include "tools/publish/signing.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "bench/cpu_time.h"

#include <windows.h>

#include <psapi.h>

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool timedSync(const char* label, const SessionOptions& options, const Manifest& m) {
    std::int64_t bytes = 0;
    for (const ManifestFile& f : m.files)
        bytes += f.size;
    SessionStatus status;
    const double cpuStart = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    FileError e;
    std::atomic<bool> finished{false};
    // Where the time goes within the sync: the moment each of its steps ends.
    std::string steps;
    const auto stepEnded = [&](std::string_view step) {
        char mark[64];
        std::snprintf(mark, sizeof mark, " %.*s %.3f", static_cast<int>(step.size()), step.data(),
                      secondsSince(start));
        steps += mark;
    };
    std::thread session([&] {
        e = syncFolder(options, m, status, defaultRetryPause, stepEnded);
        finished = true;
    });
    // Where the time goes: the moment each phase begins.
    std::string phases;
    for (SessionPhase seen = SessionPhase::Contacting; seen != SessionPhase::Ready;) {
        const SessionPhase now = takeSnapshot(status).phase;
        if (now != seen) {
            seen = now;
            char mark[64];
            std::snprintf(mark, sizeof mark, " %s at %.2f s",
                          now == SessionPhase::Checking      ? "check"
                          : now == SessionPhase::Downloading ? "download"
                                                             : "finish",
                          secondsSince(start));
            phases += mark;
        }
        if (finished) break;
        Sleep(5);
    }
    session.join();
    const double s = secondsSince(start);
    if (e.failed) {
        std::printf("%s failed: %s\n", label, e.message.c_str());
        return false;
    }
    std::printf("%-22s %6zu files %9.1f MB in %7.2f s: %9.0f files/s %8.1f MB/s%s\n", label, m.files.size(),
                bytes / 1048576.0, s, m.files.size() / s, bytes / 1048576.0 / s,
                takeSnapshot(status).upToDate ? " (up to date)" : "");
    std::printf("%22s%s, cpu %.2f s\n", "", phases.c_str(), cpuSeconds() - cpuStart);
    std::printf("%22s steps ended:%s\n", "", steps.c_str());
    return true;
}

// The cost of the one signature check of an update: SHA-256 of the manifest's bytes and one
// ECDSA P-256 verification on CNG, each timed alone over repeated runs.
void timeSignatureCheck(const Manifest& m) {
    const std::string body = serializeManifest(m);
    std::string pem, problem;
    const std::unique_ptr<Signer> signer = generateSigner(pem, problem);
    EcSignature signature{};
    if (!signer || !signer->sign(body, signature)) {
        std::printf("signature check: cannot sign (%s)\n", problem.c_str());
        return;
    }
    constexpr int runs = 200;
    const auto timed = [&](std::string_view message, const EcSignature& sig) {
        const auto start = std::chrono::steady_clock::now();
        bool all = true;
        for (int i = 0; i < runs; ++i)
            all = verifyEcdsa(message, sig, signer->publicKey()) && all;
        return all ? secondsSince(start) * 1000 / runs : -1.0;
    };
    EcSignature ofNothing{};
    signer->sign("", ofNothing);
    const double whole = timed(body, signature), ecdsa = timed("", ofNothing);
    std::printf(
        "signature check of a %zu-byte manifest: %.3f ms, of which ECDSA %.3f ms and hashing the rest\n",
        body.size(), whole, ecdsa);
}

// The process's memory in use and at its peak (this Wine does not report private bytes).
std::pair<std::int64_t, std::int64_t> memoryInUse() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return {static_cast<std::int64_t>(counters.WorkingSetSize),
            static_cast<std::int64_t>(counters.PeakWorkingSetSize)};
}

// The launcher's cost of a manifest once its bytes are in: the parse (best of five) and what
// the parsed manifest holds in memory, beside the body itself.
int timeParse(const wchar_t* file) {
    std::string body;
    if (!readWholeFile(file, body)) {
        std::fprintf(stderr, "cannot read the manifest\n");
        return 1;
    }
    double best = 1e9;
    std::int64_t held = 0;
    const std::int64_t base = memoryInUse().first;
    std::size_t files = 0;
    for (int run = 0; run < 5; ++run) {
        const std::int64_t before = memoryInUse().first;
        const auto start = std::chrono::steady_clock::now();
        Manifest m;
        if (const FileError e = parseManifest(body, m); e.failed) {
            std::printf("manifest failed: %s\n", e.message.c_str());
            return 1;
        }
        best = std::min(best, secondsSince(start));
        held = std::max(held, memoryInUse().first - before);
        files = m.files.size();
    }
    std::printf("manifest of %zu files, %zu bytes: parsed in %.3f s, holding %.1f MB, at most %.1f MB while "
                "parsing (the body %.1f MB besides)\n",
                files, body.size(), best, held / 1e6, (memoryInUse().second - base) / 1e6, body.size() / 1e6);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring_view(argv[1]) == L"--parse") return timeParse(argv[2]);
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: sync_bench MANIFEST_URL GAME_FOLDER | sync_bench --parse MANIFEST_FILE\n");
        return 2;
    }
    Manifest m;
    if (const FileError e = fetchManifest(toUtf8(argv[1]), m); e.failed) {
        std::printf("manifest failed: %s\n", e.message.c_str());
        return 1;
    }
    const SessionOptions install{"", argv[2], false};
    const SessionOptions repair{"", argv[2], true};
    const bool ok = timedSync("launcher install", install, m) && timedSync("launcher re-check", install, m) &&
                    timedSync("launcher repair", repair, m);
    timeSignatureCheck(m);
    return ok ? 0 : 1;
}
