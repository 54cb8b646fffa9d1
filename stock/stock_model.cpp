// Dexel cell storage (inline slots and exactly sized heap blocks), the whole-model flag passes,
// the mark arrays of difference painting and the material extent.
#include "stock/stock_model.h"

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "stock/dexel_slot_pointer.h"
#include "stock/material_summary.h"
#include "stock/stock_hooks.h"

namespace mirexa {

StockModel StockModels[kStockModelSlots];
std::atomic<int> CurrentStockIndex{0};
StockModel BasicModel;
StockModel ComparisonModel;
BasicModelStatus BasicModelState;
std::atomic<int> DexelMemoryShortage{0};

StockModel* CurrentStockSlot() {
    const int index = CurrentStockIndex.load();
    return index >= 0 && index < kStockModelSlots ? &StockModels[index] : nullptr;
}

double ToolDerivationPitch(const StockModel* stock) {
    return stock != nullptr && stock->nx != 0 ? stock->pitch : 0.0;
}

static_assert(kDexelInlineCapacity * sizeof(std::uint8_t) >= sizeof(void*),
              "a flag slot must hold a heap pointer");

namespace {

// A heap block of n values; null when the memory is out.
template <class T>
T* AllocateCellBlock(int n) {
    return static_cast<T*>(std::malloc(static_cast<std::size_t>(n) * sizeof(T)));
}

// Where a cell's values in one array lie: its inline slot, or the heap block whose pointer the
// slot holds when the count exceeds the capacity. T may be const.
template <class T>
T* CellStorage(std::int64_t cell, std::int64_t capacity, std::int32_t count, T* array) {
    T* slot = array + cell * capacity;
    return count > capacity ? LoadSlotPointer<T>(slot) : slot;
}

template <class T>
void CopyCellValues(std::int64_t cell, int capacity, const std::int32_t* counts, const T* array,
                    T* out, int count) {
    if (count >= 1 && out) {
        std::memmove(out, CellStorage(cell, capacity, counts[cell], array),
                     static_cast<std::size_t>(count) * sizeof(T));
    }
}

// Calls visit(byte) for every flag byte of every end of the three working families.
template <class Visit>
void ForEveryFlagByte(StockModel* model, Visit visit) {
    if (!model) {
        return;
    }
    for (DexelFamily* family : {&model->z, &model->x, &model->y}) {
        if (!family->counts || !family->flags) {
            continue;
        }
        for (std::int64_t cell = 0; cell < family->cellCount; ++cell) {
            int count = family->counts[cell];
            if (count < 1) {
                continue;
            }
            std::uint8_t* bytes = CellStorage(cell, family->capacity, count, family->flags);
            for (int i = 0; i < count; ++i) {
                bytes[i] = visit(bytes[i]);
            }
        }
    }
}

// Copies n ends, flags and stamps; the source may overlap the destination.
void MoveCellValues(double* ends, std::uint8_t* flags, std::int32_t* stamps,
                    const double* sourceEnds, const std::uint8_t* sourceFlags,
                    const std::int32_t* sourceStamps, std::size_t n) {
    std::memmove(ends, sourceEnds, n * sizeof(double));
    std::memmove(stamps, sourceStamps, n * sizeof(std::int32_t));
    std::memmove(flags, sourceFlags, n);
}

// The three heap blocks of a spilled cell.
struct CellBlocks {
    double* ends = {};
    std::uint8_t* flags = {};
    std::int32_t* stamps = {};
};

// Allocates three blocks of exactly n elements and copies the source into them. Done before
// anything is released or overwritten: the source may be the cell's own slot or old blocks.
CellBlocks CopyToNewCellBlocks(const double* sourceEnds, const std::uint8_t* sourceFlags,
                               const std::int32_t* sourceStamps, int n) {
    CellBlocks blocks;
    blocks.ends = AllocateCellBlock<double>(n);
    blocks.stamps = AllocateCellBlock<std::int32_t>(n);
    blocks.flags = AllocateCellBlock<std::uint8_t>(n);
    if (blocks.ends == nullptr || blocks.stamps == nullptr || blocks.flags == nullptr) {
        std::free(blocks.ends);
        std::free(blocks.stamps);
        std::free(blocks.flags);
        DexelMemoryShortage.store(1);
        return CellBlocks{};
    }
    MoveCellValues(blocks.ends, blocks.flags, blocks.stamps, sourceEnds, sourceFlags, sourceStamps,
                   static_cast<std::size_t>(n));
    return blocks;
}

CellBlocks LoadCellBlocks(const double* endSlot, const std::uint8_t* flagSlot,
                          const std::int32_t* stampSlot) {
    CellBlocks blocks;
    blocks.ends = LoadSlotPointer<double>(endSlot);
    blocks.flags = LoadSlotPointer<std::uint8_t>(flagSlot);
    blocks.stamps = LoadSlotPointer<std::int32_t>(stampSlot);
    return blocks;
}

void StoreCellBlocks(double* endSlot, std::uint8_t* flagSlot, std::int32_t* stampSlot,
                     const CellBlocks& blocks) {
    StoreSlotPointer(endSlot, blocks.ends);
    StoreSlotPointer(stampSlot, blocks.stamps);
    StoreSlotPointer(flagSlot, blocks.flags);
}

}  // namespace

void SetDexelCell(std::int64_t cell, int capacity, std::int32_t* counts, double* ends,
                  std::uint8_t* flags, std::int32_t* lineStamps, const double* sourceEnds,
                  const std::uint8_t* sourceFlags, const std::int32_t* sourceStamps, int n) {
    assert(capacity >= kDexelInlineCapacity);
    if (n < 0) {
        n = 0;
    }
    assert(n % 2 == 0);
    assert(n == 0 || (sourceEnds && sourceFlags && sourceStamps));
    const std::int64_t base = cell * static_cast<std::int64_t>(capacity);
    double* endSlot = ends + base;
    std::uint8_t* flagSlot = flags + base;
    std::int32_t* stampSlot = lineStamps + base;
    const std::size_t nEnds = static_cast<std::size_t>(n);
    const int old = counts[cell];

    if (old > capacity) {
        const CellBlocks oldBlocks = LoadCellBlocks(endSlot, flagSlot, stampSlot);
        if (n > capacity && n == old) {
            MoveCellValues(oldBlocks.ends, oldBlocks.flags, oldBlocks.stamps, sourceEnds,
                           sourceFlags, sourceStamps, nEnds);
            counts[cell] = n;
            return;
        }
        if (n > capacity) {
            const CellBlocks blocks = CopyToNewCellBlocks(sourceEnds, sourceFlags, sourceStamps, n);
            if (blocks.ends == nullptr) {
                return;  // no memory: the cell stays as it was
            }
            StoreCellBlocks(endSlot, flagSlot, stampSlot, blocks);
        } else if (n >= 1) {
            // Back to inline storage. The old pointers were loaded above, so the copy may
            // overwrite them; the source may still be the old blocks.
            MoveCellValues(endSlot, flagSlot, stampSlot, sourceEnds, sourceFlags, sourceStamps,
                           nEnds);
        }
        std::free(oldBlocks.ends);
        std::free(oldBlocks.stamps);
        std::free(oldBlocks.flags);
    } else if (n > capacity) {
        const CellBlocks blocks = CopyToNewCellBlocks(sourceEnds, sourceFlags, sourceStamps, n);
        if (blocks.ends == nullptr) {
            return;  // no memory: the cell stays as it was
        }
        StoreCellBlocks(endSlot, flagSlot, stampSlot, blocks);
    } else if (n >= 1) {
        MoveCellValues(endSlot, flagSlot, stampSlot, sourceEnds, sourceFlags, sourceStamps, nEnds);
    }
    counts[cell] = n;
}

void ReleaseSpilledDexelBlocks(DexelFamily* family) {
    if (!family->counts) {
        return;
    }
    const std::int64_t capacity = family->capacity;
    for (std::int64_t cell = 0; cell < family->cellCount; ++cell) {
        if (family->counts[cell] <= capacity) {
            continue;
        }
        const std::int64_t base = cell * capacity;
        if (family->ends) {
            std::free(LoadSlotPointer<double>(family->ends + base));
        }
        if (family->flags) {
            std::free(LoadSlotPointer<std::uint8_t>(family->flags + base));
        }
        if (family->lineStamps) {
            std::free(LoadSlotPointer<std::int32_t>(family->lineStamps + base));
        }
    }
}

int CopySpilledDexelBlocks(DexelFamily* family) {
    const std::int64_t capacity = family->capacity;
    int lost = 0;
    for (std::int64_t cell = 0; cell < family->cellCount; ++cell) {
        const int count = family->counts[cell];
        if (count <= capacity) {
            continue;
        }
        const std::int64_t base = cell * capacity;
        double* endSlot = family->ends + base;
        std::uint8_t* flagSlot = family->flags + base;
        std::int32_t* stampSlot = family->lineStamps + base;
        const CellBlocks shared = LoadCellBlocks(endSlot, flagSlot, stampSlot);
        const CellBlocks own = CopyToNewCellBlocks(shared.ends, shared.flags, shared.stamps, count);
        if (own.ends == nullptr) {
            family->counts[cell] = 0;  // no memory: this copy loses the ray, never shares it
            ++lost;
            continue;
        }
        StoreCellBlocks(endSlot, flagSlot, stampSlot, own);
    }
    return lost;
}

void ReleaseDexelCellBlocks(std::int64_t cell, int capacity, std::int32_t* counts, double* ends,
                            std::uint8_t* flags, std::int32_t* lineStamps) {
    SetDexelCell(cell, capacity, counts, ends, flags, lineStamps, nullptr, nullptr, nullptr, 0);
}

void SetDexelCellByAxis(StockModel* model, int axis, int i1, int i2, const double* sourceEnds,
                        const std::uint8_t* sourceFlags, const std::int32_t* sourceStamps, int n) {
    DexelFamily* family = nullptr;
    std::int64_t cell = 0;
    if (axis == 2) {
        family = &model->z;
        cell = static_cast<std::int64_t>(i2) * model->nx + i1;
    } else if (axis == 1) {
        family = &model->y;
        cell = static_cast<std::int64_t>(i2) * model->nz + i1;
    } else {
        family = &model->x;
        cell = static_cast<std::int64_t>(i2) * model->ny + i1;
    }
    assert(cell >= 0 && cell < family->cellCount);
    SetDexelCell(cell, family->capacity, family->counts, family->ends, family->flags,
                 family->lineStamps, sourceEnds, sourceFlags, sourceStamps, n);
    MarkStockRaysChanged(model);
}

int LoadDexelWorkList(const DexelFamily& family, std::int64_t cell, DexelWorkList* list) {
    const int count = family.counts[cell] < 0 ? 0 : family.counts[cell];
    if (ReserveDexelWorkList(list, count) != kDexelIntervalDone) {
        return kDexelIntervalNoMemory;
    }
    int read = 0;
    GetDexelCell(cell, family.capacity, family.counts, family.ends, family.flags, family.lineStamps,
                 list->ends, list->flags, list->lineStamps, &read);
    list->count = count;
    return 1;
}

void StoreDexelWorkList(DexelFamily* family, std::int64_t cell, const DexelWorkList& list) {
    SetDexelCell(cell, family->capacity, family->counts, family->ends, family->flags,
                 family->lineStamps, list.ends, list.flags, list.lineStamps, list.count);
}

const double* DexelCellEnds(std::int64_t cell, int capacity, const std::int32_t* counts,
                            const double* ends) {
    return CellStorage(cell, capacity, counts[cell], ends);
}

const std::uint8_t* DexelCellFlags(std::int64_t cell, int capacity, const std::int32_t* counts,
                                   const std::uint8_t* flags) {
    return CellStorage(cell, capacity, counts[cell], flags);
}

const std::int32_t* DexelCellStamps(std::int64_t cell, int capacity, const std::int32_t* counts,
                                    const std::int32_t* lineStamps) {
    return CellStorage(cell, capacity, counts[cell], lineStamps);
}

void GetDexelCell(std::int64_t cell, int capacity, const std::int32_t* counts, const double* ends,
                  const std::uint8_t* flags, const std::int32_t* lineStamps, double* outEnds,
                  std::uint8_t* outFlags, std::int32_t* outStamps, int* outCount) {
    int count = counts[cell];
    CopyCellValues(cell, capacity, counts, ends, outEnds, count);
    CopyCellValues(cell, capacity, counts, flags, outFlags, count);
    CopyCellValues(cell, capacity, counts, lineStamps, outStamps, count);
    *outCount = count;
}

void GetDexelCellValues(std::int64_t cell, int capacity, const std::int32_t* counts,
                        const double* ends, double* outEnds, int* outCount) {
    GetDexelCell(cell, capacity, counts, ends, nullptr, nullptr, outEnds, nullptr, nullptr,
                 outCount);
}

void GetDexelCellValuesStamps(std::int64_t cell, int capacity, const std::int32_t* counts,
                              const double* ends, const std::int32_t* lineStamps, double* outEnds,
                              std::int32_t* outStamps, int* outCount) {
    GetDexelCell(cell, capacity, counts, ends, nullptr, lineStamps, outEnds, nullptr, outStamps,
                 outCount);
}

void GetDexelCellValuesFlags(std::int64_t cell, int capacity, const std::int32_t* counts,
                             const double* ends, const std::uint8_t* flags, double* outEnds,
                             std::uint8_t* outFlags, int* outCount) {
    GetDexelCell(cell, capacity, counts, ends, flags, nullptr, outEnds, outFlags, nullptr,
                 outCount);
}

void SetDexelCellFlags(std::int64_t cell, int capacity, const std::int32_t* counts,
                       std::uint8_t* flags, const std::uint8_t* sourceFlags) {
    int count = counts[cell];
    if (count < 1) {
        return;
    }
    std::memmove(CellStorage(cell, capacity, count, flags), sourceFlags,
                 static_cast<std::size_t>(count));
}

void GetDexelCellFlags(std::int64_t cell, int capacity, const std::int32_t* counts,
                       const std::uint8_t* flags, std::uint8_t* outFlags) {
    CopyCellValues(cell, capacity, counts, flags, outFlags, counts[cell]);
}

void ClearStockPenNumber(StockModel* model, int pen) {
    ForEveryFlagByte(model, [pen](std::uint8_t f) -> std::uint8_t {
        return (f >> kDexelEndPenShift) == pen ? static_cast<std::uint8_t>(f & kDexelEndLowBits)
                                               : f;
    });
}

void ClearAllStockPenNumbers(StockModel* model) {
    ForEveryFlagByte(model, [](std::uint8_t f) -> std::uint8_t {
        return static_cast<std::uint8_t>(f & kDexelEndLowBits);
    });
}

void StripStockPaint(StockModel* model) {
    ForEveryFlagByte(model, [](std::uint8_t f) -> std::uint8_t {
        return static_cast<std::uint8_t>(f & ~kDexelEndPainted);
    });
}

void PaintWholeStock(StockModel* model) {
    ForEveryFlagByte(model, [](std::uint8_t f) -> std::uint8_t {
        return static_cast<std::uint8_t>(f | kDexelEndPainted);
    });
}

int AllocDexelFlagCopies(DexelFlagCopies* copies, const StockModel& model) {
    const DexelFamily* families[3] = {&model.z, &model.x, &model.y};
    *copies = DexelFlagCopies{};
    for (int f = 0; f < 3; ++f) {
        const DexelFamily& family = *families[f];
        copies->cellCount[f] = family.cellCount;
        copies->capacity[f] = family.capacity;
        copies->marks[f] = static_cast<std::uint8_t*>(
            AllocateStockArray(static_cast<std::uint64_t>(family.cellCount) * family.capacity, 1));
        copies->counts[f] = static_cast<std::int32_t*>(
            AllocateStockArray(static_cast<std::uint64_t>(family.cellCount), 4));
        if (!copies->marks[f] || !copies->counts[f]) {
            // Nothing has been laid out yet, so the arrays are all there is to release.
            for (int g = 0; g <= f; ++g) {
                std::free(copies->marks[g]);
                std::free(copies->counts[g]);
            }
            *copies = DexelFlagCopies{};
            return -(f + 1);
        }
    }
    return 1;
}

int SnapshotStockFlags(const StockModel& model, DexelFlagCopies* copies) {
    const DexelFamily* families[3] = {&model.z, &model.x, &model.y};
    for (int f = 0; f < 3; ++f) {
        const DexelFamily& family = *families[f];
        std::uint8_t* marks = copies->marks[f];
        std::int32_t* recorded = copies->counts[f];
        if (!marks || !recorded || !family.counts) {
            continue;
        }
        assert(copies->cellCount[f] == family.cellCount);
        assert(copies->capacity[f] == family.capacity);
        const std::int64_t capacity = copies->capacity[f];
        const std::int64_t cells =
            family.cellCount < copies->cellCount[f] ? family.cellCount : copies->cellCount[f];
        for (std::int64_t cell = 0; cell < cells; ++cell) {
            std::uint8_t* slot = marks + cell * capacity;
            if (recorded[cell] > capacity) {
                std::free(LoadSlotPointer<std::uint8_t>(slot));
            }
            int count = family.counts[cell];
            if (count > capacity) {
                // Zeroed, and through the stock's allocation hook like the arrays.
                auto* block = static_cast<std::uint8_t*>(
                    AllocateStockArray(static_cast<std::uint64_t>(count), 1));
                if (block == nullptr) {
                    // This cell holds no block now; the cells behind it keep the earlier
                    // snapshot's, which their records still describe.
                    recorded[cell] = 0;
                    return 0;
                }
                StoreSlotPointer(slot, block);
            }
            if (count >= 1) {
                std::memset(CellStorage(cell, capacity, count, marks), 0,
                            static_cast<std::size_t>(count));
            }
            recorded[cell] = count < 0 ? 0 : count;
        }
    }
    return 1;
}

void FreeDexelFlagCopies(DexelFlagCopies* copies) {
    if (!copies) {
        return;
    }
    for (int f = 0; f < 3; ++f) {
        if (copies->marks[f] && copies->counts[f]) {
            const std::int64_t capacity = copies->capacity[f];
            for (std::int64_t cell = 0; cell < copies->cellCount[f]; ++cell) {
                if (copies->counts[f][cell] > capacity) {
                    std::free(LoadSlotPointer<std::uint8_t>(copies->marks[f] + cell * capacity));
                }
            }
        }
        std::free(copies->marks[f]);
        std::free(copies->counts[f]);
    }
    *copies = DexelFlagCopies{};
}

void GetStockExtent(const StockModel& model, double outMin[3], double outMax[3]) {
    for (int a = 0; a < 3; ++a) {
        outMin[a] = 1e12;
        outMax[a] = -1e12;
    }
    // Z rays give z (axis 2), X rays x (axis 0), Y rays y (axis 1).
    const DexelFamily* families[3] = {&model.z, &model.x, &model.y};
    const int axes[3] = {2, 0, 1};
    for (int f = 0; f < 3; ++f) {
        const DexelFamily& family = *families[f];
        if (!family.counts || !family.ends) {
            continue;
        }
        const int a = axes[f];
        for (std::int64_t cell = 0; cell < family.cellCount; ++cell) {
            int count = family.counts[cell];
            if (count < 1) {
                continue;
            }
            const double* ends = CellStorage(cell, family.capacity, count, family.ends);
            if (ends[0] < outMin[a]) {
                outMin[a] = ends[0];
            }
            if (ends[count - 1] > outMax[a]) {
                outMax[a] = ends[count - 1];
            }
        }
    }
}

}  // namespace mirexa
