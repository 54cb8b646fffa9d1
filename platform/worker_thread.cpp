// Worker threads with a start gate, a finished flag and one join each.
#include "platform/worker_thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <new>
#include <system_error>

#include "platform/window.h"

namespace mirexa {

namespace {

// Lowers the calling thread's priority by one nice step (Linux threads carry their own nice
// value); a refusal is ignored.
void LowerOwnPriority() {
    auto tid = static_cast<id_t>(syscall(SYS_gettid));
    int current = getpriority(PRIO_PROCESS, tid);
    setpriority(PRIO_PROCESS, tid, current + 1);
}

void RunWorkerBody(WorkerThread* worker, WorkerThreadProc proc, int belowNormal) {
    bool run = false;
    {
        std::unique_lock<std::mutex> lock(worker->gateMutex);
        worker->gate.wait(lock, [worker] { return worker->released || worker->cancelled; });
        run = !worker->cancelled;
    }
    if (run && proc) {
        if (belowNormal) {
            LowerOwnPriority();
        }
        try {
            proc();
        } catch (const std::bad_alloc&) {
            worker->outOfMemory.store(1);
        }
    }
    worker->finished.store(1, std::memory_order_release);
}

// A thread that was never released is cancelled: its body will not run.
void CancelIfHeld(WorkerThread* worker) {
    {
        std::lock_guard<std::mutex> lock(worker->gateMutex);
        if (!worker->released) {
            worker->cancelled = 1;
        }
    }
    worker->gate.notify_all();
}

}  // namespace

int CreateWorkerThread(WorkerThread* worker, WorkerThreadProc proc, int suspended,
                       int belowNormal) {
    if (worker->thread.joinable()) {
        return 0;
    }
    {
        std::lock_guard<std::mutex> lock(worker->gateMutex);
        worker->released = suspended ? 0 : 1;
        worker->cancelled = 0;
    }
    worker->resumed = suspended ? 0 : 1;
    worker->finished.store(0, std::memory_order_relaxed);
    worker->outOfMemory.store(0);
    // The system may refuse the thread (a memory or thread limit): nothing is started then.
    try {
        worker->thread = std::thread(RunWorkerBody, worker, proc, belowNormal);
    } catch (const std::system_error&) {
        worker->finished.store(1, std::memory_order_relaxed);
        return -1;
    } catch (const std::bad_alloc&) {
        worker->finished.store(1, std::memory_order_relaxed);
        return -1;
    }
    return 1;
}

int ResumeWorkerThread(WorkerThread* worker) {
    if (!worker->thread.joinable() || worker->resumed) {
        return 0;
    }
    worker->resumed = 1;
    {
        std::lock_guard<std::mutex> lock(worker->gateMutex);
        worker->released = 1;
    }
    worker->gate.notify_all();
    return 1;
}

int HasWorkerThread(const WorkerThread& worker) {
    return worker.thread.joinable() ? 1 : 0;
}

int IsWorkerThreadFinished(const WorkerThread& worker) {
    return worker.finished.load(std::memory_order_acquire) || !worker.thread.joinable() ? 1 : 0;
}

int WorkerThreadRanOutOfMemory(const WorkerThread& worker) {
    return worker.outOfMemory.load();
}

void JoinWorkerThread(WorkerThread* worker) {
    if (!worker->thread.joinable()) {
        return;
    }
    CancelIfHeld(worker);
    worker->thread.join();
    worker->thread = std::thread();
    worker->resumed = 0;
}

void WaitForWorkerThread(WorkerThread* worker) {
    if (!worker->thread.joinable()) {
        return;
    }
    CancelIfHeld(worker);
    while (!worker->finished.load(std::memory_order_acquire)) {
        WindowMessage message;
        PeekWindowMessage(&message, PM_NOREMOVE);  // answers the sends waiting for this thread
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    JoinWorkerThread(worker);
}

}  // namespace mirexa
