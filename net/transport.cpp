#include "net/transport.h"

#include "store/error_codes.h"

#include <algorithm>

std::string describeTransportError(std::uint32_t code, std::string_view host) {
    switch (code) {
    case errors::httpTimeout:
        return "the server took too long to answer";
    case errors::httpNameNotResolved:
        return "dial tcp: lookup " + std::string(host) + ": no such host";
    case errors::httpCannotConnect:
        return "dial tcp: could not connect to " + std::string(host);
    case errors::httpConnectionError:
        return "the connection was closed";
    case errors::httpSecureFailure:
        return "tls: could not verify the server";
    case errors::httpSecureChannelError:
        return "tls: the secure connection could not be made";
    default:
        return "network error " + std::to_string(code);
    }
}

std::string withoutUserInfo(std::string_view url) {
    const std::size_t scheme = url.find("://");
    const std::size_t start = scheme == std::string_view::npos ? 0 : scheme + 3;
    const std::size_t end = std::min(url.find_first_of("/?#", start), url.size());
    const std::size_t at = url.substr(0, end).rfind('@');
    if (at == std::string_view::npos || at < start) return std::string(url);
    return std::string(url.substr(0, start)) + std::string(url.substr(at + 1));
}

FileError requestFailure(std::string_view url, std::string_view text) {
    FileError e = plainFailure("Get \"" + withoutUserInfo(url) + "\": " + std::string(text));
    e.network = true;
    return e;
}
