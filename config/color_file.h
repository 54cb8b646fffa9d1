// Colour values and the colour file (.CTC): a whole colour scheme read into the edit colour set.
#pragma once

#include <string>

#include "config/config_records.h"

namespace mirexa {

// The colour rule of the colour file and the settings file. "BLACK" gives 0 and "WHITE"
// 0x00FFFFFF (the whole value, without regard to case, blanks and line end around it ignored);
// anything else is read as three numbers (ScanDouble, then two ScanNextDouble: parentheses are
// optional, a missing number reads 0), each clamped to 0 .. 255 and then truncated towards zero
// (300 gives 255, -5 gives 0, 12.9 gives 12, 1e99 gives 255). *out := red | green << 8 |
// blue << 16. text is NUL-terminated. Returns 1.
int ParseColor(const char* text, ColorRef* out);

// EditColors := LiveColors.
void CopyColorSettingsToEdit();
// LiveColors := EditColors.
void RestoreColorSettingsFromEdit();

// Reads the colour file at path into EditColors, which starts as a copy of LiveColors, so
// colours the file does not name keep their live values. A line that starts with one of the 32
// keywords ("WORK COLOR", "PEN12 COLOR", "CUT-PATH COLOR" for top path 2, "BACKGROUND COLOR",
// ...; without regard to case) sets that colour from the value behind the keyword and its
// separator (blanks and "=" passed over); other lines are ignored. Lines longer than 1,023
// characters keep their start; the tail is dropped. Returns 0 when the file cannot be opened
// (nothing changed), else 1. The caller makes the edit set live (RestoreColorSettingsFromEdit).
int ReadColorFile(const std::string& path);

}  // namespace mirexa
