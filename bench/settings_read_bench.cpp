// Settings reading speed: the whole settings reading of the sample mirexa.ini (about a hundred
// keys, each looked up in the file), and one key of a settings file of 100,000 keys, as the
// settings fuzz target and a hostile file demand them.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "config/settings_file.h"
#include "platform/profile.h"

namespace mirexa {
namespace {

std::string SamplesFolder() {
    return MIREXA_SAMPLES;
}

void BM_ReadSampleSettings(benchmark::State& state) {
    const std::string folder = SamplesFolder();
    for (auto _ : state) {
        std::vector<std::string> messages;
        benchmark::DoNotOptimize(ReadSettingsFrom(folder, folder + "/mirexa", &messages));
    }
}
BENCHMARK(BM_ReadSampleSettings)->Unit(benchmark::kMillisecond);

void BM_ReadOneKeyOfManyKeys(benchmark::State& state) {
    char pattern[] = "/tmp/mirexa-bench-ini-XXXXXX";
    const int descriptor = mkstemp(pattern);
    if (descriptor < 0) {
        state.SkipWithError("no scratch file");
        return;
    }
    close(descriptor);
    {
        std::ofstream out(pattern, std::ios::binary);
        out << "[Table]\n";
        for (int i = 0; i < 100000; ++i) {
            out << "KEY" << i << "=" << i << "\n";
        }
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadProfileString("Table", "KEY99999", "", pattern));
    }
    std::remove(pattern);
}
BENCHMARK(BM_ReadOneKeyOfManyKeys)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirexa
