#include "net/transport.h"

std::string describeTransportError(std::uint32_t code, std::string_view host) {
    switch (code) {
    case 12002:
        return "the server took too long to answer";
    case 12007:
        return "dial tcp: lookup " + std::string(host) + ": no such host";
    case 12029:
        return "dial tcp: could not connect to " + std::string(host);
    case 12030:
        return "the connection was closed";
    case 12175:
        return "tls: could not verify the server";
    default:
        return "network error " + std::to_string(code);
    }
}

FileError requestFailure(std::string_view url, std::string_view text) {
    FileError e = plainFailure("Get \"" + std::string(url) + "\": " + std::string(text));
    e.network = true;
    return e;
}
