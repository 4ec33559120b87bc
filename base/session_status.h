// The record an update session reports through, and the two process-wide flags.
//
// A session's worker thread writes SessionStatus; the window and the headless loop watch it.
// Writers assign every field of one change under one holding of the lock, and watchers only
// ever work on a SessionSnapshot copied under it, so a phase change is seen whole or not at all.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

enum class SessionPhase : std::int32_t {
    Contacting = 0, // session started, manifest being fetched
    Checking = 1,   // local files being verified
    Downloading = 2,
    Ready = 3,   // final: the folder matches the manifest, the state file is written
    Offline = 4, // final: the manifest failed but a playable install is present
    Failed = 5,  // final: message says why
};

// Fields shared by the record and its copy, in their declared order.
struct SessionSnapshot {
    SessionPhase phase = SessionPhase::Contacting;
    std::int32_t filesChecked = 0;
    std::int32_t filesTotal = 0;
    std::int64_t bytesDone = 0;
    std::int64_t bytesTotal = 0;
    double bytesPerSecond = 0;
    std::string version{}; // the manifest's; when Offline, the installed one
    std::string exe{};     // game executable relative to the game folder
    bool upToDate = false;
    bool launcherReplaced = false;
    std::string message{}; // Offline: the manifest failure; Failed: the text for the player
};

// Every field below lock is read and written only while lock is held. The fields are the
// snapshot's, inherited so that a copy under the lock takes all of them in one assignment.
struct SessionStatus : SessionSnapshot {
    std::mutex lock;
};

SessionSnapshot takeSnapshot(SessionStatus& status);

// Resets the record for a new session: Contacting, numbers zero, texts empty, flags false.
void resetStatus(SessionStatus& status);

bool isFinalPhase(SessionPhase phase);

// What one session is given; the worker thread owns its copy.
struct SessionOptions {
    std::string manifestUrl;
    std::wstring gameDir;
    bool repair = false;     // hash every file, ignoring the size and write-time cache
    bool verifyOnly = false; // with repair: find what is damaged, and write nothing
};

// 1 once shutdown began; never reset. Set it through requestCancel, which also wakes every
// cancellableSleep.
extern std::atomic<std::int32_t> cancelRequested;
// 1 once this process replaced the launcher's own executable.
extern std::atomic<std::int32_t> launcherReplaced;

void requestCancel();
// Waits for the pause unless a cancellation is or becomes requested; true when cancelled.
bool cancellableSleep(std::chrono::milliseconds pause);
