// Head model interference: the machine's head meshes (HEAD2, HEAD1, HEAD or HEAD(XYZ)) posed to
// the current machine pose and tested against the stock (the WORK pair: a head triangle that
// pierces a material segment of a dexel ray) and against the table-side models (VICE, TABLE,
// TABLE1, TABLE2, BASIC: facet against facet). A hit raises the pair's flag in the flags of the
// cutting state the check is given; what follows from it is decided elsewhere.
//
// Posing: a head is posed once per check and pose: every facet's three vertices are moved to
// the pose in one pass and kept with their boxes and planes for all the pairs that follow, so a
// step poses each vertex of a facet once (twice when the BASIC pair needs its own pose).
//
// Frames: posed heads and structure models are in machine-model coordinates (mm). A head
// triangle is mapped into the stock's own grid coordinates through the stock's placement before
// it meets the rays. The stock's bounds used to cull are its material corners when its frame is
// the identity, else the bounds of its grid box placed by its frame (so a stale corner record
// can never hide the stock).
//
// Threads: the simulation thread only; the posing buffers are its own.
#pragma once

#include <cstdint>
#include <vector>

#include "config/structure_models.h"
#include "geometry/machine_kinematics.h"
#include "simulation/structure_scan.h"
#include "stock/stock_model.h"

namespace mirexa {

struct CuttingState;
struct NcSession;

// --- The checks of a step
// -------------------------------------------------------------------------

// One check per head mesh, after the cut of a step. Each poses its mesh to the machine position
// and rotary angles of the step's pose (the given one, or the session's) (only moved when both
// angles are exactly 0, else by its pose routine for the ROTARY TYPE) and tests the pairs whose
// setting is on, in order:
//   CheckHead2Model  HEAD2: WORK, VICE, TABLE, BASIC             (pose: PoseModelPointAxes)
//   CheckHead1Model  HEAD1: WORK, VICE, TABLE1, TABLE, BASIC     (PoseModelPoint on a HEAD
//                    machine, else PoseModelPointPivot)
//   CheckHeadModel   HEAD or HEAD(XYZ): WORK, VICE, TABLE2, TABLE1, TABLE, BASIC (moved only on
//                    a HEAD machine, PoseModelPointCentre on a TABLE machine, else
//                    PoseModelPointOffset)
// The WORK pair is tested against the stock given (the step's; none: not tested), which needs a
// grid and to be in use (its useState 0). The BASIC pair sees
// the head from the machine's base: the machine position with each axis the table carries
// (MOVE(X/Y/Z) = TABLE) set to 0; HEAD2 poses as for its other pairs, HEAD1 is only moved when
// the first angle is exactly 0 and otherwise posed by PoseModelPoint, HEAD is only moved. A hit
// sets the pair's structure flag in the state's flags; a pair stops at its first hit; the
// state's head counters count the work. All return 0. The pose routines of a turned head turn by
// the angles of that pose.
int CheckHead2Model(CuttingState& cutting, const MachinePose& pose, const StockModel* stock);
int CheckHead1Model(CuttingState& cutting, const MachinePose& pose, const StockModel* stock);
int CheckHeadModel(CuttingState& cutting, const MachinePose& pose, const StockModel* stock);
int CheckHead2Model(CuttingState& cutting, NcSession& session, const StockModel* stock);
int CheckHead1Model(CuttingState& cutting, NcSession& session, const StockModel* stock);
int CheckHeadModel(CuttingState& cutting, NcSession& session, const StockModel* stock);
// The empty entry of a check sequence: 0.
int CheckNothing();

// --- The parts of the checks
// ----------------------------------------------------------------------

// Moves one model vertex (mm) to a pose; origin is the machine position (mm). The pose routines
// of the kinematics have this form.
using ModelPointPoser = void (*)(const MachinePose& pose, const double origin[3],
                                 const double vertex[3], double out[3]);

// out = origin + vertex: the pose when no rotary angle applies.
void MoveModelPointOnly(const MachinePose&, const double origin[3], const double vertex[3],
                        double out[3]);

// Counters for tests and the benchmark; only ever added to (CuttingState::headChecks).
struct HeadCheckCounters {
    std::int64_t posedVertices = {};    // head vertices and box corners posed
    std::int64_t raysTested = {};       // rays whose material was tested against a triangle
    std::int64_t facetModelTests = {};  // head facets scanned against a structure model
};

// A head mesh at one pose. The box is the bounds of the mesh box's eight corners posed; the
// facets are posed on first need and kept. The mesh must outlive the record.
struct PosedHeadMesh {
    const MachineModel* mesh = {};
    ModelPointPoser poser = {};
    const MachinePose* pose = {};  // the pose whose rotary turns the poser applies
    double origin[3] = {};
    double boxMin[3] = {};
    double boxMax[3] = {};
    std::int32_t facetsPosed = {};
    std::vector<ScanTriangle> triangles = {};  // one per facet, once posed
    // Where the work of the poses and tests is counted (set by the owner; null: not counted).
    HeadCheckCounters* counters = {};
};

// Starts a pose of the mesh: records mesh, poser and origin and poses the box corners. The
// facets are left for PoseHeadFacets. Buffers of an earlier pose are reused.
void BeginHeadPose(const MachineModel* mesh, ModelPointPoser poser, const MachinePose& pose,
                   const double origin[3], PosedHeadMesh* out);

// Poses every facet once (nothing when they are posed already).
void PoseHeadFacets(PosedHeadMesh* head);

// The bounds (mm, machine-model coordinates) that enclose the stock's material: see the file
// comment. 0 when the model holds no grid.
int GetStockCullBounds(const StockModel& stock, double min[3], double max[3]);

// 1 when a posed head facet pierces material of the stock: the head box against the stock's
// bounds first, then per facet the bounds (all three vertices beyond one side skip it), the
// mapping into grid coordinates, the node windows of its box and the Z, X and Y families. 0
// when nothing is pierced or the stock holds no grid.
int PosedHeadHitsStock(PosedHeadMesh* head, const StockModel& stock);

// 1 when a posed head facet hits a facet of a model of the list. A model whose box does not
// overlap the head box is passed over, and so is a model whose free box holds the head box
// strictly inside; per head facet the same two tests come before the scan.
int PosedHeadHitsStructures(PosedHeadMesh* head, const StructureModelList& list);

// 1 when the triangle (nine values, three vertices in grid coordinates, mm) pierces a material
// segment of one ray of the family window: rays iu in [uLo, uHi], iv in [vLo, vHi] of a family
// whose cell (iu, iv) is iv * nu + iu, running along model axis wAxis at u = uCoords[iu] (model
// axis uAxis) and v = vCoords[iv] (model axis vAxis). A ray is pierced when the triangle's plane
// crosses it within a segment [e0, e1] (ends included) and the ray passes through the triangle
// or its edges (the projected point-in-triangle test gives 1 or more). A triangle whose plane
// holds the ray's direction never pierces it. The rays are read in place: there is no limit on
// their ends. 0 after the whole window. The rays tested are added to raysTested (when given).
int TriangleHitsDexelGrid(const double triangle[9], int wAxis, int uAxis, int vAxis, int uLo,
                          int uHi, int vLo, int vHi, int nu, const double* uCoords,
                          const double* vCoords, std::uint32_t capacity, const std::int32_t* counts,
                          const double* ends, std::int64_t* raysTested = nullptr);

}  // namespace mirexa
