#include "net/proxy.h"

#include <windows.h>
#include <winhttp.h>

namespace {

// Before Windows 8.1: the current user's auto-configuration, kept for setProxyFor.
struct AutoConfig {
    bool used = false;
    bool detect = false;
    std::wstring scriptUrl;
};
AutoConfig autoConfig;

std::wstring taken(LPWSTR text) {
    std::wstring out = text ? text : L"";
    if (text) GlobalFree(text);
    return out;
}

} // namespace

InternetHandle openProxiedSession(const wchar_t* userAgent, std::uint32_t& error) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user{};
    std::wstring proxy, bypass, script;
    bool detect = false;
    if (WinHttpGetIEProxyConfigForCurrentUser(&user)) {
        detect = user.fAutoDetect != FALSE;
        script = taken(user.lpszAutoConfigUrl);
        proxy = taken(user.lpszProxy);
        bypass = taken(user.lpszProxyBypass);
    }
    const bool automatic = detect || !script.empty();
    // A proxy the player named, with nothing to detect, is used as named: the system's own
    // search comes to the same, but some systems accept the request for it and then go
    // direct. Anything else is left to that search where the system has one.
    HINTERNET session = nullptr;
    if (proxy.empty() || automatic) {
        session = WinHttpOpen(userAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0);
        if (session) return session;
    }
    // Before Windows 8.1: the named proxy for the session, and the detection or the script
    // asked for each URL, which takes precedence where it finds a proxy.
    autoConfig = {automatic, detect, script};
    session = proxy.empty() ? WinHttpOpen(userAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                          WINHTTP_NO_PROXY_BYPASS, 0)
                            : WinHttpOpen(userAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.c_str(),
                                          bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : bypass.c_str(), 0);
    if (!session) error = GetLastError();
    return session;
}

void setProxyFor(InternetHandle session, InternetHandle request, const std::wstring& url) {
    if (!autoConfig.used) return;
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (!autoConfig.scriptUrl.empty()) {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = autoConfig.scriptUrl.c_str();
    } else {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    if (!WinHttpGetProxyForUrl(session, url.c_str(), &options, &info)) return;
    WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof info);
    taken(info.lpszProxy);
    taken(info.lpszProxyBypass);
}
