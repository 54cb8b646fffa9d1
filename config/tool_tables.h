// The per-tool tables of the magazine (cutter, length record, holder outline, feed tables, load
// limits, length shift, pen) and the two cutter formulas that several readers share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mirexa {

// Shape codes of ToolRecord::type (the tools file's shape keywords).
enum ToolShapeType : std::uint32_t {
    kToolGeneralCutter = 0,
    kToolBall = 1,
    kToolFlat = 2,
    kToolBull = 3,
    kToolTaperBall = 4,
    kToolVertical = 5,
    kToolOval = 6,
    kToolTThrow = 7,
    kToolSphere = 8,
    kToolRadius = 9,
    kToolKegaki = 99,
};

// One cutter. Lengths in mm, angles in deg. The seven values d, r, e, f, alpha, beta, h are the
// general cutter's parameters; every named shape is a special case of them.
struct ToolRecord {
    std::uint32_t present = {};  // 1 once a MAGAZINE line named the tool
    std::uint32_t type = {};     // ToolShapeType
    float d = {};                // diameter
    float r = {};                // corner radius
    float r2 = {};               // second corner radius (T-THROW)
    float e = {};                // radial distance of the corner-arc centre from the axis
    float f = {};                // height of the corner-arc centre above the tip
    float alpha = {};            // bottom angle
    float beta = {};             // side (taper) angle
    float w = {};                // diameter at the top of the cutting part (given behind ";")
    float k = {};                // second value of a VERTICAL cutter
    float t = {};                // blade thickness of a T-THROW cutter
    float neck = {};             // neck diameter of T-THROW and SPHERE cutters
    float h = {};                // cutting height
    std::string name = {};       // the tool's name; empty when it has none
};

// Kinds of ToolLengthRecord::kind.
enum ToolLengthKind : std::uint32_t {
    kToolLengthNone = 0,
    kToolLength1 = 1,  // LENGTH
    kToolLength2 = 2,  // LENGTH2
    kToolLength3 = 3,  // LENGTH3
};

struct ToolLengthRecord {
    std::uint32_t kind = {};  // ToolLengthKind
    float values[6] = {};     // mm and deg as the kind gives them
};

// Kinds of ArborProfile::kind.
enum ArborKind : std::uint32_t {
    kArborCylinders = 0,  // ARBOR: count cylinders, diameters[i] over lengths[i]
    kArborCones = 1,      // ARBOR2: count segments from diameters[i] to diameters[i+1]
    kArborCoded = 2,      // ARBOR3: as ARBOR2, each segment with an integer code
};

inline constexpr int kArborMaxSegments = 10;

// A holder outline: a stack of rotationally symmetric segments above the cutter (mm). For kind
// 0 the cylinders use diameters[0..count-1]; for kinds 1 and 2 the segments run between
// consecutive diameters, so diameters[0..count] are used. codes[i] (kind 2) is 0 for a
// cylinder with a step and non-zero for a cone; the profile builder interprets it.
struct ArborProfile {
    std::uint32_t present = {};  // 1: the tool has a holder
    std::uint32_t kind = {};     // ArborKind
    std::int32_t count = {};     // 0 .. kArborMaxSegments
    float diameters[kArborMaxSegments + 1] = {};
    float lengths[kArborMaxSegments] = {};
    std::int32_t codes[kArborMaxSegments] = {};
};

// The four feed-optimisation tables of a tool, selected by a kind letter. Stored by the tools
// file reader and copied into the current tool; nothing else reads them.
struct FeedOptimizationTable {
    std::uint32_t used[4] = {};
    std::int32_t pairs[4] = {};  // number of level/step pairs in use, 0 .. 20
    float levels[4][20] = {};
    float steps[4][19] = {};
};

// Kinds of ToolLoadLimit::type.
enum ToolLoadLimitType : std::uint32_t {
    kToolLoadNone = 0,
    kToolLoadSectionAlarm = 1,  // LIMIT
    kToolLoadRemovalAlarm = 2,  // LIMITS
    kToolLoadSectionLog = 11,   // LIMITP
    kToolLoadRemovalLog = 12,   // LIMITSP
};

struct ToolLoadLimit {
    std::uint32_t type = {};  // ToolLoadLimitType
    float limits[4] = {};     // the run uses limits[0]
};

// The length shift of a tool (mm).
using ToolShift = float;
// The pen (0 .. 15) with which a tool colours the faces it cuts.
using ToolPen = std::int32_t;

inline constexpr std::int32_t kDefaultMaxMagazine = 200;
// The largest MAX MAGAZINE the settings reader accepts.
inline constexpr std::int32_t kMaxMagazineLimit = 10000;

// The tool tables: every array has maxMagazine + 1 entries, one per tool number 0 ..
// maxMagazine. Entry 0 is the current tool or a tool handed over by an NC communication
// plug-in; the tools file fills entries 1 .. maxMagazine. While not allocated, maxMagazine is 0
// and every array is empty. Readers index with a number they have checked with
// IsToolNumberInTables.
struct ToolTables {
    std::int32_t maxMagazine = {};
    std::vector<std::uint8_t> reserved = {};  // one byte per tool, reserved for the tools reader
    std::vector<ToolRecord> tools = {};
    std::vector<ToolLengthRecord> lengths = {};
    std::vector<ArborProfile> arbors = {};
    std::vector<FeedOptimizationTable> feedTables = {};
    std::vector<ToolLoadLimit> loadLimits = {};
    std::vector<ToolShift> shifts = {};
    std::vector<ToolPen> pens = {};
};

// The program's tool tables, allocated by the settings reader once MAX MAGAZINE is known, filled
// by the tools file reader, freed at shutdown. Used on the user-interface thread and, during a
// run, read by the simulation thread.
extern ToolTables ToolTableSet;

// Allocates the eight arrays for tool numbers 0 .. maxMagazine, every entry value-initialised
// (zeros, empty names). Tables allocated before are freed first. Returns 1; 0 when maxMagazine
// is outside 1 .. kMaxMagazineLimit or memory is short, with the tables left freed.
int AllocToolTables(std::int32_t maxMagazine);

// Frees every tool's name and the eight arrays; maxMagazine becomes 0. Harmless when nothing is
// allocated.
void FreeToolTables();

// 1 when number indexes an entry of the allocated tables (0 .. maxMagazine), else 0.
int IsToolNumberInTables(std::int32_t number);

// The radial distance (mm) of a RADIUS cutter's flat part: d/2 - r - s with s = r when f >= r,
// else s = sqrt(max(0, r^2 - (r - f)^2)). d diameter, r corner radius, f corner height (mm).
double CornerRadiusOffset(double d, double r, double f);

// Limits the width w (mm) of a tapered cutter to what its shape allows: first at least
// 2 (sin(beta) r / tan((alpha + beta)/2 + 45) + d/2), then at most
// 2 (d/2 + (h - tan(alpha) d/2) tan(beta)). Angles in deg; a tangent of exactly 45 deg is taken
// as exactly 1. Returns the limited width.
double ClampTipWidth(double d, double r, double alpha, double beta, double h, double w);

// tan of an angle in deg, exactly 1 at 45 deg (the cutter formulas take it so).
double TanDegrees(double angle);

}  // namespace mirexa
