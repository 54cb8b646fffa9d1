// Cursor records of the headless backend: named, loaded once, one of them current.
#include "platform/cursor.h"

#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/backend.h"

namespace mirexa {

struct PlatformCursor {
    std::string name = {};
    CursorImage image = {};
    int hasImage = {};
};

namespace {

std::mutex cursorMutex;
std::map<std::string, std::unique_ptr<PlatformCursor>> loadedCursors;
std::atomic<CursorHandle> currentCursor{nullptr};

}  // namespace

namespace {

// The record of the name, made at the first use. Called with the lock held.
PlatformCursor* FindOrAddCursor(const std::string& name) {
    auto& slot = loadedCursors[name];
    if (!slot) {
        slot = std::make_unique<PlatformCursor>();
        slot->name = name;
    }
    return slot.get();
}

}  // namespace

int IsValidCursorImage(const CursorImage& image) {
    if (image.width < 1 || image.width > 64 || image.height < 1 || image.height > 64 ||
        image.rows == nullptr || image.hotX < 0 || image.hotX >= image.width || image.hotY < 0 ||
        image.hotY >= image.height) {
        return 0;
    }
    for (int y = 0; y < image.height; ++y) {
        const char* row = image.rows[y];
        if (row == nullptr || strnlen(row, 65) != static_cast<std::size_t>(image.width) ||
            std::strspn(row, "#+ ") != static_cast<std::size_t>(image.width)) {
            return 0;
        }
    }
    return 1;
}

std::string ResourceCursorName(int id) {
    return "#" + std::to_string(id);
}

int RegisterCursorImage(const std::string& name, const CursorImage& image) {
    if (name.empty() || !IsValidCursorImage(image)) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(cursorMutex);
    PlatformCursor* cursor = FindOrAddCursor(name);
    cursor->image = image;
    cursor->hasImage = 1;
    return 1;
}

int GetCursorImage(CursorHandle cursor, CursorImage* out) {
    if (cursor == nullptr) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(cursorMutex);
    if (!cursor->hasImage) {
        return 0;
    }
    *out = cursor->image;
    return 1;
}

CursorHandle LoadCursorHandle(const std::string& name) {
    if (name.empty()) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(cursorMutex);
    return FindOrAddCursor(name);
}

std::string GetCursorName(CursorHandle cursor) {
    return cursor ? cursor->name : std::string();
}

CursorHandle SetCursorHandle(CursorHandle cursor) {
    CursorHandle previous = currentCursor.exchange(cursor);
    if (auto hook = GetPlatformBackendHooks().cursorChanged; hook && previous != cursor) {
        hook();
    }
    return previous;
}

CursorHandle GetCursorHandle() {
    return currentCursor.load();
}

}  // namespace mirexa
