// Section solids against rays: worked chords of every special case, the strict and inclusive
// boundaries, random rays against point-membership oracles, and continuity between the exact
// special cases and the general solution near them.
#include "simulation/section_solids.h"
#include "support/sanitized_build.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <tuple>
#include <vector>

namespace mirexa {
namespace {

constexpr double kUp[3] = {0, 0, 1};
constexpr double kDown[3] = {0, 0, -1};
constexpr double kOrigin[3] = {0, 0, 0};

// The chords of a result: one for count 2, two for count 4, none otherwise.
std::vector<std::pair<double, double>> Chords(const SectionHits& h) {
    std::vector<std::pair<double, double>> c;
    if (h.count == 2 || h.count == 4) {
        for (int k = 0; k < h.count; k += 2) {
            c.push_back({h.depth[k], h.depth[k + 1]});
        }
    }
    return c;
}

TEST(SectionSolids, ParallelConeWidensNarrowsAndStays) {
    SectionHits h;
    // Widening 45 deg cone from the tip: a ray at distance 2 enters at t = 2.
    ASSERT_EQ(IntersectLineCone(kOrigin, kUp, 0.0, 1.0, 5.0, 2.0, 0.0, &h), 2);
    EXPECT_DOUBLE_EQ(h.depth[0], 2.0);
    EXPECT_DOUBLE_EQ(h.depth[1], 5.0);
    EXPECT_EQ(IntersectLineCone(kOrigin, kUp, 0.0, 1.0, 5.0, 5.5, 0.0, &h), 0);
    // Narrowing holder step, radius 5 down to 3 over 4 mm (slope -0.5): inside lies below t*.
    ASSERT_EQ(IntersectLineCone(kOrigin, kUp, 5.0, -0.5, 4.0, 4.0, 0.0, &h), 2);
    EXPECT_DOUBLE_EQ(h.depth[0], 0.0);
    EXPECT_DOUBLE_EQ(h.depth[1], 2.0);
    // A ray wholly inside the narrowing cone (t* = 8 beyond the length) is one full chord.
    ASSERT_EQ(IntersectLineCone(kOrigin, kUp, 5.0, -0.5, 4.0, 1.0, 0.0, &h), 2);
    EXPECT_DOUBLE_EQ(h.depth[0], 0.0);
    EXPECT_DOUBLE_EQ(h.depth[1], 4.0);
    EXPECT_EQ(IntersectLineCone(kOrigin, kUp, 5.0, -0.5, 4.0, 6.0, 0.0, &h), 0);
    // Equal diameters (slope 0): inside everywhere strictly within the radius, no NaN at d = r.
    ASSERT_EQ(IntersectLineCone(kOrigin, kUp, 3.0, 0.0, 4.0, 2.9, 0.0, &h), 2);
    EXPECT_DOUBLE_EQ(h.depth[1], 4.0);
    EXPECT_EQ(IntersectLineCone(kOrigin, kUp, 3.0, 0.0, 4.0, 3.0, 0.0, &h), 0);
    // A tool pointing down: the chord runs below the base, ordered by depth.
    const double base[3] = {0, 0, 10};
    ASSERT_EQ(IntersectLineCone(base, kDown, 0.0, 1.0, 5.0, 0.0, 2.0, &h), 2);
    EXPECT_DOUBLE_EQ(h.depth[0], 5.0);
    EXPECT_DOUBLE_EQ(h.depth[1], 8.0);
    EXPECT_DOUBLE_EQ(h.axial[0], 5.0);
    EXPECT_DOUBLE_EQ(h.axial[1], 2.0);
}

TEST(SectionSolids, PerpendicularRaysKeepTheirEndPlanesInclusive) {
    SectionHits h;
    const double axis[3] = {1, 0, 0};
    // Cone along u: radius 1 + 0.5 t; the ray at t = 2, offset 0.5 across.
    ASSERT_EQ(IntersectLineCone(kOrigin, axis, 1.0, 0.5, 4.0, 2.0, 0.5, &h), 2);
    EXPECT_DOUBLE_EQ(h.depth[1], std::sqrt(4.0 - 0.25));
    EXPECT_DOUBLE_EQ(h.depth[0], -h.depth[1]);
    EXPECT_EQ(IntersectLineCone(kOrigin, axis, 1.0, 0.5, 4.0, 0.0, 0.5, &h), 2);
    EXPECT_EQ(IntersectLineCone(kOrigin, axis, 1.0, 0.5, 4.0, 4.0, 0.5, &h), 2);
    EXPECT_EQ(IntersectLineCone(kOrigin, axis, 1.0, 0.5, 4.0, 4.0000001, 0.5, &h), 0);
    // Cylinder along u and along v: the offset across the axis is exact, and d = r misses.
    ASSERT_EQ(IntersectLineCylinder(kOrigin, axis, 2.0, 10.0, 5.0, 1.0, &h), 2);
    EXPECT_DOUBLE_EQ(h.depth[1], std::sqrt(3.0));
    EXPECT_EQ(IntersectLineCylinder(kOrigin, axis, 2.0, 10.0, 5.0, 2.0, &h), 0);
    EXPECT_EQ(IntersectLineCylinder(kOrigin, axis, 2.0, 10.0, 0.0, 1.0, &h), 2);
    EXPECT_EQ(IntersectLineCylinder(kOrigin, axis, 2.0, 10.0, 10.0, 1.0, &h), 2);
    EXPECT_EQ(IntersectLineCylinder(kOrigin, axis, 2.0, 10.0, -1e-9, 1.0, &h), 0);
    const double alongV[3] = {0, -1, 0};
    ASSERT_EQ(IntersectLineCylinder(kOrigin, alongV, 2.0, 10.0, 1.5, -3.0, &h), 2);
    EXPECT_DOUBLE_EQ(h.depth[1], std::sqrt(4.0 - 2.25));
    EXPECT_EQ(IntersectLineHalfCylinder(kOrigin, alongV, 2.0, 0.0, -1e6, &h), 2);
    EXPECT_EQ(IntersectLineHalfCylinder(kOrigin, alongV, 2.0, 0.0, 1e-9, &h), 0);
    // Torus lying on its side: the slice at t exactly 0 or 2 rho is a single circle: no hit.
    EXPECT_EQ(IntersectLineTorus(kOrigin, axis, 3.0, 1.0, 0.0, 0.0, &h), 0);
    EXPECT_EQ(IntersectLineTorus(kOrigin, axis, 3.0, 1.0, 2.0, 0.0, &h), 0);
    // Through the middle of the slice at t = 1: two chords, between radii 2 and 4.
    ASSERT_EQ(IntersectLineTorus(kOrigin, axis, 3.0, 1.0, 1.0, 0.0, &h), 4);
    EXPECT_DOUBLE_EQ(h.depth[0], -4.0);
    EXPECT_DOUBLE_EQ(h.depth[1], -2.0);
    EXPECT_DOUBLE_EQ(h.depth[2], 2.0);
    EXPECT_DOUBLE_EQ(h.depth[3], 4.0);
}

TEST(SectionSolids, ParallelCylindersReachTheirEnds) {
    SectionHits h;
    const double base[3] = {1, 1, 2};
    // On the axis: the full chord from t = 0 to t = L; at d = r nothing.
    ASSERT_EQ(IntersectLineCylinder(base, kUp, 2.0, 7.0, 1.0, 1.0, &h), 2);
    EXPECT_DOUBLE_EQ(h.depth[0], 2.0);
    EXPECT_DOUBLE_EQ(h.depth[1], 9.0);
    EXPECT_EQ(IntersectLineCylinder(base, kUp, 2.0, 7.0, 3.0, 1.0, &h), 0);
    // The half cylinder's open end lies 1e7 along the axis, beyond any stock.
    ASSERT_EQ(IntersectLineHalfCylinder(base, kUp, 2.0, 1.5, 1.0, &h), 2);
    EXPECT_DOUBLE_EQ(h.depth[1], 2.0 + kHalfCylinderFarEnd);
    ASSERT_EQ(IntersectLineHalfCylinder(base, kDown, 2.0, 1.5, 1.0, &h), 2);
    EXPECT_DOUBLE_EQ(h.depth[0], 2.0 - kHalfCylinderFarEnd);
    EXPECT_DOUBLE_EQ(h.depth[1], 2.0);
    // Torus along the ray: entry and exit on the tube at distance 1 from the ring circle.
    ASSERT_EQ(IntersectLineTorus(kOrigin, kUp, 3.0, 1.0, 3.5, 0.0, &h), 2);
    EXPECT_DOUBLE_EQ(h.depth[0], 1.0 - std::sqrt(0.75));
    EXPECT_DOUBLE_EQ(h.depth[1], 1.0 + std::sqrt(0.75));
}

TEST(SectionSolids, ConeThroughBothDiscsNeverSolvesTheSide) {
    // An axis tilted by 0.6/0.8; the ray enters through the base disc and leaves through the top
    // disc, so both ends lie exactly on the end planes.
    const double axis[3] = {0.6, 0, 0.8};
    SectionHits h;
    ASSERT_EQ(IntersectLineCone(kOrigin, axis, 3.0, 0.2, 4.0, 0.5, 0.0, &h), 2);
    EXPECT_DOUBLE_EQ(h.axial[0], 0.0);
    EXPECT_DOUBLE_EQ(h.axial[1], 4.0);
    EXPECT_NEAR(h.depth[0], -0.375, 1e-15);
    EXPECT_NEAR(h.depth[1], (4.0 - 0.3) / 0.8, 1e-14);
}

TEST(SectionSolids, EllipsoidClipGivesAZeroLengthChord) {
    SectionHits h;
    // b = 4, c = 2; clipped at t = 1.5. A vertical ray at d = 1 enters at t = 2 - sqrt(4 - 1/4)
    // and would leave at 2 + sqrt(...) above the clip: the chord keeps only its entry depth.
    ASSERT_EQ(IntersectLineEllipsoid(kOrigin, kUp, 4.0, 2.0, 1.5, 1.0, 0.0, &h), 2);
    const double entry = 2.0 - std::sqrt(4.0 - 0.25);
    EXPECT_NEAR(h.depth[0], entry, 1e-14);
    EXPECT_EQ(h.depth[1], h.depth[0]);
    // Without the clip the chord is whole.
    ASSERT_EQ(IntersectLineEllipsoid(kOrigin, kUp, 4.0, 2.0, 4.0, 1.0, 0.0, &h), 2);
    EXPECT_NEAR(h.depth[1], 2.0 + std::sqrt(4.0 - 0.25), 1e-14);
    // A ray wholly above the clip length misses; so does one outside the radial semi-axis.
    const double axis[3] = {1, 0, 0};
    EXPECT_EQ(IntersectLineEllipsoid(kOrigin, axis, 4.0, 2.0, 1.5, 1.6, 0.0, &h), 0);
    EXPECT_EQ(IntersectLineEllipsoid(kOrigin, kUp, 4.0, 2.0, 4.0, 4.0, 0.0, &h), 0);
}

TEST(SectionSolids, TorusRayThroughTheHoleGivesFourHits) {
    SectionHits h;
    // Nearly along the axis of a lying ring, through its hole: nothing.
    const double steep[3] = {0, 0.28, 0.96};
    EXPECT_EQ(IntersectLineTorus(kOrigin, steep, 3.0, 1.0, 0.0, 0.3, &h), 0);
    // Through the centre at a shallow angle to the ring's plane (sin 0.28): tube, hole, tube.
    const double shallow[3] = {0, 0.96, 0.28};
    ASSERT_EQ(IntersectLineTorus(kOrigin, shallow, 3.0, 1.0, 0.0, 0.96, &h), 4);
    EXPECT_LT(h.depth[1], h.depth[2]);
    EXPECT_NEAR(h.depth[1] + h.depth[2], 2 * 0.28, 1e-12);  // symmetric about the centre
    // A torus without a hole (ring below tube): one chord across its axis, also where a ray
    // crosses the inner self-crossing surface in general position.
    const double flat[3] = {1, 0, 0};
    ASSERT_EQ(IntersectLineTorus(kOrigin, flat, 0.5, 1.0, 1.0, 0.0, &h), 2);
    EXPECT_DOUBLE_EQ(h.depth[1], 1.5);
    const double tilted[3] = {0.6, 0, 0.8};
    ASSERT_EQ(IntersectLineTorus(kOrigin, tilted, 0.5, 1.0, 0.3, 0.1, &h), 2);
}

// --- Random rays against membership oracles ----------------------------------------------------

struct Solid {
    const char* name;
    // The routine for a base, axis and ray.
    std::function<int(const double*, const double*, double, double, SectionHits*)> intersect;
    // A signed clearance of a point inside the solid (mm, positive inside).
    std::function<double(double t, double radial)> clearance;
};

void RandomUnit(std::mt19937_64& rng, double out[3]) {
    std::normal_distribution<double> n(0.0, 1.0);
    double len = 0;
    do {
        for (int k = 0; k < 3; ++k) {
            out[k] = n(rng);
        }
        len = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
    } while (len < 1e-3);
    for (int k = 0; k < 3; ++k) {
        out[k] /= len;
    }
}

std::vector<Solid> TestSolids() {
    std::vector<Solid> solids;
    solids.push_back({"cone",
                      [](const double* b, const double* a, double u, double v, SectionHits* h) {
                          return IntersectLineCone(b, a, 1.0, 0.4, 5.0, u, v, h);
                      },
                      [](double t, double r) {
                          return std::min({t, 5.0 - t, (1.0 + 0.4 * t - r) / std::hypot(1, 0.4)});
                      }});
    solids.push_back({"narrowing cone",
                      [](const double* b, const double* a, double u, double v, SectionHits* h) {
                          return IntersectLineCone(b, a, 4.0, -0.5, 5.0, u, v, h);
                      },
                      [](double t, double r) {
                          return std::min({t, 5.0 - t, (4.0 - 0.5 * t - r) / std::hypot(1, 0.5)});
                      }});
    solids.push_back({"cylinder",
                      [](const double* b, const double* a, double u, double v, SectionHits* h) {
                          return IntersectLineCylinder(b, a, 2.5, 6.0, u, v, h);
                      },
                      [](double t, double r) {
                          return std::min({t, 6.0 - t, 2.5 - r});
                      }});
    solids.push_back({"half cylinder",
                      [](const double* b, const double* a, double u, double v, SectionHits* h) {
                          return IntersectLineHalfCylinder(b, a, 2.5, u, v, h);
                      },
                      [](double t, double r) { return std::min(t, 2.5 - r); }});
    solids.push_back({"ellipsoid",
                      [](const double* b, const double* a, double u, double v, SectionHits* h) {
                          return IntersectLineEllipsoid(b, a, 3.0, 2.0, 4.0, u, v, h);
                      },
                      [](double t, double r) {
                          // Scaled algebraic clearance; near the surface it behaves like a
                          // distance up to a factor between 1 and 3.
                          return 1.0 - std::sqrt(r * r / 9.0 + (t - 2.0) * (t - 2.0) / 4.0);
                      }});
    solids.push_back({"torus",
                      [](const double* b, const double* a, double u, double v, SectionHits* h) {
                          return IntersectLineTorus(b, a, 3.0, 1.2, u, v, h);
                      },
                      [](double t, double r) { return 1.2 - std::hypot(r - 3.0, t - 1.2); }});
    solids.push_back({"torus without hole",
                      [](const double* b, const double* a, double u, double v, SectionHits* h) {
                          return IntersectLineTorus(b, a, 0.8, 1.5, u, v, h);
                      },
                      [](double t, double r) { return 1.5 - std::hypot(r - 0.8, t - 1.5); }});
    return solids;
}

// Along sampled rays, every point clearly inside the solid lies in a chord and every point
// clearly outside lies in none; chord ends lie on the boundary. Under a sanitizer a third of the
// rays per solid: there the test's own sampling along each ray, instrumented at -O0, takes most of
// its time, and the same intersections run.
TEST(SectionSolids, RandomRaysAgreeWithPointMembership) {
    const unsigned seed = 20240613;
    std::printf("seed %u\n", seed);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> coord(-4.0, 4.0);
    const double margin = 1e-6;
    const int trials = testing::kSanitizedBuild ? 1000 : 3000;
    for (const Solid& solid : TestSolids()) {
        int hitRays = 0;
        for (int trial = 0; trial < trials; ++trial) {
            double base[3] = {coord(rng), coord(rng), coord(rng)};
            double axis[3];
            RandomUnit(rng, axis);
            // Every fifth ray takes one of the exact special axes.
            if (trial % 5 == 1) {
                axis[0] = axis[1] = 0;
                axis[2] = trial % 2 ? 1.0 : -1.0;
            } else if (trial % 5 == 3) {
                axis[2] = 0;
                const double len = std::hypot(axis[0], axis[1]);
                axis[0] /= len;
                axis[1] /= len;
            }
            const double lu = coord(rng), lv = coord(rng);
            SectionHits h;
            solid.intersect(base, axis, lu, lv, &h);
            const auto chords = Chords(h);
            hitRays += chords.empty() ? 0 : 1;
            for (double w = -12.0; w <= 12.0; w += 0.01) {
                const double x[3] = {lu - base[0], lv - base[1], w - base[2]};
                const double t = x[0] * axis[0] + x[1] * axis[1] + x[2] * axis[2];
                const double r2 = x[0] * x[0] + x[1] * x[1] + x[2] * x[2] - t * t;
                const double c = solid.clearance(t, std::sqrt(std::max(0.0, r2)));
                bool covered = false;
                for (const auto& chord : chords) {
                    covered = covered || (w >= chord.first - 1e-9 && w <= chord.second + 1e-9);
                }
                if (c > margin) {
                    ASSERT_TRUE(covered) << solid.name << " trial " << trial << " w " << w;
                } else if (c < -margin) {
                    ASSERT_FALSE(covered) << solid.name << " trial " << trial << " w " << w;
                }
            }
        }
        EXPECT_GT(hitRays, trials / 10) << solid.name;
    }
}

// An axis off the special directions by 0.0003 takes the general solution; its chords must
// stay within about R * 3e-4 of the exact case's.
TEST(SectionSolids, GeneralSolutionIsContinuousWithTheSpecialCases) {
    const double n = std::sqrt(1.0 + 2 * 0.0003 * 0.0003);
    const double nearUp[3] = {0.0003 / n, 0.0003 / n, 1.0 / n};
    const double m = std::sqrt(1.0 + 0.0003 * 0.0003);
    const double nearSide[3] = {1.0 / m, 0.0, 0.0003 / m};
    const double side[3] = {1, 0, 0};
    const double base[3] = {0.2, -0.1, 0.5};
    const double tol = 5.0 * 3e-4 * 5.0;
    auto same = [&](const SectionHits& a, const SectionHits& b, const char* what) {
        ASSERT_EQ(a.count, b.count) << what;
        for (int k = 0; k < a.count; ++k) {
            EXPECT_NEAR(a.depth[k], b.depth[k], tol) << what << " hit " << k;
        }
    };
    using Routine = std::function<int(const double* axis, double u, double v, SectionHits*)>;
    const std::vector<std::tuple<const char*, const double*, const double*, Routine>> cases = {
        {"cylinder up", kUp, nearUp,
         [&](const double* a, double u, double v, SectionHits* h) {
             return IntersectLineCylinder(base, a, 2.5, 6.0, u, v, h);
         }},
        {"cone up", kUp, nearUp,
         [&](const double* a, double u, double v, SectionHits* h) {
             return IntersectLineCone(base, a, 0.0, 1.5, 3.0, u, v, h);
         }},
        {"torus up", kUp, nearUp,
         [&](const double* a, double u, double v, SectionHits* h) {
             return IntersectLineTorus(base, a, 3.0, 1.2, u, v, h);
         }},
        // Near its rim the ellipsoid's surface runs almost along the ray, where a tilt moves
        // the ends by far more than it moves the surface: only rays well inside count.
        {"ellipsoid up", kUp, nearUp,
         [&](const double* a, double u, double v, SectionHits* h) {
             return std::hypot(u - base[0], v - base[1]) < 1.5
                        ? IntersectLineEllipsoid(base, a, 2.0, 3.0, 6.0, u, v, h)
                        : (h->count = 0);
         }},
        {"cylinder side", side, nearSide,
         [&](const double* a, double u, double v, SectionHits* h) {
             return IntersectLineCylinder(base, a, 2.5, 6.0, u, v, h);
         }},
        {"torus side", side, nearSide,
         [&](const double* a, double u, double v, SectionHits* h) {
             return IntersectLineTorus(base, a, 3.0, 1.2, u, v, h);
         }},
    };
    for (const auto& [what, exact, near, routine] : cases) {
        for (double lu = -4.75; lu <= 4.75; lu += 0.5) {
            for (double lv = -4.75; lv <= 4.75; lv += 0.5) {
                SectionHits a, b;
                routine(exact, lu, lv, &a);
                routine(near, lu, lv, &b);
                same(a, b, what);
            }
        }
    }
}

}  // namespace
}  // namespace mirexa
