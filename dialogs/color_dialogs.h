// The colour and paint dialogs: the display colours (edited on the edit copy and made live on
// OK), the pens whose paint is peeled, the height bands drawn discoloured and the options of
// difference painting. Each stores its choices only on OK (result 1); Cancel stores nothing.
//
// Threads. Everything here runs on the user-interface thread.
#pragma once

#include <cstdint>

#include "platform/color_dialog.h"
#include "platform/window.h"
#include "shell/stock_commands.h"

namespace mirexa {

// The colour chooser's custom colours, kept while the program runs.
extern std::uint32_t CustomColors[kCustomColorCount];

// Up to three chained height bands in which the stock is drawn discoloured. Band k is on only
// while band k - 1 is; count is the number of bands on (0 .. 3).
struct DiscolorationBands {
    std::int32_t count = {};
    std::int32_t on[3] = {};
    float upper[3] = {};  // mm
    float lower[3] = {};
};
extern DiscolorationBands DiscolorationRegions;

// The colour buttons and swatches that dialog 218 removes and greys for the machine in use.
struct ColorPartAvailability {
    int removed[36] = {};   // by colour row (the template's order)
    int disabled[36] = {};  // by colour row
};
// Removed: by ROTARY TYPE (1 head: table 1 and 2; 2 table: head 1 and 2; 3 mixed: table 2 and
// head 2) and by the axes the table carries (3: the head; more than 1: the one-axis head; more
// than 0: the two-axis head; 0: the table; fewer than 2: the one-axis table). Greyed: a machine
// part, vice or basic model row whose models are not loaded.
ColorPartAvailability ComputeColorPartAvailability();

// Dialog 218: 1 when the edit copy was made live.
int OpenColorSettingsDialog(WindowHandle owner);
// Dialog 219, the StockCommandHooks form: the pens ticked (all 15: choice->all).
int OpenPeelPenDialog(PeelPenChoice* choice);
// Dialog 217.
int OpenDiscolorationDialog(WindowHandle owner);
// Dialog 271, the StockCommandHooks form: edits Settings.difference. A pen number outside 1 to
// 15 is refused while the paint kind is the pen.
int OpenDifferencePaintDialog();

// Restores the records of this header (tests).
void ResetColorDialogs();

}  // namespace mirexa
