// The held-key state of the keyboard, one atomic flag per key code.
#include "platform/keys.h"

#include <atomic>

namespace mirexa {

namespace {

std::atomic<int> KeyStates[kKeyCodeCount] = {};

}  // namespace

void SetKeyDownState(unsigned keyCode, int down) {
    if (keyCode < kKeyCodeCount) {
        KeyStates[keyCode].store(down != 0 ? 1 : 0);
    }
}

int IsKeyDown(unsigned keyCode) {
    return keyCode < kKeyCodeCount ? KeyStates[keyCode].load() : 0;
}

void ReleaseAllKeys() {
    for (auto& state : KeyStates) {
        state.store(0);
    }
}

}  // namespace mirexa
