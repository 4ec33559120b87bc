// A thin synchronous HTTP GET client on WinHTTP. Status codes are not interpreted here:
// callers compare them with what they expect.
#pragma once

#include "net/transport.h"
#include "store/file_error.h"
#include "store/handle.h"

#include <winhttp.h>

#include <cstdint>
#include <string>

struct WinHttpHandleTraits {
    using Type = HINTERNET;
    static Type invalid() { return nullptr; }
    static void close(Type h) { WinHttpCloseHandle(h); }
};
using WinHttpHandle = UniqueHandle<WinHttpHandleTraits>;

// The process-wide session, made once and never closed; null when it could not be made.
HINTERNET httpSession();

inline constexpr const wchar_t* userAgent = L"VellumarkLauncher/1.1";

// Time-outs of one request: name resolution (none of its own), connecting, sending, and the
// default for receiving each part of the answer.
inline constexpr int resolveTimeoutMs = 0;
inline constexpr int connectTimeoutMs = 20000;
inline constexpr int sendTimeoutMs = 30000;
inline constexpr int receiveTimeoutMs = 60000;

// The size of every read of a body.
inline constexpr std::uint32_t transferBufferBytes = 262144;

class HttpRequest {
public:
    std::int32_t status = 0;

    // Sends a GET and receives the status line. extraHeaders are complete lines ending in
    // CR LF; a receive time-out of 0 or less means receiveTimeoutMs. Any status is a success here.
    FileError get(const std::string& url, const std::wstring& extraHeaders = {}, std::int32_t timeoutMs = 0);
    // A header of the answer (a WINHTTP_QUERY_ value) as sent, bytes above ASCII as '?'; empty
    // when it is absent or longer than 1 KiB.
    std::string header(std::uint32_t query) const;
    // The answer's Content-Encoding, lower case; empty when it has none.
    std::string contentEncoding() const;
    // Up to capacity body bytes; a success with count 0 means the body is complete.
    FileError read(void* buffer, std::uint32_t capacity, std::uint32_t& count);
    void close();

private:
    WinHttpHandle connection_;
    WinHttpHandle request_;
};
