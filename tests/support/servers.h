// The test servers started by tests/support/servers: nginx with a web root the tests write
// into, and the fault server. Ports come from the environment.
#pragma once

#include "store/files.h"
#include "store/paths.h"
#include "store/text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

inline std::string envPort(const char* name) {
    const char* v = std::getenv(name);
    if (!v || !*v) {
        ADD_FAILURE() << name << " is not set: run the tests through scripts/test";
        return "1";
    }
    return v;
}

inline std::string httpsUrl(const std::string& path) {
    return "https://localhost:" + envPort("VELLUMARK_HTTPS_PORT") + path;
}
inline std::string untrustedUrl(const std::string& path) {
    return "https://localhost:" + envPort("VELLUMARK_UNTRUSTED_PORT") + path;
}
inline std::string faultUrl(const std::string& path) {
    return "https://localhost:" + envPort("VELLUMARK_FAULT_PORT") + path;
}

inline std::wstring serverDir() {
    return toWide(TEST_SERVER_DIR);
}
inline std::wstring webRoot() {
    return joinPath(serverDir(), L"www");
}

// Writes a file that nginx serves at /rel.
inline void publish(const std::wstring& rel, const std::string& bytes) {
    std::wstring path = joinPath(webRoot(), rel), failed;
    const std::size_t sep = path.find_last_of(L"\\/");
    ASSERT_EQ(makeDirs(path.substr(0, sep), failed), 0u);
    ASSERT_FALSE(writeWholeFile(path, bytes).failed);
}

// What a server logged from the given byte offset of its log on, and where its log ends.
inline std::string serverLogFrom(const wchar_t* log, std::size_t offset) {
    std::string text;
    readWholeFile(joinPath(serverDir(), log), text);
    return offset < text.size() ? text.substr(offset) : std::string();
}
inline std::size_t serverLogSize(const wchar_t* log) {
    std::int64_t size = 0;
    fileInfo(joinPath(serverDir(), log), &size);
    return static_cast<std::size_t>(size);
}

// nginx: one line per answered request.
inline std::string accessLogFrom(std::size_t offset) {
    return serverLogFrom(L"access.log", offset);
}
inline std::size_t accessLogSize() {
    return serverLogSize(L"access.log");
}

// The fault server: a line when a request arrives, another when it is answered.
inline std::string faultLogFrom(std::size_t offset) {
    return serverLogFrom(L"fault.log", offset);
}
inline std::size_t faultLogSize() {
    return serverLogSize(L"fault.log");
}

// Waits until count requests for paths starting with prefix have reached the fault server
// since the offset of its log (they may not be answered yet).
inline void waitForFaultArrivals(std::size_t from, const std::string& prefix, int count) {
    const std::string line = "arrived " + prefix;
    for (int waited = 0; waited < 20000; waited += 10) {
        const std::string log = faultLogFrom(from);
        int seen = 0;
        for (std::size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1))
            ++seen;
        if (seen >= count) return;
        Sleep(10);
    }
    ADD_FAILURE() << "the fault server never saw " << count << " requests for " << prefix;
}
