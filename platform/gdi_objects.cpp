// Pen and brush records of the headless backend: a registry of live objects under a lock.
#include "platform/gdi_objects.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace mirexa {

struct PlatformGdiObject {
    GdiObjectInfo info = {};
};

namespace {

std::mutex gdiMutex;
std::unordered_map<GdiObjectHandle, std::unique_ptr<PlatformGdiObject>> liveObjects;

GdiObjectHandle AddObject(const GdiObjectInfo& info) {
    auto object = std::make_unique<PlatformGdiObject>();
    object->info = info;
    GdiObjectHandle handle = object.get();
    std::lock_guard<std::mutex> lock(gdiMutex);
    liveObjects.emplace(handle, std::move(object));
    return handle;
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
    return liveObjects.erase(object) == 1 ? 1 : 0;
}

int GetGdiObjectInfo(GdiObjectHandle object, GdiObjectInfo* out) {
    std::lock_guard<std::mutex> lock(gdiMutex);
    const auto found = liveObjects.find(object);
    if (found == liveObjects.end()) {
        return 0;
    }
    *out = found->second->info;
    return 1;
}

int CountLiveGdiObjects() {
    std::lock_guard<std::mutex> lock(gdiMutex);
    return static_cast<int>(liveObjects.size());
}

}  // namespace mirexa
