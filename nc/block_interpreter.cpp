// The block interpreter: the word loop over one NC line and the effect of each word as it is met.
#include "nc/block_interpreter.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>

#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "geometry/vector_math.h"
#include "nc/block_end.h"
#include "nc/controller_dialects.h"
#include "nc/coordinate_transforms.h"
#include "nc/cutter_compensation.h"
#include "nc/kinematics_services.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_words.h"
#include "nc/nurbs_blocks.h"
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
                   number == 53 || number == 54 ||
                   (NcController.mazak && (number == 122 || number == 123));
        case 2:
            return number == 6 || number == 68;
        case 4:
        case 5:
            return number == 43;
        case 9:
            return number == 10 && NcController.mazak;
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
    if (modal.toolCenterPointMode != 0 && NcController.toolCenterControl == 0) {
        // The start point is the tool point moved back by the length offset still in force.
        modal.toolCenterPointMode = 0;
        ResetPositionsToStartPoint();
    }
    SetLengthOffset(0.0);
}

// Starts canned cycle n (73, 74, 76, 81 to 89): the initial level is the start on the drilling
// axis, the repeat count 1.
void StartCycle(int n) {
    NcModalState& modal = NcRun.modal;
    modal.cycleCode = n;
    modal.cycleIncremental = modal.incremental;
    modal.cycleInitialLevel = CurrentMotion.start.axis[modal.plane.normal];
    modal.cycleRepeat = 1;
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
    void HandleOspWorkOffsetWord(int h);
    void HandleOspTurningMode(int n);
    void HandleOspRotation(int n);
    void HandleRadiusNumber();
    void HandleP();
    void HandleQ();
    void HandleL();
    void HandleR();
    bool MatchUserCode();
    void SkipComment();
    // Dialect keywords and words at the cursor (on their first letter); true when consumed.
    bool HandleDialectWord();
    bool HandleHeidenhainWord();
    bool HandleSiemensWord();
    bool HandleOspWord();
    void HandleToolCall();
    void SelectTool(int t);
    void SetCutterSide(int code);
    void ActivateHeidenhainCycle();
    void StartHeidenhainMove(int motionType);
    void ReadOrientationWord(char letter, int kind);

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
    if (NcController.heidenhain) {
        // "*" ends the block too; a value before it never runs on over it.
        const char* star = std::strchr(line_, '*');
        if (star != nullptr && star - line_ < end_) {
            end_ = static_cast<int>(star - line_);
        }
    }
    const NcControllerView& c = NcController;
    while (cursor_ < end_ && !NcRun.block.stopScan) {
        if (MatchUserCode()) {
            continue;
        }
        if (c.dialect != kDialectNormal || c.siemens || c.mazak) {
            if (HandleDialectWord()) {
                continue;
            }
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
            if (c.osp) {
                // OSP: a coordinate value kept for the peck cycles.
                const double k = ReadWordCoordinate(&cursor_, line_);
                if (NcRun.modal.cycleCode == 73 || NcRun.modal.cycleCode == 83) {
                    NcRun.modal.cyclePeck = k;
                }
            } else {
                const int k = ReadWordInteger(&cursor_, line_);
                if (c.heidenhain) {
                    NcRun.modal.cycleRepeat = 1;
                } else if (k >= 0) {
                    NcRun.modal.cycleRepeat = k == 0 ? (c.ignoreK0 ? 1 : 0) : k;
                }
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
        case 100:
        case 101:
        case 102:
        case 103:
            if (n >= 100 && !NcController.osp) {
                break;
            }
            m.motionType = n % 100;
            if ((m.motionType == 2 || m.motionType == 3) && modal.planeCode < 0) {
                m.motionType = 5 - m.motionType;
            }
            modal.cycleCode = kNoCycle;
            break;
        case 133:
            if (NcController.osp) {
                m.motionType = modal.planeCode < 0 ? 2 : 3;
                modal.cycleCode = kNoCycle;
            }
            break;
        case 4:
            if (plain || NcController.osp) {
                block.dwellBlock = 1;
                const char* p = std::strpbrk(line_ + cursor_, plain ? "PX" : "PF");
                if (p != nullptr) {
                    const int at = static_cast<int>(p - line_) + 1;
                    modal.dwellTime = ReadWordMilliAlways(&at, line_);
                }
            }
            break;
        case 6:
            // NURBS block (G06.2, knot letter K): the NURBS reader takes the rest of the line
            // and the lines of the curve.
            if (g.decimal == 2) {
                m.motionType = kMotionNurbs;
                block.stopScan = 1;
                ReadNurbsBlocks(line_, cursor_, 'K');
            }
            break;
        case 7:
            modal.cylindricalInterpolation = 1;
            break;
        case 10:
            if (plain && g.decimal == 9 && NcController.mazak) {
                DialectState.diameterModeWord = 1;  // the X that follows: 0 radius, 1 diameter
            } else if (plain) {
                block.dataSetting = 1;
            }
            break;
        case 15:
        case 16:
            if (NcController.osp) {
                DialectState.ospWorkOffsetWord = n;
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
        case 41:
        case 42:
            SetCutterSide(n);
            break;
        case 43:
        case 44:
            if (!plain) {
                break;
            }
            // G43.4 and G43.5 are G43 with tool centre point control on top: the length offset
            // of the block's (or the current) H reaches the tool point as it does under G43.
            if (g.decimal == 4 || g.decimal == 5) {
                if (NcController.rotaryType != 0 && NcController.toolCenterControl == 0) {
                    modal.toolCenterPointMode = g.decimal == 4 ? 1 : 2;
                }
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
        case 56:
            if (!plain) {
                // Length compensation + with the current H, as G43.
                modal.lengthCompensation = 1;
                SetLengthOffset(LengthOfOffset(modal.lengthOffsetNumber) + HolderOffset());
            } else {
                HandleG54(n, g.decimal);
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
            } else {
                // The other dialects scale with one common factor, 1.0 until a P gives one.
                NcTransformState& t = NcRun.transforms;
                block.scalingBlock = 1;
                t.scalingCommon = 1;
                t.scaleCommonFactor = 1.0;
                for (int i = 0; i < 3; ++i) {
                    t.scaleCentre[i] = m.end.axis[i];
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
            } else if (!NcController.heidenhain && !NcController.autoLengthOffset) {
                modal.lengthCompensation = 0;
                SetLengthOffset(0.0);
            }
            break;
        case 54:
        case 55:
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
        case 122:
        case 123:
            if (NcController.mazak && g.decimal == 1) {
                modal.diameterProgramming = n == 123 ? 1 : 0;
            }
            break;
        case 132:
            // Outside the OSP dialect: a NURBS block with the knot letter Q.
            if (!NcController.osp) {
                m.motionType = kMotionNurbs;
                block.stopScan = 1;
                ReadNurbsBlocks(line_, cursor_, 'Q');
            } else {
                m.motionType = modal.planeCode < 0 ? 3 : 2;
                modal.cycleCode = kNoCycle;
            }
            break;
        case 136:
        case 137:
        case 138:
            if (NcController.osp) {
                HandleOspTurningMode(n);
            }
            break;
        case 169:
            // As G43.4 with the current length offset number.
            if (!NcController.osp) {
                break;
            }
            if (NcController.rotaryType != 0 && NcController.toolCenterControl == 0) {
                modal.toolCenterPointMode = 1;
            }
            modal.lengthCompensation = 1;
            SetLengthOffset(LengthOfOffset(modal.lengthOffsetNumber) + HolderOffset());
            break;
        case 170:
            if (NcController.osp) {
                CancelLengthCompensation();
            }
            break;
        case 274:
        case 283:
        case 284:
            if (NcController.osp) {
                modal.gCode = n - 200;
                StartCycle(n - 200);
            }
            break;
        case 468:
            if (NcController.osp) {
                modal.gCode = 69;
                CurrentWorkPlane.active = 0;
            }
            break;
        case 469:
            // OSP tilted work plane: read as a G68.2 block (origin X, Y, Z; Euler angles I, J,
            // K); its P and Q words choose the plane code.
            if (NcController.osp) {
                modal.gCode = 682;
                block.tiltedPlaneBlock = 1;
                CurrentWorkPlane.mode = 0;
                NcDialectState& d = DialectState;
                if (!d.ospPlaneBlock) {
                    std::memcpy(d.ospPlaneOriginBefore, CurrentWorkPlane.origin,
                                sizeof d.ospPlaneOriginBefore);
                    std::memcpy(d.ospPlaneAnglesBefore, CurrentWorkPlane.planeAngles,
                                sizeof d.ospPlaneAnglesBefore);
                }
                d.ospPlaneBlock = 1;
            }
            break;
        case 119:
            // OSP cylindrical interpolation: a turning machine leaves its turning plane (ZX).
            if (NcController.osp) {
                modal.cylindricalInterpolation = 1;
                modal.planeCode = NcController.lathe ? 19 : 18;
                SelectPlaneAxes();
            }
            break;
        case 126:
        case 127:
            if (NcController.osp) {
                HandleOspRotation(n);
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
                    StartCycle(n);
                } else {
                    if (n == 71 && NcController.osp) {
                        DialectState.ospReturnLevelWord = 1;
                    }
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
    const NcControllerView& c = NcController;
    if (c.heidenhain) {
        switch (n) {
            case 99:
                ActivateHeidenhainCycle();
                return;
            case 126:
            case 127:
                SetRotaryShortestPath(n == 126 ? 1 : 0);
                return;
            case 128:
                modal.gCode = 43;
                if (c.rotaryType != 0 && c.toolCenterControl == 0) {
                    modal.toolCenterPointMode = 1;
                }
                modal.lengthCompensation = 1;
                SetLengthOffsetForCurrentTool();
                block.stopScan = 1;
                return;
            case 129:
                modal.gCode = 49;
                CancelLengthCompensation();
                block.stopScan = 1;
                return;
            default:
                break;
        }
    }
    if (c.osp && n >= 52 && n <= 54) {
        modal.returnLevel = n == 52 ? 1 : n == 53 ? 2 : 0;
        return;
    }
    if (c.osp && n == 109) {
        // Leaves the turning plane (ZX) for the cylinder's plane while cylindrical
        // interpolation is on.
        if (modal.cylindricalInterpolation && (modal.planeCode == 18 || modal.planeCode == -18)) {
            modal.planeCode = 19;
            SelectPlaneAxes();
        }
        return;
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
                if (c.heidenhain) {
                    SetRotaryShortestPath(0);
                }
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
    SelectTool(t);
}

// The tool of a T word or a dialect tool call (0 .. magazine): the next tool, and the tool-change
// moves when the machine has a route.
void BlockScanner::SelectTool(int t) {
    NcModalState& modal = NcRun.modal;
    NcRun.block.toolWordSeen = 1;
    modal.toolNumber = t;
    modal.nextTool = t;
    NcRun.toolChange.lastToolWord = t;
    if (NcController.toolChangeRouteSteps > 0) {
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
    // Dialect words whose axis values are data, not motion.
    NcDialectState& dialect = DialectState;
    if (dialect.centreMode && axis < 3) {
        // CC: the circle centre, with the sign and scaling of the axis but no increment.
        if (axis != modal.plane.normal) {
            ScaleAxisValue(axis, &value);
            dialect.circleCentre[axis] = value;
        }
        return;
    }
    if (dialect.diameterModeWord && axis == 0) {
        modal.diameterProgramming = value != 0.0 ? 1 : 0;
        return;
    }
    if (dialect.ospReturnLevelWord && axis == modal.plane.normal) {
        modal.cycleSeparateReturnLevel = value;
        return;
    }
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
    const bool ospTurning =
        NcController.osp && (modal.polarInterpolation == 1 || DialectState.ospG138Mode);
    if (axis == 0 && modal.diameterProgramming && !ospTurning) {
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
    if (NcController.heidenhain && NcRun.modal.toolCenterPointMode != 2) {
        // The HEIDENHAIN centre words are the centre itself (an increment from the start in
        // incremental mode); it carries over to the blocks that follow.
        DialectState.circleCentre[axis] =
            value + (NcRun.modal.incremental ? CurrentMotion.start.axis[axis] : 0.0);
        DialectState.circleBlock = 1;
    }
}

void BlockScanner::HandleFeed() {
    ApplyFeedWord(&cursor_, line_);
}

}  // namespace

void ApplyFeedWord(int* cursor, const char* line) {
    const NcControllerView& c = NcController;
    const int start = *cursor;
    const double value = ReadWordReal(cursor, line);
    const int textLength = *cursor - start;
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
    if (c.heidenhain && CurrentMotion.motionType == kMotionRapid) {
        CurrentMotion.motionType = kMotionLine;
    }
}

namespace {

void BlockScanner::HandleLengthNumber() {
    int h = ReadWordInteger(&cursor_, line_);
    if (h < 0) {
        return;  // a negative offset number is refused
    }
    if (DialectState.ospWorkOffsetWord != 0) {
        HandleOspWorkOffsetWord(h);
        return;
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

// OSP G15/G16 H: the work offset entry (0 .. 200; others refused). G15 moves the block end and
// the last position by the old origin minus the new at once and makes the entry the origin; G16
// moves them at the end of the block and keeps the origin.
void BlockScanner::HandleOspWorkOffsetWord(int h) {
    if (h > kDialectWorkOffsetMax) {
        return;
    }
    MotionPosition next;
    ComputeWorkOrigin(h, &next);
    double delta[5];
    for (int i = 0; i < 5; ++i) {
        delta[i] = WorkOrigin.axis[i] - next.axis[i];
    }
    NcRun.modal.workOffsetIndex = h;
    if (DialectState.ospWorkOffsetWord == 15) {
        for (int i = 0; i < 5; ++i) {
            CurrentMotion.end.axis[i] += delta[i];
            CurrentMotion.lastPosition.axis[i] += delta[i];
        }
        WorkOrigin = next;
        UpdateToolMatrixWithWorkOffset();
    } else {
        for (int i = 0; i < 5; ++i) {
            DialectState.ospPendingShift[i] = delta[i];
        }
        DialectState.ospShiftPending = 1;
    }
}

// OSP G137 polar interpolation on; G136 off (also ending the G138 mode with the Y value
// zeroed); G138 the mode G136 ends. G136 and G138 return to plane 18 under cylindrical
// interpolation.
void BlockScanner::HandleOspTurningMode(int n) {
    NcModalState& modal = NcRun.modal;
    if (n == 137) {
        modal.polarInterpolation = 1;
        return;
    }
    if (n == 136) {
        modal.polarInterpolation = 2;
        if (DialectState.ospG138Mode) {
            DialectState.ospG138Mode = 0;
            CurrentMotion.end.axis[1] = 0.0;
            NcRun.programmed.axis[1] = 0.0;
        }
    } else {
        DialectState.ospG138Mode = 1;
    }
    if (modal.cylindricalInterpolation) {
        modal.planeCode = 18;
        SelectPlaneAxes();
    }
}

// OSP G126 marks an active coordinate rotation for cancelling (as G69). G127, with no rotation
// and no polar interpolation on and the G138 mode set, starts a rotation about the Y axis (kind
// 2) about the origin; a B word of the block gives its angle. As for G68, the block makes no
// move.
void BlockScanner::HandleOspRotation(int n) {
    NcTransformState& t = NcRun.transforms;
    if (n == 126) {
        if (t.rotationCount > 0) {
            t.transformState = 3;
        }
        return;
    }
    if (t.rotationCount != 0 || NcRun.modal.polarInterpolation == 1 || !DialectState.ospG138Mode) {
        return;
    }
    NcRun.block.rotationBlock = 1;
    BeginCoordinateRotation(1);
    t.pendingRotation.kind = 2;
    DialectState.ospRotationBlock = 1;
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
    if (block.scalingBlock && NcController.dialect != kDialectNormal) {
        NcRun.transforms.scaleCommonFactor = ReadWordReal(&cursor_, line_);
        NcRun.transforms.scalingCommon = 1;
        return;
    }
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
    if ((modal.cycleCode != kNoCycle && !NcController.heidenhain) || block.dwellBlock) {
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
    const double q = ReadWordCoordinate(&cursor_, line_);
    NcRun.modal.cyclePeck = NcController.heidenhain ? std::fabs(q) : q;
}

void BlockScanner::HandleL() {
    NcBlockState& block = NcRun.block;
    if (block.dataSetting) {
        block.dataSettingKind = ReadWordInteger(&cursor_, line_);
        return;
    }
    const MotionRecord& m = CurrentMotion;
    if (NcController.osp &&
        (m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise) &&
        NcRun.modal.cycleCode == kNoCycle) {
        block.radiusWord = ReadWordCoordinate(&cursor_, line_);
        block.centreSource = 2;
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

// G40, G41 and G42 (and the HEIDENHAIN R0, RL and RR): the side by the plane's sense.
void BlockScanner::SetCutterSide(int code) {
    NcModalState& modal = NcRun.modal;
    if (code == 40) {
        modal.compensationSide = 0;
        if (NcRun.compensationPhase == 1) {
            NcRun.compensationPhase = 2;
        }
        return;
    }
    modal.compensationSide = (code == 41 ? 1 : -1) * (modal.planeCode < 0 ? -1 : 1);
    if (NcRun.compensationPhase == 0) {
        NcRun.compensationPhase = 1;
    }
    SetCompensationSide(modal.compensationSide);
}

bool BlockScanner::HandleDialectWord() {
    const NcControllerView& c = NcController;
    if (c.heidenhain) {
        return HandleHeidenhainWord();
    }
    if (c.siemens) {
        return HandleSiemensWord();
    }
    if (c.osp) {
        return HandleOspWord();
    }
    if (c.mazak && At(cursor_) == 'P' && (NcRun.block.toolWordSeen || NcRun.block.lengthCodeSeen)) {
        ++cursor_;
        // P1 sets the head angle mode, P0 clears it; other values are ignored.
        const int p = ReadWordInteger(&cursor_, line_);
        if (p == 0 || p == 1) {
            DialectState.mazakHeadAngleChanged = DialectState.mazakHeadAngleMode != p;
            DialectState.mazakHeadAngleMode = p;
        }
        return true;
    }
    return false;
}

// The defined HEIDENHAIN cycle becomes the active canned cycle at the current position (CYCL
// CALL, M99): repeat count 1, the start on the drilling axis as the initial level, the cycle's
// feed, and the block drills where the tool stands unless it names a position.
void BlockScanner::ActivateHeidenhainCycle() {
    NcModalState& modal = NcRun.modal;
    modal.mCode = 0;
    const int code = modal.heidenhainCycleCode;
    if (code == kNoCycle || code < 70) {
        return;  // no cycle defined: nothing to call
    }
    const HeidenhainCycleParameters& p = DialectState.cycle;
    modal.cycleCode = code;
    modal.cycleRepeat = 1;
    modal.cycleIncremental = 0;
    modal.cycleInitialLevel = CurrentMotion.start.axis[modal.plane.normal];
    if (code < 200) {
        modal.cycleRWord = p.setUpClearance;
        modal.cycleDepthWord = p.depth;
    }
    if (p.feed > 0.0) {
        CurrentMotion.feed = p.feed;
    }
    NcRun.block.axisWordSeen = 1;
}

// L, C, CC-relative circles and polar blocks: the motion type, length compensation on, the
// canned cycle cancelled; "M91" in the rest of the line makes it a machine-coordinate block.
void BlockScanner::StartHeidenhainMove(int motionType) {
    NcModalState& modal = NcRun.modal;
    CurrentMotion.motionType = motionType;
    modal.lengthCompensation = 1;
    modal.cycleCode = kNoCycle;
    if (std::strstr(line_ + cursor_, "M91") != nullptr) {
        NcRun.block.machineCoordinateBlock = 1;
    }
}

void BlockScanner::HandleToolCall() {
    // The tool number, then DL and DR in the rest of the line; nothing more of the line is read.
    const int t = ReadWordInteger(&cursor_, line_);
    ReadLeftRightValues(line_ + cursor_);
    NcRun.block.stopScan = 1;
    if (t < 0 || t > NcController.magazineCount) {
        return;  // a tool outside the magazine is refused
    }
    // The radius offset of the tool's own number carries the DR delta as its wear (mm).
    if (t < kToolOffsetEntries) {
        NcRun.modal.radiusOffsetNumber = t;
        if (NcController.offsets.dWear != nullptr) {
            // The table holds floats: a delta beyond their range saturates instead of
            // turning the compensation radius infinite.
            NcController.offsets.dWear[t] = static_cast<float>(
                std::clamp(NcWords.toolDeltaRadius, -double{FLT_MAX}, double{FLT_MAX}));
        }
        UpdateCompensationRadius();
    }
    SelectTool(t);
}

bool BlockScanner::HandleHeidenhainWord() {
    NcBlockState& block = NcRun.block;
    NcDialectState& d = DialectState;
    MotionRecord& m = CurrentMotion;
    const char letter = At(cursor_);
    const char next = At(cursor_ + 1);
    int after = 0;
    const auto keyword = [&](const char* word) {
        return MatchDialectKeyword(line_, cursor_, word, &after) != 0;
    };
    // An axis word whose value is a Q parameter (X+Q1, IZ-Q5): the parameter's value.
    const int axisAt = letter == 'I' ? 1 : 0;
    const int qAxis = AxisOfLetter(At(cursor_ + axisAt), NcController.axisLetter, 3);
    if (qAxis >= 0 &&
        (letter == 'I' || qAxis == AxisOfLetter(letter, NcController.axisLetter, 3))) {
        int at = cursor_ + axisAt + 1;
        const int sign = At(at) == '-' ? -1 : 1;
        if (At(at) == '+' || At(at) == '-') {
            ++at;
        }
        if (At(at) == 'Q' && At(at + 1) >= '0' && At(at + 1) <= '9') {
            cursor_ = at + 1;
            const int n = ReadWordInteger(&cursor_, line_);
            if (n >= 0 && n < kQParameterCount) {
                double value = sign * DialectState.cycle.q[n];
                if (NcController.axisReversed[qAxis]) {
                    value = -value;
                }
                PlaceAxisValue(qAxis, value, letter == 'I');
            }
            return true;  // a parameter beyond the table: the word is refused
        }
    }
    switch (letter) {
        case '*':
            block.stopScan = 1;
            return true;
        case 'B':
            if (keyword("BEGIN PGM")) {
                NcRun.status.started = 1;
                block.stopScan = 1;
                return true;
            }
            if (keyword("BLK")) {
                block.stopScan = 1;
                return true;
            }
            return false;
        case 'E':
            if (keyword("END PGM")) {
                if (Subprograms.depth == 0) {
                    MarkProgramEnd();
                    if (NcRun.status.endState == 2) {
                        SetRotaryShortestPath(0);
                    }
                } else {
                    EndSubprogramLevel();
                }
                block.stopScan = 1;
                return true;
            }
            return false;
        case 'T':
            if (keyword("TOOL CALL")) {
                cursor_ = after;
                HandleToolCall();
                return true;
            }
            if (keyword("TOOL DEF")) {
                block.stopScan = 1;  // the tool is taken at its call
                return true;
            }
            return false;
        case 'C':
            if (keyword("CALL PGM")) {
                // The rest of the line after the blanks, without its line end, names the file.
                int at = after;
                while (At(at) == ' ' || At(at) == '\t') {
                    ++at;
                }
                int stop = end_ > at ? end_ : at;
                while (stop > at && (At(stop - 1) == '\n' || At(stop - 1) == '\r')) {
                    --stop;
                }
                stop = at + SkipTrailingBlanks(stop - at, line_ + at);
                OpenSubprogramByName(line_ + at, stop - at);
                block.stopScan = 1;
                return true;
            }
            if (keyword("CALL")) {
                block.stopScan = 1;  // label calls are not simulated
                return true;
            }
            if (keyword("CYCL DEF")) {
                cursor_ = after;
                ParseHeidenhainCyclDef(&cursor_, line_);
                block.stopScan = 1;
                return true;
            }
            if (keyword("CYCL CALL")) {
                cursor_ = after;
                ActivateHeidenhainCycle();
                return true;
            }
            if (next == 'C') {
                // Circle centre: the current end, then the block's X and Y words.
                for (int i = 0; i < 3; ++i) {
                    d.circleCentre[i] = m.end.axis[i];
                }
                d.centreMode = 1;
                cursor_ += 2;
                return true;
            }
            if (next == 'P') {
                cursor_ += 2;
                StartHeidenhainMove(kMotionClockwise);
                d.circleBlock = 1;
                d.polarBlock = 2;
                return true;
            }
            if (next == 'R') {
                cursor_ += 2;
                StartHeidenhainMove(kMotionClockwise);
                return true;
            }
            if (next == ' ' || next == '\t' ||
                AxisOfLetter(next, NcController.axisLetter, 3) >= 0 ||
                AxisOfLetter(next, NcController.incrementalLetter, 3) >= 0) {
                ++cursor_;
                StartHeidenhainMove(kMotionClockwise);
                d.circleBlock = 1;
                return true;
            }
            return false;
        case 'L':
            if (keyword("LBL")) {
                block.stopScan = 1;  // labels are not simulated
                return true;
            }
            if (next == 'P') {
                cursor_ += 2;
                StartHeidenhainMove(kMotionLine);
                d.polarBlock = 1;
                return true;
            }
            ++cursor_;
            StartHeidenhainMove(kMotionLine);
            return true;
        case 'F':
            if (keyword("F MAX")) {
                cursor_ = after;
                m.motionType = kMotionRapid;
                return true;
            }
            if (next == 'N') {
                // FN 0: Qn = value assigns a parameter; the other parameter functions are not
                // simulated.
                int at = cursor_ + 2;
                while (At(at) == ' ' || At(at) == '\t') {
                    ++at;
                }
                if (At(at) == '0' && At(at + 1) == ':') {
                    const char* q = std::strchr(line_ + at, 'Q');
                    const char* eq = q != nullptr ? std::strchr(q, '=') : nullptr;
                    if (eq != nullptr && eq < line_ + end_ && q[1] >= '0' && q[1] <= '9' &&
                        eq - q - 1 <= 7) {
                        const int n = ConvertWordInteger(q + 1, static_cast<int>(eq - q - 1));
                        int value = static_cast<int>(eq - line_) + 1;
                        while (At(value) == ' ' || At(value) == '\t') {
                            ++value;
                        }
                        SetHeidenhainQParameter(n, ReadWordValueToBlank(&value, line_));
                    }
                }
                block.stopScan = 1;
                return true;
            }
            if (keyword("F AUTO")) {
                cursor_ = after;  // the feed of the tool call: the programmed feed stays
                return true;
            }
            if (next == 'Z' || next == 'U') {
                // Feeds per tooth and per revolution are not simulated; their value is passed.
                cursor_ += 2;
                ReadWordReal(&cursor_, line_);
                return true;
            }
            return false;
        case 'P':
            if (keyword("PLANE")) {
                cursor_ = after;
                ParseHeidenhainPlane(&cursor_, line_);
                block.stopScan = 1;
                return true;
            }
            if (d.polarBlock != 0 && (next == 'R' || next == 'A')) {
                cursor_ += 2;
                const double value = ReadWordReal(&cursor_, line_);
                if (next == 'R') {
                    d.polarRadius = value;
                    d.polarRadiusGiven = 1;
                    d.polarRadiusIncremental = 0;
                } else {
                    d.polarAngle = value;
                    d.polarAngleGiven = 1;
                    d.polarAngleIncremental = 0;
                }
                return true;
            }
            if (NcRun.modal.heidenhainCycleCode != kNoCycle && next >= '0' && next <= '9') {
                int at = cursor_ + 1;
                if (ParseHeidenhainIsoCycleWord(&at, line_)) {
                    cursor_ = at;
                    return true;
                }
            }
            return false;
        case 'I':
            if (next == 'P' && (At(cursor_ + 2) == 'A' || At(cursor_ + 2) == 'R')) {
                const char which = At(cursor_ + 2);
                cursor_ += 3;
                const double value = ReadWordReal(&cursor_, line_);
                if (which == 'A') {
                    d.polarAngle = value;
                    d.polarAngleGiven = d.polarAngleIncremental = 1;
                } else {
                    d.polarRadius = value;
                    d.polarRadiusGiven = d.polarRadiusIncremental = 1;
                }
                return true;
            }
            if (AxisOfLetter(next, NcController.axisLetter, 3) >= 0) {
                // IX, IY, IZ: an axis value added to the last programmed one.
                cursor_ += 2;
                HandleAxis(AxisOfLetter(next, NcController.axisLetter, 3), true);
                return true;
            }
            return false;
        case 'Q':
            if (next >= '0' && next <= '9') {
                int at = cursor_ + 1;
                while (At(at) >= '0' && At(at) <= '9') {
                    ++at;
                }
                int eq = at;
                while (At(eq) == ' ' || At(eq) == '\t') {
                    ++eq;
                }
                if (At(eq) != '=') {
                    return false;
                }
                const int n = ConvertWordInteger(line_ + cursor_ + 1, at - cursor_ - 1);
                const bool digitsFit = at - cursor_ - 1 <= 6;
                cursor_ = eq + 1;
                while (At(cursor_) == ' ' || At(cursor_) == '\t') {
                    ++cursor_;
                }
                const double value = ReadWordValueToBlank(&cursor_, line_);
                if (digitsFit) {
                    SetHeidenhainQParameter(n, value);  // beyond the table: refused
                }
                return true;
            }
            return false;
        case 'R':
            if (next == 'L' || next == 'R') {
                cursor_ += 2;
                SetCutterSide(next == 'L' ? 41 : 42);
                return true;
            }
            if (next == '0' && !(At(cursor_ + 2) >= '0' && At(cursor_ + 2) <= '9') &&
                At(cursor_ + 2) != '.') {
                cursor_ += 2;
                SetCutterSide(40);
                return true;
            }
            return false;
        case 'D':
            if (next == 'R' && (At(cursor_ + 2) == '+' || At(cursor_ + 2) == '-')) {
                const bool counterClockwise = At(cursor_ + 2) == '+';
                cursor_ += 3;
                d.directionGiven = 1;
                if (m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise) {
                    int type = counterClockwise ? kMotionCounterClockwise : kMotionClockwise;
                    if (NcRun.modal.planeCode < 0) {
                        type = 5 - type;
                    }
                    m.motionType = type;
                }
                return true;
            }
            return false;
        default:
            return false;
    }
}

// A SIEMENS orientation word A2=, B2=, C2= (kind 2: angle), A3=, B3=, C3= (kind 3: tool vector
// component); A4= and the like are read and not used.
void BlockScanner::ReadOrientationWord(char letter, int kind) {
    cursor_ += 3;
    while (At(cursor_) == ' ' || At(cursor_) == '\t') {
        ++cursor_;
    }
    const double value = ReadWordValueToBlank(&cursor_, line_);
    const int k = letter - 'A';
    SiemensOrientationInput& o = DialectState.orientation;
    if (kind == 2) {
        o.angles[k] = value;
        o.anglesGiven = 1;
    } else if (kind == 3) {
        o.vector[k] = NcController.axisReversed[k] ? -value : value;
        o.vectorGiven = 1;
    } else {
        return;
    }
    if (NcController.toolCenterControl == 0) {
        NcRun.modal.toolCenterPointMode = 2;
    }
}

bool BlockScanner::HandleSiemensWord() {
    NcBlockState& block = NcRun.block;
    NcModalState& modal = NcRun.modal;
    const char letter = At(cursor_);
    const char next = At(cursor_ + 1);
    int after = 0;
    const auto keyword = [&](const char* word) {
        return MatchDialectKeyword(line_, cursor_, word, &after) != 0;
    };
    if ((letter == 'A' || letter == 'B' || letter == 'C') && next >= '2' && next <= '6' &&
        At(cursor_ + 2) == '=') {
        ReadOrientationWord(letter, next - '0');
        return true;
    }
    if (keyword("TRAORI")) {
        cursor_ = after;
        modal.gCode = 43;
        if (NcController.toolCenterControl == 0) {
            modal.toolCenterPointMode = 1;
        }
        modal.lengthCompensation = 1;
        SetLengthOffsetForCurrentTool();
        return true;
    }
    if (keyword("TRAFOOF")) {
        cursor_ = after;
        if (modal.toolCenterPointMode != 0 || modal.lengthCompensation != 0) {
            modal.gCode = 49;
            CancelLengthCompensation();
        }
        return true;
    }
    if (keyword("CYCLE800")) {
        cursor_ = after;
        const int result = ParseCycle800Arguments(&cursor_, line_);
        if (result == 1) {
            modal.gCode = 682;
            DialectState.planeMode = 4;
        } else if (result == 0) {
            modal.gCode = 69;
            CurrentWorkPlane.active = 0;
            CurrentWorkPlane.mode = 0;
            DialectState.planeMode = 0;
            if (NcRun.transforms.rotationCount > 0) {
                NcRun.transforms.transformState = 3;
            }
            modal.lengthCompensation = 0;
            SetLengthOffset(0.0);
        }
        return true;
    }
    if (keyword("ORIEULER")) {
        cursor_ = after;
        DialectState.orientation.convention = 0;
        return true;
    }
    if (keyword("ORIRPY")) {
        cursor_ = after;
        DialectState.orientation.convention = At(cursor_) == '2' ? 2 : 1;
        if (At(cursor_) == '2') {
            ++cursor_;
        }
        return true;
    }
    if (keyword("SUPA")) {
        cursor_ = after;
        block.machineCoordinateBlock = 1;
        return true;
    }
    if (letter == 'T' && next == '=') {
        // T="name" by name, T=n by number; nothing more of the line is read.
        int at = cursor_ + 2;
        block.stopScan = 1;
        int tool = -1;
        if (At(at) == '"') {
            const char* name = line_ + at + 1;
            const char* close = std::strchr(name, '"');
            if (close != nullptr && close < line_ + end_) {
                tool = FindToolByName(name, static_cast<int>(close - name));
                tool = tool > 0 ? tool : -1;
            }
        } else {
            tool = ReadWordInteger(&at, line_);
        }
        if (tool >= 0 && tool <= NcController.magazineCount) {
            SelectTool(tool);
        }
        return true;
    }
    return false;
}

bool BlockScanner::HandleOspWord() {
    NcBlockState& block = NcRun.block;
    const char letter = At(cursor_);
    int after = 0;
    if (letter == 'C' && MatchDialectKeyword(line_, cursor_, "CALL ", &after)) {
        if (MatchDialectKeyword(line_, after, "OO88", &after)) {
            cursor_ = after;
            ApplyOo88InclinedPlaneCall(&cursor_, line_);
        } else if (At(after) == 'O') {
            cursor_ = after;
            CallOspSubprogram(&cursor_, line_);
        }
        block.stopScan = 1;
        return true;
    }
    if (letter == 'R' && MatchDialectKeyword(line_, cursor_, "RTS", &after)) {
        cursor_ = after;
        if (ReturnFromSubprogram()) {
            block.stopScan = 1;
        }
        return true;
    }
    if (letter == 'N' && MatchDialectKeyword(line_, cursor_, "NCYL", &after)) {
        cursor_ = after;
        block.cycleSkipped = 1;
        return true;
    }
    NcDialectState& d = DialectState;
    if (d.ospPlaneBlock && (letter == 'P' || letter == 'Q')) {
        ++cursor_;
        const int value = ReadWordInteger(&cursor_, line_);
        if (letter == 'P' && value == 1) {
            d.ospPlaneCode = NcController.ospTiltedPlaneCode;
            d.ospPlaneSwitchOn = 1;
        } else if (letter == 'Q' && d.ospPlaneCode != 0) {
            d.ospPlaneCode = value;
        }
        return true;
    }
    if (d.ospRotationBlock && letter == 'B' && NcRun.transforms.transformState == 1) {
        ++cursor_;
        NcRun.transforms.pendingRotation.angle =
            NcWords.inputUnitMode == 3
                ? ReadWordReal(&cursor_, line_)
                : ReadWordScaled(&cursor_, line_, NcController.angleIncrement);
        cursor_ = FindWordEnd(cursor_, line_);
        return true;
    }
    return false;
}

// The dialect words that complete a block before its end: HEIDENHAIN polar ends and circle
// centres, SIEMENS tool orientation.
void FinishDialectWords() {
    const NcControllerView& c = NcController;
    NcDialectState& d = DialectState;
    MotionRecord& m = CurrentMotion;
    NcBlockState& block = NcRun.block;
    const PlaneAxes& plane = NcRun.modal.plane;
    const int a = plane.first, b = plane.second;
    if (c.heidenhain && d.polarBlock != 0) {
        // Polar coordinates about the circle centre (the pole): the start's radius and angle
        // (deg) unless the block gives them; IPR and IPA add to the start's. A circle (CP) keeps
        // the start's radius.
        const double da = m.start.axis[a] - d.circleCentre[a];
        const double db = m.start.axis[b] - d.circleCentre[b];
        const double startRadius = std::sqrt(da * da + db * db);
        const double startAngle = std::atan2(db, da) * 180.0 / 3.14159265358979323846;
        double radius = startRadius, angle = startAngle;
        if (d.polarRadiusGiven && d.polarBlock == 1) {
            radius = d.polarRadius + (d.polarRadiusIncremental ? startRadius : 0.0);
        }
        if (d.polarAngleGiven) {
            angle = d.polarAngle + (d.polarAngleIncremental ? startAngle : 0.0);
        }
        if (d.polarRadiusGiven || d.polarAngleGiven) {
            double s = 0.0, co = 1.0;
            SinCosDegrees(angle, 1, &s, &co);
            m.end.axis[a] = d.circleCentre[a] + radius * co;
            m.end.axis[b] = d.circleCentre[b] + radius * s;
            NcRun.programmed.axis[a] = m.end.axis[a];
            NcRun.programmed.axis[b] = m.end.axis[b];
            block.axisWordSeen = 1;
            block.axisNamed[a] = block.axisNamed[b] = 1;
        }
    }
    const bool arc = m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise;
    if (c.heidenhain && arc && block.centreSource != 2) {
        // Every circle turns about the circle centre; the arc geometry takes it from the start.
        for (int i = 0; i < 3; ++i) {
            block.centreWord[i] = i == plane.normal ? 0.0 : d.circleCentre[i] - m.start.axis[i];
        }
        block.centreSource = 1;
        block.centreWordSeen = 1;
    }
    if (c.osp && d.ospPlaneBlock && d.ospPlaneCode != kOspTiltedPlaneCode) {
        // Only the plane code 313 builds a tilted plane; otherwise the plane keeps the origin
        // and angles it had.
        block.tiltedPlaneBlock = 0;
        std::memcpy(CurrentWorkPlane.origin, d.ospPlaneOriginBefore, sizeof d.ospPlaneOriginBefore);
        std::memcpy(CurrentWorkPlane.planeAngles, d.ospPlaneAnglesBefore,
                    sizeof d.ospPlaneAnglesBefore);
    }
    if (c.osp && d.ospPlaneBlock) {
        // The table-rotated copy of a work offset belongs to the G68.2 form, not to G469.
        block.tiltedRotaryGiven[0] = block.tiltedRotaryGiven[1] = 0;
    }
    if (c.mazak && d.mazakHeadAngleChanged && c.automaticToolOffset) {
        SetToolVectorFromAngle(m.end.axis[3]);
    }
    if (c.siemens && NcRun.modal.toolCenterPointMode == 2 &&
        (d.orientation.anglesGiven || d.orientation.vectorGiven)) {
        double axis[3] = {d.orientation.vector[0], d.orientation.vector[1],
                          d.orientation.vector[2]};
        if (d.orientation.anglesGiven) {
            ComputeToolAxisFromAngles(axis, d.orientation.angles, d.orientation.convention);
        }
        for (int i = 0; i < 3; ++i) {
            block.centreWord[i] = axis[i];
        }
        block.centreWordSeen = 1;
        block.axisWordSeen = 1;
    }
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
    ClearDialectBlock();
    BlockScanner scanner(line);
    scanner.Run();
    FinishDialectWords();
    CompleteNcBlock();
    CompleteDialectBlock();
    PublishKinematicsModes();
}

}  // namespace mirexa
