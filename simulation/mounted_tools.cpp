// The mounted-tools pass and the owner word of the current tool's selection.
#include "simulation/mounted_tools.h"

#include "platform/clock.h"

namespace mirexa {

std::atomic<std::int32_t> MountedToolBusyFlags{kMountedToolsFree};
MountedToolsSide MountedToolsForSimulation{kMountedToolsSimulation};
MountedToolsSide MountedToolsForView{kMountedToolsView};
MountedToolResultRecord MountedToolResult[kMountedToolEntries];
std::int32_t MountedResultCode = 0;

namespace {

bool IsSide(std::int32_t owner) {
    return owner == kMountedToolsSimulation || owner == kMountedToolsView;
}

}  // namespace

// --- The owner word ---------------------------------------------------------------------------

int TryTakeMountedTools(std::int32_t owner) {
    if (!IsSide(owner)) {
        return 0;
    }
    std::int32_t expected = kMountedToolsFree;
    return MountedToolBusyFlags.compare_exchange_strong(expected, owner, std::memory_order_acquire,
                                                        std::memory_order_relaxed)
               ? 1
               : 0;
}

void TakeMountedTools(std::int32_t owner) {
    if (!IsSide(owner)) {
        return;
    }
    while (!TryTakeMountedTools(owner)) {
        SleepMilliseconds(kMountedToolPollMs);
    }
}

int ReleaseMountedTools(std::int32_t owner) {
    std::int32_t expected = owner;
    return IsSide(owner) && MountedToolBusyFlags.compare_exchange_strong(
                                expected, kMountedToolsFree, std::memory_order_release,
                                std::memory_order_relaxed)
               ? 1
               : 0;
}

void MountedToolsSide::lock() {
    TakeMountedTools(owner);
}

bool MountedToolsSide::try_lock() {
    return TryTakeMountedTools(owner) == 1;
}

void MountedToolsSide::unlock() {
    ReleaseMountedTools(owner);
}

// --- Results ----------------------------------------------------------------------------------

void ClearMountedToolResults() {
    for (MountedToolResultRecord& record : MountedToolResult) {
        record = MountedToolResultRecord{};
    }
    MountedResultCode = 0;
}

}  // namespace mirexa
