// The dialogs of the controller's memories and the current position: the D and H offsets with
// their wear, the work coordinate systems with the external offset, the control point (the tool
// placed, cut and checked at a typed position) and the modeless basis-point note of the view.
// The offset and work coordinate dialogs can write their values back into the controller file.
//
// Threads. Everything here runs on the user-interface thread.
#pragma once

#include <string>

#include "platform/window.h"

namespace mirexa {

// 1: OK in the offset and work coordinate dialogs also renews the changed memories in the
// controller file. Kept while the program runs; starts at 0.
extern int ModifyControllerFile;

// The coordinates in which the control point dialog last took its values: 0 work (program)
// coordinates, 1 machine coordinates.
extern int ControlPointCoordinateKind;

// The memories (kRewrite bits of config/offset_memory.h) whose rewrite of the controller file
// failed: the next OK with ModifyControllerFile renews them even when nothing changed, so that a
// failed write is not forgotten.
extern unsigned PendingControllerRewrites;

// The name of a work coordinate entry (1..200) shown beside its row: with the plain dialect
// (number 0) "G54" to "G59" for entries 1 to 6 and "P1" ... for entries 7 and up; with any other
// dialect the entry number.
std::string WorkSystemName(int entry, int dialect);

// The label of a tab of the offset dialog: the first offset number of the page, "%02d" for the
// first five pages, "%d" from then on.
std::string OffsetPageLabel(int page);

// Makes the entry (0 none, 1..200) the current work coordinate system: the control origin
// becomes the external offset plus the entry's offset, and the program position moves by the old
// origin minus the new one, so that the machine position stays where it was.
void SelectWorkSystem(int entry);

// Dialog 234 with the main window as owner; mode 0 edits the D offsets, 1 the H offsets.
// Returns 1 for OK, 0 for Cancel.
int OpenOffsetCodeDialog(int mode);
// Dialog 263 with the main window as owner; 1 for OK.
int OpenWorkCoordinatesDialog();
// Dialog 155 from the menu: the typed position becomes the current position, the tool is cut and
// checked there; the dialog stays open while the position is beyond a stroke, collides or cut
// material. 1 for OK.
int OpenControlPointDialog();
// Dialog 155 from a stock definition dialog (the owner): edits point (X, Y, Z in work
// coordinates, mm) instead of the current position; nothing moves or cuts. 1 when the point was
// taken.
int OpenSpecifiedPointDialog(WindowHandle owner, double point[3]);
// Dialog 225: the modeless note at the view's client point (x, y), shown; null when it could not
// be made. The view destroys it; any click on it asks the view to (kViewCloseNote).
WindowHandle OpenBasisPointNote(WindowHandle view, int x, int y);

// Restores the records of this header (tests).
void ResetOffsetDialogs();

}  // namespace mirexa
