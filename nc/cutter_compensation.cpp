// Cutter radius compensation with look-ahead: the offset elements, the look-ahead slots, the
// reading on to the next element, the corners and the start-up and cancel moves.
#include "nc/cutter_compensation.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "geometry/vector_math.h"
#include "nc/alarm_report.h"
#include "nc/block_interpreter.h"
#include "nc/compensation_corners.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/step_driver.h"
#include "nc/sub_moves.h"

namespace mirexa {

namespace {

// A corner joined by a connecting line over a gap above this (mm, in either plane axis) raises
// the radius-offset alarm.
constexpr double kAlarmGap = 0.01;

// What SkipBlocksWithoutMotion stopped at.
constexpr int kLookaheadPlaneMove = 1;     // a block that moves in the plane
constexpr int kLookaheadEnd = 2;           // the end of the program
constexpr int kLookaheadError = 3;         // an interpreter or line error, or a full queue
constexpr int kLookaheadPlainBlock = 4;    // a block for the plain path
constexpr int kLookaheadOffsetChange = 5;  // a work-offset change without plane motion
constexpr int kLookaheadOffsetMove = 6;    // a work-offset change in a block moving in the plane
constexpr int kLookaheadResetCancel = 7;   // RESET cancel: a block without motion after G40

// How a look-ahead block moves.
constexpr int kMovesNot = 0;
constexpr int kMovesInPlane = 1;
constexpr int kMovesToolAxis = 2;
constexpr int kMovesOther = 3;  // needs the plain path

NcCompensationState& State(NcSession& session) {
    return session.run.compensation;
}

bool IsArc(int type) {
    return type == kMotionClockwise || type == kMotionCounterClockwise;
}

double UnitDivisor() {
    const int k = InputIncrements.leastInputIncrement;
    return k > 0 ? k : 1000;
}

// A value in least input increments, rounded half away from zero.
double Counts(double v) {
    return std::round(v * UnitDivisor());
}

int ToolAxis(NcSession& session) {
    const int k = session.kinematics->modes.lengthCompensationAxis;
    return (k >= 0 && k < 3) ? k : 2;
}

double ReadOffset(const float* table, int index) {
    return (table != nullptr && index >= 0 && index < kToolOffsetEntries) ? table[index] : 0.0;
}

void CaptureLineMark(NcSession& session, NcMoveLine* mark) {
    const int depth = session.subprograms.depth;
    mark->file[0] = '\0';
    if (depth <= 0) {
        mark->line = session.line.mainLineNumber;
    } else if (session.subprograms.fromMemory[depth - 1]) {
        mark->line = session.line.subprogramLineNumber;
    } else {
        mark->line = session.subprograms.lineCounter[depth - 1];
        const char* name = session.subprograms.name[depth - 1];
        const size_t n = strnlen(name, kSubprogramNameCapacity - 1);
        std::memcpy(mark->file, name, n);
        mark->file[n] = '\0';
    }
}

bool MovesInPlane(NcSession& session, const MotionRecord& m) {
    const PlaneAxes& p = session.run.modal.plane;
    if (IsArc(m.motionType)) {
        return m.length != 0.0;
    }
    return m.start.axis[p.first] != m.end.axis[p.first] ||
           m.start.axis[p.second] != m.end.axis[p.second];
}

// A block the look-ahead cannot offset: it runs on the plain path.
bool NeedsPlainPath(NcSession& session, const MotionRecord& m) {
    const NcModalState& modal = session.run.modal;
    return modal.referenceReturnMode == kReturnViaIntermediate ||
           modal.referenceReturnMode == kReturnFromReference ||
           (modal.cycleCode != kNoCycle && session.run.block.axisWordSeen) ||
           session.run.pending.toolChangeCount > session.run.pending.toolChangeIndex ||
           (m.motionType == kMotionNurbs && m.blockHasMotion) ||
           (session.run.block.machineCoordinateBlock && m.blockHasMotion);
}

int ClassifyMotion(NcSession& session, const MotionRecord& m) {
    if (NeedsPlainPath(session, m)) {
        return kMovesOther;
    }
    if (m.motionType == kMotionNurbs) {
        return kMovesNot;
    }
    if (MovesInPlane(session, m)) {
        return kMovesInPlane;
    }
    const int tool = ToolAxis(session);
    bool toolMoves = false;
    for (int i = 0; i < 5; ++i) {
        if (m.start.axis[i] == m.end.axis[i]) {
            continue;
        }
        if (i != tool) {
            return kMovesOther;
        }
        toolMoves = true;
    }
    return toolMoves ? kMovesToolAxis : kMovesNot;
}

bool SamePosition(const MotionPosition& a, const MotionPosition& b) {
    for (int i = 0; i < 5; ++i) {
        if (a.axis[i] != b.axis[i]) {
            return false;
        }
    }
    return true;
}

int QueuesPending(NcSession& session) {
    const NcPendingMoves& p = session.run.pending;
    return p.rapidLegIndex < p.rapidLegCount ||
           p.toolAxisIndex < static_cast<int>(p.toolAxisMoves.size()) ||
           p.toolVectorIndex < static_cast<int>(p.toolVectors.size()) ||
           p.cyclePointIndex < p.cyclePointCount || p.toolChangeIndex < p.toolChangeCount;
}

// Once the program has ended, the run must wait for what the compensation still hands out.
void HoldProgramEndForPendingMoves(NcSession& session) {
    NcRunStatus& status = session.run.status;
    if (status.endState == kRunEnded &&
        (State(session).stage != kCompensationOff || QueuesPending(session))) {
        status.endState = kRunEndPending;
    }
}

void SwitchOff(NcSession& session) {
    State(session).stage = kCompensationOff;
    session.run.compensationPhase = 0;
}

// The work origin changed while the look-ahead read a block: the interpreter has already put the
// block (and its registers) into the new coordinates. The machine-side registers go back and the
// old origin stays current until the held elements and queued moves are out.
void HoldWorkOffsetChange(NcSession& session, const MotionPosition& oldOrigin,
                          const MotionPosition& lastPosition, const MotionPosition& program) {
    NcPendingMoves& p = session.run.pending;
    if (!p.workOffsetChangeHeld) {
        p.heldOldOrigin = oldOrigin;
    }
    p.workOffsetChangeHeld = 1;
    p.heldNewOrigin = session.kinematics->workOrigin;
    session.kinematics->workOrigin = p.heldOldOrigin;
    session.kinematics->motion.lastPosition = lastPosition;
    session.kinematics->pose.program = program;
}

// The step driver gives the last queued tool-axis move in the new work coordinates. A value
// queued before the change was read in the old ones: it is carried over.
void CarryLastToolAxisMoveOver(NcSession& session) {
    NcPendingMoves& p = session.run.pending;
    if (p.workOffsetChangeHeld && p.toolAxisIndex < static_cast<int>(p.toolAxisMoves.size())) {
        const int k = ToolAxis(session);
        p.toolAxisMoves.back().value += p.heldOldOrigin.axis[k] - p.heldNewOrigin.axis[k];
    }
}

void QueueToolAxisMove(NcSession& session, const MotionRecord& m) {
    NcCompensationState& s = State(session);
    NcPendingMoves& p = session.run.pending;
    if (p.toolAxisMoves.empty()) {
        s.toolAxisNotes.clear();
    }
    if (!PushToolAxisMove(session, m.end.axis[ToolAxis(session)], m.motionType)) {
        return;
    }
    LookaheadEntryNote note;
    note.line = s.liveLine;
    note.feed = m.feed;
    s.toolAxisNotes.push_back(note);
}

// Calls pair(slot field, move field) for each field of a block's arc frame (centre, radial
// vectors, arc axis and frame vector, normal axis), which a slot and the move both hold.
template <typename Slot, typename Motion, typename Pair>
void PairArcFrameFields(Slot& slot, Motion& m, Pair pair) {
    for (int i = 0; i < 3; ++i) {
        pair(slot.centre[i], m.arcCentre[i]);
        pair(slot.startRadial[i], m.startRadial[i]);
        pair(slot.endRadial[i], m.endRadial[i]);
        pair(slot.arcAxis[i], m.arcAxis[i]);
        pair(slot.arcFrame[i], m.arcFrame[i]);
    }
    pair(slot.arcNormalAxis, m.arcNormalAxis);
}

// The arc frame of a block between a slot and the move.
void ArcFrameToMotion(const BlockStateRecord& slot, MotionRecord* m) {
    PairArcFrameFields(slot, *m, [](const auto& from, auto& to) { to = from; });
}

void ArcFrameToSlot(const MotionRecord& m, BlockStateRecord* slot) {
    PairArcFrameFields(*slot, m, [](auto& to, const auto& from) { to = from; });
}

// The line of a move the look-ahead hands out; it is also the displayed line, which the line
// source leaves alone while the compensation reads ahead.
void ShowMoveLine(NcSession& session, const NcMoveLine& line) {
    NcCompensationState& s = State(session);
    s.moveLine = line;
    s.moveLineValid = 1;
    session.line.displayedLineNumber = line.line;
}

// Makes an offset element the move handed out.
void HandOutElement(NcSession& session, const BlockStateRecord& slot) {
    MotionRecord& m = session.kinematics->motion;
    m.motionType = slot.motionType;
    m.start = slot.offset.start;
    m.end = slot.offset.end;
    ArcFrameToMotion(slot, &m);
    m.radius = slot.offset.startRadius;
    m.endRadius = slot.offset.endRadius;
    m.sweep = slot.sweep;
    m.length = slot.offset.length;
    m.feed = slot.offset.feed;
    m.blockHasMotion = 1;
    m.arcMirrorPending = IsArc(slot.motionType) ? 1 : 0;
    for (int i = 0; i < 2; ++i) {
        session.run.toolVector[i] = slot.toolVector[i];
        session.run.orientationAngle[i] = slot.orientationAngle[i];
    }
    ShowMoveLine(session, slot.line);
}

// The unit radial vector and radius of a point on an arc about `centre`, in the plane.
double RadialTo(NcSession& session, const double centre[3], const MotionPosition& point,
                double radial[3]) {
    const PlaneAxes& p = session.run.modal.plane;
    const double a = point.axis[p.first] - centre[p.first];
    const double b = point.axis[p.second] - centre[p.second];
    const double r = std::hypot(a, b);
    radial[0] = radial[1] = radial[2] = 0.0;
    if (r > 0.0) {
        radial[p.first] = a / r;
        radial[p.second] = b / r;
    }
    return r;
}

// The end of the live move becomes `point`; an arc takes its end radial vector and radius from it.
void MoveLiveEnd(NcSession& session, const MotionPosition& point) {
    MotionRecord& m = session.kinematics->motion;
    m.end = point;
    if (IsArc(m.motionType)) {
        m.endRadius = RadialTo(session, m.arcCentre, point, m.endRadial);
    }
}

// A slot's offset element in plane order for the corner geometry. `atEnd` picks the offset radius
// near the corner: the end radius of the element before it, the start radius of the one after.
PathElement ToPathElement(NcSession& session, const BlockStateRecord& slot, bool atEnd) {
    const PlaneAxes& p = session.run.modal.plane;
    const int axes[3] = {p.first, p.second, p.normal};
    PathElement e;
    e.motionType = slot.motionType;
    for (int i = 0; i < 3; ++i) {
        e.start[i] = slot.offset.start.axis[axes[i]];
        e.end[i] = slot.offset.end.axis[axes[i]];
    }
    e.centre[0] = slot.centre[p.first];
    e.centre[1] = slot.centre[p.second];
    e.radius = atEnd ? slot.offset.endRadius : slot.offset.startRadius;
    e.sweep = slot.sweep;
    return e;
}

void QueueCornerPoint(NcSession& session, const MotionPosition& point, int type) {
    NcPendingMoves& p = session.run.pending;
    if (p.cyclePointCount >= kCyclePointsMax) {
        return;
    }
    p.cyclePoint[p.cyclePointCount] = point;
    p.cyclePointType[p.cyclePointCount] = type;
    ++p.cyclePointCount;
}

// The radius-offset alarm of a corner that could not be joined.
void RaiseRadiusOffsetAlarm(NcSession& session) {
    NcCompensationState& s = State(session);
    if (!session.controller.radiusCheckAny || session.run.dataCheckActive) {
        return;
    }
    s.radiusOffsetEvent = 1;
    ++s.alarmCount;
    // The report is started afresh at the first alarm of a run that could be written.
    if (session.controller.radiusCheckListMode != 0 &&
        WriteRadiusOffsetAlarm(s.alarmFileOpened ? 0 : 1, std::fabs(s.radius),
                               session.line.mainLineNumber, session.line.text)) {
        s.alarmFileOpened = 1;
    }
}

// The outer corner between the previous and the last element, from the previous offset end s
// to the next offset start e around the programmed corner.
void CloseOuterCorner(NcSession& session, bool trueArc, bool axisQueued, double queuedAxis) {
    NcCompensationState& s = State(session);
    const PlaneAxes& p = session.run.modal.plane;
    const MotionPosition& from = s.previous.offset.end;
    const MotionPosition& to = s.last.offset.start;
    const MotionPosition& corner = s.previous.end;
    const bool clockwise = s.radius > 0.0;
    if (trueArc) {
        for (int i = 0; i < 3; ++i) {
            session.run.pending.cycleCentre[i] = corner.axis[i];
        }
        QueueCornerPoint(session, to, clockwise ? kMotionClockwise : kMotionCounterClockwise);
        return;
    }
    const int axes[3] = {p.first, p.second, p.normal};
    double sp[3], ep[3], cp[3], points[3][3];
    for (int i = 0; i < 3; ++i) {
        sp[i] = from.axis[axes[i]];
        ep[i] = to.axis[axes[i]];
        cp[i] = corner.axis[axes[i]];
    }
    const int n =
        ExtendCompensationCorner(clockwise ? 1 : 0, sp, ep, cp, std::fabs(s.radius), points);
    for (int k = 0; k < n; ++k) {
        if (k == n - 1) {
            QueueCornerPoint(session, to, kMotionLine);
            break;
        }
        MotionPosition point = to;
        for (int i = 0; i < 3; ++i) {
            point.axis[axes[i]] = points[k][i];
        }
        if (axisQueued) {
            point.axis[ToolAxis(session)] = queuedAxis;
        }
        QueueCornerPoint(session, point, kMotionLine);
    }
}

// Joins the previous and the last element and hands out the previous one: an outer corner gets
// its closing moves queued; an inner corner is cut at the intersection of the two elements, or,
// when they do not meet, joined by a connecting line.
void HandOutWithCorner(NcSession& session) {
    NcCompensationState& s = State(session);
    const NcPendingMoves& pending = session.run.pending;
    const PlaneAxes& p = session.run.modal.plane;
    const bool axisQueued = pending.toolAxisIndex < static_cast<int>(pending.toolAxisMoves.size());
    const double queuedAxis = axisQueued ? pending.toolAxisMoves.back().value : 0.0;
    const bool trueArc = s.cornerArcRequest != 0;
    s.cornerArcRequest = 0;
    s.cornerFeed = s.last.programmedFeed;
    s.cornerLine = s.last.line;
    const MotionPosition from = s.previous.offset.end;
    const MotionPosition to = s.last.offset.start;
    MotionPosition reached = from;
    if (axisQueued) {
        reached.axis[ToolAxis(session)] = queuedAxis;
    }
    bool same = true;
    for (int i = 0; i < 3; ++i) {
        same = same && Counts(reached.axis[i]) == Counts(to.axis[i]);
    }
    if (ComputeCompensationCorner(session)) {
        if (!same) {
            CloseOuterCorner(session, trueArc, axisQueued, queuedAxis);
        }
        RestoreBlockStatePrevious(session);
        return;
    }
    const bool meet = Counts(from.axis[p.first]) == Counts(to.axis[p.first]) &&
                      Counts(from.axis[p.second]) == Counts(to.axis[p.second]);
    PathIntersection found[2];
    int count = 0;
    int status = kIntersectNone;
    if (!meet) {
        status = IntersectPathElements(ToPathElement(session, s.previous, true),
                                       ToPathElement(session, s.last, false), found, &count);
    }
    RestoreBlockStatePrevious(session);
    if (status == kIntersectOk && count >= 1) {
        // Of two points the one nearer the programmed corner.
        const MotionPosition& corner = s.previous.end;
        int k = 0;
        if (count == 2) {
            const double c0 = corner.axis[p.first], c1 = corner.axis[p.second];
            const double d0 = std::hypot(found[0].point[0][0] - c0, found[0].point[0][1] - c1);
            const double d1 = std::hypot(found[1].point[0][0] - c0, found[1].point[0][1] - c1);
            k = d1 < d0 ? 1 : 0;
        }
        const PathIntersection& x = found[k];
        // The next element starts at the intersection.
        BlockStateRecord& next = s.last;
        next.offset.start.axis[p.first] = x.point[1][0];
        next.offset.start.axis[p.second] = x.point[1][1];
        next.offset.start.axis[p.normal] = x.point[1][2];
        // The parameters of a point just outside an element (a corner met a hair before an
        // arc's start) lie a rounding error outside 0 to 1: the part kept of an arc is clamped,
        // so that its sweep never turns negative or beyond the whole arc.
        if (IsArc(next.motionType)) {
            const double keep = std::clamp(1.0 - x.parameter[1], 0.0, 1.0);
            next.sweep *= keep;
            next.offset.length *= keep;
            next.offset.startRadius =
                RadialTo(session, next.centre, next.offset.start, next.startRadial);
        }
        // The previous element ends there.
        MotionRecord& m = session.kinematics->motion;
        MotionPosition end = m.end;
        end.axis[p.first] = x.point[0][0];
        end.axis[p.second] = x.point[0][1];
        end.axis[p.normal] = x.point[0][2];
        if (IsArc(m.motionType)) {
            const double part = std::clamp(x.parameter[0], 0.0, 1.0);
            m.sweep *= part;
            m.length *= part;
        }
        MoveLiveEnd(session, end);
        return;
    }
    if (!same) {
        QueueCornerPoint(session, to, kMotionLine);
    }
    if (std::fabs(from.axis[p.first] - to.axis[p.first]) > kAlarmGap ||
        std::fabs(from.axis[p.second] - to.axis[p.second]) > kAlarmGap) {
        RaiseRadiusOffsetAlarm(session);
    }
}

// The start-up move: the start-up element (previous slot) runs to the offset start of the next
// element in the plane axes.
void HandOutStartUp(NcSession& session) {
    const NcCompensationState& s = State(session);
    const PlaneAxes& p = session.run.modal.plane;
    RestoreBlockStatePrevious(session);
    MotionPosition end = session.kinematics->motion.end;
    end.axis[p.first] = s.last.offset.start.axis[p.first];
    end.axis[p.second] = s.last.offset.start.axis[p.second];
    MoveLiveEnd(session, end);
}

// The live block becomes the cancel element (mode 2); the previous element goes out as it is
// and the cancel move follows at the next call.
void BeginCancel(NcSession& session) {
    ComputeCompensatedPosition(session, 2);
    ShiftBlockLookahead(session);
    RestoreBlockStatePrevious(session);
    State(session).stage = kCompensationCancelMove;
}

// Reads on to the next element and hands out the element held (`startUp`: the start-up element).
void LookAheadAndHandOut(NcSession& session, bool startUp) {
    NcCompensationState& s = State(session);
    NcRunStatus& status = session.run.status;
    const int found = SkipBlocksWithoutMotion(session);
    switch (found) {
        case kLookaheadPlaneMove:
            if (session.run.compensationPhase == 2) {
                BeginCancel(session);
                break;
            }
            ComputeCompensatedPosition(session, 1);
            if (status.error > 0) {
                status.subprogramEnd = 1;
                return;
            }
            ShiftBlockLookahead(session);
            if (startUp) {
                HandOutStartUp(session);
            } else {
                HandOutWithCorner(session);
            }
            break;
        case kLookaheadOffsetMove:
            ComputeCompensatedPosition(session, session.run.compensationPhase == 2 ? 2 : 1);
            ShiftBlockLookahead(session);
            RestoreBlockStatePrevious(session);
            s.stage =
                session.run.compensationPhase == 2 ? kCompensationCancelMove : kCompensationHolding;
            break;
        case kLookaheadOffsetChange:
            RestoreBlockStateCurrent(session);
            s.stage = kCompensationAwaitStart;
            break;
        case kLookaheadResetCancel:
            BeginCancel(session);
            break;
        case kLookaheadPlainBlock:
            RestoreBlockStateCurrent(session);
            s.stage = kCompensationPlainBlock;
            break;
        case kLookaheadEnd:
            if (session.run.compensationPhase == 2) {
                // The cancel goes back to the last programmed point.
                session.kinematics->motion.start = session.kinematics->motion.end;
                BeginCancel(session);
            } else {
                RestoreBlockStateCurrent(session);
                SwitchOff(session);
            }
            break;
        default:
            status.subprogramEnd = 1;  // an error: no move
            return;
    }
    if (status.error > 0) {
        status.subprogramEnd = 1;
        return;
    }
    HoldProgramEndForPendingMoves(session);
}

// Restores the block held for the plain path, starting where the tool stands; the axes the
// block did not name stay there.
void RestorePlainBlock(NcSession& session) {
    MotionRecord& m = session.kinematics->motion;
    const MotionRecord current = m;
    m = State(session).plainBlock;
    m.start = current.end;
    for (int i = 0; i < 5; ++i) {
        if (!session.run.block.axisNamed[i]) {
            m.end.axis[i] = current.end.axis[i];
        }
    }
    m.lastPosition = current.lastPosition;
    m.startPoint = current.startPoint;
    m.machineTarget = current.machineTarget;
    for (int i = 0; i < 3; ++i) {
        m.transformedCentre[i] = current.transformedCentre[i];
    }
}

}  // namespace

void SetCompensationSide(NcSession& session, int side) {
    State(session).side = side;
    UpdateCompensationRadius(session);
}

void UpdateCompensationRadius(NcSession& session) {
    NcCompensationState& s = State(session);
    const int d = session.run.modal.radiusOffsetNumber;
    const NcOffsetMemoryView& memory = session.controller.offsets;
    s.radius = s.side * (ReadOffset(memory.dOffset, d) + ReadOffset(memory.dWear, d));
}

void ComputeCompensatedPosition(NcSession& session, int mode) {
    NcCompensationState& s = State(session);
    const MotionRecord& m = session.kinematics->motion;
    const PlaneAxes& p = session.run.modal.plane;
    const int a = p.first, b = p.second;
    OffsetElement& o = s.live;
    o.feed = m.feed;
    o.start = m.start;
    o.end = m.end;
    o.length = m.length;
    o.startRadius = m.radius;
    o.endRadius = m.endRadius;
    if (!IsArc(m.motionType)) {
        o.startRadius = o.endRadius = 0.0;
    } else {
        double r = static_cast<float>(s.radius);
        if (m.motionType == kMotionCounterClockwise) {
            r = -r;
        }
        if (mode != 0) {
            o.startRadius = r + m.radius;
            o.start.axis[a] = m.start.axis[a] + r * m.startRadial[a];
            o.start.axis[b] = m.start.axis[b] + r * m.startRadial[b];
            const double offsetRadius = std::fabs(r + m.radius);
            if (session.controller.concaveArcFeed && r < 0.0 &&
                offsetRadius > 1.0 / UnitDivisor() && m.radius > 0.0) {
                o.feed = std::fmax(0.0, offsetRadius * m.feed / m.radius);
            }
        }
        if (mode != 2) {
            o.endRadius = r + m.endRadius;
            o.end.axis[a] = m.end.axis[a] + r * m.endRadial[a];
            o.end.axis[b] = m.end.axis[b] + r * m.endRadial[b];
        }
        o.length = m.radius > 0.0
                       ? std::fabs(o.startRadius + o.endRadius) * m.length / m.radius / 2.0
                       : 0.0;
        if (session.controller.reverseArcCheck &&
            (Counts(o.startRadius) < 0.0 || Counts(o.endRadius) < 0.0)) {
            session.run.status.error = kNcErrorOffsetArc;
        }
        return;
    }
    if (mode == 2) {
        // The cancel line starts where the last element ended; its own offset is not needed.
        o.start.axis[a] = s.last.offset.end.axis[a];
        o.start.axis[b] = s.last.offset.end.axis[b];
        return;
    }
    // The left normal of the plane delta, scaled to the radius, in single precision. A delta of
    // zero length has no normal and gives no offset.
    const float d1 = static_cast<float>(m.end.axis[a] - m.start.axis[a]);
    const float d2 = static_cast<float>(m.end.axis[b] - m.start.axis[b]);
    const float length = std::sqrt(d1 * d1 + d2 * d2);
    double v1 = 0.0, v2 = 0.0;
    if (length > 0.0f && std::isfinite(length)) {
        v1 = static_cast<float>(s.radius / length * -d2);
        v2 = static_cast<float>(s.radius / length * d1);
    }
    if (mode == 1) {
        o.start.axis[a] += v1;
        o.start.axis[b] += v2;
    }
    o.end.axis[a] += v1;
    o.end.axis[b] += v2;
}

int ComputeCompensationCorner(NcSession& session) {
    const NcCompensationState& s = State(session);
    const PlaneAxes& p = session.run.modal.plane;
    const int a = p.first, b = p.second;
    // The end tangent of the previous element and the start tangent of the last.
    const auto tangent = [&](const BlockStateRecord& slot, bool atEnd, double t[2]) {
        if (!IsArc(slot.motionType)) {
            t[0] = slot.end.axis[a] - slot.start.axis[a];
            t[1] = slot.end.axis[b] - slot.start.axis[b];
            return;
        }
        const double* r = atEnd ? slot.endRadial : slot.startRadial;
        const double sign = slot.motionType == kMotionClockwise ? 1.0 : -1.0;
        t[0] = sign * r[b];
        t[1] = -sign * r[a];
    };
    double t1[2], t2[2];
    tangent(s.previous, true, t1);
    tangent(s.last, false, t2);
    const double c = t1[0] * t2[1] - t1[1] * t2[0];
    return ((s.radius < 0.0 && c > 0.0) || (s.radius > 0.0 && c < 0.0)) ? 1 : 0;
}

void ShiftBlockLookahead(NcSession& session) {
    NcCompensationState& s = State(session);
    const MotionRecord& m = session.kinematics->motion;
    s.previous = s.last;
    BlockStateRecord& slot = s.last;
    slot.line = s.liveLine;
    slot.motionType = m.motionType;
    slot.start = m.start;
    slot.end = m.end;
    ArcFrameToSlot(m, &slot);
    slot.startRadius = m.radius;
    slot.endRadius = m.endRadius;
    slot.sweep = m.sweep;
    slot.length = m.length;
    slot.feed = s.live.feed;
    slot.programmedFeed = m.feed;
    for (int i = 0; i < 2; ++i) {
        slot.toolVector[i] = session.run.toolVector[i];
        slot.orientationAngle[i] = session.run.orientationAngle[i];
    }
    slot.offset = s.live;
}

void RestoreBlockStateNext(NcSession& session) {
    NcCompensationState& s = State(session);
    const BlockStateRecord& slot = s.last;
    MotionRecord& m = session.kinematics->motion;
    m.motionType = slot.motionType;
    m.start = slot.start;
    m.end = slot.end;
    ArcFrameToMotion(slot, &m);
    m.radius = slot.startRadius;
    m.endRadius = slot.endRadius;
    m.sweep = slot.sweep;
    m.length = slot.length;
    m.feed = slot.programmedFeed;
    s.liveLine = slot.line;
}

void RestoreBlockStateCurrent(NcSession& session) {
    HandOutElement(session, State(session).last);
}

void RestoreBlockStatePrevious(NcSession& session) {
    HandOutElement(session, State(session).previous);
}

int SkipBlocksWithoutMotion(NcSession& session) {
    NcCompensationState& s = State(session);
    NcRunStatus& status = session.run.status;
    MotionRecord& m = session.kinematics->motion;
    for (;;) {
        if (!ReadNextNcLine(session)) {
            if (status.error > 0) {
                return kLookaheadError;
            }
            if (status.endState != kRunGoing) {
                return kLookaheadEnd;
            }
            continue;  // a subprogram file ended: its caller reads on
        }
        if (IsEndOfRecordLine(session, session.line.text)) {
            if (session.subprograms.depth > 0) {
                continue;  // ends only the subprogram's call
            }
            MarkProgramEnd(session);
            return kLookaheadEnd;
        }
        const MotionPosition origin = session.kinematics->workOrigin;
        const MotionPosition lastPosition = m.lastPosition;
        const MotionPosition program = session.kinematics->pose.program;
        const double toolVector[4] = {session.run.toolVector[0], session.run.toolVector[1],
                                      session.run.orientationAngle[0],
                                      session.run.orientationAngle[1]};
        // The per-block reset of the step driver, for each block read on.
        ClearBlockWords(session);
        m.sweep = 0.0;
        m.length = 0.0;
        m.blockHasMotion = 0;
        InterpretNcBlock(session, session.line.text);
        CaptureLineMark(session, &s.liveLine);
        if (status.error > 0) {
            return kLookaheadError;
        }
        m.arcMirrorPending = IsArc(m.motionType) ? 1 : 0;
        const bool offsetChanged = !SamePosition(origin, session.kinematics->workOrigin);
        if (offsetChanged) {
            HoldWorkOffsetChange(session, origin, lastPosition, program);
        }
        const int moves = ClassifyMotion(session, m);
        if (offsetChanged) {
            if (moves == kMovesToolAxis) {
                QueueToolAxisMove(session,
                                  m);  // read in the new coordinates, and the last one queued
            } else {
                CarryLastToolAxisMoveOver(session);
            }
        }
        if (moves == kMovesOther) {
            s.plainBlock = m;
            return kLookaheadPlainBlock;
        }
        if (offsetChanged) {
            return moves == kMovesInPlane ? kLookaheadOffsetMove : kLookaheadOffsetChange;
        }
        if (moves == kMovesInPlane) {
            return kLookaheadPlaneMove;
        }
        if (moves == kMovesToolAxis) {
            QueueToolAxisMove(session, m);
            if (status.error > 0) {
                return kLookaheadError;
            }
        } else if (session.run.modal.toolCenterPointMode == kToolCentreByVector &&
                   (toolVector[0] != session.run.toolVector[0] ||
                    toolVector[1] != session.run.toolVector[1] ||
                    toolVector[2] != session.run.orientationAngle[0] ||
                    toolVector[3] != session.run.orientationAngle[1])) {
            const double change[4] = {session.run.toolVector[0], session.run.toolVector[1],
                                      session.run.orientationAngle[0],
                                      session.run.orientationAngle[1]};
            if (!PushToolVectorChange(session, change)) {
                return kLookaheadError;
            }
        }
        if (status.endState != kRunGoing) {
            return kLookaheadEnd;  // M02 or M30 of a memory run
        }
        if (moves == kMovesNot && session.run.compensationPhase == 2 &&
            session.controller.compensationCancelMode == 2) {
            return kLookaheadResetCancel;
        }
    }
}

int PrepareCompensationStart(NcSession& session) {
    NcCompensationState& s = State(session);
    if (session.run.compensationPhase == 0) {
        return 0;
    }
    // The line source does not count lines while the phase is on: the block shows its own.
    CaptureLineMark(session, &s.liveLine);
    session.line.displayedLineNumber = s.liveLine.line;
    if (session.run.compensationPhase == 2) {
        SwitchOff(session);  // cancelled before any element: nothing to undo
        return 0;
    }
    s.stage = kCompensationAwaitStart;
    const MotionRecord& m = session.kinematics->motion;
    return !NeedsPlainPath(session, m) && m.motionType != kMotionNurbs && MovesInPlane(session, m)
               ? 1
               : 0;
}

void StartCompensation(NcSession& session) {
    NcCompensationState& s = State(session);
    ComputeCompensatedPosition(session, 0);
    if (session.run.status.error > 0) {
        session.run.status.subprogramEnd = 1;
        return;
    }
    ShiftBlockLookahead(session);
    s.stage = kCompensationHolding;
    LookAheadAndHandOut(session, true);
}

int StepCompensation(NcSession& session) {
    NcCompensationState& s = State(session);
    if (session.run.pending.workOffsetChangeHeld) {
        ApplyHeldWorkOffsetChange(session);
    }
    if (s.stage == kCompensationOff || s.stage == kCompensationAwaitStart) {
        return kCompensationIdle;
    }
    switch (s.stage) {
        case kCompensationCancelMove: {
            RestoreBlockStateCurrent(session);
            MotionRecord& m = session.kinematics->motion;
            const bool empty = IsArc(m.motionType) ? m.length == 0.0 : [&] {
                for (int i = 0; i < 3; ++i) {
                    if (m.start.axis[i] != m.end.axis[i]) {
                        return false;
                    }
                }
                return true;
            }();
            m.blockHasMotion = empty ? 0 : 1;
            SwitchOff(session);
            HoldProgramEndForPendingMoves(session);
            return kCompensationMoveMade;
        }
        case kCompensationPlainBlock:
            RestorePlainBlock(session);
            if (session.run.compensationPhase == 2) {
                SwitchOff(session);
            } else {
                s.stage = kCompensationAwaitStart;
            }
            return kCompensationFinishBlock;
        default:
            break;
    }
    if (session.run.status.endState != kRunGoing) {
        // The program ended with the block read last (M02 or M30 of a memory run): the element
        // it left is handed out as it stands.
        RestoreBlockStateCurrent(session);
        SwitchOff(session);
        HoldProgramEndForPendingMoves(session);
        return kCompensationMoveMade;
    }
    RestoreBlockStateNext(session);
    LookAheadAndHandOut(session, false);
    return kCompensationMoveMade;
}

int CompensationHoldsElement(NcSession& session) {
    return State(session).stage == kCompensationHolding ? 1 : 0;
}

void NoteToolAxisMoveHandedOut(NcSession& session, int index) {
    NcCompensationState& s = State(session);
    if (index < 0 || index >= static_cast<int>(s.toolAxisNotes.size())) {
        return;
    }
    ShowMoveLine(session, s.toolAxisNotes[static_cast<size_t>(index)].line);
    session.kinematics->motion.feed = s.toolAxisNotes[static_cast<size_t>(index)].feed;
}

const NcMoveLine* CompensatedMoveLine(NcSession& session) {
    const NcCompensationState& s = State(session);
    if (session.kinematics->motion.lookaheadReplay) {
        return &s.cornerLine;
    }
    return s.moveLineValid ? &s.moveLine : nullptr;
}

}  // namespace mirexa
