// The HEIDENHAIN dialect: keyword blocks, conversational moves and polar coordinates about the
// circle centre, Q parameters, cycle definitions and calls, PLANE, and their G and M codes.
#include "nc/dialect_heidenhain.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "geometry/machine_kinematics.h"
#include "geometry/vector_math.h"
#include "nc/controller_dialects.h"
#include "nc/coordinate_transforms.h"
#include "nc/cutter_compensation.h"
#include "nc/g_codes.h"
#include "nc/kinematics_services.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_words.h"

namespace mirexa {

namespace {

// Selects work offset entry 0 .. 200: entry 0 leaves the external offset alone as the origin.
// The position registers are re-based as for G54. 0 for an index beyond the table.
int SelectDialectWorkOffset(int index) {
    if (index < 0 || index > kDialectWorkOffsetMax) {
        return 0;
    }
    if (index == 0) {
        NcRun.modal.workOffsetIndex = 0;
        ReapplyWorkOrigin();
        return 1;
    }
    return ChangeWorkOffset(index);
}

// Reads every "Qn=value" of line from `at` on.
void ReadQWords(const char* line, int at) {
    for (int i = at; line[i] != '\0';) {
        if (line[i] == ';') {
            return;
        }
        if (line[i] == 'Q' && IsDialectDigit(line[i + 1])) {
            int j = i + 1;
            const int n = ReadDialectIndex(line, &j);
            j = SkipDialectBlanks(line, j);
            if (line[j] == '=') {
                const double value = ReadDialectNumber(line, &j);
                SetHeidenhainQParameter(n, value);
            }
            i = j > i ? j : i + 1;
            continue;
        }
        ++i;
    }
}

bool IsBlankChar(char c) {
    return c == ' ' || c == '\t';
}

// 1 when the keyword stands at the cursor; *after is set behind it.
bool Keyword(const BlockScan* scan, const char* word, int* after) {
    return MatchDialectKeyword(scan->line, scan->cursor, word, after) != 0;
}

// The defined cycle becomes the active canned cycle at the current position (CYCL CALL, M99):
// repeat count 1, the start on the drilling axis as the initial level, the cycle's feed, and the
// block drills where the tool stands unless it names a position.
void ActivateHeidenhainCycle() {
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
void StartHeidenhainMove(const BlockScan* scan, int motionType) {
    NcModalState& modal = NcRun.modal;
    CurrentMotion.motionType = motionType;
    modal.lengthCompensation = 1;
    modal.cycleCode = kNoCycle;
    if (std::strstr(scan->line + scan->cursor, "M91") != nullptr) {
        NcRun.block.machineCoordinateBlock = 1;
    }
}

// TOOL CALL: the tool number, then DL and DR in the rest of the line; nothing more of the line
// is read.
void CallTool(BlockScan* scan) {
    const int t = ReadWordInteger(&scan->cursor, scan->line);
    ReadLeftRightValues(scan->line + scan->cursor);
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

// An axis word whose value is a Q parameter (X+Q1, IZ-Q5): the parameter's value. 1 when the
// word was one (a parameter beyond the table refuses the word).
int ScanParameterAxisWord(BlockScan* scan) {
    const char letter = scan->At(scan->cursor);
    const int axisAt = letter == 'I' ? 1 : 0;
    const int qAxis =
        LetterIndex(scan->At(scan->cursor + axisAt), NcController.axes.coordinateLetters, 3);
    if (qAxis < 0 ||
        (letter != 'I' && qAxis != LetterIndex(letter, NcController.axes.coordinateLetters, 3))) {
        return 0;
    }
    int at = scan->cursor + axisAt + 1;
    const int sign = scan->At(at) == '-' ? -1 : 1;
    if (scan->At(at) == '+' || scan->At(at) == '-') {
        ++at;
    }
    if (scan->At(at) != 'Q' || scan->At(at + 1) < '0' || scan->At(at + 1) > '9') {
        return 0;
    }
    scan->cursor = at + 1;
    const int n = ReadWordInteger(&scan->cursor, scan->line);
    if (n >= 0 && n < kQParameterCount) {
        double value = sign * DialectState.cycle.q[n];
        if (NcController.axisReversed[qAxis]) {
            value = -value;
        }
        PlaceAxisValue(scan, qAxis, value, letter == 'I');
    }
    return 1;
}

// BEGIN PGM, BLK FORM, END PGM, TOOL CALL, TOOL DEF, LBL.
int ScanProgramKeyword(BlockScan* scan) {
    NcBlockState& block = NcRun.block;
    int after = 0;
    if (Keyword(scan, "BEGIN PGM", &after)) {
        NcRun.status.started = 1;
        block.stopScan = 1;
        return 1;
    }
    if (Keyword(scan, "END PGM", &after)) {
        if (Subprograms.depth == 0) {
            MarkProgramEnd();
            if (NcRun.status.endState == kRunEnded) {
                SetRotaryShortestPath(0);
            }
        } else {
            EndSubprogramLevel();
        }
        block.stopScan = 1;
        return 1;
    }
    if (Keyword(scan, "TOOL CALL", &after)) {
        scan->cursor = after;
        CallTool(scan);
        return 1;
    }
    // The block form, a tool definition (the tool is taken at its call) and labels are not
    // simulated.
    if (Keyword(scan, "BLK", &after) || Keyword(scan, "TOOL DEF", &after) ||
        Keyword(scan, "LBL", &after)) {
        block.stopScan = 1;
        return 1;
    }
    return 0;
}

// CALL PGM (the rest of the line after the blanks, without its line end, names the file), label
// calls (not simulated), CYCL DEF and CYCL CALL.
int ScanCallKeyword(BlockScan* scan) {
    NcBlockState& block = NcRun.block;
    int after = 0;
    if (Keyword(scan, "CALL PGM", &after)) {
        int at = after;
        while (IsBlankChar(scan->At(at))) {
            ++at;
        }
        int stop = scan->end > at ? scan->end : at;
        while (stop > at && (scan->At(stop - 1) == '\n' || scan->At(stop - 1) == '\r')) {
            --stop;
        }
        stop = at + SkipTrailingBlanks(stop - at, scan->line + at);
        OpenSubprogramByName(scan->line + at, stop - at);
        block.stopScan = 1;
        return 1;
    }
    if (Keyword(scan, "CALL", &after)) {
        block.stopScan = 1;
        return 1;
    }
    if (Keyword(scan, "CYCL DEF", &after)) {
        scan->cursor = after;
        ParseHeidenhainCyclDef(&scan->cursor, scan->line);
        block.stopScan = 1;
        return 1;
    }
    if (Keyword(scan, "CYCL CALL", &after)) {
        scan->cursor = after;
        ActivateHeidenhainCycle();
        return 1;
    }
    return 0;
}

// CC (the circle centre: the current end, then the block's axis words), CP, CR and C: the
// circle blocks.
int ScanCircleWord(BlockScan* scan) {
    NcDialectState& d = DialectState;
    const char next = scan->At(scan->cursor + 1);
    if (next == 'C') {
        for (int i = 0; i < 3; ++i) {
            d.circleCentre[i] = CurrentMotion.end.axis[i];
        }
        d.centreMode = 1;
        scan->cursor += 2;
        return 1;
    }
    if (next == 'P' || next == 'R') {
        scan->cursor += 2;
        StartHeidenhainMove(scan, kMotionClockwise);
        if (next == 'P') {
            d.circleBlock = 1;
            d.polarBlock = 2;
        }
        return 1;
    }
    if (IsBlankChar(next) || LetterIndex(next, NcController.axes.coordinateLetters, 3) >= 0 ||
        LetterIndex(next, NcController.axes.incrementalLetters, 3) >= 0) {
        ++scan->cursor;
        StartHeidenhainMove(scan, kMotionClockwise);
        d.circleBlock = 1;
        return 1;
    }
    return 0;
}

// LP (a polar line) and L (a line).
int ScanLineWord(BlockScan* scan) {
    if (scan->At(scan->cursor + 1) == 'P') {
        scan->cursor += 2;
        StartHeidenhainMove(scan, kMotionLine);
        DialectState.polarBlock = 1;
        return 1;
    }
    ++scan->cursor;
    StartHeidenhainMove(scan, kMotionLine);
    return 1;
}

// FN 0: Qn = value assigns a parameter; the other parameter functions are not simulated.
void AssignParameterFunction(BlockScan* scan) {
    int at = scan->cursor + 2;
    while (IsBlankChar(scan->At(at))) {
        ++at;
    }
    if (scan->At(at) == '0' && scan->At(at + 1) == ':') {
        const char* q = std::strchr(scan->line + at, 'Q');
        const char* eq = q != nullptr ? std::strchr(q, '=') : nullptr;
        if (eq != nullptr && eq < scan->line + scan->end && q[1] >= '0' && q[1] <= '9' &&
            eq - q - 1 <= 7) {
            const int n = ConvertWordInteger(q + 1, static_cast<int>(eq - q - 1));
            int value = static_cast<int>(eq - scan->line) + 1;
            while (IsBlankChar(scan->At(value))) {
                ++value;
            }
            SetHeidenhainQParameter(n, ReadWordValueToBlank(&value, scan->line));
        }
    }
    NcRun.block.stopScan = 1;
}

// F MAX (rapid), FN, F AUTO (the feed of the tool call: the programmed feed stays), FZ and FU
// (feeds per tooth and per revolution are not simulated; their value is passed).
int ScanFeedKeyword(BlockScan* scan) {
    const char next = scan->At(scan->cursor + 1);
    int after = 0;
    if (Keyword(scan, "F MAX", &after)) {
        scan->cursor = after;
        CurrentMotion.motionType = kMotionRapid;
        return 1;
    }
    if (next == 'N') {
        AssignParameterFunction(scan);
        return 1;
    }
    if (Keyword(scan, "F AUTO", &after)) {
        scan->cursor = after;
        return 1;
    }
    if (next == 'Z' || next == 'U') {
        scan->cursor += 2;
        ReadWordReal(&scan->cursor, scan->line);
        return 1;
    }
    return 0;
}

// A polar radius or angle: absolute (PR, PA) or added to the start's (IPR, IPA).
void ReadPolarWord(BlockScan* scan, char which, int incremental) {
    NcDialectState& d = DialectState;
    const double value = ReadWordReal(&scan->cursor, scan->line);
    if (which == 'R') {
        d.polarRadius = value;
        d.polarRadiusGiven = 1;
        d.polarRadiusIncremental = incremental;
    } else {
        d.polarAngle = value;
        d.polarAngleGiven = 1;
        d.polarAngleIncremental = incremental;
    }
}

// PLANE, the polar words PR and PA of a polar block, and the ISO cycle words P01 .. P05 of a
// defined cycle.
int ScanPWord(BlockScan* scan) {
    const char next = scan->At(scan->cursor + 1);
    int after = 0;
    if (Keyword(scan, "PLANE", &after)) {
        scan->cursor = after;
        ParseHeidenhainPlane(&scan->cursor, scan->line);
        NcRun.block.stopScan = 1;
        return 1;
    }
    if (DialectState.polarBlock != 0 && (next == 'R' || next == 'A')) {
        scan->cursor += 2;
        ReadPolarWord(scan, next, 0);
        return 1;
    }
    if (NcRun.modal.heidenhainCycleCode != kNoCycle && next >= '0' && next <= '9') {
        int at = scan->cursor + 1;
        if (ParseHeidenhainIsoCycleWord(&at, scan->line)) {
            scan->cursor = at;
            return 1;
        }
    }
    return 0;
}

// IPA and IPR (polar increments), IX, IY, IZ (an axis value added to the last programmed one).
int ScanIncrementalWord(BlockScan* scan) {
    const char next = scan->At(scan->cursor + 1);
    const char third = scan->At(scan->cursor + 2);
    if (next == 'P' && (third == 'A' || third == 'R')) {
        scan->cursor += 3;
        ReadPolarWord(scan, third, 1);
        return 1;
    }
    const int axis = LetterIndex(next, NcController.axes.coordinateLetters, 3);
    if (axis >= 0) {
        scan->cursor += 2;
        ReadAxisWord(scan, axis, true);
        return 1;
    }
    return 0;
}

// Qn = value: a parameter assignment (a number beyond the table is refused).
int ScanParameterAssignment(BlockScan* scan) {
    if (scan->At(scan->cursor + 1) < '0' || scan->At(scan->cursor + 1) > '9') {
        return 0;
    }
    int at = scan->cursor + 1;
    while (scan->At(at) >= '0' && scan->At(at) <= '9') {
        ++at;
    }
    int eq = at;
    while (IsBlankChar(scan->At(eq))) {
        ++eq;
    }
    if (scan->At(eq) != '=') {
        return 0;
    }
    const int n = ConvertWordInteger(scan->line + scan->cursor + 1, at - scan->cursor - 1);
    const bool digitsFit = at - scan->cursor - 1 <= 6;
    scan->cursor = eq + 1;
    while (IsBlankChar(scan->At(scan->cursor))) {
        ++scan->cursor;
    }
    const double value = ReadWordValueToBlank(&scan->cursor, scan->line);
    if (digitsFit) {
        SetHeidenhainQParameter(n, value);
    }
    return 1;
}

// RL, RR and R0: the cutter side.
int ScanCutterSideWord(BlockScan* scan) {
    const char next = scan->At(scan->cursor + 1);
    const char third = scan->At(scan->cursor + 2);
    if (next == 'L' || next == 'R') {
        scan->cursor += 2;
        SetCutterSide(next == 'L' ? 41 : 42);
        return 1;
    }
    if (next == '0' && !(third >= '0' && third <= '9') && third != '.') {
        scan->cursor += 2;
        SetCutterSide(40);
        return 1;
    }
    return 0;
}

// DR+ and DR-: the turning sense of the block's circle.
int ScanDirectionWord(BlockScan* scan) {
    const char third = scan->At(scan->cursor + 2);
    if (scan->At(scan->cursor + 1) != 'R' || (third != '+' && third != '-')) {
        return 0;
    }
    scan->cursor += 3;
    DialectState.directionGiven = 1;
    MotionRecord& m = CurrentMotion;
    if (m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise) {
        const int type = third == '+' ? kMotionCounterClockwise : kMotionClockwise;
        m.motionType = NcRun.modal.planeCode < 0 ? OppositeArc(type) : type;
    }
    return 1;
}

int ScanHeidenhainWord(BlockScan* scan) {
    if (ScanParameterAxisWord(scan)) {
        return 1;
    }
    switch (scan->At(scan->cursor)) {
        case '*':
            NcRun.block.stopScan = 1;
            return 1;
        case 'B':
        case 'E':
        case 'T':
            return ScanProgramKeyword(scan);
        case 'C':
            return ScanCallKeyword(scan) || ScanCircleWord(scan);
        case 'L':
            return ScanProgramKeyword(scan) || ScanLineWord(scan);
        case 'F':
            return ScanFeedKeyword(scan);
        case 'P':
            return ScanPWord(scan);
        case 'I':
            return ScanIncrementalWord(scan);
        case 'Q':
            return ScanParameterAssignment(scan);
        case 'R':
            return ScanCutterSideWord(scan);
        case 'D':
            return ScanDirectionWord(scan);
        default:
            return 0;
    }
}

// M99 calls the defined cycle, M126/M127 switch the shortest rotary path, M128 and M129 are
// tool centre point control on and off; M02 and M30 also end the shortest path.
int ApplyHeidenhainM(BlockScan*, int n) {
    NcModalState& modal = NcRun.modal;
    switch (n) {
        case 99:
            ActivateHeidenhainCycle();
            return 1;
        case 126:
        case 127:
            SetRotaryShortestPath(n == 126 ? 1 : 0);
            return 1;
        case 128:
            modal.gCode = 43;
            if (NcController.rotaryType != 0 && NcController.resetToolCenterControl == 0) {
                modal.toolCenterPointMode = kToolCentreByAngles;
            }
            modal.lengthCompensation = 1;
            SetLengthOffsetForCurrentTool();
            NcRun.block.stopScan = 1;
            return 1;
        case 129:
            modal.gCode = 49;
            CancelLengthCompensation();
            NcRun.block.stopScan = 1;
            return 1;
        case 2:
        case 30:
            if (EndProgramByM()) {
                SetRotaryShortestPath(0);
            }
            return 1;
        default:
            return 0;
    }
}

// K inside a cycle keeps the repeat count 1; Q is the peck depth by its magnitude.
int ReadHeidenhainLetter(BlockScan* scan, char letter) {
    if (letter == 'K') {
        ReadWordInteger(&scan->cursor, scan->line);
        NcRun.modal.cycleRepeat = 1;
        return 1;
    }
    if (letter == 'Q') {
        NcRun.modal.cyclePeck = std::fabs(ReadWordCoordinate(&scan->cursor, scan->line));
        return 1;
    }
    return 0;
}

// CC: the circle centre takes the axis words, with the sign and scaling of the axis but no
// increment.
int TakeCentreAxis(int axis, double value) {
    if (!DialectState.centreMode || axis >= 3) {
        return 0;
    }
    if (axis != NcRun.modal.plane.normal) {
        ScaleAxisValue(axis, &value);
        DialectState.circleCentre[axis] = value;
    }
    return 1;
}

// The centre words are the centre itself (an increment from the start in incremental mode); it
// carries over to the blocks that follow.
void TakeCentreWord(int axis, double value) {
    if (NcRun.modal.toolCenterPointMode == kToolCentreByVector) {
        return;
    }
    DialectState.circleCentre[axis] =
        value + (NcRun.modal.incremental ? CurrentMotion.start.axis[axis] : 0.0);
    DialectState.circleBlock = 1;
}

// Polar coordinates about the circle centre (the pole): the start's radius and angle (deg)
// unless the block gives them; IPR and IPA add to the start's. A circle (CP) keeps the start's
// radius. Every circle turns about the circle centre; the arc geometry takes it from the start.
void FinishHeidenhainWords() {
    const NcDialectState& d = DialectState;
    MotionRecord& m = CurrentMotion;
    NcBlockState& block = NcRun.block;
    const PlaneAxes& plane = NcRun.modal.plane;
    const int a = plane.first, b = plane.second;
    if (d.polarBlock != 0) {
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
    if (arc && block.centreSource != 2) {
        for (int i = 0; i < 3; ++i) {
            block.centreWord[i] = i == plane.normal ? 0.0 : d.circleCentre[i] - m.start.axis[i];
        }
        block.centreSource = 1;
        block.centreWordSeen = 1;
    }
}

// PLANE SPATIAL builds its plane after the block end: the rotary axes stay where the machine
// holds them; the moves that follow turn them.
void CompleteHeidenhainBlock() {
    NcDialectState& s = DialectState;
    if (s.planeMode != kWorkPlaneSpatial) {
        return;
    }
    BuildRotationFromAngles();
    for (int k = 3; k < 5; ++k) {
        CurrentMotion.end.axis[k] = CurrentMachinePose.machine.axis[k] - WorkOrigin.axis[k];
    }
    CurrentWorkPlane.mode = kWorkPlaneSpatial;
    CurrentWorkPlane.active = 1;
    NcRun.modal.lengthCompensation = 1;
    KinematicsMode.preferredRotarySign = s.planeSequence;
}

// G70 to G89 define the cycle that CYCL CALL and M99 call.
int DefineCycleCode(BlockScan*, GWord g) {
    NcRun.modal.heidenhainCycleCode = g.number;
    return 1;
}

const DialectGCode HeidenhainGCodes[] = {
    {4, 4, IgnoreGCode},
    {53, 53, IgnoreGCode},
    {70, 89, DefineCycleCode},
};

}  // namespace

const ScannerDialect HeidenhainScanner = {
    .blockEnds = ";*",
    .scanWord = ScanHeidenhainWord,
    .gCodes = HeidenhainGCodes,
    .gCodeCount = sizeof HeidenhainGCodes / sizeof HeidenhainGCodes[0],
    .sharedGCodes = WordAddressGCodes,
    .sharedGCodeCount = WordAddressGCodeCount,
    .applyM = ApplyHeidenhainM,
    .letterWord = ReadHeidenhainLetter,
    .axisData = TakeCentreAxis,
    .centreWord = TakeCentreWord,
    .keepsCentreWords = 1,
    .feedEndsRapid = 1,
    .ownsCyclePWords = 1,
    .finishWords = FinishHeidenhainWords,
    .completeBlock = CompleteHeidenhainBlock,
};

namespace {

// The levels of the cycles from 200: first (set-up clearance), second (depth), third (second
// set-up clearance) above the surface (base).
void PublishHeidenhainCycleLevels() {
    const HeidenhainCycleParameters& p = DialectState.cycle;
    HeidenhainCycleLevels& l = NcRun.modal.heidenhainLevels;
    l.first = p.setUpClearance;
    l.second = p.depth;
    l.third = p.secondClearance;
    l.base = p.surface;
}

}  // namespace

int SetHeidenhainQParameter(int n, double value) {
    if (n < 0 || n >= kQParameterCount) {
        return 0;
    }
    HeidenhainCycleParameters& p = DialectState.cycle;
    NcModalState& modal = NcRun.modal;
    p.q[n] = value;
    p.qGiven[n] = 1;
    switch (n) {
        case 200:
            p.setUpClearance = value;
            break;
        case 201:
            p.depth = value;
            break;
        case 202:
            p.plungingDepth = value;
            modal.cyclePeck = value;
            break;
        case 203:
            p.surface = value;
            break;
        case 204:
            p.secondClearance = value;
            break;
        case 206:
            p.feed = value;
            break;
        case 211:
            p.dwell = value;
            modal.dwellTime = value;
            break;
        case 339:
            if (modal.heidenhainCycleCode == 247) {
                const int index =
                    value >= 0.0 && value <= kDialectWorkOffsetMax ? static_cast<int>(value) : -1;
                SelectDialectWorkOffset(index);
            }
            break;
        default:
            break;
    }
    PublishHeidenhainCycleLevels();
    return 1;
}

int ParseHeidenhainIsoCycleWord(int* cursor, const char* line) {
    int at = *cursor;
    if (line[at] == '0') {
        ++at;  // P01 .. P05: the leading 0 is skipped
    }
    if (line[at] < '1' || line[at] > '5' || IsDialectDigit(line[at + 1])) {
        return 0;
    }
    const int word = line[at] - '0';
    ++at;
    HeidenhainCycleParameters& p = DialectState.cycle;
    NcModalState& modal = NcRun.modal;
    const bool peckCycle = modal.heidenhainCycleCode == 73 || modal.heidenhainCycleCode == 83;
    switch (word) {
        case 1:
            p.setUpClearance = ReadWordMilli(&at, line);
            modal.cycleRWord = p.setUpClearance;
            at = FindWordEnd(at, line);
            break;
        case 2:
            p.depth = ReadWordCoordinate(&at, line);
            modal.cycleDepthWord = p.depth;
            NcRun.block.axisWordSeen = 1;
            break;
        case 3:
            if (peckCycle) {
                p.plungingDepth = ReadWordCoordinate(&at, line);
                modal.cyclePeck = p.plungingDepth;
            } else {
                p.dwell = ReadWordMilliAlways(&at, line);
                modal.dwellTime = p.dwell;
                at = FindWordEnd(at, line);
            }
            break;
        case 4:
            if (peckCycle) {
                p.dwell = ReadWordMilliAlways(&at, line);
                modal.dwellTime = p.dwell;
                at = FindWordEnd(at, line);
            } else {
                p.feed = ReadWordReal(&at, line);
            }
            break;
        default:
            if (!peckCycle) {
                return 0;  // P05 only belongs to the peck cycles
            }
            p.feed = ReadWordReal(&at, line);
            break;
    }
    PublishHeidenhainCycleLevels();
    *cursor = at;
    return 1;
}

int ParseHeidenhainCyclDef(int* cursor, const char* line) {
    const int end = static_cast<int>(std::strlen(line));
    int at = SkipDialectBlanks(line, *cursor);
    *cursor = end;
    NcModalState& modal = NcRun.modal;
    if (line[at] == '7' && line[at + 1] == '.') {
        const char sub = line[at + 2];
        if (sub == '0' && !IsDialectDigit(line[at + 3])) {
            return 1;  // the datum shift header
        }
        if (sub < '1' || sub > '3' || IsDialectDigit(line[at + 3])) {
            return 0;
        }
        at = SkipDialectBlanks(line, at + 3);
        if (line[at] == '#') {
            ++at;
            return SelectDialectWorkOffset(ReadDialectIndex(line, &at));
        }
        for (int axis = 0; axis < 3; ++axis) {
            if (line[at] == NcController.axes.coordinateLetters[axis]) {
                ++at;
                const double value = ReadWordCoordinate(&at, line);
                NcRun.transforms.workOffsets[1].axis[axis] = value;
                if (modal.workOffsetIndex == 1) {
                    ReapplyWorkOrigin();
                } else {
                    ChangeWorkOffset(1);
                }
                return 1;
            }
        }
        return 0;
    }
    const int number = ReadDialectIndex(line, &at);
    if (number == 247) {
        modal.heidenhainCycleCode = 247;
        ReadQWords(line, at);
        return 1;
    }
    if (number >= 200 && number <= 209) {
        modal.heidenhainCycleCode = number;
        ReadQWords(line, at);
        return 1;
    }
    return 0;
}

int ParseHeidenhainPlane(int* cursor, const char* line) {
    int at = SkipDialectBlanks(line, *cursor);
    const int end = static_cast<int>(std::strlen(line));
    NcDialectState& s = DialectState;
    MotionRecord& m = CurrentMotion;
    if (MatchDialectKeyword(line, at, "SPATIAL", &at)) {
        static const char* const kWords[3] = {"SPA", "SPB", "SPC"};
        for (int k = 0; k < 3; ++k) {
            const char* word = std::strstr(line + at, kWords[k]);
            int i = word != nullptr ? static_cast<int>(word - line) + 3 : -1;
            CurrentWorkPlane.planeAngles[k] = i >= 0 ? ReadDialectNumber(line, &i) : 0.0;
        }
        s.planeSequence = 0;
        if (const char* seq = std::strstr(line + at, "SEQ")) {
            const char sign = seq[3];
            s.planeSequence = sign == '+' ? 1 : sign == '-' ? -1 : 0;
        }
        s.planeMode = kWorkPlaneSpatial;
        NcRun.modal.gCode = 682;
        *cursor = end;
        return 1;
    }
    if (MatchDialectKeyword(line, at, "RESET", &at)) {
        for (double& a : CurrentWorkPlane.planeAngles) {
            a = 0.0;
        }
        for (int k = 3; k < 5; ++k) {
            m.end.axis[k] = 0.0;
            NcRun.programmed.axis[k] = 0.0;
        }
        NcRun.modal.gCode = 69;
        CurrentWorkPlane.active = 0;
        CurrentWorkPlane.mode = kWorkPlaneEulerAngles;
        s.planeMode = 0;
        s.planeSequence = 0;
        KinematicsMode.preferredRotarySign = 0;
        *cursor = end;
        return 1;
    }
    *cursor = end;
    return 0;
}

}  // namespace mirexa
