// Update sessions: one at a time, each on its own detached worker thread, reporting through
// a SessionStatus that the window or the headless loop watches.
#pragma once

#include "app/options.h"
#include "base/session_status.h"
#include "net/manifest.h"
#include "net/manifest_copy.h"
#include "store/file_error.h"

#include <atomic>
#include <chrono>
#include <cstdint>

// 1 while a session's worker thread exists.
extern std::atomic<std::int32_t> sessionRunning;

// Starts a session on a new worker thread: 0; nonzero when one is already running (the
// request is ignored). When the thread cannot be started, the session ends Failed at once.
int startSession(const LaunchOptions& options, SessionStatus* status, bool repair);

// Fetches the manifest and checks its signature when the launcher trusts keys, and that it is
// no older than the installed build. kept: the last verified copy, replaced by a newer one.
FileError fetchTrustedManifest(const SessionOptions& options, Manifest& manifest,
                               ManifestCopy* kept = nullptr);

// Fetches the manifest and brings the folder up to date; ends in Ready, Offline or Failed.
void runSession(const SessionOptions& options, SessionStatus* status);

// Starts the launcher again with the same arguments and ends this process when that worked.
void restartLauncher();

// Cancels a running session and waits for it at most `wait`. When it ended, removes the game
// folder if it is empty. What an interrupted download wrote stays, for the next start to
// check and resume.
inline constexpr std::chrono::milliseconds shutdownWait{8000};
void shutdownSessions(const std::wstring& gameDir, std::chrono::milliseconds wait = shutdownWait);
