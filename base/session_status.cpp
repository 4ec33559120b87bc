#include "base/session_status.h"

#include <condition_variable>

std::atomic<std::int32_t> cancelRequested{0};
std::atomic<std::int32_t> launcherReplaced{0};

SessionSnapshot takeSnapshot(SessionStatus& status) {
    std::lock_guard guard(status.lock);
    return static_cast<const SessionSnapshot&>(status);
}

void resetStatus(SessionStatus& status) {
    std::lock_guard guard(status.lock);
    static_cast<SessionSnapshot&>(status) = SessionSnapshot{};
}

bool isFinalPhase(SessionPhase phase) {
    return phase == SessionPhase::Ready || phase == SessionPhase::Offline || phase == SessionPhase::Failed;
}

namespace {

std::mutex cancelLock;
std::condition_variable cancelSignal;

} // namespace

void requestCancel() {
    {
        // Set under the lock, so a sleeper between its check and its wait cannot miss it.
        std::lock_guard guard(cancelLock);
        cancelRequested.exchange(1);
    }
    cancelSignal.notify_all();
}

bool cancellableSleep(std::chrono::milliseconds pause) {
    std::unique_lock guard(cancelLock);
    return cancelSignal.wait_for(guard, pause, [] { return cancelRequested.load() != 0; });
}
