// The block interpreter: the word loop over one NC line and the effect of each word as it is met.
#include "nc/block_interpreter.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "geometry/machine_kinematics.h"
#include "nc/block_end.h"
#include "nc/coordinate_transforms.h"
#include "nc/cutter_compensation.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_words.h"
#include "nc/sub_moves.h"

namespace mirexa {

namespace {

// A G code as read: the integer and its decimal form (0 for none, 1 for ".1" ...), or -1 for a
// decimal part the interpreter does not list.
struct GWord {
    int number = {};
    int decimal = {};
};

// Reads the G number at the cursor. The text right behind the integer (trailing blanks removed)
// gives the decimal form: "." alone or ".0" is none, ".1" to ".9" the form, anything else -1.
// "G54 .1" (a blank between) has no decimal form.
GWord ReadGWord(int* cursor, const char* line) {
    GWord g;
    const int start = *cursor;
    g.number = ReadWordInteger(cursor, line);
    if (*cursor <= start) {
        return g;
    }
    int i = start;
    while (line[i] == ' ' || line[i] == '\t') {
        ++i;
    }
    if (line[i] == '+' || line[i] == '-') {
        ++i;
    }
    while (line[i] >= '0' && line[i] <= '9') {
        ++i;
    }
    const int end = start + SkipTrailingBlanks(*cursor - start, line + start);
    if (i >= end || line[i] != '.') {
        return g;
    }
    const int length = end - i;  // the decimal text with its point
    if (length == 1 || (length == 2 && line[i + 1] == '0')) {
        return g;
    }
    if (length == 2 && line[i + 1] >= '1' && line[i + 1] <= '9') {
        g.decimal = line[i + 1] - '0';
    } else {
        g.decimal = -1;
    }
    return g;
}

// Decimal forms the interpreter knows.
bool IsListedDecimal(int number, int decimal) {
    switch (decimal) {
        case 1:
            return number == 7 || number == 12 || number == 13 || number == 50 || number == 51 ||
                   number == 53 || number == 54;
        case 2:
            return number == 6 || number == 68;
        case 4:
        case 5:
            return number == 43;
        default:
            return false;
    }
}

int AxisOfLetter(char c, const char* letters, int count) {
    if (c == ' ' || c == '\0') {
        return -1;
    }
    for (int i = 0; i < count; ++i) {
        if (letters[i] == c) {
            return i;
        }
    }
    return -1;
}

// 1 when a centre letter (I, J, K as configured) stands in the rest of the line outside
// comments.
bool RestHoldsCentreWord(int cursor, const char* line) {
    bool comment = false;
    for (int i = cursor; line[i] != '\0'; ++i) {
        const char c = line[i];
        if (c == '(') {
            comment = true;
        } else if (c == ')') {
            comment = false;
        } else if (!comment && AxisOfLetter(c, NcController.centreLetter, 3) >= 0) {
            return true;
        }
    }
    return false;
}

double ReadOffsetValue(const float* table, int index) {
    return (table != nullptr && index >= 0 && index < kToolOffsetEntries) ? table[index] : 0.0;
}

// The effective length of offset number h: H offset plus wear, with the holder offset in the
// ARBOR-TOP mode.
double LengthOfOffset(int h) {
    const NcOffsetMemoryView& memory = NcController.offsets;
    return ReadOffsetValue(memory.hOffset, h) + ReadOffsetValue(memory.hWear, h);
}

void SetLengthOffset(double value) {
    CurrentToolValues.lengthOffset = value;
}

double HolderOffset() {
    return NcController.toolBasePoint == 4 ? NcController.toolHolderOffset : 0.0;
}

// The length axis that G17 to G19 (and G43/G44) choose by the LENGTH OFFSET TYPE.
void SelectLengthAxis(int atLengthCode) {
    switch (NcController.lengthOffsetType) {
        case 0:
            KinematicsMode.lengthCompensationAxis = NcController.programXyNormal;
            break;
        case 1:
            KinematicsMode.lengthCompensationAxis = NcRun.modal.plane.normal;
            break;
        default:
            if (atLengthCode) {
                KinematicsMode.lengthCompensationAxis = 2;
                NcRun.block.lengthAxisFromWord = 1;
            }
            break;
    }
}

void CancelLengthCompensation() {
    NcModalState& modal = NcRun.modal;
    if (NcController.g49Mode && modal.lengthCompensation != 0) {
        modal.lengthCancelState = 1;
    }
    modal.lengthCompensation = 0;
    SetLengthOffset(0.0);
    if (modal.toolCenterPointMode != 0 && NcController.toolCenterControl == 0) {
        modal.toolCenterPointMode = 0;
        ResetPositionsToStartPoint();
    }
}

void MarkUsed(unsigned char* table, int code) {
    if (UsedCodes.recording && code >= 0 && code < kUsedCodeFlags) {
        table[code] = 1;
    }
}

class BlockScanner {
public:
    explicit BlockScanner(const char* line) : line_(line) {}
    void Run();

private:
    char At(int i) const {
        return line_[i];
    }
    void HandleG();
    void HandleG54(int number, int decimal);
    void HandleM();
    void HandleT();
    void HandleAxis(int axis, bool alwaysIncremental);
    void HandleRotary(int index, bool alwaysIncremental);
    void PlaceAxisValue(int axis, double value, bool alwaysIncremental);
    void HandleCentre(int axis);
    void HandleFeed();
    void HandleLengthNumber();
    void HandleRadiusNumber();
    void HandleP();
    void HandleQ();
    void HandleL();
    void HandleR();
    bool MatchUserCode();
    void SkipComment();

    const char* line_;
    int cursor_ = 0;
    int end_ = 0;
};

void BlockScanner::Run() {
    end_ = static_cast<int>(std::strlen(line_));
    if (NcController.siemens || NcController.heidenhain) {
        const char* semicolon = std::strchr(line_, ';');
        if (semicolon != nullptr) {
            end_ = static_cast<int>(semicolon - line_);
        }
    }
    const NcControllerView& c = NcController;
    while (cursor_ < end_ && !NcRun.block.stopScan) {
        if (MatchUserCode()) {
            continue;
        }
        const char letter = At(cursor_);
        if (letter == '(') {
            SkipComment();
            continue;
        }
        const int axis = AxisOfLetter(letter, c.axisLetter, 3);
        const int incremental = AxisOfLetter(letter, c.incrementalLetter, 5);
        const int centre = AxisOfLetter(letter, c.centreLetter, 3);
        const int rotary = c.rotaryType != 0 ? AxisOfLetter(letter, c.rotaryLetter, 2) : -1;
        ++cursor_;
        if (letter == 'G') {
            HandleG();
        } else if (letter == 'M') {
            HandleM();
        } else if (letter == 'T') {
            HandleT();
        } else if (axis >= 0) {
            HandleAxis(axis, false);
        } else if (incremental >= 0 && incremental < 3) {
            HandleAxis(incremental, true);
        } else if (incremental >= 3) {
            HandleRotary(incremental - 3, true);
        } else if (letter == 'K' && NcRun.modal.cycleCode != kNoCycle &&
                   NcRun.modal.toolCenterPointMode == 0) {
            const int k = ReadWordInteger(&cursor_, line_);
            if (k >= 0) {
                NcRun.modal.cycleRepeat = k == 0 ? (c.ignoreK0 ? 1 : 0) : k;
            }
        } else if (centre >= 0) {
            HandleCentre(centre);
        } else if (letter == 'F') {
            HandleFeed();
        } else if (letter == 'S') {
            // A speed beyond the int range saturates (rpm); no number gives 0.
            const double speed = ReadWordReal(&cursor_, line_);
            NcRun.modal.spindleSpeed = !(speed == speed)  ? 0
                                       : speed >= INT_MAX ? INT_MAX
                                       : speed <= INT_MIN ? INT_MIN
                                                          : static_cast<int>(speed);
        } else if (letter == 'O') {
            NcRun.modal.programNumberWord = ReadWordInteger(&cursor_, line_);
        } else if (letter == 'N') {
            NcRun.modal.sequenceNumber = ReadWordInteger(&cursor_, line_);
        } else if (letter == 'W' && NcRun.modal.gCode == 8110) {
            NcRun.block.offsetWithTableEntry = ReadWordInteger(&cursor_, line_);
        } else if (letter == 'D') {
            HandleRadiusNumber();
        } else if (letter == 'H') {
            HandleLengthNumber();
        } else if (letter == 'P') {
            HandleP();
        } else if (letter == 'Q') {
            HandleQ();
        } else if (letter == 'L') {
            HandleL();
        } else if (letter == 'R') {
            HandleR();
        } else if (rotary >= 0) {
            HandleRotary(rotary, false);
        }
        // Any other character (blank, "/", ";", lower-case text, unknown letters) is passed
        // over: the letters leave their value text, which the next round skips too.
    }
}

void BlockScanner::SkipComment() {
    const char* close = std::strchr(line_ + cursor_, ')');
    cursor_ = close != nullptr ? static_cast<int>(close - line_) + 1 : end_;
}

bool BlockScanner::MatchUserCode() {
    const NcControllerView& c = NcController;
    const char* here = line_ + cursor_;
    const auto matches = [&](const std::string& code) {
        return !code.empty() && std::strncmp(here, code.c_str(), code.size()) == 0;
    };
    for (int k = 0; k < 2; ++k) {
        if (matches(c.latheOnCode[k])) {
            NcRun.userSwitch[k] = 1;
            cursor_ += static_cast<int>(c.latheOnCode[k].size());
            return true;
        }
        if (matches(c.latheOffCode[k])) {
            NcRun.userSwitch[k] = 0;
            cursor_ += static_cast<int>(c.latheOffCode[k].size());
            return true;
        }
    }
    if (matches(c.cutOnCode)) {
        NcRun.cuttingEnabled = 1;
        cursor_ += static_cast<int>(c.cutOnCode.size());
        return true;
    }
    if (matches(c.cutOffCode)) {
        NcRun.cuttingEnabled = 0;
        cursor_ += static_cast<int>(c.cutOffCode.size());
        return true;
    }
    return false;
}

void BlockScanner::HandleG() {
    const GWord g = ReadGWord(&cursor_, line_);
    NcModalState& modal = NcRun.modal;
    NcBlockState& block = NcRun.block;
    MotionRecord& m = CurrentMotion;
    MarkUsed(UsedCodes.g, g.number);
    if (g.decimal != 0 && !IsListedDecimal(g.number, g.decimal)) {
        // An unlisted decimal form (G91.1, G90.1, G41.1, G92.1 ...) is an unknown code: it is
        // stored and otherwise ignored, never read as its integer part.
        const bool storable = g.decimal > 0 && g.number >= 0 && g.number < 100000;
        modal.gCode = storable ? g.number * 10 + g.decimal : -1;
        return;
    }
    const int n = g.number;
    modal.gCode = g.decimal > 0 ? n * 10 + g.decimal : n;
    const bool plain = NcController.dialect == kDialectNormal;
    switch (n) {
        case 0:
        case 1:
        case 2:
        case 3:
            m.motionType = n;
            if ((n == 2 || n == 3) && modal.planeCode < 0) {
                m.motionType = 5 - n;
            }
            modal.cycleCode = kNoCycle;
            break;
        case 4:
            if (plain) {
                block.dwellBlock = 1;
                const char* p = std::strpbrk(line_ + cursor_, "PX");
                if (p != nullptr) {
                    const int at = static_cast<int>(p - line_) + 1;
                    modal.dwellTime = ReadWordMilliAlways(&at, line_);
                }
            }
            break;
        case 6:
            // NURBS block (G06.2): the NURBS reader takes the rest of the line.
            m.motionType = kMotionNurbs;
            block.stopScan = 1;
            break;
        case 7:
            modal.cylindricalInterpolation = 1;
            break;
        case 10:
            if (plain) {
                block.dataSetting = 1;
            }
            break;
        case 12:
        case 13:
            if (plain) {
                modal.polarInterpolation = n == 12 ? 1 : 2;
            }
            break;
        case 17:
        case 18:
        case 19:
            modal.planeCode = n;
            SelectPlaneAxes();
            SelectLengthAxis(0);
            break;
        case 27:
            modal.referenceReturnMode = 3;
            break;
        case 28:
        case 30:
            modal.referenceReturnMode = 1;
            modal.referencePointIndex = n == 28 ? 0 : 1;
            break;
        case 29:
            modal.referenceReturnMode = 2;
            break;
        case 39:
            NcRun.compensation.cornerArcRequest = 1;
            break;
        case 40:
            modal.compensationSide = 0;
            if (NcRun.compensationPhase == 1) {
                NcRun.compensationPhase = 2;
            }
            break;
        case 41:
        case 42:
            modal.compensationSide = (n == 41 ? 1 : -1) * (modal.planeCode < 0 ? -1 : 1);
            if (NcRun.compensationPhase == 0) {
                NcRun.compensationPhase = 1;
            }
            SetCompensationSide(modal.compensationSide);
            break;
        case 43:
        case 44:
            if (!plain) {
                break;
            }
            if (g.decimal == 4 || g.decimal == 5) {
                if (NcController.rotaryType != 0 && NcController.toolCenterControl == 0) {
                    modal.toolCenterPointMode = g.decimal == 4 ? 1 : 2;
                }
                break;
            }
            block.lengthCodeSeen = 1;
            modal.lengthCompensation = n == 43 ? 1 : -1;
            SetLengthOffset(modal.lengthCompensation *
                            (LengthOfOffset(modal.lengthOffsetNumber) + HolderOffset()));
            SelectLengthAxis(1);
            break;
        case 49:
            if (plain) {
                CancelLengthCompensation();
            }
            break;
        case 50:
            if (plain && g.decimal == 1) {
                block.mirrorBlock = -1;
            } else {
                NcRun.transforms.scaling = 0;
            }
            break;
        case 51:
            if (plain && g.decimal == 1) {
                block.mirrorBlock = 1;
            } else if (plain) {
                NcTransformState& t = NcRun.transforms;
                block.scalingBlock = 1;
                t.scalingCommon = 0;
                for (int i = 0; i < 3; ++i) {
                    t.scaleCentre[i] = m.end.axis[i];
                    t.scaleFactor[i] = NcController.scaleFactor[i];
                }
            }
            break;
        case 52:
            if (plain) {
                block.localCoordinateBlock = 1;
            }
            break;
        case 53:
            if (plain && g.decimal == 1) {
                if (NcRun.transforms.tiltedPlaneReady) {
                    CurrentWorkPlane.active = 1;
                }
            } else if (plain) {
                block.machineCoordinateBlock = 1;
            }
            break;
        case 54:
        case 55:
        case 56:
        case 57:
        case 58:
        case 59:
            if (plain) {
                HandleG54(n, g.decimal);
            }
            break;
        case 65:
        case 66:
        case 67:
            block.stopScan = 1;
            break;
        case 68:
            if (!plain) {
                break;
            }
            if (g.decimal == 2) {
                block.tiltedPlaneBlock = 1;
                CurrentWorkPlane.mode = 0;
            } else {
                block.rotationBlock = 1;
                BeginCoordinateRotation(RestHoldsCentreWord(cursor_, line_));
            }
            break;
        case 69:
            if (plain) {
                CurrentWorkPlane.active = 0;
                if (NcRun.transforms.rotationCount > 0) {
                    NcRun.transforms.transformState = 3;
                }
            }
            break;
        case 90:
        case 91:
            modal.incremental = n == 91 ? 1 : 0;
            break;
        case 92:
            block.coordinateSettingBlock = 1;
            break;
        case 98:
        case 99:
            modal.returnLevel = n == 98 ? 1 : 0;
            break;
        case 107:
            modal.cylindricalInterpolation = 1;
            break;
        case 132:
            if (!NcController.osp) {
                m.motionType = kMotionNurbs;
                block.stopScan = 1;
            }
            break;
        case 254:
            CurrentWorkPlane.mode = 3;
            block.tiltedPlaneBlock = 1;
            break;
        case 255:
            CurrentWorkPlane.active = 0;
            CurrentWorkPlane.mode = 0;
            break;
        case 8110:
            block.offsetWithTableEntry = -1;
            break;
        default:
            if (n >= 70 && n <= 89) {
                if (NcController.heidenhain) {
                    modal.heidenhainCycleCode = n;
                } else if (n == 73 || n == 74 || n == 76 || (n >= 81 && n <= 89)) {
                    modal.cycleCode = n;
                    modal.cycleIncremental = modal.incremental;
                    modal.cycleInitialLevel = m.start.axis[modal.plane.normal];
                    modal.cycleRepeat = 1;
                } else {
                    modal.cycleCode = kNoCycle;
                }
            }
            break;
    }
}

void BlockScanner::HandleG54(int number, int decimal) {
    int i = cursor_;
    while (At(i) == ' ' || At(i) == '\t') {
        ++i;
    }
    int entry = number - 53;
    if (number == 54 && At(i) == 'P') {
        int at = i + 1;
        const int p = ReadWordInteger(&at, line_);
        cursor_ = at;
        // G54.1 P1 .. P194 are entries 7 .. 200; any other P is refused.
        if (p < 1 || p > kWorkOffsetEntries - 7) {
            return;
        }
        entry = p + 6;
    } else if (number == 54 && decimal == 1) {
        // G54.1 without P counts only when the ".1" stands directly before the next word.
        const char before = At(cursor_ - 1);
        entry = (before != ' ' && before != '\t') ? 7 : 1;
    }
    ChangeWorkOffset(entry);
}

void BlockScanner::HandleM() {
    int digitsEnd = cursor_;
    while (At(digitsEnd) >= '0' && At(digitsEnd) <= '9') {
        ++digitsEnd;
    }
    const int n = ReadWordInteger(&cursor_, line_);
    NcModalState& modal = NcRun.modal;
    NcBlockState& block = NcRun.block;
    if (NcRun.block.tiltedPlaneBlock && NcController.dialect == kDialectNormal) {
        block.tiltedSource = n;
        return;
    }
    MarkUsed(UsedCodes.m, n);
    modal.mCode = n;
    for (size_t k = 0; k < NcController.waitMCodes.size(); ++k) {
        if (NcController.waitMCodes[k].code == n) {
            NcRun.waitMCode = static_cast<int>(k);
        }
    }
    switch (n) {
        case 3:
            modal.spindleDirection = 1;
            break;
        case 4:
            modal.spindleDirection = -1;
            break;
        case 5:
            modal.spindleDirection = 0;
            break;
        case 6:
            if (NcController.toolChangeRouteSteps > 0) {
                PrepareToolChangeMoves();
            }
            break;
        case 2:
        case 30:
            if (NcController.runTypeMemory) {
                MarkProgramEnd();
                block.stopScan = 1;
            }
            break;
        case 98:
        case 198:
            if (At(digitsEnd) == '<' && NcController.dialect == kDialectNormal) {
                // M98<NAME>: the name begins with a letter and ends before ">".
                cursor_ = digitsEnd;
                const char* name = line_ + cursor_ + 1;
                const char* close = std::strchr(name, '>');
                const bool letter =
                    (*name >= 'A' && *name <= 'Z') || (*name >= 'a' && *name <= 'z');
                if (close != nullptr && letter) {
                    OpenSubprogramByName(name, static_cast<int>(close - name));
                    cursor_ = static_cast<int>(close - line_) + 1;
                }
            } else {
                block.subprogramCall = n;
            }
            break;
        case 99:
            if (ReturnFromSubprogram()) {
                block.stopScan = 1;
            }
            break;
        default:
            break;
    }
}

void BlockScanner::HandleT() {
    const int t = ReadWordInteger(&cursor_, line_);
    NcModalState& modal = NcRun.modal;
    const NcControllerView& c = NcController;
    const int digits = c.directToolDigits;
    if (digits >= 1 && digits <= 8) {
        int scale = 1;
        for (int i = 0; i < digits; ++i) {
            scale *= 10;
        }
        const int tool = t / scale, offset = t % scale;
        if (t < 0 || tool > c.magazineCount || offset >= kToolOffsetEntries) {
            return;
        }
        NcRun.block.toolWordSeen = 1;
        modal.toolNumber = t;
        modal.nextTool = tool;
        NcRun.toolChange.lastToolWord = tool;
        modal.lengthOffsetNumber = offset;
        if (offset != 0) {
            modal.toolNumber = tool;
            modal.lengthCompensation = 1;
            SetLengthOffset(LengthOfOffset(offset) + HolderOffset());
            SelectLengthAxis(0);
        } else if (!c.autoLengthOffset) {
            if (c.g49Mode && modal.lengthCompensation != 0) {
                modal.lengthCancelState = 1;
            }
            modal.lengthCompensation = 0;
            SetLengthOffset(0.0);
        }
        return;
    }
    // A tool number outside the magazine would index past the tool tables: refused.
    if (t < 0 || t > c.magazineCount) {
        return;
    }
    if (c.mazak && t == 0 && NcRun.block.toolWordSeen) {
        return;
    }
    NcRun.block.toolWordSeen = 1;
    modal.toolNumber = t;
    modal.nextTool = t;
    NcRun.toolChange.lastToolWord = t;
    if (c.toolChangeRouteSteps > 0) {
        PrepareToolChangeMoves();
    }
}

void BlockScanner::HandleAxis(int axis, bool alwaysIncremental) {
    double value = ReadWordCoordinate(&cursor_, line_);
    if (NcController.axisReversed[axis]) {
        value = -value;
    }
    NcBlockState& block = NcRun.block;
    if (block.dwellBlock && axis == 0) {
        return;  // G04 X: the dwell, read with the G04
    }
    if (block.lengthAxisFromWord) {
        KinematicsMode.lengthCompensationAxis = axis;
        block.lengthAxisFromWord = 0;
    }
    PlaceAxisValue(axis, value, alwaysIncremental);
}

void BlockScanner::HandleRotary(int index, bool alwaysIncremental) {
    const NcControllerView& c = NcController;
    double value = 0.0;
    if (NcWords.inputUnitMode == 3) {
        value = ReadWordReal(&cursor_, line_);
    } else {
        value = ReadWordScaled(&cursor_, line_, c.angleIncrement);
        cursor_ = FindWordEnd(cursor_, line_);
    }
    if (c.rotaryReversed[index]) {
        value = -value;
    }
    if (NcRun.block.tiltedPlaneBlock) {
        NcRun.block.tiltedRotaryGiven[index] = 1;
    }
    PlaceAxisValue(3 + index, value, alwaysIncremental);
}

// Puts an axis value (axis 0..4, sign applied) where the block's G codes direct it.
void BlockScanner::PlaceAxisValue(int axis, double value, bool alwaysIncremental) {
    NcModalState& modal = NcRun.modal;
    NcBlockState& block = NcRun.block;
    NcTransformState& t = NcRun.transforms;
    MotionRecord& m = CurrentMotion;
    double* programmed = NcRun.programmed.axis;
    const bool incremental = alwaysIncremental || modal.incremental;
    block.axisWordSeen = 1;
    block.axisNamed[axis] = 1;
    if (modal.lengthCancelState == 1 && modal.gCode != 49) {
        modal.lengthCancelState = 2;
    }
    if (block.dataSetting) {
        block.dataValue[axis] = value;
        block.dataNamed[axis] = 1;
        return;
    }
    if (block.localCoordinateBlock) {
        const int index = modal.workOffsetIndex;
        if (index >= 0 && index < kWorkOffsetEntries) {
            t.localShift[index].axis[axis] =
                value + (incremental ? t.localShift[index].axis[axis] : 0.0);
        }
        return;
    }
    if (block.machineCoordinateBlock) {
        m.end.axis[axis] = value - WorkOrigin.axis[axis];
        programmed[axis] = m.end.axis[axis];
        return;
    }
    if (block.scalingBlock && axis < 3) {
        t.scaleCentre[axis] = value + (incremental ? programmed[axis] : 0.0);
        return;
    }
    if (block.mirrorBlock != 0 && axis < 3) {
        t.mirror[axis] = block.mirrorBlock > 0 ? 1 : 0;
        t.mirrorCentre[axis] = value + (incremental ? programmed[axis] : 0.0);
        return;
    }
    if (block.tiltedPlaneBlock && axis < 3) {
        CurrentWorkPlane.origin[axis] = value;
        return;
    }
    if (block.rotationBlock && t.transformState == 1 && axis < 3) {
        t.pendingRotation.centre[axis] = value + (incremental ? programmed[axis] : 0.0);
        return;
    }
    if (block.coordinateSettingBlock) {
        programmed[axis] = value;
        m.end.axis[axis] = value;
        return;
    }
    if (modal.cycleCode != kNoCycle && axis == modal.plane.normal) {
        // Inside a canned cycle the drilling-axis word is the hole bottom (an increment from the
        // R level under incremental data); the block moves only in the plane.
        modal.cycleDepthWord = value;
        return;
    }
    if (incremental) {
        value += programmed[axis];
    }
    if (modal.referenceReturnMode != 0 && modal.referenceReturnMode != 3) {
        // G28/G30: the intermediate point; G29: the target. The step driver makes the legs.
        programmed[axis] = value;
        if (modal.referenceReturnMode == 2) {
            NcRun.reference.g29Target.axis[axis] = value;
            NcRun.reference.g29Named[axis] = 1;
        } else {
            NcRun.reference.intermediate.axis[axis] = value;
            NcRun.reference.intermediateNamed[axis] = 1;
        }
        return;
    }
    programmed[axis] = value;
    if (axis == 0 && modal.diameterProgramming && !NcController.osp) {
        value /= 2.0;
    }
    if (axis < 3 && modal.gCode != 92) {
        ScaleAxisValue(axis, &value);
    }
    m.end.axis[axis] = value;
}

void BlockScanner::HandleCentre(int axis) {
    NcBlockState& block = NcRun.block;
    NcTransformState& t = NcRun.transforms;
    if (block.scalingBlock) {
        t.scaleFactor[axis] = ReadWordScaled(&cursor_, line_, NcController.scaleIncrement);
        cursor_ = FindWordEnd(cursor_, line_);
        return;
    }
    if (block.tiltedPlaneBlock) {
        CurrentWorkPlane.planeAngles[axis] =
            NcWords.inputUnitMode == 3
                ? ReadWordReal(&cursor_, line_)
                : ReadWordScaled(&cursor_, line_, NcController.angleIncrement);
        cursor_ = FindWordEnd(cursor_, line_);
        return;
    }
    double value = ReadWordCoordinate(&cursor_, line_);
    if (block.rotationBlock && t.transformState == 1) {
        if (value != 0.0) {
            t.pendingRotation.kind = axis + 1;
        }
        return;
    }
    if (NcController.axisReversed[axis]) {
        value = -value;
    }
    if (t.scaling && t.scaleEnabled[axis]) {
        value *= t.scalingCommon ? t.scaleCommonFactor : t.scaleFactor[axis];
    }
    block.centreWord[axis] = value;
    block.centreWordSeen = 1;
    block.centreSource = 1;
}

void BlockScanner::HandleFeed() {
    const NcControllerView& c = NcController;
    const int start = cursor_;
    const double value = ReadWordReal(&cursor_, line_);
    const int textLength = cursor_ - start;
    const bool indexed = c.feedMode == 1 || (c.feedMode == 2 && textLength <= 1) ||
                         (c.feedMode == 3 && textLength <= 2);
    double feed = value;
    if (indexed) {
        const double index = std::trunc(value);
        // An index outside the feed memory would read past it: the word is refused.
        if (!(index >= 0 && index < kFeedMemoryEntries)) {
            return;
        }
        NcRun.modal.feedCode = static_cast<int>(index);
        feed = c.offsets.feedMemory != nullptr ? c.offsets.feedMemory[NcRun.modal.feedCode] : 0.0;
    }
    CurrentMotion.feed = feed;
    NcRun.modal.programmedFeed = feed;
}

void BlockScanner::HandleLengthNumber() {
    int h = ReadWordInteger(&cursor_, line_);
    if (h < 0) {
        return;  // a negative offset number is refused
    }
    if (h >= kToolOffsetEntries) {
        h = 0;
    }
    NcModalState& modal = NcRun.modal;
    modal.lengthOffsetNumber = h;
    if (h == 0) {
        if (!NcController.autoLengthOffset) {
            SetLengthOffset(0.0);
        }
        return;
    }
    SetLengthOffset(modal.lengthCompensation * (LengthOfOffset(h) + HolderOffset()));
}

void BlockScanner::HandleRadiusNumber() {
    int d = ReadWordInteger(&cursor_, line_);
    if (d < 0) {
        return;
    }
    NcRun.modal.radiusOffsetNumber = d >= kToolOffsetEntries ? 0 : d;
    UpdateCompensationRadius();
}

void BlockScanner::HandleP() {
    NcModalState& modal = NcRun.modal;
    NcBlockState& block = NcRun.block;
    if (block.scalingBlock) {
        NcRun.transforms.scaleCommonFactor =
            ReadWordScaled(&cursor_, line_, NcController.scaleIncrement);
        NcRun.transforms.scalingCommon = 1;
        cursor_ = FindWordEnd(cursor_, line_);
        return;
    }
    if (block.dataSetting) {
        block.dataSettingEntry = ReadWordInteger(&cursor_, line_);
        return;
    }
    if (modal.cycleCode != kNoCycle || block.dwellBlock) {
        modal.dwellTime = ReadWordMilliAlways(&cursor_, line_);
        cursor_ = FindWordEnd(cursor_, line_);
        return;
    }
    if (block.subprogramCall != 0) {
        const int number = ReadWordInteger(&cursor_, line_);
        if (block.subprogramCall == 98) {
            EnterSubprogramFromMemory(number);
        } else {
            OpenSubprogramByNumber(number);
        }
        block.stopScan = 1;
        return;
    }
    if (modal.referenceReturnMode == 1 && modal.gCode == 30) {
        const int p = ReadWordInteger(&cursor_, line_);
        // Only the four reference points exist: P1 to P4.
        if (p >= 1 && p <= kReferencePoints) {
            modal.referencePointIndex = p - 1;
        }
        return;
    }
    modal.dwellTime = ReadWordMilliAlways(&cursor_, line_);
    cursor_ = FindWordEnd(cursor_, line_);
}

void BlockScanner::HandleQ() {
    NcBlockState& block = NcRun.block;
    if (block.tiltedPlaneBlock) {
        block.tiltedTarget = ReadWordInteger(&cursor_, line_);
        return;
    }
    NcRun.modal.cyclePeck = ReadWordCoordinate(&cursor_, line_);
}

void BlockScanner::HandleL() {
    NcBlockState& block = NcRun.block;
    if (block.dataSetting) {
        block.dataSettingKind = ReadWordInteger(&cursor_, line_);
        return;
    }
    const int l = ReadWordInteger(&cursor_, line_);
    if (l < 0) {
        return;
    }
    if (l == 0 && NcRun.modal.cycleCode != kNoCycle) {
        NcRun.modal.cycleRepeat = NcController.ignoreL0 ? 1 : 0;
    } else {
        NcRun.modal.cycleRepeat = l;
    }
}

void BlockScanner::HandleR() {
    NcBlockState& block = NcRun.block;
    NcModalState& modal = NcRun.modal;
    if (block.rotationBlock && NcRun.transforms.transformState == 1) {
        NcRun.transforms.pendingRotation.angle =
            ReadWordScaled(&cursor_, line_, NcController.angleIncrement);
        cursor_ = FindWordEnd(cursor_, line_);
        return;
    }
    const double value = ReadWordCoordinate(&cursor_, line_);
    if (block.dataSetting) {
        block.dataRadius = value;
        block.dataRadiusSeen = 1;
        return;
    }
    if (modal.cycleCode != kNoCycle) {
        modal.cycleRWord = value;  // the cycle expansion takes the level from it
        return;
    }
    block.radiusWord = value;
    block.centreSource = 2;
}

}  // namespace

void ClearBlockWords() {
    NcModalState& modal = NcRun.modal;
    modal.gCode = 0;
    modal.toolNumber = 0;
    modal.spindleSpeed = 0;
    modal.sequenceNumber = 0;
    modal.programNumberWord = 0;
    modal.mCode = -1;
    modal.cycleRepeat = 1;
}

void PublishKinematicsModes() {
    const NcModalState& modal = NcRun.modal;
    KinematicsModeFlags& k = KinematicsMode;
    k.lengthCompensation = modal.lengthCompensation != 0 ? 1 : 0;
    k.incrementalMode = modal.incremental;
    k.polarInterpolation = modal.polarInterpolation == 1 ? 1 : 0;
    k.cylindricalInterpolation = modal.cylindricalInterpolation;
    k.machineCoordinateMove = NcRun.block.machineCoordinateBlock;
    k.lastGCode = modal.gCode;
    k.toolCenterControl = modal.toolCenterPointMode;
    k.planeCoordinates = CurrentWorkPlane.active;
    k.automaticToolOffset = NcController.automaticToolOffset;
}

void InterpretNcBlock(const char* line) {
    MotionRecord& m = CurrentMotion;
    m.start = m.end;
    const int keepCentre = NcController.heidenhain;
    const NcBlockState previous = NcRun.block;
    NcRun.block = NcBlockState{};
    // WAIT2: the T words of earlier blocks prepare the tool that an M06 of this block mounts; a
    // T word of this block prepares the next one.
    NcRun.toolChange.stagedTool = NcRun.toolChange.lastToolWord;
    if (keepCentre) {
        for (int i = 0; i < 3; ++i) {
            NcRun.block.centreWord[i] = previous.centreWord[i];
        }
    }
    NcRun.waitMCode = -1;
    m.feed = NcRun.modal.programmedFeed;
    BlockScanner scanner(line);
    scanner.Run();
    CompleteNcBlock();
    PublishKinematicsModes();
}

}  // namespace mirexa
