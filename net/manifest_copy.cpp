#include "net/manifest_copy.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr std::string_view header = "vellumark manifest copy 1\n";

void putField(std::string& out, std::string_view name, std::string_view value) {
    out.append(name).append(" ").append(std::to_string(value.size())).append("\n");
    out.append(value).append("\n");
}

bool takeField(std::string_view& text, std::string_view name, std::string& value) {
    if (!text.starts_with(name) || text.size() <= name.size() || text[name.size()] != ' ') return false;
    text.remove_prefix(name.size() + 1);
    std::size_t length = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), length);
    // Exactly the digits the writer writes, so that one copy has one spelling.
    if (ec != std::errc() || end == text.data() + text.size() || *end != '\n' ||
        std::string_view(text.data(), static_cast<std::size_t>(end - text.data())) != std::to_string(length))
        return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()) + 1);
    if (length >= text.size() || text[length] != '\n') return false;
    value.assign(text.substr(0, length));
    text.remove_prefix(length + 1);
    return true;
}

bool sendable(std::string_view value) {
    return std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

} // namespace

std::string serializeManifestCopy(const ManifestCopy& copy) {
    std::string out(header);
    putField(out, "url", copy.url);
    putField(out, "etag", copy.etag);
    putField(out, "last-modified", copy.lastModified);
    putField(out, "signature", copy.signature);
    putField(out, "body", copy.body);
    putField(out, "patches", copy.patches);
    return out;
}

bool parseManifestCopy(std::string_view text, ManifestCopy& copy) {
    if (!text.starts_with(header)) return false;
    text.remove_prefix(header.size());
    ManifestCopy read;
    if (!takeField(text, "url", read.url) || !takeField(text, "etag", read.etag) ||
        !takeField(text, "last-modified", read.lastModified) ||
        !takeField(text, "signature", read.signature) || !takeField(text, "body", read.body) ||
        // Copies kept before patch lists end with the body.
        (!text.empty() && !takeField(text, "patches", read.patches)) || !text.empty()) {
        return false;
    }
    copy = std::move(read);
    return true;
}

std::string conditionalHeaders(const ManifestCopy& copy, std::string_view url) {
    if (copy.url != url || copy.body.empty()) return {};
    std::string out;
    if (!copy.etag.empty() && sendable(copy.etag)) out += "If-None-Match: " + copy.etag + "\r\n";
    if (!copy.lastModified.empty() && sendable(copy.lastModified))
        out += "If-Modified-Since: " + copy.lastModified + "\r\n";
    return out;
}
