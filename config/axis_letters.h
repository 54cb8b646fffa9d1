// The controller's axis letters: renamed, remapped and reversed axes, incremental letters, and
// what every controller reading derives from them (label strings, rotary signs, the signed plane
// codes of the three machine planes, the program-XY axis triple and the tool-length axis).
#pragma once

#include <cstdint>

namespace mirexa {

// A letter field that holds no letter.
inline constexpr char kNoAxisLetter = ' ';

struct ControllerAxisLetters {
    // Letters of the program's X, Y and Z words.
    char programLetters[3] = {'X', 'Y', 'Z'};
    // Per machine axis 0, 1, 2 (X, Y, Z): the coordinate word that drives it and its arc-centre
    // word.
    char coordinateLetters[3] = {'X', 'Y', 'Z'};
    char arcCentreLetters[3] = {'I', 'J', 'K'};
    // 1: the program counts that axis the other way (X, Y, Z, then A, B, C).
    std::int32_t reversed[6] = {};
    // Letters of rotary axis 1 and 2; kNoAxisLetter when the controller names none.
    char rotaryLetters[2] = {kNoAxisLetter, kNoAxisLetter};
    // Derived: 1 when the rotary axis's letter is A, B or C and that letter is reversed.
    std::int32_t rotarySignFlags[2] = {};
    // Incremental letters of X, Y, Z, rotary 1, rotary 2, I, J, K; 0 for none.
    char incrementalLetters[8] = {};
    // Label strings of X, Y, Z, rotary 1, rotary 2: a tab, the letter, a NUL.
    char labels[5][3] = {
        {'\t', 'X', 0}, {'\t', 'Y', 0}, {'\t', 'Z', 0}, {'\t', ' ', 0}, {'\t', ' ', 0}};
    // Signed program plane (17, 18, 19) lying on the machine planes XY, ZX and YZ.
    std::int32_t planeCodes[3] = {17, 18, 19};
    // Machine axes of the program's first plane axis, second plane axis and normal.
    std::int32_t programXyAxes[3] = {0, 1, 2};
    // The machine axis along which tool lengths are applied.
    std::int32_t toolLengthAxis = 2;
};

// Letter keywords of the controller file, in their test order among the controller keywords.
// Each returns 1 when the line starts with one of its keywords (the line is then taken, whether
// or not its value was usable), else 0. A value that is not an ASCII letter (a missing value,
// a line feed, a digit) leaves the letters unchanged.
//   "CHAR(X)" "CHAR(Y)" "CHAR(Z)" "X-CODE" "Y-CODE" "Z-CODE" "A-CODE" "B-CODE" "C-CODE"
int ApplyAxisCodeKeyword(const char* line, ControllerAxisLetters* letters);
//   "ROTARY1 CHAR" "ROTARY2 CHAR" "INC-X CHAR" ... "INC-K CHAR"
int ApplyRotaryAndIncrementalKeyword(const char* line, ControllerAxisLetters* letters);

// Label strings from the program letters and the rotary letters.
void FillAxisLabelStrings(ControllerAxisLetters* letters);

// Sign flag of a rotary axis from its letter: the A, B or C reversal flag, 0 for any other
// letter.
std::int32_t ResolveRotarySignFlag(const ControllerAxisLetters& letters, char rotaryLetter);

// Computes the three plane codes and, when a plane's code is 17 or -17, the program-XY triple.
void DeriveArcPlaneCodes(ControllerAxisLetters* letters);

// The plane choice of the NC interpreter for program plane P (17, 18, 19; any other value counts
// as 19): the first machine plane in the order XY, ZX, YZ whose code is P or -P gives its number
// with the sign of the match; when neither XY nor ZX matches, 19 when the YZ code equals P and -19
// otherwise. axes receives (0, 1, 2) for +-17, (2, 0, 1) for +-18, (1, 2, 0) for +-19; axes[2]
// is the plane's normal. Returns the signed plane.
std::int32_t SelectMachinePlane(const std::int32_t planeCodes[3], std::int32_t programPlane,
                                std::int32_t axes[3]);

}  // namespace mirexa
