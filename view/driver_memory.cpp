// The view's checks of the address space left for the OpenGL driver, and its shortage message.
#include "view/driver_memory.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/message_box.h"
#include "platform/system_info.h"
#include "services/program_log.h"

namespace mirexa {

namespace {

MemoryRoomSource roomSource = nullptr;

struct DisplayShortageState {
    int pending = {};  // noted, not yet shown
    int shown = {};    // shown, and no rebuild has fitted since
};
DisplayShortageState shortage;

std::uint64_t MemoryRoom() {
    return roomSource != nullptr ? roomSource() : GetAvailableMemoryBytes();
}

}  // namespace

int CountRasteriserThreads() {
    if (const char* text = std::getenv("LP_NUM_THREADS")) {
        char* end = nullptr;
        const long threads = std::strtol(text, &end, 10);
        if (end != text && threads >= 0) {
            return static_cast<int>(std::min(threads, 32L));
        }
    }
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    return processors > 1 ? static_cast<int>(std::min(processors, 32L)) : 0;
}

std::uint64_t EstimateGlContextBytes() {
    return kGlContextBaseBytes +
           kGlContextThreadBytes * static_cast<std::uint64_t>(CountRasteriserThreads());
}

int GlContextMemoryFits() {
    const std::uint64_t addressRoom =
        roomSource != nullptr ? roomSource() : GetAddressSpaceRoomBytes();
    const bool addressFits =
        addressRoom == 0 || addressRoom >= EstimateGlContextBytes() + kDriverReserveBytes;
    return addressFits && DriverMemoryFits(0) ? 1 : 0;
}

void SetDriverMemoryRoomSource(MemoryRoomSource source) {
    roomSource = source;
}

int DriverMemoryFits(std::uint64_t need) {
    const std::uint64_t room = MemoryRoom();
    return room == 0 || room >= need + kDriverReserveBytes ? 1 : 0;
}

int DriverMemoryFitsFrame() {
    const std::uint64_t room = MemoryRoom();
    return room == 0 || room >= kFrameBytes ? 1 : 0;
}

std::uint64_t DriverMemoryRoomMegabytes() {
    return MemoryRoom() >> 20;
}

void NoteDisplayMemoryShortage() {
    if (!shortage.shown) {
        shortage.pending = 1;
    }
}

void EndDisplayMemoryShortage() {
    shortage = DisplayShortageState{};
}

int ShowPendingDisplayMemoryShortage() {
    if (!shortage.pending) {
        return 0;
    }
    // Marked first: the box's own loop paints the view again.
    shortage.pending = 0;
    shortage.shown = 1;
    ShowMessageOrLog(0, "Memory over!", "Data size error", MBX_OK | MBX_TOPMOST);
    return 1;
}

}  // namespace mirexa
