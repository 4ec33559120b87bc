#include "base/threads.h"

#include <system_error>

std::atomic<int> threadStartsAllowed{-1};

namespace {

// Takes one start from a test's allowance; false once it is used up.
bool takeAllowedStart() {
    int left = threadStartsAllowed.load();
    while (left > 0 && !threadStartsAllowed.compare_exchange_weak(left, left - 1)) {
    }
    return left != 0;
}

} // namespace

FileError startThread(std::thread& thread, std::function<void()> body) {
    try {
        if (!takeAllowedStart())
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        thread = std::thread(std::move(body));
        return {};
    } catch (const std::exception& e) {
        return plainFailure(std::string("could not start a thread: ") + e.what());
    }
}
