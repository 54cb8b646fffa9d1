// The offset synchronisation plug-in's GET and PUT: what each hands over and takes back, and the
// panel panes that call them.
#include <gtest/gtest.h>

#include "config/offset_memory.h"
#include "config/offset_tables.h"
#include "nc/plugin_slots.h"
#include "plugins/mirexa_plugin.h"
#include "shell/info_panel.h"
#include "shell/plugin_host.h"

namespace mirexa {
namespace {

float seenD1 = 0.0f;
float seenWorkX = 0.0f;

// A machine that reports D1 as 4.5 and G54 X as -100 after a GET, and records what a PUT gave.
void FakeGet(float* d, float*, float*, float*, float* work, int* changed) {
    d[0] = 4.5f;
    work[0] = -100.0f;
    *changed = 0;  // no controller file is named here: nothing to rewrite
}
void FakePut(float* d, float*, float*, float*, float* work, int*) {
    seenD1 = d[0];
    seenWorkX = work[0];
}

TEST(OffsetSync, GetTakesTheMachinesOffsetsAndPutHandsOursOver) {
    PluginSlots.family[kPluginSync] = PluginFamilySlots{};
    EXPECT_EQ(SyncOffsetsAvailable(1), 0);
    EXPECT_EQ(SynchronizeOffsets(1), 0);
    PluginFamilySlots& sync = PluginSlots.family[kPluginSync];
    sync.count = 1;
    sync.slot[0].module = static_cast<SharedLibraryHandle>(&sync);  // stands for a loaded one
    sync.slot[0].exports[kSyncGet] = reinterpret_cast<void*>(&FakeGet);
    sync.slot[0].exports[kSyncPut] = reinterpret_cast<void*>(&FakePut);
    PluginSlots.syncPanesEnabled.store(0);
    EXPECT_EQ(SyncOffsetsAvailable(0), 0);  // the machine file did not enable it
    PluginSlots.syncPanesEnabled.store(1);

    ToolOffsets.d[1] = 2.0f;
    WorkOffsetTable[1].axis[0] = -250.0;
    ASSERT_EQ(SynchronizeOffsets(0), 1);
    EXPECT_EQ(seenD1, 2.0f);
    EXPECT_EQ(seenWorkX, -250.0f);
    EXPECT_EQ(ToolOffsets.d[1], 2.0f);  // a PUT changes nothing here
    ASSERT_EQ(SynchronizeOffsets(1), 1);
    EXPECT_EQ(ToolOffsets.d[1], 4.5f);
    EXPECT_EQ(WorkOffsetTable[1].axis[0], -100.0);

    // The panel shows the two panes only while the plug-in is there.
    InfoPanelInputs in = CollectInfoPanelInputs();
    EXPECT_EQ(in.syncGet, 1);
    EXPECT_EQ(in.syncPut, 1);
    int panes = 0;
    for (const PanelPane& pane : BuildInfoPanelPanes(in)) {
        panes += pane.id == kPaneSyncGet || pane.id == kPaneSyncPut;
    }
    EXPECT_EQ(panes, 2);

    PluginSlots.family[kPluginSync] = PluginFamilySlots{};
    PluginSlots.syncPanesEnabled.store(0);
    ToolOffsets = {};
    WorkOffsetTable[1] = {};
}

}  // namespace
}  // namespace mirexa
