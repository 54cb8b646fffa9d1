// Interval operations per second on dexel rays of 2 to 12 ends, cut by the chords of a
// ball-end tool (in place and through a work list), and a tool pass over a block of Z rays.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "stock/dexel_intervals.h"

namespace mirexa {
namespace {

constexpr int kRoom = 16;       // ends a work list can hold: 12 plus a split, rounded up
constexpr double kPitch = 0.1;  // mm

struct WorkRay {
    std::array<double, kRoom> ends = {};
    std::array<uint8_t, kRoom> flags = {};
    std::array<int32_t, kRoom> stamps = {};
    int32_t count = 0;
};

struct Chord {
    double lo = 0, hi = 0;  // mm
};

// 4096 rays of 2 to 12 ends in [0, 50] mm, and 4096 chords of a 3 mm ball at random heights
// and distances from the ray; one chord in four runs up the tool body to the top.
struct Workload {
    std::vector<WorkRay> rays;
    std::vector<Chord> chords;

    Workload() {
        std::mt19937 rng(31);
        std::uniform_real_distribution<double> height(0, 50), unit(0, 1);
        for (int n = 0; n < 4096; ++n) {
            WorkRay ray;
            ray.count = 2 * (1 + static_cast<int32_t>(rng() % 6));
            for (int32_t e = 0; e < ray.count; ++e) {
                ray.ends[e] = std::round(height(rng) / 0.001) * 0.001;
                ray.stamps[e] = e;
                ray.flags[e] = 0x11;
            }
            std::sort(ray.ends.begin(), ray.ends.begin() + ray.count);
            rays.push_back(ray);

            const double radius = 3.0, d = unit(rng) * radius;
            const double half = std::sqrt(radius * radius - d * d);
            const double centre = height(rng);
            chords.push_back({centre - half, n % 4 == 0 ? 1e4 : centre + half});
        }
    }
};

const Workload& SharedWorkload() {
    static const Workload workload;
    return workload;
}

// Copies ray n of the pool into a work list and applies op with chord n, once per iteration.
template <typename Op>
void RunOnPool(benchmark::State& state, Op op) {
    const Workload& w = SharedWorkload();
    WorkRay ray;
    size_t n = 0;
    for (auto _ : state) {
        std::memcpy(&ray, &w.rays[n & 4095], sizeof ray);
        op(ray, w.chords[n & 4095]);
        benchmark::DoNotOptimize(ray.count);
        ++n;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void BM_CutDexelInterval(benchmark::State& state) {
    double removed[kRoom];
    double volume = 0;
    const uint8_t cutFlags[2] = {0x51, 0x51};
    const int32_t cutStamps[2] = {7, 7};
    RunOnPool(state, [&](WorkRay& ray, const Chord& c) {
        const double cut[2] = {c.lo, c.hi};
        int32_t removedCount = 0;
        CutDexelInterval(ray.ends.data(), ray.flags.data(), ray.stamps.data(), &ray.count, kRoom,
                         kPitch, 0.0, kPitch * kPitch, &volume, removed, &removedCount, kRoom, cut,
                         cutFlags, cutStamps);
    });
    benchmark::DoNotOptimize(volume);
}
BENCHMARK(BM_CutDexelInterval)->MinTime(0.5);

// The same cuts through a work list, which makes its own room before each operation.
void BM_CutDexelWorkList(benchmark::State& state) {
    const Workload& w = SharedWorkload();
    DexelWorkList ray, removed;
    double volume = 0;
    const uint8_t cutFlags[2] = {0x51, 0x51};
    const int32_t cutStamps[2] = {7, 7};
    size_t n = 0;
    for (auto _ : state) {
        const WorkRay& source = w.rays[n & 4095];
        const Chord& c = w.chords[n & 4095];
        ReserveDexelWorkList(&ray, source.count);
        std::memcpy(ray.ends, source.ends.data(), sizeof(double) * source.count);
        std::memcpy(ray.flags, source.flags.data(), source.count);
        std::memcpy(ray.lineStamps, source.stamps.data(), sizeof(int32_t) * source.count);
        ray.count = source.count;
        const double cut[2] = {c.lo, c.hi};
        CutDexelInterval(&ray, kPitch, 0.0, kPitch * kPitch, &volume, &removed, cut, cutFlags,
                         cutStamps);
        benchmark::DoNotOptimize(ray.count);
        ++n;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    benchmark::DoNotOptimize(volume);
    FreeDexelWorkList(&ray);
    FreeDexelWorkList(&removed);
}
BENCHMARK(BM_CutDexelWorkList)->MinTime(0.5);

void BM_SubtractDexelInterval(benchmark::State& state) {
    RunOnPool(state, [](WorkRay& ray, const Chord& c) {
        SubtractDexelInterval(ray.ends.data(), ray.flags.data(), ray.stamps.data(), &ray.count,
                              kRoom, c.lo, c.hi);
    });
}
BENCHMARK(BM_SubtractDexelInterval)->MinTime(0.5);

void BM_SubtractPlainInterval(benchmark::State& state) {
    RunOnPool(state, [](WorkRay& ray, const Chord& c) {
        SubtractPlainInterval(ray.ends.data(), &ray.count, kRoom, c.lo, c.hi);
    });
}
BENCHMARK(BM_SubtractPlainInterval)->MinTime(0.5);

// Merges a chord of at most 6 mm (a stock offset adds material back in such pieces).
void BM_UnionDexelInterval(benchmark::State& state) {
    RunOnPool(state, [](WorkRay& ray, const Chord& c) {
        UnionDexelInterval(ray.ends.data(), &ray.count, kRoom, c.lo, std::min(c.hi, c.lo + 6));
    });
}
BENCHMARK(BM_UnionDexelInterval)->MinTime(0.5);

// A 3 mm ball-end tool on a raster over a 20 x 20 mm block of Z rays (pitch 0.1 mm, top at
// 30 mm), descending 0.002 mm per step: every step cuts the ball chord and the body above it
// from each ray under the tool, in place. Items are interval operations.
void BM_BallEndToolPass(benchmark::State& state) {
    constexpr int kNodes = 201;
    constexpr double kRadius = 3.0;
    std::vector<WorkRay> grid(kNodes * kNodes);
    double removed[kRoom];
    double volume = 0;
    const uint8_t cutFlags[2] = {0x51, 0x51};
    int64_t operations = 0;
    int step = 0;
    for (auto _ : state) {
        if (step % 4000 == 0) {
            for (WorkRay& ray : grid) {
                ray.count = 2;
                ray.ends[0] = 0.0;
                ray.ends[1] = 30.0;
            }
        }
        // Raster: rows 1 mm apart, 0.1 mm per step along X.
        const int row = (step / 200) % 20;
        const double x = (row % 2 ? 199 - step % 200 : step % 200) * kPitch;
        const double y = row * 1.0;
        const double z = 30.0 + kRadius - 0.002 * (step % 4000);
        const int32_t stamps[2] = {step, step};
        const int ix0 = std::max(0, static_cast<int>(std::ceil((x - kRadius) / kPitch)));
        const int ix1 = std::min(kNodes - 1, static_cast<int>((x + kRadius) / kPitch));
        const int iy0 = std::max(0, static_cast<int>(std::ceil((y - kRadius) / kPitch)));
        const int iy1 = std::min(kNodes - 1, static_cast<int>((y + kRadius) / kPitch));
        for (int iy = iy0; iy <= iy1; ++iy) {
            for (int ix = ix0; ix <= ix1; ++ix) {
                const double dx = ix * kPitch - x, dy = iy * kPitch - y;
                const double d2 = dx * dx + dy * dy;
                if (d2 >= kRadius * kRadius) {
                    continue;
                }
                WorkRay& ray = grid[static_cast<size_t>(iy) * kNodes + ix];
                const double cut[2] = {z - std::sqrt(kRadius * kRadius - d2), 1e4};
                int32_t removedCount = 0;
                CutDexelInterval(ray.ends.data(), ray.flags.data(), ray.stamps.data(), &ray.count,
                                 kRoom, kPitch, 0.0, kPitch * kPitch, &volume, removed,
                                 &removedCount, kRoom, cut, cutFlags, stamps);
                ++operations;
            }
        }
        ++step;
    }
    benchmark::DoNotOptimize(volume);
    state.SetItemsProcessed(operations);
    state.counters["rays_per_step"] =
        benchmark::Counter(static_cast<double>(operations) / static_cast<double>(step));
}
BENCHMARK(BM_BallEndToolPass)->MinTime(0.5);

}  // namespace
}  // namespace mirexa
