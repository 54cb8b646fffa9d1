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
#include "nc/nc_session.h"
#include "nc/nc_words.h"
#include "nc/nurbs_evaluation.h"
#include "nc/plugin_queries.h"
#include "nc/sub_moves.h"

namespace mirexa {

namespace {

// Ends below this magnitude (mm, deg) become exactly 0.
constexpr double kSnapToZero = 1e-6;

bool LengthCompensationApplies(NcSession& session) {
    return session.run.modal.lengthCompensation != 0 &&
           session.run.modal.toolCenterPointMode == kToolCentreOff;
}

int ToolAxisIndex(NcSession& session) {
    const int k = session.kinematics->modes.lengthCompensationAxis;
    return (k >= 0 && k < 3) ? k : 2;
}

}  // namespace

void ApplyHeldWorkOffsetChange(NcSession& session) {
    NcPendingMoves& p = session.run.pending;
    if (!p.workOffsetChangeHeld) {
        return;
    }
    MotionRecord& m = session.kinematics->motion;
    for (int i = 0; i < 5; ++i) {
        const double d = p.heldOldOrigin.axis[i] - p.heldNewOrigin.axis[i];
        m.end.axis[i] += d;
        m.lastPosition.axis[i] += d;
    }
    session.kinematics->workOrigin = p.heldNewOrigin;
    p.workOffsetChangeHeld = 0;
}

namespace {

void HandOutRapidLeg(NcSession& session) {
    NcPendingMoves& p = session.run.pending;
    MotionRecord& m = session.kinematics->motion;
    m.start = m.end;
    const int step = ++p.rapidLegIndex;
    if (p.positioningType == kRapidProfile) {
        GetStepAxisPositions(session, p.rapidLegCount, step, &m.end);
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
void HandOutFirstRapidLeg(NcSession& session) {
    session.kinematics->motion.end = session.kinematics->motion.start;
    HandOutRapidLeg(session);
}

void HandOutToolAxisMove(NcSession& session) {
    NcPendingMoves& p = session.run.pending;
    MotionRecord& m = session.kinematics->motion;
    const ToolAxisMove entry = p.toolAxisMoves[static_cast<size_t>(p.toolAxisIndex)];
    NoteToolAxisMoveHandedOut(session, p.toolAxisIndex);
    m.motionType = entry.motionType;
    m.blockHasMotion = 1;
    m.start = m.end;
    const bool last = ++p.toolAxisIndex >= static_cast<int>(p.toolAxisMoves.size());
    if (last) {
        // The held change first carries the end into the new work coordinates, in which the
        // queued value was read.
        ApplyHeldWorkOffsetChange(session);
        p.toolAxisMoves.clear();
        p.toolAxisIndex = 0;
    }
    m.end.axis[ToolAxisIndex(session)] = entry.value;
}

void HandOutToolVectorChange(NcSession& session) {
    NcPendingMoves& p = session.run.pending;
    MotionRecord& m = session.kinematics->motion;
    const ToolVectorChange entry = p.toolVectors[static_cast<size_t>(p.toolVectorIndex)];
    m.start = m.end;
    m.blockHasMotion = 1;
    session.run.toolVector[0] = entry.values[0];
    session.run.toolVector[1] = entry.values[1];
    session.run.orientationAngle[0] = entry.values[2];
    session.run.orientationAngle[1] = entry.values[3];
    if (++p.toolVectorIndex >= static_cast<int>(p.toolVectors.size())) {
        p.toolVectors.clear();
        p.toolVectorIndex = 0;
    }
}

// Hands out the next cycle or corner point; `full` adds the feed, line number and cycle flags
// of a queued point (the first point of a freshly expanded cycle takes only the motion).
void HandOutCyclePoint(NcSession& session, bool full) {
    NcPendingMoves& p = session.run.pending;
    MotionRecord& m = session.kinematics->motion;
    const int index = p.cyclePointIndex;
    const bool last = index + 1 >= p.cyclePointCount;
    if (full && CompensationHoldsElement(session)) {
        // A corner or connecting move of the compensation, at the feed of the element after it.
        m.lookaheadReplay = 1;
        m.feed = session.run.compensation.cornerFeed;
        session.line.displayedLineNumber = session.run.compensation.cornerLine.line;
    }
    m.motionType = p.cyclePointType[index];
    m.blockHasMotion = 1;
    m.arcMirrorPending =
        (m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise) ? 1 : 0;
    m.start = m.end;
    if (last) {
        ApplyHeldWorkOffsetChange(session);
    }
    m.end = p.cyclePoint[index];
    if (full) {
        const PlaneAxes& plane = session.run.modal.plane;
        if (m.arcMirrorPending) {
            for (int i = 0; i < 3; ++i) {
                m.arcCentre[i] = p.cycleCentre[i];
            }
            ComputeArcFromCentre(plane, &m);
        } else if (session.run.modal.cycleCode != kNoCycle) {
            const double up = m.end.axis[plane.normal], from = m.start.axis[plane.normal];
            m.cycleMoveFlag = (up > from || (up < from && index >= 3)) ? 1 : 0;
        }
    }
    p.cyclePointIndex = index + 1;
    if (last) {
        p.cyclePointCount = p.cyclePointIndex = 0;
        // The next hole of a repeated cycle fills the queue again.
        if (DrillingHolesPending(session)) {
            ExpandNextDrillingHole(session);
        }
    }
}

void HandOutFinalReferenceLeg(NcSession& session) {
    NcReferenceReturn& r = session.run.reference;
    NcModalState& modal = session.run.modal;
    MotionRecord& m = session.kinematics->motion;
    m.start = m.end;
    m.motionType = kMotionRapid;
    m.blockHasMotion = 1;
    if (modal.referenceReturnMode == kReturnFromReference) {
        for (int i = 0; i < 5; ++i) {
            if (r.g29Named[i]) {
                m.end.axis[i] = r.g29Target.axis[i];
                r.keptPosition.axis[i] = r.g29Target.axis[i];
                session.run.programmed.axis[i] = m.end.axis[i];
            }
        }
        r.phase = 0;
        modal.referenceReturnMode = kReturnNone;
        return;
    }
    const int index = modal.referencePointIndex;
    const bool inTable =
        index >= 0 && index < kReferencePoints && session.controller.referencePointPresent[index];
    if (!inTable) {
        for (int i = 0; i < 5; ++i) {
            if (r.intermediateNamed[i]) {
                m.end.axis[i] = r.runStartPoint.axis[i];
                r.keptPosition.axis[i] = r.runStartPoint.axis[i];
            }
        }
        if (LengthCompensationApplies(session)) {
            const int k = ToolAxisIndex(session);
            m.end.axis[k] -= session.kinematics->toolValues.lengthOffset;
            r.keptPosition.axis[k] -= session.kinematics->toolValues.lengthOffset;
        }
        session.run.programmed = m.end;
        r.phase = 0;
        modal.referenceReturnMode = kReturnNone;
        return;
    }
    // The final leg is given in machine coordinates; the end follows it in work coordinates,
    // without the tool length that the last position adds again (as the kinematics derives the
    // end from a machine position).
    r.phase = 2;
    modal.referenceReturnMode = kReturnNone;
    session.kinematics->modes.positionSource = 2;
    m.machineTarget = session.kinematics->pose.machine;
    const int toolAxis = LengthCompensationApplies(session) ? ToolAxisIndex(session) : -1;
    for (int i = 0; i < 5; ++i) {
        if (r.intermediateNamed[i]) {
            const double machine = session.controller.referencePoint[index][i];
            m.machineTarget.axis[i] = machine;
            r.keptPosition.axis[i] = machine - session.kinematics->workOrigin.axis[i];
            m.end.axis[i] = r.keptPosition.axis[i] -
                            (i == toolAxis ? session.kinematics->toolValues.lengthOffset : 0.0);
        }
    }
    session.run.programmed = m.end;
}

}  // namespace

int IsEndOfRecordLine(NcSession& session, const char* line) {
    const char eor = session.controller.endOfRecord;
    if (eor == ' ' || eor == '\0') {
        return false;
    }
    return line[0] == eor || (line[0] == ' ' && line[1] == eor);
}

namespace {

void RequestReferenceReturn(NcSession& session) {
    session.run.reference.phase = 1;
    MotionRecord& m = session.kinematics->motion;
    NcReferenceReturn& r = session.run.reference;
    m.motionType = kMotionRapid;
    // G28/G30 go through the intermediate point of their own block; G29 through the one kept
    // from the last G28 or G30.
    const int* named = session.run.modal.referenceReturnMode == kReturnFromReference
                           ? r.g29Named
                           : r.intermediateNamed;
    for (int i = 0; i < 5; ++i) {
        if (named[i]) {
            m.end.axis[i] = r.intermediate.axis[i];
        }
    }
    if (session.controller.automaticToolOffset) {
        const double* v = session.kinematics->toolValues.fixedHeadOffset;
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
    session.run.programmed = m.end;
}

// The plain path of an interpreted block: the compensation start, rapid legs, cycle points and
// reference legs.
void FinishReadBlock(NcSession& session) {
    MotionRecord& m = session.kinematics->motion;
    NcModalState& modal = session.run.modal;
    if (m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise) {
        m.arcMirrorPending = 1;
    }
    // A block that starts the compensation keeps its rapid whole (unless the radius is 0).
    const bool startsCompensation = PrepareCompensationStart(session) != 0;
    // A block that armed the tool-change route is its first rapid.
    const NcPendingMoves& p = session.run.pending;
    if (p.toolChangeCount > 0 && p.toolChangeIndex == 0 &&
        modal.referenceReturnMode == kReturnNone) {
        StepFirstToolChangeMove(session);
        return;
    }
    if (m.motionType == kMotionRapid && modal.cycleCode == kNoCycle &&
        !session.run.dataCheckActive && modal.referenceReturnMode == kReturnNone &&
        !(startsCompensation && session.run.compensation.radius != 0.0) &&
        SubdivideRapidMove(session) > 0) {
        HandOutFirstRapidLeg(session);
        return;
    }
    if (startsCompensation) {
        StartCompensation(session);
        return;
    }
    if (modal.cycleCode != kNoCycle && session.run.block.axisWordSeen) {
        session.run.pending.cyclePointCount = session.run.pending.cyclePointIndex = 0;
        session.run.pending.cycle.holesLeft = 0;
        if (!session.run.block.cycleSkipped) {
            if (ExpandDrillingCycle(session) > 0) {
                ShiftBlockLookahead(session);
                // The points start where the tool stands, not at the hole.
                m.end = m.start;
                HandOutCyclePoint(session, false);
                if (m.motionType == kMotionRapid && !session.run.dataCheckActive &&
                    SubdivideRapidMove(session) > 0) {
                    HandOutFirstRapidLeg(session);
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
        RequestReferenceReturn(session);
        return;
    }
    if (modal.referenceReturnMode == kReturnCheck) {
        modal.referenceReturnMode = kReturnNone;  // G27 moves as programmed
    }
}

// The NC communication plug-in is offered the line once for every comment in it, before the
// block is read (it may name the tool the block cuts with).
void OfferCommentsToPlugin(NcSession& session, const char* line) {
    if (NcUpHooks.loadToolFromPlugin == nullptr) {
        return;
    }
    for (const char* open = std::strchr(line, '('); open != nullptr;) {
        NcUpHooks.loadToolFromPlugin(session);
        const char* close = std::strchr(open, ')');
        open = close != nullptr ? std::strchr(close, '(') : nullptr;
    }
}

void InterpretReadBlock(NcSession& session) {
    OfferCommentsToPlugin(session, session.line.text);
    InterpretNcBlock(session, session.line.text);
    FinishReadBlock(session);
}

}  // namespace

void ComputeNextMove(NcSession& session) {
    NcPendingMoves& p = session.run.pending;
    NcRunStatus& status = session.run.status;
    MotionRecord& m = session.kinematics->motion;
    // 1. Tool-change motion.
    if (p.toolChangeIndex < p.toolChangeCount) {
        StepToolChangeMove(session);
        return;
    }
    // 2. Per-call reset.
    if (session.run.reference.phase == 2) {
        session.run.reference.phase = 0;
    }
    session.kinematics->modes.positionSource = 0;
    session.kinematics->modes.machineCoordinateMove = 0;
    // A NURBS move is over once handed out: the blocks after it move as rapids until a motion
    // code comes, and none of them steps the old curve again.
    if (m.motionType == kMotionNurbs) {
        m.motionType = kMotionRapid;
        session.nurbs.pointCount = session.nurbs.knotCount = 0;
    }
    m.sweep = 0.0;
    m.length = 0.0;
    m.cycleMoveFlag = 0;
    m.blockHasMotion = 0;
    m.lookaheadReplay = 0;
    session.run.compensation.moveLineValid = 0;
    status.subprogramEnd = 0;
    ClearBlockWords(session);
    // 3. to 6. Queued sub-moves.
    if (p.rapidLegIndex < p.rapidLegCount) {
        HandOutRapidLeg(session);
        return;
    }
    if (p.toolAxisIndex < static_cast<int>(p.toolAxisMoves.size())) {
        HandOutToolAxisMove(session);
        return;
    }
    if (p.toolVectorIndex < static_cast<int>(p.toolVectors.size())) {
        HandOutToolVectorChange(session);
        return;
    }
    if (p.cyclePointIndex < p.cyclePointCount) {
        HandOutCyclePoint(session, true);
        return;
    }
    // 7. Final reference leg.
    if (session.run.reference.phase == 1) {
        HandOutFinalReferenceLeg(session);
        return;
    }
    // Cutter compensation: the cancel move, a held plain block, or the next element read ahead.
    const int compensation = StepCompensation(session);
    if (compensation == kCompensationFinishBlock) {
        FinishReadBlock(session);
    }
    if (compensation != kCompensationIdle) {
        return;
    }
    // 8. End of the program once the last cycle point went out.
    if (status.endState == kRunEndPending) {
        status.endState = kRunEnded;
        if (session.controller.dialect.heidenhain) {
            SetRotaryShortestPath(session, 0);
        }
        status.subprogramEnd = 1;
        return;
    }
    // 9. Read a block.
    for (int i = 0; i < 5; ++i) {
        session.run.reference.intermediateNamed[i] = 0;
        session.run.reference.g29Named[i] = 0;
    }
    if (!ReadNextNcLine(session)) {
        status.subprogramEnd = 1;  // end of a file or a line error: no move
        return;
    }
    // A path reader's record is the block; the start and stop characters are those of text.
    if (ActivePathReaderSlot() >= 0) {
        status.started = 1;
        InterpretPluginPathRecord(session, PluginPath);
        FinishReadBlock(session);
        return;
    }
    // 10. and 11. Start and stop character.
    if (!status.started) {
        if (IsEndOfRecordLine(session, session.line.text)) {
            status.started = 1;
        }
        status.subprogramEnd = 1;
        return;
    }
    if (IsEndOfRecordLine(session, session.line.text)) {
        status.subprogramEnd = 1;
        if (session.subprograms.depth == 0) {
            MarkProgramEnd(session);
        }
        return;
    }
    // 12. The block itself; a block that switches the compensation on starts its look-ahead.
    InterpretReadBlock(session);
}

void FinishBlockPosition(NcSession& session) {
    MotionRecord& m = session.kinematics->motion;
    NcTransformState& t = session.run.transforms;
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
        if (LengthCompensationApplies(session)) {
            m.end.axis[ToolAxisIndex(session)] -= session.kinematics->toolValues.lengthOffset;
        }
        for (int i = 0; i < 3; ++i) {
            session.run.programmed.axis[i] = m.end.axis[i];
        }
        t.rotationCount = 0;
        t.transformState = kTransformNone;
        if (session.kinematics->modes.runMode != RunMode::kIdle &&
            NcUpHooks.redrawPanel != nullptr) {
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
    if (session.controller.automaticToolOffset) {
        AddFixedOffsetToPoint(session, offset);
    } else if (LengthCompensationApplies(session)) {
        offset[ToolAxisIndex(session)] = session.kinematics->toolValues.lengthOffset;
    }
    for (int i = 0; i < 3; ++i) {
        m.lastPosition.axis[i] += offset[i];
        m.transformedCentre[i] = arc ? m.arcCentre[i] + offset[i] : 0.0;
    }
    if (t.transformState == kTransformActive && session.run.modal.gCode != 68) {
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
    const PlaneAxes& plane = session.run.modal.plane;
    mirrored = (t.mirror[plane.first] ? 1 : 0) + (t.mirror[plane.second] ? 1 : 0);
    if (arc && mirrored == 1 && m.arcMirrorPending) {
        m.arcMirrorPending = 0;
        m.motionType = OppositeArc(m.motionType);
        session.run.modal.compensationSide = -session.run.modal.compensationSide;
        if (t.rotationCount < 2) {
            t.rotation[t.rotationCount].angle = -t.rotation[t.rotationCount].angle;
        }
    }
}

void ResetInterpreterState(NcSession& session) {
    const NcControllerView& c = session.controller;
    // Kept across the reset.
    const NcModalState before = session.run.modal;
    const int dataCheck = session.run.dataCheckActive;
    const int pluginTool = session.run.pluginToolSupplied;
    // Open subprogram files are closed; the main source stays with the puller.
    while (session.subprograms.depth > 0) {
        EndSubprogramLevel(session);
    }
    session.run = NcRunState{};
    ResetDialectState(session);
    session.run.dataCheckActive = dataCheck;
    session.run.pluginToolSupplied = pluginTool;
    session.run.toolChange.mountedTool = c.currentTool.number;
    // Tool 0 is a plug-in's: unless one supplied it for this run (and it is not mounted), no
    // earlier plug-in's tool stays there.
    if (pluginTool == 0 && c.currentTool.number != 0 && IsToolNumberInTables(0)) {
        ToolTableSet.tools[0] = ToolRecord{};
        ToolTableSet.lengths[0] = ToolLengthRecord{};
        ToolTableSet.arbors[0] = ArborProfile{};
        ToolTableSet.shifts[0] = 0.0f;
    }
    NcModalState& modal = session.run.modal;
    modal.workOffsetIndex = before.workOffsetIndex;
    modal.lengthOffsetNumber = before.lengthOffsetNumber;
    modal.radiusOffsetNumber = before.radiusOffsetNumber;
    modal.diameterProgramming = c.lathe[0] ? 1 : before.diameterProgramming;
    modal.planeCode = c.initialPlane;
    SelectPlaneAxes(session);
    modal.returnLevel = c.returnLevel;
    modal.toolCenterPointMode = c.resetToolCenterControl;
    session.run.cuttingEnabled = c.resetCuttingEnabled;
    session.words.inputUnitMode = c.decimalPointRule == 3 ? 3 : 1;
    session.words.toolDeltaLength = session.words.toolDeltaRadius = 0.0;
    session.run.status.started = (c.endOfRecord != ' ' && c.endOfRecord != '\0') ? 0 : 1;
    session.line.mainLineNumber = session.line.displayedLineNumber =
        session.line.subprogramLineNumber = 0;
    session.line.lineHeld = 0;
    DiscardPushedBackLine(session);
    session.nurbs.pointCount = session.nurbs.knotCount = 0;

    // Work coordinates: the run works on its own copy of the work offset table.
    NcTransformState& t = session.run.transforms;
    for (int i = 0; i < kWorkOffsetEntries; ++i) {
        t.workOffsets[i] = WorkOffsetTable[i];
    }
    ApplyCurrentWorkOffset(session);
    t.savedWorkOffsetIndex = modal.workOffsetIndex;
    session.kinematics->plane.active = 0;
    session.kinematics->plane.mode = kWorkPlaneEulerAngles;

    // Kinematics inputs.
    KinematicsModeFlags& k = session.kinematics->modes;
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
    session.kinematics->toolValues.lengthOffset = 0.0;

    // Every position register at the current program position.
    const MotionPosition program = session.kinematics->pose.program;
    MotionRecord& m = session.kinematics->motion;
    m.start = m.end = m.lastPosition = m.startPoint = program;
    m.motionType = kMotionRapid;
    m.feed = 0.0;
    m.arcMirrorPending = 0;
    session.run.programmed = program;
    session.run.reference.runStartPoint = program;
    session.run.reference.keptPosition = program;
    MotionPosition& machine = session.kinematics->pose.machine;
    for (int i = 0; i < 5; ++i) {
        machine.axis[i] = program.axis[i] + session.kinematics->workOrigin.axis[i];
    }
    machine.axis[2] += c.machineFixedLength - c.currentTool.length;

    if (c.automaticToolOffset || c.autoLengthOffset) {
        SetLengthOffsetForCurrentTool(session);
    }
    if (c.automaticToolOffset && (c.lathe[0] || c.dialect.mazak) &&
        c.axes.rotaryLetters[0] == 'B') {
        SetToolVectorFromAngle(session, program.axis[3]);
    }
    if (c.automaticToolOffset) {
        const double* v = session.kinematics->toolValues.fixedHeadOffset;
        for (int i : {0, 2}) {
            m.end.axis[i] = program.axis[i] - v[i];
            session.run.reference.keptPosition.axis[i] = m.end.axis[i];
        }
    }
    if (c.dialect.heidenhain) {
        SetRotaryShortestPath(session, 0);
    }
    PublishKinematicsModes(session);
    if (session.kinematics->modes.runMode != RunMode::kIdle && NcUpHooks.redrawStatus != nullptr) {
        NcUpHooks.redrawStatus();
    }
}

}  // namespace mirexa
