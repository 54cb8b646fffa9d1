// The controller, machine, tool and settings values the NC interpreter reads, and the hooks
// through which the definition-file readers reach the interpreter.
#include "nc/nc_controller_view.h"

#include <algorithm>

#include "config/config_records.h"
#include "config/current_tool.h"
#include "config/definition_hooks.h"
#include "config/machine_file.h"
#include "config/offset_memory.h"
#include "config/offset_tables.h"
#include "config/tool_profile.h"
#include "config/tool_tables.h"
#include "geometry/machine_kinematics.h"
#include "nc/coordinate_transforms.h"
#include "nc/kinematics_services.h"
#include "nc/nc_line_source.h"
#include "nc/nc_run_state.h"
#include "nc/nc_session.h"

namespace mirexa {

namespace {

// The reversal flag of the word that drives machine axis i: the flag of its program letter
// (CHAR(X) ...), or of the literal X, Y or Z that X-CODE ... wrote.
int WordReversal(const ControllerAxisLetters& axes, int i) {
    const char letter = axes.coordinateLetters[i];
    for (int k = 0; k < 3; ++k) {
        if (axes.programLetters[k] == letter || "XYZ"[k] == letter) {
            return axes.reversed[k];
        }
    }
    return 0;
}

// The controller's settings under their own names; the line source's tables, the reference
// points and the offset memories from their records.
void TakeController(NcControllerView* v) {
    const ControllerDefinition& c = Controller;
    v->dialect = c.dialect;
    v->decimalPointRule = c.decimalPointRule;
    v->angleIncrement = c.angleIncrement;
    v->scaleIncrement = c.scaleIncrement;
    v->replacements = ReplaceTable;
    v->codeCheck = c.codeCheck;
    v->hasAllowedCharacters = c.hasAllowedCharacters;
    v->allowedCharacters = c.allowedCharacters;
    for (int i = 0; i < 10; ++i) {
        v->blockSkip[i] = OptionalBlockSkipFlags.on[i];
    }
    v->blockSkipAny = OptionalBlockSkipFlags.anyOn;
    v->endOfRecord = c.endOfRecord;
    v->runTypeMemory = c.runTypeMemory;
    for (int k = 0; k < 2; ++k) {
        v->latheOnCode[k] = c.latheOnCode[k];
        v->latheOffCode[k] = c.latheOffCode[k];
        v->lathe[k] = c.lathe[k];
    }
    v->cutOnCode = c.cutOnCode;
    v->cutOffCode = c.cutOffCode;
    v->resetCuttingEnabled = c.resetCuttingEnabled;
    v->waitMCodes = c.waitMCodes;
    v->arcRadiusTolerance = c.arcRadiusTolerance;
    v->checkF0 = c.checkF0;
    v->reverseArcCheck = c.reverseArcCheck;
    v->concaveArcFeed = c.concaveArcFeed;
    v->compensationCancelMode = c.compensationCancelMode;
    v->radiusCheckAny = c.radiusCheckAny;
    v->radiusCheckListMode = c.radiusCheckListMode;
    v->initialPlane = c.initialPlane;
    v->axes = c.axes;
    for (int i = 0; i < 3; ++i) {
        v->axisReversed[i] = WordReversal(c.axes, i);
    }
    v->lengthOffsetType = c.lengthOffsetType;
    v->autoLengthOffset = c.autoLengthOffset;
    v->autoLengthPosition = c.autoLengthPosition;
    v->automaticToolOffset = c.automaticToolOffset;
    v->hCodeAuto = c.hCodeAuto;
    v->feedWordMode = c.feedWordMode;
    v->g92Mode = c.g92Mode;
    v->g49Mode = c.g49Mode;
    v->resetToolCenterControl = c.resetToolCenterControl;
    v->returnLevel = c.returnLevel;
    v->ignoreL0 = c.ignoreL0;
    v->ignoreK0 = c.ignoreK0;
    v->rotationAngle = c.rotationAngle;
    v->ospTiltedPlaneCode = c.ospTiltedPlaneCode;
    for (int i = 0; i < 3; ++i) {
        v->scale[i] = c.scale[i];
        v->scaleEffect[i] = c.scaleEffect[i];
    }
    v->wire = c.wire;
    for (int k = 0; k < kReferencePoints; ++k) {
        for (int i = 0; i < 5; ++i) {
            v->referencePoint[k][i] = ReferencePoints[k].axis[i];
        }
        v->referencePointPresent[k] = ReferencePoints[k].present;
    }
    v->offsets.dOffset = ToolOffsets.d;
    v->offsets.dWear = ToolOffsets.dWear;
    v->offsets.hOffset = ToolOffsets.h;
    v->offsets.hWear = ToolOffsets.hWear;
    v->offsets.feedMemory = FeedMemory;
    v->offsets.memoryType = ToolOffsets.type;
    v->g73Peck = c.g73Peck;
    v->g83Peck = c.g83Peck;
    for (int i = 0; i < kCycleClearanceCodes; ++i) {
        v->clearance[i] = c.clearance[i];
    }
    v->rapidType = c.rapidType;
    v->linearRapidPath = c.linearRapidPath;
    v->stopOption = c.stopOption;
    v->stopStrings = c.stopStrings;
}

void TakeMachineAndTool(NcSession& session, NcControllerView* v) {
    const MachineDefinition& m = Machine;
    v->rotaryType = m.rotaryType;
    v->directToolDigits = m.tWordMode == 4 ? m.tWordNumber : 0;
    v->toolHolderOffset = m.toolHolderOffset;
    v->toolChangeRouteSteps = std::clamp(m.route.steps, 0, kToolChangeRouteSteps);
    v->atcType = m.atcType;
    for (int i = 0; i < 5; ++i) {
        v->toolChangePosition[i] = m.toolChangePosition[i];
        for (int step = 0; step < kToolChangeRouteSteps; ++step) {
            v->toolChangeRoute[step][i] = m.route.moves[step][i];
        }
    }
    for (int i = 0; i < 3; ++i) {
        v->rapid[i] = m.rapid[i];
        v->rapidAcceleration[i] = m.rapidAcceleration[i];
    }
    const CurrentToolRecord& t = session.tools->tool;
    v->currentTool.number = t.derivedFrom;
    v->currentTool.type = static_cast<int>(t.tool.type);
    v->currentTool.cornerRadius = t.cornerRadius;
    v->currentTool.cornerCentreHeight = t.cornerCentreHeight;
    v->currentTool.length = t.toolLength;
    v->currentTool.arborTop = session.tools->profile.profileTop;
}

// Hooks of the definition-file readers.
void ClearWorkOffsetShifts(NcSession& session) {
    for (MotionPosition& shift : session.run.transforms.localShift) {
        shift = {};
    }
}

void ApplyControllerStartState(NcSession& session) {
    RefreshNcControllerView(session);
    session.run.modal.planeCode = session.controller.initialPlane;
    SelectPlaneAxes(session);
    session.run.modal.workOffsetIndex = Controller.workOffsetIndex;
    session.run.modal.toolCenterPointMode = Controller.toolCenterControl;
}

void ApplyWorkOffsetOfTable(NcSession& session) {
    for (int i = 0; i < kWorkOffsetEntries; ++i) {
        session.run.transforms.workOffsets[i] = WorkOffsetTable[i];
    }
    ApplyCurrentWorkOffset(session);
}

void SetLengthOffsetOfSelectedTool(NcSession& session) {
    RefreshNcControllerView(session);
    SetLengthOffsetForCurrentTool(session);
}

void SetToolVectorFromBlockEnd(NcSession& session) {
    SetToolVectorFromAngle(session, session.kinematics->motion.end.axis[3]);
}

}  // namespace

void RefreshNcControllerView(NcSession& session) {
    NcControllerView& v = session.controller;
    TakeController(&v);
    TakeMachineAndTool(session, &v);
    v.toolBasePoint = Settings.toolBasePoint;
    v.stepLength = DexelPitch.secondPitch;
    v.magazineCount =
        ToolTableSet.maxMagazine > 0 ? ToolTableSet.maxMagazine : Settings.maxMagazine;
}

void InstallNcServiceHooks() {
    DefinitionCallbacks.freeNcProgramText = FreeNcProgramIndex;
    DefinitionCallbacks.clearWorkOffsetShifts = ClearWorkOffsetShifts;
    DefinitionCallbacks.applyControllerStartState = ApplyControllerStartState;
    DefinitionCallbacks.applyCurrentWorkOffset = ApplyWorkOffsetOfTable;
    DefinitionCallbacks.setLengthOffsetForCurrentTool = SetLengthOffsetOfSelectedTool;
    DefinitionCallbacks.setToolVectorFromBlockEnd = SetToolVectorFromBlockEnd;
    InstallWorkOffsetSource();
    InstallNcProgressHooks();
}

int FindToolByName(const char* name, int length) {
    if (length < 0) {
        return 0;
    }
    const ToolTables& t = ToolTableSet;
    for (int n = 1; n <= t.maxMagazine && static_cast<size_t>(n) < t.tools.size(); ++n) {
        const ToolRecord& tool = t.tools[static_cast<size_t>(n)];
        if (tool.present && tool.name.size() == static_cast<size_t>(length) &&
            tool.name.compare(0, tool.name.size(), name, static_cast<size_t>(length)) == 0) {
            return n;
        }
    }
    return 0;
}

}  // namespace mirexa
