// The colour chooser: a modal request for one colour, started from a colour and offering the
// program's custom colours. Whoever stands for the user answers it: a responder installed by
// the real-window backend (its chooser on screen) or by a test; without one (headless) the
// chooser is cancelled and nothing changes.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/window.h"

namespace mirexa {

constexpr int kCustomColorCount = 16;

// One request. Colours are 0x00BBGGRR.
struct ColorChooserRequest {
    WindowHandle owner = {};
    std::uint32_t initial = {};
    // The custom colours the chooser offers; an answer may change them (they are the program's).
    std::uint32_t* customColors = {};  // kCustomColorCount entries
};

// Returns 1 with *chosen set when the user confirmed a colour, 0 when cancelled.
using ColorChooserResponder =
    std::function<int(const ColorChooserRequest& request, std::uint32_t* chosen)>;

// Installs the responder (an empty function removes it); returns the previous one.
ColorChooserResponder SetColorChooserResponder(ColorChooserResponder responder);

// Asks for a colour starting from *color: 1 with *color replaced by the confirmed colour (its
// high byte cleared), 0 with *color untouched when the chooser was cancelled or nobody answers.
// The owner is disabled while the chooser is open. customColors may be null.
int ChooseColorDialog(WindowHandle owner, std::uint32_t* color, std::uint32_t* customColors);

}  // namespace mirexa
