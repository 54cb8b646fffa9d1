// Worker threads with a start gate, a finished flag and one join each: the automation thread
// (created held, released once at the main window's first paint) and the thread of each cutting
// run. Each has a thread object of its own that is joined once, so no handle is ever shared,
// waited on after it was closed, or left running when the program ends.
//
// Threads. Create, resume, join and the release at shutdown are called on the user-interface
// thread only. IsWorkerThreadFinished may be called from any thread. The thread body runs on the
// worker thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace mirexa {

using WorkerThreadProc = std::function<void()>;

struct WorkerThread {
    std::thread thread = {};
    std::mutex gateMutex = {};
    std::condition_variable gate = {};
    int released = {};   // the body may run (guarded by gateMutex)
    int cancelled = {};  // the body must not run at all (guarded by gateMutex)
    int resumed = {};    // ResumeWorkerThread has released it (user-interface thread only)
    // Stored (release) as the thread's last act; read (acquire) before its results are used.
    std::atomic<int> finished{0};
    // Set when the body ended by letting std::bad_alloc escape (kept after the join, cleared by
    // the next create).
    std::atomic<int> outOfMemory{0};
};

// Starts a thread that runs proc (a null proc runs nothing). Memory that runs out in proc and
// that proc does not handle itself (std::bad_alloc escaping it) ends the body, not the program:
// the thread finishes and WorkerThreadRanOutOfMemory says so. With suspended set the body waits
// until ResumeWorkerThread; otherwise it runs at once. With belowNormal set the thread lowers its
// own scheduling priority first (best effort). Returns 1, 0 when the record still holds a
// thread that was not joined, -1 when the system refused the thread (nothing is started then).
int CreateWorkerThread(WorkerThread* worker, WorkerThreadProc proc, int suspended, int belowNormal);

// Lets a suspended thread run. Returns 1 the first time for a live thread, 0 afterwards and for
// a record without a thread: a thread is resumed exactly once.
int ResumeWorkerThread(WorkerThread* worker);

// 1 while the record holds a thread that has not been joined.
int HasWorkerThread(const WorkerThread& worker);

// 1 once the thread's body has returned (or never ran); also 1 for a record without a thread.
int IsWorkerThreadFinished(const WorkerThread& worker);

// 1 when the last body of the record ended because memory ran out (see CreateWorkerThread).
int WorkerThreadRanOutOfMemory(const WorkerThread& worker);

// Joins the thread (when there is one) and empties the record for the next thread. A thread
// that was never resumed is cancelled first: its body does not run. Blocks until the body has
// returned; see WaitForWorkerThread for a wait that keeps answering messages sent to the
// calling thread's windows.
void JoinWorkerThread(WorkerThread* worker);

// On the user-interface thread: waits until the thread has finished while answering the
// messages other threads send to this thread's windows (a worker blocked in a send would
// otherwise never finish), then joins it.
void WaitForWorkerThread(WorkerThread* worker);

}  // namespace mirexa
