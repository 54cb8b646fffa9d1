// Stock file speed: the STL import of a closed mesh of about 100,000 facets at 0.2 mm (and of a
// quarter of the facets or twice the pitch, to show how the cost scales), and the DME save and
// load of a 200 x 200 x 100 mm box stock at 0.1 mm (and 0.5 mm).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "stock/stock_grid.h"
#include "stock/stock_hooks.h"
#include "stock/stock_shapes.h"
#include "stockio/dme_file.h"
#include "stockio/stl_files.h"
#include "stockio/stock_loading.h"

namespace mirexa {
namespace {

// A scratch directory for the benchmark files, removed with them at exit.
struct BenchScratch {
    std::string path;
    BenchScratch() {
        char pattern[] = "/tmp/mirexa-bench-XXXXXX";
        const char* made = mkdtemp(pattern);
        path = made != nullptr ? made : "";
    }
    ~BenchScratch() {
        if (!path.empty()) {
            for (const char* name : {"/sphere.stl", "/box.dme"}) {
                std::remove((path + name).c_str());
            }
            rmdir(path.c_str());
        }
    }
};
BenchScratch scratch;

const std::string& ScratchPath() {
    return scratch.path;
}

// Writes a closed UV sphere of radius 40 mm with about 2 * slices * stacks facets as binary STL.
std::string WriteSphere(int slices) {
    const int stacks = slices / 2;
    const double radius = 40.0;
    auto point = [&](int i, int j, double out[3]) {
        const double theta = M_PI * j / stacks;
        const double phi = 2 * M_PI * i / slices;
        out[0] = radius * std::sin(theta) * std::cos(phi);
        out[1] = radius * std::sin(theta) * std::sin(phi);
        out[2] = radius * std::cos(theta);
    };
    const std::string path = ScratchPath() + "/sphere.stl";
    StlWriterState writer;
    writer.writeMode = kStlWriteBinary;
    writer.stream = std::fopen(path.c_str(), "wb");
    BeginStlFile(&writer);
    int count = 0;
    for (int j = 0; j < stacks; ++j) {
        for (int i = 0; i < slices; ++i) {
            double a[3], b[3], c[3], d[3];
            point(i, j, a);
            point(i, j + 1, b);
            point(i + 1, j + 1, c);
            point(i + 1, j, d);
            if (j != 0) {
                WriteStlFacetAuto(&writer, &count, a, b, d);
            }
            if (j != stacks - 1) {
                WriteStlFacetAuto(&writer, &count, b, c, d);
            }
        }
    }
    FinishStlFile(&writer, count);
    std::fclose(writer.stream);
    return path;
}

// Arguments: sphere slices (about slices^2 facets: 316 gives 99,224), pitch in micrometres.
void BM_ImportStlStock(benchmark::State& state) {
    const int slices = static_cast<int>(state.range(0));
    const double pitch = static_cast<double>(state.range(1)) / 1000.0;
    const std::string path = WriteSphere(slices);
    StockModel model;
    for (auto _ : state) {
        SetStockUndoRingSize(&model, 1);
        if (LoadStockModel(nullptr, &model, path, pitch, 0) != 1) {
            state.SkipWithError("the import failed");
            break;
        }
        state.PauseTiming();
        FreeStockModel(&model);
        state.ResumeTiming();
    }
    state.counters["facets"] = CountStlFacets(kStlFormatBinary, path);
    const double n = std::ceil(80.0 / pitch) + 2;
    state.counters["rays"] = 3 * n * n;
}
BENCHMARK(BM_ImportStlStock)
    ->Args({158, 200})
    ->Args({316, 200})
    ->Args({316, 400})
    ->Unit(benchmark::kMillisecond);

// The 200 x 200 x 100 mm box at the pitch (argument in micrometres), or null when it does not
// fit in memory twice (the benchmark loads a second copy).
StockModel* BoxStock(double pitch, benchmark::State& state) {
    static StockModel box;
    static double builtPitch = 0;
    if (builtPitch != pitch) {
        FreeStockModel(&box);
        const double n[3] = {200 / pitch + 1, 200 / pitch + 1, 100 / pitch + 1};
        const double bytes = 108 * (n[0] * n[1] + n[1] * n[2] + n[0] * n[2]);
        if (!FitsAvailableStockMemory(static_cast<std::uint64_t>(2.5 * bytes))) {
            state.SkipWithError("not enough memory for this grid");
            return nullptr;
        }
        const double extent[6] = {0, 0, 0, 200, 200, 100};
        SetStockUndoRingSize(&box, 1);
        if (CreateBoxStockIdentity(&box, extent, pitch) != 1) {
            state.SkipWithError("the box cannot be built");
            return nullptr;
        }
        builtPitch = pitch;
    }
    return &box;
}

void BM_SaveDmeFile(benchmark::State& state) {
    StockModel* box = BoxStock(static_cast<double>(state.range(0)) / 1000.0, state);
    if (box == nullptr) {
        return;
    }
    const std::string path = ScratchPath() + "/box.dme";
    for (auto _ : state) {
        if (WriteDmeFile(*box, path) != 1) {
            state.SkipWithError("the save failed");
            break;
        }
    }
    const double rays = static_cast<double>(box->z.cellCount + box->x.cellCount + box->y.cellCount);
    state.counters["rays"] = rays;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 30 * rays));
}
BENCHMARK(BM_SaveDmeFile)->Arg(500)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_LoadDmeFile(benchmark::State& state) {
    StockModel* box = BoxStock(static_cast<double>(state.range(0)) / 1000.0, state);
    if (box == nullptr) {
        return;
    }
    const std::string path = ScratchPath() + "/box.dme";
    if (WriteDmeFile(*box, path) != 1) {
        state.SkipWithError("the save failed");
        return;
    }
    StockModel model;
    for (auto _ : state) {
        SetStockUndoRingSize(&model, 1);
        if (LoadStockModel(nullptr, &model, path, 1.0, 0) != 1) {
            state.SkipWithError("the load failed");
            break;
        }
        state.PauseTiming();
        FreeStockModel(&model);
        state.ResumeTiming();
    }
    const double rays = static_cast<double>(box->z.cellCount + box->x.cellCount + box->y.cellCount);
    state.counters["rays"] = rays;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 30 * rays));
}
BENCHMARK(BM_LoadDmeFile)->Arg(500)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirexa
