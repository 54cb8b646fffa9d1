// Vector, matrix and angle helpers shared by the kinematics, the stock model, the loaders and
// the view. Plain double arrays passed by pointer; results go through output pointers.
#pragma once

#include <cstdint>

namespace mirexa {

// --- 3-vectors -----------------------------------------------------------------------------

double Vec3Length(const double v[3]);
void Vec3Add(const double a[3], const double b[3], double out[3]);
void Vec3Sub(const double a[3], const double b[3], double out[3]);
void Vec3Cross(const double a[3], const double b[3], double out[3]);
double Vec3Dot(const double a[3], const double b[3]);

// --- Transforms ----------------------------------------------------------------------------

// out = p.x * row 0 + p.y * row 1 + p.z * row 2 + offset, with the 3x4 transform stored as the
// three rows of the orientation followed by the offset (12 doubles, as a StockFrame).
void TransformPoint(const double transform[12], const double p[3], double out[3]);

// The inverse of a 3x3 matrix by rows: the adjugate divided by the determinant. The determinant
// is not tested: a singular matrix gives non-finite values.
void InvertMatrix3(const double m[9], double out[9]);

// --- Angles --------------------------------------------------------------------------------

// x limited to [-1, 1], so that a cosine pushed past a bound by rounding stays a valid acos
// argument. A NaN stays NaN.
inline double ClampToUnitRange(double x) {
    return x < -1.0 ? -1.0 : (x > 1.0 ? 1.0 : x);
}

// Sine and cosine of sign * angle (degrees), exact at every integer multiple of 90 degrees
// (0, +-1; never a negative zero).
void SinCosDegrees(double angle, int sign, double* outSin, double* outCos);

// --- Input increments ----------------------------------------------------------------------

// The controller's least input increment of coordinates (increments per mm: 100, 1000 or
// 10000). The controller-file reader fills it; 1000 until then.
struct InputIncrementSettings {
    int leastInputIncrement = 1000;
};
extern InputIncrementSettings InputIncrements;

// value (mm) times the least input increment, rounded half away from zero. Results beyond the
// 32-bit range saturate at INT32_MIN / INT32_MAX; NaN gives 0.
int32_t RoundToInputIncrements(double value);

// Polar-interpolation offsets that the NC interpreter keeps: the angle offset added to every
// converted angle, and the radius and Z offsets added when the switch is on.
struct PolarOffsetSettings {
    double angleOffset = {};   // deg
    int offsetSwitch = {};     // 1 when radius and Z offsets apply
    double radiusOffset = {};  // mm
    double zOffset = {};       // mm
};
extern PolarOffsetSettings PolarOffsets;

// Turns a position (X, Y, Z, rotary 1, rotary 2) into polar form: X := radius, Y := 0,
// rotary 2 := angle in degrees (0 to 360, plus the angle offset); Z and rotary 1 are copied.
// With flag set and the offset switch on, the radius and Z offsets are added.
void ConvertCartesianToPolar(const double position[5], int flag, double out[5]);

// --- Boxes ---------------------------------------------------------------------------------

// The 8 corners of a box, x varying fastest.
void ListBoxCorners(const double min[3], const double max[3], double out[24]);

// The bounds of the 8 box corners moved by shift: outMin/outMax start from 1e12 / -1e12, so
// they always come out ordered even for a box given with min > max.
void TransformBoxBounds(const double min[3], const double max[3], const double shift[3],
                        double outMin[3], double outMax[3]);

// The bounds of the three points of a triangle (9 doubles), starting from 1e12 / -1e12.
void ComputeBoxBounds(const double triangle[9], double outMin[3], double outMax[3]);

// out = p0 + r * unit(a*u + b*v) + c*w. Returns 1 when out was written. When a*u + b*v has
// length 0 (or is not finite) it returns 0 and leaves out as it was: callers pre-fill out
// with the point they want in that case.
int OffsetPointAlongDirection(const double p0[3], const double u[3], const double v[3],
                              const double w[3], double r, double a, double b, double c,
                              double out[3]);

// Angular tolerance (rad) by which an arc's swept range counts as reaching a quadrant point.
inline constexpr double kArcQuadrantTolerance = 0.01;

// Widens the box min/max by the arc in the plane of axes u and v (indices 0..2), with w the
// linear axis: min/max only ever grow, so callers pre-fill them with the running extent (or
// with 1e12 / -1e12 for the arc alone). Along w the start and end widen the box; a sweep
// (rad) within 0.01 of 2*pi counts as a full circle (centre -+ radius on u and v). Otherwise
// the start and end points widen u and v, and every quadrant point (0, pi/2, pi, 3pi/2) the
// swept range reaches within 0.01 rad widens the box to centre +- radius on that side. The
// direction 2 sweeps clockwise, any other counter-clockwise. An arc whose start lies within
// 0.001 of the centre adds only its start and end points.
void ExtendBoxByArc(int u, int v, int w, int direction, const double start[3], const double end[3],
                    const double centre[3], double radius, double sweep, double min[3],
                    double max[3]);

}  // namespace mirexa
