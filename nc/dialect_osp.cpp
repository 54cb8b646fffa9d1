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
#include "nc/nc_words.h"

namespace mirexa {

namespace {

// CALL OO88 and CALL O..., RTS (the subprogram return) and NCYL (the block's cycle is skipped).
int ScanCallKeyword(BlockScan* scan) {
    NcBlockState& block = NcRun.block;
    const char letter = scan->At(scan->cursor);
    int after = 0;
    if (letter == 'C' && MatchDialectKeyword(scan->line, scan->cursor, "CALL ", &after)) {
        if (MatchDialectKeyword(scan->line, after, "OO88", &after)) {
            scan->cursor = after;
            ApplyOo88InclinedPlaneCall(&scan->cursor, scan->line);
        } else if (scan->At(after) == 'O') {
            scan->cursor = after;
            CallOspSubprogram(&scan->cursor, scan->line);
        }
        block.stopScan = 1;
        return 1;
    }
    if (letter == 'R' && MatchDialectKeyword(scan->line, scan->cursor, "RTS", &after)) {
        scan->cursor = after;
        if (ReturnFromSubprogram()) {
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
    NcDialectState& d = DialectState;
    if (d.ospPlaneBlock && (letter == 'P' || letter == 'Q')) {
        // G469 P1 takes the controller's plane code and switches the plane on; Q replaces the
        // code while it is set.
        ++scan->cursor;
        const int value = ReadWordInteger(&scan->cursor, scan->line);
        if (letter == 'P' && value == 1) {
            d.ospPlaneCode = NcController.ospTiltedPlaneCode;
            d.ospPlaneSwitchOn = 1;
        } else if (letter == 'Q' && d.ospPlaneCode != 0) {
            d.ospPlaneCode = value;
        }
        return 1;
    }
    if (d.ospRotationBlock && letter == 'B' &&
        NcRun.transforms.transformState == kTransformPending) {
        ++scan->cursor;
        NcRun.transforms.pendingRotation.angle =
            NcWords.inputUnitMode == 3
                ? ReadWordReal(&scan->cursor, scan->line)
                : ReadWordScaled(&scan->cursor, scan->line, NcController.angleIncrement);
        scan->cursor = FindWordEnd(scan->cursor, scan->line);
        return 1;
    }
    return 0;
}

// G15/G16 H: the work offset entry (0 .. 200; others refused). G15 moves the block end and the
// last position by the old origin minus the new at once and makes the entry the origin; G16
// moves them at the end of the block and keeps the origin.
void SelectWorkOffsetWord(int h) {
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

// H after G15 or G16 selects the work offset; K inside a cycle is the peck of G73 and G83; L of
// an arc outside a cycle is its radius.
int ReadOspLetter(BlockScan* scan, char letter) {
    NcModalState& modal = NcRun.modal;
    if (letter == 'H' && DialectState.ospWorkOffsetWord != 0) {
        const int h = ReadWordInteger(&scan->cursor, scan->line);
        if (h >= 0) {
            SelectWorkOffsetWord(h);
        }
        return 1;
    }
    if (letter == 'K') {
        const double k = ReadWordCoordinate(&scan->cursor, scan->line);
        if (modal.cycleCode == 73 || modal.cycleCode == 83) {
            modal.cyclePeck = k;
        }
        return 1;
    }
    const int motion = CurrentMotion.motionType;
    if (letter == 'L' && (motion == kMotionClockwise || motion == kMotionCounterClockwise) &&
        modal.cycleCode == kNoCycle) {
        NcRun.block.radiusWord = ReadWordCoordinate(&scan->cursor, scan->line);
        NcRun.block.centreSource = 2;
        return 1;
    }
    return 0;
}

// After G71 the drilling-axis word is the separate return level.
int TakeReturnLevelAxis(int axis, double value) {
    if (!DialectState.ospReturnLevelWord || axis != NcRun.modal.plane.normal) {
        return 0;
    }
    NcRun.modal.cycleSeparateReturnLevel = value;
    return 1;
}

// Under polar interpolation and in the G138 mode X values stay diameters.
int KeepsDiameter() {
    return NcRun.modal.polarInterpolation == kPolarOn || DialectState.ospG138Mode;
}

// M52, M53 and M54 choose the cycle return level (initial, separate, R); M109 leaves the turning
// plane (ZX) for the cylinder's plane while cylindrical interpolation is on.
int ApplyOspM(BlockScan*, int n) {
    NcModalState& modal = NcRun.modal;
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
            SelectPlaneAxes();
        }
        return 1;
    }
    return 0;
}

// G469 blocks build their plane only under plane code 313; otherwise the plane keeps the origin
// and angles it had. The table-rotated copy of a work offset belongs to the G68.2 form.
void FinishOspWords() {
    const NcDialectState& d = DialectState;
    NcBlockState& block = NcRun.block;
    if (!d.ospPlaneBlock) {
        return;
    }
    if (d.ospPlaneCode != kOspTiltedPlaneCode) {
        block.tiltedPlaneBlock = 0;
        std::memcpy(CurrentWorkPlane.origin, d.ospPlaneOriginBefore, sizeof d.ospPlaneOriginBefore);
        std::memcpy(CurrentWorkPlane.planeAngles, d.ospPlaneAnglesBefore,
                    sizeof d.ospPlaneAnglesBefore);
    }
    block.tiltedRotaryGiven[0] = block.tiltedRotaryGiven[1] = 0;
}

// The G16 shift reaches the block end and the last position; G469 P1 switches on the plane the
// block built.
void CompleteOspBlock() {
    NcDialectState& s = DialectState;
    MotionRecord& m = CurrentMotion;
    if (s.ospShiftPending) {
        for (int i = 0; i < 5; ++i) {
            m.end.axis[i] += s.ospPendingShift[i];
            m.lastPosition.axis[i] += s.ospPendingShift[i];
        }
        s.ospShiftPending = 0;
    }
    if (s.ospPlaneSwitchOn && NcRun.block.tiltedPlaneBlock && NcRun.transforms.tiltedPlaneReady) {
        CurrentWorkPlane.active = 1;
    }
}

int Dwell(BlockScan* scan, GWord) {
    StartDwell(scan, "PF");
    return 1;
}

int SetWorkOffsetWord(BlockScan*, GWord g) {
    DialectState.ospWorkOffsetWord = g.number;
    return 1;
}

// G53 cancels the length compensation unless the controller offsets automatically.
int CancelLengthByG53(BlockScan*, GWord) {
    if (!NcController.autoLengthOffset) {
        NcRun.modal.lengthCompensation = 0;
        SetLengthOffset(0.0);
    }
    return 1;
}

// G71: a drilling-axis word of the block gives the separate return level; the common code
// cancels the cycle.
int MarkReturnLevelWord(BlockScan*, GWord) {
    DialectState.ospReturnLevelWord = 1;
    return 0;
}

// G119: cylindrical interpolation; a turning machine leaves its turning plane (ZX).
int StartCylindrical(BlockScan*, GWord) {
    NcModalState& modal = NcRun.modal;
    modal.cylindricalInterpolation = 1;
    modal.planeCode = NcController.lathe[0] ? kPlaneYz : kPlaneZx;
    SelectPlaneAxes();
    return 1;
}

// G126 marks an active coordinate rotation for cancelling (as G69). G127, with no rotation and
// no polar interpolation on and the G138 mode set, starts a rotation about the Y axis (kind 2)
// about the origin; a B word of the block gives its angle. As for G68, the block makes no move.
int ApplyRotationCode(BlockScan*, GWord g) {
    NcTransformState& t = NcRun.transforms;
    if (g.number == 126) {
        if (t.rotationCount > 0) {
            t.transformState = kTransformCancel;
        }
        return 1;
    }
    if (t.rotationCount != 0 || NcRun.modal.polarInterpolation == kPolarOn ||
        !DialectState.ospG138Mode) {
        return 1;
    }
    NcRun.block.rotationBlock = 1;
    BeginCoordinateRotation(1);
    t.pendingRotation.kind = 2;
    DialectState.ospRotationBlock = 1;
    return 1;
}

// G132 and G133: the arcs of G02 and G03.
int ApplyArcCode(BlockScan*, GWord g) {
    const int type = g.number == 132 ? kMotionClockwise : kMotionCounterClockwise;
    CurrentMotion.motionType = NcRun.modal.planeCode < 0 ? OppositeArc(type) : type;
    NcRun.modal.cycleCode = kNoCycle;
    return 1;
}

// G137 polar interpolation on; G136 off (also ending the G138 mode with the Y value zeroed);
// G138 the mode G136 ends. G136 and G138 return to plane 18 under cylindrical interpolation.
int ApplyTurningMode(BlockScan*, GWord g) {
    NcModalState& modal = NcRun.modal;
    if (g.number == 137) {
        modal.polarInterpolation = kPolarOn;
        return 1;
    }
    if (g.number == 136) {
        modal.polarInterpolation = kPolarOff;
        if (DialectState.ospG138Mode) {
            DialectState.ospG138Mode = 0;
            CurrentMotion.end.axis[1] = 0.0;
            NcRun.programmed.axis[1] = 0.0;
        }
    } else {
        DialectState.ospG138Mode = 1;
    }
    if (modal.cylindricalInterpolation) {
        modal.planeCode = kPlaneZx;
        SelectPlaneAxes();
    }
    return 1;
}

// G169: as G43.4 with the current length offset number; G170 its cancel.
int StartToolCentre(BlockScan*, GWord) {
    NcModalState& modal = NcRun.modal;
    if (NcController.rotaryType != 0 && NcController.resetToolCenterControl == 0) {
        modal.toolCenterPointMode = kToolCentreByAngles;
    }
    modal.lengthCompensation = 1;
    ApplyModalLengthOffset();
    return 1;
}

int CancelToolCentre(BlockScan*, GWord) {
    CancelLengthCompensation();
    return 1;
}

// G274, G283 and G284: the cycles G74, G83 and G84.
int StartDialectCycle(BlockScan*, GWord g) {
    NcRun.modal.gCode = g.number - 200;
    StartCycle(g.number - 200);
    return 1;
}

// G468: the tilted plane off, as G69.
int EndTiltedPlane(BlockScan*, GWord) {
    NcRun.modal.gCode = 69;
    CurrentWorkPlane.active = 0;
    return 1;
}

// G469: the tilted work plane, read as a G68.2 block (origin X, Y, Z; Euler angles I, J, K);
// its P and Q words choose the plane code.
int StartTiltedPlane(BlockScan*, GWord) {
    NcRun.modal.gCode = 682;
    NcRun.block.tiltedPlaneBlock = 1;
    CurrentWorkPlane.mode = kWorkPlaneEulerAngles;
    NcDialectState& d = DialectState;
    if (!d.ospPlaneBlock) {
        std::memcpy(d.ospPlaneOriginBefore, CurrentWorkPlane.origin, sizeof d.ospPlaneOriginBefore);
        std::memcpy(d.ospPlaneAnglesBefore, CurrentWorkPlane.planeAngles,
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

int ApplyOo88InclinedPlaneCall(int* cursor, const char* line) {
    const int end = static_cast<int>(std::strlen(line));
    int source = NcRun.modal.workOffsetIndex;
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
    MotionPosition* offsets = NcRun.transforms.workOffsets;
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
        const char letter = NcController.axes.rotaryLetters[k];
        const int slot = letter >= 'A' && letter <= 'C' ? letter - 'A' : -1;
        to.axis[3 + k] = slot >= 0 && rotaryGiven[slot] ? rotaryValue[slot] : from.axis[3 + k];
    }
    if (NcRun.modal.workOffsetIndex == target) {
        ReapplyWorkOrigin();
        return 1;
    }
    return ChangeWorkOffset(target);
}

int CallOspSubprogram(int* cursor, const char* line) {
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
    if (NcController.runTypeMemory) {
        int digits = at + 1;
        const int number = ReadDialectIndex(line, &digits);
        return number >= 0 ? EnterSubprogramFromMemory(number) : 0;
    }
    return OpenSubprogramByName(line + at, stop - at);
}

}  // namespace mirexa
