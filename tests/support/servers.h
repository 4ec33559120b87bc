// The test servers started by tests/support/servers: nginx with a web root the tests write
// into, and the fault server. Ports come from the environment.
#pragma once

#include "store/files.h"
#include "store/paths.h"
#include "store/text.h"

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

// Lines nginx logged from the given byte offset of its access log on.
inline std::string accessLogFrom(std::size_t offset) {
    std::string log;
    readWholeFile(joinPath(serverDir(), L"access.log"), log);
    return offset < log.size() ? log.substr(offset) : std::string();
}
inline std::size_t accessLogSize() {
    std::int64_t size = 0;
    fileInfo(joinPath(serverDir(), L"access.log"), &size);
    return static_cast<std::size_t>(size);
}

// What the fault server logged from the given byte offset on: one line per answered request.
inline std::string faultLogFrom(std::size_t offset) {
    std::string log;
    readWholeFile(joinPath(serverDir(), L"fault.log"), log);
    return offset < log.size() ? log.substr(offset) : std::string();
}
inline std::size_t faultLogSize() {
    return faultLogFrom(0).size();
}
