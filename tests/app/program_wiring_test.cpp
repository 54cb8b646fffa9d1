// The program's own start-up wiring: after it every hook of every hooks record is filled, except
// the named hooks that wait for a feature not built yet.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "app/program_wiring.h"
#include "platform/backend.h"
#include "platform/menus.h"
#include "platform/window.h"

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

// The desktop's native side is one feature: every field of the records a real-window backend
// fills waits for it, and none of them is left off the list.
TEST(ProgramWiring, RealWindowRecordsWaitWholeForTheRealWindowBackend) {
    const std::map<std::string, std::size_t> sizes = {
        {"RealWindowBackend", sizeof(RealWindowBackend)},
        {"GuiPump", sizeof(GuiPump)},
        {"MenuBackendHooks", sizeof(MenuBackendHooks)},
    };
    std::map<std::string, std::size_t> listed;
    for (const WaitingHook& hook : ListWaitingHooks()) {
        if (sizes.count(hook.record) != 0) {
            EXPECT_STREQ(hook.feature, "the real-window backend")
                << hook.record << "." << hook.field;
            ++listed[hook.record];
        }
    }
    for (const auto& [record, size] : sizes) {
        EXPECT_EQ(listed[record], size / sizeof(void*)) << record;
    }
}

}  // namespace
}  // namespace mirexa
