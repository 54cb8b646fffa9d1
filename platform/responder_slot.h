// One installed responder of the headless backend (a std::function standing in for the user),
// swapped and read under its own lock so that it may be replaced while another thread asks it.
#pragma once

#include <mutex>
#include <utility>

namespace mirexa {

template <typename Responder>
struct ResponderSlot {
    std::mutex mutex;
    Responder responder;
};

// Installs the responder; returns the previous one.
template <typename Responder>
Responder SwapResponder(ResponderSlot<Responder>& slot, Responder responder) {
    std::lock_guard<std::mutex> lock(slot.mutex);
    Responder previous = std::move(slot.responder);
    slot.responder = std::move(responder);
    return previous;
}

// A copy of the installed responder, to call without the lock held.
template <typename Responder>
Responder CopyResponder(ResponderSlot<Responder>& slot) {
    std::lock_guard<std::mutex> lock(slot.mutex);
    return slot.responder;
}

}  // namespace mirexa
