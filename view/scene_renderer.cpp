// The scene renderer: list rebuilds and the fixed drawing order of one frame.
#include "view/scene_renderer.h"

#include <GL/gl.h>

#include "config/config_records.h"
#include "config/current_tool.h"
#include "config/machine_file.h"
#include "config/machine_models.h"
#include "config/tool_profile.h"
#include "config/tools_file.h"
#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "simulation/cutting_run.h"
#include "view/camera.h"
#include "view/driver_memory.h"
#include "view/gl_colors.h"
#include "view/kept_stock_frame.h"
#include "view/machine_lists.h"
#include "view/marker_lists.h"
#include "view/stock_display.h"
#include "view/tool_lists.h"
#include "view/view_hooks.h"

namespace mirexa {

SceneDisplayState SceneDisplay;

namespace {

bool sceneRendering = false;

bool HasModel(int slot) {
    return !MachineModelNames.slots[slot].empty();
}

// Calls the list when it was built (calling a missing one draws nothing, slowly).
void CallFixedList(int id) {
    if (IsFixedListBuilt(id)) {
        glCallList(FixedListName(id));
    }
}

void SetBlending(int mode) {
    if (mode == 2) {
        glEnable(GL_BLEND);
    } else if (mode == 1) {
        glDisable(GL_BLEND);
    }
}

// The rotary angles (deg) as drawn: each times its axis's sign, the animated axis advanced by
// 10 deg per count.
void DrawnRotaryAngles(double angles[2]) {
    for (int i = 0; i < 2; ++i) {
        angles[i] = RunKinematics.pose.machine.axis[3 + i] * CurrentMachine.rotary[i].sign;
        if (SceneDisplay.animationAxis == 3 + i) {
            angles[i] += 10.0 * SceneDisplay.animationCounter;
        }
    }
}

// translate(pivot), rotate(angle about the axis's direction), translate(-pivot); pivot in mm.
void RotateAboutPivot(const double pivot[3], double angle, int rotaryIndex) {
    const double* v = Machine.rotary[rotaryIndex].direction;
    const double p[3] = {pivot[0] / DisplayUnitFactor, pivot[1] / DisplayUnitFactor,
                         pivot[2] / DisplayUnitFactor};
    glTranslated(p[0], p[1], p[2]);
    glRotated(angle, v[0], v[1], v[2]);
    glTranslated(-p[0], -p[1], -p[2]);
}

// The station offset (mm) of the current tool when it is a mounted tool, else null.
const double* MountedStationOffset() {
    const int current = RunTools.tool.derivedFrom;
    if (current < 0 || current >= kMountedToolEntries || !MountedTools.flags[current]) {
        return nullptr;
    }
    return MountedTools.positions[current];
}

// Lists 31 and 32: the tool path in its colour, filled by the path drawing.
void BuildPathList(int id, const float* color, int withoutRotary) {
    if (!BeginSceneList(FixedListName(id))) {
        return;
    }
    SetSceneMaterial(color);
    glColor4fv(color);
    if (ViewCallbacks.drawToolPath != nullptr) {
        ViewCallbacks.drawToolPath(withoutRotary);
    }
    EndSceneList();
}

// Step 4: everything flagged, in the fixed order.
void RebuildDirtyLists(StockModel* model, StockListNameTable* table) {
    // The stock's blocks are meshed from the stock itself: during a run only while its thread
    // waits for a frame or at a stop block, so that a paint in between (an exposure, a window
    // shown) neither reads rays being cut nor clears the marks of blocks cut meanwhile. The
    // blocks keep their marks and the run's next frame meshes them.
    if (MayReadRunStock()) {
        RefreshStockDisplay(model, table, CurrentStockIndex.load());
    }
    if (BasicModel.nx == 0) {
        DeleteSceneList(FixedListName(kListBasicShape));
    } else if (SceneDirty.basicShape && DisplayModes.baseMode != 0) {
        BuildBasicShapeList();
    }
    if (SceneDirty.triad) {
        BuildOrientationTriadList();
    }
    if (SceneDirty.axes) {
        BuildCoordinateAxesList();
    }
    if (SceneDirty.machineBase) {
        BuildMachineBaseModelsList();
    }
    // A path list runs the whole NC program: it is built only while it is shown (the flag stays
    // set until then).
    if (SceneDirty.path && DisplayModes.pathDisplay != 0) {
        SceneDirty.path = 0;
        BuildPathList(kListPath, GlColors.topPath, 0);
    }
    if (SceneDirty.pathNoRotary && DisplayModes.pathDisplay2 != 0) {
        SceneDirty.pathNoRotary = 0;
        BuildPathList(kListPathNoRotary, GlColors.topPath2, 1);
    }
    if (SceneDirty.tools) {
        bool mounted = false;
        {
            std::lock_guard<const MountedToolsSide> lock(MountedToolsForView);
            mounted = MountedTools.count > 0 &&
                      (RunTools.tool.derivedFrom == 0 || MountedStationOffset() != nullptr);
        }
        if (mounted) {
            BuildMountedToolsList();
        } else {
            BuildCurrentToolList();
        }
    }
    if (SceneDirty.headParts) {
        BuildHeadPartLists();
    }
    if (SceneDirty.head1) {
        BuildHead1PartList();
    }
    if (SceneDirty.head2) {
        BuildHead2PartList();
    }
    if (SceneDirty.tableParts) {
        BuildTablePartLists();
    }
    if (SceneDirty.table1) {
        BuildTable1PartList();
    }
    if (SceneDirty.table2) {
        BuildTable2PartList();
    }
    if (SceneDirty.vice) {
        BuildViceList();
    }
    if (SceneDirty.pickedPoint == 2) {
        BuildPickedPointList();
    }
    if (SceneDisplay.rotationCentreShown) {
        BuildRotationCentreList();
    }
}

// Step 8: the table turns of step 10.5 undone, so that the table stands still on screen.
void FollowRotaryTable(const double angles[2]) {
    if (Machine.rotaryType == 2) {
        RotateAboutPivot(Machine.secondTableCentre, angles[1], 1);
        RotateAboutPivot(Machine.tablePosition, angles[0], 0);
    } else if (Machine.rotaryType == 3) {
        RotateAboutPivot(Machine.tablePosition, angles[1], 1);
    }
}

// Steps 10.4 to 10.9: table parts, rotary tables, axes, stock, basic shape and markers.
// With a kept frame under key the table parts and the stock are not drawn again: the kept
// colour and depth are put back where the stock would be drawn; without one they are kept there
// under key (null: nothing kept).
void DrawTableGroup(StockModel* model, StockListNameTable* table, const double tableShift[3],
                    const double angles[2], int m, const StockFrameKey* key, bool restore) {
    const auto CallPrefixList = [restore](int id) {
        if (!restore) {
            CallFixedList(id);
        }
    };
    glPushMatrix();
    if (m < 1) {
        glTranslated(tableShift[0], tableShift[1], tableShift[2]);
    } else {
        static const int kSlots[3] = {kModelTableX, kModelTableY, kModelTableZ};
        static const int kLists[3] = {kListTableX, kListTableY, kListTableZ};
        for (int axis = 0; axis < 3; ++axis) {
            if (HasModel(kSlots[axis])) {
                double shift[3] = {0, 0, 0};
                shift[axis] = tableShift[axis];
                glTranslated(shift[0], shift[1], shift[2]);
                CallPrefixList(kLists[axis]);
                glTranslated(-shift[0], -shift[1], -shift[2]);
            }
        }
        glTranslated(tableShift[0], tableShift[1], tableShift[2]);
        CallPrefixList(kListTable);
    }
    // 10.5 Rotary tables.
    if (Machine.rotaryType == 2) {
        RotateAboutPivot(Machine.tablePosition, -angles[0], 0);
        if (m > 0) {
            CallPrefixList(kListTable1);
        }
        RotateAboutPivot(Machine.secondTableCentre, -angles[1], 1);
        if (m >= 1) {
            CallPrefixList(kListTable2);
            CallPrefixList(kListVice);
        }
    } else if (Machine.rotaryType == 3) {
        RotateAboutPivot(Machine.tablePosition, -angles[1], 1);
        if (m >= 1) {
            CallPrefixList(kListTable1);
            CallPrefixList(kListVice);
        }
    } else if (Machine.rotaryType == 1 && m >= 1) {
        CallPrefixList(kListTable1);
        CallPrefixList(kListVice);
    }
    // 10.6 Axes.
    if (m == 2) {
        glDisable(GL_BLEND);
    }
    glDisable(GL_LIGHTING);
    if (DisplayModes.basicAxis) {
        CallPrefixList(kListAxes);
    }
    glEnable(GL_LIGHTING);
    // 10.7 The stock.
    const int w = DisplayModes.workMode;
    if (w > 0 && !restore) {
        SetBlending(w);
        if (DisplayModes.stockStyle != kStockStyleSurfaces) {
            glDisable(GL_LIGHTING);
        }
        if (model != nullptr && model->nx > 0) {
            if (DisplayModes.stockStyle > kStockStyleWireFrame) {
                const int stock = CurrentStockIndex.load();
                if (stock >= 0 && stock < kStockModelSlots && StyleListState[stock].built) {
                    glCallList(StyleListName(stock));
                }
            } else if (table != nullptr && table->names != nullptr &&
                       model->blocks.listStates != nullptr) {
                const int slot = model->undo.currentSlot;
                if (slot >= 0 && slot < table->rows && slot < model->blocks.listStateRows) {
                    const std::size_t row = static_cast<std::size_t>(slot) * kStockBlockListRow;
                    for (int b = 0; b < model->blocks.count && b < kStockBlockListRow; ++b) {
                        if (model->blocks.listStates[row + b] > 0) {
                            glCallList(table->names[row + b]);
                        }
                    }
                }
            }
        }
        glEnable(GL_LIGHTING);
    }
    if (restore) {
        RestoreKeptStockFrame();
    } else if (key != nullptr) {
        KeepStockFrame(*key);
    }
    // 10.8 The basic shape.
    const int b = DisplayModes.baseMode;
    if (b > 0) {
        SetBlending(b);
        glEnable(GL_LIGHTING);
        if (BasicModel.nx > 0) {
            CallFixedList(kListBasicShape);
        }
    }
    // 10.9 Path and picked point.
    glDisable(GL_LIGHTING);
    if (DisplayModes.pathDisplay) {
        CallFixedList(kListPath);
    }
    if (DisplayModes.pathDisplay2) {
        CallFixedList(kListPathNoRotary);
    }
    if (SceneDirty.pickedPoint > 0) {
        CallFixedList(kListPickedPoint);
    }
    glEnable(GL_LIGHTING);
    glPopMatrix();
}

// Step 11.1: the head parts, each two-axis part under each of its single-axis parents.
void DrawHeadParts(const double headShift[3], int m) {
    if (m < 1) {
        glTranslated(headShift[0], headShift[1], headShift[2]);
        return;
    }
    auto translate = [&](int axis, double sign) {
        double shift[3] = {0, 0, 0};
        shift[axis] = sign * headShift[axis];
        glTranslated(shift[0], shift[1], shift[2]);
    };
    // Parent axis, its list, then the two-axis parts tried in order (slot, list, other axis).
    struct Child {
        int slot, list, axis;
    };
    struct Parent {
        int slot, list, axis;
        Child first, second;
    };
    static const Parent kParents[3] = {
        {kModelHeadX,
         kListHeadX,
         0,
         {kModelHeadXY, kListHeadXY, 1},
         {kModelHeadZX, kListHeadXZ, 2}},
        {kModelHeadY,
         kListHeadY,
         1,
         {kModelHeadXY, kListHeadXY, 0},
         {kModelHeadYZ, kListHeadYZ, 2}},
        {kModelHeadZ,
         kListHeadZ,
         2,
         {kModelHeadZX, kListHeadXZ, 0},
         {kModelHeadYZ, kListHeadYZ, 1}},
    };
    for (const Parent& parent : kParents) {
        if (!HasModel(parent.slot)) {
            continue;
        }
        translate(parent.axis, 1.0);
        CallFixedList(parent.list);
        const Child* child = HasModel(parent.first.slot)    ? &parent.first
                             : HasModel(parent.second.slot) ? &parent.second
                                                            : nullptr;
        if (child != nullptr) {
            translate(child->axis, 1.0);
            CallFixedList(child->list);
            translate(child->axis, -1.0);
        }
        translate(parent.axis, -1.0);
    }
    glTranslated(headShift[0], headShift[1], headShift[2]);
    CallFixedList(kListHead);
}

// Step 11.2: the rotary heads (no animation).
void DrawRotaryHeads(int m) {
    const double a1 = RunKinematics.pose.machine.axis[3] * CurrentMachine.rotary[0].sign;
    const double a2 = RunKinematics.pose.machine.axis[4] * CurrentMachine.rotary[1].sign;
    if (Machine.rotaryType == 1) {
        const double* v1 = Machine.rotary[0].direction;
        glRotated(a1, v1[0], v1[1], v1[2]);
        if (m > 0) {
            CallFixedList(kListHead1);
        }
        double q[3];
        for (int i = 0; i < 3; ++i) {
            q[i] = -Machine.headOffset[i];
        }
        q[Machine.rotary[1].ownAxis] = 0.0;
        RotateAboutPivot(q, a2, 1);
        if (m >= 1) {
            CallFixedList(kListHead2);
        }
    } else if (Machine.rotaryType == 3) {
        RotateAboutPivot(Machine.headPosition, a1, 0);
        if (m >= 1) {
            CallFixedList(kListHead1);
        }
    } else if (Machine.rotaryType == 2 && m >= 1) {
        CallFixedList(kListHead1);
    }
}

}  // namespace

void SplitMachineTranslation(const double machine[3], const unsigned char tableCarries[3],
                             const double* stationOffset, double table[3], double head[3]) {
    for (int axis = 0; axis < 3; ++axis) {
        const double value = machine[axis] / DisplayUnitFactor;
        if (tableCarries[axis]) {
            table[axis] = -value;
            head[axis] = 0.0;
        } else {
            table[axis] = 0.0;
            head[axis] = value;
        }
        if (stationOffset != nullptr) {
            head[axis] -= stationOffset[axis] / DisplayUnitFactor;
        }
    }
}

int IsSceneRendering() {
    return sceneRendering ? 1 : 0;
}

int RenderScene(StockModel* model, StockListNameTable* table) {
    if (DisplayListBase == 0) {
        return 0;  // no context with the view's list names
    }
    if (sceneRendering) {
        if (ViewCallbacks.invalidateView != nullptr) {
            ViewCallbacks.invalidateView();
        }
        return 0;
    }
    // A frame the driver might not have the scratch space for is not rendered: the last
    // picture stays.
    if (!DriverMemoryFitsFrame()) {
        NoteDisplayMemoryShortage();
        return 0;
    }
    sceneRendering = true;
    // 1. A change of the NC program's tool display state rebuilds the tool.
    const int toolState = ViewCallbacks.toolDisplayState ? ViewCallbacks.toolDisplayState() : 1;
    if (toolState != SceneDisplay.lastToolDisplayState) {
        SceneDisplay.lastToolDisplayState = toolState;
        SceneDirty.tools = 1;
    }
    // 2. Table-side and head-side translations.
    // The current tool is read while no mounted-tools pass is selecting tools.
    double tableShift[3], headShift[3];
    {
        std::lock_guard<const MountedToolsSide> lock(MountedToolsForView);
        SplitMachineTranslation(RunKinematics.pose.machine.axis, Machine.tableCarries,
                                MountedStationOffset(), tableShift, headShift);
    }
    // Picking turns a scene point back into work coordinates with the table's displacement
    // (mm): the scene moved the table by tableShift (display units).
    for (int axis = 0; axis < 3; ++axis) {
        SceneFollow.tableDisplacement[axis] = -tableShift[axis] * DisplayUnitFactor;
    }
    // 3. Lighting.
    glEnable(GL_CULL_FACE);
    glEnable(GL_NORMALIZE);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    // A directional light along the settings' LIGHT VECTOR (unit length), set under the identity
    // model-view: it is fixed to the eye and turns with the camera.
    const float lightDirection[4] = {static_cast<float>(Settings.lightVector[0]),
                                     static_cast<float>(Settings.lightVector[1]),
                                     static_cast<float>(Settings.lightVector[2]), 0.0f};
    static const float kAmbient[4] = {0.1f, 0.1f, 0.1f, 1.0f};
    static const float kDiffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    static const float kSpecular[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_POSITION, lightDirection);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kSpecular);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // 4. Rebuilds.
    RebuildDirtyLists(model, table);
    // 5. Clear. A frame whose drawing up to the stock shows what a kept one shows puts that
    // back instead of drawing it again (a step of a run that cut nothing). The selection
    // rectangle and the rotation centre are drawn before the stock at every frame.
    glViewport(0, 0, CurrentView.width, CurrentView.height);
    double angles[2];
    DrawnRotaryAngles(angles);
    StockFrameKey key;
    const bool keepable = !SceneDisplay.rubberBandActive && !SceneDisplay.rotationCentreShown;
    if (keepable) {
        FillStockFrameKey(&key);
        key.model = model;
        key.stockIndex = CurrentStockIndex.load();
        key.undoSlot = model != nullptr ? model->undo.currentSlot : -1;
        std::copy(tableShift, tableShift + 3, key.tableShift);
        std::copy(angles, angles + 2, key.angles);
    }
    const bool restore = keepable && HasKeptStockFrame(key);
    if (!restore) {
        const float* bg = GlColors.background;
        glClearColor(bg[0], bg[1], bg[2], bg[3]);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    glEnable(GL_DEPTH_TEST);
    // 6. Screen-space overlay.
    if (!restore) {
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        if (SceneDisplay.rubberBandActive && ViewCallbacks.drawSelectionRectangle != nullptr) {
            ViewCallbacks.drawSelectionRectangle();
        }
        CallFixedList(kListTriad);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
    }
    glLoadIdentity();
    glEnable(GL_LIGHTING);
    // 7. Camera.
    ApplyModelViewTransform(CurrentView);
    // 8, 9. The view following the table.
    if (SceneFollow.followRotaryAxes) {
        FollowRotaryTable(angles);
    }
    if (SceneFollow.followLinearAxes) {
        glTranslated(-tableShift[0], -tableShift[1], -tableShift[2]);
    }
    // 10. Table group.
    const int m = DisplayModes.machineMode;
    if (SceneDisplay.rotationCentreShown) {
        glDisable(GL_LIGHTING);
        CallFixedList(kListRotationCentre);
        glEnable(GL_LIGHTING);
    }
    SetBlending(m);
    if (m >= 1 && !MachineModelNames.basicNames.empty() && !restore) {
        CallFixedList(kListMachineBase);
    }
    DrawTableGroup(model, table, tableShift, angles, m, keepable ? &key : nullptr, restore);
    // 11. Head group.
    SetBlending(m);
    DrawHeadParts(headShift, m);
    DrawRotaryHeads(m);
    // 12. Tools.
    const int t = DisplayModes.toolMode;
    SetBlending(t);
    if (t >= 1) {
        CallFixedList(kListTools);
    }
    glLoadIdentity();
    sceneRendering = false;
    return 1;
}

}  // namespace mirexa
