// The task pool: each worker's share of a batch is a contiguous range of tasks that it runs from
// the front while idle workers steal from the back; helpers spin briefly between batches,
// then sleep on a futex of their own and are woken along a tree of workers.
//
// A batch is open while the generation word is odd. A helper takes part by entering (raising
// `active`) and then finding the batch still open; the caller closes the batch once every task
// is claimed and returns when no helper is inside. So a helper that wakes late either finds the
// batch closed and leaves without touching it, or is waited for: the next batch's shares are
// never written while a helper of the last one is still claiming.
#include "platform/task_pool.h"

#include <linux/futex.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include "platform/system_info.h"

namespace mirexa {

namespace {

constexpr int kMaxWorkers = 64;
// Records that different threads write at once start on cache lines of their own (bytes).
constexpr std::size_t kCacheLine = 64;

}  // namespace

// One helper thread and its sleep word: 1 while it sleeps (or is about to), set back to 0 by
// whoever wakes it.
struct alignas(kCacheLine) TaskPoolHelper {
    std::thread thread;
    std::atomic<int> sleeping{0};
};

// A worker's share of the batch: the tasks from the low half of the word up to (not including)
// the high half. The worker takes from the front, thieves from the back, so a stolen task is the
// one the worker would have come to last.
struct alignas(kCacheLine) TaskPoolShare {
    std::atomic<std::uint64_t> range{0};
};

struct TaskPoolState {
    std::unique_ptr<TaskPoolHelper> helpers[kMaxWorkers];  // helper i runs as worker i
    int helperCount = 1;                                   // workers with a thread, the caller too
    // Set when the system refused a helper thread (or the memory for one): no more are asked
    // for, every later batch runs on the helpers there are.
    int helpersRefused = 0;
    TaskPoolShare shares[kMaxWorkers];
    // The batch, written by the caller while the batch is closed, read by helpers inside it.
    PooledTask task = {};
    void* context = {};
    int workers = {};
    // What spinning helpers read, on a line that changes twice a batch.
    alignas(kCacheLine) std::atomic<std::uint32_t> generation{0};  // odd while a batch is open
    std::atomic<int> stop{0};
    alignas(kCacheLine) std::atomic<int> active{0};  // helpers inside a batch (a futex word)
    std::atomic<int> callerWaiting{0};
    // Set by a worker whose task ran out of memory; cleared by the caller while the batch is
    // closed, read by it once no helper is inside.
    std::atomic<int> taskOutOfMemory{0};
};

namespace {

static_assert(sizeof(std::atomic<int>) == sizeof(int) && std::atomic<int>::is_always_lock_free,
              "the futex words are atomic ints");

// How long a helper spins for the next batch before it sleeps (us): a cutting step follows the
// last within microseconds and lasts from tens to hundreds of microseconds, so a helper that
// finished its part early is still there for the next; a pause or the end of a run leaves the
// helpers asleep.
constexpr int kHelperSpinMicroseconds = 200;
// How long the caller spins for the helpers still running their last task (us) before it sleeps:
// it is the thread that starts the next step, so it sleeps only when a helper was preempted.
constexpr int kCallerSpinMicroseconds = 1000;
// A spinner yields the processor after this long (us), so that on a busy machine the thread it
// waits for (or another program) gets to run.
constexpr int kYieldAfterMicroseconds = 10;

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

void FutexWait(std::atomic<int>* word, int expected) {
    syscall(SYS_futex, reinterpret_cast<int*>(word), FUTEX_WAIT_PRIVATE, expected, nullptr, nullptr,
            0);
}

void FutexWake(std::atomic<int>* word) {
    syscall(SYS_futex, reinterpret_cast<int*>(word), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

// Spins until `ready` holds or `microseconds` are over; returns whether it holds.
template <typename Ready>
bool SpinUntil(Ready ready, int microseconds) {
    const auto start = std::chrono::steady_clock::now();
    for (int spins = 1;; ++spins) {
        if (ready()) {
            return true;
        }
        CpuRelax();
        if (spins % 64 == 0) {
            const auto spun = std::chrono::steady_clock::now() - start;
            if (spun > std::chrono::microseconds(microseconds)) {
                return false;
            }
            if (spun > std::chrono::microseconds(kYieldAfterMicroseconds)) {
                std::this_thread::yield();
            }
        }
    }
}

// Wakes the helper of worker `worker` if it sleeps. The caller has made the batch visible
// (sequentially consistent) before: a helper about to sleep then sees the batch itself.
void WakeWorker(TaskPoolState* s, int worker) {
    TaskPoolHelper* helper = s->helpers[worker].get();
    if (helper->sleeping.load() == 1 && helper->sleeping.exchange(0) == 1) {
        FutexWake(&helper->sleeping);
    }
}

// Workers wake along a binary tree (worker w wakes 2w+1 and 2w+2), so that no thread makes more
// than two wake-up calls before it starts on its own share.
void WakeChildren(TaskPoolState* s, int worker) {
    for (int child = 2 * worker + 1; child <= 2 * worker + 2 && child < s->workers; ++child) {
        WakeWorker(s, child);
    }
}

std::uint64_t ShareRange(int first, int end) {
    return static_cast<std::uint32_t>(first) |
           (std::uint64_t{static_cast<std::uint32_t>(end)} << 32);
}

// Takes the next task of a share, from its front (its own worker) or its back (a thief);
// returns -1 when the share is used up.
int TakeTask(TaskPoolShare* share, bool front) {
    std::uint64_t word = share->range.load(std::memory_order_relaxed);
    for (;;) {
        const int first = static_cast<int>(static_cast<std::uint32_t>(word));
        const int end = static_cast<int>(static_cast<std::uint32_t>(word >> 32));
        if (first >= end) {
            return -1;
        }
        const std::uint64_t rest = front ? ShareRange(first + 1, end) : ShareRange(first, end - 1);
        if (share->range.compare_exchange_weak(word, rest, std::memory_order_relaxed)) {
            return front ? first : end - 1;
        }
    }
}

// Runs one task; false when it ran out of memory. The exception stays on the worker: thrown out
// of a helper it would end the program, out of the caller it would leave the batch open.
bool RunTask(PooledTask task, void* context, int t, int worker) {
    try {
        task(context, t, worker);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// The worker's own share first, in order, then what is left of the others', from its neighbour
// on.
void RunShares(TaskPoolState* s, int worker) {
    for (int t = TakeTask(&s->shares[worker], true); t >= 0;
         t = TakeTask(&s->shares[worker], true)) {
        if (!RunTask(s->task, s->context, t, worker)) {
            s->taskOutOfMemory.store(1);
        }
    }
    for (int k = 1; k < s->workers; ++k) {
        TaskPoolShare* victim = &s->shares[(worker + k) % s->workers];
        for (int t = TakeTask(victim, false); t >= 0; t = TakeTask(victim, false)) {
            if (!RunTask(s->task, s->context, t, worker)) {
                s->taskOutOfMemory.store(1);
            }
        }
    }
}

// Waits for a batch opened after `handled` (returned through `generation`) or for the stop
// (returns false). Spins first when `spin`, then sleeps until woken.
bool AwaitBatch(TaskPoolState* s, TaskPoolHelper* self, std::uint32_t handled, bool spin,
                std::uint32_t* generation) {
    const auto ready = [&] {
        const std::uint32_t g = s->generation.load();
        *generation = g;
        return s->stop.load() != 0 || ((g & 1u) != 0 && g != handled);
    };
    if (!(spin && SpinUntil(ready, kHelperSpinMicroseconds))) {
        for (;;) {
            self->sleeping.store(1);
            if (ready()) {
                self->sleeping.store(0);
                break;
            }
            while (self->sleeping.load() == 1) {
                FutexWait(&self->sleeping, 1);
            }
            if (ready()) {
                break;
            }
        }
    }
    return s->stop.load() == 0;
}

void LeaveBatch(TaskPoolState* s) {
    if (s->active.fetch_sub(1) == 1 && s->callerWaiting.load() != 0) {
        FutexWake(&s->active);
    }
}

// A helper that took part in the last batch spins for the next one a while before it sleeps;
// one that the batch left out sleeps until a batch wants it.
void HelperLoop(TaskPoolState* s, TaskPoolHelper* self, int worker, std::uint32_t handled) {
    bool spin = true;
    std::uint32_t g = 0;
    while (AwaitBatch(s, self, handled, spin, &g)) {
        handled = g;
        spin = false;
        s->active.fetch_add(1);
        if (s->generation.load() == g && worker < s->workers) {
            WakeChildren(s, worker);
            RunShares(s, worker);
            spin = true;
        }
        LeaveBatch(s);
    }
}

}  // namespace

int TaskPoolWorkerLimit() {
    // Asked once: the count is read from a system file, and every cutting step asks. A process
    // bound to some of the processors (taskset, a container's CPU set) counts only those: more
    // workers than processors would wait for each other at every batch.
    static const int limit = [] {
        int count = GetProcessorCount();
        cpu_set_t usable;
        CPU_ZERO(&usable);
        if (sched_getaffinity(0, sizeof usable, &usable) == 0 && CPU_COUNT(&usable) > 0) {
            count = std::min(count, CPU_COUNT(&usable));
        }
        return std::clamp(count, 1, kMaxWorkers);
    }();
    return limit;
}

int RunPooledTasks(TaskPool* pool, int workers, int count, PooledTask task, void* context) {
    workers = std::clamp(workers, 1, TaskPoolWorkerLimit());
    workers = std::min(workers, count);
    if (workers > 1 && pool->state == nullptr) {
        pool->state = new (std::nothrow) TaskPoolState;
    }
    // One worker, or no memory for the pool: the caller runs the batch alone.
    if (workers <= 1 || pool->state == nullptr) {
        int whole = 1;
        for (int t = 0; t < count; ++t) {
            whole &= RunTask(task, context, t, 0) ? 1 : 0;
        }
        return whole;
    }
    TaskPoolState* s = pool->state;
    // The batch is closed: no helper reads what is written here until the generation opens it.
    const std::uint32_t closed = s->generation.load();
    for (; s->helperCount < workers && s->helpersRefused == 0; ++s->helperCount) {
        // The system gives no more threads (or no memory for one): this batch and every later
        // one run on those there are, without asking again at every batch.
        try {
            auto helper = std::make_unique<TaskPoolHelper>();
            helper->thread = std::thread(HelperLoop, s, helper.get(), s->helperCount, closed);
            s->helpers[s->helperCount] = std::move(helper);
        } catch (const std::system_error&) {
            s->helpersRefused = 1;
            break;
        } catch (const std::bad_alloc&) {
            s->helpersRefused = 1;
            break;
        }
    }
    workers = std::min(workers, s->helperCount);
    s->task = task;
    s->context = context;
    s->workers = workers;
    s->taskOutOfMemory.store(0);
    for (int w = 0; w < workers; ++w) {
        s->shares[w].range.store(
            ShareRange(static_cast<int>(std::int64_t{count} * w / workers),
                       static_cast<int>(std::int64_t{count} * (w + 1) / workers)),
            std::memory_order_relaxed);
    }
    s->generation.store(closed + 1);
    WakeChildren(s, 0);
    RunShares(s, 0);
    // Every task is claimed: close the batch, then wait for the helpers still inside it.
    s->generation.store(closed + 2);
    if (!SpinUntil([s] { return s->active.load() == 0; }, kCallerSpinMicroseconds)) {
        s->callerWaiting.store(1);
        for (int inside = s->active.load(); inside != 0; inside = s->active.load()) {
            FutexWait(&s->active, inside);
        }
        s->callerWaiting.store(0);
    }
    return s->taskOutOfMemory.load() == 0 ? 1 : 0;
}

void StopTaskPool(TaskPool* pool) {
    TaskPoolState* s = pool->state;
    if (s == nullptr) {
        return;
    }
    s->stop.store(1);
    for (int w = 1; w < s->helperCount; ++w) {
        WakeWorker(s, w);
    }
    for (int w = 1; w < s->helperCount; ++w) {
        s->helpers[w]->thread.join();
    }
    delete s;
    pool->state = nullptr;
}

}  // namespace mirexa
