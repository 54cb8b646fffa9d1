// Calls from the configuration readers upward (the view, the plug-in host). The shell fills the
// record at start-up; tests fill it with fakes. A null hook means "nothing there".
#pragma once

#include <string>

namespace mirexa {

struct ConfigHooks {
    // View: recomputes the view's sines and cosines from Settings.angleA and Settings.angleB.
    void (*updateViewTrig)() = {};
    // Plug-in host: the editor plug-in's program hook. Called with the EXEC_PROGRAM value, which
    // it may rewrite; 1 when an editor plug-in answered, which makes the editor kind
    // kEditorPlugin, 0 when there is none (the value is then unchanged).
    int (*editorProgram)(std::string* program) = {};
    // Plug-in host: the editor plug-in's option hook, called with the EXEC_OPTION value, which
    // it may rewrite.
    void (*editorOption)(std::string* option) = {};
};
extern ConfigHooks ConfigCallbacks;

}  // namespace mirexa
