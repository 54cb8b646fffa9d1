// Cursor records of the headless backend: named, loaded once, one of them current.
#include "platform/cursor.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

namespace mirexa {

struct PlatformCursor {
    std::string name = {};
};

namespace {

std::mutex cursorMutex;
std::map<std::string, std::unique_ptr<PlatformCursor>> loadedCursors;
std::atomic<CursorHandle> currentCursor{nullptr};

}  // namespace

CursorHandle LoadCursorHandle(const std::string& name) {
    if (name.empty()) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(cursorMutex);
    auto& slot = loadedCursors[name];
    if (!slot) {
        slot = std::make_unique<PlatformCursor>();
        slot->name = name;
    }
    return slot.get();
}

std::string GetCursorName(CursorHandle cursor) {
    return cursor ? cursor->name : std::string();
}

CursorHandle SetCursorHandle(CursorHandle cursor) {
    return currentCursor.exchange(cursor);
}

CursorHandle GetCursorHandle() {
    return currentCursor.load();
}

}  // namespace mirexa
