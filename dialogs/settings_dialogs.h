// The dialogs that set one group of options each: version and environment, resize behaviour,
// the special tools' parameters, the stock pitch, the expand rate, what is saved for the next
// start, the optional block skip switches, the display modes and the movie options. Each edits
// working copies and stores them only on OK (result 1); Cancel stores nothing (result 0).
//
// Threads. Everything here runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window.h"

namespace mirexa {

// Whether the side panels follow the main window when it is resized and when it is moved.
struct ResizeOptionFlags {
    std::int32_t moveOnResize = 1;
    std::int32_t moveOnMove = 1;
};
extern ResizeOptionFlags ResizeOptions;

// The version panel's memory figure of a stock: its bytes in KB (bytes / 1024, truncated) with
// thousands separators, or "undefined " for no stock (0 bytes).
std::string FormatStockMemoryKb(std::uint64_t bytes);
// A memory figure in KB as a 64-bit integer with thousands separators ("-" for a negative or
// non-finite figure).
std::string FormatMemoryKb(double kb);

// 1 when a stock grid at this pitch fits the memory available: the current stock's extent when
// there is a stock, else the defined stock box, with the undo ring of the UNDO setting. 0 for a
// pitch that is not a positive number or a grid whose node count passes the grid's index range.
int PitchGridFitsMemory(double pitch);

// The dialogs; owner is the main window (or the dialog that opens them).
int OpenVersionDialog(WindowHandle owner);
int OpenResizeSettingsDialog(WindowHandle owner);
int OpenToolParameterDialog(WindowHandle owner);
// Refuses a pitch of 0 or less, a negative move pitch and a pitch whose grid does not fit
// memory (PitchGridFitsMemory of the pitch the next stock would take), with the dialog kept open.
int OpenPitchDialog(WindowHandle owner);
// Refuses an expand rate of 0 or less (the view's zoom steps divide by it).
int OpenExpandRateDialog(WindowHandle owner);
int OpenInitialConditionDialog(WindowHandle owner);
int OpenOptionalBlockSkipDialog(WindowHandle owner);
int OpenDisplayModeDialog(WindowHandle owner);
int OpenMovieSettingsDialog(WindowHandle owner);

// The display mode dialog's level of an alpha: alpha x 10 rounded to the nearest integer (an
// alpha stored as 0.7f gives 7), clamped to 0 .. 10.
int DisplayLevelOfAlpha(float alpha);

// Restores the records of this header (tests).
void ResetSettingsDialogs();

}  // namespace mirexa
