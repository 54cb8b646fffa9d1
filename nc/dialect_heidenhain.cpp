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
#include "nc/nc_session.h"
#include "nc/nc_words.h"

namespace mirexa {

namespace {

// Selects work offset entry 0 .. 200: entry 0 leaves the external offset alone as the origin.
// The position registers are re-based as for G54. 0 for an index beyond the table.
int SelectDialectWorkOffset(NcSession& session, int index) {
    if (index < 0 || index > kDialectWorkOffsetMax) {
        return 0;
    }
    if (index == 0) {
        session.run.modal.workOffsetIndex = 0;
        ReapplyWorkOrigin(session);
        return 1;
    }
    return ChangeWorkOffset(session, index);
}

// Reads every "Qn=value" of line from `at` on.
void ReadQWords(NcSession& session, const char* line, int at) {
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
                SetHeidenhainQParameter(session, n, value);
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
void ActivateHeidenhainCycle(NcSession& session) {
    NcModalState& modal = session.run.modal;
    modal.mCode = 0;
    const int code = modal.heidenhainCycleCode;
    if (code == kNoCycle || code < 70) {
        return;  // no cycle defined: nothing to call
    }
    const HeidenhainCycleParameters& p = session.dialect.cycle;
    modal.cycleCode = code;
    modal.cycleRepeat = 1;
    modal.cycleIncremental = 0;
    modal.cycleInitialLevel = session.kinematics->motion.start.axis[modal.plane.normal];
    if (code < 200) {
        modal.cycleRWord = p.setUpClearance;
        modal.cycleDepthWord = p.depth;
    }
    if (p.feed > 0.0) {
        session.kinematics->motion.feed = p.feed;
    }
    session.run.block.axisWordSeen = 1;
}

// L, C, CC-relative circles and polar blocks: the motion type, length compensation on, the
// canned cycle cancelled; "M91" in the rest of the line makes it a machine-coordinate block.
void StartHeidenhainMove(const BlockScan* scan, int motionType) {
    NcModalState& modal = scan->session->run.modal;
    scan->session->kinematics->motion.motionType = motionType;
    modal.lengthCompensation = 1;
    modal.cycleCode = kNoCycle;
    if (std::strstr(scan->line + scan->cursor, "M91") != nullptr) {
        scan->session->run.block.machineCoordinateBlock = 1;
    }
}

// TOOL CALL: the tool number, then DL and DR in the rest of the line; nothing more of the line
// is read.
void CallTool(BlockScan* scan) {
    const int t = ReadWordInteger(&scan->cursor, scan->line);
    ReadLeftRightValues(*scan->session, scan->line + scan->cursor);
    scan->session->run.block.stopScan = 1;
    if (t < 0 || t > scan->session->controller.magazineCount) {
        return;  // a tool outside the magazine is refused
    }
    // The radius offset of the tool's own number carries the DR delta as its wear (mm).
    if (t < kToolOffsetEntries) {
        scan->session->run.modal.radiusOffsetNumber = t;
        if (scan->session->controller.offsets.dWear != nullptr) {
            // The table holds floats: a delta beyond their range saturates instead of
            // turning the compensation radius infinite.
            scan->session->controller.offsets.dWear[t] = static_cast<float>(std::clamp(
                scan->session->words.toolDeltaRadius, -double{FLT_MAX}, double{FLT_MAX}));
        }
        UpdateCompensationRadius(*scan->session);
    }
    SelectTool(*scan->session, t);
}

// An axis word whose value is a Q parameter (X+Q1, IZ-Q5): the parameter's value. 1 when the
// word was one (a parameter beyond the table refuses the word).
int ScanParameterAxisWord(BlockScan* scan) {
    const char letter = scan->At(scan->cursor);
    const int axisAt = letter == 'I' ? 1 : 0;
    const int qAxis = LetterIndex(scan->At(scan->cursor + axisAt),
                                  scan->session->controller.axes.coordinateLetters, 3);
    if (qAxis < 0 ||
        (letter != 'I' &&
         qAxis != LetterIndex(letter, scan->session->controller.axes.coordinateLetters, 3))) {
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
        double value = sign * scan->session->dialect.cycle.q[n];
        if (scan->session->controller.axisReversed[qAxis]) {
            value = -value;
        }
        PlaceAxisValue(scan, qAxis, value, letter == 'I');
    }
    return 1;
}

// BEGIN PGM, BLK FORM, END PGM, TOOL CALL, TOOL DEF, LBL.
int ScanProgramKeyword(BlockScan* scan) {
    NcBlockState& block = scan->session->run.block;
    int after = 0;
    if (Keyword(scan, "BEGIN PGM", &after)) {
        scan->session->run.status.started = 1;
        block.stopScan = 1;
        return 1;
    }
    if (Keyword(scan, "END PGM", &after)) {
        if (scan->session->subprograms.depth == 0) {
            MarkProgramEnd(*scan->session);
            if (scan->session->run.status.endState == kRunEnded) {
                SetRotaryShortestPath(*scan->session, 0);
            }
        } else {
            EndSubprogramLevel(*scan->session);
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
    NcBlockState& block = scan->session->run.block;
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
        OpenSubprogramByName(*scan->session, scan->line + at, stop - at);
        block.stopScan = 1;
        return 1;
    }
    if (Keyword(scan, "CALL", &after)) {
        block.stopScan = 1;
        return 1;
    }
    if (Keyword(scan, "CYCL DEF", &after)) {
        scan->cursor = after;
        ParseHeidenhainCyclDef(*scan->session, &scan->cursor, scan->line);
        block.stopScan = 1;
        return 1;
    }
    if (Keyword(scan, "CYCL CALL", &after)) {
        scan->cursor = after;
        ActivateHeidenhainCycle(*scan->session);
        return 1;
    }
    return 0;
}

// CC (the circle centre: the current end, then the block's axis words), CP, CR and C: the
// circle blocks.
int ScanCircleWord(BlockScan* scan) {
    NcDialectState& d = scan->session->dialect;
    const char next = scan->At(scan->cursor + 1);
    if (next == 'C') {
        for (int i = 0; i < 3; ++i) {
            d.circleCentre[i] = scan->session->kinematics->motion.end.axis[i];
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
    if (IsBlankChar(next) ||
        LetterIndex(next, scan->session->controller.axes.coordinateLetters, 3) >= 0 ||
        LetterIndex(next, scan->session->controller.axes.incrementalLetters, 3) >= 0) {
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
        scan->session->dialect.polarBlock = 1;
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
            SetHeidenhainQParameter(*scan->session, n, ReadWordValueToBlank(&value, scan->line));
        }
    }
    scan->session->run.block.stopScan = 1;
}

// F MAX (rapid), FN, F AUTO (the feed of the tool call: the programmed feed stays), FZ and FU
// (feeds per tooth and per revolution are not simulated; their value is passed).
int ScanFeedKeyword(BlockScan* scan) {
    const char next = scan->At(scan->cursor + 1);
    int after = 0;
    if (Keyword(scan, "F MAX", &after)) {
        scan->cursor = after;
        scan->session->kinematics->motion.motionType = kMotionRapid;
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
    NcDialectState& d = scan->session->dialect;
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
        ParseHeidenhainPlane(*scan->session, &scan->cursor, scan->line);
        scan->session->run.block.stopScan = 1;
        return 1;
    }
    if (scan->session->dialect.polarBlock != 0 && (next == 'R' || next == 'A')) {
        scan->cursor += 2;
        ReadPolarWord(scan, next, 0);
        return 1;
    }
    if (scan->session->run.modal.heidenhainCycleCode != kNoCycle && next >= '0' && next <= '9') {
        int at = scan->cursor + 1;
        if (ParseHeidenhainIsoCycleWord(*scan->session, &at, scan->line)) {
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
    const int axis = LetterIndex(next, scan->session->controller.axes.coordinateLetters, 3);
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
        SetHeidenhainQParameter(*scan->session, n, value);
    }
    return 1;
}

// RL, RR and R0: the cutter side.
int ScanCutterSideWord(BlockScan* scan) {
    const char next = scan->At(scan->cursor + 1);
    const char third = scan->At(scan->cursor + 2);
    if (next == 'L' || next == 'R') {
        scan->cursor += 2;
        SetCutterSide(*scan->session, next == 'L' ? 41 : 42);
        return 1;
    }
    if (next == '0' && !(third >= '0' && third <= '9') && third != '.') {
        scan->cursor += 2;
        SetCutterSide(*scan->session, 40);
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
    scan->session->dialect.directionGiven = 1;
    MotionRecord& m = scan->session->kinematics->motion;
    if (m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise) {
        const int type = third == '+' ? kMotionCounterClockwise : kMotionClockwise;
        m.motionType = scan->session->run.modal.planeCode < 0 ? OppositeArc(type) : type;
    }
    return 1;
}

int ScanHeidenhainWord(BlockScan* scan) {
    if (ScanParameterAxisWord(scan)) {
        return 1;
    }
    switch (scan->At(scan->cursor)) {
        case '*':
            scan->session->run.block.stopScan = 1;
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
int ApplyHeidenhainM(BlockScan* scan, int n) {
    NcModalState& modal = scan->session->run.modal;
    switch (n) {
        case 99:
            ActivateHeidenhainCycle(*scan->session);
            return 1;
        case 126:
        case 127:
            SetRotaryShortestPath(*scan->session, n == 126 ? 1 : 0);
            return 1;
        case 128:
            modal.gCode = 43;
            if (scan->session->controller.rotaryType != 0 &&
                scan->session->controller.resetToolCenterControl == 0) {
                modal.toolCenterPointMode = kToolCentreByAngles;
            }
            modal.lengthCompensation = 1;
            SetLengthOffsetForCurrentTool(*scan->session);
            scan->session->run.block.stopScan = 1;
            return 1;
        case 129:
            modal.gCode = 49;
            CancelLengthCompensation(*scan->session);
            scan->session->run.block.stopScan = 1;
            return 1;
        case 2:
        case 30:
            if (EndProgramByM(*scan->session)) {
                SetRotaryShortestPath(*scan->session, 0);
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
        scan->session->run.modal.cycleRepeat = 1;
        return 1;
    }
    if (letter == 'Q') {
        scan->session->run.modal.cyclePeck =
            std::fabs(ReadWordCoordinate(*scan->session, &scan->cursor, scan->line));
        return 1;
    }
    return 0;
}

// CC: the circle centre takes the axis words, with the sign and scaling of the axis but no
// increment.
int TakeCentreAxis(NcSession& session, int axis, double value) {
    if (!session.dialect.centreMode || axis >= 3) {
        return 0;
    }
    if (axis != session.run.modal.plane.normal) {
        ScaleAxisValue(session, axis, &value);
        session.dialect.circleCentre[axis] = value;
    }
    return 1;
}

// The centre words are the centre itself (an increment from the start in incremental mode); it
// carries over to the blocks that follow.
void TakeCentreWord(NcSession& session, int axis, double value) {
    if (session.run.modal.toolCenterPointMode == kToolCentreByVector) {
        return;
    }
    session.dialect.circleCentre[axis] =
        value + (session.run.modal.incremental ? session.kinematics->motion.start.axis[axis] : 0.0);
    session.dialect.circleBlock = 1;
}

// Polar coordinates about the circle centre (the pole): the start's radius and angle (deg)
// unless the block gives them; IPR and IPA add to the start's. A circle (CP) keeps the start's
// radius. Every circle turns about the circle centre; the arc geometry takes it from the start.
void FinishHeidenhainWords(NcSession& session) {
    const NcDialectState& d = session.dialect;
    MotionRecord& m = session.kinematics->motion;
    NcBlockState& block = session.run.block;
    const PlaneAxes& plane = session.run.modal.plane;
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
            session.run.programmed.axis[a] = m.end.axis[a];
            session.run.programmed.axis[b] = m.end.axis[b];
            block.axisWordSeen = 1;
            block.axisNamed[a] = block.axisNamed[b] = 1;
        }
    }
    // The circle's motion type is modal, its centre words are not: only a circle block (C, CP,
    // centre words) or a block naming an axis under a modal circle turns about the circle centre.
    // A block without motion after a circle (a comment, CC, TOOL CALL, END PGM) makes no circle.
    const bool arc = m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise;
    const bool turns = d.circleBlock != 0 || block.axisNamed[0] != 0 || block.axisNamed[1] != 0 ||
                       block.axisNamed[2] != 0;
    if (arc && turns && block.centreSource != 2) {
        for (int i = 0; i < 3; ++i) {
            block.centreWord[i] = i == plane.normal ? 0.0 : d.circleCentre[i] - m.start.axis[i];
        }
        block.centreSource = 1;
        block.centreWordSeen = 1;
    }
}

// PLANE SPATIAL builds its plane after the block end: the rotary axes stay where the machine
// holds them; the moves that follow turn them.
void CompleteHeidenhainBlock(NcSession& session) {
    NcDialectState& s = session.dialect;
    if (s.planeMode != kWorkPlaneSpatial) {
        return;
    }
    BuildRotationFromAngles(session);
    for (int k = 3; k < 5; ++k) {
        session.kinematics->motion.end.axis[k] =
            session.kinematics->pose.machine.axis[k] - session.kinematics->workOrigin.axis[k];
    }
    session.kinematics->plane.mode = kWorkPlaneSpatial;
    session.kinematics->plane.active = 1;
    session.run.modal.lengthCompensation = 1;
    session.kinematics->modes.preferredRotarySign = s.planeSequence;
}

// G70 to G89 define the cycle that CYCL CALL and M99 call.
int DefineCycleCode(BlockScan* scan, GWord g) {
    scan->session->run.modal.heidenhainCycleCode = g.number;
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
void PublishHeidenhainCycleLevels(NcSession& session) {
    const HeidenhainCycleParameters& p = session.dialect.cycle;
    HeidenhainCycleLevels& l = session.run.modal.heidenhainLevels;
    l.first = p.setUpClearance;
    l.second = p.depth;
    l.third = p.secondClearance;
    l.base = p.surface;
}

}  // namespace

int SetHeidenhainQParameter(NcSession& session, int n, double value) {
    if (n < 0 || n >= kQParameterCount) {
        return 0;
    }
    HeidenhainCycleParameters& p = session.dialect.cycle;
    NcModalState& modal = session.run.modal;
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
                SelectDialectWorkOffset(session, index);
            }
            break;
        default:
            break;
    }
    PublishHeidenhainCycleLevels(session);
    return 1;
}

int ParseHeidenhainIsoCycleWord(NcSession& session, int* cursor, const char* line) {
    int at = *cursor;
    if (line[at] == '0') {
        ++at;  // P01 .. P05: the leading 0 is skipped
    }
    if (line[at] < '1' || line[at] > '5' || IsDialectDigit(line[at + 1])) {
        return 0;
    }
    const int word = line[at] - '0';
    ++at;
    HeidenhainCycleParameters& p = session.dialect.cycle;
    NcModalState& modal = session.run.modal;
    const bool peckCycle = modal.heidenhainCycleCode == 73 || modal.heidenhainCycleCode == 83;
    switch (word) {
        case 1:
            p.setUpClearance = ReadWordMilli(session, &at, line);
            modal.cycleRWord = p.setUpClearance;
            at = FindWordEnd(at, line);
            break;
        case 2:
            p.depth = ReadWordCoordinate(session, &at, line);
            modal.cycleDepthWord = p.depth;
            session.run.block.axisWordSeen = 1;
            break;
        case 3:
            if (peckCycle) {
                p.plungingDepth = ReadWordCoordinate(session, &at, line);
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
    PublishHeidenhainCycleLevels(session);
    *cursor = at;
    return 1;
}

int ParseHeidenhainCyclDef(NcSession& session, int* cursor, const char* line) {
    const int end = static_cast<int>(std::strlen(line));
    int at = SkipDialectBlanks(line, *cursor);
    *cursor = end;
    NcModalState& modal = session.run.modal;
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
            return SelectDialectWorkOffset(session, ReadDialectIndex(line, &at));
        }
        for (int axis = 0; axis < 3; ++axis) {
            if (line[at] == session.controller.axes.coordinateLetters[axis]) {
                ++at;
                const double value = ReadWordCoordinate(session, &at, line);
                session.run.transforms.workOffsets[1].axis[axis] = value;
                if (modal.workOffsetIndex == 1) {
                    ReapplyWorkOrigin(session);
                } else {
                    ChangeWorkOffset(session, 1);
                }
                return 1;
            }
        }
        return 0;
    }
    const int number = ReadDialectIndex(line, &at);
    if (number == 247) {
        modal.heidenhainCycleCode = 247;
        ReadQWords(session, line, at);
        return 1;
    }
    if (number >= 200 && number <= 209) {
        modal.heidenhainCycleCode = number;
        ReadQWords(session, line, at);
        return 1;
    }
    return 0;
}

int ParseHeidenhainPlane(NcSession& session, int* cursor, const char* line) {
    int at = SkipDialectBlanks(line, *cursor);
    const int end = static_cast<int>(std::strlen(line));
    NcDialectState& s = session.dialect;
    MotionRecord& m = session.kinematics->motion;
    if (MatchDialectKeyword(line, at, "SPATIAL", &at)) {
        static const char* const kWords[3] = {"SPA", "SPB", "SPC"};
        for (int k = 0; k < 3; ++k) {
            const char* word = std::strstr(line + at, kWords[k]);
            int i = word != nullptr ? static_cast<int>(word - line) + 3 : -1;
            session.kinematics->plane.planeAngles[k] = i >= 0 ? ReadDialectNumber(line, &i) : 0.0;
        }
        s.planeSequence = 0;
        if (const char* seq = std::strstr(line + at, "SEQ")) {
            const char sign = seq[3];
            s.planeSequence = sign == '+' ? 1 : sign == '-' ? -1 : 0;
        }
        s.planeMode = kWorkPlaneSpatial;
        session.run.modal.gCode = 682;
        *cursor = end;
        return 1;
    }
    if (MatchDialectKeyword(line, at, "RESET", &at)) {
        for (double& a : session.kinematics->plane.planeAngles) {
            a = 0.0;
        }
        for (int k = 3; k < 5; ++k) {
            m.end.axis[k] = 0.0;
            session.run.programmed.axis[k] = 0.0;
        }
        session.run.modal.gCode = 69;
        session.kinematics->plane.active = 0;
        session.kinematics->plane.mode = kWorkPlaneEulerAngles;
        s.planeMode = 0;
        s.planeSequence = 0;
        session.kinematics->modes.preferredRotarySign = 0;
        *cursor = end;
        return 1;
    }
    *cursor = end;
    return 0;
}

}  // namespace mirexa
