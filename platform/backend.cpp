// Backend selection. Only the headless backend exists so far; the real-window backend will fill
// its hooks here when it is built.
#include "platform/backend.h"

#include <atomic>

namespace mirexa {

namespace {

std::atomic<PlatformBackend> selectedBackend{PlatformBackend::Headless};
const PlatformBackendHooks headlessHooks = {};

}  // namespace

int StartPlatformBackend(PlatformBackend backend) {
    if (backend != PlatformBackend::Headless) {
        return 0;
    }
    selectedBackend.store(backend);
    return 1;
}

PlatformBackend GetPlatformBackend() {
    return selectedBackend.load();
}

const PlatformBackendHooks& GetPlatformBackendHooks() {
    return headlessHooks;
}

}  // namespace mirexa
