// The report writers' side of the write-fault seam: a writer's calls run once clean and then once
// for every write, flush and close they make with that one failing, and what each run leaves is
// checked: the failure is reported, every text reported written is in the file in order, and a
// writer that stops at its failure leaves a prefix of the clean file (nothing torn, no hole).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/write_faults.h"

namespace mirexa::testing {

// One call of a writer: the text it adds to the file, and the call, which returns 1 when the
// writer reported the text written.
struct ReportWriteStep {
    std::string text = {};
    std::function<int()> call = {};
};

struct ReportWriteScenario {
    std::function<void()> start = {};  // a fresh file, state and log
    std::vector<ReportWriteStep> steps = {};
    std::function<int()> finish = {};           // the close; 1 when reported good
    std::function<std::string()> read = {};     // the file after the close
    std::function<int()> failureReported = {};  // 1 when the writer shows a failure (state, log)
    bool stopsAtFailure = true;
};

struct ReportWriteRun {
    std::vector<int> written = {};
    int closed = {};
    std::string file = {};
};

inline ReportWriteRun RunReportWriteScenario(const ReportWriteScenario& s) {
    ReportWriteRun run;
    s.start();
    for (const ReportWriteStep& step : s.steps) {
        run.written.push_back(step.call());
    }
    run.closed = s.finish();
    DisarmWriteFaults();
    run.file = s.read();
    return run;
}

// The operations of the kind a clean run makes.
inline int CountReportWriteOperations(const ReportWriteScenario& s, unsigned kind) {
    ArmWriteFaults(0, kind);
    RunReportWriteScenario(s);
    return CountWriteOperations();
}

inline void SweepReportWriteFaults(const ReportWriteScenario& s) {
    std::string clean;
    for (const ReportWriteStep& step : s.steps) {
        clean += step.text;
    }
    ArmWriteFaults(0);
    const ReportWriteRun good = RunReportWriteScenario(s);
    ASSERT_EQ(good.file, clean);
    ASSERT_EQ(good.closed, 1);
    for (const int written : good.written) {
        ASSERT_EQ(written, 1);
    }
    ASSERT_EQ(s.failureReported(), 0);
    const struct {
        unsigned kind;
        const char* name;
    } kinds[] = {
        {kWriteFaultWrite, "write"}, {kWriteFaultFlush, "flush"}, {kWriteFaultClose, "close"}};
    for (const auto& kind : kinds) {
        const int count = CountReportWriteOperations(s, kind.kind);
        EXPECT_GT(count, 0) << "the writer makes no " << kind.name;
        for (int n = 1; n <= count; ++n) {
            SCOPED_TRACE(std::string(kind.name) + " " + std::to_string(n) + " of " +
                         std::to_string(count) + " failing");
            ArmWriteFaults(n, kind.kind);
            const ReportWriteRun run = RunReportWriteScenario(s);
            ASSERT_EQ(WasWriteFaultInjected(), 1);
            EXPECT_EQ(s.failureReported(), 1);
            bool someFailed = run.closed == 0;
            std::size_t from = 0;
            for (std::size_t i = 0; i < s.steps.size(); ++i) {
                if (run.written[i] == 0) {
                    someFailed = true;
                    continue;
                }
                const std::size_t found = run.file.find(s.steps[i].text, from);
                EXPECT_NE(found, std::string::npos) << "step " << i << " reported written, lost";
                from = found == std::string::npos ? from : found + s.steps[i].text.size();
            }
            EXPECT_TRUE(someFailed) << "the failure was reported as success";
            if (s.stopsAtFailure) {
                EXPECT_EQ(clean.compare(0, run.file.size(), run.file), 0)
                    << "not a prefix of the clean file:\n"
                    << run.file;
            }
        }
    }
}

}  // namespace mirexa::testing
