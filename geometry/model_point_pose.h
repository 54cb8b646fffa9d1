// Posing the vertices of the machine's structure models (head and table models) at the current
// machine pose for the structure checks, mapping world points into a stock's own coordinates,
// and snapping an almost axis-parallel tool axis before cutting.
//
// The posing operations read the machine geometry (CurrentMachine) and the cached sines and
// cosines of the two machine angles of the pose given, so they are valid after
// UpdateMachinePosition for the pose in question. Rot1 and Rot2 below turn by machine angle 1 or
// 2 about their rotary axis with the tilt the rotary type allows (RotateAboutRotaryAxis); "plain"
// turns ignore any tilt. Every centre taken off before a turn (HP, TP, TO) is added back after
// it, on the same indices. out may not alias origin or vertex.
#pragma once

namespace mirexa {

struct MachinePose;

// Head model of rotary axis 1. ROTARY TYPE 3: origin + HP + Rot1(vertex - HP); other types:
// origin + Rot1 plain(vertex).
void PoseModelPoint(const MachinePose& pose, const double origin[3], const double vertex[3],
                    double out[3]);

// Head model on a mixed machine: e = Rot1(vertex - HP) + HP + origin, then the table turn of
// axis 2 about TP: out[a2] = e[a2], and on axis 2's plane indices Rot2 plain(e - TP) + TP.
void PoseModelPointPivot(const MachinePose& pose, const double origin[3], const double vertex[3],
                         double out[3]);

// Head model of rotary axis 2: the vertex with HO added on axis 2's plane indices, turned by
// Rot2, HO taken off again on those indices, turned by Rot1 plain, plus the origin.
void PoseModelPointAxes(const MachinePose& pose, const double origin[3], const double vertex[3],
                        double out[3]);

// Table model: p = origin + vertex. ROTARY TYPE 2: Rot1(p - TP) + TP (axis 1 only). ROTARY TYPE
// 3: out[a2] = p[a2], and on axis 2's plane indices Rot2 plain(p - TP) + TP. Other types: p.
void PoseModelPointOffset(const MachinePose& pose, const double origin[3], const double vertex[3],
                          double out[3]);

// Table model carried by both table axes (the table-table forward map applied to a point):
// p = origin + vertex - TP; u = Rot1(p); on axis 2's plane indices take TO off, turn by Rot2
// plain, add TO back; add TP.
void PoseModelPointCentre(const MachinePose& pose, const double origin[3], const double vertex[3],
                          double out[3]);

// Maps a world point (mm, in place) into a stock's local grid coordinates, the inverse of the
// stock's placement p -> M^T p + offset: with frameFlag non-zero, q = p + negatedOffset and
// p = N^T q, where N is the stored inverse of M by rows; with frameFlag 0 the point stays. The
// arguments are the StockModel's inverse orientation, negated offset and frame flag.
void ApplyModelPlacement(const double inverseOrientation[9], const double negatedOffset[3],
                         int frameFlag, double point[3]);

// Components of magnitude below this are taken as 0 by SnapAxisVector.
constexpr double kAxisVectorSnap = 0.00025;

// Sets each component with 0 < |c| < 0.00025 to 0. When none was set, the vector stays as it
// is. Otherwise it is made a unit vector again keeping its zeros exact: with two components 0
// the third becomes +1 when positive, else -1; with one component 0 the other two are divided
// by the root of the sum of their squares. When all three would be 0 the vector stays as it was
// given.
void SnapAxisVector(double v[3]);

}  // namespace mirexa
