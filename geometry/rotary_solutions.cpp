// Rotary-angle solutions, angle folding and wrapping, the over-travel test and the detection of
// long rotary moves.
#include "geometry/rotary_solutions.h"

#include <cmath>

#include "geometry/machine_kinematics.h"
#include "geometry/vector_math.h"

namespace mirexa {

char OverTravelLetter = ' ';
RotaryMoveHooks RotaryMoveCallbacks;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDegreesPerRadian = 180.0 / kPi;
constexpr double kRadiansPerDegree = kPi / 180.0;
// Below this length (the sine of the angle, for unit vectors) a tool axis counts as lying along
// a rotary axis.
constexpr double kSingular = 1e-9;
// Candidates closer than this (deg) are one solution.
constexpr double kSameCandidate = 1e-9;
// Moves or residues within this (deg) count as equal in the choice.
constexpr double kTie = 1e-6;
// A jump above this (deg) at the drop from two candidates to one is a long rotary move.
constexpr double kLongMove = 160.0;

// The solver treats a machine without a rotary type like the mixed type, in the choice of the
// primary axis too.
bool IsMixedType() {
    return CurrentMachine.rotaryType == 3 || CurrentMachine.rotaryType == 0;
}

// The axis that a singular tool axis leaves undetermined keeps this angle (deg). With the tilted
// plane active, HEIDENHAIN takes the plane's third spatial angle (SPC), SIEMENS the plane angle
// of its rotation order.
double SingularAngle(const TiltedWorkPlane& plane, double previous) {
    if (!plane.active) {
        return previous;
    }
    if (KinematicsController.heidenhain) {
        return plane.planeAngles[2];  // SPC
    }
    if (KinematicsController.siemens) {
        return GetAngleForRotationOrder(plane, previous);
    }
    return previous;
}

// Component of v across the unit direction n.
void Across(const double v[3], const double n[3], double out[3]) {
    const double along = Vec3Dot(v, n);
    for (int i = 0; i < 3; ++i) {
        out[i] = v[i] - along * n[i];
    }
}

// The angle between two unit vectors (rad), from the sine and cosine alike: acos of the dot
// product alone loses half the digits near 0 and pi.
double AngleBetween(const double u[3], const double v[3]) {
    double cross[3];
    Vec3Cross(u, v, cross);
    return std::atan2(Vec3Length(cross), Vec3Dot(u, v));
}

// sin^2(x / 2).
double Haversine(double x) {
    const double s = std::sin(x / 2);
    return s * s;
}

// How far (rad, 0..pi) the inner axis must turn either way from the phase where the base axis
// b comes nearest the outer axis n_o, for b to make the angle with n_o that the wanted axis t
// makes. In the spherical triangle of n_o, the inner axis n_i and the turned b, with sides
// alpha = (n_o, n_i), beta = (n_i, b) and theta = (n_o, t), that is the angle at n_i, taken by
// the haversine rule from angles measured with atan2: exact near 0 and pi, where the cosine
// rule through acos is off by about 1e-8 rad (a tool axis 1e-8 rad off the outer axis was
// taken for one along it). Targets out of reach give 0 or pi.
double InnerSpread(const double no[3], const double ni[3], const double b[3], const double t[3]) {
    const double alpha = AngleBetween(no, ni), beta = AngleBetween(ni, b);
    const double theta = AngleBetween(no, t);
    const double scale = std::sin(alpha) * std::sin(beta);
    const double nearShare = (Haversine(theta) - Haversine(alpha - beta)) / scale;
    const double farShare = (Haversine(alpha + beta) - Haversine(theta)) / scale;
    return 2 *
           std::atan2(std::sqrt(std::fmax(nearShare, 0.0)), std::sqrt(std::fmax(farShare, 0.0)));
}

bool SameAngle(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 360.0);
    return d < kSameCandidate || 360.0 - d < kSameCandidate;
}

// x less the fewest whole turns that bring it to bound or below (x above bound), or x plus the
// fewest that bring it to bound or above (x below bound): what stepping turn by turn gives,
// with the turns counted by a remainder, so that any distance costs the same and comes out
// exact up to the last rounding.
double TurnDownTo(double x, double bound, double turn) {
    const double rest = std::fmod(x - bound, turn);  // in [0, turn)
    return rest == 0.0 ? bound : bound + (rest - turn);
}

double TurnUpTo(double x, double bound, double turn) {
    const double rest = std::fmod(bound - x, turn);
    return rest == 0.0 ? bound : bound - (rest - turn);
}

// Brings an angle within half a turn of the reference, then into [min, max] when limits are on;
// all four values in one unit, with `turn` the full turn in that unit (360 deg or 2 pi rad). An
// angle more than half a turn above the reference comes down to at most half a turn above it,
// one below comes up to at least half a turn below it; an angle below min comes up to min or
// above, one above max down to max or below, and fails when it then lies beyond the other
// limit. A failure leaves the angle as it was.
int FoldNear(double reference, int limitsOn, double min, double max, double turn, double* angle) {
    const double half = turn / 2;
    double x = *angle;
    if (!std::isfinite(x)) {
        return 0;
    }
    if (std::isfinite(reference)) {
        if (x - reference > half) {
            x = TurnDownTo(x, reference + half, turn);
        } else if (reference - x > half) {
            x = TurnUpTo(x, reference - half, turn);
        }
    }
    if (limitsOn && (x < min || x > max)) {
        x = x < min ? TurnUpTo(x, min, turn) : TurnDownTo(x, max, turn);
        if (!(x >= min && x <= max)) {
            return 0;
        }
    }
    *angle = x;
    return 1;
}

int FoldNearDegrees(double reference, int limitsOn, double min, double max, double* angle) {
    return FoldNear(reference, limitsOn, min, max, 360.0, angle);
}

// The angle (deg) as a value in (-180, 180].
double HalfTurnRange(double degrees) {
    const double r = std::remainder(degrees, 360.0);
    return r == -180.0 ? 180.0 : r;
}

// Index of the axis that decides the choice: 1 for rotary axis 2, 0 for rotary axis 1.
int PrimaryAxis() {
    const int decision = KinematicsController.angleDecision;
    const bool mixed = IsMixedType();
    return ((decision == 0 && mixed) || (decision != 0 && !(decision == 1 && mixed))) ? 1 : 0;
}

// Picks candidate 0 or 1 by the move of the primary axis, then of the other axis, then by the
// residues modulo 360.
int ChooseCandidate(const KinematicsModeFlags& modes, const RotaryCandidates& c,
                    const double previous[2]) {
    double move[2][2], residue[2][2];
    for (int j = 0; j < 2; ++j) {
        for (int k = 0; k < 2; ++k) {
            const double a = c.angle[j][k];
            move[j][k] = modes.shortestPath[k] ? std::fabs(DiffRotaryAngle(modes, previous[k], a))
                                               : std::fabs(a - previous[k]);
            residue[j][k] = std::fabs(a - std::trunc(a / 360.0) * 360.0);
        }
    }
    const int p = PrimaryAxis();
    const int o = 1 - p;
    if (std::fabs(move[0][p] - move[1][p]) >= kTie) {
        return move[1][p] <= move[0][p] ? 1 : 0;
    }
    if (std::fabs(move[0][o] - move[1][o]) >= kTie) {
        return move[1][o] <= move[0][o] ? 1 : 0;
    }
    if (std::fabs(residue[0][p] - residue[1][p]) >= kTie) {
        return residue[1][p] <= residue[0][p] ? 1 : 0;
    }
    return residue[1][o] < residue[0][o] ? 1 : 0;
}

// The session records a solve reads: the modes (where the count of the candidates that fitted is
// left for the next solve), the move and the tilted plane.
struct SolveRecords {
    KinematicsModeFlags& modes;
    const MotionRecord& motion;
    const TiltedWorkPlane& plane;
};

int Solve(const SolveRecords& records, const double axis[3], const double previous[2],
          const int limitFlags[2], const double range1[2], const double range2[2], bool requireRun,
          double result[2]) {
    KinematicsModeFlags& mode = records.modes;
    RotaryCandidates all;
    ListRotaryCandidates(records.plane, axis, previous, &all);
    RotaryCandidates kept;
    for (int j = 0; j < all.count; ++j) {
        double a1 = all.angle[j][0], a2 = all.angle[j][1];
        if (KinematicsController.heidenhain && !AcceptRotarySolution(mode, a1, a2)) {
            continue;
        }
        if (!FoldNearDegrees(previous[0], limitFlags[0], range1[0], range1[1], &a1) ||
            !FoldNearDegrees(previous[1], limitFlags[1], range2[0], range2[1], &a2)) {
            continue;
        }
        kept.angle[kept.count][0] = a1;
        kept.angle[kept.count][1] = a2;
        ++kept.count;
    }
    if (records.motion.motionType >= 1 && mode.toolCenterControl == 2 &&
        (!requireRun || mode.runMode != RunMode::kIdle) && (limitFlags[0] || limitFlags[1]) &&
        mode.previousSolutionCount == 2 && kept.count == 1) {
        const double* to = kept.angle[0];
        if (std::fabs(previous[0] - to[0]) > kLongMove ||
            std::fabs(previous[1] - to[1]) > kLongMove) {
            if (RotaryMoveCallbacks.longRotaryMove != nullptr) {
                RotaryMoveCallbacks.longRotaryMove(previous[0], previous[1], to[0], to[1]);
            }
        }
    }
    mode.previousSolutionCount = kept.count;
    if (kept.count == 0) {
        result[0] = result[1] = 0.0;
        return 0;
    }
    const int j = kept.count == 1 ? 0 : ChooseCandidate(mode, kept, previous);
    result[0] = kept.angle[j][0];
    result[1] = kept.angle[j][1];
    return 1;
}

// The whole turns (0 or +-1) that bring each angle (deg) into its enabled rotary stroke: an angle
// inside stays; otherwise a positive angle is tried one turn down, a negative one one turn up.
// 0 when either cannot be brought in (an angle of exactly 0 outside its stroke cannot).
int LimitTurns(const double degrees[2], int turns[2]) {
    const StrokeLimits& s = CurrentMachine.strokes;
    for (int k = 0; k < 2; ++k) {
        turns[k] = 0;
        if (!s.enabled[3 + k]) {
            continue;
        }
        const double lo = s.min[3 + k], hi = s.max[3 + k];
        const double a = degrees[k];
        if (a >= lo && a <= hi) {
            continue;
        }
        turns[k] = a > 0 ? -1 : a < 0 ? 1 : 0;
        const double tried = a + 360.0 * turns[k];
        if (turns[k] == 0 || !(tried >= lo && tried <= hi)) {
            return 0;
        }
    }
    return 1;
}

bool AnyAxisTilted() {
    const MachineGeometry& m = CurrentMachine;
    return m.rotary[0].tiltKind != kTiltNone || m.rotary[1].tiltKind != kTiltNone;
}

}  // namespace

void ListRotaryCandidates(KinematicsSessionRecords& kinematics, const double axis[3],
                          const double previous[2], RotaryCandidates* out) {
    ListRotaryCandidates(kinematics.plane, axis, previous, out);
}

void ListRotaryCandidates(const TiltedWorkPlane& plane, const double axis[3],
                          const double previous[2], RotaryCandidates* out) {
    const MachineGeometry& m = CurrentMachine;
    out->count = 0;
    double t[3] = {axis[0], axis[1], axis[2]};
    const double length = Vec3Length(t);
    if (!(length > 0) || !std::isfinite(length)) {
        return;
    }
    for (double& c : t) {
        c /= length;
    }
    SnapToolAxis(t);
    // The tool axis is t = R_outer(R_inner(b)): head machines turn axis 2 first.
    const int inner = m.rotaryType == 1 ? 1 : 0;
    const int outer = 1 - inner;
    const double* b = m.toolDirection;
    double ni[3], no[3];
    RotaryAxisDirection(inner, ni);
    RotaryAxisDirection(outer, no);
    // n_o . R_inner(psi) b = A + B cos psi + C sin psi must equal n_o . t.
    double nixb[3];
    Vec3Cross(ni, b, nixb);
    const double coefA = Vec3Dot(ni, b) * Vec3Dot(no, ni);
    const double coefB = Vec3Dot(no, b) - coefA;
    const double coefC = Vec3Dot(no, nixb);
    const double radius = std::hypot(coefB, coefC);
    const int signInner = m.rotary[inner].sign, signOuter = m.rotary[outer].sign;
    double innerTurns[2];
    int innerCount = 1;
    if (radius < kSingular) {
        // The inner axis cannot change the tool axis: it keeps its angle.
        innerTurns[0] = signInner * SingularAngle(plane, previous[inner]) / kDegreesPerRadian;
    } else {
        const double phase = std::atan2(coefC, coefB);
        const double spread = InnerSpread(no, ni, b, t);
        innerTurns[0] = phase + spread;
        innerTurns[1] = phase - spread;
        innerCount = spread * kDegreesPerRadian < kSameCandidate ? 1 : 2;
    }
    double tAcross[3];
    Across(t, no, tAcross);
    const bool outerSingular = Vec3Length(tAcross) < kSingular;
    for (int j = 0; j < innerCount; ++j) {
        double w[3];
        RotateAboutRotaryAxis(inner, b, std::sin(innerTurns[j]), std::cos(innerTurns[j]), w);
        double wAcross[3];
        Across(w, no, wAcross);
        double outerDegrees = 0;
        if (outerSingular || Vec3Length(wAcross) < kSingular) {
            outerDegrees = SingularAngle(plane, previous[outer]);
        } else {
            double cross[3];
            Vec3Cross(wAcross, tAcross, cross);
            outerDegrees = signOuter *
                           HalfTurnRange(std::atan2(Vec3Dot(no, cross), Vec3Dot(wAcross, tAcross)) *
                                         kDegreesPerRadian);
        }
        // Solved angles lie in (-180, 180] before the direction sign, as the closed forms give
        // them: the NC solution compares them unfolded.
        double angles[2];
        angles[inner] = signInner * HalfTurnRange(innerTurns[j] * kDegreesPerRadian);
        angles[outer] = outerDegrees;
        if (radius < kSingular) {
            angles[inner] = SingularAngle(plane, previous[inner]);
        }
        if (out->count == 1 && SameAngle(angles[0], out->angle[0][0]) &&
            SameAngle(angles[1], out->angle[0][1])) {
            continue;
        }
        out->angle[out->count][0] = angles[0];
        out->angle[out->count][1] = angles[1];
        ++out->count;
        if (outerSingular) {
            break;  // the tool axis lies along the outer axis: one solution
        }
    }
}

int SolveRotaryAngles(KinematicsSessionRecords& records, const double axis[3],
                      const double previous[2], const int limitFlags[2], const double range1[2],
                      const double range2[2], double result[2]) {
    // Tilted rotary axes take the general solve, whose warning is not restricted to a run.
    const bool requireRun = !AnyAxisTilted();
    return Solve({records.modes, records.motion, records.plane}, axis, previous, limitFlags, range1,
                 range2, requireRun, result);
}

int SolveRotaryAnglesGeneral(KinematicsSessionRecords& kinematics, const double axis[3],
                             const double previous[2], const int limitFlags[2],
                             const double range1[2], const double range2[2], double result[2]) {
    return Solve({kinematics.modes, kinematics.motion, kinematics.plane}, axis, previous,
                 limitFlags, range1, range2, false, result);
}

int SolveRotaryAnglesNc(KinematicsSessionRecords& kinematics, const double axis[3],
                        double result[2]) {
    // There are no previous angles here: an axis that the tool axis lies along takes 0 deg.
    const double none[2] = {0, 0};
    RotaryCandidates c;
    ListRotaryCandidates(kinematics, axis, none, &c);
    int best = -1;
    double bestSum = 0, bestAngles[2] = {0, 0};
    for (int j = 0; j < c.count; ++j) {
        // The stroke test stays in degrees, so that a candidate exactly on a limit fits.
        int turns[2];
        if (!LimitTurns(c.angle[j], turns)) {
            continue;
        }
        const double folded[2] = {c.angle[j][0] + 360.0 * turns[0],
                                  c.angle[j][1] + 360.0 * turns[1]};
        const double sum = std::fabs(folded[0]) + std::fabs(folded[1]);
        if (best < 0 || sum < bestSum) {
            best = j, bestSum = sum;
            bestAngles[0] = folded[0];
            bestAngles[1] = folded[1];
        }
    }
    result[0] = bestAngles[0];
    result[1] = bestAngles[1];
    return best >= 0 ? 1 : 0;
}

int FoldRotaryAngleNear(double reference, int limitsOn, double min, double max, double* angle) {
    // The angle stays in radians, so that an angle lying exactly on a limit (both converted the
    // same way) is inside, and an angle that needs no turn comes back bit for bit.
    return FoldNear(reference * kRadiansPerDegree, limitsOn, min * kRadiansPerDegree,
                    max * kRadiansPerDegree, 2 * kPi, angle);
}

int AcceptRotarySolution(KinematicsSessionRecords& kinematics, double angle1, double angle2) {
    return AcceptRotarySolution(kinematics.modes, angle1, angle2);
}

int AcceptRotarySolution(const KinematicsModeFlags& modes, double angle1, double angle2) {
    const int s = modes.preferredRotarySign;
    if (s != 1 && s != -1) {
        return 1;
    }
    if (CurrentMachine.rotary[0].axis != 2) {
        if ((s == 1 && angle1 < 0) || (s == -1 && angle1 > 0)) {
            return 0;
        }
    }
    if (CurrentMachine.rotary[1].axis == 2) {
        return 1;
    }
    return s == 1 ? angle2 >= 0 : angle2 <= 0;
}

int FoldRotaryAnglesIntoLimits(double* angle1, double* angle2) {
    double degrees[2] = {*angle1 * kDegreesPerRadian, *angle2 * kDegreesPerRadian};
    int turns[2];
    if (!LimitTurns(degrees, turns)) {
        return 0;
    }
    *angle1 += turns[0] * 2 * kPi;
    *angle2 += turns[1] * 2 * kPi;
    return 1;
}

int CheckOverTravel(const double position[5]) {
    const StrokeLimits& s = CurrentMachine.strokes;
    for (int i = 0; i < 5; ++i) {
        if (s.enabled[i] && !(position[i] >= s.min[i] && position[i] <= s.max[i])) {
            OverTravelLetter = KinematicsController.axisLetters[i];
            return i;
        }
    }
    return -1;
}

void WrapDegrees(double* angle, double lo, double hi) {
    const double a = *angle;
    if (!std::isfinite(a)) {
        return;
    }
    if (a < lo) {
        *angle = TurnUpTo(a, lo, 360.0);
    } else if (a > hi) {
        *angle = TurnDownTo(a, hi, 360.0);
    }
}

double DiffRotaryAngle(KinematicsSessionRecords& kinematics, double a, double b) {
    return DiffRotaryAngle(kinematics.modes, a, b);
}

double DiffRotaryAngle(const KinematicsModeFlags& modes, double a, double b) {
    if (modes.incrementalMode) {
        return b - a;
    }
    auto reduce = [](double x) {
        return x < 0 ? std::fmod(x, 360.0) + 360.0 : std::fmod(x, 360.0);
    };
    double d = reduce(b) - reduce(a);
    if (d > 180.0) {
        d -= 360.0;
    } else if (d < -180.0) {
        d += 360.0;
    } else if (d == 0) {
        d = 0.0;
    }
    if (KinematicsController.heidenhain) {
        if (d == 180.0 && a > b) {
            d = -180.0;
        } else if (d == -180.0 && b > a && a >= 0) {
            d = 180.0;
        }
    }
    return d;
}

double GetAngleForRotationOrder(KinematicsSessionRecords& kinematics, double fallback) {
    return GetAngleForRotationOrder(kinematics.plane, fallback);
}

double GetAngleForRotationOrder(const TiltedWorkPlane& plane, double fallback) {
    switch (plane.rotationOrderCode) {
        case 27:
        case 155:
        case 125:
        case 39:
        case 167:
            return plane.planeAngles[0];
        case 30:
        case 158:
        case 54:
        case 182:
            return plane.planeAngles[1];
        case 57:
        case 185:
        case 45:
        case 173:
            return plane.planeAngles[2];
        default:
            return fallback;
    }
}

}  // namespace mirexa
