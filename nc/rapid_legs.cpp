// Rapid positioning legs: the dog-leg way points, the per-axis speed profile and its steps, and
// the split of the current rapid into the rapid leg queue.
#include "nc/rapid_legs.h"

#include <algorithm>
#include <cmath>

#include "nc/nc_controller_view.h"
#include "nc/nc_session.h"

namespace mirexa {

namespace {

// Rotary axes of an intermediate point: start + fraction of their travel.
void BlendRotaryAxes(const MotionPosition& start, const MotionPosition& end, double fraction,
                     MotionPosition* out) {
    for (int i = 3; i < 5; ++i) {
        out->axis[i] = start.axis[i] + (end.axis[i] - start.axis[i]) * fraction;
    }
}

// Distance (mm) covered by an axis at time t (s).
double ProfileDistance(const RapidAxisProfile& p, double t) {
    const double a = p.acceleration;
    if (t >= p.totalTime) {
        return p.distance;
    }
    if (t <= p.accelerationTime) {
        return a * t * t / 2.0;
    }
    if (p.trapezoid && t <= p.cruiseEnd) {
        return p.accelerationDistance + (t - p.accelerationTime) * p.speed;
    }
    const double left = p.totalTime - t;
    return p.distance - a * left * left / 2.0;
}

bool PositiveFinite(double v) {
    return v > 0.0 && std::isfinite(v);
}

}  // namespace

int ComputeDogLegWayPoints(const MotionPosition& start, const MotionPosition& end,
                           MotionPosition out[3]) {
    double delta[3], sorted[3];
    int moving = 0;
    for (int i = 0; i < 3; ++i) {
        // An axis within the tolerance of its end does not move: it takes its end at once.
        delta[i] = std::fabs(end.axis[i] - start.axis[i]);
        if (delta[i] <= kRapidLegTolerance) {
            delta[i] = 0.0;
        }
        sorted[i] = delta[i];
        moving += delta[i] > 0.0 ? 1 : 0;
    }
    std::sort(sorted, sorted + 3);
    if (moving <= 1) {
        return 0;
    }
    // The moving axes all move alike: the straight rapid is the machine's path already.
    const double smallestMoving = moving == 3 ? sorted[0] : sorted[1];
    if (sorted[2] - smallestMoving <= kRapidLegTolerance) {
        return 0;
    }
    const double legs[3] = {sorted[0], sorted[1] - sorted[0], sorted[2] - sorted[1]};
    MotionPosition at = start;
    bool reached[3];
    for (int i = 0; i < 3; ++i) {
        reached[i] = delta[i] == 0.0;
        if (reached[i]) {
            at.axis[i] = end.axis[i];
        }
    }
    int count = 0;
    double travelled = 0.0;
    for (double leg : legs) {
        bool moved = false;
        for (int i = 0; i < 3; ++i) {
            if (reached[i] || leg <= 0.0) {
                continue;
            }
            at.axis[i] += end.axis[i] > start.axis[i] ? leg : -leg;
            moved = true;
            if (std::fabs(end.axis[i] - at.axis[i]) <= kRapidLegTolerance) {
                at.axis[i] = end.axis[i];
                reached[i] = true;
            }
        }
        if (!moved) {
            continue;
        }
        travelled += leg;
        out[count] = at;
        BlendRotaryAxes(start, end, std::min(travelled / sorted[2], 1.0), &out[count]);
        ++count;
    }
    if (count > 0) {
        out[count - 1] = end;
    }
    return count;
}

int ComputeRapidStepProfile(const MotionPosition& start, const MotionPosition& end,
                            const double rate[3], const double acceleration[3], double stepLength,
                            RapidStepProfile* out) {
    RapidStepProfile profile;
    profile.start = start;
    profile.end = end;
    int moving = 0, lead = -1;
    for (int i = 0; i < 3; ++i) {
        RapidAxisProfile& p = profile.axis[i];
        p.distance = std::fabs(end.axis[i] - start.axis[i]);
        if (!(p.distance > 0.0)) {
            p.distance = 0.0;
            continue;
        }
        ++moving;
        if (!PositiveFinite(rate[i]) || !PositiveFinite(acceleration[i])) {
            return 0;
        }
        p.speed = rate[i] / 60.0;
        p.acceleration = acceleration[i] * 1000.0;
        const double cruise = p.distance - p.speed * p.speed / p.acceleration;
        if (cruise > 0.0) {
            p.trapezoid = 1;
            p.accelerationTime = p.speed / p.acceleration;
            p.cruiseEnd = p.accelerationTime + cruise / p.speed;
            p.totalTime = p.accelerationTime + p.cruiseEnd;
        } else {
            p.accelerationTime = std::sqrt(p.distance / p.acceleration);
            p.cruiseEnd = p.accelerationTime;
            p.totalTime = 2.0 * p.accelerationTime;
        }
        p.accelerationDistance = p.acceleration * p.accelerationTime * p.accelerationTime / 2.0;
        if (lead < 0 || p.totalTime > profile.axis[lead].totalTime) {
            lead = i;
        }
    }
    if (moving <= 1) {
        return 0;
    }
    // Axes that move alike reach every point together: their motion is already synchronous.
    bool alike = true;
    for (int i = 0; i < 3; ++i) {
        if (profile.axis[i].distance > 0.0 &&
            (profile.axis[i].distance != profile.axis[lead].distance || rate[i] != rate[lead] ||
             acceleration[i] != acceleration[lead])) {
            alike = false;
        }
    }
    if (alike || !PositiveFinite(stepLength)) {
        return 0;
    }
    const double steps = std::ceil(profile.axis[lead].distance / stepLength);
    const int n = steps >= kRapidStepsMax ? kRapidStepsMax : static_cast<int>(steps);
    if (n <= 1) {
        return 0;
    }
    profile.stepTime = profile.axis[lead].totalTime / n;
    *out = profile;
    return n;
}

void EvaluateRapidStep(const RapidStepProfile& profile, int n, int i, MotionPosition* out) {
    if (i >= n) {
        *out = profile.end;
        return;
    }
    *out = profile.start;
    const double t = i * profile.stepTime;
    for (int axis = 0; axis < 3; ++axis) {
        const RapidAxisProfile& p = profile.axis[axis];
        if (p.distance > 0.0) {
            const double s = ProfileDistance(p, t);
            const bool down = profile.end.axis[axis] < profile.start.axis[axis];
            out->axis[axis] = profile.start.axis[axis] + (down ? -s : s);
        }
    }
    BlendRotaryAxes(profile.start, profile.end, n > 0 ? static_cast<double>(i) / n : 1.0, out);
}

int SubdivideRapidMove(NcSession& session) {
    const NcControllerView& c = session.controller;
    NcPendingMoves& p = session.run.pending;
    const NcTransformState& t = session.run.transforms;
    p.rapidLegCount = p.rapidLegIndex = 0;
    const int type = c.rapidType;
    if (type != kRapidDogLeg && type != kRapidProfile) {
        return 0;
    }
    // A result run the automation started (-X4 .. -X6, a macro's result or silent cut) keeps
    // the straight rapids that G00PATH LINE asks for: nobody watches its moves.
    if (c.linearRapidPath && session.kinematics->modes.batchKind >= BatchRunKind::kResult) {
        return 0;
    }
    // Under a rotation, a scaling or a tilted plane the program axes are not the machine's.
    if (t.transformState != kTransformNone || t.scaling || session.kinematics->plane.active) {
        return 0;
    }
    const MotionRecord& m = session.kinematics->motion;
    int count = 0;
    if (type == kRapidDogLeg) {
        count = ComputeDogLegWayPoints(m.start, m.end, p.rapidLeg);
    } else {
        count = ComputeRapidStepProfile(m.start, m.end, c.rapid, c.rapidAcceleration, c.stepLength,
                                        &p.rapidProfile);
    }
    p.positioningType = type;
    p.rapidLegCount = count;
    return count;
}

void GetStepAxisPositions(NcSession& session, int n, int i, MotionPosition* out) {
    EvaluateRapidStep(session.run.pending.rapidProfile, n, i, out);
}

}  // namespace mirexa
