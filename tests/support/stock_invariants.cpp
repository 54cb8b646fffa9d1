// Structural and solid invariants of a stock model, checked independently of the stock code
// (cell indices and heap-pointer slots are decoded here from their layout).
#include "support/stock_invariants.h"

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <unordered_set>

#include "stock/stock_grid.h"

namespace mirexa {

namespace {

template <class T>
const T* RayValues(const DexelFamily& family, std::int64_t cell) {
    const T* array = nullptr;
    if constexpr (sizeof(T) == 8) {
        array = reinterpret_cast<const T*>(family.ends);
    } else if constexpr (sizeof(T) == 1) {
        array = reinterpret_cast<const T*>(family.flags);
    } else {
        array = reinterpret_cast<const T*>(family.lineStamps);
    }
    const T* slot = array + cell * family.capacity;
    if (family.counts[cell] <= family.capacity) {
        return slot;
    }
    const T* block = nullptr;
    std::memcpy(&block, slot, sizeof block);
    return block;
}

const void* SlotPointer(const void* slot) {
    const void* p = nullptr;
    std::memcpy(&p, slot, sizeof p);
    return p;
}

// Where a coordinate lies on a ray: 1 inside material, -1 outside, 0 within slack of an end.
int Classify(const DexelFamily& family, std::int64_t cell, double c, double slack) {
    const int n = family.counts[cell];
    const double* e = RayValues<double>(family, cell);
    int where = -1;
    for (int i = 0; i < n; ++i) {
        if (std::fabs(e[i] - c) <= slack) {
            return 0;
        }
    }
    for (int i = 0; i + 1 < n; i += 2) {
        if (e[i] < c && c < e[i + 1]) {
            where = 1;
        }
    }
    return where;
}

}  // namespace

DexelRay ReadDexelRay(const DexelFamily& family, std::int64_t cell) {
    DexelRay ray;
    const int n = family.counts[cell];
    if (n < 1) {
        return ray;
    }
    const double* e = RayValues<double>(family, cell);
    const std::uint8_t* f = RayValues<std::uint8_t>(family, cell);
    const std::int32_t* s = RayValues<std::int32_t>(family, cell);
    ray.ends.assign(e, e + n);
    ray.flags.assign(f, f + n);
    ray.stamps.assign(s, s + n);
    return ray;
}

int BuildEmptyStock(StockModel* model, int nx, int ny, int nz, double pitch, int ringSize) {
    FreeStockModel(model);
    *model = StockModel{};
    model->nx = nx;
    model->ny = ny;
    model->nz = nz;
    model->pitch = pitch;
    model->frame.values[0] = model->frame.values[4] = model->frame.values[8] = 1.0;
    SetStockUndoRingSize(model, ringSize);
    int result = InitStockGridBlocks(model);
    return result == 1 ? AllocStockModel(model) : result;
}

::testing::AssertionResult StockInvariantsHold(const StockModel& model, bool solid) {
    if (model.nx == 0) {
        return ::testing::AssertionSuccess();
    }
    std::ostringstream out;
    int problems = 0;
    auto fail = [&](const std::string& text) {
        if (++problems <= 10) {
            out << text << "\n";
        }
    };
    const StockUndoRing& ring = model.undo;
    if (!ring.slots) {
        return ::testing::AssertionFailure() << "model has nx " << model.nx << " but no ring";
    }
    if (ring.size < 1 || ring.size > kMaxStockUndoSlots || ring.allocatedSlots < ring.size ||
        ring.currentSlot < 0 || ring.currentSlot > ring.highestUsedSlot ||
        ring.highestUsedSlot >= ring.size) {
        std::ostringstream s;
        s << "ring state size " << ring.size << " allocated " << ring.allocatedSlots << " current "
          << ring.currentSlot << " highest " << ring.highestUsedSlot;
        return ::testing::AssertionFailure() << s.str();
    }
    const StockUndoSlot& current = ring.slots[ring.currentSlot];
    const DexelFamily* working[3] = {&model.z, &model.x, &model.y};
    const DexelFamily* selected[3] = {&current.z, &current.x, &current.y};
    for (int f = 0; f < 3; ++f) {
        if (working[f]->counts != selected[f]->counts || working[f]->ends != selected[f]->ends ||
            working[f]->flags != selected[f]->flags ||
            working[f]->lineStamps != selected[f]->lineStamps) {
            fail("working arrays of family " + std::to_string(f) + " not the current slot's");
        }
    }
    if (model.minCorner != current.minCorner || model.maxCorner != current.maxCorner ||
        model.faceFlags != &current.faceFlags) {
        fail("corners or face flags not the current slot's");
    }
    const std::int64_t nx = model.nx, ny = model.ny, nz = model.nz;
    const std::int64_t expectedCells[3] = {nx * ny, ny * nz, nx * nz};
    const char* names[3] = {"Z", "X", "Y"};
    std::unordered_set<const void*> blocks;
    for (int s = 0; s <= ring.highestUsedSlot; ++s) {
        const StockUndoSlot& slot = ring.slots[s];
        const DexelFamily* families[3] = {&slot.z, &slot.x, &slot.y};
        for (int f = 0; f < 3; ++f) {
            const DexelFamily& family = *families[f];
            if (family.cellCount != expectedCells[f] || family.capacity != kDexelInlineCapacity) {
                fail(std::string("family ") + names[f] + " has wrong size or capacity");
                continue;
            }
            for (std::int64_t cell = 0; cell < family.cellCount; ++cell) {
                const int n = family.counts[cell];
                std::ostringstream where;
                where << "slot " << s << " family " << names[f] << " cell " << cell << ": ";
                if (n < 0 || n % 2 != 0) {
                    fail(where.str() + "bad count " + std::to_string(n));
                    continue;
                }
                if (n > family.capacity) {
                    const std::int64_t base = cell * family.capacity;
                    for (const void* p :
                         {SlotPointer(family.ends + base), SlotPointer(family.flags + base),
                          SlotPointer(family.lineStamps + base)}) {
                        if (!p || !blocks.insert(p).second) {
                            fail(where.str() + "heap block missing or shared");
                        }
                    }
                }
                const double* e = n > 0 ? RayValues<double>(family, cell) : nullptr;
                for (int i = 0; i < n; ++i) {
                    if (!std::isfinite(e[i]) || (i > 0 && e[i] < e[i - 1])) {
                        fail(where.str() + "ends not finite and ascending");
                        break;
                    }
                }
            }
        }
    }
    // Node tables.
    const double* tables[3] = {model.nodesX, model.nodesY, model.nodesZ};
    const int counts[3] = {model.nx, model.ny, model.nz};
    for (int a = 0; a < 3; ++a) {
        if (!tables[a]) {
            fail("node table missing");
            continue;
        }
        for (int i = 0; i < counts[a]; ++i) {
            if (tables[a][i] != i * model.pitch + model.origin[a]) {
                fail("node table entry wrong on axis " + std::to_string(a));
                break;
            }
        }
    }
    // Display blocks.
    const StockDisplayBlocks& b = model.blocks;
    if (!b.dirty || !b.listStates ||
        static_cast<std::int64_t>(b.perAxis[0]) * b.perAxis[1] * b.perAxis[2] != b.count ||
        b.count >= kStockBlockListRow || b.count < 1) {
        fail("display blocks missing or miscounted");
    } else {
        for (int a = 0; a < 3; ++a) {
            const int cells = counts[a] - 1;
            if ((b.perAxis[a] - 1) * b.size[a] + b.lastSize[a] != cells) {
                fail("block sizes do not sum to the cells of axis " + std::to_string(a));
            }
            for (int i = 0; i < counts[a]; ++i) {
                const int lo = b.lowMap[a][i], hi = b.highMap[a][i];
                auto contains = [&](int q) {
                    const int size = q == b.perAxis[a] - 1 ? b.lastSize[a] : b.size[a];
                    return q >= 0 && q < b.perAxis[a] && q * b.size[a] <= i &&
                           i <= q * b.size[a] + size;
                };
                if (!contains(lo) || !contains(hi) || hi - lo < 0 || hi - lo > 1) {
                    fail("node " + std::to_string(i) + " of axis " + std::to_string(a) +
                         " maps to blocks that do not hold it");
                    break;
                }
            }
        }
    }
    // Node-point agreement of the three families.
    if (solid && problems == 0) {
        for (std::int64_t iz = 0; iz < nz; ++iz) {
            for (std::int64_t iy = 0; iy < ny; ++iy) {
                for (std::int64_t ix = 0; ix < nx; ++ix) {
                    const double px = model.nodesX[ix], py = model.nodesY[iy],
                                 pz = model.nodesZ[iz];
                    auto slack = [&](double c) {
                        return 1e-9 * model.pitch + 1e-12 * (1.0 + std::fabs(c));
                    };
                    const int wz = Classify(model.z, iy * nx + ix, pz, slack(pz));
                    const int wx = Classify(model.x, iz * ny + iy, px, slack(px));
                    const int wy = Classify(model.y, ix * nz + iz, py, slack(py));
                    const bool in = wz == 1 || wx == 1 || wy == 1;
                    const bool outside = wz == -1 || wx == -1 || wy == -1;
                    if (in && outside) {
                        std::ostringstream s;
                        s << "families disagree at node (" << ix << ", " << iy << ", " << iz
                          << ") = (" << px << ", " << py << ", " << pz << "): Z " << wz << " X "
                          << wx << " Y " << wy;
                        fail(s.str());
                    }
                }
            }
        }
    }
    if (problems == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << problems << " problem(s):\n" << out.str();
}

}  // namespace mirexa
