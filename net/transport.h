// How transport failures read: "Get \"URL\": " and a short diagnosis.
#pragma once

#include "store/file_error.h"

#include <cstdint>
#include <string>
#include <string_view>

// The diagnosis for a WinHTTP error code; host is UTF-8.
std::string describeTransportError(std::uint32_t code, std::string_view host);

// The failure of a request: a plain failure with the network mark.
FileError requestFailure(std::string_view url, std::string_view text);
