// The step driver: one move per call from the queues or the next block, the transformed end of
// each move, and the reset of the run state.
#include "nc/step_driver.h"

#include <cmath>
#include <cstring>

#include "config/offset_tables.h"
#include "config/tool_tables.h"
#include "geometry/machine_kinematics.h"
#include "geometry/vector_math.h"
#include "nc/arc_geometry.h"
#include "nc/block_interpreter.h"
#include "nc/controller_dialects.h"
#include "nc/coordinate_transforms.h"
#include "nc/cutter_compensation.h"
#include "nc/kinematics_services.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_words.h"
#include "nc/nurbs_evaluation.h"
#include "nc/plugin_queries.h"
#include "nc/sub_moves.h"

namespace mirexa {

namespace {

// Ends below this magnitude (mm, deg) become exactly 0.
constexpr double kSnapToZero = 1e-6;

bool LengthCompensationApplies() {
    return NcRun.modal.lengthCompensation != 0 && NcRun.modal.toolCenterPointMode == kToolCentreOff;
}

int ToolAxisIndex() {
    const int k = KinematicsMode.lengthCompensationAxis;
    return (k >= 0 && k < 3) ? k : 2;
}

}  // namespace

void ApplyHeldWorkOffsetChange() {
    NcPendingMoves& p = NcRun.pending;
    if (!p.workOffsetChangeHeld) {
        return;
    }
    MotionRecord& m = CurrentMotion;
    for (int i = 0; i < 5; ++i) {
        const double d = p.heldOldOrigin.axis[i] - p.heldNewOrigin.axis[i];
        m.end.axis[i] += d;
        m.lastPosition.axis[i] += d;
    }
    WorkOrigin = p.heldNewOrigin;
    p.workOffsetChangeHeld = 0;
}

namespace {

void HandOutRapidLeg() {
    NcPendingMoves& p = NcRun.pending;
    MotionRecord& m = CurrentMotion;
    m.start = m.end;
    const int step = ++p.rapidLegIndex;
    if (p.positioningType == kRapidProfile) {
        GetStepAxisPositions(p.rapidLegCount, step, &m.end);
    } else {
        m.end = p.rapidLeg[step - 1];
    }
    m.motionType = kMotionRapid;
    m.blockHasMotion = 1;
    if (step >= p.rapidLegCount) {
        p.rapidLegCount = p.rapidLegIndex = 0;
    }
}

// The first leg of a rapid just split: it starts where the whole rapid starts.
void HandOutFirstRapidLeg() {
    CurrentMotion.end = CurrentMotion.start;
    HandOutRapidLeg();
}

void HandOutToolAxisMove() {
    NcPendingMoves& p = NcRun.pending;
    MotionRecord& m = CurrentMotion;
    const ToolAxisMove entry = p.toolAxisMoves[static_cast<size_t>(p.toolAxisIndex)];
    NoteToolAxisMoveHandedOut(p.toolAxisIndex);
    m.motionType = entry.motionType;
    m.blockHasMotion = 1;
    m.start = m.end;
    const bool last = ++p.toolAxisIndex >= static_cast<int>(p.toolAxisMoves.size());
    if (last) {
        // The held change first carries the end into the new work coordinates, in which the
        // queued value was read.
        ApplyHeldWorkOffsetChange();
        p.toolAxisMoves.clear();
        p.toolAxisIndex = 0;
    }
    m.end.axis[ToolAxisIndex()] = entry.value;
}

void HandOutToolVectorChange() {
    NcPendingMoves& p = NcRun.pending;
    MotionRecord& m = CurrentMotion;
    const ToolVectorChange entry = p.toolVectors[static_cast<size_t>(p.toolVectorIndex)];
    m.start = m.end;
    m.blockHasMotion = 1;
    NcRun.toolVector[0] = entry.values[0];
    NcRun.toolVector[1] = entry.values[1];
    NcRun.orientationAngle[0] = entry.values[2];
    NcRun.orientationAngle[1] = entry.values[3];
    if (++p.toolVectorIndex >= static_cast<int>(p.toolVectors.size())) {
        p.toolVectors.clear();
        p.toolVectorIndex = 0;
    }
}

// Hands out the next cycle or corner point; `full` adds the feed, line number and cycle flags
// of a queued point (the first point of a freshly expanded cycle takes only the motion).
void HandOutCyclePoint(bool full) {
    NcPendingMoves& p = NcRun.pending;
    MotionRecord& m = CurrentMotion;
    const int index = p.cyclePointIndex;
    const bool last = index + 1 >= p.cyclePointCount;
    if (full && CompensationHoldsElement()) {
        // A corner or connecting move of the compensation, at the feed of the element after it.
        m.lookaheadReplay = 1;
        m.feed = NcRun.compensation.cornerFeed;
        NcLine.displayedLineNumber = NcRun.compensation.cornerLine.line;
    }
    m.motionType = p.cyclePointType[index];
    m.blockHasMotion = 1;
    m.arcMirrorPending =
        (m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise) ? 1 : 0;
    m.start = m.end;
    if (last) {
        ApplyHeldWorkOffsetChange();
    }
    m.end = p.cyclePoint[index];
    if (full) {
        const PlaneAxes& plane = NcRun.modal.plane;
        if (m.arcMirrorPending) {
            for (int i = 0; i < 3; ++i) {
                m.arcCentre[i] = p.cycleCentre[i];
            }
            ComputeArcFromCentre(plane, &m);
        } else if (NcRun.modal.cycleCode != kNoCycle) {
            const double up = m.end.axis[plane.normal], from = m.start.axis[plane.normal];
            m.cycleMoveFlag = (up > from || (up < from && index >= 3)) ? 1 : 0;
        }
    }
    p.cyclePointIndex = index + 1;
    if (last) {
        p.cyclePointCount = p.cyclePointIndex = 0;
        // The next hole of a repeated cycle fills the queue again.
        if (DrillingHolesPending()) {
            ExpandNextDrillingHole();
        }
    }
}

void HandOutFinalReferenceLeg() {
    NcReferenceReturn& r = NcRun.reference;
    NcModalState& modal = NcRun.modal;
    MotionRecord& m = CurrentMotion;
    m.start = m.end;
    m.motionType = kMotionRapid;
    m.blockHasMotion = 1;
    if (modal.referenceReturnMode == kReturnFromReference) {
        for (int i = 0; i < 5; ++i) {
            if (r.g29Named[i]) {
                m.end.axis[i] = r.g29Target.axis[i];
                r.keptPosition.axis[i] = r.g29Target.axis[i];
                NcRun.programmed.axis[i] = m.end.axis[i];
            }
        }
        r.phase = 0;
        modal.referenceReturnMode = kReturnNone;
        return;
    }
    const int index = modal.referencePointIndex;
    const bool inTable =
        index >= 0 && index < kReferencePoints && NcController.referencePointPresent[index];
    if (!inTable) {
        for (int i = 0; i < 5; ++i) {
            if (r.intermediateNamed[i]) {
                m.end.axis[i] = r.runStartPoint.axis[i];
                r.keptPosition.axis[i] = r.runStartPoint.axis[i];
            }
        }
        if (LengthCompensationApplies()) {
            const int k = ToolAxisIndex();
            m.end.axis[k] -= CurrentToolValues.lengthOffset;
            r.keptPosition.axis[k] -= CurrentToolValues.lengthOffset;
        }
        NcRun.programmed = m.end;
        r.phase = 0;
        modal.referenceReturnMode = kReturnNone;
        return;
    }
    // The final leg is given in machine coordinates; the end follows it in work coordinates,
    // without the tool length that the last position adds again (as the kinematics derives the
    // end from a machine position).
    r.phase = 2;
    modal.referenceReturnMode = kReturnNone;
    KinematicsMode.positionSource = 2;
    m.machineTarget = CurrentMachinePose.machine;
    const int toolAxis = LengthCompensationApplies() ? ToolAxisIndex() : -1;
    for (int i = 0; i < 5; ++i) {
        if (r.intermediateNamed[i]) {
            const double machine = NcController.referencePoint[index][i];
            m.machineTarget.axis[i] = machine;
            r.keptPosition.axis[i] = machine - WorkOrigin.axis[i];
            m.end.axis[i] =
                r.keptPosition.axis[i] - (i == toolAxis ? CurrentToolValues.lengthOffset : 0.0);
        }
    }
    NcRun.programmed = m.end;
}

}  // namespace

int IsEndOfRecordLine(const char* line) {
    const char eor = NcController.endOfRecord;
    if (eor == ' ' || eor == '\0') {
        return false;
    }
    return line[0] == eor || (line[0] == ' ' && line[1] == eor);
}

namespace {

void RequestReferenceReturn() {
    NcRun.reference.phase = 1;
    MotionRecord& m = CurrentMotion;
    NcReferenceReturn& r = NcRun.reference;
    m.motionType = kMotionRapid;
    // G28/G30 go through the intermediate point of their own block; G29 through the one kept
    // from the last G28 or G30.
    const int* named =
        NcRun.modal.referenceReturnMode == kReturnFromReference ? r.g29Named : r.intermediateNamed;
    for (int i = 0; i < 5; ++i) {
        if (named[i]) {
            m.end.axis[i] = r.intermediate.axis[i];
        }
    }
    if (NcController.automaticToolOffset) {
        const double* v = CurrentToolValues.fixedHeadOffset;
        for (int i = 0; i < 3; ++i) {
            if (named[i]) {
                m.end.axis[i] -= v[i];
            }
        }
    }
    for (int i = 0; i < 5; ++i) {
        if (named[i]) {
            r.keptPosition.axis[i] = m.end.axis[i];
        }
    }
    NcRun.programmed = m.end;
}

// The plain path of an interpreted block: the compensation start, rapid legs, cycle points and
// reference legs.
void FinishReadBlock() {
    MotionRecord& m = CurrentMotion;
    NcModalState& modal = NcRun.modal;
    if (m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise) {
        m.arcMirrorPending = 1;
    }
    // A block that starts the compensation keeps its rapid whole (unless the radius is 0).
    const bool startsCompensation = PrepareCompensationStart() != 0;
    // A block that armed the tool-change route is its first rapid.
    const NcPendingMoves& p = NcRun.pending;
    if (p.toolChangeCount > 0 && p.toolChangeIndex == 0 &&
        modal.referenceReturnMode == kReturnNone) {
        StepFirstToolChangeMove();
        return;
    }
    if (m.motionType == kMotionRapid && modal.cycleCode == kNoCycle && !NcRun.dataCheckActive &&
        modal.referenceReturnMode == kReturnNone &&
        !(startsCompensation && NcRun.compensation.radius != 0.0) && SubdivideRapidMove() > 0) {
        HandOutFirstRapidLeg();
        return;
    }
    if (startsCompensation) {
        StartCompensation();
        return;
    }
    if (modal.cycleCode != kNoCycle && NcRun.block.axisWordSeen) {
        NcRun.pending.cyclePointCount = NcRun.pending.cyclePointIndex = 0;
        NcRun.pending.cycle.holesLeft = 0;
        if (!NcRun.block.cycleSkipped) {
            if (ExpandDrillingCycle() > 0) {
                ShiftBlockLookahead();
                // The points start where the tool stands, not at the hole.
                m.end = m.start;
                HandOutCyclePoint(false);
                if (m.motionType == kMotionRapid && !NcRun.dataCheckActive &&
                    SubdivideRapidMove() > 0) {
                    HandOutFirstRapidLeg();
                }
                return;
            }
            // Nothing to do at this position (K0 at the hole itself).
            m.end = m.start;
            m.blockHasMotion = 0;
            return;
        }
    }
    if (modal.referenceReturnMode == kReturnViaIntermediate ||
        modal.referenceReturnMode == kReturnFromReference) {
        RequestReferenceReturn();
        return;
    }
    if (modal.referenceReturnMode == kReturnCheck) {
        modal.referenceReturnMode = kReturnNone;  // G27 moves as programmed
    }
}

// The NC communication plug-in is offered the line once for every comment in it, before the
// block is read (it may name the tool the block cuts with).
void OfferCommentsToPlugin(const char* line) {
    if (NcUpHooks.loadToolFromPlugin == nullptr) {
        return;
    }
    for (const char* open = std::strchr(line, '('); open != nullptr;) {
        NcUpHooks.loadToolFromPlugin();
        const char* close = std::strchr(open, ')');
        open = close != nullptr ? std::strchr(close, '(') : nullptr;
    }
}

void InterpretReadBlock() {
    OfferCommentsToPlugin(NcLine.text);
    InterpretNcBlock(NcLine.text);
    FinishReadBlock();
}

}  // namespace

void ComputeNextMove() {
    NcPendingMoves& p = NcRun.pending;
    NcRunStatus& status = NcRun.status;
    MotionRecord& m = CurrentMotion;
    // 1. Tool-change motion.
    if (p.toolChangeIndex < p.toolChangeCount) {
        StepToolChangeMove();
        return;
    }
    // 2. Per-call reset.
    if (NcRun.reference.phase == 2) {
        NcRun.reference.phase = 0;
    }
    KinematicsMode.positionSource = 0;
    KinematicsMode.machineCoordinateMove = 0;
    // A NURBS move is over once handed out: the blocks after it move as rapids until a motion
    // code comes, and none of them steps the old curve again.
    if (m.motionType == kMotionNurbs) {
        m.motionType = kMotionRapid;
        NurbsCurve.pointCount = NurbsCurve.knotCount = 0;
    }
    m.sweep = 0.0;
    m.length = 0.0;
    m.cycleMoveFlag = 0;
    m.blockHasMotion = 0;
    m.lookaheadReplay = 0;
    NcRun.compensation.moveLineValid = 0;
    status.subprogramEnd = 0;
    ClearBlockWords();
    // 3. to 6. Queued sub-moves.
    if (p.rapidLegIndex < p.rapidLegCount) {
        HandOutRapidLeg();
        return;
    }
    if (p.toolAxisIndex < static_cast<int>(p.toolAxisMoves.size())) {
        HandOutToolAxisMove();
        return;
    }
    if (p.toolVectorIndex < static_cast<int>(p.toolVectors.size())) {
        HandOutToolVectorChange();
        return;
    }
    if (p.cyclePointIndex < p.cyclePointCount) {
        HandOutCyclePoint(true);
        return;
    }
    // 7. Final reference leg.
    if (NcRun.reference.phase == 1) {
        HandOutFinalReferenceLeg();
        return;
    }
    // Cutter compensation: the cancel move, a held plain block, or the next element read ahead.
    const int compensation = StepCompensation();
    if (compensation == kCompensationFinishBlock) {
        FinishReadBlock();
    }
    if (compensation != kCompensationIdle) {
        return;
    }
    // 8. End of the program once the last cycle point went out.
    if (status.endState == kRunEndPending) {
        status.endState = kRunEnded;
        if (NcController.dialect.heidenhain) {
            SetRotaryShortestPath(0);
        }
        status.subprogramEnd = 1;
        return;
    }
    // 9. Read a block.
    for (int i = 0; i < 5; ++i) {
        NcRun.reference.intermediateNamed[i] = 0;
        NcRun.reference.g29Named[i] = 0;
    }
    if (!ReadNextNcLine()) {
        status.subprogramEnd = 1;  // end of a file or a line error: no move
        return;
    }
    // A path reader's record is the block; the start and stop characters are those of text.
    if (ActivePathReaderSlot() >= 0) {
        status.started = 1;
        InterpretPluginPathRecord(PluginPath);
        FinishReadBlock();
        return;
    }
    // 10. and 11. Start and stop character.
    if (!status.started) {
        if (IsEndOfRecordLine(NcLine.text)) {
            status.started = 1;
        }
        status.subprogramEnd = 1;
        return;
    }
    if (IsEndOfRecordLine(NcLine.text)) {
        status.subprogramEnd = 1;
        if (Subprograms.depth == 0) {
            MarkProgramEnd();
        }
        return;
    }
    // 12. The block itself; a block that switches the compensation on starts its look-ahead.
    InterpretReadBlock();
}

void FinishBlockPosition() {
    MotionRecord& m = CurrentMotion;
    NcTransformState& t = NcRun.transforms;
    const bool arc = m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise;
    m.startPoint = m.lastPosition;
    if (t.transformState == kTransformCancel) {
        const RotationLevel& first = t.rotation[0];
        if (first.kind == 0) {
            m.end.axis[first.axes.first] = m.lastPosition.axis[first.axes.first];
            m.end.axis[first.axes.second] = m.lastPosition.axis[first.axes.second];
        } else {
            for (int i = 0; i < 3; ++i) {
                m.end.axis[i] = m.lastPosition.axis[i];
            }
        }
        if (LengthCompensationApplies()) {
            m.end.axis[ToolAxisIndex()] -= CurrentToolValues.lengthOffset;
        }
        for (int i = 0; i < 3; ++i) {
            NcRun.programmed.axis[i] = m.end.axis[i];
        }
        t.rotationCount = 0;
        t.transformState = kTransformNone;
        if (KinematicsMode.runMode >= kRunModeRealCutting && NcUpHooks.redrawPanel != nullptr) {
            NcUpHooks.redrawPanel();
        }
        return;
    }
    for (double& v : m.end.axis) {
        if (std::fabs(v) < kSnapToZero) {
            v = 0.0;
        }
    }
    m.lastPosition = m.end;
    double offset[3] = {0, 0, 0};
    if (NcController.automaticToolOffset) {
        AddFixedOffsetToPoint(offset);
    } else if (LengthCompensationApplies()) {
        offset[ToolAxisIndex()] = CurrentToolValues.lengthOffset;
    }
    for (int i = 0; i < 3; ++i) {
        m.lastPosition.axis[i] += offset[i];
        m.transformedCentre[i] = arc ? m.arcCentre[i] + offset[i] : 0.0;
    }
    if (t.transformState == kTransformActive && NcRun.modal.gCode != 68) {
        for (int k = t.rotationCount - 1; k >= 0; --k) {
            const RotationLevel& level = t.rotation[k];
            const int threeD = level.kind != 0;
            RotatePointInPlane(m.lastPosition.axis, level.axes, level.cosine, level.sine,
                               level.centre, threeD);
            if (!arc) {
                continue;
            }
            RotatePointInPlane(m.arcCentre, level.axes, level.cosine, level.sine, level.centre,
                               threeD);
            RotatePointInPlane(m.transformedCentre, level.axes, level.cosine, level.sine,
                               level.centre, threeD);
            const double origin[3] = {0, 0, 0};
            RotatePointInPlane(m.startRadial, level.axes, level.cosine, level.sine, origin, 0);
            RotatePointInPlane(m.endRadial, level.axes, level.cosine, level.sine, origin, 0);
            RotatePointInPlane(m.arcAxis, level.axes, level.cosine, level.sine, origin, 0);
            Vec3Cross(m.arcAxis, m.startRadial, m.arcFrame);
        }
    }
    int mirrored = 0;
    for (int i = 0; i < 3; ++i) {
        if (!t.mirror[i]) {
            continue;
        }
        const double c2 = 2.0 * t.mirrorCentre[i];
        m.lastPosition.axis[i] = c2 - m.lastPosition.axis[i];
        if (arc) {
            m.arcCentre[i] = c2 - m.arcCentre[i];
            m.transformedCentre[i] = c2 - m.transformedCentre[i];
            m.startRadial[i] = -m.startRadial[i];
            m.endRadial[i] = -m.endRadial[i];
        }
    }
    const PlaneAxes& plane = NcRun.modal.plane;
    mirrored = (t.mirror[plane.first] ? 1 : 0) + (t.mirror[plane.second] ? 1 : 0);
    if (arc && mirrored == 1 && m.arcMirrorPending) {
        m.arcMirrorPending = 0;
        m.motionType = OppositeArc(m.motionType);
        NcRun.modal.compensationSide = -NcRun.modal.compensationSide;
        if (t.rotationCount < 2) {
            t.rotation[t.rotationCount].angle = -t.rotation[t.rotationCount].angle;
        }
    }
}

void ResetInterpreterState() {
    const NcControllerView& c = NcController;
    // Kept across the reset.
    const NcModalState before = NcRun.modal;
    const int dataCheck = NcRun.dataCheckActive;
    const int pluginTool = NcRun.pluginToolSupplied;
    // Open subprogram files are closed; the main source stays with the puller.
    while (Subprograms.depth > 0) {
        EndSubprogramLevel();
    }
    NcRun = NcRunState{};
    ResetDialectState();
    NcRun.dataCheckActive = dataCheck;
    NcRun.pluginToolSupplied = pluginTool;
    NcRun.toolChange.mountedTool = c.currentTool.number;
    // Tool 0 is a plug-in's: unless one supplied it for this run (and it is not mounted), no
    // earlier plug-in's tool stays there.
    if (pluginTool == 0 && c.currentTool.number != 0 && IsToolNumberInTables(0)) {
        ToolTableSet.tools[0] = ToolRecord{};
        ToolTableSet.lengths[0] = ToolLengthRecord{};
        ToolTableSet.arbors[0] = ArborProfile{};
        ToolTableSet.shifts[0] = 0.0f;
    }
    NcModalState& modal = NcRun.modal;
    modal.workOffsetIndex = before.workOffsetIndex;
    modal.lengthOffsetNumber = before.lengthOffsetNumber;
    modal.radiusOffsetNumber = before.radiusOffsetNumber;
    modal.diameterProgramming = c.lathe[0] ? 1 : before.diameterProgramming;
    modal.planeCode = c.initialPlane;
    SelectPlaneAxes();
    modal.returnLevel = c.returnLevel;
    modal.toolCenterPointMode = c.resetToolCenterControl;
    NcRun.cuttingEnabled = c.resetCuttingEnabled;
    NcWords.inputUnitMode = c.decimalPointRule == 3 ? 3 : 1;
    NcWords.toolDeltaLength = NcWords.toolDeltaRadius = 0.0;
    NcRun.status.started = (c.endOfRecord != ' ' && c.endOfRecord != '\0') ? 0 : 1;
    NcLine.mainLineNumber = NcLine.displayedLineNumber = NcLine.subprogramLineNumber = 0;
    NcLine.lineHeld = 0;
    DiscardPushedBackLine();
    NurbsCurve.pointCount = NurbsCurve.knotCount = 0;

    // Work coordinates: the run works on its own copy of the work offset table.
    NcTransformState& t = NcRun.transforms;
    for (int i = 0; i < kWorkOffsetEntries; ++i) {
        t.workOffsets[i] = WorkOffsetTable[i];
    }
    ApplyCurrentWorkOffset();
    t.savedWorkOffsetIndex = modal.workOffsetIndex;
    CurrentWorkPlane.active = 0;
    CurrentWorkPlane.mode = kWorkPlaneEulerAngles;

    // Kinematics inputs.
    KinematicsModeFlags& k = KinematicsMode;
    k.positionSource = 0;
    k.planeCoordinates = 0;
    k.polarInterpolation = 0;
    k.cylindricalInterpolation = 0;
    k.lengthCompensation = 0;
    k.keepProgrammedAngles = 0;
    k.previousSolutionCount = 0;
    k.preferredRotarySign = 0;
    k.machineCoordinateMove = 0;
    // FANUC-B: the normal of the current plane; otherwise the configured axis, the normal of the
    // program's XY plane.
    k.lengthCompensationAxis =
        c.lengthOffsetType == 1 ? modal.plane.normal : c.axes.programXyAxes[2];
    CurrentToolValues.lengthOffset = 0.0;

    // Every position register at the current program position.
    const MotionPosition program = CurrentMachinePose.program;
    MotionRecord& m = CurrentMotion;
    m.start = m.end = m.lastPosition = m.startPoint = program;
    m.motionType = kMotionRapid;
    m.feed = 0.0;
    m.arcMirrorPending = 0;
    NcRun.programmed = program;
    NcRun.reference.runStartPoint = program;
    NcRun.reference.keptPosition = program;
    MotionPosition& machine = CurrentMachinePose.machine;
    for (int i = 0; i < 5; ++i) {
        machine.axis[i] = program.axis[i] + WorkOrigin.axis[i];
    }
    machine.axis[2] += c.machineFixedLength - c.currentTool.length;

    if (c.automaticToolOffset || c.autoLengthOffset) {
        SetLengthOffsetForCurrentTool();
    }
    if (c.automaticToolOffset && (c.lathe[0] || c.dialect.mazak) &&
        c.axes.rotaryLetters[0] == 'B') {
        SetToolVectorFromAngle(program.axis[3]);
    }
    if (c.automaticToolOffset) {
        const double* v = CurrentToolValues.fixedHeadOffset;
        for (int i : {0, 2}) {
            m.end.axis[i] = program.axis[i] - v[i];
            NcRun.reference.keptPosition.axis[i] = m.end.axis[i];
        }
    }
    if (c.dialect.heidenhain) {
        SetRotaryShortestPath(0);
    }
    PublishKinematicsModes();
    if (KinematicsMode.runMode >= kRunModeRealCutting && NcUpHooks.redrawStatus != nullptr) {
        NcUpHooks.redrawStatus();
    }
}

}  // namespace mirexa
