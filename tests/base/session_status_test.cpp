#include "base/session_status.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(SessionStatus, SnapshotNeverMixesTwoChanges) {
    SessionStatus status;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            std::lock_guard guard(status.lock);
            if (i % 2) {
                status.phase = SessionPhase::Downloading;
                status.bytesTotal = 1000 + i;
                status.bytesDone = 0;
                status.version = "v" + std::to_string(i);
            } else {
                status.phase = SessionPhase::Checking;
                status.filesChecked = i;
                status.bytesTotal = 0;
                status.bytesDone = 0;
                status.version = "c" + std::to_string(i);
            }
        }
    });
    for (int n = 0; n < 20000; ++n) {
        const SessionSnapshot s = takeSnapshot(status);
        if (s.phase == SessionPhase::Downloading) {
            ASSERT_EQ(s.version, "v" + std::to_string(s.bytesTotal - 1000));
            ASSERT_EQ(s.bytesDone, 0);
        } else if (s.phase == SessionPhase::Checking && !s.version.empty()) {
            ASSERT_EQ(s.bytesTotal, 0);
            ASSERT_EQ(s.version, "c" + std::to_string(s.filesChecked));
        }
    }
    stop = true;
    writer.join();
}

TEST(SessionStatus, ResetStartsANewSessionFromContacting) {
    SessionStatus status;
    {
        std::lock_guard guard(status.lock);
        status.phase = SessionPhase::Failed;
        status.message = "disk full";
        status.filesTotal = 3;
        status.bytesPerSecond = 12.5;
        status.upToDate = true;
        status.launcherReplaced = true;
    }
    const SessionSnapshot kept = takeSnapshot(status);
    EXPECT_EQ(kept.phase, SessionPhase::Failed);
    EXPECT_EQ(kept.message, "disk full");

    resetStatus(status);
    const SessionSnapshot s = takeSnapshot(status);
    EXPECT_EQ(s.phase, SessionPhase::Contacting);
    EXPECT_EQ(s.message, "");
    EXPECT_EQ(s.filesTotal, 0);
    EXPECT_EQ(s.bytesPerSecond, 0);
    EXPECT_FALSE(s.upToDate);
    EXPECT_FALSE(s.launcherReplaced);
}

TEST(SessionStatus, OnlyReadyOfflineAndFailedAreFinal) {
    EXPECT_FALSE(isFinalPhase(SessionPhase::Contacting));
    EXPECT_FALSE(isFinalPhase(SessionPhase::Checking));
    EXPECT_FALSE(isFinalPhase(SessionPhase::Downloading));
    EXPECT_TRUE(isFinalPhase(SessionPhase::Ready));
    EXPECT_TRUE(isFinalPhase(SessionPhase::Offline));
    EXPECT_TRUE(isFinalPhase(SessionPhase::Failed));
}

} // namespace
