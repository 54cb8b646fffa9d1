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

// Sine and cosine of sign * angle (degrees), exact at every multiple of 90 degrees.
void SinCosDegrees(double angle, int sign, double* outSin, double* outCos);

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

}  // namespace mirexa
