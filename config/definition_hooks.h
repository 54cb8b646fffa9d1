// Calls from the definition-file readers (controller, machine, tools) and the current-tool
// selection upward, to the NC interpreter, the view, the dialogs and the shell. Those subsystems
// fill the record at start-up; tests fill it with fakes. A null hook means "nothing there": no
// program held in memory, no view to mark, no panel to reset.
#pragma once

namespace mirexa {

struct NcSession;

struct DefinitionFileHooks {
    // --- NC interpreter --- (each acts on the session whose definitions are being read)
    // Frees the NC program text held in memory with its subprogram index, clears the
    // in-memory flags and the stored NC file time (a controller reading drops them).
    void (*freeNcProgramText)(NcSession& session) = {};
    // Clears the interpreter's per-work-offset shift table (201 entries of five values).
    void (*clearWorkOffsetShifts)(NcSession& session) = {};
    // Takes the start state the controller reading just set (ControllerDefinition: initial
    // plane as chosen machine plane and axes, current and reset work offset index, tool centre
    // control type) into the interpreter's modal and reset state.
    void (*applyControllerStartState)(NcSession& session) = {};
    // Work origin := external offset plus the current work offset entry; rebuilds the
    // work-side frame.
    void (*applyCurrentWorkOffset)(NcSession& session) = {};
    // Sets the length offset of the current tool by the TOOL BASE POINT mode.
    void (*setLengthOffsetForCurrentTool)(NcSession& session) = {};
    // Sets the fixed head-offset vector from the first rotary position of the current block end.
    void (*setToolVectorFromBlockEnd)(NcSession& session) = {};
    // Sets the tool number of the motion snapshot (the tools reader sets -1).
    void (*setSnapshotToolNumber)(int toolNumber) = {};

    // --- View ---
    // The view redraws at the next paint.
    void (*markViewDirty)() = {};
    // Every display list of the scene is rebuilt at the next paint (a new machine).
    void (*markSceneRebuild)() = {};
    // The tool's display list is rebuilt at the next paint.
    void (*markToolListDirty)() = {};
    // The display lists of the head parts and of HEAD1 and HEAD2 are rebuilt.
    void (*markHeadListsDirty)() = {};

    // --- Shell and dialogs ---
    // Hands the machine name to the synchronisation plug-in when one is loaded.
    void (*announceMachineName)(const char* name) = {};
    // The tool display panel's picture mode := 0.
    void (*resetToolPanel)() = {};
    // Clears the mark that the current tool was supplied by an NC communication plug-in.
    void (*clearPluginToolMark)(NcSession& session) = {};
};

// Filled at start-up, before any thread other than the user-interface thread runs.
extern DefinitionFileHooks DefinitionCallbacks;

}  // namespace mirexa
