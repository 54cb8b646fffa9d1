// The section "Define" of the settings file: display, colours, alphas, control point, pitch,
// tool marks, interference checks, difference painting, view angles and the tool count. Read in
// two runs inside the settings file's order.
#pragma once

#include <string>
#include <vector>

#include "config/config_records.h"

namespace mirexa {

// The colour groups of the settings file, as the writer saves them.
enum SettingsColorGroup : int {
    kWorkColorGroup,     // WORK, PEN1..PEN15, PENKI, BASE
    kToolColorGroup,     // TOOL-TOP, TOOL-SIDE, ARBOR
    kMachineColorGroup,  // HEAD(*) .. BASIC
    kLineColorGroup,     // TOP-PATH, TOP-PATH2, CONSTRUCTION
    kBackgroundGroup,    // BACKGROUND
};

// One colour key of section "Define": the key, its default text and its field of the ColorSet
// (a member, or pens[pen] when pen > 0).
struct SettingsColorKey {
    const char* key = {};
    const char* defaultText = {};
    ColorRef ColorSet::*field = {};
    int pen = {};
    SettingsColorGroup group = {};
};
inline constexpr int kSettingsColorKeyCount = 36;
// The 36 keys in reading order.
extern const SettingsColorKey SettingsColorKeys[kSettingsColorKeyCount];

// The entry of a key, or null.
const SettingsColorKey* FindSettingsColorKey(const char* key);
// The field of an entry in a colour set.
ColorRef* SettingsColorField(ColorSet* colors, const SettingsColorKey& entry);

// The value of a key of section "Define" (or defaultText when missing), cut to the 1,023 bytes
// of the reader's value buffer.
std::string ReadDefineValue(const std::string& settingsPath, const char* key,
                            const char* defaultText);

// Reads the key of section "Define" and applies ParseColor. Returns 1.
int ReadIniColor(const std::string& settingsPath, const char* key, const char* defaultText,
                 ColorRef* out);

// Checks.pauseOnEvents := 1 when any check is at its record-and-pause choice (INTERFERENCE 2,
// ARBOR CHECK 4, HEIGHT CHECK 3, CHIP-W CHECK 3, SPINDLE CHECK 2, a structure pair 2), else 0.
void UpdateStopOnCheckFlag();

// The options the menus switch, as section "Define" holds them: for each whose value differs from
// what the file at settingsPath gives now (its text, or the key's default), the key and the text
// that reads back as the value. A file whose options the user left alone gets no entry, so its
// own wording stays. A value the key cannot hold (a stock display style other than 0 and 1 for
// MESH MODE) is not written.
struct DefineOptionChange {
    const char* key = {};
    std::string text = {};
};
std::vector<DefineOptionChange> ListDefineOptionChanges(const std::string& settingsPath);

// The azimuth (deg, 0 .. 360) and tilt (deg) of a unit light vector: h = sqrt(x^2 + y^2); both 0
// when h is 0; else azimuth = acos(x / h), 360 - that when y < 0, and tilt = asin(h).
void ComputeLightAngles(const double light[3], double* azimuth, double* tilt);

// The drawing, pitch, pen and check keys of "Define", from LIGHT VECTOR to DIFFERENCE TARGET,
// into Settings, DisplayModes, LiveColors, DexelPitch and Checks. Keys the command line gave
// (CONTROL POINT after -S, the pitches after -P, the DIFFERENCE keys after a kept -XD) are not
// read. Values that would harm later users are refused with a message appended to *messages (when
// not null) and the old value kept: a light vector of no length (the default is used), SKIP BLOCK /
// SKIP VIEW below 1 (raised to 1), pitches <= 0, pens outside 0..15, RAPID FEEDRATE <= 0; MULTI
// THREAD is kept within 1..1024 and UNDO within the ring sizes the stock model allows.
void ReadDefineDrawingAndCheckSettings(const std::string& settingsPath,
                                       std::vector<std::string>* messages);

// The view and magazine keys of "Define", from ANGLE-A to STL MATRIX: the view angles (then the
// view's updateViewTrig hook), the expand rate, MAX MAGAZINE (1 .. kMaxMagazineLimit, else 200 with
// a message; the tool tables are then allocated), CHECK MAC, CHECK MATRIX, STL MATRIX (63 bytes at
// most).
void ReadDefineViewAndMagazineSettings(const std::string& settingsPath,
                                       std::vector<std::string>* messages);

// Helpers shared with the other sections' readers.
// The atof of the C runtime without its locale: leading blanks, an optional sign, the decimal
// form; 0 when there is no number; values beyond the double range saturate.
double ParseLeadingDouble(const char* text);
// text cut to at most limit bytes, never inside a UTF-8 character.
std::string CutToBytes(const std::string& text, std::size_t limit);

}  // namespace mirexa
