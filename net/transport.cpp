#include "net/transport.h"

#include "store/error_codes.h"

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

FileError requestFailure(std::string_view url, std::string_view text) {
    FileError e = plainFailure("Get \"" + std::string(url) + "\": " + std::string(text));
    e.network = true;
    return e;
}
