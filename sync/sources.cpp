#include "sync/sources.h"

#include "net/transport.h"

Sources::Sources(const std::string& baseUrl, const std::vector<std::string>& mirrors) : urls_{baseUrl} {
    urls_.insert(urls_.end(), mirrors.begin(), mirrors.end());
    failuresInARow_.assign(urls_.size(), 0);
    avoided_.assign(urls_.size(), false);
}

std::size_t Sources::pick(std::size_t from) const {
    std::lock_guard guard(lock_);
    for (std::size_t k = 0; k < urls_.size(); ++k) {
        const std::size_t source = (from + k) % urls_.size();
        if (!avoided_[source]) return source;
    }
    return from % urls_.size();
}

void Sources::succeeded(std::size_t source) {
    std::lock_guard guard(lock_);
    failuresInARow_[source] = 0;
}

std::optional<std::string> Sources::failed(std::size_t source, const std::string& reason) {
    std::lock_guard guard(lock_);
    if (urls_.size() < 2 || avoided_[source] || ++failuresInARow_[source] < 2) return std::nullopt;
    avoided_[source] = true;
    return "mirror skipped: " + withoutUserInfo(urls_[source]) + ": " + reason;
}
