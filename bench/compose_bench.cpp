// Times composeFrame, the work of every 33 ms animation tick, on the generated artwork.
#include "ui/artwork_files.h"
#include "ui/compose.h"

#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

void bindOnce() {
    static const bool bound = [] {
        std::string problem;
        return bindArtworkFiles(RESOURCES_DIR, problem);
    }();
    if (!bound) throw std::runtime_error("the generated artwork is missing from " RESOURCES_DIR);
}

void composeFrame(benchmark::State& state, SessionPhase phase) {
    bindOnce();
    SessionSnapshot s;
    s.phase = phase;
    s.filesChecked = 10;
    s.filesTotal = 40;
    s.bytesDone = 100 << 20;
    s.bytesTotal = 300 << 20;
    s.bytesPerSecond = 5 << 20;
    s.message = "Download problem. Check your internet connection and try again. (data/level2.pak: HTTP 404)";
    ui::Canvas canvas;
    double time = 0;
    for (auto _ : state) {
        ui::composeFrame(canvas, buildView(s, time));
        benchmark::DoNotOptimize(canvas.pixels());
        time += 0.033;
    }
}

// One tick of the window idle at Ready: the areas the pulse changed, redrawn.
void readyTick(benchmark::State& state) {
    bindOnce();
    ui::Canvas canvas;
    double time = 0;
    ScreenView before = buildView(SessionSnapshot{.phase = SessionPhase::Ready}, time);
    ui::composeFrame(canvas, before);
    for (auto _ : state) {
        time += 0.033;
        const ScreenView after = buildView(SessionSnapshot{.phase = SessionPhase::Ready}, time);
        for (const ui::Rect area : ui::changedAreas(before, after))
            ui::composeArea(canvas, after, area);
        benchmark::DoNotOptimize(canvas.pixels());
        before = after;
    }
}

BENCHMARK(readyTick)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(composeFrame, downloading, SessionPhase::Downloading)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(composeFrame, contacting, SessionPhase::Contacting)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(composeFrame, ready, SessionPhase::Ready)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(composeFrame, failed, SessionPhase::Failed)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
