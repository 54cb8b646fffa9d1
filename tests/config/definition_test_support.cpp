// The recording hooks of the definition-file tests.
#include "definition_test_support.h"

namespace mirexa::testing {

std::vector<std::string> HookCalls;

void DefinitionFileTest::InstallRecordingHooks() {
    DefinitionFileHooks& h = DefinitionCallbacks;
    h = DefinitionFileHooks{};
    h.freeNcProgramText = [](NcSession&) { HookCalls.push_back("freeNcProgramText"); };
    h.clearWorkOffsetShifts = [](NcSession&) { HookCalls.push_back("clearWorkOffsetShifts"); };
    h.applyControllerStartState = [](NcSession&) {
        HookCalls.push_back("applyControllerStartState");
    };
    h.applyCurrentWorkOffset = [](NcSession&) { HookCalls.push_back("applyCurrentWorkOffset"); };
    h.setLengthOffsetForCurrentTool = [](NcSession&) {
        HookCalls.push_back("setLengthOffsetForCurrentTool");
    };
    h.setToolVectorFromBlockEnd = [](NcSession&) {
        HookCalls.push_back("setToolVectorFromBlockEnd");
    };
    h.setSnapshotToolNumber = [](int n) {
        HookCalls.push_back("setSnapshotToolNumber " + std::to_string(n));
    };
    h.markViewDirty = [] { HookCalls.push_back("markViewDirty"); };
    h.markSceneRebuild = [] { HookCalls.push_back("markSceneRebuild"); };
    h.markToolListDirty = [] { HookCalls.push_back("markToolListDirty"); };
    h.markHeadListsDirty = [] { HookCalls.push_back("markHeadListsDirty"); };
    h.announceMachineName = [](const char* name) {
        HookCalls.push_back(std::string("announceMachineName ") + name);
    };
    h.resetToolPanel = [] { HookCalls.push_back("resetToolPanel"); };
    h.clearPluginToolMark = [](NcSession&) { HookCalls.push_back("clearPluginToolMark"); };
}

}  // namespace mirexa::testing
