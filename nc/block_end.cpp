// Completion of an interpreted block: work offsets through the table, tool vectors, arc geometry,
// offset data setting, coordinate setting, local coordinates, tilted planes and the feed check.
#include "nc/block_end.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "geometry/rotary_solutions.h"
#include "geometry/vector_math.h"
#include "nc/arc_geometry.h"
#include "nc/coordinate_transforms.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"

namespace mirexa {

namespace {

float* OffsetTable(NcSession& session, int which) {
    const NcOffsetMemoryView& m = session.controller.offsets;
    switch (which) {
        case 0:
            return m.dOffset;
        case 1:
            return m.dWear;
        case 2:
            return m.hOffset;
        default:
            return m.hWear;
    }
}

constexpr int kDOffset = 0, kDWear = 1, kHOffset = 2, kHWear = 3;

void WriteToolOffset(NcSession& session, int which, int entry, double value, int incremental) {
    float* table = OffsetTable(session, which);
    if (table == nullptr) {
        return;
    }
    // Saturated to the float range: an offset beyond it would make positions infinite.
    table[entry] = static_cast<float>(
        std::clamp(value + (incremental ? table[entry] : 0.0), -double{FLT_MAX}, double{FLT_MAX}));
}

// G10: work offsets (L2, L20) from the block's axis words, tool offsets from its R. Entries
// outside the tables are refused.
void ApplyDataSetting(NcSession& session) {
    const NcBlockState& block = session.run.block;
    const int kind = block.dataSettingKind;
    const int p = block.dataSettingEntry;
    const int incremental = session.run.modal.incremental;
    if (kind == 2 || kind == 20) {
        const int entry = kind == 2 ? p : p + 6;
        if ((kind == 2 && (p < 0 || p >= kWorkOffsetEntries)) ||
            (kind == 20 && (p < 1 || entry >= kWorkOffsetEntries))) {
            return;
        }
        MotionPosition& target = session.run.transforms.workOffsets[entry];
        for (int i = 0; i < 5; ++i) {
            if (block.dataNamed[i]) {
                target.axis[i] = block.dataValue[i] + (incremental ? target.axis[i] : 0.0);
            }
        }
        if (entry == 0 || entry == session.run.modal.workOffsetIndex) {
            ReapplyWorkOrigin(session);
        }
        return;
    }
    if (!block.dataRadiusSeen || p < 0 || p >= kToolOffsetEntries) {
        return;
    }
    const double r = block.dataRadius;
    switch (session.controller.offsets.memoryType) {
        case 1:
            WriteToolOffset(session, kDOffset, p, r, incremental);
            WriteToolOffset(session, kHOffset, p, r, incremental);
            break;
        case 2:
            WriteToolOffset(session, kind == 10 ? kDOffset : kDWear, p, r, incremental);
            WriteToolOffset(session, kind == 10 ? kHOffset : kHWear, p, r, incremental);
            break;
        default:
            if (kind == 10) {
                WriteToolOffset(session, kHOffset, p, r, incremental);
            } else if (kind == 11 || kind == 1) {
                WriteToolOffset(session, kHWear, p, r, incremental);
            } else if (kind == 12) {
                WriteToolOffset(session, kDOffset, p, r, incremental);
            } else {
                WriteToolOffset(session, kDWear, p, r, incremental);
            }
            break;
    }
}

// G92: the work origin moves so that the current position gets the programmed coordinates.
void ApplyCoordinateSetting(NcSession& session) {
    MotionRecord& m = session.kinematics->motion;
    NcTransformState& t = session.run.transforms;
    double delta[5];
    for (int i = 0; i < 5; ++i) {
        delta[i] = m.start.axis[i] - m.end.axis[i];
    }
    if (session.controller.g92Mode == 1 && !t.firstG92Recorded) {
        // MOVE: the first G92 of a run moves no origin; the registers take the programmed end.
        t.firstG92Recorded = 1;
        t.firstG92Position = m.end;
        m.start = m.end;
        session.run.programmed = m.end;
        return;
    }
    for (int i = 0; i < 5; ++i) {
        session.kinematics->workOrigin.axis[i] += delta[i];
        if (session.controller.dialect.number == kDialectNormal) {
            t.coordinateShift.axis[i] += delta[i];
        }
        m.lastPosition.axis[i] -= delta[i];
        session.kinematics->pose.program.axis[i] -= delta[i];
    }
    m.start = m.end;
    session.run.programmed = m.end;
    UpdateToolMatrixWithWorkOffset(session.run.transforms.workOffsets,
                                   session.run.modal.workOffsetIndex);
}

// The tool axis from the block's I, J, K under tool centre point control with vector input.
void ApplyToolVector(NcSession& session) {
    MotionRecord& m = session.kinematics->motion;
    const NcBlockState& block = session.run.block;
    if (m.motionType > 1 || !block.centreWordSeen) {
        return;
    }
    double axis[3] = {block.centreWord[0], block.centreWord[1], block.centreWord[2]};
    const double length = Vec3Length(axis);
    if (!(length > 0.0)) {
        return;
    }
    for (double& v : axis) {
        v /= length;
    }
    for (int i = 0; i < 3; ++i) {
        session.kinematics->pose.tool.axis[i] = axis[i];
    }
    const StrokeLimits& s = CurrentMachine.strokes;
    const double previous[2] = {m.start.axis[3], m.start.axis[4]};
    const int flags[2] = {s.enabled[3], s.enabled[4]};
    const double range1[2] = {s.min[3], s.max[3]};
    const double range2[2] = {s.min[4], s.max[4]};
    double angles[2] = {};
    SolveRotaryAngles(*session.kinematics, axis, previous, flags, range1, range2, angles);
    for (int k = 0; k < 2; ++k) {
        m.end.axis[3 + k] = session.controller.axes.rotarySignFlags[k] ? -angles[k] : angles[k];
    }
}

// G68.2 and G254: the tilted work plane of the block.
void ApplyTiltedPlane(NcSession& session) {
    const NcBlockState& block = session.run.block;
    TiltedWorkPlane& plane = session.kinematics->plane;
    MotionRecord& m = session.kinematics->motion;
    NcModalState& modal = session.run.modal;
    if (modal.gCode == 254) {
        plane.storedAngles[0] = m.end.axis[3];
        plane.storedAngles[1] = m.end.axis[4];
        // The plane axes are the machine axes turned as the tool axis is turned by the angles;
        // the transposed matrix is the inverse.
        for (int row = 0; row < 3; ++row) {
            double unit[3] = {0, 0, 0};
            unit[row] = 1.0;
            double turned[3];
            RotateVectorByRotaryAngles(plane.storedAngles, unit, turned);
            for (int k = 0; k < 3; ++k) {
                plane.matrix[3 * row + k] = turned[k];
                plane.transposed[3 * k + row] = turned[k];
            }
        }
        plane.active = 1;
        session.run.transforms.tiltedPlaneReady = 1;
        return;
    }
    if (block.tiltedRotaryGiven[0] && block.tiltedRotaryGiven[1]) {
        // The table-rotated copy of a work offset; the plane is not switched on.
        const double angles[2] = {m.end.axis[3], m.end.axis[4]};
        CopyWorkOffsetWithTable(session, block.tiltedSource, plane.origin, angles,
                                block.tiltedTarget);
        modal.gCode = 65;
        m.end.axis[3] = m.start.axis[3];
        m.end.axis[4] = m.start.axis[4];
        return;
    }
    const double angles[3] = {plane.planeAngles[0], plane.planeAngles[1], plane.planeAngles[2]};
    BuildEulerPlaneMatrix(session, angles);
    session.run.transforms.tiltedPlaneReady = 1;
}

void FinishScalingAndMirror(NcSession& session) {
    NcBlockState& block = session.run.block;
    NcTransformState& t = session.run.transforms;
    if (block.scalingBlock) {
        t.scaling = 1;
        for (int i = 0; i < 3; ++i) {
            t.scaleEnabled[i] = session.controller.scaleEffect[i];
        }
    }
    if (block.mirrorBlock < 0) {
        bool named = false;
        for (int i = 0; i < 3; ++i) {
            named = named || block.axisNamed[i];
        }
        if (!named) {
            for (int& on : t.mirror) {
                on = 0;
            }
        }
    }
}

}  // namespace

void CompleteNcBlock(NcSession& session) {
    MotionRecord& m = session.kinematics->motion;
    NcModalState& modal = session.run.modal;
    NcBlockState& block = session.run.block;
    // Axis words that set data (G92, G10, G52, G51, G50.1/G51.1, G68, G68.2) make no motion.
    const bool setsData = block.coordinateSettingBlock || block.dataSetting ||
                          block.localCoordinateBlock || block.scalingBlock ||
                          block.mirrorBlock != 0 || block.rotationBlock || block.tiltedPlaneBlock;
    m.blockHasMotion = block.axisWordSeen && !setsData ? 1 : 0;
    // 1. G8110: a work offset through the rotary table; no move.
    if (modal.gCode == 8110) {
        ApplyWorkOffsetWithTable(session, m.start, block.offsetWithTableEntry);
        m.end = m.start;
        session.run.programmed = m.start;
        m.blockHasMotion = 0;
        return;
    }
    // 2. Tool centre point control with vector input.
    if (modal.toolCenterPointMode == kToolCentreByVector) {
        ApplyToolVector(session);
    }
    // 5. Arc geometry, then the data setting of G10.
    // Blocks whose axis words set data or a reference point make no arc.
    const bool noArc = setsData || modal.referenceReturnMode == kReturnViaIntermediate ||
                       modal.referenceReturnMode == kReturnFromReference;
    if ((m.motionType == kMotionClockwise || m.motionType == kMotionCounterClockwise) && !noArc) {
        ArcWords words;
        words.centreSource = block.centreSource;
        for (int i = 0; i < 3; ++i) {
            words.offsets[i] = block.centreWord[i];
        }
        words.radius = block.radiusWord;
        const int increment = InputIncrements.leastInputIncrement;
        ComputeArcGeometry(modal.plane, words, session.controller.arcRadiusTolerance,
                           1.0 / (increment > 0 ? increment : 1000), &m, &session.run.status.error);
        // A whole circle given by its centre alone names no axis, yet it moves.
        if (m.sweep != 0.0) {
            m.blockHasMotion = 1;
        }
    }
    if (block.dataSetting) {
        ApplyDataSetting(session);
        block.dataSetting = 0;
        block.dataSettingKind = 0;
    }
    // Scaling, mirror and rotation words of the block take effect.
    FinishScalingAndMirror(session);
    if (block.rotationBlock && session.run.transforms.transformState == kTransformPending) {
        FinishCoordinateRotation(session);
    }
    // 6. G92.
    if (block.coordinateSettingBlock) {
        ApplyCoordinateSetting(session);
    }
    // 7. G52.
    if (block.localCoordinateBlock && session.controller.dialect.number == kDialectNormal) {
        ReapplyWorkOrigin(session);
    }
    // 8. Tilted work plane.
    if (block.tiltedPlaneBlock || modal.gCode == 254) {
        ApplyTiltedPlane(session);
    }
    // 9. Feed check.
    if (session.controller.checkF0 && m.motionType >= kMotionLine && m.feed == 0.0) {
        for (int i = 0; i < 5; ++i) {
            if (m.end.axis[i] != m.start.axis[i]) {
                session.run.status.error = kNcErrorFeedZero;
                break;
            }
        }
    }
}

}  // namespace mirexa
