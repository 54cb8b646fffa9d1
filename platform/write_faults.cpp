// The writers' checked file calls and the fault plan that can fail one of them.
#include "platform/write_faults.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace mirexa {

namespace {

// The plan. Relaxed atomics: a plan is armed and read by one test thread, but the calls may come
// from a writer's worker threads, and an unarmed seam must cost no more than one load.
struct WriteFaultPlan {
    std::atomic<int> armed = {};
    std::atomic<int> failAt = {};
    std::atomic<unsigned> kinds = {};
    std::atomic<int> count = {};
    std::atomic<int> injected = {};
    std::atomic<int> error = {};  // 0: each kind's own errno
};
WriteFaultPlan Plan;

// True when this operation is the one the plan fails.
bool TakeFault(unsigned kind) {
    if (!Plan.armed.load(std::memory_order_relaxed) ||
        (Plan.kinds.load(std::memory_order_relaxed) & kind) == 0) {
        return false;
    }
    const int number = Plan.count.fetch_add(1, std::memory_order_relaxed) + 1;
    if (number != Plan.failAt.load(std::memory_order_relaxed)) {
        return false;
    }
    Plan.injected.store(1, std::memory_order_relaxed);
    return true;
}

// The errno of the failed call: the plan's, else the kind's own.
int FaultError(int own) {
    const int error = Plan.error.load(std::memory_order_relaxed);
    return error != 0 ? error : own;
}

}  // namespace

void ArmWriteFaults(int failAt, unsigned kinds, int error) {
    Plan.armed.store(0, std::memory_order_relaxed);
    Plan.failAt.store(failAt, std::memory_order_relaxed);
    Plan.kinds.store(kinds, std::memory_order_relaxed);
    Plan.count.store(0, std::memory_order_relaxed);
    Plan.injected.store(0, std::memory_order_relaxed);
    Plan.error.store(error, std::memory_order_relaxed);
    Plan.armed.store(1, std::memory_order_relaxed);
}

void DisarmWriteFaults() {
    Plan.armed.store(0, std::memory_order_relaxed);
}

int CountWriteOperations() {
    return Plan.count.load(std::memory_order_relaxed);
}

int WasWriteFaultInjected() {
    return Plan.injected.load(std::memory_order_relaxed);
}

ssize_t WriteDescriptor(int descriptor, const void* bytes, std::size_t count) {
    if (TakeFault(kWriteFaultWrite)) {
        errno = FaultError(ENOSPC);
        return -1;
    }
    return write(descriptor, bytes, count);
}

int SyncDescriptor(int descriptor) {
    if (TakeFault(kWriteFaultFlush)) {
        errno = FaultError(EIO);
        return -1;
    }
    return fsync(descriptor);
}

int CloseDescriptor(int descriptor) {
    const bool fail = TakeFault(kWriteFaultClose);
    const int result = close(descriptor);
    if (fail) {
        errno = FaultError(EIO);
        return -1;
    }
    return result;
}

std::size_t WriteStream(const void* bytes, std::size_t size, std::size_t count, std::FILE* stream) {
    if (TakeFault(kWriteFaultWrite)) {
        errno = FaultError(ENOSPC);
        return 0;
    }
    return std::fwrite(bytes, size, count, stream);
}

int FlushStream(std::FILE* stream) {
    if (TakeFault(kWriteFaultFlush)) {
        errno = FaultError(EIO);
        return EOF;
    }
    return std::fflush(stream);
}

int CloseStream(std::FILE* stream) {
    const bool fail = TakeFault(kWriteFaultClose);
    const int result = std::fclose(stream);
    if (fail) {
        errno = FaultError(EIO);
        return EOF;
    }
    return result;
}

int RenameFile(const char* from, const char* to) {
    if (TakeFault(kWriteFaultRename)) {
        errno = FaultError(EIO);
        return -1;
    }
    return std::rename(from, to);
}

}  // namespace mirexa
