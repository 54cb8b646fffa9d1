// The shell's worker threads: the automation thread, created held and released once at the main
// window's first paint. A cutting run owns its own thread (simulation/cutting_run.h).
#pragma once

#include <atomic>

#include "platform/worker_thread.h"

namespace mirexa {

extern WorkerThread AutomationThread;

// Set when the program shuts down; a worker body that loops (the automation thread) ends when
// it sees it.
extern std::atomic<int> WorkerShutdownRequested;

}  // namespace mirexa
