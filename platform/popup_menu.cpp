// Popup menus on the headless backend: the responder stands in for the user.
#include "platform/popup_menu.h"

#include <utility>

#include "platform/responder_slot.h"

namespace mirexa {

namespace {

ResponderSlot<PopupMenuResponder> PopupSlot;

}  // namespace

PopupMenuResponder SetPopupMenuResponder(PopupMenuResponder responder) {
    return SwapResponder(PopupSlot, std::move(responder));
}

unsigned TrackPopupMenu(const PopupMenu& menu, int x, int y, WindowHandle owner) {
    const PopupMenuResponder responder = CopyResponder(PopupSlot);
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
