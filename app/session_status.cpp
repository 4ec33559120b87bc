#include "app/session_status.h"

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
