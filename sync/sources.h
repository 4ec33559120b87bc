// The servers a download phase fetches from: the manifest's baseUrl and its mirrors.
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Which server each attempt goes to. Workers start spread over the servers; an attempt that
// fails moves its job, and its worker, to the next server. A server that fails twice in a row
// is avoided for the rest of the session while another one is not. Safe on several threads.
class Sources {
public:
    Sources(const std::string& baseUrl, const std::vector<std::string>& mirrors);

    std::size_t count() const { return urls_.size(); }
    const std::string& url(std::size_t source) const { return urls_[source]; }
    // The first server from `from` on, in turn, that is not avoided; `from` when all are.
    std::size_t pick(std::size_t from) const;
    void succeeded(std::size_t source);
    // Records a failure; the log line "mirror skipped: URL: reason" when it makes the server
    // one to avoid (never with one server: there is nothing to skip to).
    std::optional<std::string> failed(std::size_t source, const std::string& reason);

private:
    std::vector<std::string> urls_;
    mutable std::mutex lock_;
    std::vector<int> failuresInARow_;
    std::vector<bool> avoided_;
};
