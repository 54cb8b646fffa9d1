// Backend selection: the headless backend is always there; a real-window backend registered by
// the program brings its start function and its hooks.
#include "platform/backend.h"

#include <atomic>

#include "platform/pointer.h"

namespace mirexa {

namespace {

std::atomic<PlatformBackend> selectedBackend{PlatformBackend::Headless};
const PlatformBackendHooks headlessHooks = {};
const RealWindowBackend noRealWindowBackend = {};
std::atomic<const RealWindowBackend*> registeredBackend{nullptr};
std::atomic<const PlatformBackendHooks*> activeHooks{&headlessHooks};

}  // namespace

void RegisterRealWindowBackend(const RealWindowBackend* backend) {
    registeredBackend.store(backend);
}

const RealWindowBackend& GetRegisteredRealWindowBackend() {
    const RealWindowBackend* real = registeredBackend.load();
    return real ? *real : noRealWindowBackend;
}

int StartPlatformBackend(PlatformBackend backend) {
    if (backend == PlatformBackend::RealWindow) {
        const RealWindowBackend* real = registeredBackend.load();
        if (!real || !real->start || !real->start()) {
            return 0;
        }
        activeHooks.store(&real->hooks);
    } else {
        activeHooks.store(&headlessHooks);
    }
    selectedBackend.store(backend);
    return 1;
}

PlatformBackend GetPlatformBackend() {
    return selectedBackend.load();
}

const PlatformBackendHooks& GetPlatformBackendHooks() {
    return *activeHooks.load();
}

WindowRect GetScreenWorkArea() {
    WindowRect area = HEADLESS_SCREEN_RECT;
    auto hook = GetPlatformBackendHooks().screenWorkArea;
    WindowRect asked = {};
    if (hook && hook(&asked) && asked.right > asked.left && asked.bottom > asked.top) {
        area = asked;
    }
    return area;
}

int PresentWindowFrame(WindowHandle window, const PresentedFrame& frame) {
    auto hook = GetPlatformBackendHooks().framePresented;
    if (!hook || !frame.pixels || frame.width < 1 || frame.height < 1) {
        return 0;
    }
    hook(window, frame);
    return 1;
}

int GetPointerOverWindow(WindowHandle window, int* x, int* y) {
    if (auto hook = GetPlatformBackendHooks().pointerOverWindow) {
        const int over = hook(window, x, y);
        if (over >= 0) {
            return over;
        }
    }
    return GetPointerPosition(window, x, y);
}

int HasFramePresenter() {
    return GetPlatformBackendHooks().framePresented ? 1 : 0;
}

void SetInterfaceLanguage(int english) {
    if (auto changed = GetPlatformBackendHooks().languageChanged) {
        changed(english);
    }
}

}  // namespace mirexa
