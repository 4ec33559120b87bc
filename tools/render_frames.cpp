// Renders the launcher's frame for every phase to PNG, from the generated resources, with
// the same drawing code the window uses.   render_frames RESOURCES_DIR OUTDIR
#include "tools/image_io.h"
#include "ui/artwork_files.h"
#include "ui/compose.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Still {
    const char* name;
    SessionSnapshot snapshot;
    double time;
    Focus focus = Focus::None;
    int halves = 2;        // the scale: 3 at 144 DPI, 4 at 192
    bool contrast = false; // in the colours of the system's high-contrast black scheme
};

// The colours of the system's "High Contrast Black" scheme; the window test sets the same.
constexpr ui::Contrast highContrastBlack{{0, 0, 0, 255},     {255, 255, 255, 255}, {26, 235, 255, 255},
                                         {0, 0, 0, 255},     {0, 0, 0, 255},       {255, 255, 255, 255},
                                         {63, 242, 63, 255}, {255, 255, 0, 255}};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: render_frames RESOURCES_DIR OUTDIR\n");
        return 2;
    }
    if (std::string problem; !bindArtworkFiles(argv[1], problem)) {
        std::fprintf(stderr, "render_frames: %s\n", problem.c_str());
        return 1;
    }

    SessionSnapshot checking = SessionSnapshot{.phase = SessionPhase::Checking};
    checking.filesChecked = 1234;
    checking.filesTotal = 3117;
    SessionSnapshot downloading = SessionSnapshot{.phase = SessionPhase::Downloading};
    downloading.bytesDone = 187LL << 20;
    downloading.bytesTotal = 412LL << 20;
    downloading.bytesPerSecond = 6.4 * (1 << 20);
    SessionSnapshot ready = SessionSnapshot{.phase = SessionPhase::Ready};
    ready.upToDate = true;
    SessionSnapshot failed = SessionSnapshot{.phase = SessionPhase::Failed};
    failed.message =
        "Download problem. Check your internet connection and try again. (Vellumark Online_Data/level2.pak: "
        "HTTP 404)";
    SessionSnapshot unreachable = SessionSnapshot{.phase = SessionPhase::Failed};
    unreachable.message = "Could not reach the update server. Check your internet connection and try again.";
    const Still stills[] = {
        {"contacting", SessionSnapshot{.phase = SessionPhase::Contacting}, 0.4},
        {"checking", checking, 1.0},
        {"downloading", downloading, 2.0},
        {"ready", ready, 0.5},
        {"offline", SessionSnapshot{.phase = SessionPhase::Offline}, 0},
        {"failed", failed, 0},
        {"failed-unreachable", unreachable, 0},
        {"failed-unreachable-focus", unreachable, 0, Focus::Button}, // RETRY reached with Tab
        {"failed-unreachable@3", unreachable, 0, Focus::None, 3},
        {"failed-unreachable@4", unreachable, 0, Focus::None, 4},
        {"ready@4", ready, 0.5, Focus::None, 4},
        {"failed-unreachable-contrast", unreachable, 0, Focus::Button, 2, true},
        {"downloading-contrast", downloading, 2.0, Focus::None, 2, true},
        {"ready-contrast", ready, 0.5, Focus::Link, 2, true},
    };
    for (const Still& still : stills) {
        ScreenView view = buildView(still.snapshot, still.time);
        view.focus = still.focus;
        ui::Look look = still.halves == 2 ? ui::baseLook() : *ui::scaledLook(still.halves);
        if (still.contrast) look.contrast = &highContrastBlack;
        ui::Canvas canvas(look.width(), look.height());
        ui::composeFrame(canvas, view, look);
        for (std::size_t i = 3; i < canvas.bytes(); i += 4)
            canvas.pixels()[i] = 255; // shown opaque, as on screen
        const std::vector<std::uint8_t> png = encodePng(canvas.width(), canvas.height(), canvas.pixels());
        const std::string path = std::string(argv[2]) + "/frame-" + still.name + ".png";
        if (!writeFile(path, png.data(), png.size())) {
            std::fprintf(stderr, "render_frames: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
