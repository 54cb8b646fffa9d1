// The view's record of upward calls, and the view's answers to the definition-file readers.
#include "view/view_hooks.h"

#include "config/definition_hooks.h"
#include "config/machine_file.h"
#include "view/camera.h"
#include "view/display_lists.h"

namespace mirexa {

ViewHooks ViewCallbacks;

namespace {

void MarkViewDirty() {
    CurrentView.viewChanged = 1;
    if (ViewCallbacks.invalidateView != nullptr) {
        ViewCallbacks.invalidateView();
    }
}

// A new machine: its parts, its tools and the way its axes lie on the screen.
void MarkSceneRebuild() {
    MarkAllSceneListsDirty();
    CurrentView.orientationCode = Machine.axisDirection;
    MarkViewDirty();
}

void MarkToolListDirty() {
    SceneDirty.tools = 1;
}

void MarkHeadListsDirty() {
    SceneDirty.headParts = 1;
    SceneDirty.head1 = 1;
    SceneDirty.head2 = 1;
}

}  // namespace

void InstallViewDefinitionCallbacks() {
    DefinitionCallbacks.markViewDirty = MarkViewDirty;
    DefinitionCallbacks.markSceneRebuild = MarkSceneRebuild;
    DefinitionCallbacks.markToolListDirty = MarkToolListDirty;
    DefinitionCallbacks.markHeadListsDirty = MarkHeadListsDirty;
}

}  // namespace mirexa
