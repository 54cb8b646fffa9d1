// Stop and record decisions for every check, choice and flag, the recorded kinds and the event
// count, and the status bar's kind text.
#include "simulation/interference_decisions.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "config/settings_define.h"
#include "run_report_support.h"

namespace mirexa {
namespace {

// One check as the choices table states it: the choice that stops, the one that records, the
// flags that raise it, whether it needs stock contact, and the kind each flag records.
struct CheckUnderTest {
    std::string name;
    std::function<void(CheckSettings&, int)> setChoice;
    int stopChoice;
    int recordChoice;
    bool needsStockContact;
    // Each flag: sets it on a step, and the kind it records.
    std::vector<std::pair<std::function<void(InterferenceStep&)>, int>> flags;
};

std::vector<CheckUnderTest> AllChecks() {
    std::vector<CheckUnderTest> checks = {
        {"INTERFERENCE",
         [](CheckSettings& c, int v) { c.interference = v; },
         1,
         2,
         true,
         {{[](InterferenceStep& s) { s.rapid = 1; }, kKindRapid},
          {[](InterferenceStep& s) { s.tooFast = 1; }, kKindTooFast}}},
        {"ARBOR CHECK",
         [](CheckSettings& c, int v) { c.arborCheck = v; },
         3,
         4,
         true,
         {{[](InterferenceStep& s) { s.arbor = 1; }, kKindArbor},
          {[](InterferenceStep& s) { s.taper = 1; }, kKindTaper},
          {[](InterferenceStep& s) { s.attachment = 1; }, kKindAttachment}}},
        {"HEIGHT CHECK",
         [](CheckSettings& c, int v) { c.heightCheck = v; },
         2,
         3,
         true,
         {{[](InterferenceStep& s) { s.overLength = 1; }, kKindOverLength}}},
        {"CHIP-W CHECK",
         [](CheckSettings& c, int v) { c.chipWidthCheck = v; },
         2,
         3,
         true,
         {{[](InterferenceStep& s) { s.overChip = 1; }, kKindOverChip}}},
        {"SPINDLE CHECK",
         [](CheckSettings& c, int v) { c.spindleCheck = v; },
         1,
         2,
         true,
         {{[](InterferenceStep& s) { s.spindleStopped = 1; }, kKindSpindle}}},
    };
    for (int pair = 0; pair < kStructurePairCount; ++pair) {
        checks.push_back({StructurePairKeys[pair],
                          [pair](CheckSettings& c, int v) { c.structurePairs[pair] = v; },
                          1,
                          2,
                          false,
                          {{[pair](InterferenceStep& s) { s.structure[pair] = 1; },
                            KindOfStructurePair(pair)}}});
    }
    return checks;
}

std::vector<int> RecordedKinds(const InterferenceKindSet& set) {
    std::vector<int> kinds;
    for (int kind = 0; kind < kInterferenceKindBytes; ++kind) {
        if (InterferenceKindSetFlag(set, kind)) {
            kinds.push_back(kind);
        }
    }
    return kinds;
}

class InterferenceDecisionTest : public testing::RunReportTest {
protected:
    // The kinds of the test's run.
    InterferenceKindSet& kinds_ = reports_.kinds;
};

// Every check at every choice 0..4, with each of its flags set or not, with and without contact
// and an available stock, and with or without an unrelated record choice (which makes the run
// pause on events while nothing of it is recorded).
TEST_F(InterferenceDecisionTest, EveryChoiceAndFlagOfEveryCheck) {
    const CheckSettings saved = Checks;
    for (const CheckUnderTest& check : AllChecks()) {
        for (int choice = 0; choice <= 4; ++choice) {
            for (std::size_t f = 0; f <= check.flags.size(); ++f) {  // f == size: no flag
                for (int situation = 0; situation < 3; ++situation) {
                    for (int background = 0; background < 2; ++background) {
                        Checks = CheckSettings{};
                        Checks.interference = 0;
                        check.setChoice(Checks, choice);
                        // An unrelated pair records; its flag is never set. The HEAD-BASIC pair
                        // stands in, or HEAD-TABLE when HEAD-BASIC is the check under test.
                        const int other =
                            check.name == "HEAD-BASIC CHECK" ? kHeadTable : kHeadBasic;
                        if (background != 0) {
                            Checks.structurePairs[other] = 2;
                        }
                        UpdateStopOnCheckFlag();
                        InterferenceStep step;
                        step.contact = situation != 1 ? 1 : 0;
                        step.stockAvailable = situation != 2 ? 1 : 0;
                        const bool flagged = f < check.flags.size();
                        if (flagged) {
                            check.flags[f].first(step);
                        }
                        const bool reachable =
                            !check.needsStockContact || (step.contact && step.stockAvailable);
                        const bool stop = flagged && reachable && choice == check.stopChoice;
                        const bool record = flagged && reachable && choice == check.recordChoice;
                        const bool pauses = choice == check.recordChoice || background != 0;
                        SCOPED_TRACE(check.name + " choice " + std::to_string(choice) + " flag " +
                                     std::to_string(f) + " situation " + std::to_string(situation) +
                                     " background " + std::to_string(background));
                        EXPECT_EQ(ShouldStopOnInterference(step, Checks), stop ? 1 : 0);
                        ResetInterferenceKinds(kinds_);
                        const int ends = RecordInterferenceBreak(kinds_, step, Checks);
                        EXPECT_EQ(ends, !pauses || stop || !record ? 1 : 0);
                        const std::vector<int> expected =
                            pauses && record ? std::vector<int>{check.flags[f].second}
                                             : std::vector<int>{};
                        EXPECT_EQ(RecordedKinds(kinds_), expected);
                        EXPECT_EQ(kinds_.eventCount.load(), expected.empty() ? 0 : 1);
                        EXPECT_EQ(
                            AnyRecordChoiceApplies(step, Checks),
                            flagged && choice == check.recordChoice &&
                                    (!check.needsStockContact || step.contact ||
                                     check.name == "ARBOR CHECK" || check.name == "HEIGHT CHECK" ||
                                     check.name == "CHIP-W CHECK")
                                ? 1
                                : 0);
                    }
                }
            }
        }
    }
    Checks = saved;
}

TEST_F(InterferenceDecisionTest, BasicPairAtStopEndsTheRunBesideARecordedKind) {
    Checks.structurePairs[kToolBasic] = 1;
    Checks.structurePairs[kToolVice] = 2;
    UpdateStopOnCheckFlag();
    InterferenceStep step;
    step.structure[kToolBasic] = 1;
    step.structure[kToolVice] = 1;
    EXPECT_EQ(ShouldStopOnInterference(step, Checks), 1);
    EXPECT_EQ(RecordInterferenceBreak(kinds_, step, Checks), 1);
    // The recorded kind is kept for the report all the same.
    EXPECT_EQ(RecordedKinds(kinds_), std::vector<int>{kKindVice});
}

TEST_F(InterferenceDecisionTest, OneHolderKindPerStepAndTheCountIsNeverCountedUp) {
    Checks.arborCheck = 4;
    Checks.heightCheck = 3;
    UpdateStopOnCheckFlag();
    InterferenceStep step;
    step.contact = step.stockAvailable = 1;
    step.arbor = step.taper = step.attachment = 1;
    step.overLength = 1;
    EXPECT_EQ(RecordInterferenceBreak(kinds_, step, Checks), 0);
    EXPECT_EQ(RecordedKinds(kinds_), (std::vector<int>{kKindOverLength, kKindTaper}));
    EXPECT_EQ(kinds_.eventCount.load(), kEventRecorded);
    step.taper = 0;
    EXPECT_EQ(RecordInterferenceBreak(kinds_, step, Checks), 0);
    EXPECT_EQ(RecordedKinds(kinds_),
              (std::vector<int>{kKindOverLength, kKindTaper, kKindAttachment}));
    // Once written, a new record does not bring the count back to 1.
    kinds_.eventCount = kEventWritten;
    RecordInterferenceKind(kinds_, kKindRapid);
    EXPECT_EQ(kinds_.eventCount.load(), kEventWritten);
    ClearInterferenceKinds(kinds_);
    EXPECT_TRUE(RecordedKinds(kinds_).empty());
    EXPECT_EQ(kinds_.eventCount.load(), kEventWritten);
}

TEST_F(InterferenceDecisionTest, RapidAndTooFastAreTold) {
    Checks.interference = 2;
    UpdateStopOnCheckFlag();
    InterferenceStep step;
    step.contact = step.stockAvailable = 1;
    step.rapid = 1;
    step.tooFast = 1;  // a rapid is a rapid, whatever its feed
    EXPECT_EQ(RecordInterferenceBreak(kinds_, step, Checks), 0);
    EXPECT_EQ(RecordedKinds(kinds_), std::vector<int>{kKindRapid});
}

TEST_F(InterferenceDecisionTest, KindTextNamesTheFirstKindInKindOrder) {
    char text[64];
    BuildCollisionKindText(kinds_, text, sizeof text, 1);
    EXPECT_STREQ(text, " Collide");
    RecordInterferenceKind(kinds_, kKindOverLength);
    BuildCollisionKindText(kinds_, text, sizeof text, 1);
    EXPECT_STREQ(text, "OVER LENGTH");
    RecordInterferenceKind(kinds_, kKindArbor);
    BuildCollisionKindText(kinds_, text, sizeof text, 1);
    EXPECT_STREQ(text, "ARBOR Collide");
    BuildCollisionKindText(kinds_, text, sizeof text, 0);
    EXPECT_STREQ(text, "ARBOR干渉");
    // Cut at a character boundary.
    EXPECT_EQ(BuildCollisionKindText(kinds_, text, 7, 0), 5);
    EXPECT_STREQ(text, "ARBOR");
    ResetInterferenceKinds(kinds_);
    RecordInterferenceKind(kinds_, kKindAttachment);
    RecordInterferenceKind(kinds_, KindOfStructurePair(kHead1Table1));
    BuildCollisionKindText(kinds_, text, sizeof text, 1);
    EXPECT_STREQ(text, "ATTACHMENT Collide");
    ResetInterferenceKinds(kinds_);
    RecordInterferenceKind(kinds_, KindOfStructurePair(kHead1Table1));
    BuildCollisionKindText(kinds_, text, sizeof text, 1);
    EXPECT_STREQ(text, "HEAD1vsTABLE1 Collide");
    ResetInterferenceKinds(kinds_);
    RecordInterferenceKind(kinds_, kKindSpindle);
    BuildCollisionKindText(kinds_, text, sizeof text, 0);
    EXPECT_STREQ(text, "SPINDLE");
}

}  // namespace
}  // namespace mirexa
