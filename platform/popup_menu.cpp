// Popup menus on the headless backend: the responder stands in for the user.
#include "platform/popup_menu.h"

#include <mutex>
#include <utility>

namespace mirexa {

namespace {

std::mutex PopupMutex;
PopupMenuResponder PopupResponder;

}  // namespace

PopupMenuResponder SetPopupMenuResponder(PopupMenuResponder responder) {
    std::lock_guard<std::mutex> lock(PopupMutex);
    PopupMenuResponder previous = std::move(PopupResponder);
    PopupResponder = std::move(responder);
    return previous;
}

unsigned TrackPopupMenu(const PopupMenu& menu, int x, int y, WindowHandle owner) {
    PopupMenuResponder responder;
    {
        std::lock_guard<std::mutex> lock(PopupMutex);
        responder = PopupResponder;
    }
    if (!responder) {
        return 0;
    }
    const unsigned chosen = responder(menu, x, y);
    if (chosen == 0) {
        return 0;
    }
    for (const PopupMenuItem& item : menu.items) {
        if (item.command == chosen && !item.grayed) {
            PostWindowMessage(owner, WM_COMMAND, chosen, 0);
            return chosen;
        }
    }
    return 0;
}

}  // namespace mirexa
