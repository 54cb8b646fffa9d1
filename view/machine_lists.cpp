// The machine's display lists: base models, table and head parts, rotary tables and heads with
// their default solids, vices.
#include "view/machine_lists.h"
#include "view/kept_stock_frame.h"

#include <GL/gl.h>

#include <bitset>

#include <algorithm>

#include "config/machine_file.h"
#include "config/machine_models.h"
#include "config/tool_profile.h"
#include "stock/stock_model.h"
#include "stockio/stl_files.h"
#include "view/camera.h"
#include "view/display_lists.h"
#include "view/gl_colors.h"
#include "view/solid_primitives.h"

namespace mirexa {

double DefaultTableRadius = 80.0;

namespace {

void EmitStlFacet(void* /*context*/, const double normal[3], const double vertices[9]) {
    glNormal3dv(normal);
    glVertex3dv(vertices);
    glVertex3dv(vertices + 3);
    glVertex3dv(vertices + 6);
}

bool HasModel(int slot) {
    return !MachineModelNames.slots[slot].empty();
}

void DrawSlotModel(int slot) {
    if (HasModel(slot)) {
        DrawStlModel(MachineModelNames.slots[slot].c_str(), MachineModelNames.slotOffsets[slot]);
    }
}

// Builds one fixed list holding a slot's model in a colour (empty without a file).
void BuildSlotList(int id, int slot, const float* color) {
    if (!BeginSceneList(FixedListName(id))) {
        return;
    }
    SetSceneMaterial(color);
    DrawSlotModel(slot);
    EndSceneList();
}

double Scaled(double mm) {
    return mm / DisplayUnitFactor;
}

// The default rotary table of a type about machine axis `axis` at pivot p (mm), for a table
// whose base sits `drop` mm lower (20 for most machines, 40 under a second table).
void DrawDefaultTable(int type, int axis, const double pivot[3], double drop) {
    const double r = DefaultTableRadius;
    double p[3];
    for (int i = 0; i < 3; ++i) {
        p[i] = Scaled(pivot[i]);
    }
    if (type == 1) {
        double lo[3], hi[3];
        for (int i = 0; i < 2; ++i) {
            const double half = (axis != 2 && i == axis ? 1.6 : 1.1) * 2.0 * r;
            lo[i] = p[i] - Scaled(half);
            hi[i] = p[i] + Scaled(half);
        }
        lo[2] = p[2] - Scaled(drop);
        hi[2] = p[2] - Scaled(drop - 20.0);
        DrawBoxSolid(lo, hi);
        // The faceplate stands on the base: upward for a vertical axis, lying on it otherwise.
        double base[3] = {p[0], p[1], hi[2]};
        if (axis != 2) {
            base[2] = hi[2] + Scaled(1.5 * r);
            base[axis] = p[axis] - Scaled(10.0);
        }
        DrawCylinderSolid(base, Scaled(1.5 * r), axis, Scaled(20.0), 20);
    } else if (type == 2 || type == 4) {
        double base[3] = {p[0], p[1], p[2]};
        base[axis] = p[axis] - Scaled(drop);
        DrawCylinderSolid(base, Scaled(2.2 * r), axis, Scaled(20.0), 10);
    } else if (type == 3) {
        // A spindle between two discs, sized from the stock.
        double e = 1.0, w = 50.0, start = p[axis];
        const int index = CurrentStockIndex.load();
        const StockModel* stock =
            index >= 0 && index < kStockModelSlots ? &StockModels[index] : nullptr;
        const int next = (axis + 1) % 3;
        if (stock != nullptr && stock->nx > 0 && stock->maxCorner != nullptr) {
            e = stock->maxCorner[axis] - stock->minCorner[axis];
            w = stock->maxCorner[next] - stock->minCorner[next];
            start = Scaled(stock->minCorner[axis] - e);
        } else {
            start = p[axis] - Scaled(e);
        }
        double base[3] = {p[0], p[1], p[2]};
        base[axis] = start;
        DrawCylinderSolid(base, Scaled(w / 6.0), axis, Scaled(3.0 * e), 4);
        double disc[3] = {p[0], p[1], p[2]};
        disc[axis] = start - Scaled(w / 10.0);
        DrawCylinderSolid(disc, Scaled(w / 2.0), axis, Scaled(w / 10.0), 20);
        disc[axis] = start + Scaled(3.0 * e);
        DrawCylinderSolid(disc, Scaled(w / 2.0), axis, Scaled(w / 10.0), 20);
    }
}

// A cylinder of n sides along a machine axis, centred on the point (display units) along and
// across the axis. Nothing for a radius or length of 0.
void DrawCentredCylinder(const double centre[3], int axis, double radius, double length) {
    if (!(radius > 0.0) || !(length > 0.0)) {
        return;
    }
    double base[3] = {centre[0], centre[1], centre[2]};
    base[axis] -= length / 2.0;
    DrawCylinderSolid(base, radius, axis, length, 20);
}

}  // namespace

namespace {

// The fixed lists built in the context of DisplayListBase: asking the GL whether a name holds a
// list, or calling one that does not, costs a software renderer a search of the whole reserved
// name range.
struct FixedListsBuilt {
    std::uint32_t base = 0;
    std::bitset<kStockListOffset> ids;
};
FixedListsBuilt fixedBuilt;

// The fixed list id of a list name of the current context, else -1.
int FixedListId(std::uint32_t name) {
    if (fixedBuilt.base != DisplayListBase) {
        fixedBuilt = FixedListsBuilt{DisplayListBase, {}};
    }
    if (DisplayListBase == 0 || name <= DisplayListBase ||
        name - DisplayListBase >= kStockListOffset) {
        return -1;
    }
    return static_cast<int>(name - DisplayListBase);
}

}  // namespace

void ForgetBuiltFixedLists() {
    fixedBuilt = FixedListsBuilt{};
}

int IsFixedListBuilt(int id) {
    const std::uint32_t name = FixedListName(id);
    return name != 0 && FixedListId(name) == id && fixedBuilt.ids.test(id) ? 1 : 0;
}

void DeleteSceneList(std::uint32_t name) {
    const int fixed = FixedListId(name);
    if (fixed >= 0 && !fixedBuilt.ids.test(fixed)) {
        return;
    }
    if (name != 0 && glIsList(name)) {
        glDeleteLists(name, 1);
        ++SceneListGeneration;
    }
    if (fixed >= 0) {
        fixedBuilt.ids.reset(fixed);
    }
}

int BeginSceneList(std::uint32_t name) {
    if (name == 0) {
        return 0;
    }
    DeleteSceneList(name);
    if (const int fixed = FixedListId(name); fixed >= 0) {
        fixedBuilt.ids.set(fixed);
    }
    glNewList(name, GL_COMPILE);
    ++SceneListGeneration;
    return 1;
}

void EndSceneList() {
    glEndList();
}

void SetSceneMaterial(const float rgba[4]) {
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, rgba);
}

void DrawStlModel(const char* path, const double offset[3]) {
    const int format = DetectStlFormat(path);
    if (format == kStlFormatNone) {
        return;
    }
    glBegin(GL_TRIANGLES);
    // No stock rotation: only the swing choice of the stock open dialog turns the drawn STL
    // files, and that dialog is not built yet (the shell's swingDialog hook waits for it).
    DrawStlFile(format, path, offset, StlDisplayRotation{}, DisplayUnitFactor, EmitStlFacet,
                nullptr);
    glEnd();
}

double CurrentToolOutlineRadius() {
    const ToolProfile& p = RunTools.profile;
    if (p.pointCount < 1 || p.pointCount > kProfilePointCapacity) {
        return 0.0;
    }
    return p.radii[p.pointCount - 1];
}

void BuildMachineBaseModelsList() {
    SceneDirty.machineBase = 0;
    if (MachineModelNames.basicNames.empty() || !BeginSceneList(FixedListName(kListMachineBase))) {
        return;
    }
    SetSceneMaterial(GlColors.basic);
    for (const std::string& name : MachineModelNames.basicNames) {
        if (!name.empty()) {
            DrawStlModel(name.c_str(), MachineModelNames.basicOffset);
        }
    }
    EndSceneList();
}

void BuildTablePartLists() {
    SceneDirty.tableParts = 0;
    BuildSlotList(kListTable, kModelTable, GlColors.table);
    BuildSlotList(kListTableX, kModelTableX, GlColors.tableOneRotary);
    BuildSlotList(kListTableY, kModelTableY, GlColors.tableOneRotary);
    BuildSlotList(kListTableZ, kModelTableZ, GlColors.tableOneRotary);
}

void BuildViceList() {
    SceneDirty.vice = 0;
    const auto& names = MachineModelNames.viceNames;
    if (names.empty() || !BeginSceneList(FixedListName(kListVice))) {
        return;
    }
    SetSceneMaterial(GlColors.vice);
    for (std::size_t i = 0; i < names.size() && i < kModelListCapacity; ++i) {
        if (!names[i].empty()) {
            DrawStlModel(names[i].c_str(), MachineModelNames.viceOffsets[i]);
        }
    }
    EndSceneList();
}

void BuildHeadPartLists() {
    SceneDirty.headParts = 0;
    if (BeginSceneList(FixedListName(kListHead))) {
        SetSceneMaterial(GlColors.head);
        if (HasModel(kModelHead)) {
            DrawSlotModel(kModelHead);
        } else if (Machine.rotaryType == 2 && !HasModel(kModelHead1)) {
            // A block around the tool axis above the holder; a missing tool counts as radius
            // 0, which leaves the block its 50 mm minimum.
            const double s = std::max(50.0, 4.5 * CurrentToolOutlineRadius());
            const double lo[3] = {Scaled(-s), Scaled(-s), Scaled(Machine.toolHolderOffset)};
            const double hi[3] = {Scaled(s), Scaled(s), Scaled(Machine.toolHolderOffset + 50.0)};
            DrawBoxSolid(lo, hi);
        }
        EndSceneList();
    }
    BuildSlotList(kListHeadX, kModelHeadX, GlColors.headOneRotary);
    BuildSlotList(kListHeadY, kModelHeadY, GlColors.headOneRotary);
    BuildSlotList(kListHeadZ, kModelHeadZ, GlColors.headOneRotary);
    BuildSlotList(kListHeadXY, kModelHeadXY, GlColors.headTwoRotary);
    BuildSlotList(kListHeadYZ, kModelHeadYZ, GlColors.headTwoRotary);
    BuildSlotList(kListHeadXZ, kModelHeadZX, GlColors.headTwoRotary);
}

void BuildHead1PartList() {
    SceneDirty.head1 = 0;
    if (!BeginSceneList(FixedListName(kListHead1))) {
        return;
    }
    SetSceneMaterial(GlColors.head1);
    if (HasModel(kModelHead1)) {
        DrawSlotModel(kModelHead1);
    } else if (Machine.headType[0] == 2 && (Machine.rotaryType == 1 || Machine.rotaryType == 3)) {
        // Centred on rotary axis 1, which passes through the head position on a mixed machine.
        const double size = Scaled(1.5 * CurrentToolOutlineRadius());
        double centre[3] = {0, 0, 0};
        if (Machine.rotaryType == 3) {
            for (int i = 0; i < 3; ++i) {
                centre[i] = Scaled(Machine.headPosition[i]);
            }
        }
        DrawCentredCylinder(centre, Machine.rotary[0].ownAxis, size, size);
    }
    EndSceneList();
}

void BuildHead2PartList() {
    SceneDirty.head2 = 0;
    if (Machine.rotaryType != 1 || !BeginSceneList(FixedListName(kListHead2))) {
        return;
    }
    SetSceneMaterial(GlColors.head2);
    if (HasModel(kModelHead2)) {
        DrawSlotModel(kModelHead2);
    } else if (Machine.headType[1] == 2) {
        const double size = Scaled(CurrentToolOutlineRadius());
        const double centre[3] = {Scaled(-Machine.headOffset[0]), Scaled(-Machine.headOffset[1]),
                                  Scaled(-Machine.headOffset[2])};
        DrawCentredCylinder(centre, Machine.rotary[1].ownAxis, size, size);
    }
    EndSceneList();
}

void BuildTable1PartList() {
    SceneDirty.table1 = 0;
    if (!BeginSceneList(FixedListName(kListTable1))) {
        return;
    }
    SetSceneMaterial(GlColors.table1);
    if (HasModel(kModelTable1)) {
        DrawSlotModel(kModelTable1);
    } else if (Machine.rotaryType != 1) {
        const int axis =
            Machine.rotaryType == 3 ? Machine.rotary[1].ownAxis : Machine.rotary[0].ownAxis;
        const double drop = Machine.rotaryType == 2 ? 40.0 : 20.0;
        DrawDefaultTable(Machine.tableType[0], axis, Machine.tablePosition, drop);
    }
    EndSceneList();
}

void BuildTable2PartList() {
    SceneDirty.table2 = 0;
    if (Machine.rotaryType != 2 || !BeginSceneList(FixedListName(kListTable2))) {
        return;
    }
    SetSceneMaterial(GlColors.table2);
    if (HasModel(kModelTable2)) {
        DrawSlotModel(kModelTable2);
    } else {
        DrawDefaultTable(Machine.tableType[1], Machine.rotary[1].ownAxis, Machine.secondTableCentre,
                         20.0);
    }
    EndSceneList();
}

}  // namespace mirexa
