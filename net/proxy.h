// The proxy the player's system is set to, followed by every request.
#pragma once

#include <cstdint>
#include <string>

// A WinHTTP handle (HINTERNET).
using InternetHandle = void*;

// Opens the process's session on the player's proxy settings: a proxy the current user named
// (with no detection or script) as named; otherwise found by the system itself where it can
// (Windows 8.1 and later), and before that from the current user's settings, the script or
// the detection asked for each URL by setProxyFor. Null, with the system's error, when no
// session can be made.
InternetHandle openProxiedSession(const wchar_t* userAgent, std::uint32_t& error);

// Points the request at the proxy the user's auto-configuration gives url, when the session
// was opened on such settings; otherwise leaves it as the session has it. Failing to find one
// leaves the request going direct, as the system's own browser would.
void setProxyFor(InternetHandle session, InternetHandle request, const std::wstring& url);
