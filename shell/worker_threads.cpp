// The shell's worker threads.
#include "shell/worker_threads.h"

namespace mirexa {

WorkerThread AutomationThread;
std::atomic<int> WorkerShutdownRequested{0};

}  // namespace mirexa
