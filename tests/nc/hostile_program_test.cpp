// Hostile programs: seeded random text through the whole interpreter, with the run-state
// invariants checked after every call; nothing may crash, overrun or loop.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "nc/nc_controller_view.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"
#include "nc/step_driver.h"
#include "nc_test_fixture.h"

namespace mirexa {
namespace {

using HostileProgramTest = testing::NcInterpreterTest;

// A line of words with random letters, signs, points, digits and punctuation; every fourth
// word a known G or M code, and now and then a very long value or a very long line.
std::string RandomLine(std::mt19937& rng) {
    static const char kLetters[] = "GMXYZIJKRPQLFHDTSNOWABCUVE";
    static const char kNoise[] = " .-+()<>/;#%\t";
    static const int kCodes[] = {0,  1,  2,  3,  4,  10, 17, 18, 19, 28, 29, 30, 43, 44, 49,
                                 50, 51, 52, 53, 54, 55, 65, 68, 69, 81, 90, 91, 92, 98, 99};
    std::uniform_int_distribution<int> pick(0, 99);
    std::string line;
    const int words = pick(rng) % 12;
    for (int w = 0; w < words; ++w) {
        const int kind = pick(rng);
        if (kind < 25) {
            line += (pick(rng) % 2 ? "G" : "M") + std::to_string(kCodes[pick(rng) % 30]);
            if (pick(rng) < 15) {
                line += "." + std::to_string(pick(rng) % 10);
            }
        } else if (kind < 85) {
            line += kLetters[pick(rng) % 26];
            if (pick(rng) < 30) {
                line += '-';
            }
            line += std::to_string(static_cast<long long>(pick(rng)) *
                                   (pick(rng) < 10 ? 100000007LL : 1LL));
            if (pick(rng) < 50) {
                line += "." + std::to_string(pick(rng));
            }
        } else if (kind < 97) {
            line += kNoise[pick(rng) % 13];
        } else {
            line += std::string(200 + pick(rng) * 10, kind % 2 ? '9' : ' ');
        }
        if (pick(rng) < 50) {
            line += ' ';
        }
    }
    return line + (pick(rng) < 5 ? "\r\n" : "\n");
}

TEST_F(HostileProgramTest, RandomTextNeverBreaksTheRunState) {
    const unsigned seed = 4242;
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (int run = 0; run < 24; ++run) {
        ClearAll();
        RunSession.controller.runTypeMemory = run % 2;
        RunSession.controller.endOfRecord = run % 3 == 0 ? '%' : ' ';
        RunSession.controller.arcRadiusTolerance = run % 4 == 0 ? 0.01 : 1e6;
        RunSession.controller.directToolDigits = run % 5 == 0 ? 2 : 0;
        RunSession.controller.feedWordMode = run % 4;
        RunSession.controller.replacements = {{"Q", "QQ"}, {"%", ""}};
        std::string program = run % 3 == 0 ? "%\n" : "";
        for (int i = 0; i < 300; ++i) {
            program += RandomLine(rng);
            if (i % 50 == 10) {
                program += "M98 P100\nM198 P100\nO100\n";
            }
        }
        dir.Write("O100", "G01 X1.\nM198 P100\nM98 P100\nM99\n");
        const std::string trace = Trace(program);
        ASSERT_NE(trace.find("END state"), std::string::npos) << "run " << run;
        EXPECT_LE(RunSession.run.status.error, kNcErrorHighest);
        // The driver stops at the first error; the blocks themselves are also interpreted one
        // after the other, errors cleared, so that every line meets the interpreter.
        ResetInterpreterState(RunSession);
        size_t start = 0;
        while (start < program.size()) {
            const size_t end = program.find('\n', start);
            const std::string line = program.substr(start, end - start);
            start = end == std::string::npos ? program.size() : end + 1;
            RunSession.run.status.error = 0;
            Run({line.c_str()});
        }
    }
}

}  // namespace
}  // namespace mirexa
