// Helpers of the view tests: off-screen view, pixels, lit colours, carved stocks.
#include "view_test_support.h"

#include <GL/gl.h>

#include <stdlib.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "config/config_records.h"
#include "config/machine_file.h"
#include "config/machine_models.h"
#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "stock/stock_grid.h"
#include "stock/stock_shapes.h"
#include "support/definition_state.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/gl_colors.h"
#include "view/scene_renderer.h"
#include "view/snapshots.h"
#include "view/stock_display.h"
#include "view/view_hooks.h"

namespace mirexa::testing {

namespace {

// The software rasteriser draws on the calling thread: its own worker threads are not built for
// the thread sanitizer, which would report their locks as races. Set before any context exists.
const int kRasteriserOnCallingThread = setenv("LP_NUM_THREADS", "0", 0);

void ResetViewGlobals() {
    CurrentView = ViewState{};
    DisplayUnitFactor = 500.0;
    for (auto& flag : SceneDirty.stock) {
        flag = 0;
    }
    MarkAllSceneListsDirty();
    SceneDirty.pickedPoint = 0;
    SceneDisplay = SceneDisplayState{};
    for (auto& record : StyleListState) {
        record = StyleListRecord{};
    }
    DisplayModes = DisplayModeSettings{};
    DisplayModes.basicAxis = 0;
    Machine = MachineDefinition{};
    CurrentMachine = MachineGeometry{};
    RunKinematics.pose = MachinePose{};
    ClearMachineModelNames(1);
    ViewCallbacks = ViewHooks{};
    SceneFollow = SceneFollowSettings{};
    CaptureReadBuffer = -1;
    static const ProgramSettings kDefaults{};
    std::copy(kDefaults.lightVector, kDefaults.lightVector + 3, Settings.lightVector);
    ResetCurrentTool();
    SetTestColors();
}

void FreeStocks() {
    for (int i = 0; i < kStockModelSlots; ++i) {
        FreeStockModel(&StockModels[i]);
        StockModels[i] = StockModel{};
        FreeModelListNames(&StockListNames[i]);
    }
    FreeStockModel(&BasicModel);
    BasicModel = StockModel{};
    CurrentStockIndex = 0;
}

}  // namespace

OffscreenView::OffscreenView(int width, int height) {
    ResetViewGlobals();
    FreeStocks();
    ok_ = CreateGlContext(width, height) == 1;
    if (!ok_) {
        ADD_FAILURE() << "no off-screen OpenGL context";
        return;
    }
    // Straight down onto the XY plane unless a test turns the camera.
    CurrentView.startAngleA = 0.0;
    CurrentView.startAngleB = 0.0;
    ResetViewState(&CurrentView);
    SetViewSize(&CurrentView, width, height);
}

OffscreenView::~OffscreenView() {
    FreeStocks();
    DestroyGlContext();
    ResetViewGlobals();
}

int OffscreenView::Render() {
    if (!ok_ || !MakeViewContextCurrent()) {
        return 0;
    }
    SetViewProjection(&CurrentView);
    glMatrixMode(GL_MODELVIEW);
    const int index = CurrentStockIndex.load();
    StockModel* model = StockModels[index].nx > 0 ? &StockModels[index] : nullptr;
    const int result = RenderScene(model, &StockListNames[index]);
    glFinish();
    return result;
}

std::array<int, 3> OffscreenView::Pixel(int x, int y) {
    std::vector<std::uint8_t> buffer(ViewCapture.size);
    if (!ReadViewPixels(kPixelsRgb, buffer.data(), buffer.size()) || x < 0 || y < 0 ||
        x >= ViewCapture.width || y >= ViewCapture.height) {
        ADD_FAILURE() << "no pixel at " << x << ", " << y;
        return {-1, -1, -1};
    }
    const std::size_t row = static_cast<std::size_t>(ViewCapture.height - 1 - y);
    const std::uint8_t* p =
        buffer.data() + row * ViewCapture.stride + static_cast<std::size_t>(x) * 3;
    return {p[0], p[1], p[2]};
}

std::array<int, 3> OffscreenView::PixelAt(const double point[3]) {
    double depth = 0, x = 0, y = 0;
    if (ProjectModelPointToWindow(CurrentView, point, &depth, &x, &y) != 1) {
        ADD_FAILURE() << "the point does not project";
        return {-1, -1, -1};
    }
    return Pixel(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
}

void SetTestColors() {
    LiveColors = ColorSet{};
    LiveColors.work = MakeColorRef(200, 40, 40);
    for (int pen = 1; pen < 16; ++pen) {
        LiveColors.pens[pen] = MakeColorRef(20, 60 + 10 * pen, 40);
    }
    LiveColors.penki = MakeColorRef(30, 30, 220);
    LiveColors.base = MakeColorRef(120, 120, 0);
    LiveColors.background = MakeColorRef(0, 0, 0);
    LiveColors.toolTop = MakeColorRef(250, 250, 0);
    LiveColors.toolSide = MakeColorRef(0, 250, 250);
    LiveColors.arbor = MakeColorRef(250, 0, 250);
    LiveColors.vice = MakeColorRef(90, 90, 200);
    LiveColors.table = MakeColorRef(100, 200, 100);
    LiveColors.table1 = MakeColorRef(200, 100, 100);
    LiveColors.table2 = MakeColorRef(100, 100, 200);
    LiveColors.head = MakeColorRef(180, 180, 180);
    LiveColors.basic = MakeColorRef(150, 150, 50);
    FillGlColorTable(LiveColors, DisplayModes);
}

std::array<int, 3> LitColor(const float c[4], const double eyeNormal[3]) {
    const double* l = Settings.lightVector;
    const double diffuse =
        std::max(0.0, eyeNormal[0] * l[0] + eyeNormal[1] * l[1] + eyeNormal[2] * l[2]);
    std::array<int, 3> out{};
    for (int i = 0; i < 3; ++i) {
        const double v = std::min(1.0, c[i] * (0.2 + 0.1 + diffuse));
        out[static_cast<std::size_t>(i)] = static_cast<int>(std::lround(v * 255.0));
    }
    return out;
}

::testing::AssertionResult ColorNear(const std::array<int, 3>& actual,
                                     const std::array<int, 3>& expected, int tolerance) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(actual[static_cast<std::size_t>(i)] - expected[static_cast<std::size_t>(i)]) >
            tolerance) {
            return ::testing::AssertionFailure()
                   << "colour (" << actual[0] << ", " << actual[1] << ", " << actual[2]
                   << ") is not (" << expected[0] << ", " << expected[1] << ", " << expected[2]
                   << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

int MakeBoxStock(int index, const double lo[3], const double hi[3], double pitch, int ringSize) {
    StockModel* model = &StockModels[index];
    FreeStockModel(model);
    *model = StockModel{};
    SetStockUndoRingSize(model, ringSize);
    const double box[6] = {lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]};
    if (CreateBoxStockIdentity(model, box, pitch) != 1) {
        return 0;
    }
    CurrentStockIndex = index;
    if (!AllocateModelListNames(*model, &StockListNames[index])) {
        return 0;
    }
    MarkStockDisplayDirty(model);
    return 1;
}

int CarveBox(StockModel* model, const double lo[3], const double hi[3], std::uint8_t flag) {
    int changed = 0;
    const double* nodes[3] = {model->nodesX, model->nodesY, model->nodesZ};
    const int counts[3] = {model->nx, model->ny, model->nz};
    DexelFamily* families[3] = {&model->x, &model->y, &model->z};
    for (int f = 0; f < 3; ++f) {
        const int a = (f + 1) % 3;
        const int b = (f + 2) % 3;
        DexelFamily& rays = *families[f];
        for (int ib = 0; ib < counts[b]; ++ib) {
            if (nodes[b][ib] < lo[b] || nodes[b][ib] > hi[b]) {
                continue;
            }
            for (int ia = 0; ia < counts[a]; ++ia) {
                if (nodes[a][ia] < lo[a] || nodes[a][ia] > hi[a]) {
                    continue;
                }
                const std::int64_t r = static_cast<std::int64_t>(ib) * counts[a] + ia;
                const int n = rays.counts[r];
                std::vector<double> ends(static_cast<std::size_t>(n));
                std::vector<std::uint8_t> flags(static_cast<std::size_t>(n));
                std::vector<std::int32_t> stamps(static_cast<std::size_t>(n));
                int count = 0;
                GetDexelCell(r, rays.capacity, rays.counts, rays.ends, rays.flags, rays.lineStamps,
                             ends.data(), flags.data(), stamps.data(), &count);
                std::vector<double> outEnds;
                std::vector<std::uint8_t> outFlags;
                std::vector<std::int32_t> outStamps;
                auto add = [&](double e0, std::uint8_t f0, double e1, std::uint8_t f1) {
                    if (e1 > e0) {
                        outEnds.insert(outEnds.end(), {e0, e1});
                        outFlags.insert(outFlags.end(), {f0, f1});
                        outStamps.insert(outStamps.end(), {0, 0});
                    }
                };
                bool cut = false;
                for (int i = 0; i + 1 < count; i += 2) {
                    const double e0 = ends[static_cast<std::size_t>(i)];
                    const double e1 = ends[static_cast<std::size_t>(i) + 1];
                    const std::uint8_t f0 = flags[static_cast<std::size_t>(i)];
                    const std::uint8_t f1 = flags[static_cast<std::size_t>(i) + 1];
                    if (e1 <= lo[f] || e0 >= hi[f]) {
                        add(e0, f0, e1, f1);
                        continue;
                    }
                    cut = true;
                    add(e0, f0, std::min(e1, lo[f]), e1 <= lo[f] ? f1 : flag);
                    add(std::max(e0, hi[f]), e0 >= hi[f] ? f0 : flag, e1, f1);
                }
                if (!cut) {
                    continue;
                }
                SetDexelCell(r, rays.capacity, rays.counts, rays.ends, rays.flags, rays.lineStamps,
                             outEnds.data(), outFlags.data(), outStamps.data(),
                             static_cast<int>(outEnds.size()));
                ++changed;
            }
        }
    }
    // The blocks the box touches, one node around it.
    StockDisplayBlocks& blocks = model->blocks;
    int first[3], last[3];
    for (int axis = 0; axis < 3; ++axis) {
        const double* n = nodes[axis];
        const int count = counts[axis];
        int i0 = static_cast<int>(std::lower_bound(n, n + count, lo[axis]) - n) - 1;
        int i1 = static_cast<int>(std::upper_bound(n, n + count, hi[axis]) - n);
        i0 = std::clamp(i0, 0, count - 1);
        i1 = std::clamp(i1, 0, count - 1);
        first[axis] = blocks.lowMap[axis][i0];
        last[axis] = blocks.highMap[axis][i1];
    }
    for (int bz = first[2]; bz <= last[2]; ++bz) {
        for (int by = first[1]; by <= last[1]; ++by) {
            for (int bx = first[0]; bx <= last[0]; ++bx) {
                blocks.dirty[(bz * blocks.perAxis[1] + by) * blocks.perAxis[0] + bx] = 1;
            }
        }
    }
    SceneDirty.stock[model->undo.currentSlot] = 1;
    return changed;
}

void SetAllEndFlags(StockModel* model, std::uint8_t flag) {
    for (DexelFamily* rays : {&model->x, &model->y, &model->z}) {
        for (std::int64_t r = 0; r < rays->cellCount; ++r) {
            const int n = rays->counts[r];
            if (n < 1) {
                continue;
            }
            std::vector<std::uint8_t> flags(static_cast<std::size_t>(n), flag);
            SetDexelCellFlags(r, rays->capacity, rays->counts, rays->flags, flags.data());
        }
    }
}

int CountDirtyBlocks(const StockModel& model) {
    int n = 0;
    for (int b = 0; b < model.blocks.count; ++b) {
        n += model.blocks.dirty[b] != 0 ? 1 : 0;
    }
    return n;
}

}  // namespace mirexa::testing
