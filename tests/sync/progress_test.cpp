#include "sync/progress.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t MiB = 1 << 20;

TEST(Progress, DetailLine) {
    const struct {
        std::int64_t done, total;
        double speed;
        std::string text;
    } cases[] = {
        {512 * MiB, 2048 * MiB, 3.0 * MiB, "512.0 MB / 2.00 GB   -   3.0 MB/s   -   about 9 min left"},
        {0, 0, 0, "0.0 MB / 0.0 MB"},
        {MiB / 2, 10 * MiB, 1024, "0.5 MB / 10.0 MB"},
        {0, 10 * MiB, 1025, "0.0 MB / 10.0 MB   -   0.0 MB/s   -   about 171 min left"},
        {9 * MiB, 10 * MiB, 5.0 * MiB, "9.0 MB / 10.0 MB   -   5.0 MB/s   -   1 sec left"},
        {0, 599 * MiB / 10, 1.0 * MiB, "0.0 MB / 59.9 MB   -   1.0 MB/s   -   60 sec left"},
        {0, 60 * MiB, 1.0 * MiB, "0.0 MB / 60.0 MB   -   1.0 MB/s   -   about 2 min left"},
        {0, 120 * MiB, 1.0 * MiB, "0.0 MB / 120.0 MB   -   1.0 MB/s   -   about 3 min left"},
        {(1LL << 30) - 1, 1LL << 30, 2.0 * MiB, "1024.0 MB / 1.00 GB   -   2.0 MB/s   -   1 sec left"},
        // More done than planned (a count that went wrong) never shows a negative time.
        {12 * MiB, 10 * MiB, 1.0 * MiB, "12.0 MB / 10.0 MB   -   1.0 MB/s   -   1 sec left"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatDownloadDetail(c.done, c.total, c.speed), c.text) << c.text;
}

TEST(Progress, SpeedIsSmoothedOverRealIntervals) {
    constexpr std::int64_t second = 1000000000;
    SpeedSmoother s(0);
    EXPECT_EQ(s.sample(0, second / 4), 0);                             // nothing yet: stays 0
    EXPECT_EQ(s.sample(1000, second / 2), 4000);                       // first rate taken unsmoothed
    EXPECT_EQ(s.sample(1000 + 2000, second), 0.2 * 4000 + 0.8 * 4000); // 2000 B in 0.5 s
    double speed = s.sample(3000, second + second / 4);                // stalled: decays by 0.8
    EXPECT_DOUBLE_EQ(speed, 0.8 * 4000);
    for (int i = 2; i <= 20; ++i)
        speed = s.sample(3000, second + i * second / 4);
    EXPECT_GT(speed, 0);
    EXPECT_LT(speed, 1024); // the detail line then drops speed and time left
}

TEST(Progress, SamplerPublishesTheRunningTotal) {
    SessionStatus status;
    std::atomic<std::int64_t> total{0};
    {
        ProgressSampler sampler(total, status, std::chrono::milliseconds(5));
        total = 4096;
        for (int i = 0; i < 400 && takeSnapshot(status).bytesDone != 4096; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_EQ(takeSnapshot(status).bytesDone, 4096);
        EXPECT_GT(takeSnapshot(status).bytesPerSecond, 0);
        sampler.stop();
        total = 9999;
    }
    EXPECT_EQ(takeSnapshot(status).bytesDone, 4096); // nothing written after the stop
}

} // namespace
