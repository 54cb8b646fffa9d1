// The interference check dialogs: the four cutting checks (rapid moves into the stock, holder and
// taper, available height, chip width) and the 25 pairs of moving parts and machine structures.
// Each stores its choices in the check settings on OK and recomputes the pause flag.
//
// Threads. Everything here runs on the user-interface thread.
#pragma once

namespace mirexa {

// Dialog 272 with the main window as owner; 1 for OK, 0 for Cancel.
int OpenInterferenceCheckDialog();
// Dialog 287 with the main window as owner; 1 for OK, 0 for Cancel.
int OpenStructureInterferenceDialog();

}  // namespace mirexa
