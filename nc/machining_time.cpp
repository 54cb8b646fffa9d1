// The machining-time estimate: merging of consecutive moves and their trapezoid or triangle
// speed profiles.
#include "nc/machining_time.h"

#include <algorithm>
#include <cmath>

#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"

namespace mirexa {

MachiningTimeState MachiningTime;

namespace {

constexpr double kGravity = 9800.0;        // mm/s^2 per g
constexpr double kStandstillSpeed = 10.0;  // mm/s taken for a speed of exactly 0
constexpr double kPi = 3.14159265358979323846;

bool IsRapidFeed(double feed) {
    return feed >= MachiningTime.settings.rapidFeedrate;
}

// The pending length goes to the feed-move length and to the cutting or rapid length.
void AccountPendingLength() {
    MachiningTimeSums& s = MachiningTime.sums;
    const PendingTimedMove& p = MachiningTime.pending;
    s.feedMoveLength += p.length;
    if (IsRapidFeed(p.feed)) {
        s.rapidLength += p.length;
    } else {
        s.cuttingLength += p.length;
    }
}

// The pending move becomes the current move of motion.
void StartPendingMove(NcSession& session, double L, const double direction[3], double entrySpeed) {
    const MotionRecord& m = session.kinematics->motion;
    PendingTimedMove& p = MachiningTime.pending;
    p.length = L;
    p.motionType = m.motionType;
    p.feed = m.feed;
    p.entrySpeed = entrySpeed;
    for (int i = 0; i < 3; ++i) {
        p.mergedStart[i] = m.startPoint.axis[i];
        p.mergedEnd[i] = m.lastPosition.axis[i];
        p.direction[i] = direction[i];
    }
    p.pieces = 1;
}

double Norm(const double v[3]) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

}  // namespace

void ResetMachiningTime() {
    MachiningTime.sums = MachiningTimeSums{};
    MachiningTime.pending = PendingTimedMove{};
    MachiningTime.toolOrdinal = 1;
}

double MoveTimeWithAcceleration(double L, double v0, double v, double v1, double g) {
    if (!(L > 0.0) || !std::isfinite(L) || !std::isfinite(v0) || !std::isfinite(v) ||
        !std::isfinite(v1)) {
        return 0.0;
    }
    v0 = v0 == 0.0 ? kStandstillSpeed : std::fabs(v0);
    v = v == 0.0 ? kStandstillSpeed : std::fabs(v);
    v1 = v1 == 0.0 ? kStandstillSpeed : std::fabs(v1);
    const double a = g * kGravity;
    if (!(a > 0.0) || !std::isfinite(a)) {
        // No acceleration known: the machine is taken to change speed at once.
        return L / v;
    }
    const double t1 = (v - v0) / a;
    const double d1 = (v0 + v) / 2.0 * t1;
    const double t2 = (v - v1) / a;
    const double d2 = (v + v1) / 2.0 * t2;
    if (L > d1 + d2) {
        return (L - d1 - d2) / v + t1 + t2;
    }
    const double vp = std::sqrt(v0 * v0 / 2.0 + a * L + v1 * v1 / 2.0);
    return (vp - v1) / a + (vp - v0) / a;
}

void AddCurrentToolTime(double seconds) {
    const int k = std::clamp(MachiningTime.toolOrdinal, 1, kTimedToolOrdinalsMax);
    MachiningTime.sums.toolTime[k] += seconds;
}

void AccumulateMoveTime(int motionType, double L, double entry, double feed, double exit) {
    const PendingTimedMove& p = MachiningTime.pending;
    const MachiningTimeSettings& c = MachiningTime.settings;
    double v0 = entry / 60.0;
    double v = feed / 60.0;
    double v1 = exit / 60.0;
    double length = L;
    double g = c.acceleration[0];
    if (motionType == 1 && p.pieces == 1 && L > 0.0) {
        int axis = 0;
        double largest = -1.0;
        for (int i = 0; i < 3; ++i) {
            const double d = std::fabs(p.mergedEnd[i] - p.mergedStart[i]);
            if (d > largest) {
                largest = d;
                axis = i;
            }
        }
        const double scale = largest / L;
        v0 *= scale;
        v *= scale;
        v1 *= scale;
        length = largest;
        g = c.acceleration[axis];
    }
    const double t = MoveTimeWithAcceleration(length, v0, v, v1, g);
    MachiningTimeSums& s = MachiningTime.sums;
    s.feedMoveTime += t;
    if (IsRapidFeed(feed)) {
        s.rapidTime += t;
    } else {
        s.cuttingTime += t;
    }
    AddCurrentToolTime(t);
}

void MergeMoveForTime(NcSession& session, double L, const double direction[3]) {
    PendingTimedMove& p = MachiningTime.pending;
    const MotionRecord& m = session.kinematics->motion;
    if (!(p.length > 0.0)) {
        // Nothing pends: this move starts the pending one at the entry speed left by the last
        // account (0 after a stop).
        StartPendingMove(session, L, direction, p.entrySpeed);
        return;
    }
    const double a = Norm(p.direction);
    const double b = Norm(direction);
    double entry = 0.0;
    if (a > 0.0 && b > 0.0) {
        const double dot = (p.direction[0] * direction[0] + p.direction[1] * direction[1] +
                            p.direction[2] * direction[2]) /
                           (a * b);
        const double angle = std::acos(std::clamp(dot, -1.0, 1.0)) * 180.0 / kPi;
        if (angle <= MachiningTime.settings.smoothAngle) {
            if (m.feed == p.feed) {
                // The move continues the pending one.
                for (int i = 0; i < 3; ++i) {
                    p.mergedEnd[i] = m.lastPosition.axis[i];
                    p.direction[i] = direction[i];
                }
                ++p.pieces;
                p.length += L;
                p.motionType = m.motionType;
                return;
            }
            entry = std::min(p.feed, m.feed);
        }
    }
    AccumulateMoveTime(p.motionType, p.length, p.entrySpeed, p.feed, entry);
    AccountPendingLength();
    StartPendingMove(session, L, direction, entry);
}

void FlushPendingMoveTime() {
    PendingTimedMove& p = MachiningTime.pending;
    if (p.length > 0.0) {
        AccumulateMoveTime(p.motionType, p.length, p.entrySpeed, p.feed, 0.0);
        AccountPendingLength();
    }
    p.length = 0.0;
    p.entrySpeed = 0.0;
    p.feed = 0.0;
    p.motionType = 0;
    p.pieces = 0;
}

}  // namespace mirexa
