// The libFuzzer target of the readers: the environment variable MIREXA_FUZZ_READER names the
// entry of the hostile-reader table to fuzz; each input is written as that reader's file and
// fed to it. A reader that breaks its contract (or an NC run that breaks the interpreter's
// invariants) aborts, so libFuzzer keeps the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/hostile_readers.h"
#include "support/nc_invariants.h"

namespace {

const mirexa::testing::HostileReader* Reader = nullptr;
std::string Bench;

void RemoveBench() {
    std::error_code ignored;
    std::filesystem::remove_all(Bench, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* name = std::getenv("MIREXA_FUZZ_READER");
    Reader = name ? mirexa::testing::FindHostileReader(name) : nullptr;
    if (Reader == nullptr) {
        std::fprintf(stderr, "MIREXA_FUZZ_READER must name one of:");
        for (const auto& reader : mirexa::testing::GetHostileReaders()) {
            std::fprintf(stderr, " %s", reader.name);
        }
        std::fprintf(stderr, "\n");
        std::exit(2);
    }
    Bench = mirexa::testing::MakeHostileBenchDirectory();
    if (Bench.empty() || !mirexa::testing::PrepareHostileBench(MIREXA_SOURCE_ROOT, Bench)) {
        std::fprintf(stderr, "cannot prepare a work directory\n");
        std::exit(2);
    }
    std::atexit(RemoveBench);
    mirexa::testing::HostileChecks.ncCall = [] { return mirexa::testing::CheckNcInvariants(); };
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = mirexa::testing::FeedHostileInput(
        *Reader, std::string_view(reinterpret_cast<const char*>(data), size));
    if (!problem.empty()) {
        std::fprintf(stderr, "%s: %s\n", Reader->name, problem.c_str());
        std::abort();
    }
    return 0;
}
