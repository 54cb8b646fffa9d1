// The controller's axis letters and the plane codes derived from them.
#include "config/axis_letters.h"

#include "config/definition_keywords.h"

namespace mirexa {

namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The letter value behind a keyword: SkipBlanksAndEquals from the position, then one ASCII
// letter. Returns 0 when the value there is not a letter.
char ReadLetterValue(const char* line, LineCursor position) {
    const char c = line[FindValueStart(line, position)];
    return IsAsciiLetter(c) ? c : 0;
}

// "X-CODE" and its twins: the machine axis named by the value gets the keyword's coordinate and
// arc-centre letters; "-" before the axis reverses the program axis.
void ApplyAxisCode(const char* line, int programAxis, ControllerAxisLetters* letters) {
    static const char kCoordinate[3] = {'X', 'Y', 'Z'};
    static const char kArcCentre[3] = {'I', 'J', 'K'};
    LineCursor p = FindValueStart(line, 6);
    letters->reversed[programAxis] = 0;
    const bool negative = line[p] == '-';
    if (negative) {
        ++p;
    }
    const char c = ToUpperAscii(line[p]);
    const int machineAxis = c == 'X' ? 0 : c == 'Y' ? 1 : c == 'Z' ? 2 : -1;
    if (machineAxis < 0) {
        return;
    }
    letters->coordinateLetters[machineAxis] = kCoordinate[programAxis];
    letters->arcCentreLetters[machineAxis] = kArcCentre[programAxis];
    letters->reversed[programAxis] = negative ? 1 : 0;
}

}  // namespace

int ApplyAxisCodeKeyword(const char* line, ControllerAxisLetters* letters) {
    static const char* const kCharKeywords[3] = {"CHAR(X)", "CHAR(Y)", "CHAR(Z)"};
    for (int axis = 0; axis < 3; ++axis) {
        if (StartsWithKeyword(line, kCharKeywords[axis])) {
            if (const char letter = ReadLetterValue(line, 7)) {
                letters->programLetters[axis] = letter;
                letters->coordinateLetters[axis] = letter;
            }
            return 1;
        }
    }
    static const char* const kCodeKeywords[3] = {"X-CODE", "Y-CODE", "Z-CODE"};
    for (int axis = 0; axis < 3; ++axis) {
        if (StartsWithKeyword(line, kCodeKeywords[axis])) {
            ApplyAxisCode(line, axis, letters);
            return 1;
        }
    }
    static const char* const kRotaryKeywords[3] = {"A-CODE", "B-CODE", "C-CODE"};
    static const char* const kReversedWords[3] = {"-A", "-B", "-C"};
    for (int k = 0; k < 3; ++k) {
        if (StartsWithKeyword(line, kRotaryKeywords[k])) {
            if (MatchWordAt(line, FindValueStart(line, 6), kReversedWords[k])) {
                letters->reversed[3 + k] = 1;
            }
            return 1;
        }
    }
    return 0;
}

int ApplyRotaryAndIncrementalKeyword(const char* line, ControllerAxisLetters* letters) {
    struct LetterKeyword {
        const char* keyword;
        LineCursor cursor;
        char* target;
    };
    const LetterKeyword table[] = {
        {"ROTARY1 CHAR", 12, &letters->rotaryLetters[0]},
        {"ROTARY2 CHAR", 12, &letters->rotaryLetters[1]},
        {"INC-X CHAR", 10, &letters->incrementalLetters[0]},
        {"INC-Y CHAR", 10, &letters->incrementalLetters[1]},
        {"INC-Z CHAR", 10, &letters->incrementalLetters[2]},
        {"INC-ROTARY1 CHAR", 16, &letters->incrementalLetters[3]},
        {"INC-ROTARY2 CHAR", 16, &letters->incrementalLetters[4]},
        {"INC-I CHAR", 10, &letters->incrementalLetters[5]},
        {"INC-J CHAR", 10, &letters->incrementalLetters[6]},
        {"INC-K CHAR", 10, &letters->incrementalLetters[7]},
    };
    for (const LetterKeyword& entry : table) {
        if (StartsWithKeyword(line, entry.keyword)) {
            // Blanks and "=" between the keyword and the letter are passed over for the
            // incremental letters too, as for every other letter keyword.
            if (const char letter = ReadLetterValue(line, entry.cursor)) {
                *entry.target = letter;
            }
            return 1;
        }
    }
    return 0;
}

void FillAxisLabelStrings(ControllerAxisLetters* letters) {
    const char source[5] = {letters->programLetters[0], letters->programLetters[1],
                            letters->programLetters[2], letters->rotaryLetters[0],
                            letters->rotaryLetters[1]};
    for (int i = 0; i < 5; ++i) {
        letters->labels[i][0] = '\t';
        letters->labels[i][1] = source[i];
        letters->labels[i][2] = '\0';
    }
}

std::int32_t ResolveRotarySignFlag(const ControllerAxisLetters& letters, char rotaryLetter) {
    switch (rotaryLetter) {
        case 'A':
            return letters.reversed[3];
        case 'B':
            return letters.reversed[4];
        case 'C':
            return letters.reversed[5];
        default:
            return 0;
    }
}

void DeriveArcPlaneCodes(ControllerAxisLetters* letters) {
    // Machine planes XY, ZX, YZ with their two axes in order.
    static const int kPlaneAxes[3][2] = {{0, 1}, {2, 0}, {1, 2}};
    static const std::int32_t kTriples[3][3] = {{0, 1, 2}, {2, 0, 1}, {1, 2, 0}};
    const char x = letters->programLetters[0];
    const char y = letters->programLetters[1];
    const char z = letters->programLetters[2];
    const int r[3] = {1 - 2 * letters->reversed[0], 1 - 2 * letters->reversed[1],
                      1 - 2 * letters->reversed[2]};
    const int factors[3] = {r[0] * r[1], r[2] * r[0], r[2] * r[1]};
    for (int plane = 0; plane < 3; ++plane) {
        const char lp = letters->coordinateLetters[kPlaneAxes[plane][0]];
        const char lq = letters->coordinateLetters[kPlaneAxes[plane][1]];
        std::int32_t code = -19;
        if (lp == x && lq == y) {
            code = 17;
        } else if (lp == y && lq == x) {
            code = -17;
        } else if (lp == z && lq == x) {
            code = 18;
        } else if (lp == x && lq == z) {
            code = -18;
        } else if (lp == y && lq == z) {
            code = 19;
        }
        code *= factors[plane];
        letters->planeCodes[plane] = code;
        if (code == 17 || code == -17) {
            for (int i = 0; i < 3; ++i) {
                letters->programXyAxes[i] = kTriples[plane][i];
            }
        }
    }
}

std::int32_t SelectMachinePlane(const std::int32_t planeCodes[3], std::int32_t programPlane,
                                std::int32_t axes[3]) {
    const std::int32_t p = (programPlane == 17 || programPlane == 18) ? programPlane : 19;
    std::int32_t plane = 0;
    if (planeCodes[0] == p || planeCodes[0] == -p) {
        plane = planeCodes[0] == p ? 17 : -17;
    } else if (planeCodes[1] == p || planeCodes[1] == -p) {
        plane = planeCodes[1] == p ? 18 : -18;
    } else {
        plane = planeCodes[2] == p ? 19 : -19;
    }
    const std::int32_t magnitude = plane < 0 ? -plane : plane;
    axes[0] = magnitude == 17 ? 0 : magnitude == 18 ? 2 : 1;
    axes[1] = magnitude == 17 ? 1 : magnitude == 18 ? 0 : 2;
    axes[2] = magnitude == 17 ? 2 : magnitude == 18 ? 1 : 0;
    return plane;
}

}  // namespace mirexa
