#include "ui/screen_view.h"

#include "sync/progress.h"

#include <algorithm>

ScreenView buildView(const SessionSnapshot& s, double time) {
    ScreenView v;
    v.phase = s.phase;
    v.buttonLabel = "PLAY";
    v.time = time;
    switch (s.phase) {
    case SessionPhase::Contacting:
        v.headline = "Contacting update server...";
        v.detail = "Please wait a moment.";
        v.fraction = -1;
        break;
    case SessionPhase::Checking:
        v.headline = "Checking game files...";
        v.detail = std::to_string(s.filesChecked) + " / " + std::to_string(s.filesTotal) + " files";
        v.fraction = s.filesTotal > 0 ? static_cast<double>(s.filesChecked) / s.filesTotal : -1;
        break;
    case SessionPhase::Downloading:
        v.headline = "Downloading update...";
        v.detail = formatDownloadDetail(s.bytesDone, s.bytesTotal, s.bytesPerSecond);
        v.fraction =
            s.bytesTotal > 0 ? static_cast<double>(s.bytesDone) / static_cast<double>(s.bytesTotal) : 0;
        break;
    case SessionPhase::Ready:
        v.headline = "Ready to play!";
        v.detail = s.upToDate ? "Your game is up to date." : "Update complete. Have fun!";
        v.fraction = 1;
        v.buttonEnabled = true;
        v.repairVisible = true;
        break;
    case SessionPhase::Offline:
        v.headline = "Can't reach the update server";
        v.detail = "You can still play with the files you already have.";
        v.fraction = 1;
        v.buttonEnabled = true;
        break;
    case SessionPhase::Failed:
        v.headline = "Something went wrong";
        v.detail = s.message;
        v.buttonEnabled = true;
        v.buttonLabel = "RETRY";
        break;
    }
    return v;
}

TaskbarProgress taskbarProgress(const SessionSnapshot& s) {
    switch (s.phase) {
    case SessionPhase::Contacting:
    case SessionPhase::Checking:
        return {TaskbarProgress::Indeterminate};
    case SessionPhase::Downloading:
        if (s.bytesTotal <= 0) return {TaskbarProgress::Indeterminate};
        return {TaskbarProgress::Normal, static_cast<std::uint64_t>(std::max<std::int64_t>(0, s.bytesDone)),
                static_cast<std::uint64_t>(s.bytesTotal)};
    case SessionPhase::Failed:
        return {TaskbarProgress::Error, 1, 1}; // a full red bar
    case SessionPhase::Ready:
    case SessionPhase::Offline:
        break;
    }
    return {};
}
