// Node indices of coordinates on the stock grid's axes (node i at origin + i * pitch), read with
// a slack relative to the pitch, so that a coordinate on a node line reads as that line however
// the division rounds it.
#pragma once

#include <cmath>

namespace mirexa {

// Decimal extents and pitches rarely divide exactly: 3.3 / 0.01 may come out a hair above 330,
// and a face given as 36.004999999999995 on a grid from -9.895 at 0.3 mm lies on node 153 while
// the quotient is 152.99999999999997. A coordinate within this share of the pitch of a node line
// lies on it.
constexpr double kNodeSlack = 1e-9;

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
