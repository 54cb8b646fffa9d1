// Rotary-angle solutions for a wanted tool axis, angle folding and wrapping, the stroke
// over-travel test and the report of long rotary moves.
#pragma once

namespace mirexa {

struct KinematicsModeFlags;
struct KinematicsSessionRecords;
struct TiltedWorkPlane;

// At most two (angle 1, angle 2) pairs (deg) that turn the base tool axis onto a wanted axis.
struct RotaryCandidates {
    int count = {};
    double angle[2][2] = {};  // [candidate][rotary axis]
};

// Candidates for the unit tool axis t, found by inverting the tool axis map; each solved angle
// lies in (-180, 180] times its direction sign. An axis that the tool axis lies along keeps
// `previous` (or the plane's angle in the HEIDENHAIN and SIEMENS dialects with the tilted plane
// active), the plane being the records' own.
void ListRotaryCandidates(KinematicsSessionRecords& kinematics, const double axis[3],
                          const double previous[2], RotaryCandidates* out);
void ListRotaryCandidates(const TiltedWorkPlane& plane, const double axis[3],
                          const double previous[2], RotaryCandidates* out);

// The chosen pair (deg) for a wanted tool axis, folded near the previous angles and into the
// enabled ranges; (0, 0) and result 0 when no candidate fits. Reports a long rotary move through
// RotaryMoveCallbacks when the candidate count drops from 2 to 1 with a jump above 160 deg.
// Reads the records' modes, move type and tilted plane, and leaves the count of the candidates
// that fitted in their modes (previousSolutionCount) for the next solve.
int SolveRotaryAngles(KinematicsSessionRecords& records, const double axis[3],
                      const double previous[2], const int limitFlags[2], const double range1[2],
                      const double range2[2], double result[2]);
// The same for tilted rotary axes; the warning is not restricted to an active cutting run.
int SolveRotaryAnglesGeneral(KinematicsSessionRecords& kinematics, const double axis[3],
                             const double previous[2], const int limitFlags[2],
                             const double range1[2], const double range2[2], double result[2]);
// For the NC interpreter: the candidate fitting the strokes with the smallest |a1| + |a2|.
int SolveRotaryAnglesNc(KinematicsSessionRecords& kinematics, const double axis[3],
                        double result[2]);

// Brings an angle (rad, in/out) within half a turn of the reference (deg), then into [min, max]
// (deg) when limitsOn; 0 and the angle unchanged when it cannot be brought into the range.
// Whole turns are counted, not stepped: a reference any number of turns away is reached.
int FoldRotaryAngleNear(double reference, int limitsOn, double min, double max, double* angle);
// 0 when the pair (deg) goes against the preferred rotary sign of the modes (the records').
int AcceptRotarySolution(KinematicsSessionRecords& kinematics, double angle1, double angle2);
int AcceptRotarySolution(const KinematicsModeFlags& modes, double angle1, double angle2);
// One +-360 deg step of each angle (rad, in/out) into its enabled stroke; 0 when impossible.
int FoldRotaryAnglesIntoLimits(double* angle1, double* angle2);

// The letter of the last axis found outside its stroke.
extern char OverTravelLetter;
// Index 0..4 of the first enabled axis of the position (mm, deg) outside its stroke, else -1.
// A value that is not a number counts as outside.
int CheckOverTravel(const double position[5]);

// Adds the fewest whole turns that bring an angle below lo to lo or above, or subtracts the
// fewest that bring one above hi to hi or below (deg), counted by a remainder whatever the
// distance. Non-finite angles stay as they are.
void WrapDegrees(double* angle, double lo, double hi);
// Signed rotary move from a to b (deg), folded into [-180, 180] (b - a in the incremental mode of
// the modes, the records' own).
double DiffRotaryAngle(KinematicsSessionRecords& kinematics, double a, double b);
double DiffRotaryAngle(const KinematicsModeFlags& modes, double a, double b);
// One of the three tilted-plane angles of the plane (the records' own) by its rotation-order
// code, else the fallback (deg).
double GetAngleForRotationOrder(KinematicsSessionRecords& kinematics, double fallback);
double GetAngleForRotationOrder(const TiltedWorkPlane& plane, double fallback);

// --- Long rotary move report ---------------------------------------------------------------

// Where a long rotary move goes: the cutting run's warning file fills it at start-up (tests fill
// it with fakes); empty, the move is detected and goes unreported.
struct RotaryMoveHooks {
    // A jump above 160 deg from the previous angles to the only candidate left (deg), seen when
    // the candidates that fit drop from two to one.
    void (*longRotaryMove)(double from1, double from2, double to1, double to2) = {};
};
extern RotaryMoveHooks RotaryMoveCallbacks;

}  // namespace mirexa
