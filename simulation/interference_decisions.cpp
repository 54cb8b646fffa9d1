// The stop and record decisions of an interfering step, the recorded kinds with the block's
// event count, and the status bar's kind text.
#include "simulation/interference_decisions.h"

#include <cstdio>
#include <cstring>

#include "simulation/interference_messages.h"

namespace mirexa {

namespace {

constexpr const char* kKindNames[kNamedKindCount] = {
    "RAPID(G00)",    "ARBOR",        "OVER LENGTH",  "OVER CHIP",   "TAPER",
    "TOO FAST",      "SPINDLE",      "ATTACHMENT",   "VICE",        "TABLE2",
    "TABLE1",        "TABLE",        "BASIC",        "ARBORvsVICE", "ARBORvsTABLE2",
    "ARBORvsTABLE1", "ARBORvsTABLE", "ARBORvsBASIC", "HEAD2vsWORK", "HEAD2vsVICE",
    "HEAD2vsTABLE",  "HEAD2vsBASIC", "HEAD1vsWORK",  "HEAD1vsVICE", "HEAD1vsTABLE1",
    "HEAD1vsTABLE",  "HEAD1vsBASIC", "HEADvsWORK",   "HEADvsVICE",  "HEADvsTABLE2",
    "HEADvsTABLE1",  "HEADvsTABLE",  "HEADvsBASIC",
};

// Choice values of the checks.
constexpr int kInterferenceStop = 1, kInterferenceRecord = 2;
constexpr int kArborStop = 3, kArborRecord = 4;
constexpr int kLengthStop = 2, kLengthRecord = 3;  // HEIGHT CHECK and CHIP-W CHECK
constexpr int kSpindleStop = 1, kSpindleRecord = 2;
constexpr int kPairStop = 1, kPairRecord = 2;

bool StockContact(const InterferenceStep& s) {
    return s.stockAvailable != 0 && s.contact != 0;
}

bool RapidOrTooFast(const InterferenceStep& s) {
    return s.rapid != 0 || s.tooFast != 0;
}

}  // namespace

const char* GetInterferenceKindName(int kind) {
    return kind >= 0 && kind < kNamedKindCount ? kKindNames[kind] : nullptr;
}

void ClearInterferenceKinds(InterferenceKindSet& kinds) {
    for (std::atomic<std::uint8_t>& byte : kinds.bytes) {
        byte.store(0);
    }
}

void ResetInterferenceKinds(InterferenceKindSet& kinds) {
    ClearInterferenceKinds(kinds);
    kinds.eventCount.store(kNoEvent);
}

void EndWrittenInterferenceEvent(InterferenceKindSet& kinds) {
    std::int32_t written = kEventWritten;
    kinds.eventCount.compare_exchange_strong(written, kNoEvent);
}

void RecordInterferenceKind(InterferenceKindSet& kinds, int kind) {
    if (kind < 0 || kind >= kInterferenceKindBytes) {
        return;
    }
    kinds.bytes[kind].store(1);
    std::int32_t none = kNoEvent;
    kinds.eventCount.compare_exchange_strong(none, kEventRecorded);
}

int InterferenceKindSetFlag(const InterferenceKindSet& kinds, int kind) {
    if (kind < 0 || kind >= kInterferenceKindBytes) {
        return 0;
    }
    return kinds.bytes[kind].load() != 0 ? 1 : 0;
}

int ShouldStopOnInterference(const InterferenceStep& s, const CheckSettings& c) {
    if (StockContact(s)) {
        if (c.interference == kInterferenceStop && RapidOrTooFast(s)) {
            return 1;
        }
        if (c.arborCheck == kArborStop && (s.taper != 0 || s.attachment != 0 || s.arbor != 0)) {
            return 1;
        }
        if (c.heightCheck == kLengthStop && s.overLength != 0) {
            return 1;
        }
        if (c.chipWidthCheck == kLengthStop && s.overChip != 0) {
            return 1;
        }
        if (c.spindleCheck == kSpindleStop && s.spindleStopped != 0) {
            return 1;
        }
    }
    for (int pair = 0; pair < kStructurePairCount; ++pair) {
        if (c.structurePairs[pair] == kPairStop && s.structure[pair] != 0) {
            return 1;
        }
    }
    return 0;
}

int RecordInterferenceBreak(InterferenceKindSet& kinds, const InterferenceStep& s,
                            const CheckSettings& c) {
    if (c.pauseOnEvents == 0) {
        return 1;
    }
    bool recorded = false;
    auto record = [&kinds, &recorded](int kind) {
        RecordInterferenceKind(kinds, kind);
        recorded = true;
    };
    if (StockContact(s)) {
        if (c.arborCheck == kArborRecord) {
            if (s.taper != 0) {
                record(kKindTaper);
            } else if (s.attachment != 0) {
                record(kKindAttachment);
            } else if (s.arbor != 0) {
                record(kKindArbor);
            }
        }
        if (c.heightCheck == kLengthRecord && s.overLength != 0) {
            record(kKindOverLength);
        }
        if (c.chipWidthCheck == kLengthRecord && s.overChip != 0) {
            record(kKindOverChip);
        }
        if (c.spindleCheck == kSpindleRecord && s.spindleStopped != 0) {
            record(kKindSpindle);
        }
        if (c.interference == kInterferenceRecord) {
            if (s.rapid == 0 && s.tooFast != 0) {
                record(kKindTooFast);
            } else if (s.rapid != 0) {
                record(kKindRapid);
            }
        }
    }
    for (int pair = 0; pair < kStructurePairCount; ++pair) {
        if (c.structurePairs[pair] == kPairRecord && s.structure[pair] != 0) {
            record(KindOfStructurePair(pair));
        }
    }
    if (ShouldStopOnInterference(s, c) != 0) {
        return 1;
    }
    return recorded ? 0 : 1;
}

int AnyRecordChoiceApplies(const InterferenceStep& s, const CheckSettings& c) {
    if (c.interference == kInterferenceRecord && s.contact != 0 && RapidOrTooFast(s)) {
        return 1;
    }
    if (c.arborCheck == kArborRecord && (s.arbor != 0 || s.taper != 0 || s.attachment != 0)) {
        return 1;
    }
    if ((c.heightCheck == kLengthRecord && s.overLength != 0) ||
        (c.chipWidthCheck == kLengthRecord && s.overChip != 0)) {
        return 1;
    }
    if (c.spindleCheck == kSpindleRecord && s.spindleStopped != 0 && s.contact != 0) {
        return 1;
    }
    for (int pair = 0; pair < kStructurePairCount; ++pair) {
        if (c.structurePairs[pair] == kPairRecord && s.structure[pair] != 0) {
            return 1;
        }
    }
    return 0;
}

int BuildCollisionKindText(const InterferenceKindSet& kinds, char* out, std::size_t capacity,
                           int language) {
    if (capacity == 0) {
        return 0;
    }
    const char* suffix = language == 1 ? " Collide" : "干渉";
    const char* name = "";
    for (int kind = 0; kind < kNamedKindCount; ++kind) {
        if (InterferenceKindSetFlag(kinds, kind) != 0) {
            name = kKindNames[kind];
            if (kind == kKindOverLength || kind == kKindOverChip || kind == kKindSpindle) {
                suffix = "";
            }
            break;
        }
    }
    char text[64];
    std::snprintf(text, sizeof text, "%s%s", name, suffix);
    CopyMessageText(out, capacity, text);
    return static_cast<int>(std::strlen(out));
}

}  // namespace mirexa
