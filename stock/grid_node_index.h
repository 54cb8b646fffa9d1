// Node indices of coordinates on the stock grid's axes (node i at origin + i * pitch), read with
// a slack relative to the pitch, so that a coordinate on a node line reads as that line however
// the division rounds it.
#pragma once

#include <cmath>

namespace mirexa {

// Decimal extents and pitches rarely divide exactly: 3.3 / 0.01 may come out a hair above 330,
// and a face given as 36.004999999999995 on a grid from -9.895 at 0.3 mm lies on node 153 while
// the quotient is 152.99999999999997. Nor are faces always given as typed: a binary STL stock
// holds float32 coordinates (a face typed at 1 is 0.99999994), and scripts write bounding boxes
// with seven to nine decimals. A coordinate within this share of the pitch of a node line lies
// on it, for every part of the program that asks: the grid's node counts and the cut's node
// rules, the box and STL stocks, which put such a face on the node line, and the surface, which
// reads the rays' ends and welds its points by it (stockio/cell_edges.h). Where one of them took
// a narrower band than another, a face a hair inside a node line was a face for one and a node
// line for the other, and the saved surface came out open.
constexpr double kNodeSlack = 1e-4;

// The index of the last node line at or below v (mm), a line within the slack above v counted as
// at v. It may lie outside the grid; NaN for NaN.
inline double NodeIndexAtOrBelow(double v, double origin, double pitch) {
    return std::floor((v - origin) / pitch + kNodeSlack);
}

// The index of the first node line at or above v (mm), a line within the slack below v counted as
// at v.
inline double NodeIndexAtOrAbove(double v, double origin, double pitch) {
    return std::ceil((v - origin) / pitch - kNodeSlack);
}

}  // namespace mirexa
