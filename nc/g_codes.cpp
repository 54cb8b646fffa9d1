// The G codes of the block scanner: the G word as read, the dialect's own codes first, then the
// common codes by modal group.
#include "nc/g_codes.h"

#include <cstring>

#include "geometry/machine_kinematics.h"
#include "nc/coordinate_transforms.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"
#include "nc/nurbs_blocks.h"

namespace mirexa {

namespace {

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

// Decimal forms the common scanner knows.
bool IsCommonDecimal(int number, int decimal) {
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

// 1 when a centre letter (I, J, K as configured) stands in the rest of the line outside
// comments.
bool RestHoldsCentreWord(NcSession& session, int cursor, const char* line) {
    bool comment = false;
    for (int i = cursor; line[i] != '\0'; ++i) {
        const char c = line[i];
        if (c == '(') {
            comment = true;
        } else if (c == ')') {
            comment = false;
        } else if (!comment && LetterIndex(c, session.controller.axes.arcCentreLetters, 3) >= 0) {
            return true;
        }
    }
    return false;
}

int ApplyTableCode(const DialectGCode* table, int count, BlockScan* scan, GWord g) {
    for (int i = 0; i < count; ++i) {
        if (g.number >= table[i].first && g.number <= table[i].last) {
            return table[i].apply(scan, g);
        }
    }
    return 0;
}

// A NURBS block (G06.2 with the knot letter K, G132 with Q): the NURBS reader takes the rest of
// the line and the lines of the curve.
void StartNurbsBlock(BlockScan* scan, char knotLetter) {
    scan->session->kinematics->motion.motionType = kMotionNurbs;
    scan->session->run.block.stopScan = 1;
    ReadNurbsBlocks(*scan->session, scan->line, scan->cursor, knotLetter);
}

int ApplyMotionGroup(BlockScan* scan, GWord g) {
    switch (g.number) {
        case 0:
        case 1:
        case 2:
        case 3:
            return ApplyMotionCode(scan, g);
        case 4:
            StartDwell(scan, "PX");
            return 1;
        case 6:
            if (g.decimal == 2) {
                StartNurbsBlock(scan, 'K');
            }
            return 1;
        case 132:
            StartNurbsBlock(scan, 'Q');
            return 1;
        default:
            return 0;
    }
}

int ApplyPlaneGroup(BlockScan* scan, GWord g) {
    NcModalState& modal = scan->session->run.modal;
    switch (g.number) {
        case 7:
        case 107:
            modal.cylindricalInterpolation = 1;
            return 1;
        case 12:
        case 13:
            modal.polarInterpolation = g.number == 12 ? kPolarOn : kPolarOff;
            return 1;
        case kPlaneXy:
        case kPlaneZx:
        case kPlaneYz:
            modal.planeCode = g.number;
            SelectPlaneAxes(*scan->session);
            SelectLengthAxis(*scan->session, 0);
            return 1;
        default:
            return 0;
    }
}

// G43 and G44 with the block's (or the current) H. G43.4 and G43.5 are G43 with tool centre
// point control on top: the length offset reaches the tool point as it does under G43.
void StartLengthCompensation(NcSession& session, GWord g) {
    NcModalState& modal = session.run.modal;
    if (g.decimal == 4 || g.decimal == 5) {
        if (session.controller.rotaryType != 0 && session.controller.resetToolCenterControl == 0) {
            modal.toolCenterPointMode = g.decimal == 4 ? kToolCentreByAngles : kToolCentreByVector;
        }
    }
    session.run.block.lengthCodeSeen = 1;
    modal.lengthCompensation = g.number == 43 ? 1 : -1;
    ApplyModalLengthOffset(session);
    SelectLengthAxis(session, 1);
}

int ApplyCompensationGroup(BlockScan* scan, GWord g) {
    switch (g.number) {
        case 39:
            scan->session->run.compensation.cornerArcRequest = 1;
            return 1;
        case 40:
        case 41:
        case 42:
            SetCutterSide(*scan->session, g.number);
            return 1;
        case 43:
        case 44:
            StartLengthCompensation(*scan->session, g);
            return 1;
        case 49:
            CancelLengthCompensation(*scan->session);
            return 1;
        default:
            return 0;
    }
}

// G54 to G59 and G54.1 P1 .. P194 (entries 7 .. 200; any other P is refused).
void SelectWorkOffsetCode(BlockScan* scan, GWord g) {
    int i = scan->cursor;
    while (scan->At(i) == ' ' || scan->At(i) == '\t') {
        ++i;
    }
    int entry = g.number - 53;
    if (g.number == 54 && scan->At(i) == 'P') {
        int at = i + 1;
        const int p = ReadWordInteger(&at, scan->line);
        scan->cursor = at;
        if (p < 1 || p > kWorkOffsetEntries - 7) {
            return;
        }
        entry = p + 6;
    } else if (g.number == 54 && g.decimal == 1) {
        // G54.1 without P counts only when the ".1" stands directly before the next word.
        const char before = scan->At(scan->cursor - 1);
        entry = (before != ' ' && before != '\t') ? 7 : 1;
    }
    ChangeWorkOffset(*scan->session, entry);
}

int ApplyCoordinateGroup(BlockScan* scan, GWord g) {
    NcModalState& modal = scan->session->run.modal;
    NcBlockState& block = scan->session->run.block;
    switch (g.number) {
        case 10:
            block.dataSetting = 1;
            return 1;
        case 27:
            modal.referenceReturnMode = kReturnCheck;
            return 1;
        case 28:
        case 30:
            modal.referenceReturnMode = kReturnViaIntermediate;
            modal.referencePointIndex = g.number == 28 ? 0 : 1;
            return 1;
        case 29:
            modal.referenceReturnMode = kReturnFromReference;
            return 1;
        case 52:
            block.localCoordinateBlock = 1;
            return 1;
        case 53:
            if (g.decimal != 1) {
                block.machineCoordinateBlock = 1;
            } else if (scan->session->run.transforms.tiltedPlaneReady) {
                scan->session->kinematics->plane.active = 1;
            }
            return 1;
        case 54:
        case 55:
        case 56:
        case 57:
        case 58:
        case 59:
            SelectWorkOffsetCode(scan, g);
            return 1;
        case 90:
        case 91:
            modal.incremental = g.number == 91 ? 1 : 0;
            return 1;
        case 92:
            block.coordinateSettingBlock = 1;
            return 1;
        case 8110:
            block.offsetWithTableEntry = -1;
            return 1;
        default:
            return 0;
    }
}

bool IsCannedCycle(int n) {
    return n == 73 || n == 74 || n == 76 || (n >= 81 && n <= 89);
}

int ApplyCycleGroup(BlockScan* scan, GWord g) {
    const int n = g.number;
    if (n >= 70 && n <= 89) {
        if (IsCannedCycle(n)) {
            StartCycle(*scan->session, n);
        } else {
            scan->session->run.modal.cycleCode = kNoCycle;
        }
        return 1;
    }
    switch (n) {
        case 65:
        case 66:
        case 67:
            scan->session->run.block.stopScan = 1;  // macro calls are not simulated
            return 1;
        case 98:
        case 99:
            scan->session->run.modal.returnLevel =
                n == 98 ? kReturnToInitialLevel : kReturnToRLevel;
            return 1;
        default:
            return 0;
    }
}

// G51: scaling about the block's axis words by the controller's factor of each axis.
void StartAxisScaling(NcSession& session) {
    NcTransformState& t = session.run.transforms;
    session.run.block.scalingBlock = 1;
    t.scalingCommon = 0;
    for (int i = 0; i < 3; ++i) {
        t.scaleCentre[i] = session.kinematics->motion.end.axis[i];
        t.scaleFactor[i] = session.controller.scale[i];
    }
}

int ApplyTransformGroup(BlockScan* scan, GWord g) {
    NcBlockState& block = scan->session->run.block;
    switch (g.number) {
        case 50:
            if (g.decimal == 1) {
                block.mirrorBlock = -1;
            } else {
                scan->session->run.transforms.scaling = 0;
            }
            return 1;
        case 51:
            if (g.decimal == 1) {
                block.mirrorBlock = 1;
            } else {
                StartAxisScaling(*scan->session);
            }
            return 1;
        case 68:
            if (g.decimal == 2) {
                block.tiltedPlaneBlock = 1;
                scan->session->kinematics->plane.mode = kWorkPlaneEulerAngles;
            } else {
                block.rotationBlock = 1;
                BeginCoordinateRotation(
                    *scan->session, RestHoldsCentreWord(*scan->session, scan->cursor, scan->line));
            }
            return 1;
        case 69:
            scan->session->kinematics->plane.active = 0;
            if (scan->session->run.transforms.rotationCount > 0) {
                scan->session->run.transforms.transformState = kTransformCancel;
            }
            return 1;
        case 254:
            scan->session->kinematics->plane.mode = kWorkPlaneStoredAngles;
            block.tiltedPlaneBlock = 1;
            return 1;
        case 255:
            scan->session->kinematics->plane.active = 0;
            scan->session->kinematics->plane.mode = kWorkPlaneEulerAngles;
            return 1;
        default:
            return 0;
    }
}

// The common codes, one modal group after the other; 1 when one of them took the code.
int ApplyCommonCode(BlockScan* scan, GWord g) {
    return ApplyMotionGroup(scan, g) || ApplyPlaneGroup(scan, g) ||
           ApplyCompensationGroup(scan, g) || ApplyCoordinateGroup(scan, g) ||
           ApplyCycleGroup(scan, g) || ApplyTransformGroup(scan, g);
}

// The word-address dialects end scaling with G50 (any form) and scale with one common factor
// from G51, 1.0 until a P gives one.
int CancelScaling(BlockScan* scan, GWord) {
    scan->session->run.transforms.scaling = 0;
    return 1;
}

int StartCommonScaling(BlockScan* scan, GWord) {
    NcTransformState& t = scan->session->run.transforms;
    scan->session->run.block.scalingBlock = 1;
    t.scalingCommon = 1;
    t.scaleCommonFactor = 1.0;
    for (int i = 0; i < 3; ++i) {
        t.scaleCentre[i] = scan->session->kinematics->motion.end.axis[i];
    }
    return 1;
}

// G56 of the word-address dialects: length compensation + with the current H, as G43.
int StartLengthCompensationPlus(BlockScan* scan, GWord) {
    scan->session->run.modal.lengthCompensation = 1;
    ApplyModalLengthOffset(*scan->session);
    return 1;
}

}  // namespace

const DialectGCode WordAddressGCodes[] = {
    {10, 13, IgnoreGCode},        {43, 44, IgnoreGCode},
    {49, 49, IgnoreGCode},        {50, 50, CancelScaling},
    {51, 51, StartCommonScaling}, {52, 52, IgnoreGCode},
    {54, 55, IgnoreGCode},        {56, 56, StartLengthCompensationPlus},
    {57, 59, IgnoreGCode},        {68, 69, IgnoreGCode},
};
const int WordAddressGCodeCount = sizeof WordAddressGCodes / sizeof WordAddressGCodes[0];

int IgnoreGCode(BlockScan*, GWord) {
    return 1;
}

int ApplyMotionCode(BlockScan* scan, GWord g) {
    MotionRecord& m = scan->session->kinematics->motion;
    m.motionType = g.number % 100;
    const bool arc = m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise;
    if (arc && scan->session->run.modal.planeCode < 0) {
        m.motionType = OppositeArc(m.motionType);
    }
    scan->session->run.modal.cycleCode = kNoCycle;
    return 1;
}

void StartDwell(BlockScan* scan, const char* letters) {
    scan->session->run.block.dwellBlock = 1;
    const char* p = std::strpbrk(scan->line + scan->cursor, letters);
    if (p != nullptr) {
        const int at = static_cast<int>(p - scan->line) + 1;
        scan->session->run.modal.dwellTime = ReadWordMilliAlways(&at, scan->line);
    }
}

void ApplyGWord(BlockScan* scan) {
    const GWord g = ReadGWord(&scan->cursor, scan->line);
    NcModalState& modal = scan->session->run.modal;
    MarkCodeUsed(UsedCodes.g, g.number);
    const ScannerDialect& dialect = *scan->dialect;
    if (g.decimal != 0 && !IsCommonDecimal(g.number, g.decimal) &&
        !(dialect.listsDecimal != nullptr && dialect.listsDecimal(g.number, g.decimal))) {
        // An unlisted decimal form (G91.1, G90.1, G41.1, G92.1 ...) is an unknown code: it is
        // stored and otherwise ignored, never read as its integer part.
        const bool storable = g.decimal > 0 && g.number >= 0 && g.number < 100000;
        modal.gCode = storable ? g.number * 10 + g.decimal : -1;
        return;
    }
    modal.gCode = g.decimal > 0 ? g.number * 10 + g.decimal : g.number;
    if (ApplyTableCode(dialect.gCodes, dialect.gCodeCount, scan, g) ||
        ApplyTableCode(dialect.sharedGCodes, dialect.sharedGCodeCount, scan, g)) {
        return;
    }
    ApplyCommonCode(scan, g);
}

}  // namespace mirexa
