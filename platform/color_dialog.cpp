// The colour chooser request and its responder slot.
#include "platform/color_dialog.h"

#include <utility>

#include "platform/responder_slot.h"

namespace mirexa {

namespace {

ResponderSlot<ColorChooserResponder> ColorChooserSlot;

}  // namespace

ColorChooserResponder SetColorChooserResponder(ColorChooserResponder responder) {
    return SwapResponder(ColorChooserSlot, std::move(responder));
}

int ChooseColorDialog(WindowHandle owner, std::uint32_t* color, std::uint32_t* customColors) {
    if (color == nullptr) {
        return 0;
    }
    const ColorChooserResponder responder = CopyResponder(ColorChooserSlot);
    if (!responder) {
        return 0;
    }
    ColorChooserRequest request;
    request.owner = owner;
    request.initial = *color & 0xFFFFFFu;
    request.customColors = customColors;
    // The owner takes no input while the chooser is open, as with every modal dialog.
    const int ownerEnabled = owner != nullptr && IsPlatformWindowEnabled(owner);
    if (ownerEnabled) {
        EnablePlatformWindow(owner, 0);
    }
    std::uint32_t chosen = request.initial;
    const int confirmed = responder(request, &chosen);
    if (ownerEnabled) {
        EnablePlatformWindow(owner, 1);
    }
    if (confirmed != 1) {
        return 0;
    }
    *color = chosen & 0xFFFFFFu;
    return 1;
}

}  // namespace mirexa
