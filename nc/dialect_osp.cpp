// The OSP dialect: CALL, RTS and NCYL, the G469 plane words and G127 angle, G15/G16 work offset
// words, turning modes, its G and M codes, the OO88 inclined-plane call and subprogram calls.
#include "nc/dialect_osp.h"

#include <cstring>

#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "geometry/vector_math.h"
#include "nc/controller_dialects.h"
#include "nc/coordinate_transforms.h"
#include "nc/g_codes.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nc_words.h"

namespace mirexa {

namespace {

// CALL OO88 and CALL O..., RTS (the subprogram return) and NCYL (the block's cycle is skipped).
int ScanCallKeyword(BlockScan* scan) {
    NcBlockState& block = scan->session->run.block;
    const char letter = scan->At(scan->cursor);
    int after = 0;
    if (letter == 'C' && MatchDialectKeyword(scan->line, scan->cursor, "CALL ", &after)) {
        if (MatchDialectKeyword(scan->line, after, "OO88", &after)) {
            scan->cursor = after;
            ApplyOo88InclinedPlaneCall(*scan->session, &scan->cursor, scan->line);
        } else if (scan->At(after) == 'O') {
            scan->cursor = after;
            CallOspSubprogram(*scan->session, &scan->cursor, scan->line);
        }
        block.stopScan = 1;
        return 1;
    }
    if (letter == 'R' && MatchDialectKeyword(scan->line, scan->cursor, "RTS", &after)) {
        scan->cursor = after;
        if (ReturnFromSubprogram(*scan->session)) {
            block.stopScan = 1;
        }
        return 1;
    }
    if (letter == 'N' && MatchDialectKeyword(scan->line, scan->cursor, "NCYL", &after)) {
        scan->cursor = after;
        block.cycleSkipped = 1;
        return 1;
    }
    return 0;
}

int ScanOspWord(BlockScan* scan) {
    if (ScanCallKeyword(scan)) {
        return 1;
    }
    const char letter = scan->At(scan->cursor);
    NcDialectState& d = scan->session->dialect;
    if (d.ospPlaneBlock && (letter == 'P' || letter == 'Q')) {
        // G469 P1 takes the controller's plane code and switches the plane on; Q replaces the
        // code while it is set.
        ++scan->cursor;
        const int value = ReadWordInteger(&scan->cursor, scan->line);
        if (letter == 'P' && value == 1) {
            d.ospPlaneCode = scan->session->controller.ospTiltedPlaneCode;
            d.ospPlaneSwitchOn = 1;
        } else if (letter == 'Q' && d.ospPlaneCode != 0) {
            d.ospPlaneCode = value;
        }
        return 1;
    }
    if (d.ospRotationBlock && letter == 'B' &&
        scan->session->run.transforms.transformState == kTransformPending) {
        ++scan->cursor;
        scan->session->run.transforms.pendingRotation.angle =
            scan->session->words.inputUnitMode == 3
                ? ReadWordReal(&scan->cursor, scan->line)
                : ReadWordScaled(&scan->cursor, scan->line,
                                 scan->session->controller.angleIncrement);
        scan->cursor = FindWordEnd(scan->cursor, scan->line);
        return 1;
    }
    return 0;
}

// G15/G16 H: the work offset entry (0 .. 200; others refused). G15 moves the block end and the
// last position by the old origin minus the new at once and makes the entry the origin; G16
// moves them at the end of the block and keeps the origin.
void SelectWorkOffsetWord(NcSession& session, int h) {
    if (h > kDialectWorkOffsetMax) {
        return;
    }
    MotionPosition next;
    ComputeWorkOrigin(session, h, &next);
    double delta[5];
    for (int i = 0; i < 5; ++i) {
        delta[i] = session.kinematics->workOrigin.axis[i] - next.axis[i];
    }
    session.run.modal.workOffsetIndex = h;
    if (session.dialect.ospWorkOffsetWord == 15) {
        for (int i = 0; i < 5; ++i) {
            session.kinematics->motion.end.axis[i] += delta[i];
            session.kinematics->motion.lastPosition.axis[i] += delta[i];
        }
        session.kinematics->workOrigin = next;
        UpdateToolMatrixWithWorkOffset(session.run.transforms.workOffsets,
                                       session.run.modal.workOffsetIndex);
    } else {
        for (int i = 0; i < 5; ++i) {
            session.dialect.ospPendingShift[i] = delta[i];
        }
        session.dialect.ospShiftPending = 1;
    }
}

// H after G15 or G16 selects the work offset; K inside a cycle is the peck of G73 and G83; L of
// an arc outside a cycle is its radius.
int ReadOspLetter(BlockScan* scan, char letter) {
    NcModalState& modal = scan->session->run.modal;
    if (letter == 'H' && scan->session->dialect.ospWorkOffsetWord != 0) {
        const int h = ReadWordInteger(&scan->cursor, scan->line);
        if (h >= 0) {
            SelectWorkOffsetWord(*scan->session, h);
        }
        return 1;
    }
    if (letter == 'K') {
        const double k = ReadWordCoordinate(*scan->session, &scan->cursor, scan->line);
        if (modal.cycleCode == 73 || modal.cycleCode == 83) {
            modal.cyclePeck = k;
        }
        return 1;
    }
    const int motion = scan->session->kinematics->motion.motionType;
    if (letter == 'L' && (motion == kMotionClockwise || motion == kMotionCounterClockwise) &&
        modal.cycleCode == kNoCycle) {
        scan->session->run.block.radiusWord =
            ReadWordCoordinate(*scan->session, &scan->cursor, scan->line);
        scan->session->run.block.centreSource = 2;
        return 1;
    }
    return 0;
}

// After G71 the drilling-axis word is the separate return level.
int TakeReturnLevelAxis(NcSession& session, int axis, double value) {
    if (!session.dialect.ospReturnLevelWord || axis != session.run.modal.plane.normal) {
        return 0;
    }
    session.run.modal.cycleSeparateReturnLevel = value;
    return 1;
}

// Under polar interpolation and in the G138 mode X values stay diameters.
int KeepsDiameter(NcSession& session) {
    return session.run.modal.polarInterpolation == kPolarOn || session.dialect.ospG138Mode;
}

// M52, M53 and M54 choose the cycle return level (initial, separate, R); M109 leaves the turning
// plane (ZX) for the cylinder's plane while cylindrical interpolation is on.
int ApplyOspM(BlockScan* scan, int n) {
    NcModalState& modal = scan->session->run.modal;
    if (n >= 52 && n <= 54) {
        modal.returnLevel = n == 52   ? kReturnToInitialLevel
                            : n == 53 ? kReturnToSeparateLevel
                                      : kReturnToRLevel;
        return 1;
    }
    if (n == 109) {
        if (modal.cylindricalInterpolation &&
            (modal.planeCode == kPlaneZx || modal.planeCode == -kPlaneZx)) {
            modal.planeCode = kPlaneYz;
            SelectPlaneAxes(*scan->session);
        }
        return 1;
    }
    return 0;
}

// G469 blocks build their plane only under plane code 313; otherwise the plane keeps the origin
// and angles it had. The table-rotated copy of a work offset belongs to the G68.2 form.
void FinishOspWords(NcSession& session) {
    const NcDialectState& d = session.dialect;
    NcBlockState& block = session.run.block;
    if (!d.ospPlaneBlock) {
        return;
    }
    if (d.ospPlaneCode != kOspTiltedPlaneCode) {
        block.tiltedPlaneBlock = 0;
        std::memcpy(session.kinematics->plane.origin, d.ospPlaneOriginBefore,
                    sizeof d.ospPlaneOriginBefore);
        std::memcpy(session.kinematics->plane.planeAngles, d.ospPlaneAnglesBefore,
                    sizeof d.ospPlaneAnglesBefore);
    }
    block.tiltedRotaryGiven[0] = block.tiltedRotaryGiven[1] = 0;
}

// The G16 shift reaches the block end and the last position; G469 P1 switches on the plane the
// block built.
void CompleteOspBlock(NcSession& session) {
    NcDialectState& s = session.dialect;
    MotionRecord& m = session.kinematics->motion;
    if (s.ospShiftPending) {
        for (int i = 0; i < 5; ++i) {
            m.end.axis[i] += s.ospPendingShift[i];
            m.lastPosition.axis[i] += s.ospPendingShift[i];
        }
        s.ospShiftPending = 0;
    }
    if (s.ospPlaneSwitchOn && session.run.block.tiltedPlaneBlock &&
        session.run.transforms.tiltedPlaneReady) {
        session.kinematics->plane.active = 1;
    }
}

int Dwell(BlockScan* scan, GWord) {
    StartDwell(scan, "PF");
    return 1;
}

int SetWorkOffsetWord(BlockScan* scan, GWord g) {
    scan->session->dialect.ospWorkOffsetWord = g.number;
    return 1;
}

// G53 cancels the length compensation unless the controller offsets automatically.
int CancelLengthByG53(BlockScan* scan, GWord) {
    if (!scan->session->controller.autoLengthOffset) {
        scan->session->run.modal.lengthCompensation = 0;
        SetLengthOffset(*scan->session, 0.0);
    }
    return 1;
}

// G71: a drilling-axis word of the block gives the separate return level; the common code
// cancels the cycle.
int MarkReturnLevelWord(BlockScan* scan, GWord) {
    scan->session->dialect.ospReturnLevelWord = 1;
    return 0;
}

// G119: cylindrical interpolation; a turning machine leaves its turning plane (ZX).
int StartCylindrical(BlockScan* scan, GWord) {
    NcModalState& modal = scan->session->run.modal;
    modal.cylindricalInterpolation = 1;
    modal.planeCode = scan->session->controller.lathe[0] ? kPlaneYz : kPlaneZx;
    SelectPlaneAxes(*scan->session);
    return 1;
}

// G126 marks an active coordinate rotation for cancelling (as G69). G127, with no rotation and
// no polar interpolation on and the G138 mode set, starts a rotation about the Y axis (kind 2)
// about the origin; a B word of the block gives its angle. As for G68, the block makes no move.
int ApplyRotationCode(BlockScan* scan, GWord g) {
    NcTransformState& t = scan->session->run.transforms;
    if (g.number == 126) {
        if (t.rotationCount > 0) {
            t.transformState = kTransformCancel;
        }
        return 1;
    }
    if (t.rotationCount != 0 || scan->session->run.modal.polarInterpolation == kPolarOn ||
        !scan->session->dialect.ospG138Mode) {
        return 1;
    }
    scan->session->run.block.rotationBlock = 1;
    BeginCoordinateRotation(*scan->session, 1);
    t.pendingRotation.kind = 2;
    scan->session->dialect.ospRotationBlock = 1;
    return 1;
}

// G132 and G133: the arcs of G02 and G03.
int ApplyArcCode(BlockScan* scan, GWord g) {
    const int type = g.number == 132 ? kMotionClockwise : kMotionCounterClockwise;
    scan->session->kinematics->motion.motionType =
        scan->session->run.modal.planeCode < 0 ? OppositeArc(type) : type;
    scan->session->run.modal.cycleCode = kNoCycle;
    return 1;
}

// G137 polar interpolation on; G136 off (also ending the G138 mode with the Y value zeroed);
// G138 the mode G136 ends. G136 and G138 return to plane 18 under cylindrical interpolation.
int ApplyTurningMode(BlockScan* scan, GWord g) {
    NcModalState& modal = scan->session->run.modal;
    if (g.number == 137) {
        modal.polarInterpolation = kPolarOn;
        return 1;
    }
    if (g.number == 136) {
        modal.polarInterpolation = kPolarOff;
        if (scan->session->dialect.ospG138Mode) {
            scan->session->dialect.ospG138Mode = 0;
            scan->session->kinematics->motion.end.axis[1] = 0.0;
            scan->session->run.programmed.axis[1] = 0.0;
        }
    } else {
        scan->session->dialect.ospG138Mode = 1;
    }
    if (modal.cylindricalInterpolation) {
        modal.planeCode = kPlaneZx;
        SelectPlaneAxes(*scan->session);
    }
    return 1;
}

// G169: as G43.4 with the current length offset number; G170 its cancel.
int StartToolCentre(BlockScan* scan, GWord) {
    NcModalState& modal = scan->session->run.modal;
    if (scan->session->controller.rotaryType != 0 &&
        scan->session->controller.resetToolCenterControl == 0) {
        modal.toolCenterPointMode = kToolCentreByAngles;
    }
    modal.lengthCompensation = 1;
    ApplyModalLengthOffset(*scan->session);
    return 1;
}

int CancelToolCentre(BlockScan* scan, GWord) {
    CancelLengthCompensation(*scan->session);
    return 1;
}

// G274, G283 and G284: the cycles G74, G83 and G84.
int StartDialectCycle(BlockScan* scan, GWord g) {
    scan->session->run.modal.gCode = g.number - 200;
    StartCycle(*scan->session, g.number - 200);
    return 1;
}

// G468: the tilted plane off, as G69.
int EndTiltedPlane(BlockScan* scan, GWord) {
    scan->session->run.modal.gCode = 69;
    scan->session->kinematics->plane.active = 0;
    return 1;
}

// G469: the tilted work plane, read as a G68.2 block (origin X, Y, Z; Euler angles I, J, K);
// its P and Q words choose the plane code.
int StartTiltedPlane(BlockScan* scan, GWord) {
    scan->session->run.modal.gCode = 682;
    scan->session->run.block.tiltedPlaneBlock = 1;
    scan->session->kinematics->plane.mode = kWorkPlaneEulerAngles;
    NcDialectState& d = scan->session->dialect;
    if (!d.ospPlaneBlock) {
        std::memcpy(d.ospPlaneOriginBefore, scan->session->kinematics->plane.origin,
                    sizeof d.ospPlaneOriginBefore);
        std::memcpy(d.ospPlaneAnglesBefore, scan->session->kinematics->plane.planeAngles,
                    sizeof d.ospPlaneAnglesBefore);
    }
    d.ospPlaneBlock = 1;
    return 1;
}

const DialectGCode OspGCodes[] = {
    {4, 4, Dwell},
    {15, 16, SetWorkOffsetWord},
    {53, 53, CancelLengthByG53},
    {71, 71, MarkReturnLevelWord},
    {100, 103, ApplyMotionCode},
    {119, 119, StartCylindrical},
    {126, 127, ApplyRotationCode},
    {132, 133, ApplyArcCode},
    {136, 138, ApplyTurningMode},
    {169, 169, StartToolCentre},
    {170, 170, CancelToolCentre},
    {274, 274, StartDialectCycle},
    {283, 284, StartDialectCycle},
    {468, 468, EndTiltedPlane},
    {469, 469, StartTiltedPlane},
};

}  // namespace

const ScannerDialect OspScanner = {
    .scanWord = ScanOspWord,
    .gCodes = OspGCodes,
    .gCodeCount = sizeof OspGCodes / sizeof OspGCodes[0],
    .sharedGCodes = WordAddressGCodes,
    .sharedGCodeCount = WordAddressGCodeCount,
    .applyM = ApplyOspM,
    .letterWord = ReadOspLetter,
    .axisData = TakeReturnLevelAxis,
    .keepsDiameter = KeepsDiameter,
    .finishWords = FinishOspWords,
    .completeBlock = CompleteOspBlock,
};

int ApplyOo88InclinedPlaneCall(NcSession& session, int* cursor, const char* line) {
    const int end = static_cast<int>(std::strlen(line));
    int source = session.run.modal.workOffsetIndex;
    int target = -1;
    double angles[2] = {};
    double shift[3] = {};
    double rotaryValue[3] = {};  // PCA, PCB, PCC: the values of the rotary axes A, B, C
    int rotaryGiven[3] = {};
    for (int i = *cursor; i < end;) {
        if (line[i] != 'P') {
            ++i;
            continue;
        }
        int at = i + 1;
        const char a = line[at], b = line[at + 1];
        if (a == 'C' && (b == 'A' || b == 'B' || b == 'C')) {
            at += 2;
            rotaryValue[b - 'A'] = ReadDialectNumber(line, &at);
            rotaryGiven[b - 'A'] = 1;
        } else if (a == 'H' || a == 'P') {
            ++at;
            const int index = ReadDialectIndex(line, &at);
            (a == 'H' ? source : target) = index;
        } else if (a == 'A' || a == 'B') {
            ++at;
            angles[a - 'A'] = ReadDialectNumber(line, &at);
        } else if (a == 'X' || a == 'Y' || a == 'Z') {
            ++at;
            shift[a - 'X'] = ReadDialectNumber(line, &at);
        } else if (a == 'C') {
            ++at;
            ReadDialectNumber(line, &at);  // PC: kept by the control, not used by the simulation
        }
        i = at > i ? at : i + 1;
    }
    *cursor = end;
    // Entry 0 is the external offset, which the call must not overwrite.
    if (source < 0 || source > kDialectWorkOffsetMax || target < 1 ||
        target > kDialectWorkOffsetMax) {
        return 0;
    }
    MotionPosition* offsets = session.run.transforms.workOffsets;
    const MotionPosition from = offsets[source];
    double point[3];
    for (int i = 0; i < 3; ++i) {
        point[i] = from.axis[i] + shift[i];
    }
    double turned[3] = {point[0], point[1], point[2]};
    if (CurrentMachine.rotaryType == 2 || CurrentMachine.rotaryType == 3) {
        double s1 = 0, c1 = 1, s2 = 0, c2 = 1;
        SinCosDegrees(angles[0], CurrentMachine.rotary[0].sign, &s1, &c1);
        SinCosDegrees(angles[1], CurrentMachine.rotary[1].sign, &s2, &c2);
        TurnPointWithTable(point, s1, c1, s2, c2, turned);
    }
    MotionPosition& to = offsets[target];
    for (int i = 0; i < 3; ++i) {
        to.axis[i] = turned[i];
    }
    for (int k = 0; k < 2; ++k) {
        const char letter = session.controller.axes.rotaryLetters[k];
        const int slot = letter >= 'A' && letter <= 'C' ? letter - 'A' : -1;
        to.axis[3 + k] = slot >= 0 && rotaryGiven[slot] ? rotaryValue[slot] : from.axis[3 + k];
    }
    if (session.run.modal.workOffsetIndex == target) {
        ReapplyWorkOrigin(session);
        return 1;
    }
    return ChangeWorkOffset(session, target);
}

int CallOspSubprogram(NcSession& session, int* cursor, const char* line) {
    int at = *cursor;
    if (line[at] != 'O') {
        return 0;
    }
    int stop = at;
    while (line[stop] != '\0' && !IsDialectBlank(line[stop]) && line[stop] != '\r' &&
           line[stop] != '\n' && line[stop] != ';') {
        ++stop;
    }
    *cursor = stop;
    if (session.controller.runTypeMemory) {
        int digits = at + 1;
        const int number = ReadDialectIndex(line, &digits);
        return number >= 0 ? EnterSubprogramFromMemory(session, number) : 0;
    }
    return OpenSubprogramByName(session, line + at, stop - at);
}

}  // namespace mirexa
