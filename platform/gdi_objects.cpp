// Pen and brush records of the headless backend: a registry of live objects under a lock. A
// handle is a serial number that is never given out again, so a stale handle can never reach a
// newer object.
#include "platform/gdi_objects.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace mirexa {

namespace {

std::mutex gdiMutex;
std::unordered_map<std::uintptr_t, GdiObjectInfo> liveObjects;
std::uintptr_t lastSerial = 0;

GdiObjectHandle AddObject(const GdiObjectInfo& info) {
    std::lock_guard<std::mutex> lock(gdiMutex);
    const std::uintptr_t serial = ++lastSerial;
    liveObjects.emplace(serial, info);
    return reinterpret_cast<GdiObjectHandle>(serial);
}

std::uintptr_t SerialOf(GdiObjectHandle object) {
    return reinterpret_cast<std::uintptr_t>(object);
}

}  // namespace

GdiObjectHandle CreatePenObject(int style, int width, std::uint32_t color) {
    if (style != kPenSolid && style != kPenDash && style != kPenDot && style != kPenDashDot &&
        style != kPenNull) {
        return nullptr;
    }
    return AddObject({kGdiPen, style, width < 1 ? 1 : width, color & 0x00FFFFFFu});
}

GdiObjectHandle CreateSolidBrushObject(std::uint32_t color) {
    return AddObject({kGdiBrush, 0, 0, color & 0x00FFFFFFu});
}

int DeleteGdiObject(GdiObjectHandle object) {
    std::lock_guard<std::mutex> lock(gdiMutex);
    return liveObjects.erase(SerialOf(object)) == 1 ? 1 : 0;
}

int GetGdiObjectInfo(GdiObjectHandle object, GdiObjectInfo* out) {
    std::lock_guard<std::mutex> lock(gdiMutex);
    const auto found = liveObjects.find(SerialOf(object));
    if (found == liveObjects.end()) {
        return 0;
    }
    *out = found->second;
    return 1;
}

int CountLiveGdiObjects() {
    std::lock_guard<std::mutex> lock(gdiMutex);
    return static_cast<int>(liveObjects.size());
}

}  // namespace mirexa
