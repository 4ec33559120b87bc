// Starting threads without letting the system's refusal end the process.
#pragma once

#include "store/file_error.h"

#include <atomic>
#include <functional>
#include <thread>

// Starts thread running body. When the system refuses (too many threads, no memory), thread
// stays empty and the failure reads "could not start a thread: " and the reason; the caller
// then stops and joins the threads it started before and passes the failure on.
FileError startThread(std::thread& thread, std::function<void()> body);

// Fault injection for tests: how many more starts may succeed. Negative, the default, means
// no limit; the product never sets it.
extern std::atomic<int> threadStartsAllowed;
