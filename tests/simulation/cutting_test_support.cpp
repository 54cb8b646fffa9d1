// Helpers of the cutting tests: stocks, tools, volume books and the checked cut.
#include "cutting_test_support.h"

#include <cmath>

#include "config/config_records.h"
#include "config/tool_tables.h"
#include "geometry/machine_kinematics.h"
#include "nc/nc_session.h"
#include "services/shared_state.h"
#include "simulation/dexel_grid_view.h"
#include "simulation/interference_flags.h"
#include "simulation/run_control.h"
#include "simulation/simulation_hooks.h"
#include "simulation/tool_length_report.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "support/stock_invariants.h"
#include "support/test_cutting_run.h"

namespace mirexa::testing {

void BuildBoxStock(StockModel* model, const double box[6], double pitch, int ringSize) {
    FreeStockModel(model);
    *model = StockModel{};
    SetStockUndoRingSize(model, ringSize);
    ASSERT_EQ(CreateBoxStockIdentity(model, box, pitch), 1);
}

namespace {

CutterSections BaseTool(int shape, double diameter) {
    CutterSections c;
    c.shape = shape;
    c.diameter = diameter;
    c.topRadius = diameter / 2.0;
    c.cornerTopRadius = diameter / 2.0;
    c.flatRadius = diameter / 2.0;
    c.cuttingLength = 1000.0;
    c.toolLength = 3.0 * diameter;
    c.penBits = 3 << 4;
    return c;
}

}  // namespace

CutterSections FlatTool(double diameter, double cuttingLength) {
    CutterSections c = BaseTool(kToolFlat, diameter);
    c.cornerCentreRadius = diameter / 2.0;
    c.cuttingLength = cuttingLength;
    return c;
}

CutterSections BallTool(double diameter) {
    CutterSections c = BaseTool(kToolBall, diameter);
    c.cornerRadius = diameter / 2.0;
    c.flatRadius = 0.0;
    c.cornerCentreHeight = diameter / 2.0;
    c.taperStartHeight = c.taperEndHeight = diameter / 2.0;
    return c;
}

CutterSections BullTool(double diameter, double cornerRadius) {
    CutterSections c = BaseTool(kToolBull, diameter);
    c.cornerRadius = cornerRadius;
    c.cornerCentreRadius = diameter / 2.0 - cornerRadius;
    c.flatRadius = c.cornerCentreRadius;
    c.cornerCentreHeight = cornerRadius;
    c.taperStartHeight = c.taperEndHeight = cornerRadius;
    return c;
}

CutterSections VeeTool(double diameter, double tipTangent) {
    CutterSections c = BaseTool(kToolKegaki, diameter);
    const double R = diameter / 2.0;
    c.cornerCentreRadius = R;
    c.tipAngleTangent = tipTangent;
    c.tipConeHeight = R * tipTangent;
    c.cornerCentreHeight = R * tipTangent;
    c.taperStartHeight = c.taperEndHeight = c.cornerCentreHeight;
    return c;
}

double FamilyMaterial(const StockModel& model, int viewIndex) {
    DexelGridView views[3];
    BindDexelGridViews(const_cast<StockModel*>(&model), views);
    const DexelGridView& v = views[viewIndex];
    const DexelFamily& family = *ViewFamily(&model, viewIndex);
    const double pitch2 = v.pitch * v.pitch;
    double total = 0.0;
    for (int iv = 0; iv < v.nv; ++iv) {
        double row = 0.0;
        const double vWeight = (iv == 0 || iv == v.lastV) ? pitch2 / 2.0 : pitch2;
        for (int iu = 0; iu < v.nu; ++iu) {
            const std::int64_t cell = std::int64_t{iv} * v.nu + iu;
            const DexelRay ray = ReadDexelRay(family, cell);
            double length = 0.0;
            for (size_t k = 0; k + 1 < ray.ends.size(); k += 2) {
                length += ray.ends[k + 1] - ray.ends[k];
            }
            row += length * ((iu == 0 || iu == v.lastU) ? vWeight / 2.0 : vWeight);
        }
        total += row;
    }
    return total;
}

void OpenVolumeBooks(const StockModel& model, VolumeBooks* books) {
    *books = VolumeBooks{};
    for (int k = 0; k < 3; ++k) {
        books->start[k] = FamilyMaterial(model, k);
    }
}

::testing::AssertionResult VolumeBooksBalance(const StockModel& model, const VolumeBooks& books) {
    const char* names[3] = {"X", "Y", "Z"};
    for (int k = 0; k < 3; ++k) {
        const double left = FamilyMaterial(model, k);
        const double gone = books.start[k] - left;
        if (std::fabs(gone - books.removed[k]) > 1e-11 * books.start[k] + 1e-12) {
            return ::testing::AssertionFailure()
                   << names[k] << " family: removed " << books.removed[k]
                   << " but the material fell by " << gone << " (start " << books.start[k]
                   << ", after " << books.cuts << " cuts)";
        }
    }
    return ::testing::AssertionSuccess();
}

double LastCutVolume = 0.0;
CutEndMarkRecord CutMark;

::testing::AssertionResult CutAndCheck(StockModel* model, const double point[3],
                                       const double axis[3], VolumeBooks* books, bool solid) {
    ClearInterferenceFlags(TestRun.cutting.flags);
    LastCutVolume = CutStockAtToolPose(TestRun.cutting, RunSession, model, point, axis, CutMark);
    if (books != nullptr) {
        for (int k = 0; k < 3; ++k) {
            books->removed[k] += TestRun.cutting.views[k].removedVolume;
        }
        ++books->cuts;
    }
    return StockInvariantsHold(*model, solid);
}

double ZRayTop(const StockModel& model, int ix, int iy) {
    const DexelRay ray = ReadDexelRay(model.z, std::int64_t{iy} * model.nx + ix);
    return ray.ends.empty() ? -1e300 : ray.ends.back();
}

bool RayHasMaterialAt(const DexelFamily& family, std::int64_t cell, double c) {
    const DexelRay ray = ReadDexelRay(family, cell);
    for (size_t k = 0; k + 1 < ray.ends.size(); k += 2) {
        if (ray.ends[k] < c && c < ray.ends[k + 1]) {
            return true;
        }
    }
    return false;
}

void WatchRunDrawing() {
    AutomaticMode = 0;
    DrawingSuppressed = 0;
}

ScopedCuttingState::ScopedCuttingState() {
    saved.Keep(TestRun.cutting.cutter, CutMark, Checks, RunKinematics.motion,
               TestRun.cutting.measured, SimulationCallbacks, RunKinematics.toolValues);
    RunKinematics.toolValues = KinematicsToolValues{};
    ClearToolLengthMeasurements(TestRun.cutting.measured);
    RunKinematics.motion.motionType = 1;
    CutMark.flags[0] = CutMark.flags[1] = 3 << 4;
    CutMark.stamps[0] = CutMark.stamps[1] = 7;
}

ScopedCuttingState::~ScopedCuttingState() {
    saved.Restore();
    TestRun.cutting.threadCount = 1;
    ReleaseCuttingBuffers();
    BindDexelGridViews(nullptr, TestRun.cutting.views);
}

}  // namespace mirexa::testing
