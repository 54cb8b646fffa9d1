// Calling a hook that may be null ("nothing there"): the shell's hooks records are full of them.
#pragma once

namespace mirexa {

// Calls the hook when it is there.
template <typename... Params, typename... Args>
void CallHook(void (*hook)(Params...), Args&&... args) {
    if (hook) {
        hook(static_cast<Args&&>(args)...);
    }
}

// The hook's answer, or 0 when it is not there.
inline int AskHook(int (*hook)()) {
    return hook ? hook() : 0;
}

}  // namespace mirexa
