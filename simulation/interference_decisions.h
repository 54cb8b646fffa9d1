// What happens after a step with an interference: the run stops, or the event is recorded for
// the interference report and the run pauses before the next block, or nothing happens; by the
// choices of the check settings. Records the kinds for the report and the block's event count
// into the run's kind set (a member of its reports, run_reports.h).
//
// Choices (0 is always off):
//   INTERFERENCE (rapid contact, too-fast feed)  stop 1, record 2
//   ARBOR CHECK (arbor, taper, attachment)       stop 3, record 4 (1 length report, 2 cut)
//   HEIGHT CHECK (over-length)                   stop 2, record 3 (1 length report)
//   CHIP-W CHECK (over-chip)                     stop 2, record 3 (1 length report)
//   SPINDLE CHECK (cutting with spindle stopped) stop 1, record 2
//   each structure pair                          stop 1, record 2
//
// Threads: the simulation thread records kinds and raises the event count; the user-interface
// thread reads the event count at every tick of the run timer and clears kinds and count when it
// resumes a run (the thread then waits at a stop block) or once the thread has ended. In a run
// nobody resumes, the simulation thread ends a written event itself when the next block starts.
// Every kind byte and the count are atomics, so either side may look at any time.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "config/config_records.h"

namespace mirexa {

// The kinds of interference the report names, in the order of the kind text. The tool pairs
// (kKindVice .. kKindBasic) and the holder and head pairs follow the structure pairs of the
// check settings: pair p has kind kKindVice + p.
enum InterferenceKind : int {
    kKindRapid,       // RAPID(G00)
    kKindArbor,       // ARBOR
    kKindOverLength,  // OVER LENGTH
    kKindOverChip,    // OVER CHIP
    kKindTaper,       // TAPER
    kKindTooFast,     // TOO FAST
    kKindSpindle,     // SPINDLE
    kKindAttachment,  // ATTACHMENT (never printed in the report)
    kKindVice,        // the tool pairs: VICE, TABLE2, TABLE1, TABLE, BASIC
    kKindTable2,
    kKindTable1,
    kKindTable,
    kKindBasic,
    kKindArborVice,  // ARBORvsVICE .. HEADvsBASIC in the order of the structure pairs
    kNamedKindCount = kKindVice + kStructurePairCount
};

// The kind of a structure pair.
constexpr int KindOfStructurePair(int pair) {
    return static_cast<int>(kKindVice) + pair;
}

// The recorded kinds hold this many bytes; those past the named kinds stay 0.
inline constexpr int kInterferenceKindBytes = 54;

// The values of the block's event count.
enum EventCountValue : std::int32_t {
    kNoEvent = 0,        // nothing recorded in this block
    kEventRecorded = 1,  // recorded, not yet written to the report
    kEventWritten = 2,   // written to the report; the run timer still stops before the next block
};

// The kinds a run recorded (a member of the run's reports, run_reports.h). The simulation thread
// records them while the status bar reads the event count on the user-interface thread: every
// byte and the count are atomic.
struct InterferenceKindSet {
    std::atomic<std::uint8_t> bytes[kInterferenceKindBytes] = {};
    std::atomic<std::int32_t> eventCount{0};
};

// The name of a kind as the report prints it ("RAPID(G00)", "VICE", "HEAD1vsTABLE1"); null for
// an index outside the named kinds.
const char* GetInterferenceKindName(int kind);

// Clears every kind byte (the event count stays).
void ClearInterferenceKinds(InterferenceKindSet& kinds);
// Clears every kind byte and the event count.
void ResetInterferenceKinds(InterferenceKindSet& kinds);
// The start of a block: an event written for the blocks before it is over (the count from 2 back
// to 0), so that the block's own event is recorded and written; an unwritten event stays.
void EndWrittenInterferenceEvent(InterferenceKindSet& kinds);
// Sets the byte of a kind and raises the event count from 0 to 1 (it is never counted up).
void RecordInterferenceKind(InterferenceKindSet& kinds, int kind);
// 1 when the kind's byte is set.
int InterferenceKindSetFlag(const InterferenceKindSet& kinds, int kind);

// What the decisions read of one step: the flags that the cut and the checks set, and the facts
// of the move.
struct InterferenceStep {
    std::int32_t stockAvailable = {};  // a stock exists and is available (not ignored)
    std::int32_t contact = {};         // the step removed material
    std::int32_t rapid = {};           // the move is a rapid (motion type 0)
    std::int32_t tooFast = {};         // a feed move whose feed is at least RAPID FEEDRATE
    std::int32_t spindleStopped = {};  // M05 is in force
    std::int32_t arbor = {};
    std::int32_t taper = {};
    std::int32_t attachment = {};
    std::int32_t overLength = {};
    std::int32_t overChip = {};
    std::int32_t structure[kStructurePairCount] = {};  // in the order of the structure pairs
};

// 1 when a set flag has its choice at stop: with a stock available and contact, INTERFERENCE 1
// on a rapid or too-fast feed, ARBOR CHECK 3 with the taper, attachment or arbor flag, HEIGHT
// CHECK 2 with over-length, CHIP-W CHECK 2 with over-chip, SPINDLE CHECK 1 with the spindle
// stopped; and any structure pair at 1 with its flag, the five BASIC pairs included (a BASIC
// pair set to stop ends the run even when another kind is recorded in the same step).
int ShouldStopOnInterference(const InterferenceStep& step, const CheckSettings& checks);

// The decision of a step whose state is alarm (4). Without any record choice
// (checks.pauseOnEvents 0) returns 1 at once. Otherwise records into kinds the kinds whose choice
// is record (ARBOR CHECK 4 records only the first of TAPER, ATTACHMENT, ARBOR), then returns 1 (end
// the run) when ShouldStopOnInterference holds, 0 (go on) when something was recorded, else 1.
int RecordInterferenceBreak(InterferenceKindSet& kinds, const InterferenceStep& step,
                            const CheckSettings& checks);

// 1 when any record choice applies to the step: the test that opens the report's second form.
int AnyRecordChoiceApplies(const InterferenceStep& step, const CheckSettings& checks);

// The status bar's text of the first recorded kind in kind order, followed by " Collide" in
// English or "干渉" in Japanese (language 1 English, 0 Japanese); OVER LENGTH, OVER CHIP and
// SPINDLE take no suffix; with nothing recorded, the suffix alone. Writes at most capacity bytes
// with the NUL (cut at a character boundary); returns the length.
int BuildCollisionKindText(const InterferenceKindSet& kinds, char* out, std::size_t capacity,
                           int language);

}  // namespace mirexa
