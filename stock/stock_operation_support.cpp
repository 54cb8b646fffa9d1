// Growable ray work lists, families by axis, the running-operation guard, progress per row and
// the finishing steps shared by the whole-stock operations.
#include "stock/stock_operation_support.h"

#include <cstring>

#include "geometry/vector_math.h"
#include "platform/message_box.h"
#include "services/progress.h"
#include "services/shared_state.h"
#include "stock/stock_hooks.h"

namespace mirexa {

std::atomic<int> StockOperationRunning{0};

HeldDexelWorkList::~HeldDexelWorkList() {
    FreeDexelWorkList(&list);
}

void ZeroDexelWorkListMarks(DexelWorkList* list) {
    if (list->count > 0) {
        const std::size_t n = static_cast<std::size_t>(list->count);
        std::memset(list->flags, 0, n);
        std::memset(list->lineStamps, 0, n * sizeof(std::int32_t));
    }
}

DexelFamily* FamilyOfAxis(StockModel* model, int axis) {
    return axis == 2 ? &model->z : (axis == 0 ? &model->x : &model->y);
}

const DexelFamily& FamilyOfAxis(const StockModel& model, int axis) {
    return axis == 2 ? model.z : (axis == 0 ? model.x : model.y);
}

int NodeCountOfAxis(const StockModel& model, int axis) {
    return axis == 0 ? model.nx : (axis == 1 ? model.ny : model.nz);
}

const double* NodeTableOfAxis(const StockModel& model, int axis) {
    return axis == 0 ? model.nodesX : (axis == 1 ? model.nodesY : model.nodesZ);
}

std::int64_t CellOfNode(const StockModel& model, int axis, const int node[3]) {
    const int fast = (axis + 1) % 3, slow = (axis + 2) % 3;
    return static_cast<std::int64_t>(node[slow]) * NodeCountOfAxis(model, fast) + node[fast];
}

bool StockGridsMatch(const StockModel& a, const StockModel& b) {
    return a.nx == b.nx && a.ny == b.ny && a.nz == b.nz && a.pitch == b.pitch &&
           a.origin[0] == b.origin[0] && a.origin[1] == b.origin[1] && a.origin[2] == b.origin[2];
}

StockOperationScope::StockOperationScope() {
    int expected = 0;
    acquired = StockOperationRunning.compare_exchange_strong(expected, 1) ? 1 : 0;
}

StockOperationScope::~StockOperationScope() {
    if (acquired) {
        StockOperationRunning.store(0);
    }
}

void BeginStockProgress(std::uint64_t total, const char* captionJapanese,
                        const char* captionEnglish) {
    BeginProgress(MainWindow.load(), PROGRESS_MODE_TOTAL, total, nullptr, 0, captionJapanese,
                  captionEnglish);
}

void AdvanceStockProgress(std::int64_t work) {
    AddProgressWork(work);
    UpdateProgress(0);
    if (MessagePumpEnabled.load() != 0) {
        PumpMessagesEvery3s();
    }
}

void ShowStockMessage(const char* textEnglish, const char* textJapanese, const char* captionEnglish,
                      const char* captionJapanese) {
    const char* text = ChooseLanguageText(textEnglish, textJapanese);
    const char* caption = ChooseLanguageText(captionEnglish, captionJapanese);
    const WindowHandle owner = MainWindow.load();
    if (StockCallbacks.showMessageBox) {
        StockCallbacks.showMessageBox(owner, text, caption, MBX_OK | MBX_TOPMOST);
    } else {
        ShowMessageBox(owner, text, caption, MBX_OK | MBX_TOPMOST);
    }
}

void MarkAllStockBlocksDirty(StockModel* model) {
    if (model->blocks.dirty && model->blocks.count > 0) {
        std::memset(model->blocks.dirty, 1, static_cast<std::size_t>(model->blocks.count));
    }
}

void SetStockCornersFromExtent(StockModel* model) {
    if (!model->minCorner || !model->maxCorner) {
        return;
    }
    double low[3] = {}, high[3] = {};
    GetStockExtent(*model, low, high);
    if (!(low[0] <= high[0] && low[1] <= high[1] && low[2] <= high[2])) {
        return;
    }
    double corners[24] = {};
    ListBoxCorners(low, high, corners);
    for (int c = 0; c < 8; ++c) {
        double p[3] = {};
        TransformPoint(model->frame.values, corners + 3 * c, p);
        for (int a = 0; a < 3; ++a) {
            if (c == 0 || p[a] < model->minCorner[a]) {
                model->minCorner[a] = p[a];
            }
            if (c == 0 || p[a] > model->maxCorner[a]) {
                model->maxCorner[a] = p[a];
            }
        }
    }
}

void SetStockFaceFlagsFromRays(StockModel* model) {
    if (!model->faceFlags) {
        return;
    }
    StockFaceFlags flags;
    for (int axis = 0; axis < 3; ++axis) {
        const DexelFamily& family = FamilyOfAxis(*model, axis);
        const double* nodes = NodeTableOfAxis(*model, axis);
        const double first = nodes[0];
        const double last = nodes[NodeCountOfAxis(*model, axis) - 1];
        for (std::int64_t cell = 0; cell < family.cellCount; ++cell) {
            const int n = family.counts[cell];
            if (n < 2) {
                continue;
            }
            const double* e = DexelCellEnds(cell, family.capacity, family.counts, family.ends);
            if (e[0] > first) {
                flags.faces[2 * axis] = 1;
            }
            if (e[n - 1] < last) {
                flags.faces[2 * axis + 1] = 1;
            }
        }
    }
    *model->faceFlags = flags;
}

}  // namespace mirexa
