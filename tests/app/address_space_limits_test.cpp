// End-to-end runs of the built program under address-space limits swept from too little to
// start up to enough: wherever the memory runs out (the up-front check, a ray, a cutting worker,
// the surface of an STL save), the run ends with exit 0 or 2 and says so in the log, never with
// a signal, and no stock is saved after the memory ran out.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "app/batch_run_fixture.h"

namespace mirexa {
namespace {

namespace fs = std::filesystem;
using testing::kBox;
using testing::WaitWithin;

constexpr rlim_t kMegabyte = rlim_t{1} << 20;

class AddressSpaceLimitTest : public testing::BatchRunTest {
protected:
    struct Outcome {
        int exit = -1;  // -1: a signal, or no end within the bound
        bool saved = false;
        std::string log;
    };

    // One run of the sample program on the box at the pitch, saving to output, under the limit.
    Outcome RunUnder(rlim_t megabytes, const std::string& pitch, const std::string& output) {
        fs::remove(scratch.At("mirexa.log"));
        fs::remove(scratch.At(output));
        Outcome o;
        o.exit = WaitWithin(
            StartWithLimit({kBox, "-P(" + pitch + ")", "demo_part.nc", "-X6", "-O", output},
                           RLIMIT_AS, megabytes * kMegabyte),
            std::chrono::seconds(120));
        o.saved = Exists(output);
        o.log = Read("mirexa.log");
        return o;
    }

    // Checks the run's end; returns whether the run fitted (exit 0).
    bool CheckEnd(const Outcome& o, rlim_t megabytes) {
        SCOPED_TRACE(::testing::Message() << megabytes << " MB");
        EXPECT_TRUE(o.exit == 0 || o.exit == 2)
            << "exit " << o.exit << " (-1: a signal, or no end within 120 s)\n"
            << o.log;
        if (o.exit == 0) {
            EXPECT_TRUE(o.saved);
            EXPECT_NE(o.log.find("End of cutting"), std::string::npos) << o.log;
        } else {
            EXPECT_FALSE(o.saved);
            EXPECT_NE(o.log.find("Memory over!"), std::string::npos) << o.log;
        }
        return o.exit == 0;
    }

    // The largest limit (MB, in steps of 16 from 128) whose run the up-front check refuses: no
    // program line is logged, as no run starts.
    rlim_t LastRefusedLimit(const std::string& pitch, const std::string& output) {
        rlim_t megabytes = 128;
        for (; megabytes < 4096; megabytes += 16) {
            const Outcome o = RunUnder(megabytes + 16, pitch, output);
            if (o.exit != 2 || o.log.find("demo_part.nc") != std::string::npos) {
                break;
            }
        }
        return megabytes;
    }
};

// A fine run swept in steps of 6 MB from the last limit too small for its grid until it fits
// twice in a row: the memory runs out in the run's thread or a cutting worker at changing
// points, each a "Memory over!" with exit 2, and the stock is not saved.
TEST_F(AddressSpaceLimitTest, AFineRunEndsCleanlyWhereverTheMemoryRunsOut) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // A sanitizer reserves terabytes of shadow memory: no address-space limit lets it start.
    GTEST_SKIP() << "an address-space limit cannot be set under a sanitizer";
#endif
    KeepEnglishLog();
    const rlim_t refused = LastRefusedLimit("0.1,0.5", "out.dme");
    int fittedInRow = 0;
    int cutsOutOfMemory = 0;
    for (rlim_t megabytes = refused; fittedInRow < 2 && megabytes < refused + 200; megabytes += 6) {
        const Outcome o = RunUnder(megabytes, "0.1,0.5", "out.dme");
        fittedInRow = CheckEnd(o, megabytes) ? fittedInRow + 1 : 0;
        cutsOutOfMemory += o.exit == 2 && o.log.find("demo_part.nc") != std::string::npos;
    }
    EXPECT_EQ(fittedInRow, 2) << "no limit up to 200 MB above the grid's let the run finish";
    EXPECT_GT(cutsOutOfMemory, 0) << "no limit of the sweep let the cut start but not finish";
}

// STL saves swept above the limit the cut needs: a surface the memory cannot hold is a save
// that failed with "Memory over!", never with the cause of an earlier call.
TEST_F(AddressSpaceLimitTest, AnStlSaveTheMemoryCannotHoldSaysMemoryOver) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "an address-space limit cannot be set under a sanitizer";  // as above
#endif
    KeepEnglishLog();
    const rlim_t refused = LastRefusedLimit("0.2,0.5", "out.stl");
    int failedSaves = 0;
    for (rlim_t megabytes = refused + 24; megabytes <= refused + 144; megabytes += 24) {
        const Outcome o = RunUnder(megabytes, "0.2,0.5", "out.stl");
        CheckEnd(o, megabytes);
        if (o.log.find("out.stl - The work could not be written: ") != std::string::npos) {
            ++failedSaves;
            EXPECT_NE(o.log.find("out.stl - The work could not be written: Memory over!"),
                      std::string::npos)
                << o.log;
        }
    }
    EXPECT_GT(failedSaves, 0) << "no limit of the sweep left the surface without memory";
}

}  // namespace
}  // namespace mirexa
