// The data check run: the program pulled through the step driver without cutting, with its
// extents, feeds, codes, tools and machining time collected.
#include "nc/data_check.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "config/config_records.h"
#include "config/controller_file.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "config/tool_profile.h"
#include "geometry/machine_kinematics.h"
#include "geometry/rotary_solutions.h"
#include "geometry/vector_math.h"
#include "nc/alarm_report.h"
#include "nc/coordinate_transforms.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/nurbs_evaluation.h"
#include "nc/step_driver.h"
#include "services/progress.h"
#include "stock/stock_model.h"
#include "stock/stock_shapes.h"

namespace mirexa {

DataCheckRecord DataCheckResult;
int DataCheckMode = 0;
DataCheckHooks DataCheckCallbacks;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kShortestArc = 0.0001;  // mm: shorter arcs are not timed

// The run's own tool changer: the tool prepared by the last T word (-1 none).
struct DataCheckToolChanger {
    int preparedTool = -1;
    int toolChanged = {};
};

double StockPitch() {
    const int index = CurrentStockIndex.load();
    if (index >= 0 && index < kStockModelSlots && StockModels[index].nx > 0) {
        return StockModels[index].pitch;
    }
    return DexelPitch.currentPitch;
}

void Extend(DataCheckExtent* e, const double p[3]) {
    for (int i = 0; i < 3; ++i) {
        e->min[i] = std::min(e->min[i], p[i]);
        e->max[i] = std::max(e->max[i], p[i]);
    }
}

// The settings of the time estimate from the definition files and the settings.
void TakeTimeSettings() {
    MachiningTimeSettings& s = MachiningTime.settings;
    s.smoothAngle = Controller.smoothAngle;
    s.rapidFeedrate = Checks.rapidFeedrate;
    for (int i = 0; i < 3; ++i) {
        s.acceleration[i] = Machine.acceleration[i];
        s.rapidRate[i] = Machine.rapid[i];
        s.rapidAcceleration[i] = Machine.rapidAcceleration[i];
    }
}

// Mode 1 starts its statistics afresh; the first tool ordinal is the current tool.
void ClearStatistics(NcSession& session) {
    DataCheckRecord& r = DataCheckResult;
    ResetMachiningTime();
    r.maxFeed = 0.0;
    r.maxCuttingFeed = 0.0;
    r.minFeed = kDataCheckExtentStart;
    r.maxSpindle = -kDataCheckExtentStart;
    std::fill(std::begin(r.dUsed), std::end(r.dUsed), 0);
    std::fill(std::begin(r.hUsed), std::end(r.hUsed), 0);
    r.tUsed.assign(static_cast<size_t>(std::max(0, session.controller.magazineCount)) + 1, 0);
    std::fill(std::begin(r.toolList), std::end(r.toolList), 0);
    r.toolCount = 1;
    r.toolListFull = 0;
    r.toolList[1] = std::max(0, session.tools->tool.derivedFrom);
    UsedCodes = NcUsedCodes{};
    UsedCodes.recording = 1;
}

// The interpreter's view of the current tool after a selection.
void TakeCurrentToolView(NcSession& session) {
    const CurrentToolRecord& t = session.tools->tool;
    NcCurrentToolView& v = session.controller.currentTool;
    v.number = t.derivedFrom;
    v.type = static_cast<int>(t.tool.type);
    v.cornerRadius = t.cornerRadius;
    v.cornerCentreHeight = t.cornerCentreHeight;
    v.length = t.toolLength;
    v.arborTop = session.tools->profile.profileTop;
}

// A tool becomes current: selected, its time of change accounted, a new tool ordinal begun when
// the last one has time.
void MountTool(NcSession& session, int tool, DataCheckToolChanger* changer) {
    if (tool < 0 || tool > session.controller.magazineCount) {
        return;
    }
    SelectCurrentTool(session, *session.kinematics, *session.tools, tool, StockPitch());
    TakeCurrentToolView(session);
    session.run.toolChange.mountedTool = tool;
    changer->toolChanged = 1;
    if (session.controller.dialect.heidenhain != 0 || session.controller.dialect.siemens != 0) {
        SetLengthOffsetForCurrentTool(session);
    }
    if (DataCheckMode != kDataCheckAll) {
        return;
    }
    // The machine stops for the change: the pending move is the old tool's.
    FlushPendingMoveTime();
    DataCheckRecord& r = DataCheckResult;
    MachiningTimeSums& s = MachiningTime.sums;
    s.nonCuttingTime += Machine.toolChangeTime;
    s.rapidTime += Machine.toolChangeTime;
    int& k = MachiningTime.toolOrdinal;
    if (s.toolTime[k] > 0.0) {
        if (k < kTimedToolOrdinalsMax) {
            ++k;
        } else {
            // The list is full: the later tools share the last entry.
            r.toolListFull = 1;
        }
    }
    r.toolCount = k;
    r.toolList[k] = tool;
}

// The tool change of a block by the machine's tool-change mode.
void HandleToolChange(NcSession& session, DataCheckToolChanger* changer) {
    NcModalState& modal = session.run.modal;
    const NcPendingMoves& p = session.run.pending;
    if (modal.nextTool < 0 || p.toolChangeIndex < p.toolChangeCount) {
        return;
    }
    const bool m06 = modal.mCode == 6;
    const int atc = session.controller.atcType;
    if (atc == 3 && m06 && session.run.block.toolWordSeen != 0) {
        if (changer->preparedTool >= 0) {
            MountTool(session, changer->preparedTool, changer);
        }
        changer->preparedTool = modal.nextTool;
        modal.nextTool = -1;
    } else if (atc == 1 || m06) {
        MountTool(session, modal.nextTool, changer);
        changer->preparedTool = modal.nextTool;
        modal.nextTool = -1;
    } else {
        changer->preparedTool = modal.nextTool;
    }
}

// The extents of the move just finished; toolStart is the kinematics' tool point before it.
void ExtendByMove(NcSession& session, const double toolStart[3]) {
    DataCheckRecord& r = DataCheckResult;
    const MotionRecord& m = session.kinematics->motion;
    const int toolAxis = std::clamp(session.kinematics->modes.lengthCompensationAxis, 0, 2);
    const double length = session.controller.currentTool.length;
    double end[3];
    double start[3];
    double centre[3];
    for (int i = 0; i < 3; ++i) {
        end[i] = m.lastPosition.axis[i];
        start[i] = m.startPoint.axis[i];
        centre[i] = m.transformedCentre[i];
    }
    end[toolAxis] -= length;
    start[toolAxis] -= length;
    centre[toolAxis] -= length;
    const bool arc = m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise;
    // The move's own box in program coordinates; the machine box is the same moved by the work
    // origin.
    double low[3] = {end[0], end[1], end[2]};
    double high[3] = {end[0], end[1], end[2]};
    if (arc) {
        const PlaneAxes& plane = session.run.modal.plane;
        ExtendBoxByArc(plane.first, plane.second, plane.normal, m.motionType, start, end, centre,
                       m.radius, m.sweep, low, high);
    }
    Extend(&r.program, low);
    Extend(&r.program, high);
    for (int i = 0; i < 3; ++i) {
        low[i] += session.kinematics->workOrigin.axis[i];
        high[i] += session.kinematics->workOrigin.axis[i];
    }
    Extend(&r.machine, low);
    Extend(&r.machine, high);
    const double* point = session.kinematics->pose.tool.point;
    double work[3];
    for (int i = 0; i < 3; ++i) {
        work[i] = point[i] - session.kinematics->workOrigin.axis[i];
    }
    Extend(&r.toolPointWork, work);
    Extend(&r.toolPoint, point);
    // Where a feed move cuts: its tool point from start to end, with the arc's box carried from
    // the program position to the tool point by the end's difference (a translation on a machine
    // without rotary axes).
    if (m.motionType != kMotionRapid) {
        Extend(&r.cutting, toolStart);
        Extend(&r.cutting, point);
        if (arc) {
            for (int i = 0; i < 3; ++i) {
                const double shift = point[i] - end[i];
                low[i] += shift - session.kinematics->workOrigin.axis[i];
                high[i] += shift - session.kinematics->workOrigin.axis[i];
            }
            Extend(&r.cutting, low);
            Extend(&r.cutting, high);
        }
    }
}

// A rapid: its length with rotary travel as arc length, timed along its dominant linear axis.
void AccountRapid(NcSession& session, const MotionPosition& machineStart) {
    const MotionRecord& m = session.kinematics->motion;
    double d[5];
    for (int i = 0; i < 5; ++i) {
        d[i] = m.lastPosition.axis[i] - m.startPoint.axis[i];
    }
    for (int r = 0; r < 2; ++r) {
        if (session.kinematics->modes.shortestPath[r] != 0) {
            d[3 + r] = DiffRotaryAngle(*session.kinematics, m.startPoint.axis[3 + r],
                                       m.lastPosition.axis[3 + r]);
        }
    }
    // Rotary travel counts as arc length at the mean radius of the move's start and end.
    double factor[2] = {};
    if (d[3] != 0.0 || d[4] != 0.0) {
        double radiusStart[2] = {};
        double radiusEnd[2] = {};
        ComputeRotaryRadius(*session.kinematics, machineStart.axis, radiusStart);
        ComputeRotaryRadius(*session.kinematics, session.kinematics->pose.machine.axis, radiusEnd);
        for (int r = 0; r < 2; ++r) {
            factor[r] = kPi * (radiusStart[r] + radiusEnd[r]) / 360.0;
        }
    }
    const double a = d[3] * factor[0];
    const double b = d[4] * factor[1];
    const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2] + a * a + b * b);
    if (!(length > 0.0)) {
        return;
    }
    MachiningTimeSums& s = MachiningTime.sums;
    s.rapidLength += length;
    s.rapidMoveLength += length;
    int axis = 0;
    for (int i = 1; i < 3; ++i) {
        if (std::fabs(d[i]) > std::fabs(d[axis])) {
            axis = i;
        }
    }
    const MachiningTimeSettings& c = MachiningTime.settings;
    const double t = MoveTimeWithAcceleration(std::fabs(d[axis]), 0.0, c.rapidRate[axis] / 60.0,
                                              0.0, c.rapidAcceleration[axis]);
    s.rapidTime += t;
    s.nonCuttingTime += t;
    AddCurrentToolTime(t);
}

// The time and statistics of a finished move in mode 1.
void AccountMove(NcSession& session, const MotionPosition& machineStart) {
    const MotionRecord& m = session.kinematics->motion;
    const NcModalState& modal = session.run.modal;
    DataCheckRecord& r = DataCheckResult;
    if (m.motionType == kMotionRapid) {
        FlushPendingMoveTime();
        AccountRapid(session, machineStart);
        return;
    }
    double d[3];
    for (int i = 0; i < 3; ++i) {
        d[i] = m.lastPosition.axis[i] - m.startPoint.axis[i];
    }
    if (m.motionType == kMotionLine) {
        const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (length > 0.0) {
            MergeMoveForTime(session, length, d);
        }
    } else if (m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise) {
        // The machine stops at the end of an arc: merged with no direction.
        const double axial = d[std::clamp(m.arcNormalAxis, 0, 2)];
        const double arcLength = m.radius * std::fabs(m.sweep);
        const double length = std::sqrt(axial * axial + arcLength * arcLength);
        if (length > kShortestArc) {
            const double none[3] = {0, 0, 0};
            MergeMoveForTime(session, length, none);
        }
    } else if (m.motionType == kMotionNurbs) {
        // The curve's own length; a curve that cannot be evaluated was refused when it was read.
        const double length = ValidateNurbsCurve(session.nurbs) == kNurbsValid
                                  ? MeasureNurbsLength(session.nurbs)
                                  : std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (length > 0.0) {
            const double none[3] = {0, 0, 0};
            MergeMoveForTime(session, length, none);
        }
    }
    if (m.feed > 0.0) {
        r.maxFeed = std::max(r.maxFeed, m.feed);
        if (m.feed < MachiningTime.settings.rapidFeedrate) {
            r.maxCuttingFeed = std::max(r.maxCuttingFeed, m.feed);
        }
        r.minFeed = std::min(r.minFeed, m.feed);
    }
    // The dwell at the bottom of a boring cycle's feed down.
    const int cycle = modal.cycleCode;
    if (m.motionType == kMotionLine && (cycle == 76 || cycle == 82 || cycle == 88 || cycle == 89) &&
        m.lastPosition.axis[2] < m.startPoint.axis[2] && modal.dwellTime > 0.0) {
        MachiningTimeSums& s = MachiningTime.sums;
        s.feedMoveTime += modal.dwellTime;
        s.cuttingTime += modal.dwellTime;
        AddCurrentToolTime(modal.dwellTime);
    }
}

// A dwell block: the pending move ends; the time counts as cutting when the block moves.
void AccountDwell(NcSession& session) {
    FlushPendingMoveTime();
    const double t = std::max(0.0, session.run.modal.dwellTime);
    if (!std::isfinite(t)) {
        return;
    }
    MachiningTimeSums& s = MachiningTime.sums;
    if (session.kinematics->motion.blockHasMotion != 0) {
        s.feedMoveTime += t;
        s.cuttingTime += t;
    } else {
        s.nonCuttingTime += t;
        s.rapidTime += t;
    }
    AddCurrentToolTime(t);
}

void MarkUsedNumbers(NcSession& session) {
    DataCheckRecord& r = DataCheckResult;
    const NcModalState& modal = session.run.modal;
    if (modal.radiusOffsetNumber >= 0 && modal.radiusOffsetNumber < kDataCheckOffsetNumbers) {
        r.dUsed[modal.radiusOffsetNumber] = 1;
    }
    if (modal.lengthOffsetNumber >= 0 && modal.lengthOffsetNumber < kDataCheckOffsetNumbers) {
        r.hUsed[modal.lengthOffsetNumber] = 1;
    }
    // T numbers beyond the magazine have no flag.
    if (modal.toolNumber >= 0 && static_cast<size_t>(modal.toolNumber) < r.tUsed.size()) {
        r.tUsed[static_cast<size_t>(modal.toolNumber)] = 1;
    }
}

// The block loop.
void PullProgram(NcSession* session, DataCheckToolChanger* changer) {
    DataCheckRecord& r = DataCheckResult;
    const bool all = DataCheckMode == kDataCheckAll;
    int next = kNcNoMove;
    while ((next = NextNcMove(session)) != kNcSessionEnded) {
        if (next == kNcMoveError) {
            return;
        }
        if (all) {
            r.maxSpindle =
                std::max(r.maxSpindle, static_cast<double>(session->run.modal.spindleSpeed));
        }
        if (next == kNcNoMove) {
            continue;
        }
        HandleToolChange(*session, changer);
        // Rotation programming blocks end without a move, as in the simulation.
        const int g = session->run.modal.gCode;
        if (g == 68 || (session->controller.dialect.osp != 0 && g == 127)) {
            continue;
        }
        const MotionPosition machineStart = session->kinematics->pose.machine;
        const ToolPose toolStart = session->kinematics->pose.tool;
        FinishBlockPosition(*session);
        if (session->kinematics->motion.motionType == kMotionNurbs) {
            TransformNurbsControlPoints(*session, &session->nurbs);
        }
        if (session->subprograms.depth <= 1) {
            UpdateProgressForActiveReader(0);
        }
        session->kinematics->pose.program = session->kinematics->motion.lastPosition;
        UpdateMachinePosition(*session->kinematics);
        if (session->run.status.error > 0) {
            return;
        }
        // G92: the position in the new coordinates is where the next move starts; no move.
        if (session->run.block.coordinateSettingBlock != 0 || g == 92) {
            continue;
        }
        if (all) {
            if (session->run.block.dwellBlock != 0) {
                AccountDwell(*session);
                continue;
            }
            MarkUsedNumbers(*session);
        }
        // Only blocks that move are timed and extend the extents (a block without motion may
        // restate the position after a reference return).
        if (session->kinematics->motion.blockHasMotion == 0) {
            continue;
        }
        if (all) {
            AccountMove(*session, machineStart);
        }
        ExtendByMove(*session, toolStart.point);
    }
}

// The check in its own session: the records it moves are its own.
DataCheckOutcome CheckInOwnSession(NcSession* session, WindowHandle owner, const std::string& path,
                                   int mode) {
    // 1. The run flag.
    DataCheckMode = mode;
    session->run.dataCheckActive = 1;

    // 2. Extents and progress.
    DataCheckRecord& r = DataCheckResult;
    r.program = r.machine = r.toolPointWork = r.toolPoint = r.cutting = DataCheckExtent{};
    r.error = 0;
    r.errorLine = 0;
    r.mode = mode;
    if (mode == kDataCheckAll) {
        BeginProgressForNcFile(owner, path.c_str(), "データチェック", "Check Data");
        // 3. The statistics and times start afresh.
        TakeTimeSettings();
        ClearStatistics(*session);
    } else {
        BeginProgressForNcFile(owner, path.c_str(), "最大最小チェック", "Check Min-Max");
    }

    // 4. The interpreter from its reset; the source.
    const NcMoveReader reader{DataCheckCallbacks.openPathReader,
                              DataCheckCallbacks.closePathReader};
    const int opened = OpenNcSession(session, path, reader);

    // 5. The moves.
    DataCheckToolChanger changer;
    if (opened) {
        PullProgram(session, &changer);
    }

    // 6. The end: error 3 when the program never started (or could not be opened); the source
    // closed.
    NcRunStatus& status = session->run.status;
    if ((opened == 0 || status.started == 0) && status.error == 0) {
        status.error = kNcErrorNoStart;
    }
    DataCheckOutcome outcome;
    outcome.error = r.error = status.error;
    outcome.errorLine = r.errorLine = session->line.mainLineNumber;
    outcome.errorColumn = status.error > 0 ? status.errorPosition : 0;
    outcome.errorCharacter = status.error > 0 ? status.errorCharacter : '\0';
    outcome.program = r.program;
    outcome.machine = r.machine;
    outcome.toolPointWork = r.toolPointWork;
    outcome.toolPoint = r.toolPoint;
    outcome.cutting = r.cutting;
    outcome.ran = opened && outcome.error == 0 ? 1 : 0;
    CloseNcSession(session);
    if (mode == kDataCheckAll) {
        FlushPendingMoveTime();
        UsedCodes.recording = 0;
    }
    EndProgressForActiveReader();
    CloseAlarmFile(*session);
    DataCheckMode = 0;
    return outcome;
}

}  // namespace

DataCheckOutcome RunNcDataCheck(NcSession& caller, WindowHandle owner, const std::string& path,
                                int mode) {
    if (mode != kDataCheckAll && mode != kDataCheckMinMax) {
        return DataCheckOutcome{};
    }
    auto session = std::make_unique<NcSession>();
    CopyNcSessionState(session.get(), caller);
    const DataCheckOutcome outcome = CheckInOwnSession(session.get(), owner, path, mode);
    // A tool a communication plug-in supplied is the program's: it stays current, and the mark
    // tells the next program selection to read the tools file again.
    caller.run.pluginToolSupplied = session->run.pluginToolSupplied;
    if (session->run.pluginToolSupplied != 0) {
        *caller.tools = *session->tools;
        caller.controller.currentTool = session->controller.currentTool;
    }
    // The caller's interpreter ends at its reset, as after a run, with the check's error.
    ResetInterpreterState(caller);
    caller.run.status.error = outcome.error;
    return outcome;
}

}  // namespace mirexa
