#include "ui/screen_view.h"

#include <gtest/gtest.h>

namespace {

SessionSnapshot in(SessionPhase phase) {
    SessionSnapshot s;
    s.phase = phase;
    return s;
}

TEST(ScreenView, TextsAndButtonOfEveryPhase) {
    SessionSnapshot checking = in(SessionPhase::Checking);
    checking.filesChecked = 3;
    checking.filesTotal = 12;
    SessionSnapshot downloading = in(SessionPhase::Downloading);
    downloading.bytesDone = 512 << 20;
    downloading.bytesTotal = 2048LL << 20;
    downloading.bytesPerSecond = 3 << 20;
    SessionSnapshot ready = in(SessionPhase::Ready);
    ready.upToDate = true;
    SessionSnapshot failed = in(SessionPhase::Failed);
    failed.message = "disk full";
    const struct {
        SessionSnapshot s;
        std::string headline, detail;
        double fraction;
        std::string button;
        bool enabled, repair;
    } cases[] = {
        {in(SessionPhase::Contacting), "Contacting update server...", "Please wait a moment.", -1, "PLAY",
         false, false},
        {checking, "Checking game files...", "3 / 12 files", 0.25, "PLAY", false, false},
        {in(SessionPhase::Checking), "Checking game files...", "0 / 0 files", -1, "PLAY", false, false},
        {downloading, "Downloading update...", "512.0 MB / 2.00 GB   -   3.0 MB/s   -   about 9 min left",
         0.25, "PLAY", false, false},
        {in(SessionPhase::Downloading), "Downloading update...", "0.0 MB / 0.0 MB", 0, "PLAY", false, false},
        {ready, "Ready to play!", "Your game is up to date.", 1, "PLAY", true, true},
        {in(SessionPhase::Ready), "Ready to play!", "Update complete. Have fun!", 1, "PLAY", true, true},
        {in(SessionPhase::Offline), "Can't reach the update server",
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

} // namespace
