// The in-memory clipboard of the headless backend.
#include "platform/clipboard.h"

#include <map>
#include <mutex>
#include <utility>

#include "platform/backend.h"

namespace mirexa {

namespace {

std::mutex ClipboardMutex;
std::map<unsigned, std::vector<std::uint8_t>> ClipboardBlocks;

}  // namespace

void EmptyClipboard() {
    std::lock_guard<std::mutex> lock(ClipboardMutex);
    ClipboardBlocks.clear();
}

int SetClipboardData(unsigned format, std::vector<std::uint8_t> data) {
    if (format == 0) {
        return 0;
    }
    {
        std::lock_guard<std::mutex> lock(ClipboardMutex);
        ClipboardBlocks[format] = std::move(data);
    }
    if (auto hook = GetPlatformBackendHooks().clipboardChanged) {
        hook(format);
    }
    return 1;
}

int GetClipboardData(unsigned format, std::vector<std::uint8_t>* out) {
    std::lock_guard<std::mutex> lock(ClipboardMutex);
    out->clear();
    auto it = ClipboardBlocks.find(format);
    if (it == ClipboardBlocks.end()) {
        return 0;
    }
    *out = it->second;
    return 1;
}

}  // namespace mirexa
