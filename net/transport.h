// How transport failures read: "Get \"URL\": " and a short diagnosis.
#pragma once

#include "store/file_error.h"

#include <cstdint>
#include <string>
#include <string_view>

// The diagnosis for a WinHTTP error code; host is UTF-8.
std::string describeTransportError(std::uint32_t code, std::string_view host);

// The URL without the user information of its authority ("user:password@"): what a log line or
// a failure text may show of it.
std::string withoutUserInfo(std::string_view url);

// The failure of a request, naming the URL without its user information: a plain failure with
// the network mark.
FileError requestFailure(std::string_view url, std::string_view text);
