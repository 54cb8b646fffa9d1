// Canned cycles: the levels of a cycle, the points of one hole, and the hole-by-hole expansion
// of a cycle block into the cycle point queue.
#include "nc/canned_cycles.h"

#include <algorithm>
#include <cmath>

#include "geometry/vector_math.h"
#include "nc/nc_controller_view.h"
#include "nc/nc_session.h"

namespace mirexa {

namespace {

bool IsStraightCycle(int code) {
    return code == 74 || code == 76 || code == 81 || code == 82 || (code >= 84 && code <= 199) ||
           code == 201 || code == 202 || code == 206 || code == 207 || code == 209;
}

bool IsDeepPeckCycle(int code) {
    return code == 83 || code == 200 || code == 203;
}

bool RetractsByRapid(int code) {
    return code == 73 || code == 76 || code == 81 || code == 82 || code == 83 || code == 86 ||
           (code >= 200 && code <= 203);
}

// The points of one hole as they are added.
class HolePoints {
public:
    HolePoints(const MotionPosition& hole, int normal, int* types, MotionPosition* points)
        : hole_(hole), normal_(normal), types_(types), points_(points) {}

    void Add(int type, double level) {
        if (count_ >= kCyclePointsMax) {
            return;
        }
        points_[count_] = hole_;
        points_[count_].axis[normal_] = level;
        types_[count_] = type;
        ++count_;
    }
    double LastLevel() const {
        return points_[count_ - 1].axis[normal_];
    }
    void SetLastLevel(double level) {
        points_[count_ - 1].axis[normal_] = level;
    }
    int Count() const {
        return count_;
    }

private:
    MotionPosition hole_;
    int normal_;
    int* types_;
    MotionPosition* points_;
    int count_ = 0;
};

}  // namespace

DrillingCycleLevels ComputeDrillingCycleLevels(const DrillingCycleInput& in) {
    DrillingCycleLevels l;
    const int code = in.cycleCode;
    const HeidenhainCycleLevels& h = in.heidenhainLevels;
    if (!in.heidenhain) {
        l.rLevel = in.incremental ? in.initialLevel + in.rWord : in.rWord;
        l.bottom = in.incremental ? l.rLevel + in.depthWord : in.depthWord;
    } else if (code < 200) {
        l.rLevel = in.initialLevel;
        l.bottom = in.initialLevel - in.rWord + in.depthWord;
    } else {
        l.rLevel = h.first + h.base;
        l.bottom = h.second + h.base;
    }
    switch (in.returnMode) {
        case kReturnToRLevel:
            l.returnLevel = l.rLevel;
            break;
        case kReturnToSeparateLevel:
            l.returnLevel = in.separateReturnLevel;
            break;
        default:
            l.returnLevel = in.initialLevel;
            break;
    }
    if (in.heidenhain && code >= 200) {
        l.returnLevel = h.third + h.base;
    }
    if (in.repeat > 1) {
        l.returnLevel = in.initialLevel;
    }
    const double q = std::fabs(in.peck);
    if (in.heidenhain && code < 200) {
        l.peckClearance = q <= 30.0 ? 0.6 : std::min(q / 50.0, 7.0);
    } else {
        l.peckClearance = code == 73 ? in.g73Clearance : in.g83Clearance;
    }
    return l;
}

int ExpandDrillingHole(const DrillingCycleInput& in, const DrillingCycleLevels& levels,
                       const MotionPosition& start, const MotionPosition& hole, int* types,
                       MotionPosition* points) {
    const PlaneAxes& plane = in.plane;
    const int code = in.cycleCode;
    const double r = levels.rLevel, bottom = levels.bottom;
    MotionPosition at = start;
    at.axis[plane.first] = hole.axis[plane.first];
    at.axis[plane.second] = hole.axis[plane.second];
    HolePoints out(at, plane.normal, types, points);
    // 1. Positioning at the start's level.
    const double startLevel = start.axis[plane.normal];
    if (at.axis[plane.first] != start.axis[plane.first] ||
        at.axis[plane.second] != start.axis[plane.second]) {
        out.Add(kMotionRapid, startLevel);
    }
    if (in.repeat == 0) {
        return out.Count();
    }
    // 2. Approach.
    if (startLevel != r) {
        out.Add(kMotionRapid, r);
    }
    if (in.clearance > 0.0) {
        out.Add(kMotionRapid, r - in.clearance);
    }
    // 3. Drilling. A peck of 0 (or one that is no number) drills in one feed; a negative one
    // pecks by its magnitude.
    const double q = std::fabs(in.peck);
    const bool pecks =
        q > 0.0 && in.runMode != RunMode::kSkipCutting && in.runMode != RunMode::kResult;
    const double d = levels.peckClearance;
    const auto aboveBottom = [&] { return out.LastLevel() > bottom + in.levelTolerance; };
    if (IsStraightCycle(code)) {
        out.Add(kMotionLine, bottom);
    } else if (IsDeepPeckCycle(code) || code == 73) {
        if (!(q > 0.0)) {
            out.Add(kMotionLine, bottom);
        } else {
            out.Add(kMotionLine, r - q);
            double k = 1.0;
            while (pecks && aboveBottom() && out.Count() <= kCyclePeckPointLimit) {
                if (code == 73) {
                    out.Add(kMotionRapid, out.LastLevel() + d);
                } else {
                    out.Add(kMotionRapid, r);
                    out.Add(kMotionRapid, r - k * q + d);
                }
                k += 1.0;
                out.Add(kMotionLine, r - k * q);
            }
            out.SetLastLevel(bottom);
        }
    }
    // 4. Retract.
    if (RetractsByRapid(code)) {
        out.Add(kMotionRapid, levels.returnLevel);
    } else {
        out.Add(kMotionLine, r);
        if (in.returnMode != kReturnToRLevel) {
            out.Add(kMotionRapid, levels.returnLevel);
        }
    }
    return out.Count();
}

int ExpandDrillingCycle(NcSession& session) {
    const NcModalState& modal = session.run.modal;
    NcControllerView& c = session.controller;
    NcPendingMoves& p = session.run.pending;
    p.cyclePointCount = p.cyclePointIndex = 0;
    DrillingCyclePlan& plan = p.cycle;
    plan = DrillingCyclePlan{};
    DrillingCycleInput& in = plan.input;
    in.cycleCode = modal.cycleCode;
    in.start = session.kinematics->motion.start;
    in.hole = session.kinematics->motion.end;
    in.rWord = modal.cycleRWord;
    in.depthWord = modal.cycleDepthWord;
    in.peck = modal.cyclePeck;
    in.repeat = modal.cycleRepeat;
    in.incremental = modal.cycleIncremental;
    in.returnMode = modal.returnLevel;
    in.initialLevel = modal.cycleInitialLevel;
    in.separateReturnLevel = modal.cycleSeparateReturnLevel;
    in.plane = modal.plane;
    in.heidenhain = c.dialect.heidenhain;
    in.heidenhainLevels = modal.heidenhainLevels;
    if (in.heidenhain && in.cycleCode >= 200) {
        // The first level becomes both peck clearances for the rest of the run, in the single
        // precision of the controller's values.
        c.g73Peck = c.g83Peck = static_cast<float>(in.heidenhainLevels.first);
    }
    in.g73Clearance = c.g73Peck;
    in.g83Clearance = c.g83Peck;
    const int slot = in.cycleCode - 70;
    in.clearance = slot >= 0 && slot < kCycleClearanceCodes ? c.clearance[slot] : 0.0;
    in.runMode = session.kinematics->modes.runMode;
    const int increment = InputIncrements.leastInputIncrement;
    in.levelTolerance = 0.5 / (increment > 0 ? increment : 1000);
    plan.levels = ComputeDrillingCycleLevels(in);
    plan.holesLeft = in.repeat > 1 ? in.repeat : 1;
    plan.nextStart = in.start;
    plan.nextHole = in.hole;
    return ExpandNextDrillingHole(session);
}

int DrillingHolesPending(NcSession& session) {
    return session.run.pending.cycle.holesLeft > 0 ? 1 : 0;
}

int ExpandNextDrillingHole(NcSession& session) {
    NcPendingMoves& p = session.run.pending;
    DrillingCyclePlan& plan = p.cycle;
    p.cyclePointCount = p.cyclePointIndex = 0;
    if (plan.holesLeft <= 0) {
        return 0;
    }
    --plan.holesLeft;
    const DrillingCycleInput& in = plan.input;
    const int count = ExpandDrillingHole(in, plan.levels, plan.nextStart, plan.nextHole,
                                         p.cyclePointType, p.cyclePoint);
    p.cyclePointCount = count;
    // The next hole starts where this one leaves the tool, one plane step further on.
    const PlaneAxes& plane = in.plane;
    const MotionPosition end = count > 0 ? p.cyclePoint[count - 1] : plan.nextStart;
    for (int axis : {plane.first, plane.second}) {
        plan.nextHole.axis[axis] += in.hole.axis[axis] - in.start.axis[axis];
    }
    plan.nextStart = end;
    // Incremental words of the next block count from where the tool stands.
    for (int axis : {plane.first, plane.second, plane.normal}) {
        session.run.programmed.axis[axis] = end.axis[axis];
    }
    return count;
}

}  // namespace mirexa
