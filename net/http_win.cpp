#include "net/http.h"
#include "net/proxy.h"

#include "store/error_codes.h"
#include "store/text.h"

#include <cctype>

namespace {

bool setOption(HINTERNET handle, DWORD option, DWORD value) {
    return WinHttpSetOption(handle, option, &value, sizeof value) != 0;
}

struct Session {
    HINTERNET handle;
    DWORD error; // why it could not be made
};

Session openSession() {
    std::uint32_t error = 0;
    const HINTERNET session = openProxiedSession(userAgent, error);
    if (!session) return {session, error};
    // TLS 1.2 and 1.3 only; a system that does not know 1.3 keeps 1.2.
    if (!setOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS,
                   WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3)) {
        setOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2);
    }
    // A redirect never leads from https to http. This is the system's default; the launcher
    // does not rely on a default for it.
    setOption(session, WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP);
    return {session, 0};
}

// Made once even when several workers ask at once; a failure is not retried.
const Session& theSession() {
    static const Session session = openSession();
    return session;
}

enum class HeaderRead { Found, Absent, TooLong };

HeaderRead readHeader(HINTERNET request, DWORD query, std::string& out) {
    wchar_t text[1024] = L"";
    DWORD size = sizeof text;
    if (!WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                             WINHTTP_NO_HEADER_INDEX))
        return GetLastError() == ERROR_WINHTTP_HEADER_NOT_FOUND ? HeaderRead::Absent : HeaderRead::TooLong;
    out.clear();
    for (const wchar_t* c = text; *c; ++c)
        out += static_cast<char>(*c < 128 ? *c : '?');
    return HeaderRead::Found;
}

} // namespace

HINTERNET httpSession() {
    return theSession().handle;
}

void HttpRequest::close() {
    request_.reset();
    connection_.reset();
}

FileError HttpRequest::get(const std::string& url, const std::wstring& extraHeaders, std::int32_t timeoutMs) {
    close();
    const std::wstring wideUrl = toWide(url);
    std::wstring host(512, L'\0'), path(8192, L'\0'), extra(8192, L'\0');
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = static_cast<DWORD>(host.size());
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    // A URL without a host cracks on some systems, but nothing can be asked of it.
    if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts) || parts.dwHostNameLength == 0) {
        return requestFailure(url, "unsupported address");
    }
    host.resize(parts.dwHostNameLength);
    path.resize(parts.dwUrlPathLength);
    extra.resize(parts.dwExtraInfoLength);
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    const std::string hostText = toUtf8(host);

    const HINTERNET session = httpSession();
    if (!session) return requestFailure(url, "network error " + std::to_string(theSession().error));

    const HINTERNET connection = WinHttpConnect(session, host.c_str(), parts.nPort, 0);
    if (!connection) return requestFailure(url, describeTransportError(GetLastError(), hostText));
    connection_.reset(connection);

    std::wstring object = path + extra;
    if (object.empty() || object[0] != L'/') object.insert(0, 1, L'/');
    const HINTERNET request =
        WinHttpOpenRequest(connection_.get(), L"GET", object.c_str(), nullptr, WINHTTP_NO_REFERER,
                           WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0);
    if (!request) return requestFailure(url, describeTransportError(GetLastError(), hostText));
    request_.reset(request);

    WinHttpSetTimeouts(request_.get(), resolveTimeoutMs, connectTimeoutMs, sendTimeoutMs,
                       timeoutMs > 0 ? timeoutMs : receiveTimeoutMs);
    setProxyFor(session, request_.get(), wideUrl);
    // The file server has no business keeping state in the launcher.
    setOption(request_.get(), WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_COOKIES);

    const BOOL answered =
        WinHttpSendRequest(
            request_.get(), extraHeaders.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : extraHeaders.c_str(),
            extraHeaders.empty() ? 0 : static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
        WinHttpReceiveResponse(request_.get(), nullptr);
    if (!answered) return requestFailure(url, describeTransportError(GetLastError(), hostText));

    DWORD code = 0, size = sizeof code;
    if (!WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX)) {
        return requestFailure(url, describeTransportError(GetLastError(), hostText));
    }
    status = static_cast<std::int32_t>(code);
    return {};
}

std::string HttpRequest::header(std::uint32_t query) const {
    std::string out;
    return readHeader(request_.get(), query, out) == HeaderRead::Found ? out : std::string();
}

std::string HttpRequest::contentEncoding() const {
    std::string out;
    switch (readHeader(request_.get(), WINHTTP_QUERY_CONTENT_ENCODING, out)) {
    case HeaderRead::Absent:
        return "";
    case HeaderRead::TooLong: // longer than any encoding the launcher knows
        return "unknown";
    case HeaderRead::Found:
        break;
    }
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

FileError HttpRequest::read(void* buffer, std::uint32_t capacity, std::uint32_t& count) {
    count = 0;
    DWORD got = 0;
    if (!WinHttpReadData(request_.get(), buffer, capacity, &got)) {
        const DWORD code = GetLastError();
        if (code == errors::httpConnectionError) return plainFailure("unexpected EOF");
        return plainFailure("read: " + describeTransportError(code, "server"));
    }
    count = got;
    return {};
}
