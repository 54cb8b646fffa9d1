// Video frame speed: one frame of a 640 x 480 view captured, cropped into the recording's frame
// size (the view was resized after the first frame) and appended to the file, as after every
// redraw of a recorded run. The pixels come from a fixed pattern instead of OpenGL.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "config/config_records.h"
#include "view/avi_recording.h"
#include "view/snapshots.h"

namespace mirexa {
namespace {

void PatternPixels(unsigned, int, int width, int height, std::uint8_t* out) {
    const int stride = (width * 3 + 3) / 4 * 4;
    for (int r = 0; r < height; ++r) {
        for (int i = 0; i < width * 3; ++i) {
            out[static_cast<std::size_t>(r) * stride + i] = static_cast<std::uint8_t>(r + i);
        }
    }
}

void BM_CropAndAppendFrame(benchmark::State& state) {
    char pattern[] = "/tmp/mirexa-bench-avi-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        state.SkipWithError("no scratch directory");
        return;
    }
    const std::string directory = pattern;
    Settings.videoDirectory = directory;
    Settings.videoNameMode = 0;
    Settings.lapDialog = 1;
    Settings.recordTriggers[kAviTriggerUpdate] = 1;
    ViewPixelSource = PatternPixels;
    CaptureReadBuffer = 0;
    SetCaptureGeometry(640, 480, &ViewCapture);
    StartAviRecording();
    WriteAviFrame();  // fixes the frame size
    SetCaptureGeometry(600, 500, &ViewCapture);
    for (auto _ : state) {
        benchmark::DoNotOptimize(WriteAviFrame());
    }
    StopAviRecording();
    std::remove((directory + "/" + kFixedAviFileName).c_str());
    rmdir(directory.c_str());
    state.SetBytesProcessed(state.iterations() * 640 * 480 * 3);
}
BENCHMARK(BM_CropAndAppendFrame)->Iterations(60)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirexa
