// The program's own start-up wiring: after it every hook of every hooks record is filled, except
// the named hooks that wait for a feature not built yet.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "app/program_wiring.h"
#include "platform/backend.h"

namespace mirexa {
namespace {

TEST(ProgramWiring, EveryHookIsFilledOrWaitsForANamedFeature) {
    StartPlatformBackend(PlatformBackend::Headless);
    ConnectProgram();
    std::set<std::pair<std::string, std::size_t>> waiting;
    for (const WaitingHook& hook : ListWaitingHooks()) {
        std::printf("waiting: %s.%s for %s\n", hook.record, hook.field, hook.feature);
        EXPECT_TRUE(waiting.insert({hook.record, hook.offset}).second) << hook.field;
    }
    std::set<std::pair<std::string, std::size_t>> unused = waiting;
    for (const HookRecordEntry& record : ListHookRecords()) {
        ASSERT_EQ(record.size % sizeof(void*), 0u) << record.name;
        const auto* bytes = static_cast<const unsigned char*>(record.address);
        for (std::size_t offset = 0; offset < record.size; offset += sizeof(void*)) {
            std::uintptr_t word = 0;
            std::memcpy(&word, bytes + offset, sizeof word);
            const bool listed = waiting.count({record.name, offset}) != 0;
            unused.erase({record.name, offset});
            if (listed) {
                EXPECT_EQ(word, 0u) << record.name << " + " << offset << " is filled and listed";
            } else {
                EXPECT_NE(word, 0u) << record.name << " + " << offset << " is empty";
            }
        }
    }
    EXPECT_TRUE(unused.empty()) << "a waiting hook names no field of a record";
}

}  // namespace
}  // namespace mirexa
