// Random three-axis programs through the built program, checked against a height-field model of
// the material their moves remove that is worked out here from the tools' profiles, the
// moves' geometry and the steps the cut poses the tool at along them alone. Each program runs in
// G-code and in the conversational dialect, with blocks that move nothing between its moves. Each
// form: no alarm, full circles that keep their whole turn, a saved surface whose every directed
// edge is met by its reverse and whose distinct vertices lie apart, the removed volume of the saved
// stock's Z rays within a bound of the pitch over the cut area and the removed volume of its saved
// surface within a bound of the pitch over the cut's surface; and the two forms' Z rays the same.
// The stocks are boxes placed where the grid is hardest: faces on node lines, a hair inside or
// outside them, partial last cells, boxes read from binary STL stocks; and the programs touch the
// stock's faces at node lines beside corners and cut across its far faces. Random five-axis
// programs on a turning table get the surface checks.
//
// A few fixed seeds run in the suite. MIREXA_CUT_SWEEP=N runs N programs instead (seeds from
// MIREXA_CUT_SWEEP_SEED, pitches 1 to 0.05 mm in turn) and prints the figures per pitch; that is
// what scripts/cut_sweep runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/batch_run_fixture.h"
#include "support/mesh_checker.h"
#include "support/sanitized_build.h"

namespace mirexa {
namespace {

using testing::BatchRunTest;

constexpr double kPi = 3.141592653589793;
constexpr double kClear = 5.0;     // program Z of the rapids above the stock
constexpr double kZOffset = -0.5;  // the sample controller's external offset on Z
constexpr double kMaxDepth = 6.0;  // deepest program Z below the stock's top
constexpr double kBoxX = 40.0, kBoxY = 30.0, kBoxZ = 12.0;

// --- The tools and their profiles -----------------------------------------------------------

enum class Profile { Flat, Ball, Bull, Cone, Taper, TaperBall };

struct Tool {
    int number;
    const char* entry;  // the tools file line that adds it, or none for a sample tool
    Profile profile;
    double radius;  // bottom radius (Flat, Bull, Taper), ball radius, cone top radius
    double corner;  // Bull: corner radius
    double angle;   // Cone: tip angle from the radial (deg); Taper, TaperBall: side angle
    double height;  // Taper, TaperBall: cutting length
};

const Tool kTools[] = {
    {1, nullptr, Profile::Flat, 5.0, 0, 0, 0},
    {2, nullptr, Profile::Ball, 3.0, 0, 0, 0},
    {3, nullptr, Profile::Bull, 8.0, 2.0, 0, 0},
    {4, nullptr, Profile::Cone, 4.25, 0, 31.0, 0},
    {5, "MAGAZINE 5 CUTTER 10,0,0,0,45,0,30 \"VEE 90\" LENGTH 50\n", Profile::Cone, 5.0, 0, 45.0,
     0},
    {6, "MAGAZINE 6 CUTTER 6,0,0,0,0,10,20 \"TAPER 10\" LENGTH 50\n", Profile::Taper, 3.0, 0, 10.0,
     20.0},
    {7, "MAGAZINE 7 TAPERBALL 1.5,8,20 \"TAPERBALL R1.5\" LENGTH 50\n", Profile::TaperBall, 1.5, 0,
     8.0, 20.0},
};

double Tangent(double degrees) {
    return std::tan(degrees * kPi / 180.0);
}

// The farthest the tool reaches from its axis within its cutting part.
double OuterRadius(const Tool& t) {
    switch (t.profile) {
        case Profile::Taper:
            return t.radius + t.height * Tangent(t.angle);
        case Profile::TaperBall: {
            const double b = t.angle * kPi / 180.0;
            const double rho = t.radius * std::cos(b);
            return rho + (t.height - (t.radius - t.radius * std::sin(b))) * std::tan(b);
        }
        default:
            return t.radius;
    }
}

// Height of the tool's lowest surface above its tip at distance rho from its axis; infinity
// beyond the tool. Above its cutting part every tool is a cylinder of its outer radius, so the
// lowest surface is all there is to a vertical tool's cut.
double LowestAbove(const Tool& t, double rho) {
    constexpr double kNone = std::numeric_limits<double>::infinity();
    switch (t.profile) {
        case Profile::Flat:
            return rho < t.radius ? 0.0 : kNone;
        case Profile::Ball:
            return rho < t.radius ? t.radius - std::sqrt(t.radius * t.radius - rho * rho) : kNone;
        case Profile::Bull: {
            const double flat = t.radius - t.corner;
            if (rho <= flat) {
                return 0.0;
            }
            const double d = rho - flat;
            return rho < t.radius ? t.corner - std::sqrt(t.corner * t.corner - d * d) : kNone;
        }
        case Profile::Cone:
            return rho < t.radius ? rho * Tangent(t.angle) : kNone;
        case Profile::Taper:
            if (rho <= t.radius) {
                return 0.0;
            }
            return rho < OuterRadius(t) ? (rho - t.radius) / Tangent(t.angle) : kNone;
        case Profile::TaperBall: {
            const double b = t.angle * kPi / 180.0;
            const double r = t.radius;
            const double rhoJoin = r * std::cos(b);
            if (rho <= rhoJoin) {
                return r - std::sqrt(r * r - rho * rho);
            }
            return rho < OuterRadius(t) ? r - r * std::sin(b) + (rho - rhoJoin) / std::tan(b)
                                        : kNone;
        }
    }
    return kNone;
}

// --- The moves as the generator meant them ---------------------------------------------------

struct Point {
    double v[3] = {};
};

// A line (centre unused) or an arc about `centre` in the plane (first, second axis) turning by
// `sweep` (signed: positive from the first axis towards the second), its normal coordinate
// going linearly from the start's to the end's.
struct Move {
    Point start, end;
    bool arc = false;
    int first = 0, second = 1;
    double centre[2] = {};
    double sweep = 0.0;
};

Point PointOf(const Move& m, double s) {
    Point p;
    if (!m.arc) {
        for (int k = 0; k < 3; ++k) {
            p.v[k] = m.start.v[k] + s * (m.end.v[k] - m.start.v[k]);
        }
        return p;
    }
    const int a = m.first, b = m.second, n = 3 - a - b;
    const double da = m.start.v[a] - m.centre[0], db = m.start.v[b] - m.centre[1];
    const double r0 = std::hypot(da, db);
    const double r1 = std::hypot(m.end.v[a] - m.centre[0], m.end.v[b] - m.centre[1]);
    const double r = r0 + s * (r1 - r0);
    const double angle = std::atan2(db, da) + s * m.sweep;
    p.v[a] = m.centre[0] + r * std::cos(angle);
    p.v[b] = m.centre[1] + r * std::sin(angle);
    p.v[n] = m.start.v[n] + s * (m.end.v[n] - m.start.v[n]);
    return p;
}

// The length of the move: an arc's at the mean of its end radii, with its travel along the normal.
double PathLength(const Move& m) {
    if (!m.arc) {
        return std::hypot(m.end.v[0] - m.start.v[0], m.end.v[1] - m.start.v[1],
                          m.end.v[2] - m.start.v[2]);
    }
    const int a = m.first, b = m.second, n = 3 - a - b;
    const double r0 = std::hypot(m.start.v[a] - m.centre[0], m.start.v[b] - m.centre[1]);
    const double r1 = std::hypot(m.end.v[a] - m.centre[0], m.end.v[b] - m.centre[1]);
    return std::hypot((r0 + r1) / 2 * m.sweep, m.end.v[n] - m.start.v[n]);
}

// The centre of an arc written by R from its start to its end: on the chord's bisector, on the
// side where the arc in its direction (the sign of its sweep) turns by at most half a turn for a
// positive R and by more for a negative one. Sets the centre and the sweep.
void CentreOfRadiusArc(Move* m, double radius) {
    const int a = m->first, b = m->second;
    const double da = m->end.v[a] - m->start.v[a], db = m->end.v[b] - m->start.v[b];
    const double half = std::hypot(da, db) / 2;
    const double h = std::sqrt(std::max(0.0, radius * radius - half * half));
    const double direction = m->sweep < 0 ? -1.0 : 1.0;
    for (const double side : {1.0, -1.0}) {
        const double ca = m->start.v[a] + da / 2 - side * h * db / (2 * half);
        const double cb = m->start.v[b] + db / 2 + side * h * da / (2 * half);
        double turn = std::atan2(m->end.v[b] - cb, m->end.v[a] - ca) -
                      std::atan2(m->start.v[b] - cb, m->start.v[a] - ca);
        turn = std::fmod(direction * turn + 4 * kPi, 2 * kPi);
        if ((turn <= kPi) == (radius > 0)) {
            m->centre[0] = ca, m->centre[1] = cb;
            m->sweep = direction * turn;
            return;
        }
    }
}

// --- The stock ---------------------------------------------------------------------------------

// The stock box of a program (mm): its X and Y min corner up to 0.4 mm below the program's zero,
// and its X and Y sizes a whole number of pitches as a float carries them: min + n * pitch as the
// sum comes out, or a few units of the last place off it, so that the max faces lie on a node
// line, a hair inside it or a hair outside it. Z from -kBoxZ to 0. Further placements, from a
// stream of their own: the max faces (X, Y and the top) 1e-8, 1e-7 or 5e-7 mm inside or outside
// their node line, or half a pitch and more off it (a box that is not a whole number of pitches,
// whose last cells are partial); and one box in three read from a binary STL stock, whose float32
// coordinates put every face, min faces too, near node lines of the grid from the whole
// millimetre below the minimum.
struct StockBox {
    double min[3] = {};
    double max[3] = {};
    bool stl = false;  // read from a binary STL stock (float32 coordinates)
};

// Through a volatile float: GCC 12's vectoriser at -O3 left the round trip out of the box's
// loop, and the check took an STL stock's max faces where the file does not put them.
double AsFloat32(double v) {
    const volatile float f = static_cast<float>(v);
    return f;
}

StockBox FloatStockBox(unsigned seed, double pitch) {
    std::mt19937 rng(seed ^ 0x0b0c0d0eu);
    StockBox box;
    box.min[2] = -kBoxZ;
    for (int k = 0; k < 2; ++k) {
        box.min[k] =
            -std::round(std::uniform_real_distribution<double>(0.0, 0.4)(rng) * 1000) / 1000;
        const double size = k == 0 ? kBoxX : kBoxY;
        double max = box.min[k] + std::round((size - box.min[k]) / pitch) * pitch;
        const int units = std::uniform_int_distribution<int>(-2, 2)(rng);
        for (int u = 0; u < std::abs(units); ++u) {
            max = std::nextafter(max, units > 0 ? kBoxX + kBoxY : -kBoxX);
        }
        box.max[k] = max;
    }
    std::mt19937 placements(seed ^ 0x71a2b3c4u);
    const auto pick = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(placements);
    };
    // A hair off a node line (mm), inside or outside, or a partial last cell.
    static const double kHairs[] = {1e-8, 1e-7, 5e-7};
    for (int k = 0; k < 3; ++k) {
        const int choice = pick(0, 4);
        const double sign = pick(0, 1) == 0 ? -1.0 : 1.0;
        if (choice < 3) {
            box.max[k] += sign * kHairs[choice];
        } else if (choice == 3 && k < 2) {
            box.max[k] -= std::round(pitch * (0.2 + 0.6 * pick(0, 10) / 10.0) * 1000) / 1000;
        }
    }
    box.stl = pick(0, 2) == 0;
    if (box.stl) {
        // The grid starts at the whole millimetre below the minimum: the min faces on its node
        // lines, and the max faces moved with them, as a float32 carries them.
        for (int k = 0; k < 3; ++k) {
            const double origin = std::floor(box.min[k]);
            const double min = origin + std::round((box.min[k] - origin) / pitch) * pitch;
            box.max[k] = AsFloat32(box.max[k] + (min - box.min[k]));
            box.min[k] = AsFloat32(min);
        }
    }
    return box;
}

// The box as a binary STL, twelve facets counter-clockwise seen from outside.
std::string BinaryStlBox(const StockBox& box) {
    std::string out(80, ' ');
    const auto word = [&](std::uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
    const auto real = [&](double v) {
        const float f = static_cast<float>(v);
        out.append(reinterpret_cast<const char*>(&f), 4);
    };
    word(12);
    const auto corner = [&](int i, int k) { return (i >> k & 1) != 0 ? box.max[k] : box.min[k]; };
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& face : faces) {
        for (const int half : {0, 1}) {
            const int corners[3] = {face[0], face[1 + half], face[2 + half]};
            for (int k = 0; k < 3; ++k) {
                real(0.0);
            }
            for (const int c : corners) {
                for (int k = 0; k < 3; ++k) {
                    real(corner(c, k));
                }
            }
            out.append(2, '\0');
        }
    }
    return out;
}

// --- The generator -----------------------------------------------------------------------------

struct Program {
    std::string text;
    const Tool* tool = {};
    // The moves, the rapids too: a rapid back along a cut poses the tool between the cut's
    // steps and takes what they left.
    std::vector<Move> moves;
    std::vector<int> circleLines;  // lines of the blocks that are whole circles
    int lines = 0;
};

class Generator {
public:
    explicit Generator(unsigned seed)
        : rng_(seed),
          ramps_(seed ^ 0x5a5a5a5au),
          touches_(seed ^ 0x3c3c3c3cu),
          corners_(seed ^ 0x2d2d2d2du) {}

    // The stock the program cuts and its pitch, which the features of material of zero width
    // place their touches against.
    void SetStock(const StockBox& box, double pitch) {
        box_ = box;
        pitch_ = pitch;
    }

    Program Make() {
        p_ = Program{};
        p_.tool = &kTools[Pick(0, static_cast<int>(std::size(kTools)) - 1)];
        const std::string tool = std::to_string(p_.tool->number);
        at_ = {{Round(Uniform(5, kBoxX - 5)), Round(Uniform(5, kBoxY - 5)), 50.0}};
        Emit("%");
        Emit("G90 G17 G40 G49 G80 G21");
        Emit("T" + tool + " M06");
        Emit("S3000 M03");
        Emit("G00 Z50.");
        Emit("G00 X" + Num(at_.v[0]) + " Y" + Num(at_.v[1]));
        const int features = Pick(3, 6);
        for (int f = 0; f < features; ++f) {
            Feature();
        }
        for (int f = Touch(0, 2); f > 0; --f) {
            ZeroWidthFeature();
        }
        for (int f = Corner(0, 2); f > 0; --f) {
            FarFaceFeature();
        }
        Emit("G00 Z50.");
        Emit("M30");
        Emit("%");
        return p_;
    }

private:
    double Uniform(double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng_);
    }
    int Pick(int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng_);
    }
    // The ramps' own stream: a choice between lo and hi (ints), or a uniform value (doubles).
    int Ramp(int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(ramps_);
    }
    // The stream of the features of material of zero width, which come after the others.
    int Touch(int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(touches_);
    }
    double Touch(double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(touches_);
    }
    double Ramp(double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(ramps_);
    }
    // The stream of the features at the stock's corners and far faces, which come last.
    int Corner(int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(corners_);
    }
    double Corner(double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(corners_);
    }
    static double Round(double v) {
        return std::round(v * 1000.0) / 1000.0;
    }
    static std::string Num(double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", v == 0.0 ? 0.0 : v);
        return text;
    }
    // A line of the program.
    void Emit(const std::string& line) {
        p_.text += line + "\n";
        ++p_.lines;
    }
    double Depth() {
        return Round(-Uniform(0.3, kMaxDepth));
    }
    // A move to `to` as a line, at the feed or a rapid.
    void Line(const Point& to, bool rapid = false) {
        std::string block = rapid ? "G00" : "G01";
        const char* names = "XYZ";
        for (int k = 0; k < 3; ++k) {
            if (to.v[k] != at_.v[k]) {
                block += std::string(" ") + names[k] + Num(to.v[k]);
            }
        }
        if (!rapid) {
            block += " F500.";
        }
        p_.moves.push_back({at_, to});
        Emit(block);
        at_ = to;
    }
    // Up to the clearance, across, and down to program Z `z` at (x, y) at the feed.
    void Approach(double x, double y, double z) {
        if (at_.v[2] != kClear) {
            Line({{at_.v[0], at_.v[1], kClear}}, true);
        }
        Line({{x, y, kClear}}, true);
        Line({{x, y, z}});
    }
    // An arc in the plane of (a, b) about centre (ca, cb) from the current point through the
    // signed sweep, ending at normal coordinate `normal`; by I J K, or by R when `byRadius` (not
    // a whole turn; more than half a turn by a negative R). A whole turn is written back to the
    // start.
    void Arc(int a, int b, double ca, double cb, double sweep, double normal, bool byRadius) {
        const int n = 3 - a - b;
        Move m;
        m.start = at_;
        m.arc = true;
        m.first = a, m.second = b;
        m.centre[0] = ca, m.centre[1] = cb;
        m.sweep = sweep;
        const double r = std::hypot(at_.v[a] - ca, at_.v[b] - cb);
        const double angle = std::atan2(at_.v[b] - cb, at_.v[a] - ca) + sweep;
        Point end = at_;
        const bool whole = std::fabs(std::fabs(sweep) - 2 * kPi) < 1e-12;
        if (!whole) {
            end.v[a] = Round(ca + r * std::cos(angle));
            end.v[b] = Round(cb + r * std::sin(angle));
            // The arc turns to the end as written, the micrometre it was rounded to: the cut's
            // last step stands there.
            const double turn =
                std::atan2(end.v[b] - cb, end.v[a] - ca) - std::atan2(at_.v[b] - cb, at_.v[a] - ca);
            m.sweep = sweep > 0 ? std::fmod(turn + 4 * kPi, 2 * kPi)
                                : -std::fmod(4 * kPi - turn, 2 * kPi);
        }
        end.v[n] = normal;
        m.end = end;
        static const char* const kPlane[3] = {"G19", "G18", "G17"};
        const char* names = "XYZ";
        const char* offsets = "IJK";
        std::string block = std::string(kPlane[n]) + (sweep < 0 ? " G02" : " G03");
        for (int k = 0; k < 3; ++k) {
            block += std::string(" ") + names[k] + Num(end.v[k]);
        }
        if (byRadius) {
            const double radius = Round(std::fabs(sweep) > kPi ? -r : r);
            block += " R" + Num(radius);
            CentreOfRadiusArc(&m, radius);
        } else {
            block += std::string(" ") + offsets[a] + Num(ca - at_.v[a]);
            block += std::string(" ") + offsets[b] + Num(cb - at_.v[b]);
        }
        Emit(block + " F500.");
        if (whole) {
            p_.circleLines.push_back(p_.lines);
        }
        p_.moves.push_back(m);
        at_ = end;
        if (n != 2) {
            Emit("G17");
        }
    }

    void Feature() {
        const double x = Round(Uniform(4, kBoxX - 4)), y = Round(Uniform(4, kBoxY - 4));
        int kind = Pick(0, 6);
        switch (kind) {
            case 0: {  // passes of lines, some ramped, the last left by a rapid along itself
                Approach(x, y, Depth());
                const int passes = Pick(1, 3);
                for (int i = 0; i < passes; ++i) {
                    const double z = Pick(0, 2) == 0 ? Depth() : at_.v[2];
                    Line({{Round(Uniform(0, kBoxX)), Round(Uniform(0, kBoxY)), z}});
                }
                const Point start = p_.moves.back().start;
                Line(start, true);
                break;
            }
            case 1: {  // a plunge, or a ramp from above the stock left by a rapid back along
                       // its line and on past its start (the line rises there, clear of the
                       // stock); the ramps draw on a stream of their own, so that the other
                       // features of a seed stay as they were
                if (Ramp(0, 1) == 0) {
                    Approach(x, y, Depth());
                    break;
                }
                Approach(x, y, Round(Ramp(1.0, 3.0)));
                const Point start = at_;
                Line({{Round(std::clamp(x + Ramp(-12.0, 12.0), 2.0, kBoxX - 2)),
                       Round(std::clamp(y + Ramp(-12.0, 12.0), 2.0, kBoxY - 2)),
                       Round(-Ramp(0.3, kMaxDepth))}});
                const double past = Ramp(1.2, 3.0);
                Point back;
                for (int k = 0; k < 3; ++k) {
                    back.v[k] = Round(at_.v[k] + (start.v[k] - at_.v[k]) * past);
                }
                Line(back, true);
                break;
            }
            case 2:    // a whole circle by I J, or a helical turn, at any start angle
            case 3: {  // an arc by I J of any sweep, maybe helical
                const double r = Uniform(2, 8);
                const double start = Uniform(0, 2 * kPi);
                const double ca = x, cb = y;
                const double z = Depth();
                Approach(Round(ca + r * std::cos(start)), Round(cb + r * std::sin(start)),
                         Pick(0, 1) == 0 ? z : std::min(0.0, Round(z + Uniform(0, 3))));
                const bool whole = Pick(0, 1) == 0;
                const double sweep =
                    (whole ? 2 * kPi : Uniform(0.2, 2 * kPi - 0.2)) * (Pick(0, 1) == 0 ? 1 : -1);
                Arc(0, 1, ca, cb, sweep, z, false);
                break;
            }
            case 4: {  // a whole circle as two halves by R
                const double r = Round(Uniform(2, 8));
                const double z = Depth();
                Approach(Round(x - r), y, z);
                const double turn = Pick(0, 1) == 0 ? kPi : -kPi;
                Arc(0, 1, x, y, turn, z, true);
                Arc(0, 1, x, y, turn, z, true);
                break;
            }
            case 5:    // G18: a whole circle or an arc by I K or by R below the clearance,
            case 6: {  // maybe helical; G19: the same by J K or by R
                const int along = Pick(0, 1) == 0 ? 0 : 1;
                const int a = along == 0 ? 2 : 1, b = along == 0 ? 0 : 2;
                const double r = Uniform(1.5, 4);
                const double cz = Round(-Uniform(r * 0.3, kMaxDepth - r));
                const double centreAlong = along == 0 ? x : y;
                const double start = Uniform(0, 2 * kPi);
                Point s{{x, y, 0}};
                // The plane's first and second axes: (Z, X) in G18, (Y, Z) in G19.
                const double ca = a == 2 ? cz : centreAlong, cb = b == 2 ? cz : centreAlong;
                s.v[a] = Round(ca + r * std::cos(start));
                s.v[b] = Round(cb + r * std::sin(start));
                Approach(s.v[0], s.v[1], s.v[2]);
                const bool byRadius = Pick(0, 2) == 0;
                const bool whole = !byRadius && Pick(0, 1) == 0;
                double turn = whole ? 2 * kPi : Uniform(0.3, 2 * kPi - 0.3);
                if (byRadius && std::fabs(turn - kPi) < 0.3) {
                    turn += 0.6;  // near half a turn the rounded ends leave R's centre loose
                }
                const double sweep = turn * (Pick(0, 1) == 0 ? 1 : -1);
                // Half of them helical: the normal coordinate moves up to 8 mm, within the box.
                const int n = 3 - a - b;
                const double normal =
                    Pick(0, 1) == 0
                        ? at_.v[n]
                        : Round(std::clamp(at_.v[n] + Uniform(-8, 8), 0.0, n == 0 ? kBoxX : kBoxY));
                Arc(a, b, ca, cb, sweep, normal, byRadius);
                break;
            }
        }
    }

    // The radius (mm) of the hole a plunge to program Z `z` leaves in the stock's top face: the
    // tool's radius where its lowest surface rises to the face.
    double RadiusAtTopFace(double z) const {
        const Tool& t = *p_.tool;
        const double depth = -(z + kZOffset);
        if (LowestAbove(t, std::nextafter(OuterRadius(t), 0.0)) <= depth) {
            return OuterRadius(t);
        }
        double lo = 0.0, hi = OuterRadius(t);
        for (int i = 0; i < 60; ++i) {
            const double mid = 0.5 * (lo + hi);
            (LowestAbove(t, mid) <= depth ? lo : hi) = mid;
        }
        return lo;
    }
    // A coordinate on axis k: a node line of the stock, or a place off the nodes.
    double TouchCoordinate(int k, double lo, double hi) {
        const double v = Touch(lo, hi);
        if (Touch(0, 1) == 0) {
            return Round(v);
        }
        return Round(box_.min[k] + std::round((v - box_.min[k]) / pitch_) * pitch_);
    }
    // A slot at program Z `z` from (x0, y0) to (x1, y1), as written (to the micrometre).
    void Slot(double x0, double y0, double x1, double y1, double z) {
        Approach(Round(x0), Round(y0), z);
        Line({{Round(x1), Round(y1), z}});
    }

    // Material of zero width: two holes of one depth side by side (along X, along Y or aslant)
    // whose walls touch where the stock's top face meets them, at a point or down a line where
    // the tool's side is upright; two slots end to end whose round ends touch so; or a hole, or
    // a slot coming square to one of the stock's four side faces, whose tool side touches that
    // face from inside. The touches lie on node lines or off them. (Walls that touch over an
    // area, two slots side by side, are not made: they leave sheets thinner than a float tells.)
    void ZeroWidthFeature() {
        const double z = Round(-Touch(0.3, kMaxDepth));
        const double r = RadiusAtTopFace(z);
        const double tx = TouchCoordinate(0, 12, kBoxX - 12);
        const double ty = TouchCoordinate(1, 12, kBoxY - 12);
        switch (Touch(0, 2)) {
            case 0: {  // two holes
                const int way = Touch(0, 2);
                const double angle = way == 0 ? 0.0 : way == 1 ? kPi / 2 : Touch(0.0, kPi);
                const double dx = r * std::cos(angle), dy = r * std::sin(angle);
                Approach(Round(tx - dx), Round(ty - dy), z);
                Approach(Round(tx + dx), Round(ty + dy), z);
                break;
            }
            case 1: {  // two slots end to end, along X or along Y
                const bool alongX = Touch(0, 1) == 0;
                const double a = Round(Touch(2.0, 8.0)), b = Round(Touch(2.0, 8.0));
                if (alongX) {
                    Slot(tx - r - a, ty, tx - r, ty, z);
                    Slot(tx + r, ty, tx + r + b, ty, z);
                } else {
                    Slot(tx, ty - r - a, tx, ty - r, z);
                    Slot(tx, ty + r, tx, ty + r + b, z);
                }
                break;
            }
            case 2: {  // touching a side face from inside: a hole, or a slot square to the face
                const int face = Touch(0, 3);
                const int k = face / 2;
                const double inward = face % 2 == 0 ? 1.0 : -1.0;
                Point at{{tx, ty, z}};
                at.v[k] = Round((face % 2 == 0 ? box_.min[k] : box_.max[k]) + inward * r);
                if (Touch(0, 1) == 0) {
                    Approach(at.v[0], at.v[1], z);
                } else {
                    Point from = at;
                    from.v[k] += inward * Touch(2.0, 8.0);
                    Slot(from.v[0], from.v[1], at.v[0], at.v[1], z);
                }
                break;
            }
        }
    }

    // Where the grid is hardest for the surface: a plunge whose tool side touches a side face
    // of the stock at a node line within a pitch of a corner of that face; or a plunge or a slot
    // across a max face (which may lie inside a partial last cell).
    void FarFaceFeature() {
        const double z = Round(-Corner(0.3, kMaxDepth));
        const double r = RadiusAtTopFace(z);
        const int face = Corner(0, 3);  // -X, +X, -Y, +Y
        const int k = face / 2, j = 1 - k;
        const bool low = face % 2 == 0;
        Point at{{0, 0, z}};
        if (Corner(0, 1) == 0) {
            // Tangent to the face, on the first or last node line of the other axis inside the
            // stock (the grid's origin is the whole millimetre below an STL stock's minimum).
            const double origin = box_.stl ? std::floor(box_.min[j]) : box_.min[j];
            const double first =
                origin + std::ceil((box_.min[j] - origin) / pitch_ + 1e-6) * pitch_;
            const double last =
                origin + std::floor((box_.max[j] - origin) / pitch_ - 1e-6) * pitch_;
            at.v[j] = Round(Corner(0, 1) == 0 ? first : last);
            at.v[k] = Round((low ? box_.min[k] : box_.max[k]) + (low ? r : -r));
            Approach(at.v[0], at.v[1], z);
            return;
        }
        if (low) {
            return;  // the min faces lie on node lines: nothing partial there
        }
        at.v[k] = Round(box_.max[k]);
        at.v[j] = Round(Corner(10.0, (j == 0 ? kBoxX : kBoxY) - 10.0));
        if (Corner(0, 1) == 0) {
            Approach(at.v[0], at.v[1], z);
            return;
        }
        Point from = at;
        from.v[k] -= Round(Corner(3.0, 8.0));
        Point to = at;
        to.v[k] += Round(Corner(1.0, 4.0));
        Slot(from.v[0], from.v[1], to.v[0], to.v[1], z);
    }

    std::mt19937 rng_;
    std::mt19937 ramps_;
    std::mt19937 touches_;
    std::mt19937 corners_;
    Program p_;
    Point at_{};
    StockBox box_{};
    double pitch_ = 1.0;
};

// --- The conversational form ------------------------------------------------------------------

// The words of a G-code line of the generator: its G and M codes and its letters' values.
struct GCodeWords {
    std::vector<int> g, m;
    std::map<char, double> value;
};

GCodeWords ReadGCodeWords(const std::string& line) {
    GCodeWords words;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        const double value = std::atof(word.c_str() + 1);
        if (word[0] == 'G') {
            words.g.push_back(static_cast<int>(value));
        } else if (word[0] == 'M') {
            words.m.push_back(static_cast<int>(value));
        } else {
            words.value[word[0]] = value;
        }
    }
    return words;
}

bool Has(const std::vector<int>& codes, int code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// The same program in the conversational dialect, block by block from its G-code: L blocks for
// the lines and rapids, CC and C for the arcs by centre in their plane, CC and CP turning by the
// angle for the helices, CR for the arcs by R, and G17, G18 or G19 where the plane changes.
// Between the moves stand blocks that move nothing (a comment, a blank line, a circle centre
// somewhere else, the tool called again), drawn from a stream of their own; after the circles
// most of all, and between a circle's CC and its C. The moves, the tool and the whole circles'
// blocks are the G-code's.
class ConversationalWriter {
public:
    explicit ConversationalWriter(unsigned seed) : rng_(seed ^ 0x3c3c3c3cu) {}

    Program Write(const Program& gCode) {
        p_ = Program{};
        p_.tool = gCode.tool;
        p_.moves = gCode.moves;
        Emit("BEGIN PGM RANDOM MM");
        std::map<int, int> lineOf;  // G-code line -> the line of its move here
        std::istringstream lines(gCode.text);
        int gCodeLine = 0;
        for (std::string line; std::getline(lines, line);) {
            ++gCodeLine;
            const GCodeWords words = ReadGCodeWords(line);
            if (words.value.count('T') != 0) {
                tool_ = "TOOL CALL " + std::to_string(static_cast<int>(words.value.at('T'))) +
                        " Z S3000";
                Emit(tool_);
            }
            spindle_ = spindle_ || Has(words.m, 3);
            for (const int plane : {17, 18, 19}) {
                if (Has(words.g, plane) && plane != plane_) {
                    plane_ = plane;
                    Emit(std::string("G").append(std::to_string(plane)));
                }
            }
            for (const int motion : {0, 1, 2, 3}) {
                motion_ = Has(words.g, motion) ? motion : motion_;
            }
            Point to = at_;
            bool moves = false;
            for (int k = 0; k < 3; ++k) {
                if (words.value.count("XYZ"[k]) != 0) {
                    to.v[k] = words.value.at("XYZ"[k]);
                    moves = true;
                }
            }
            if (moves) {
                if (motion_ >= 2) {
                    Circle(words, to);
                } else {
                    Emit(LineBlock(to));
                }
                lineOf[gCodeLine] = p_.lines;
                at_ = to;
                Between(motion_ >= 2 ? 2 : 4, true);
            }
            if (Has(words.m, 30)) {
                Emit("END PGM RANDOM MM");
            }
        }
        for (const int line : gCode.circleLines) {
            p_.circleLines.push_back(lineOf[line]);
        }
        return p_;
    }

private:
    static std::string Signed(double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%+.3f", v == 0.0 ? 0.0 : v);
        return text;
    }
    // A numbered block, or a blank line.
    void Emit(const std::string& block) {
        p_.text += block.empty() ? "\n" : std::to_string(number_++) + " " + block + "\n";
        ++p_.lines;
    }
    // After one in `odds` moves, a block that moves nothing: any kind, or with `anyCentre`
    // false none that moves the circle centre.
    void Between(int odds, bool anyCentre) {
        if (std::uniform_int_distribution<int>(1, odds)(rng_) != 1) {
            return;
        }
        const auto coordinate = [this](double size) {
            return Signed(std::round(std::uniform_real_distribution<double>(0, size)(rng_)));
        };
        switch (std::uniform_int_distribution<int>(0, anyCentre ? 3 : 2)(rng_)) {
            case 0:
                Emit("; a block that moves nothing");
                break;
            case 1:
                Emit("");
                break;
            case 2:
                Emit(tool_);
                break;
            default:
                Emit("CC X" + coordinate(kBoxX) + " Y" + coordinate(kBoxY));
                break;
        }
    }
    std::string LineBlock(const Point& to) {
        std::string block = "L";
        for (int k = 0; k < 3; ++k) {
            if (to.v[k] != at_.v[k]) {
                block += std::string(" ") + "XYZ"[k] + Signed(to.v[k]);
            }
        }
        block += motion_ == 0 ? " R0 FMAX" : " R0 F500";
        if (spindle_) {
            block += " M3";
            spindle_ = false;
        }
        return block;
    }
    // The arc of the G-code words from the current point to `to` in the current plane.
    void Circle(const GCodeWords& words, const Point& to) {
        const int n = plane_ == 17 ? 2 : plane_ == 18 ? 1 : 0;
        const int a = n == 2 ? 0 : n == 1 ? 2 : 1, b = 3 - a - n;
        const std::string names = "XYZ";
        const std::string direction = motion_ == 3 ? " DR+" : " DR-";
        const std::string end =
            std::string(" ") + names[a] + Signed(to.v[a]) + " " + names[b] + Signed(to.v[b]);
        const std::string normal =
            to.v[n] != at_.v[n] ? std::string(" ") + names[n] + Signed(to.v[n]) : "";
        if (words.value.count('R') != 0) {
            Emit("CR" + end + normal + " R" + Signed(words.value.at('R')) + direction + " R0 F500");
            return;
        }
        double centre[3] = {};
        for (int k = 0; k < 3; ++k) {
            const auto offset = words.value.find("IJK"[k]);
            centre[k] = at_.v[k] + (offset != words.value.end() ? offset->second : 0.0);
        }
        Emit(std::string("CC ") + names[a] + Signed(centre[a]) + " " + names[b] +
             Signed(centre[b]));
        Between(2, false);
        if (normal.empty()) {
            Emit("C" + end + direction + " R0 F500");
            return;
        }
        // A helix turns about the centre by the angle from its start to its end (deg).
        double turn = std::atan2(to.v[b] - centre[b], to.v[a] - centre[a]) -
                      std::atan2(at_.v[b] - centre[b], at_.v[a] - centre[a]);
        if (motion_ == 3) {
            turn += turn <= 0.0 ? 2 * kPi : 0.0;
        } else {
            turn -= turn >= 0.0 ? 2 * kPi : 0.0;
        }
        char angle[32];
        std::snprintf(angle, sizeof angle, "%+.6f", turn * 180.0 / kPi);
        Emit(std::string("CP IPA") + angle + " I" + names[n] + Signed(to.v[n] - at_.v[n]) +
             direction + " R0 F500");
    }

    std::mt19937 rng_;
    Program p_;
    Point at_{};
    int number_ = 0;
    int plane_ = 17;
    int motion_ = 0;
    bool spindle_ = false;
    std::string tool_;
};

// --- The model ---------------------------------------------------------------------------------

// The Z rays of a stock file: node coordinates and each ray's material (mm) with its lowest and
// highest end.
struct ZRays {
    double origin[2] = {};
    double pitch = 0.0;
    int nx = 0, ny = 0;
    std::vector<double> length, low, high;
    double surfaceVolume = 0.0;  // mm^3, of the saved STL of the stock
};

bool ReadZRays(const std::string& path, ZRays* rays) {
    return testing::VisitZRays(
        path, [&](const StockModel& model, std::int64_t cell, int count, const double* ends) {
            if (cell == 0) {
                *rays = ZRays{};
                rays->origin[0] = model.origin[0];
                rays->origin[1] = model.origin[1];
                rays->pitch = model.pitch;
                rays->nx = model.nx;
                rays->ny = model.ny;
                const std::size_t cells = static_cast<std::size_t>(model.z.cellCount);
                rays->length.assign(cells, 0.0);
                rays->low.assign(cells, 0.0);
                rays->high.assign(cells, 0.0);
            }
            for (int i = 0; i + 1 < count; i += 2) {
                rays->length[cell] += ends[i + 1] - ends[i];
            }
            if (count >= 2) {
                rays->low[cell] = ends[0];
                rays->high[cell] = ends[count - 1];
            }
        });
}

// A ray this near (mm) the tool's outer radius is one the tool's side touches: where a program's
// decimals put a ray on that circle (a slot's end a whole tool radius off a node line, a plunge
// 4.2 and 0.65 mm off a ray of a 4.25 mm tool), the doubles put it a few units of the last place
// inside or outside, and the cut takes no material that the tool only touches.
constexpr double kTouching = 1e-9;

// The lowest tool point over the points (xs[i], ys[j]) (each list ascending), at [j * xs.size()
// + i], from the tool's poses along every move; the material a ray there loses is what lies above
// it. The cut poses the tool at the steps of a move, the move's length over the step length (the
// grid's pitch here) rounded up, evenly along it, and what it removes is the tool's body at those
// poses: between two poses the tool's side leaves a scallop on the walls and the floor of a ramp
// or of an arc in the G18 or G19 plane a stair, up to a few tenths of a millimetre deep at 1 mm.
// The model takes the same poses, so that the rays differ by rounding alone. Poses whose tip lies
// at `top` or above take nothing.
std::vector<double> LowestToolPoints(const Program& program, const std::vector<double>& xs,
                                     const std::vector<double>& ys, double pitch, double top) {
    const Tool& tool = *program.tool;
    const double reach = OuterRadius(tool);
    std::vector<double> lowest(xs.size() * ys.size(), std::numeric_limits<double>::infinity());
    for (const Move& m : program.moves) {
        const int steps = std::max(1, static_cast<int>(std::ceil(PathLength(m) / pitch)));
        for (int i = 0; i <= steps; ++i) {
            const Point at = PointOf(m, static_cast<double>(i) / steps);
            const double tip = at.v[2] + kZOffset;
            if (tip >= top) {
                continue;
            }
            const auto x0 = std::lower_bound(xs.begin(), xs.end(), at.v[0] - reach);
            const auto x1 = std::upper_bound(x0, xs.end(), at.v[0] + reach);
            const auto y0 = std::lower_bound(ys.begin(), ys.end(), at.v[1] - reach);
            const auto y1 = std::upper_bound(y0, ys.end(), at.v[1] + reach);
            for (auto y = y0; y != y1; ++y) {
                double* row = &lowest[static_cast<std::size_t>(y - ys.begin()) * xs.size()];
                for (auto x = x0; x != x1; ++x) {
                    const double rho = std::hypot(*x - at.v[0], *y - at.v[1]);
                    if (rho > reach - kTouching) {
                        continue;  // the tool's side at most touches the ray
                    }
                    double& cell = row[x - xs.begin()];
                    cell = std::min(cell, tip + LowestAbove(tool, rho));
                }
            }
        }
    }
    return lowest;
}

// The halves of the cells about the nodes of one axis within the box [min, max] (clipped there):
// the middle of each and its width.
struct HalfCell {
    double at = 0.0, width = 0.0;
};

std::vector<HalfCell> HalfCells(double origin, double pitch, int nodes, double min, double max) {
    std::vector<HalfCell> halves;
    for (int i = 0; i < nodes; ++i) {
        const double at = origin + i * pitch;
        for (const double side : {-0.5, 0.5}) {
            const double lo = std::max(min, std::min(at, at + side * pitch));
            const double hi = std::min(max, std::max(at, at + side * pitch));
            if (hi > lo) {
                halves.push_back({(lo + hi) / 2, hi - lo});
            }
        }
    }
    return halves;
}

// The smallest radius of the cut's curved surfaces: the tool's (its ball, its corner, the circle
// of its side) and that of the floors its arcs in the G18 and G19 planes sweep.
double SmallestRadius(const Program& program) {
    const Tool& tool = *program.tool;
    double radius = tool.profile == Profile::Bull ? tool.corner : tool.radius;
    for (const Move& m : program.moves) {
        if (m.arc && m.first + m.second != 1) {
            radius = std::min(radius, std::hypot(m.start.v[m.first] - m.centre[0],
                                                 m.start.v[m.second] - m.centre[1]));
        }
    }
    return radius;
}

// The area (mm^2) of the facets that lie on none of the box's six faces: the surface a cut made.
double AreaOffFaces(const std::vector<MeshFacet>& facets, const StockBox& box) {
    constexpr double kOnFace = 1e-4;  // mm, the float32 of the saved file
    double area = 0.0;
    for (const MeshFacet& f : facets) {
        bool onFace = false;
        for (int k = 0; k < 3 && !onFace; ++k) {
            for (const double plane : {box.min[k], box.max[k]}) {
                onFace = onFace || (std::fabs(f.vertices[0][k] - plane) < kOnFace &&
                                    std::fabs(f.vertices[1][k] - plane) < kOnFace &&
                                    std::fabs(f.vertices[2][k] - plane) < kOnFace);
            }
        }
        if (!onFace) {
            double u[3], v[3];
            for (int k = 0; k < 3; ++k) {
                u[k] = f.vertices[1][k] - f.vertices[0][k];
                v[k] = f.vertices[2][k] - f.vertices[0][k];
            }
            area += 0.5 * std::hypot(u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                                     u[0] * v[1] - u[1] * v[0]);
        }
    }
    return area;
}

// --- Five-axis programs ------------------------------------------------------------------------

// A random five-axis program on a machine whose table turns about A and C, for the sample's
// 100 x 80 x 30.5 mm box: passes that go down into the stock with the table turned, then feed
// moves that turn it further on their way. The rapids run high above the table; every pass is fed
// down from there, as the turned stock may stand high.
std::string FiveAxisProgram(unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&](double lo, double hi) {
        return std::round(std::uniform_real_distribution<double>(lo, hi)(rng) * 1000) / 1000;
    };
    auto count = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::ostringstream text;
    text << "%\nO1\nG90 G17 G40 G49 G80\nT" << count(1, 4) << " M06\nS3000 M03\nG00 Z150.\n";
    for (int pass = count(2, 4); pass > 0; --pass) {
        text << "G00 Z150.\nA" << pick(-15, 15) << " C" << pick(-180, 180) << "\nX" << pick(10, 90)
             << " Y" << pick(10, 70) << "\nG01 Z" << pick(-10, -1) << " F300.\n";
        for (int move = count(1, 4); move > 0; --move) {
            text << "X" << pick(10, 90) << " Y" << pick(10, 70);
            if (count(0, 1) == 1) {
                text << " A" << pick(-15, 15);
            }
            if (count(0, 1) == 1) {
                text << " C" << pick(-180, 180);
            }
            text << "\n";
        }
    }
    text << "G00 Z150.\nM30\n%\n";
    return text.str();
}

// --- The check ---------------------------------------------------------------------------------

struct Figures {
    int programs = 0;
    int alarms = 0;
    int circles = 0;
    int lostCircles = 0;
    int openSurfaces = 0;
    double worstError = 0.0;  // |cut - model| / (pitch x cut area)
    // The same for the saved surfaces: what the cut stock's STL lacks of the raw stock's.
    double worstSurfaceError = 0.0;
    double worstRay = 0.0;  // mm
    // The programs whose two forms cut differently, and the worst of their differences.
    int formsDiffer = 0;
    double worstFormError = 0.0;  // |G-code - conversational| / (pitch x cut area)
    double worstFormRay = 0.0;    // mm
};

class RandomProgramCheck : public BatchRunTest {
protected:
    void SetUp() override {
        BatchRunTest::SetUp();
        ASSERT_TRUE(ClearG54());
        KeepEnglishLog();
        std::string tools = Read("vmc3.ttl");
        const std::size_t limit = tools.find(" LIMIT 30%");
        ASSERT_NE(limit, std::string::npos);
        tools.erase(limit, 10);
        for (const Tool& t : kTools) {
            if (t.entry != nullptr) {
                tools += t.entry;
            }
        }
        scratch.Write("vmc3.ttl", tools);
        // The conversational form's controller: the sample's, in the conversational dialect.
        std::string controller = Read("vmc3.ctl");
        const std::size_t product = controller.find("PRODUCT=NORMAL");
        ASSERT_NE(product, std::string::npos);
        scratch.Write("dialect.ctl", controller.replace(product, 14, "PRODUCT=HEIDENHAIN"));
    }

    // Runs the program of the seed at the pitch in its two forms and checks each; adds to the
    // figures.
    void Check(unsigned seed, double pitch, Figures* figures) {
        const StockBox stock = FloatStockBox(seed, pitch);
        Generator generator(seed);
        generator.SetStock(stock, pitch);
        const Program program = generator.Make();
        const Program conversational = ConversationalWriter(seed).Write(program);
        char pitches[64], box[192];
        std::snprintf(pitches, sizeof pitches, "-P(%g,%g)", pitch, pitch);
        std::snprintf(box, sizeof box, "-D(%.17g,%.17g,%.17g,%.17g,%.17g,%.17g)", stock.max[0],
                      stock.max[1], stock.max[2], stock.min[0], stock.min[1], stock.min[2]);
        SCOPED_TRACE(::testing::Message()
                     << "seed " << seed << " pitch " << pitch << " tool T" << program.tool->number
                     << " " << box << (stock.stl ? " as a binary STL stock" : ""));
        if (stock.stl) {
            scratch.Write("stock.stl", BinaryStlBox(stock));
            std::snprintf(box, sizeof box, "-Dstock.stl");
        }
        ASSERT_EQ(Run({box, pitches, "-XM(0,0,0)", "-O", "raw.dme"}), 0);
        ZRays raw, gCodeCut, dialectCut;
        ASSERT_TRUE(ReadZRays(scratch.At("raw.dme"), &raw));
        // The raw stock's own surface, which the cut surfaces' volumes are taken from.
        ASSERT_EQ(Run({"raw.dme", "-XM(0,0,0)", "-O", "raw.stl,b"}), 0);
        std::vector<MeshFacet> rawFacets;
        ASSERT_TRUE(ReadBinaryStlFacets(scratch.At("raw.stl"), false, &rawFacets));
        EXPECT_TRUE(SurfaceIsConforming(rawFacets));
        raw.surfaceVolume = SignedVolume(rawFacets);
        ++figures->programs;
        {
            SCOPED_TRACE("G-code:\n" + program.text);
            CheckForm(program, "vmc3.ctl", {box, pitches}, raw, stock, figures, &gCodeCut);
        }
        {
            SCOPED_TRACE("conversational:\n" + conversational.text);
            CheckForm(conversational, "dialect.ctl", {box, pitches}, raw, stock, figures,
                      &dialectCut);
        }
        if (!::testing::Test::HasFatalFailure()) {
            const bool helices = conversational.text.find(" CP ") != std::string::npos;
            CompareForms(raw, gCodeCut, dialectCut, helices, figures);
        }
    }

    // Runs one form of a program with its controller file and checks it against the model;
    // leaves its cut stock's Z rays in `cut`.
    void CheckForm(const Program& program, const std::string& controller,
                   const std::vector<std::string>& stock, const ZRays& raw, const StockBox& box,
                   Figures* figures, ZRays* cut) {
        scratch.Write("random.nc", program.text);
        std::filesystem::remove(scratch.At("mirexa.log"));
        ASSERT_EQ(Run({stock[0], stock[1], "-C", controller, "random.nc", "-X6", "-O", "cut.dme"}),
                  0);
        const std::string log = Read("mirexa.log");
        const bool alarm = log.find("ended on an alarm") != std::string::npos;
        figures->alarms += alarm ? 1 : 0;
        EXPECT_FALSE(alarm) << log;
        CountLostCircles(program, controller, figures);
        // The saved stock's surface.
        ASSERT_EQ(Run({"cut.dme", "-XM(0,0,0)", "-O", "cut.stl,b"}), 0);
        std::vector<MeshFacet> facets;
        ASSERT_TRUE(ReadBinaryStlFacets(scratch.At("cut.stl"), false, &facets));
        // Every directed edge is met by its reverse.
        const ::testing::AssertionResult closed = SurfaceIsConforming(facets);
        figures->openSurfaces += closed ? 0 : 1;
        EXPECT_TRUE(closed);
        EXPECT_TRUE(SurfaceHasNoNearVertices(facets, kNearVertices * raw.pitch));
        // The removed volume, ray by ray.
        ASSERT_TRUE(ReadZRays(scratch.At("cut.dme"), cut));
        ASSERT_EQ(raw.length.size(), cut->length.size());
        const double pitch = raw.pitch, weight = pitch * pitch;
        const double top = *std::max_element(raw.high.begin(), raw.high.end());
        std::vector<double> nodes[2];
        for (int k = 0; k < 2; ++k) {
            for (int i = 0; i < (k == 0 ? raw.nx : raw.ny); ++i) {
                nodes[k].push_back(raw.origin[k] + i * pitch);
            }
        }
        const std::vector<double> lowest =
            LowestToolPoints(program, nodes[0], nodes[1], pitch, top);
        double modelVolume = 0.0, cutVolume = 0.0, area = 0.0, worstRay = 0.0;
        // The model's volume as the saved surface holds it, taken at the middles of the halves of
        // the cells within the box: a ray stands for a whole cell, and a wall on a node line (a
        // slot's side a whole tool radius off it, which the ray there only touches) would count
        // a half cell on either side of it wrong; nor does a ray stand for a pitch square on the
        // box's faces and in partial last cells, whose material beyond the last node no ray
        // holds.
        const std::vector<HalfCell> halves[2] = {
            HalfCells(raw.origin[0], pitch, raw.nx, box.min[0], box.max[0]),
            HalfCells(raw.origin[1], pitch, raw.ny, box.min[1], box.max[1])};
        std::vector<double> middles[2];
        for (int k = 0; k < 2; ++k) {
            for (const HalfCell& h : halves[k]) {
                middles[k].push_back(h.at);
            }
        }
        const std::vector<double> lowestInHalves =
            LowestToolPoints(program, middles[0], middles[1], pitch, top);
        double modelSolid = 0.0;
        for (std::size_t j = 0; j < halves[1].size(); ++j) {
            for (std::size_t i = 0; i < halves[0].size(); ++i) {
                const double low = lowestInHalves[j * halves[0].size() + i];
                modelSolid += std::clamp(box.max[2] - std::max(low, box.min[2]), 0.0,
                                         box.max[2] - box.min[2]) *
                              halves[0][i].width * halves[1][j].width;
            }
        }
        for (std::size_t i = 0; i < raw.length.size(); ++i) {
            const double model =
                std::clamp(raw.high[i] - std::max(lowest[i], raw.low[i]), 0.0, raw.length[i]);
            const double removed = raw.length[i] - cut->length[i];
            modelVolume += model * weight;
            cutVolume += removed * weight;
            if (model > 0.0 || removed > 0.0) {
                area += weight;
            }
            worstRay = std::max(worstRay, std::fabs(model - removed));
        }
        const double error = area > 0.0 ? std::fabs(cutVolume - modelVolume) / (pitch * area) : 0.0;
        figures->worstError = std::max(figures->worstError, error);
        figures->worstRay = std::max(figures->worstRay, worstRay);
        // The model poses the tool where the cut does: the rays differ by rounding, and by a
        // helix's end in the conversational form.
        EXPECT_LT(error, kVolumeBound)
            << "cut " << cutVolume << " model " << modelVolume << " over " << area << " mm^2";
        // The saved surface removes what the model does: its chords across the cells differ from
        // the tool's surface by a small share of the pitch over the cut's own surface (the
        // facets off the raw stock's faces).
        const double surfaceCut = raw.surfaceVolume - SignedVolume(facets);
        const double cutSurface = AreaOffFaces(facets, box);
        const double surfaceError =
            cutSurface > 0.0 ? std::fabs(surfaceCut - modelSolid) / (pitch * cutSurface) : 0.0;
        figures->worstSurfaceError = std::max(figures->worstSurfaceError, surfaceError);
        const double radius = SmallestRadius(program);
        EXPECT_LT(surfaceError, kSurfaceBound + pitch / (12 * radius))
            << "surface " << surfaceCut << " model " << modelSolid << " over " << cutSurface
            << " mm^2, smallest radius " << radius << " mm";
    }

    // The two forms of a program cut the same material: their Z rays are the same, but for the
    // rounding of a centre or an increment (below kSameRay). A helix's end is written to a
    // thousandth in G-code and as an angle about the centre in the conversational form: there
    // the tool's side moves by a fraction of a thousandth and the steps along the helix by part
    // of a step, and the volumes differ by a small share of the pitch over the cut area.
    static void CompareForms(const ZRays& raw, const ZRays& gCode, const ZRays& dialect,
                             bool helices, Figures* figures) {
        ASSERT_EQ(gCode.length.size(), dialect.length.size());
        const double weight = raw.pitch * raw.pitch;
        double difference = 0.0, area = 0.0, worstRay = 0.0;
        int rays = 0;
        for (std::size_t i = 0; i < gCode.length.size(); ++i) {
            const double d = std::max({std::fabs(gCode.length[i] - dialect.length[i]),
                                       std::fabs(gCode.low[i] - dialect.low[i]),
                                       std::fabs(gCode.high[i] - dialect.high[i])});
            rays += d > kSameRay ? 1 : 0;
            worstRay = std::max(worstRay, d);
            difference += (gCode.length[i] - dialect.length[i]) * weight;
            area +=
                gCode.length[i] < raw.length[i] || dialect.length[i] < raw.length[i] ? weight : 0.0;
        }
        const double error = area > 0.0 ? std::fabs(difference) / (raw.pitch * area) : 0.0;
        figures->formsDiffer += rays > 0 ? 1 : 0;
        figures->worstFormError = std::max(figures->worstFormError, error);
        figures->worstFormRay = std::max(figures->worstFormRay, worstRay);
        if (!helices) {
            EXPECT_EQ(rays, 0) << "worst ray " << worstRay << " mm";
        }
        EXPECT_LT(error, kFormBound) << "G-code less conversational " << difference << " mm^3";
    }

    // The whole circles whose traced sweep is not a whole turn.
    void CountLostCircles(const Program& program, const std::string& controller, Figures* figures) {
#ifdef MIREXA_NCTRACE
        const std::string trace = scratch.At("trace.txt");
        const std::string command = std::string("cd '") + scratch.Path() + "' && '" +
                                    MIREXA_NCTRACE + "' mirexa.ini " + controller +
                                    " random.nc > trace.txt";
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::istringstream lines(Read("trace.txt"));
        std::map<int, std::string> byLine;
        for (std::string line; std::getline(lines, line);) {
            byLine[std::atoi(line.c_str())] = line;
        }
        for (const int line : program.circleLines) {
            ++figures->circles;
            const bool whole = byLine[line].find(" S6.2832 ") != std::string::npos;
            figures->lostCircles += whole ? 0 : 1;
            EXPECT_TRUE(whole) << byLine[line];
        }
#else
        (void)program;
        (void)controller;
        (void)figures;
#endif
    }

    // Distinct vertices lie at least this share of the pitch apart: the surface takes every end
    // within kNodeSnapFraction of a node as on the node (half of that, for the floats of the
    // saved file).
    static constexpr double kNearVertices = 5e-5;
    // The removed volume of the Z rays against the model's: a helix's end, written as an angle
    // in the conversational form, moves its steps by a fraction of a micrometre, which may give it
    // a step more or less (kFormBound); the rest is rounding.
    static constexpr double kVolumeBound = 0.02;
    // The saved surface's volume error over the cut's surface, less its chords' share: the
    // chamfers of creases between nodes and the half cells of the model that a wall crosses. The
    // chords across the cells of a surface of radius r lie on average two thirds of a cell's
    // sagitta p^2 / 8r inside it, which adds p / 12r for the program's smallest radius
    // (SmallestRadius): at 1 mm the chords on the taper ball's 1.5 mm lose up to 0.05 of the
    // pitch over the cut's surface, half of that at 0.5 mm, a quarter at 0.25 mm.
    static constexpr double kSurfaceBound = 0.05;
    static constexpr double kSameRay = 1e-9;    // mm
    static constexpr double kFormBound = 0.01;  // pitch over the cut area
};

TEST_F(RandomProgramCheck, RandomProgramsCutWhatTheModelRemoves) {
    // 510 and 528 hold R arcs (both signs) and helices in G18 and G19; 612 two holes touching
    // along a node line, 101 and 303 holes touching the stock's side faces; 1252 two slots of a
    // drill touching down a node line; 1000 and 1006 binary STL stocks whose faces lie a hair
    // off node lines; 1014 a ball's surface through a node, where a cell's sliver of material
    // meets the wall of the cell beside it over a face; 1039 a cut ending a hair beside a node of
    // the top face, whose X and Y rays there leave a crossing in a cell that the top's cap covers;
    // 3095 slots of the taper ball at 1 mm, whose chords across the cells of its 1.5 mm ball keep
    // the saved surface 0.04 of the pitch off the model, within the bound of its radius.
    std::vector<std::pair<unsigned, double>> runs = {
        {101, 0.5},  {202, 0.25}, {303, 0.5},   {404, 0.25},  {510, 0.5},   {528, 0.25}, {612, 0.5},
        {1000, 1.0}, {1006, 0.5}, {1014, 0.05}, {1039, 0.05}, {1252, 0.25}, {3095, 1.0}};
    if (testing::kSanitizedBuild) {
        // Under a sanitizer the fine pitches' seeds take many minutes and reach no code the
        // coarser ones do not: their geometry is checked in the optimised build.
        std::erase_if(runs, [](const auto& run) { return run.second < 0.1; });
    }
    if (const char* sweep = std::getenv("MIREXA_CUT_SWEEP")) {
        const char* first = std::getenv("MIREXA_CUT_SWEEP_SEED");
        const unsigned base = first != nullptr ? static_cast<unsigned>(std::atol(first)) : 1000u;
        const double pitches[] = {1.0, 0.5, 0.25, 0.1, 0.05};
        runs.clear();
        for (int i = 0; i < std::atoi(sweep); ++i) {
            runs.emplace_back(base + static_cast<unsigned>(i), pitches[i % 5]);
        }
    }
    std::map<double, Figures> byPitch;
    for (const auto& [seed, pitch] : runs) {
        Check(seed, pitch, &byPitch[pitch]);
    }
    for (const auto& [pitch, f] : byPitch) {
        std::printf(
            "cut sweep pitch %g: programs %d, alarms %d, circles %d, lost circles %d, "
            "open surfaces %d, worst volume error %.4f pitch over the cut area, worst "
            "ray %.4f mm, forms differing %d, worst form difference %.4f pitch over the cut area, "
            "worst form ray %.1e mm, worst surface volume error %.4f pitch over the cut area\n",
            pitch, f.programs, f.alarms, f.circles, f.lostCircles, f.openSurfaces, f.worstError,
            f.worstRay, f.formsDiffer, f.worstFormError, f.worstFormRay, f.worstSurfaceError);
    }
}

// Random five-axis programs on a turning table: a saved surface whose every directed edge is met
// by its reverse and whose distinct vertices lie apart. 4, 16 and 25 cut surfaces that pass a
// hair from nodes, where the three families end within a few millionths of a millimetre of each
// other; 1090 and 1222 end rays a few ten-thousandths of the pitch beside a node, where a cell
// reads a wall on the node plane that the cell across meets with material, or where a cell's
// loops leave a chain open in a face plane; they cut without alarm. MIREXA_CUT_SWEEP=N runs N
// programs instead, from MIREXA_CUT_SWEEP_SEED, where a rapid may meet the turned stock or the
// table turn it away from the tool: there only the surfaces are checked.
TEST_F(RandomProgramCheck, RandomFiveAxisProgramsSaveClosedSurfacesWithoutNearVertices) {
    scratch.Write("table.mtl",
                  "ROTARY TYPE=TABLE\nROTARY AXIS1=A\nROTARY AXIS2=C\nSTROKE RANGE(A)=-30,110\n");
    const double pitch = 0.5;
    ASSERT_EQ(Run({testing::kBox, "-P(0.5,0.5)", "-XM(0,0,0)", "-O", "raw.dme"}), 0);
    std::vector<unsigned> seeds = {4, 16, 25, 1090, 1222};
    const char* sweep = std::getenv("MIREXA_CUT_SWEEP");
    if (sweep != nullptr) {
        const char* first = std::getenv("MIREXA_CUT_SWEEP_SEED");
        const unsigned base = first != nullptr ? static_cast<unsigned>(std::atol(first)) : 1000u;
        seeds.clear();
        for (int i = 0; i < std::atoi(sweep); ++i) {
            seeds.push_back(base + static_cast<unsigned>(i));
        }
    }
    for (const unsigned seed : seeds) {
        const std::string program = FiveAxisProgram(seed);
        SCOPED_TRACE(::testing::Message() << "five-axis seed " << seed << "\n" << program);
        scratch.Write("random.nc", program);
        std::filesystem::remove(scratch.At("mirexa.log"));
        ASSERT_EQ(
            Run({testing::kBox, "-P(0.5,0.5)", "random.nc", "-X6", "-O", "cut.dme", "table.mtl"}),
            0);
        if (sweep == nullptr) {
            const std::string log = Read("mirexa.log");
            EXPECT_EQ(log.find("ended on an alarm"), std::string::npos) << log;
            EXPECT_GT(testing::StockVolume(scratch.At("raw.dme")) -
                          testing::StockVolume(scratch.At("cut.dme")),
                      1.0);
        }
        ASSERT_EQ(Run({"cut.dme", "-XM(0,0,0)", "-O", "cut.stl,b"}), 0);
        std::vector<MeshFacet> facets;
        ASSERT_TRUE(ReadBinaryStlFacets(scratch.At("cut.stl"), false, &facets));
        EXPECT_TRUE(SurfaceIsConforming(facets));
        EXPECT_TRUE(SurfaceHasNoNearVertices(facets, kNearVertices * pitch));
    }
}

}  // namespace
}  // namespace mirexa
