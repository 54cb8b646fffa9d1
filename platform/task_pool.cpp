// The task pool: helpers that spin briefly, then sleep on their own condition variable; each
// worker claims tasks of its own share of a batch first, then of the others', through words that
// carry the batch number, so a helper that wakes late never takes a task of a later batch.
#include "platform/task_pool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/system_info.h"

namespace mirexa {

// One helper thread and its own wake-up, so that a batch wakes only the helpers it uses.
struct TaskPoolHelper {
    std::thread thread;
    std::condition_variable wake;
    bool sleeping = {};  // under the pool's mutex
};

constexpr std::size_t kCacheLine = 64;
constexpr int kMaxWorkers = 64;

// The words that every batch touches sit on cache lines of their own: the helpers spinning on
// `generation` are not disturbed by the claims, the caller waiting on `remaining` not by either.
struct TaskPoolState {
    std::mutex mutex;
    std::vector<std::unique_ptr<TaskPoolHelper>> helpers;  // helper i runs as worker i + 1
    bool stop = {};                                        // under the mutex
    // The batch, written before the move of `generation` that publishes it and read by the
    // helpers after they see that move, without the mutex: a helper that reads a later batch's
    // values by mistake claims nothing, as the claim word carries the batch number.
    std::atomic<PooledTask> task{nullptr};
    std::atomic<void*> context{nullptr};
    std::atomic<int> count{0};
    std::atomic<int> workers{0};
    std::atomic<int> stopping{0};
    // Helpers on their way to sleep or asleep: the caller takes the mutex to wake them only then.
    std::atomic<int> sleepers{0};
    alignas(kCacheLine) std::atomic<std::uint32_t> generation{0};
    alignas(kCacheLine) std::atomic<int> remaining{0};
    // Worker i's share of the batch, tasks i * count / workers up to the next share's first:
    // the batch number in the high half of each word, the share's next unclaimed task in the low.
    struct alignas(kCacheLine) Share {
        std::atomic<std::uint64_t> claim{0};
    };
    Share shares[kMaxWorkers];
};

namespace {

// How long a helper spins for the next batch before it sleeps (us): a cutting step is followed
// by the next within microseconds, a pause or the end of a run leaves the helpers asleep.
constexpr int kSpinMicroseconds = 100;

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// The first task of worker `share`'s share of a batch.
int ShareStart(int share, int count, int workers) {
    return static_cast<int>(std::int64_t{share} * count / workers);
}

// Claims and runs tasks of batch `generation` until none is left: first of the worker's own
// share, then of the others' in turn. A worker's share covers about the same rows from one step
// to the next, so the rays it cuts are mostly still in its processor's cache.
void RunClaimedTasks(TaskPoolState* s, std::uint32_t generation, PooledTask task, void* context,
                     int count, int workers, int worker) {
    for (int k = 0; k < workers; ++k) {
        const int share = (worker + k) % workers;
        const std::int64_t end = ShareStart(share + 1, count, workers);
        std::atomic<std::uint64_t>& claim = s->shares[share].claim;
        for (;;) {
            std::uint64_t word = claim.load(std::memory_order_acquire);
            for (;;) {
                if (static_cast<std::uint32_t>(word >> 32) != generation) {
                    return;  // the batch is over and another has begun
                }
                if (static_cast<std::int64_t>(word & 0xffffffffu) >= end) {
                    break;
                }
                if (claim.compare_exchange_weak(word, word + 1, std::memory_order_acq_rel)) {
                    break;
                }
            }
            if (static_cast<std::int64_t>(word & 0xffffffffu) >= end) {
                break;
            }
            task(context, static_cast<int>(word & 0xffffffffu), worker);
            s->remaining.fetch_sub(1, std::memory_order_acq_rel);
        }
    }
}

// Spins until a batch after `seen` is published, the pool stops or the spin time is up.
void SpinForNextBatch(TaskPoolState* s, std::uint32_t seen) {
    const auto start = std::chrono::steady_clock::now();
    for (int spins = 1; s->generation.load(std::memory_order_acquire) == seen &&
                        s->stopping.load(std::memory_order_relaxed) == 0;
         ++spins) {
        CpuRelax();
        if (spins % 64 == 0 && std::chrono::steady_clock::now() - start >
                                   std::chrono::microseconds(kSpinMicroseconds)) {
            return;
        }
    }
}

// A helper that took part in the last batch spins for the next one a while before it sleeps; one
// that a batch left out sleeps until a batch wants it. A batch seen while spinning is joined
// without the mutex, so that the helpers start side by side, not one after another.
void HelperLoop(TaskPoolState* s, TaskPoolHelper* self, int worker, std::uint32_t seen) {
    bool spin = false;
    for (;;) {
        if (spin) {
            SpinForNextBatch(s, seen);
        }
        std::uint32_t generation = s->generation.load(std::memory_order_acquire);
        if (generation == seen || worker >= s->workers.load(std::memory_order_relaxed)) {
            std::unique_lock<std::mutex> lock(s->mutex);
            // Counted before the batch number is read again: a caller that publishes a batch
            // and then finds no sleeper is seen here (both in the one order of seq_cst).
            s->sleepers.fetch_add(1);
            const auto wanted = [&] {
                return s->stop || (s->generation.load() != seen && worker < s->workers.load());
            };
            if (!wanted()) {
                self->sleeping = true;
                self->wake.wait(lock, wanted);
                self->sleeping = false;
            }
            s->sleepers.fetch_sub(1);
            if (s->stop) {
                return;
            }
            generation = s->generation.load(std::memory_order_acquire);
        }
        if (s->stopping.load(std::memory_order_relaxed) != 0) {
            return;
        }
        seen = generation;
        const PooledTask task = s->task.load(std::memory_order_relaxed);
        void* context = s->context.load(std::memory_order_relaxed);
        const int count = s->count.load(std::memory_order_relaxed);
        const int workers = s->workers.load(std::memory_order_relaxed);
        spin = worker < workers;
        if (spin) {
            RunClaimedTasks(s, seen, task, context, count, workers, worker);
        }
    }
}

}  // namespace

int TaskPoolWorkerLimit() {
    // Asked once: the count is read from a system file, and every cutting step asks.
    static const int limit = std::clamp(GetProcessorCount(), 1, kMaxWorkers);
    return limit;
}

void RunPooledTasks(TaskPool* pool, int workers, int count, PooledTask task, void* context) {
    workers = std::clamp(workers, 1, TaskPoolWorkerLimit());
    if (workers == 1 || count <= 1) {
        for (int t = 0; t < count; ++t) {
            task(context, t, 0);
        }
        return;
    }
    if (pool->state == nullptr) {
        pool->state = new TaskPoolState;
    }
    TaskPoolState* s = pool->state;
    if (static_cast<int>(s->helpers.size()) < workers - 1) {
        std::lock_guard<std::mutex> lock(s->mutex);
        while (static_cast<int>(s->helpers.size()) < workers - 1) {
            const int worker = static_cast<int>(s->helpers.size()) + 1;
            auto helper = std::make_unique<TaskPoolHelper>();
            helper->thread = std::thread(HelperLoop, s, helper.get(), worker, s->generation.load());
            s->helpers.push_back(std::move(helper));
        }
    }
    const std::uint32_t generation = s->generation.load(std::memory_order_relaxed) + 1;
    s->task.store(task, std::memory_order_relaxed);
    s->context.store(context, std::memory_order_relaxed);
    s->count.store(count, std::memory_order_relaxed);
    s->workers.store(workers, std::memory_order_relaxed);
    s->remaining.store(count, std::memory_order_relaxed);
    for (int share = 0; share < workers; ++share) {
        s->shares[share].claim.store(
            std::uint64_t{generation} << 32 |
                static_cast<std::uint32_t>(ShareStart(share, count, workers)),
            std::memory_order_relaxed);
    }
    s->generation.store(generation);  // seq_cst: ordered against the helpers' `sleepers`
    if (s->sleepers.load() > 0) {
        std::lock_guard<std::mutex> lock(s->mutex);
        for (int h = 0; h < workers - 1; ++h) {
            if (s->helpers[h]->sleeping) {
                s->helpers[h]->wake.notify_one();
            }
        }
    }
    RunClaimedTasks(s, generation, task, context, count, workers, 0);
    for (int spins = 1; s->remaining.load(std::memory_order_acquire) != 0; ++spins) {
        CpuRelax();
        if (spins % 1024 == 0) {
            std::this_thread::yield();
        }
    }
}

void StopTaskPool(TaskPool* pool) {
    TaskPoolState* s = pool->state;
    if (s == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        s->stop = true;
        s->stopping.store(1, std::memory_order_relaxed);
    }
    for (auto& helper : s->helpers) {
        helper->wake.notify_one();
    }
    for (auto& helper : s->helpers) {
        helper->thread.join();
    }
    delete s;
    pool->state = nullptr;
}

}  // namespace mirexa
