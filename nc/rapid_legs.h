// Rapid positioning legs: a rapid move split into way points as the machine's axes travel at
// their own rapid rates, either as a dog-leg at equal axis speeds (positioning type 1) or as the
// per-axis trapezoid or triangle speed profile stepped by time (type 2).
#pragma once

#include "geometry/machine_kinematics.h"
#include "nc/nc_run_state.h"

namespace mirexa {

struct NcSession;

// Positioning types of the controller's G00MODE.
constexpr int kRapidStraight = 0;  // no split
constexpr int kRapidDogLeg = 1;
constexpr int kRapidProfile = 2;
constexpr int kRapidLine = 9;  // a straight line, no split

// Axes within this distance of their end (mm) are set to it and move no more.
constexpr double kRapidLegTolerance = 1e-5;
// At most this many time steps for one rapid of type 2.
constexpr int kRapidStepsMax = 10000000;

// The dog-leg of a rapid from start to end (X, Y and Z): every axis still short of its end moves
// by the same leg length, the legs being the smallest delta, then the median minus the smallest,
// then the largest minus the median (legs that move no axis are skipped). Writes the way points
// into out (3 entries), the last one exactly the end; rotary axes move in proportion to the
// longest axis' travel. Returns the count: 0 (no split) when at most one linear axis moves or
// every moving axis moves by the same amount (within kRapidLegTolerance).
int ComputeDogLegWayPoints(const MotionPosition& start, const MotionPosition& end,
                           MotionPosition out[3]);

// The type-2 profile of a rapid: per axis with a delta D > 0, v = rate / 60 (mm/s) and a =
// acceleration * 1000 (mm/s^2); a trapezoid when D - v^2 / a > 0, else a triangle. The axis with
// the longest time leads; the step count is ceil(its D / stepLength), capped at kRapidStepsMax,
// and the step time its time / count. Returns the step count, or 0 (no split) when at most one
// linear axis moves, when the moving axes move alike (equal deltas, rates and accelerations),
// when a moving axis has no positive rate or acceleration (the machine file lacks the keys), when
// the step length is not positive, or when one step would do.
int ComputeRapidStepProfile(const MotionPosition& start, const MotionPosition& end,
                            const double rate[3], const double acceleration[3], double stepLength,
                            RapidStepProfile* out);

// The position at step i of n of a type-2 rapid: each axis where its profile has taken it at
// time i x step time (the end from i = n on), rotary axes in proportion i / n.
void EvaluateRapidStep(const RapidStepProfile& profile, int n, int i, MotionPosition* out);

// Splits the rapid of the session's motion (start to end) by the controller's positioning type into
// the rapid leg queue. Nothing is split for types 0 and 9, for G00PATH LINE in run modes from 4, or
// under an active coordinate rotation, scaling or tilted work plane. Returns the count of legs
// queued (for type 2 the step count), 0 when the move stays whole.
int SubdivideRapidMove(NcSession& session);

// The point of step i of the n steps of the queued type-2 rapid (see EvaluateRapidStep).
void GetStepAxisPositions(NcSession& session, int n, int i, MotionPosition* out);

}  // namespace mirexa
