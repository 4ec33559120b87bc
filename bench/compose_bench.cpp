// Times composeFrame, the work of every 33 ms animation tick, on the generated artwork.
#include "ui/compose.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace {

const char* const files[10] = {
    "background.rgba",      "panel.rgba",    "button-normal.rgba", "button-hover.rgba", "button-pressed.rgba",
    "button-disabled.rgba", "font-label.a8", "font-headline.a8",   "font-button.a8",    "font-detail.a8"};

void bindOnce() {
    static std::vector<std::vector<std::uint8_t>> data;
    if (!data.empty()) return;
    const std::uint8_t* resources[10];
    for (int i = 0; i < 10; ++i) {
        std::ifstream in(std::string(RESOURCES_DIR) + "/" + files[i], std::ios::binary);
        data.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        resources[i] = data.back().data();
    }
    ui::bindArtwork(resources);
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
    std::vector<std::uint8_t> canvas(ui::canvasBytes);
    double time = 0;
    for (auto _ : state) {
        ui::composeFrame(canvas.data(), buildView(s, time));
        benchmark::DoNotOptimize(canvas.data());
        time += 0.033;
    }
}

BENCHMARK_CAPTURE(composeFrame, downloading, SessionPhase::Downloading)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(composeFrame, contacting, SessionPhase::Contacting)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(composeFrame, ready, SessionPhase::Ready)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(composeFrame, failed, SessionPhase::Failed)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
