#include "ui/screen_view.h"

#include <gtest/gtest.h>

namespace {

TEST(ScreenView, TextsAndButtonOfEveryPhase) {
    SessionSnapshot checking = SessionSnapshot{.phase = SessionPhase::Checking};
    checking.filesChecked = 3;
    checking.filesTotal = 12;
    SessionSnapshot downloading = SessionSnapshot{.phase = SessionPhase::Downloading};
    downloading.bytesDone = 512 << 20;
    downloading.bytesTotal = 2048LL << 20;
    downloading.bytesPerSecond = 3 << 20;
    SessionSnapshot ready = SessionSnapshot{.phase = SessionPhase::Ready};
    ready.upToDate = true;
    SessionSnapshot failed = SessionSnapshot{.phase = SessionPhase::Failed};
    failed.message = "disk full";
    const struct {
        SessionSnapshot s;
        std::string headline, detail;
        double fraction;
        std::string button;
        bool enabled, repair;
    } cases[] = {
        {SessionSnapshot{.phase = SessionPhase::Contacting}, "Contacting update server...",
         "Please wait a moment.", -1, "PLAY", false, false},
        {checking, "Checking game files...", "3 / 12 files", 0.25, "PLAY", false, false},
        {SessionSnapshot{.phase = SessionPhase::Checking}, "Checking game files...", "0 / 0 files", -1,
         "PLAY", false, false},
        {downloading, "Downloading update...", "512.0 MB / 2.00 GB   -   3.0 MB/s   -   about 9 min left",
         0.25, "PLAY", false, false},
        {SessionSnapshot{.phase = SessionPhase::Downloading}, "Downloading update...", "0.0 MB / 0.0 MB", 0,
         "PLAY", false, false},
        {ready, "Ready to play!", "Your game is up to date.", 1, "PLAY", true, true},
        {SessionSnapshot{.phase = SessionPhase::Ready}, "Ready to play!", "Update complete. Have fun!", 1,
         "PLAY", true, true},
        {SessionSnapshot{.phase = SessionPhase::Offline}, "Can't reach the update server",
         "You can still play with the files you already have.", 1, "PLAY", true, false},
        {failed, "Something went wrong", "disk full", 0, "RETRY", true, false},
    };
    for (const auto& c : cases) {
        const ScreenView v = buildView(c.s, 1.5);
        EXPECT_EQ(v.headline, c.headline);
        EXPECT_EQ(v.detail, c.detail) << c.headline;
        EXPECT_EQ(v.fraction, c.fraction) << c.headline;
        EXPECT_EQ(v.buttonLabel, c.button) << c.headline;
        EXPECT_EQ(v.buttonEnabled, c.enabled) << c.headline;
        EXPECT_EQ(v.repairVisible, c.repair) << c.headline;
        EXPECT_EQ(v.time, 1.5);
        EXPECT_FALSE(v.buttonHover || v.buttonPressed || v.repairHover);
    }
}

TEST(ScreenView, TaskbarShowsTheDownloadAndTheFailure) {
    using T = TaskbarProgress;
    SessionSnapshot s;
    s.bytesDone = 300;
    s.bytesTotal = 1200;
    const std::pair<SessionPhase, T> cases[] = {
        {SessionPhase::Contacting, {T::Indeterminate}},
        {SessionPhase::Checking, {T::Indeterminate}},
        {SessionPhase::Downloading, {T::Normal, 300, 1200}},
        {SessionPhase::Failed, {T::Error, 1, 1}},
        {SessionPhase::Ready, {T::None}},
        {SessionPhase::Offline, {T::None}},
    };
    for (const auto& [phase, expected] : cases) {
        s.phase = phase;
        EXPECT_EQ(taskbarProgress(s), expected) << static_cast<int>(phase);
    }
    s.phase = SessionPhase::Downloading;
    s.bytesTotal = 0; // only empty files to create
    EXPECT_EQ(taskbarProgress(s), T{T::Indeterminate});
}

} // namespace
