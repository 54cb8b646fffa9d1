// The cutting core: the tool's pose and ray windows, the section solids of every tool shape per
// ray, the cut of the chords with their end marks, the measures, and the side-by-side passes of
// the three families.
#include "simulation/cutting_core.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "config/config_records.h"
#include "config/current_tool.h"
#include "config/tool_tables.h"
#include "geometry/machine_kinematics.h"
#include "geometry/model_point_pose.h"
#include "geometry/plane_triangle_tests.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "platform/task_pool.h"
#include "simulation/cutting_state.h"
#include "simulation/interference_flags.h"
#include "simulation/section_solids.h"
#include "simulation/simulation_hooks.h"
#include "simulation/tool_length_report.h"
#include "stock/dexel_intervals.h"
#include "stock/material_summary.h"
#include "stock/stock_grid.h"
#include "stock/stock_operation_support.h"

namespace mirexa {

namespace {

// Reach of the window along the tool axis (mm): the body above the cutting part has no end.
constexpr double kWindowReach = 10000.0;
// What the window keeps beyond the tool's reach along a model axis (mm), for rounding.
constexpr double kWindowMargin = 1e-6;
// A chord shorter than this share of the ray's pitch comes from a tool surface tangent to the ray
// (within rounding): it is not cut, so that no ends and no narrow-cut slivers are made where the
// tool only touches the ray.
constexpr double kTangentChordShare = 1e-3;
// A ray is in contact with the tool when it loses more than this share of its pitch: less is
// below what the grid resolves (a tool leaving its own cut meets its walls within rounding).
constexpr double kContactLengthShare = 1e-2;
// Most chords one section list cuts on a ray (a concave corner can leave three pieces).
constexpr int kMaxChords = 3;
// Most tries of the RADIUS probe on one ray (0.1 mm each): a bound far above any stock.
constexpr int kMaxProbeTries = 1000000;

// Records written by different threads at once start on cache lines of their own (bytes).
constexpr std::size_t kCacheLine = 64;

// The ray buffers of one worker (kept between calls, grown on demand).
struct alignas(kCacheLine) CutScratch {
    DexelWorkList ray = {};      // a copy of the ray being cut
    DexelWorkList removed = {};  // pieces removed by one chord
    DexelWorkList probe = {};    // the RADIUS probe's throw-away copy
};

// What one task (a run of rows of one view) found: combined by the caller in task order.
struct alignas(kCacheLine) CutTaskResult {
    std::vector<DirtyBlockBox> dirty;  // the blocks its rays changed, neighbours merged
    // The node's blocks across the ray and the stretch along it (mm) that the last box of
    // `dirty` is known to cover: a ray within them adds nothing (block maps are monotonic).
    std::int32_t coveredCross[4] = {-1, -1, -1, -1};
    double coveredLo = {};
    double coveredHi = {};
    double maxCutHeight = {};
    double maxChipDepth = {};
    std::int32_t overLength = {};
    std::int32_t overChip = {};
    std::int32_t contact = {};  // a ray lost more than kContactLengthShare of its pitch
    std::int64_t raysVisited = {};
    std::int64_t raysSkipped = {};
    std::int32_t memoryFailures = {};
};

// Ascending, disjoint chords on one ray, with room for one more split.
struct ChordList {
    std::int32_t count = {};  // ends, two per chord
    double ends[2 * kMaxChords + 2] = {};
};

// Sections stacked along the axis join into one chord: the first hit starts it, later hits widen
// it to the smaller start and the larger end.
struct JoinedChord {
    bool any = {};
    double lo = {};
    double hi = {};
    void Join(double a, double b) {
        if (!any) {
            lo = a;
            hi = b;
            any = true;
        } else {
            lo = std::min(lo, a);
            hi = std::max(hi, b);
        }
    }
    // A result's outer extent: from its first to its last hit (counts 2 and 4).
    void JoinHits(const SectionHits& h) {
        if (h.count == 2 || h.count == 4) {
            Join(h.depth[0], h.depth[h.count - 1]);
        }
    }
};

// Row skip of the half-infinite cylinders: once a row of rays has hit a section and then missed
// it, the rest of the row lies beyond its footprint.
enum RowState : std::uint8_t { kRowNotHit = 0, kRowHit = 1, kRowLeft = 2 };
struct RowSkip {
    std::uint8_t state[2] = {};
};

// What a cut of one ray needs to know about it. The cutter, pose and measures are those of the
// call's cutting state, taken once per run of rows.
struct RayCut {
    DexelGridView* view = {};
    const CutterSections* cutter = {};
    const CutPoseGeometry* pose = {};
    ToolLengthMeasurements* measured = {};  // the RADIUS probe's height (one thread only)
    CutScratch* scratch = {};
    CutTaskResult* result = {};
    std::int64_t cell = {};
    std::int32_t iu = {};
    std::int32_t iv = {};
    double lu = {};
    double lv = {};
    double rowWeight = {};  // mm^2: the area a ray of the row stands for (RayWeight: this one)
    double* rowVolume = {};
    std::int32_t* rowChanges = {};  // rays of the row that lost material (for the task plan)
    RowSkip* rows = {};
};

// The area the ray stands for (mm^2): its row's, halved on the window's border columns. Worked
// out only for rays that are cut, like the offset below.
double RayWeight(const RayCut& ray) {
    return (ray.iu == 0 || ray.iu == ray.view->lastU) ? ray.rowWeight / 2.0 : ray.rowWeight;
}

// The axial height of the ray's point at w = 0 (mm).
double RayOffset(const RayCut& ray) {
    const double* axis = ray.view->axis;
    return axis[0] * ray.lu + axis[1] * ray.lv + ray.pose->planeConstant;
}

// How the chords of a section list are measured after the cut.
struct CutOptions {
    bool measureHeight = true;  // MeasurePlaneDistance (HEIGHT CHECK > 0)
    bool engagement = false;    // MeasureDexelEngagement (VERTICAL, CHIP-W CHECK > 0)
};

// --- Section helpers in view order ------------------------------------------------------------

// Sphere about centre c: the chord c_w -+ sqrt(R^2 - d^2) when d^2 < R^2.
void JoinSphere(const double c[3], double radius, double lu, double lv, JoinedChord* j) {
    const double du = c[0] - lu;
    const double dv = c[1] - lv;
    const double d2 = du * du + dv * dv;
    const double r2 = radius * radius;
    if (d2 < r2) {
        const double h = std::sqrt(r2 - d2);
        j->Join(c[2] - h, c[2] + h);
    }
}

// A half cylinder with the row state of slot k: a miss after a hit leaves the row for good.
bool HalfCylinderWithRowSkip(const RayCut& ray, int k, const double base[3], double radius,
                             SectionHits* hits) {
    std::uint8_t& state = ray.rows->state[k];
    if (state == kRowLeft) {
        hits->count = 0;
        return false;
    }
    const bool hit =
        IntersectLineHalfCylinder(base, ray.view->axis, radius, ray.lu, ray.lv, hits) == 2;
    if (hit) {
        state = kRowHit;
    } else if (state == kRowHit) {
        state = kRowLeft;
    }
    return hit;
}

void JoinHalfCylinder(const RayCut& ray, int k, const double base[3], double radius,
                      JoinedChord* j) {
    SectionHits h;
    if (HalfCylinderWithRowSkip(ray, k, base, radius, &h)) {
        j->JoinHits(h);
    }
}

void PointAlongAxis(const DexelGridView& view, double height, double out[3]) {
    for (int k = 0; k < 3; ++k) {
        out[k] = view.tip[k] + view.axis[k] * height;
    }
}

// --- Chord lists -------------------------------------------------------------------------------

void SetSingleChord(ChordList* list, double lo, double hi) {
    list->count = 2;
    list->ends[0] = lo;
    list->ends[1] = hi;
}

void SubtractChord(ChordList* list, double lo, double hi) {
    SubtractPlainInterval(list->ends, &list->count, 2 * kMaxChords, lo, hi);
}

// Joins a chord into a list: an empty list takes it, a single chord widens to the hull, a list
// of pieces takes it as a union.
void JoinIntoList(ChordList* list, double lo, double hi) {
    if (list->count == 0) {
        SetSingleChord(list, lo, hi);
    } else if (list->count == 2) {
        SetSingleChord(list, std::min(list->ends[0], lo), std::max(list->ends[1], hi));
    } else {
        UnionDexelInterval(list->ends, &list->count, 2 * kMaxChords, lo, hi);
    }
}

// --- Measures ----------------------------------------------------------------------------------

// Axial heights of the removed ends: the highest (HEIGHT CHECK 1) or the first above the cutting
// height (HEIGHT CHECK 2 and up, which sets the over-length flag).
void MeasurePlaneDistance(const RayCut& ray, const double* ends, int n) {
    const int check = Checks.heightCheck;
    if (check <= 0) {
        return;
    }
    const double aw = ray.view->axis[2];
    const double offset = RayOffset(ray);
    for (int i = 0; i < n; ++i) {
        const double height = std::fabs(aw * ends[i] + offset);
        if (check == 1) {
            ray.result->maxCutHeight =
                std::max(ray.result->maxCutHeight, height / ray.pose->axisLength);
        } else if (height > ray.pose->cuttingHeight) {
            ray.result->overLength = 1;
            return;
        }
    }
}

// Radial depths of the removed ends inside a VERTICAL tool: the deepest (CHIP-W CHECK 1) or any
// inside the chip-width limit radius (CHIP-W CHECK 2 and up, which sets the over-chip flag).
void MeasureDexelEngagement(const RayCut& ray, const double* ends, int n) {
    const int check = Checks.chipWidthCheck;
    const DexelGridView& v = *ray.view;
    const CutterSections& c = *ray.cutter;
    const double limit = c.diameter / 2.0 - c.chipWidthLimit;
    for (int i = 0; i < n; ++i) {
        const double d[3] = {v.p1[0] - ray.lu, v.p1[1] - ray.lv, v.p1[2] - ends[i]};
        const double along = d[0] * v.axis[0] + d[1] * v.axis[1] + d[2] * v.axis[2];
        const double s = d[0] * d[0] + d[1] * d[1] + d[2] * d[2] - along * along;
        if (check == 1) {
            const double depth = c.topRadius - std::sqrt(std::max(0.0, s));
            ray.result->maxChipDepth = std::max(ray.result->maxChipDepth, depth);
        } else if (s < limit * limit) {
            ray.result->overChip = 1;
        }
    }
}

// --- Cutting one ray ---------------------------------------------------------------------------

// The end flags of a chord: on feed moves the pen byte, painted where the end lies above the
// cutting height (and, for VERTICAL tools, inside the chip-width limit); on rapids as given.
void ChordEndFlags(const RayCut& ray, const double cut[2], std::uint8_t flags[2]) {
    const CutPoseGeometry& pose = *ray.pose;
    if (pose.feedMove == 0) {
        flags[0] = pose.mark.flags[0];
        flags[1] = pose.mark.flags[1];
        return;
    }
    const double aw = ray.view->axis[2];
    const double offset = RayOffset(ray);
    for (int n = 0; n < 2; ++n) {
        flags[n] = ray.cutter->penBits;
        if (std::fabs(aw * cut[n] + offset) > pose.cuttingHeight) {
            flags[n] |= kDexelEndPainted;
        }
    }
    if (ray.cutter->shape == kToolVertical) {
        const DexelGridView& v = *ray.view;
        TestPointsInsideRadius(v.uAxis, v.vAxis, v.wAxis, ray.lu, ray.lv, cut, flags);
    }
}

DexelFamily ViewArrays(const DexelGridView& view) {
    DexelFamily family;
    family.capacity = view.capacity;
    family.cellCount = std::int64_t{view.nu} * view.nv;
    family.counts = view.counts;
    family.ends = view.ends;
    family.flags = view.flags;
    family.lineStamps = view.lineStamps;
    return family;
}

// Notes the display blocks that a cut of the ray changed: from the block of the first removed end
// to that of the last along the ray, across the blocks of the ray's node. A box that joins one
// of the last few noted (same blocks across, overlapping or adjoining along) widens it, so a
// task keeps about one box per block it touched, not one per ray.
void NoteRemovedPieces(const RayCut& ray, const double* ends, int n) {
    const DexelGridView& v = *ray.view;
    if (v.uBlockLow == nullptr || v.vBlockLow == nullptr) {
        return;  // a model without display blocks has nothing to rebuild
    }
    CutTaskResult& r = *ray.result;
    const std::int32_t cross[4] = {v.uBlockLow[ray.iu], v.uBlockHigh[ray.iu], v.vBlockLow[ray.iv],
                                   v.vBlockHigh[ray.iv]};
    const bool sameCross = std::equal(cross, cross + 4, r.coveredCross);
    if (sameCross && ends[0] >= r.coveredLo && ends[n - 1] <= r.coveredHi) {
        return;
    }
    DirtyBlockBox box;
    if (FindDirtyBlockBox(*v.model, v.wAxis, cross[0], cross[1], cross[2], cross[3], ends[0],
                          ends[n - 1], &box) == 0) {
        return;
    }
    std::vector<DirtyBlockBox>& dirty = r.dirty;
    const int w = v.wAxis;
    const int a1 = (w + 1) % 3, a2 = (w + 2) % 3;
    constexpr std::size_t kRecent = 4;
    for (std::size_t k = dirty.size(); k > 0 && k + kRecent > dirty.size(); --k) {
        DirtyBlockBox& b = dirty[k - 1];
        if (b.first[a1] == box.first[a1] && b.last[a1] == box.last[a1] &&
            b.first[a2] == box.first[a2] && b.last[a2] == box.last[a2] &&
            box.first[w] <= b.last[w] + 1 && box.last[w] + 1 >= b.first[w]) {
            b.first[w] = std::min(b.first[w], box.first[w]);
            b.last[w] = std::max(b.last[w], box.last[w]);
            if (k == dirty.size() && sameCross) {
                r.coveredLo = std::min(r.coveredLo, ends[0]);
                r.coveredHi = std::max(r.coveredHi, ends[n - 1]);
            }
            return;
        }
    }
    dirty.push_back(box);
    std::copy(cross, cross + 4, r.coveredCross);
    r.coveredLo = ends[0];
    r.coveredHi = ends[n - 1];
}

// Whether a chord overlaps a segment of the ray's material (an even count of ends, at least 2)
// by more than a touch: the test by which the interval cut leaves a segment as it is.
bool ChordMeetsMaterial(const double* ends, std::int32_t n, const double cut[2]) {
    if ((n & 1) != 0) {
        return true;  // an odd count is left to the cut, which drops its last end
    }
    for (std::int32_t r = 0; r < n && !(ends[r] >= cut[1]); r += 2) {
        if (!(cut[0] >= ends[r + 1])) {
            return true;
        }
    }
    return false;
}

// Whether cutting the chord can change the ray. Most rays of a deep step pass through the
// pocket already cut, so their chord falls in a gap between segments (or beyond the material);
// they end here, without the end flags, the cut's set-up or a copy of a long ray.
inline bool ChordMeetsRay(const DexelGridView& v, std::int64_t cell, const double cut[2]) {
    const std::int32_t n = v.counts[cell];
    if (n < 2) {
        return false;
    }
    // The cell's own slot, unless the ray outgrew it.
    const double* ends = n <= v.capacity ? v.ends + cell * v.capacity
                                         : DexelCellEnds(cell, v.capacity, v.counts, v.ends);
    // A chord that only touches the ray's material from outside changes nothing.
    return cut[1] > ends[0] && cut[0] < ends[n - 1] && ChordMeetsMaterial(ends, n, cut);
}

// Removes one chord that meets the ray's material (ChordMeetsRay): in place in the cell's own
// slots when the result still fits them, else through the worker's copy of the ray. The removed
// pieces are left in scratch->removed. Returns the number of removed ends (0: nothing changed).
int CutChord(const RayCut& ray, const double cut[2]) {
    DexelGridView& v = *ray.view;
    CutScratch& pass = *ray.scratch;
    pass.removed.count = 0;
    std::uint8_t flags[2];
    ChordEndFlags(ray, cut, flags);
    const std::int32_t* stamps = ray.pose->mark.stamps;
    const double origin = v.wCoords[0];
    const double weight = RayWeight(ray);
    std::int32_t* count = &v.counts[ray.cell];
    int result = kDexelIntervalNoRoom;
    if (*count <= v.capacity) {
        // A ray held in its slot is cut there unless a split outgrows the slot, which the cut
        // finds before it changes anything.
        const std::int64_t slot = ray.cell * v.capacity;
        result =
            CutDexelInterval(v.ends + slot, v.flags + slot, v.lineStamps + slot, count, v.capacity,
                             v.pitch, origin, weight, ray.rowVolume, pass.removed.ends,
                             &pass.removed.count, pass.removed.capacity, cut, flags, stamps);
    }
    if (result == kDexelIntervalNoRoom) {
        DexelFamily family = ViewArrays(v);
        result = LoadDexelWorkList(family, ray.cell, &pass.ray);
        if (result == kDexelIntervalDone) {
            result = CutDexelInterval(&pass.ray, v.pitch, origin, weight, ray.rowVolume,
                                      &pass.removed, cut, flags, stamps);
        }
        if (result == kDexelIntervalDone && pass.removed.count > 0) {
            StoreDexelWorkList(&family, ray.cell, pass.ray);
        }
    }
    if (result == kDexelIntervalNoMemory || result == kDexelIntervalNoRoom) {
        ++ray.result->memoryFailures;
        return 0;
    }
    return result == kDexelIntervalDone ? pass.removed.count : 0;
}

// Cuts each chord of the list in turn, stopping when the ray has no ends left; marks the blocks
// and runs the measures over what each removed. Returns 1 when anything was removed.
int CutChords(const RayCut& ray, const double* chords, int chordCount, CutOptions options) {
    int removedAny = 0;
    for (int c = 0; c < chordCount; ++c) {
        if (ray.view->counts[ray.cell] <= 0) {
            break;
        }
        const double cut[2] = {chords[2 * c], chords[2 * c + 1]};
        const double pitch = ray.view->pitch;
        if (!(cut[1] - cut[0] > kTangentChordShare * pitch) ||
            !ChordMeetsRay(*ray.view, ray.cell, cut)) {
            continue;
        }
        const int n = CutChord(ray, cut);
        if (n == 0) {
            continue;
        }
        const double* pieces = ray.scratch->removed.ends;
        double lost = 0.0;
        for (int k = 0; k + 1 < n; k += 2) {
            lost += pieces[k + 1] - pieces[k];
        }
        if (lost > kContactLengthShare * pitch) {
            ray.result->contact = 1;
        }
        if (removedAny == 0) {
            ++*ray.rowChanges;
        }
        removedAny = 1;
        NoteRemovedPieces(ray, pieces, n);
        if (options.measureHeight) {
            MeasurePlaneDistance(ray, pieces, n);
        }
        if (options.engagement && Checks.chipWidthCheck > 0) {
            MeasureDexelEngagement(ray, pieces, n);
        }
    }
    return removedAny;
}

int CutJoined(const RayCut& ray, const JoinedChord& j, CutOptions options = {}) {
    if (!j.any) {
        return 0;
    }
    const double chord[2] = {j.lo, j.hi};
    return CutChords(ray, chord, 1, options);
}

int CutList(const RayCut& ray, const ChordList& list, CutOptions options = {}) {
    return CutChords(ray, list.ends, list.count / 2, options);
}

// --- The sections of each shape ----------------------------------------------------------------

void CutBall(const RayCut& ray) {
    const DexelGridView& v = *ray.view;
    JoinedChord j;
    const double radius = ray.pose->radius;
    JoinSphere(v.p1, radius, ray.lu, ray.lv, &j);
    JoinHalfCylinder(ray, 0, v.p1, radius, &j);
    CutJoined(ray, j);
}

void CutFlat(const RayCut& ray) {
    JoinedChord j;
    const CutterSections& c = *ray.cutter;
    JoinHalfCylinder(ray, 0, ray.view->tip, c.diameter / 2.0, &j);
    CutOptions options;
    options.engagement = c.shape == kToolVertical;
    CutJoined(ray, j, options);
}

// BULL, TAPERBALL, OVAL, SPHERE, KEGAKI with a convex corner: tip piece, corner torus, taper
// cone and body, joined.
void CutConvex(const RayCut& ray) {
    const DexelGridView& v = *ray.view;
    const CutterSections& c = *ray.cutter;
    const double r = std::fabs(c.cornerRadius);
    JoinedChord j;
    SectionHits h;
    if (c.shape == kToolOval) {
        IntersectLineEllipsoid(v.tip, v.axis, c.recordFlatRadius, c.recordCornerHeight,
                               c.ovalClipLength, ray.lu, ray.lv, &h);
        j.JoinHits(h);
    } else if (c.tipConeHeight > 0.0) {
        IntersectLineCone(v.tip, v.axis, 0.0, 1.0 / c.tipAngleTangent, c.tipConeHeight, ray.lu,
                          ray.lv, &h);
        j.JoinHits(h);
    } else if (c.cornerCentreRadius > 0.0) {
        JoinHalfCylinder(ray, 1, v.tip, c.flatRadius, &j);
    } else if (c.shape == kToolTaperBall) {
        JoinSphere(v.p1, r, ray.lu, ray.lv, &j);
    }
    // The corner torus: its tube runs on the corner arc's centre (radius flatRadius, height
    // F); the arc meets the tip piece at radius E.
    if (c.shape != kToolTaperBall && c.cornerTopRadius > c.cornerCentreRadius && r > 0.0) {
        IntersectLineTorus(v.p2, v.axis, c.flatRadius, r, ray.lu, ray.lv, &h);
        j.JoinHits(h);
    }
    if (c.topRadius > c.cornerTopRadius && c.taperCotangent > 0.0) {
        IntersectLineCone(v.p3, v.axis, c.cornerTopRadius, 1.0 / c.taperCotangent,
                          c.taperEndHeight - c.taperStartHeight, ray.lu, ray.lv, &h);
        j.JoinHits(h);
    }
    JoinHalfCylinder(ray, 0, v.p4, ray.pose->radius, &j);
    CutJoined(ray, j);
}

// A concave corner: the body without the torus of the corner, then the tip's half cylinder.
void CutConcave(const RayCut& ray) {
    const DexelGridView& v = *ray.view;
    const CutterSections& c = *ray.cutter;
    SectionHits h;
    if (HalfCylinderWithRowSkip(ray, 0, v.p4, ray.pose->radius, &h)) {
        ChordList body;
        SetSingleChord(&body, h.depth[0], h.depth[1]);
        SectionHits torus;
        const int n = IntersectLineTorus(v.p3, v.axis, c.cornerTopRadius, std::fabs(c.cornerRadius),
                                         ray.lu, ray.lv, &torus);
        if (n == 2 || n == 4) {
            SubtractChord(&body, torus.depth[0], torus.depth[1]);
        }
        if (n == 4) {
            SubtractChord(&body, torus.depth[2], torus.depth[3]);
        }
        CutList(ray, body);
    }
    JoinedChord tip;
    JoinHalfCylinder(ray, 1, v.tip, c.flatRadius, &tip);
    CutJoined(ray, tip);
}

void CutTThrow(const RayCut& ray) {
    const DexelGridView& v = *ray.view;
    const CutterSections& c = *ray.cutter;
    const double r = std::fabs(c.cornerRadius);
    const double H = c.discHeight;
    const double N = c.sideLength;
    const double rhoU = c.upperCornerRadius;
    const double Ru = c.upperRingRadius;
    const double R = ray.pose->radius;
    SectionHits h;
    if (N == 0.0 && c.flatRadius == 0.0 && Ru == 0.0) {
        JoinedChord sphere;
        JoinSphere(v.p1, R, ray.lu, ray.lv, &sphere);
        CutJoined(ray, sphere);
        return;
    }
    ChordList list;
    // Lower corner.
    if (r > 0.0) {
        JoinedChord lower;
        if (r == R) {
            JoinSphere(v.p1, R, ray.lu, ray.lv, &lower);
        } else {
            const double length = (N == 0.0 && c.flatRadius == Ru) ? H : r;
            IntersectLineCylinder(v.tip, v.axis, c.flatRadius, length, ray.lu, ray.lv, &h);
            lower.JoinHits(h);
            IntersectLineTorus(v.tip, v.axis, c.flatRadius, r, ray.lu, ray.lv, &h);
            lower.JoinHits(h);
        }
        if (lower.any) {
            SetSingleChord(&list, lower.lo, lower.hi);
            if (r > H / 2.0 && IntersectLineCylinder(v.p1, v.axis, c.cornerTopRadius, r, ray.lu,
                                                     ray.lv, &h) == 2) {
                SubtractChord(&list, h.depth[0], h.depth[1]);
            }
        }
    }
    // Side.
    if (N > 0.0) {
        const double Dn = c.neckDiameter;
        const double D = c.diameter;
        int n = 0;
        if (r == 0.0 && rhoU == 0.0 && Dn != 0.0 && Dn != D) {
            if (Dn > D) {
                n = IntersectLineCone(v.tip, v.axis, c.cornerTopRadius, (Dn - D) / (2.0 * N), N,
                                      ray.lu, ray.lv, &h);
            } else {
                double top[3];
                PointAlongAxis(v, N, top);
                const double down[3] = {-v.axis[0], -v.axis[1], -v.axis[2]};
                n = IntersectLineCone(top, down, Dn / 2.0, (D - Dn) / (2.0 * N), N, ray.lu, ray.lv,
                                      &h);
            }
        } else {
            n = IntersectLineCylinder(v.p1, v.axis, c.cornerTopRadius, N, ray.lu, ray.lv, &h);
        }
        if (n == 2) {
            JoinIntoList(&list, h.depth[0], h.depth[1]);
        }
    }
    // Upper corner.
    if (rhoU > 0.0 && c.flatRadius != Ru) {
        if (IntersectLineCylinder(v.p3, v.axis, Ru, rhoU, ray.lu, ray.lv, &h) == 2) {
            JoinIntoList(&list, h.depth[0], h.depth[1]);
        }
        SectionHits torus;
        const int n = IntersectLineTorus(v.p2, v.axis, Ru, rhoU, ray.lu, ray.lv, &torus);
        if (n == 2 || n == 4) {
            ChordList pieces;
            pieces.count = n;
            std::copy(torus.depth, torus.depth + n, pieces.ends);
            if (rhoU > H / 2.0 && IntersectLineCylinder(v.p2, v.axis, c.cornerTopRadius, rhoU,
                                                        ray.lu, ray.lv, &h) == 2) {
                SubtractChord(&pieces, h.depth[0], h.depth[1]);
            }
            if (pieces.count >= 2) {
                JoinIntoList(&list, pieces.ends[0], pieces.ends[pieces.count - 1]);
            }
        }
    }
    CutList(ray, list);
}

// The RADIUS probe: a half cylinder from tip + axis h whose radius is the tool's section at
// height h; while it would remove material from a throw-away copy of the ray, h rises by 0.1.
void RunRadiusProbe(const RayCut& ray) {
    DexelGridView& v = *ray.view;
    const CutterSections& c = *ray.cutter;
    std::uint8_t& state = ray.rows->state[0];
    if (state == kRowLeft) {
        return;
    }
    bool hitOnce = false;
    for (int tries = 0; tries < kMaxProbeTries; ++tries) {
        double& h = ray.measured->centreHeight;
        double base[3];
        PointAlongAxis(v, h, base);
        const double radius = CornerRadiusOffset(c.diameter, c.cornerRadius, h);
        SectionHits hits;
        if (IntersectLineHalfCylinder(base, v.axis, radius, ray.lu, ray.lv, &hits) != 2) {
            break;
        }
        hitOnce = true;
        CutScratch& pass = *ray.scratch;
        DexelFamily family = ViewArrays(v);
        if (LoadDexelWorkList(family, ray.cell, &pass.probe) != kDexelIntervalDone) {
            ++ray.result->memoryFailures;
            break;
        }
        const double cut[2] = {hits.depth[0], hits.depth[1]};
        double ignoredVolume = 0.0;
        const std::uint8_t flags[2] = {};
        const std::int32_t stamps[2] = {};
        if (CutDexelInterval(&pass.probe, v.pitch, v.wCoords[0], RayWeight(ray), &ignoredVolume,
                             &pass.removed, cut, flags, stamps) != kDexelIntervalDone ||
            pass.removed.count == 0) {
            break;
        }
        h += 0.1;
        PointAlongAxis(v, h, v.p2);
    }
    if (hitOnce) {
        state = kRowHit;
    } else if (state == kRowHit) {
        state = kRowLeft;
    }
}

void CutRadius(const RayCut& ray) {
    const DexelGridView& v = *ray.view;
    const CutterSections& c = *ray.cutter;
    const int chipCheck = Checks.chipWidthCheck;
    // First part: the flat part's half cylinder from p2, or the probe.
    if (chipCheck == 1) {
        RunRadiusProbe(ray);
    } else {
        JoinedChord first;
        JoinHalfCylinder(ray, 0, v.p2, c.recordFlatRadius, &first);
        CutOptions options;
        options.measureHeight = false;
        if (CutJoined(ray, first, options) != 0 && chipCheck > 0) {
            ray.result->overChip = 1;
        }
    }
    // Body without the inner cylinder of the flat part.
    SectionHits h;
    if (HalfCylinderWithRowSkip(ray, 1, v.p1, ray.pose->radius, &h)) {
        ChordList body;
        SetSingleChord(&body, h.depth[0], h.depth[1]);
        const double height = chipCheck == 1 ? ray.measured->centreHeight : c.recordCornerHeight;
        const double length = height - c.cornerRadius;
        if (length > 0.0 && IntersectLineCylinder(v.p1, v.axis, c.recordFlatRadius, length, ray.lu,
                                                  ray.lv, &h) == 2) {
            SubtractChord(&body, h.depth[0], h.depth[1]);
        }
        CutList(ray, body);
    }
    // Corner torus, each of its chords by itself.
    SectionHits torus;
    const int n = IntersectLineTorus(v.tip, v.axis, c.cornerCentreRadius, std::fabs(c.cornerRadius),
                                     ray.lu, ray.lv, &torus);
    if (n == 2 || n == 4) {
        CutChords(ray, torus.depth, n / 2, CutOptions{});
    }
}

bool IsConcave(const CutterSections& c) {
    return c.cornerRadius < 0.0 && c.shape != kToolBall && c.shape != kToolFlat &&
           c.shape != kToolVertical && c.shape != kToolTThrow && c.shape != kToolRadius;
}

void CutRay(const RayCut& ray) {
    const CutterSections& c = *ray.cutter;
    switch (c.shape) {
        case kToolBall:
            CutBall(ray);
            return;
        case kToolFlat:
        case kToolVertical:
            CutFlat(ray);
            return;
        case kToolTThrow:
            CutTThrow(ray);
            return;
        case kToolRadius:
            CutRadius(ray);
            return;
        default:
            if (IsConcave(c)) {
                CutConcave(ray);
            } else {
                CutConvex(ray);
            }
            return;
    }
}

// --- Pose and windows --------------------------------------------------------------------------

// The tip and axis in the stock's own coordinates; the axis snapped (components below 0.00025
// become 0, so that axis-parallel tools take the exact special cases of the sections) and of
// unit length.
void PoseInStockFrame(const StockModel& model, const double point[3], const double axis[3],
                      double tip[3], double localAxis[3]) {
    static const double kNoOffset[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k) {
        tip[k] = point[k];
        localAxis[k] = axis[k];
    }
    ApplyModelPlacement(model.inverseOrientation, model.negatedOffset, model.frameFlag, tip);
    ApplyModelPlacement(model.inverseOrientation, kNoOffset, model.frameFlag, localAxis);
    SnapAxisVector(localAxis);
    const double length = std::sqrt(localAxis[0] * localAxis[0] + localAxis[1] * localAxis[1] +
                                    localAxis[2] * localAxis[2]);
    if (length > 0.0 && length != 1.0) {
        for (int k = 0; k < 3; ++k) {
            localAxis[k] /= length;
        }
    }
}

const double* NodeTable(const StockModel& model, int axis) {
    return axis == 0 ? model.nodesX : (axis == 1 ? model.nodesY : model.nodesZ);
}

int NodeCount(const StockModel& model, int axis) {
    return axis == 0 ? model.nx : (axis == 1 ? model.ny : model.nz);
}

// The node windows: everything of the tool lies within R of its axis between the tip and the
// point where the axis leaves the grid box (widened by R), or the fixed reach, whichever comes
// first. Bounds are clamped in double before they become indices. Returns 0 when the window lies
// wholly outside the grid on some axis.
int ComputeWindows(const StockModel& model, const CutterSections& cutter, CutPoseGeometry* pose) {
    const double R = pose->windowRadius;
    double reach = std::max(kWindowReach, cutter.toolLength);
    for (int k = 0; k < 3; ++k) {
        const double a = pose->axis[k];
        if (a == 0.0) {
            continue;
        }
        const double* nodes = NodeTable(model, k);
        const double bound = a > 0.0 ? nodes[NodeCount(model, k) - 1] + R : nodes[0] - R;
        reach = std::min(reach, (bound - pose->p1[k]) / a);
    }
    reach = std::max(reach, 0.0);
    for (int k = 0; k < 3; ++k) {
        const int n = NodeCount(model, k);
        const double a = pose->axis[k];
        const double far = pose->p1[k] + reach * a;
        const double lo = std::min({pose->tip[k], pose->p1[k], far}) - R;
        const double hi = std::max({pose->tip[k], pose->p1[k], far}) + R;
        const double origin = NodeTable(model, k)[0];
        double fLo = std::ceil((lo - origin) / model.pitch);
        double fHi = std::floor((hi - origin) / model.pitch);
        if (!(fLo < n) || !(fHi >= 0.0)) {
            return 0;
        }
        // The rays cut lie nearer: a point within R of the axis is off it by at most
        // R sqrt(1 - a_k^2) along model axis k, so an upright tool's side rays start at its tip,
        // not R below it. The key points bound the sections along the axis; a hair more than
        // the spread covers rounding, and the window stays within the one above.
        const double spread =
            std::min(R, R * std::sqrt(std::max(0.0, 1.0 - a * a)) + kWindowMargin);
        const double nearLo =
            std::min({pose->tip[k], pose->p1[k], pose->p2[k], pose->p3[k], pose->p4[k], far}) -
            spread;
        const double nearHi =
            std::max({pose->tip[k], pose->p1[k], pose->p2[k], pose->p3[k], pose->p4[k], far}) +
            spread;
        fLo = std::max(fLo, 0.0);
        fHi = std::min(fHi, static_cast<double>(n - 1));
        const double nearLoIndex = std::ceil((nearLo - origin) / model.pitch);
        const double nearHiIndex = std::floor((nearHi - origin) / model.pitch);
        if (nearLoIndex <= nearHiIndex && nearLoIndex <= fHi && nearHiIndex >= fLo) {
            fLo = std::max(fLo, nearLoIndex);
            fHi = std::min(fHi, nearHiIndex);
        } else {
            fHi = fLo;  // the tool reaches no node line here: one line of rays, cutting nothing
        }
        pose->low[k] = static_cast<std::int32_t>(fLo);
        pose->high[k] = static_cast<std::int32_t>(fHi);
    }
    return 1;
}

void ComputeKeyPoints(const CutterSections& c, double probeHeight, CutPoseGeometry* pose) {
    const double r = std::fabs(c.cornerRadius);
    double h2 = c.cornerCentreHeight - r;
    double h3 = c.taperStartHeight;
    double h4 = c.taperEndHeight;
    pose->radius = c.topRadius;
    if (c.shape == kToolTThrow) {
        h2 = c.discHeight - 2.0 * c.upperCornerRadius;
        h3 = c.discHeight - c.upperCornerRadius;
        if (c.neckDiameter > c.diameter) {
            pose->radius = c.neckDiameter / 2.0;
        }
    } else if (c.shape == kToolRadius) {
        h2 = Checks.chipWidthCheck == 1 ? probeHeight : c.recordCornerHeight;
    } else if (IsConcave(c)) {
        h3 = c.cornerCentreHeight - 2.0 * r;
        h4 = c.cornerCentreHeight - r;
    }
    for (int k = 0; k < 3; ++k) {
        pose->p1[k] = pose->tip[k] + pose->axis[k] * c.cornerCentreHeight;
        pose->p2[k] = pose->tip[k] + pose->axis[k] * h2;
        pose->p3[k] = pose->tip[k] + pose->axis[k] * h3;
        pose->p4[k] = pose->tip[k] + pose->axis[k] * h4;
    }
    pose->radiusSquared = pose->radius * pose->radius;
    // The window covers every section, also where a tool's derived radii reach beyond the body
    // (the tip cylinder of a concave corner, a T-slot's corners).
    pose->windowRadius = std::max({pose->radius, c.diameter / 2.0, c.flatRadius, c.cornerTopRadius,
                                   c.cornerCentreRadius + r, c.flatRadius + r, c.neckDiameter / 2.0,
                                   c.upperRingRadius + c.upperCornerRadius});
}

// The grid axis along which the tool stands on an outer face of the grid from outside: its axis
// along that grid axis, pointing out of the grid, and its end plane on the face's node plane
// (or beyond it, or short of it by less than a tangent chord). The tool then lies wholly on
// the outer side of the face, and the only rays of the other two families in its window lie in
// the face: they meet the tool in its end plane alone, where the face's material borders
// nothing, so they keep their material as the rays crossing the face do (their chords stop at
// the face). -1 when the tool does not stand so.
int OuterFaceUnderToolEnd(const StockModel& model, const CutPoseGeometry& pose) {
    const double touch = kTangentChordShare * model.pitch;
    for (int k = 0; k < 3; ++k) {
        const double* nodes = NodeTable(model, k);
        if (pose.axis[k] == 1.0 && pose.tip[k] >= nodes[NodeCount(model, k) - 1] - touch) {
            return k;
        }
        if (pose.axis[k] == -1.0 && pose.tip[k] <= nodes[0] + touch) {
            return k;
        }
    }
    return -1;
}

void SetViewPose(DexelGridView* view, const CutPoseGeometry& pose) {
    PermuteToView(*view, pose.tip, view->tip);
    PermuteToView(*view, pose.p1, view->p1);
    PermuteToView(*view, pose.p2, view->p2);
    PermuteToView(*view, pose.p3, view->p3);
    PermuteToView(*view, pose.p4, view->p4);
    PermuteToView(*view, pose.axis, view->axis);
    view->uLo = pose.low[view->uAxis];
    view->uHi = pose.high[view->uAxis];
    view->vLo = pose.low[view->vAxis];
    view->vHi = pose.high[view->vAxis];
    view->removedVolume = 0.0;
}

double RunShankAndHolderPasses(CuttingState& cutting, const CutMoveFacts& move, StockModel* model) {
    return SimulationCallbacks.shankAndHolderPasses != nullptr && move.tool != nullptr
               ? SimulationCallbacks.shankAndHolderPasses(cutting, *move.tool, model)
               : 0.0;
}

// --- The passes over the rows, on the task pool -----------------------------------------------

// The helper threads of the cut; stopped at program end by whoever forgot to release them.
struct CuttingPool {
    ~CuttingPool() {
        StopTaskPool(&pool);
    }
    TaskPool pool = {};
};
CuttingPool Cutters;

// A run of rows of one view: the task of one worker.
struct CutRowsTask {
    DexelGridView* view = {};
    std::int32_t firstRow = {};
    std::int32_t lastRow = {};
};

// The batch of one cut: its tasks, their results, each worker's scratch, each view's row volumes
// (indexed by row - vLo) and the work each row of each view took when it was last cut (indexed by
// row; -1 before its first cut); all kept between calls. The material summary of the stock cut
// last, kept exact by the passes, and per view (by ray axis) the spans of the summary where the
// tool may cut, or 0 when the view's rays are not to be passed over by the summary.
struct CutBatch {
    std::vector<CutRowsTask> tasks;
    std::vector<CutTaskResult> results;
    std::vector<CutScratch> scratch;
    std::vector<double> rowVolumes[3];
    std::vector<std::int32_t> rowCosts[3];
    StockMaterialSummary summary;
    std::uint64_t toolSpans[3] = {};
};

// The work of a row in rays: each ray with material counts 1, each that lost some this much more
// (the cut, its end marks and its dirty blocks cost about three times a ray that is only tested),
// and the test of the empty ones an eighth.
constexpr std::int32_t kChangedRayCost = 3;
CutBatch Batch;

// Cuts rows firstRow .. lastRow of the view's window (rows of constant v, u inner) with the cut of
// one shape. Each row's removed volume goes to its slot of the view's row volumes.
template <void (*CutShape)(const RayCut&)>
void CutViewRowsOf(const CutRowsTask& task, CuttingState* cutting, CutScratch* scratch,
                   CutTaskResult* result) {
    DexelGridView* view = task.view;
    double* rowVolumes = Batch.rowVolumes[view->wAxis].data() - view->vLo;
    RowSkip rows;
    RayCut ray;
    ray.view = view;
    ray.cutter = &cutting->cutter;
    ray.pose = &cutting->pose;
    ray.measured = &cutting->measured;
    ray.scratch = scratch;
    ray.result = result;
    ray.rows = &rows;
    std::int32_t* rowCosts = Batch.rowCosts[view->wAxis].data();
    const double pitch2 = view->pitch * view->pitch;
    const std::uint64_t toolSpans = Batch.toolSpans[view->wAxis];
    const FamilyMaterialSummary& summary = Batch.summary.families[view->wAxis];
    const DexelFamily family = ViewArrays(*view);
    std::int64_t raysVisited = 0;
    std::int64_t raysSkipped = 0;
    for (std::int32_t iv = task.firstRow; iv <= task.lastRow; ++iv) {
        rows = RowSkip{};
        double rowVolume = 0.0;
        std::int32_t rowChanges = 0;
        const std::int64_t visitedBefore = raysVisited;
        ray.rowVolume = &rowVolume;
        ray.rowChanges = &rowChanges;
        ray.iv = iv;
        ray.lv = view->vCoords[iv];
        ray.rowWeight = (iv == 0 || iv == view->lastV) ? pitch2 / 2.0 : pitch2;
        const std::int64_t rowStart = std::int64_t{iv} * view->nu;
        // The window's rays group by group of the summary: a group with no material in the
        // tool's spans is passed over; the mask of a group whose rays changed is made anew.
        std::uint64_t* masks =
            toolSpans != 0 ? MaterialRowMasks(&Batch.summary, view->wAxis, iv) : nullptr;
        for (std::int32_t iu = view->uLo; iu <= view->uHi;) {
            const std::int32_t group = iu / kMaterialGroupRays;
            const std::int32_t groupEnd =
                masks != nullptr ? std::min(view->uHi, (group + 1) * kMaterialGroupRays - 1)
                                 : view->uHi;
            if (masks != nullptr && (masks[group] & toolSpans) == 0) {
                raysSkipped += groupEnd - iu + 1;
                iu = groupEnd + 1;
                continue;
            }
            const std::int32_t changesBefore = rowChanges;
            std::int32_t oddRays = 0;
            for (; iu <= groupEnd; ++iu) {
                const std::int64_t cell = rowStart + iu;
                const std::int32_t count = view->counts[cell];
                if (count <= 0) {
                    continue;
                }
                oddRays |= count & 1;  // the cut may repair it without counting a change
                ++raysVisited;
                ray.cell = cell;
                ray.iu = iu;
                ray.lu = view->uCoords[iu];
                CutShape(ray);
            }
            if (masks != nullptr && (rowChanges != changesBefore || oddRays != 0)) {
                masks[group] = MaterialGroupMask(summary, family, iv, group);
            }
        }
        rowVolumes[iv] = rowVolume;
        rowCosts[iv] = static_cast<std::int32_t>(raysVisited - visitedBefore) +
                       kChangedRayCost * rowChanges + (view->uHi - view->uLo) / 8 + 1;
    }
    result->raysVisited = raysVisited;
    result->raysSkipped = raysSkipped;
}

// The shape is told once per run of rows: the ball end mill, the commonest, has a loop of its own.
void CutViewRows(const CutRowsTask& task, CuttingState* cutting, CutScratch* scratch,
                 CutTaskResult* result) {
    if (cutting->cutter.shape == kToolBall) {
        CutViewRowsOf<CutBall>(task, cutting, scratch, result);
    } else {
        CutViewRowsOf<CutRay>(task, cutting, scratch, result);
    }
}

// A task's result is cleared by the worker that fills it, so that its cache lines move to that
// worker once and back to the caller once. The context is the call's cutting state.
void RunCutTask(void* context, int task, int worker) {
    CutTaskResult& r = Batch.results[task];
    r.dirty.clear();
    std::fill(r.coveredCross, r.coveredCross + 4, -1);
    r.maxCutHeight = r.maxChipDepth = 0.0;
    r.overLength = r.overChip = r.contact = 0;
    r.raysVisited = 0;
    r.raysSkipped = 0;
    r.memoryFailures = 0;
    CutViewRows(Batch.tasks[task], static_cast<CuttingState*>(context), &Batch.scratch[worker], &r);
}

// Rays of the windows that make one more thread worth waking: a smaller cut is done sooner by
// the calling thread alone than handed out.
constexpr std::int64_t kRaysPerWorker = 1024;
// Tasks per worker: enough that a worker whose rays are cheap (empty, or missed by the tool)
// takes over the last tasks of a slower one, few enough that claiming costs nothing.
constexpr std::int64_t kTasksPerWorker = 8;

// Splits the views' windows into runs of whole rows: one task per view for one worker, else
// about kTasksPerWorker tasks per worker of similar work, in view and row order. A row's work is
// what it took when it was last cut (the windows move little from step to step, and a row where
// the tool is cutting costs more than one through the cut pocket), or its window's width before
// its first cut. The pool gives each worker a contiguous share of the tasks, so that from one
// step to the next a worker cuts much the same rows and finds their rays in its cache; shares
// of like work leave little for the others to take over. Returns the workers the cut is worth:
// at most `workers`, one per kRaysPerWorker rays of the windows.
int PlanCutTasks(DexelGridView* const* views, int viewCount, int workers) {
    Batch.tasks.clear();
    std::int64_t total = 0;
    std::int64_t work = 0;
    for (int k = 0; k < viewCount; ++k) {
        const DexelGridView& v = *views[k];
        const std::int32_t width = v.uHi - v.uLo + 1;
        total += std::int64_t{v.vHi - v.vLo + 1} * width;
        std::vector<std::int32_t>& costs = Batch.rowCosts[v.wAxis];
        if (costs.size() != static_cast<std::size_t>(v.nv)) {
            costs.assign(static_cast<std::size_t>(v.nv), -1);
        }
        for (std::int32_t row = v.vLo; row <= v.vHi; ++row) {
            work += costs[row] >= 0 ? costs[row] : width;
        }
    }
    workers = static_cast<int>(std::clamp<std::int64_t>(total / kRaysPerWorker, 1, workers));
    const std::int64_t perTask =
        std::max<std::int64_t>(1, workers <= 1 ? work : work / (workers * kTasksPerWorker));
    for (int k = 0; k < viewCount; ++k) {
        DexelGridView* v = views[k];
        const std::int32_t width = v->uHi - v->uLo + 1;
        const std::vector<std::int32_t>& costs = Batch.rowCosts[v->wAxis];
        std::int32_t first = v->vLo;
        std::int64_t taskWork = 0;
        for (std::int32_t row = v->vLo; row <= v->vHi; ++row) {
            taskWork += costs[row] >= 0 ? costs[row] : width;
            if (taskWork >= perTask || row == v->vHi) {
                Batch.tasks.push_back({v, first, row});
                first = row + 1;
                taskWork = 0;
            }
        }
    }
    return workers;
}

// The stretch of model axis k (mm) that every section of the pose lies within: the key points
// on the axis widened by the window radius and a pitch; the half-infinite sections run on
// without end where the axis rises along k.
void ToolReachAlong(const CutPoseGeometry& pose, int k, double pitch, double* lo, double* hi) {
    const double* points[5] = {pose.tip, pose.p1, pose.p2, pose.p3, pose.p4};
    *lo = *hi = pose.tip[k];
    for (const double* p : points) {
        *lo = std::min(*lo, p[k]);
        *hi = std::max(*hi, p[k]);
    }
    *lo -= pose.windowRadius + pitch;
    *hi += pose.windowRadius + pitch;
    if (pose.axis[k] > 0.0) {
        *hi = HUGE_VAL;
    } else if (pose.axis[k] < 0.0) {
        *lo = -HUGE_VAL;
    }
}

// Brings the material summary up to the model's rays and sets each view's tool spans: those of
// the pose when `bySummary` is set, else every span (no ray is passed over, the masks are still
// kept). A view bound to other arrays than the model's working ones does not use the summary.
void PrepareMaterialSummary(const CutPoseGeometry& pose, StockModel* model,
                            DexelGridView* const* views, int viewCount, bool bySummary) {
    std::fill(Batch.toolSpans, Batch.toolSpans + 3, 0);
    if (model == nullptr) {
        return;
    }
    EnsureMaterialSummary(&Batch.summary, *model);
    for (int k = 0; k < viewCount; ++k) {
        const DexelGridView& v = *views[k];
        const FamilyMaterialSummary& s = Batch.summary.families[v.wAxis];
        if (v.counts != FamilyAlongAxis(*model, v.wAxis).counts || s.rowLength != v.nu ||
            s.rows != v.nv) {
            continue;
        }
        double lo = -HUGE_VAL, hi = HUGE_VAL;
        if (bySummary) {
            ToolReachAlong(pose, v.wAxis, v.pitch, &lo, &hi);
        }
        Batch.toolSpans[v.wAxis] = MaterialSpanMask(s, lo, hi);
    }
}

// The cutter passes over the views' windows on `workers` threads, then, in task order on this
// thread: the views' removed volumes (row by row, in row order), the dirty blocks, the measures
// and the flags. Nothing of the result depends on the worker count. With `bySummary`, rays that
// the material summary shows hold nothing where the pose's sections reach are not visited.
// Returns 1 when a ray lost more material than the grid resolves (kContactLengthShare).
int CutViews(CuttingState& cutting, StockModel* model, DexelGridView* const* views, int viewCount,
             int workers, bool bySummary) {
    PrepareMaterialSummary(cutting.pose, model, views, viewCount, bySummary);
    workers = PlanCutTasks(views, viewCount, std::clamp(workers, 1, TaskPoolWorkerLimit()));
    const std::size_t taskCount = Batch.tasks.size();
    if (Batch.results.size() < taskCount) {
        Batch.results.resize(taskCount);
    }
    if (Batch.scratch.size() < static_cast<std::size_t>(workers)) {
        Batch.scratch.resize(static_cast<std::size_t>(workers));
    }
    for (int w = 0; w < workers; ++w) {
        // Room for a ray held inline, so that in-place cuts never grow the buffer.
        ReserveDexelWorkList(&Batch.scratch[w].removed, kDexelInlineCapacity + 2);
    }
    for (int k = 0; k < viewCount; ++k) {
        const DexelGridView& v = *views[k];
        // Zero first: a task that runs out of memory leaves its later rows unwritten.
        Batch.rowVolumes[v.wAxis].assign(static_cast<std::size_t>(std::max(0, v.vHi - v.vLo + 1)),
                                         0.0);
    }
    const int whole =
        RunPooledTasks(&Cutters.pool, workers, static_cast<int>(taskCount), RunCutTask, &cutting);
    CuttingTotalsRecord& totals = cutting.totals;
    ToolLengthMeasurements& measured = cutting.measured;
    CutPoseGeometry& pose = cutting.pose;
    if (whole == 0) {
        // A task ran out of memory part way: its rays may be cut without their blocks noted or
        // their summary masks renewed. The run ends as out of memory; every block is drawn anew
        // and the summary is built again before the next cut.
        ++pose.memoryFailures;
        DexelMemoryShortage.store(1);
        if (model != nullptr) {
            MarkAllStockBlocksDirty(model);
        }
        ReleaseMaterialSummary(&Batch.summary);
    }
    ++totals.passes;
    totals.threadsUsed += workers;
    for (int k = 0; k < viewCount; ++k) {
        DexelGridView& v = *views[k];
        for (const double rowVolume : Batch.rowVolumes[v.wAxis]) {
            v.removedVolume += rowVolume;
        }
    }
    int contact = 0;
    for (std::size_t t = 0; t < taskCount; ++t) {
        const CutTaskResult& r = Batch.results[t];
        for (const DirtyBlockBox& box : r.dirty) {
            MarkDirtyBlockBox(model, box);
        }
        measured.edgeHeight = std::max(measured.edgeHeight, r.maxCutHeight);
        measured.tipWidth = std::max(measured.tipWidth, r.maxChipDepth);
        cutting.flags.overLength |= r.overLength;
        cutting.flags.overChip |= r.overChip;
        contact |= r.contact;
        pose.raysVisited += r.raysVisited;
        pose.raysSkipped += r.raysSkipped;
        totals.raysVisited += r.raysVisited;
        totals.raysSkipped += r.raysSkipped;
        pose.memoryFailures += r.memoryFailures;
        if (r.memoryFailures != 0) {
            DexelMemoryShortage.store(1);  // rays left uncut: the run ends as out of memory
        }
    }
    return contact;
}

}  // namespace

void LoadCutterSections(const CurrentToolRecord& tool, CutterSections* out) {
    const ToolRecord& t = tool.tool;
    CutterSections c;
    c.shape = static_cast<std::int32_t>(t.type);
    c.diameter = t.d;
    // The derived corner radius is |r| (0 for an OVAL whose e is d/2); the record keeps the sign
    // of a concave corner.
    c.cornerRadius = t.r < 0.0f ? -tool.cornerRadius : tool.cornerRadius;
    c.flatRadius = tool.bottomEdgeRadius;
    c.cornerCentreRadius = tool.cornerCentreRadius;
    c.cornerCentreHeight = tool.cornerCentreHeight;
    c.cornerTopRadius = tool.sideStartRadius;
    c.topRadius = tool.cuttingTopRadius;
    c.tipConeHeight = tool.bottomEdgeHeight;
    c.tipAngleTangent = tool.bottomSlope;
    c.taperCotangent = tool.sideCotangent;
    c.taperStartHeight = tool.sideStartHeight;
    c.taperEndHeight = tool.cuttingTopHeight;
    c.cuttingLength = t.h;
    c.chipWidthLimit = t.k;
    c.recordFlatRadius = t.e;
    c.recordCornerHeight = t.f;
    c.ovalClipLength = tool.ovalJoinHeight;
    c.discHeight = t.t;
    c.upperCornerRadius = t.r2;
    c.neckDiameter = t.neck;
    c.sideLength = tool.tSlotFlatWidth;
    c.upperRingRadius = tool.tSlotUpperCentre;
    c.toolLength = tool.length.values[0];
    c.penBits = tool.penBits;
    *out = c;
}

int CutDexelGrid(CuttingState& cutting, DexelGridView* view) {
    CutViews(cutting, view->model, &view, 1, 1, false);
    return 0;
}

double CutStockAtToolPose(CuttingState& cutting, StockModel* model, const double point[3],
                          const double axis[3], const CutMoveFacts& move) {
    // 1. Guard.
    if (model == nullptr || model->nx < 2 || model->ny < 2 || model->nz < 2 ||
        model->useState > 0 || move.cuttingEnabled == 0) {
        return 0.0;
    }
    DexelGridView* const bound = cutting.views;
    if (!DexelGridsMatchModel(bound, model)) {
        BindDexelGridViews(model, bound);
    }
    const CutterSections& cutter = cutting.cutter;
    // 2. Pose in the stock frame, axis snapped.
    CutPoseGeometry& pose = cutting.pose;
    PoseInStockFrame(*model, point, axis, pose.tip, pose.axis);
    // 3. Plane, cutting height, key points.
    pose.axisLength = std::sqrt(pose.axis[0] * pose.axis[0] + pose.axis[1] * pose.axis[1] +
                                pose.axis[2] * pose.axis[2]);
    pose.planeConstant =
        -(pose.axis[0] * pose.tip[0] + pose.axis[1] * pose.tip[1] + pose.axis[2] * pose.tip[2]);
    pose.cuttingHeight = cutter.cuttingLength * pose.axisLength;
    pose.feedMove = move.feedMove != 0 ? 1 : 0;
    pose.mark = move.mark;
    ComputeKeyPoints(cutter, cutting.measured.centreHeight, &pose);
    // 4-5. Windows; a tool wholly outside the grid cuts nothing.
    pose.outside = ComputeWindows(*model, cutter, &pose) == 0 ? 1 : 0;
    pose.raysVisited = 0;
    pose.raysSkipped = 0;
    pose.memoryFailures = 0;
    if (pose.outside != 0) {
        return RunShankAndHolderPasses(cutting, move, model);
    }
    for (int k = 0; k < 3; ++k) {
        SetViewPose(&bound[k], pose);
    }
    // The chip-width test of VERTICAL tools measures from the axis line through p1.
    for (int k = 0; k < 3; ++k) {
        CuttingChecks.checkPoint[k] = pose.p1[k];
        CuttingChecks.checkDirection[k] = pose.axis[k];
    }
    const double limit = cutter.diameter / 2.0 - cutter.chipWidthLimit;
    CuttingChecks.checkRadiusSquared = cutter.shape == kToolVertical ? limit * limit : 0.0;
    // 6. The three cutter passes: X, Y, Z, their rows spread over the cutting threads (never
    // with the RADIUS probe, whose height the rays of every family read and raise in turn).
    const bool probe = cutter.shape == kToolRadius && Checks.chipWidthCheck == 1;
    DexelGridView* views[3] = {&bound[kDexelViewX], &bound[kDexelViewY], &bound[kDexelViewZ]};
    int viewCount = 3;
    const int faceAxis = OuterFaceUnderToolEnd(*model, pose);
    if (faceAxis >= 0) {
        views[0] = &bound[faceAxis];
        viewCount = 1;
    }
    const int contact =
        CutViews(cutting, model, views, viewCount, probe ? 1 : cutting.threadCount, !probe);
    double removed = bound[kDexelViewZ].removedVolume;
    removed = std::max(removed, bound[kDexelViewX].removedVolume);
    removed = std::max(removed, bound[kDexelViewY].removedVolume);
    if (contact != 0) {
        cutting.flags.contact = 1;
    }
    // 7. Shank and holder passes.
    return removed + RunShankAndHolderPasses(cutting, move, model);
}

double CutStockAtToolPose(CuttingState& cutting, NcSession& session, StockModel* model,
                          const double point[3], const double axis[3],
                          const CutEndMarkRecord& mark) {
    const CutMoveFacts move = {session.kinematics->motion.motionType > 0 ? 1 : 0,
                               session.run.cuttingEnabled, &session.tools->tool, mark};
    return CutStockAtToolPose(cutting, model, point, axis, move);
}

CutEndMarkRecord MakeCutEndMark(std::uint8_t penBits, bool rapid, std::int32_t lineStamp) {
    CutEndMarkRecord mark;
    mark.flags[0] = mark.flags[1] =
        static_cast<std::uint8_t>(penBits | (rapid ? kDexelEndPainted : 0));
    mark.stamps[0] = mark.stamps[1] = lineStamp;
    return mark;
}

const StockMaterialSummary& CuttingMaterialSummary() {
    return Batch.summary;
}

void ReleaseCuttingBuffers() {
    StopTaskPool(&Cutters.pool);
    for (CutScratch& scratch : Batch.scratch) {
        FreeDexelWorkList(&scratch.ray);
        FreeDexelWorkList(&scratch.removed);
        FreeDexelWorkList(&scratch.probe);
    }
    Batch = CutBatch{};
}

}  // namespace mirexa
