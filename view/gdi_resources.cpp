// The view's pens, brush and cursors, and the application of edited colours.
#include "view/gdi_resources.h"

#include "stock/stock_model.h"
#include "view/display_lists.h"
#include "view/gl_colors.h"
#include "view/stock_display.h"

namespace mirexa {

const int ViewCursorIds[kViewCursorCount] = {238, 239, 240, 241, 242, 243, 244, 245, 246, 247, 248,
                                             249, 250, 251, 252, 253, 254, 255, 257, 258, 265, 266};

PluginPenColorLists PluginPenColors;
GdiResourceSet GdiResources;

namespace {

constexpr ColorRef kGreyPenColor = 0xBFBFBF;
constexpr int kPluginPenStyleList[kPluginPenStyles] = {kPenSolid, kPenDot, kPenDashDot};

// What shows a colour, and so what a change of it flags.
enum ColorUse : int {
    kUseStock,
    kUseBasicShape,
    kUsePath,
    kUsePathNoRotary,
    kUseConstruction,
    kUseTools,
    kUseHeadParts,
    kUseHead1,
    kUseHead2,
    kUseTableParts,
    kUseTable1,
    kUseTable2,
    kUseVice,
    kUseMachineBase,
    kUseBackground,
};

// The alpha of a colour's group.
enum AlphaGroup : int { kAlphaOne, kAlphaWork, kAlphaBase, kAlphaTool, kAlphaMachine };

// Every colour but the work colour and the pens: its field, its GL entry, its alpha, its use.
struct ColorEntry {
    ColorRef ColorSet::*color;
    float (GlColorTable::*gl)[4];
    int alpha;
    int use;
};

const ColorEntry kColorEntries[] = {
    {&ColorSet::penki, &GlColorTable::paint, kAlphaWork, kUseStock},
    {&ColorSet::base, &GlColorTable::base, kAlphaBase, kUseBasicShape},
    {&ColorSet::topPath, &GlColorTable::topPath, kAlphaOne, kUsePath},
    {&ColorSet::topPath2, &GlColorTable::topPath2, kAlphaOne, kUsePathNoRotary},
    {&ColorSet::construction, &GlColorTable::construction, kAlphaOne, kUseConstruction},
    {&ColorSet::toolTop, &GlColorTable::toolTop, kAlphaTool, kUseTools},
    {&ColorSet::toolSide, &GlColorTable::toolSide, kAlphaTool, kUseTools},
    {&ColorSet::arbor, &GlColorTable::arbor, kAlphaTool, kUseTools},
    {&ColorSet::head, &GlColorTable::head, kAlphaMachine, kUseHeadParts},
    {&ColorSet::headOneRotary, &GlColorTable::headOneRotary, kAlphaMachine, kUseHeadParts},
    {&ColorSet::headTwoRotary, &GlColorTable::headTwoRotary, kAlphaMachine, kUseHeadParts},
    {&ColorSet::head1, &GlColorTable::head1, kAlphaMachine, kUseHead1},
    {&ColorSet::head2, &GlColorTable::head2, kAlphaMachine, kUseHead2},
    {&ColorSet::table, &GlColorTable::table, kAlphaMachine, kUseTableParts},
    {&ColorSet::tableOneRotary, &GlColorTable::tableOneRotary, kAlphaMachine, kUseTableParts},
    {&ColorSet::table1, &GlColorTable::table1, kAlphaMachine, kUseTable1},
    {&ColorSet::table2, &GlColorTable::table2, kAlphaMachine, kUseTable2},
    {&ColorSet::vice, &GlColorTable::vice, kAlphaMachine, kUseVice},
    {&ColorSet::basic, &GlColorTable::basic, kAlphaMachine, kUseMachineBase},
    {&ColorSet::background, &GlColorTable::background, kAlphaOne, kUseBackground},
};

float GroupAlpha(int group) {
    const DisplayModeSettings& m = DisplayModes;
    switch (group) {
        case kAlphaWork:
            return m.workAlpha;
        case kAlphaBase:
            return m.baseAlpha;
        case kAlphaTool:
            return m.toolAlpha;
        case kAlphaMachine:
            return m.machineAlpha;
        default:
            return 1.0f;
    }
}

// The current stock shows new colours: every block re-meshed, its style list built anew.
void MarkCurrentStockColorsDirty() {
    const int index = CurrentStockIndex.load();
    if (index < 0 || index >= kStockModelSlots) {
        return;
    }
    StockModel& model = StockModels[index];
    if (model.nx == 0) {
        return;
    }
    MarkStockDisplayDirty(&model);
    StyleListState[index].built = 0;
}

void SetWhen(std::atomic<std::uint8_t>* flag, bool condition) {
    if (condition) {
        flag->store(1);
    }
}

void MarkColorUse(int use) {
    const DisplayModeSettings& m = DisplayModes;
    const bool machineShown = m.machineMode != 0;
    SceneDirtyFlags& d = SceneDirty;
    switch (use) {
        case kUseStock:
            MarkCurrentStockColorsDirty();
            break;
        case kUseBasicShape:
            d.basicShape = 1;
            break;
        case kUseConstruction:
        case kUsePath:
        case kUsePathNoRotary:
            SetWhen(&d.path, use != kUsePathNoRotary && m.pathDisplay != 0);
            SetWhen(&d.pathNoRotary, use != kUsePath && m.pathDisplay2 != 0);
            break;
        case kUseTools:
            SetWhen(&d.tools, m.toolMode != 0);
            break;
        case kUseHeadParts:
            SetWhen(&d.headParts, machineShown);
            break;
        case kUseHead1:
            SetWhen(&d.head1, machineShown);
            break;
        case kUseHead2:
            SetWhen(&d.head2, machineShown);
            break;
        case kUseTableParts:
            SetWhen(&d.tableParts, machineShown);
            break;
        case kUseTable1:
            SetWhen(&d.table1, machineShown);
            break;
        case kUseTable2:
            SetWhen(&d.table2, machineShown);
            break;
        case kUseVice:
            SetWhen(&d.vice, machineShown);
            break;
        case kUseMachineBase:
            SetWhen(&d.machineBase, machineShown);
            break;
        case kUseBackground:
            RecreateBackgroundBrush();
            break;
        default:
            break;
    }
}

}  // namespace

int CreatePluginPens() {
    GdiResourceSet& g = GdiResources;
    if (g.pluginPensCreated) {
        return 0;
    }
    g.pluginPensCreated = 1;
    const PluginPenColorLists& lists = PluginPenColors;
    int created = 0;
    const int listCount = lists.listCount < 0                 ? 0
                          : lists.listCount > kPluginPenLists ? kPluginPenLists
                                                              : lists.listCount;
    for (int list = 0; list < listCount; ++list) {
        const int count = lists.colorCount[list];
        for (int c = 0; c < count && c < kPluginPenColors; ++c) {
            for (int s = 0; s < kPluginPenStyles; ++s) {
                g.pluginPens[list][c][s] =
                    CreatePenObject(kPluginPenStyleList[s], 1, lists.colors[list][c]);
                created += g.pluginPens[list][c][s] != nullptr ? 1 : 0;
            }
        }
    }
    return created;
}

int AddShellGdiObject(GdiObjectHandle object) {
    GdiResourceSet& g = GdiResources;
    if (object == nullptr || g.shellObjectCount >= GdiResourceSet::kShellObjectCapacity) {
        return 0;
    }
    g.shellObjects[g.shellObjectCount++] = object;
    return 1;
}

CursorHandle GetViewCursor(int id) {
    for (int i = 0; i < kViewCursorCount; ++i) {
        if (ViewCursorIds[i] == id) {
            CursorHandle& slot = GdiResources.cursors[i];
            if (slot == nullptr) {
                slot = LoadCursorHandle(ResourceCursorName(id));
            }
            return slot;
        }
    }
    return nullptr;
}

CursorHandle SetIdleCursor(int viewMouseMode) {
    CursorHandle cursor = viewMouseMode == 0                      ? LoadCursorHandle(CURSOR_ARROW)
                          : viewMouseMode == kViewMouseModeRotate ? GetViewCursor(kCursorRotateIdle)
                                                                  : GetViewCursor(kCursorIdle);
    SetCursorHandle(cursor);
    return cursor;
}

int CreateGdiResources() {
    DeleteGdiResources();
    GdiResourceSet& g = GdiResources;
    // Cursors.
    g.arrowCursor = LoadCursorHandle(CURSOR_ARROW);
    g.waitCursor = LoadCursorHandle(CURSOR_WAIT);
    for (int id : ViewCursorIds) {
        GetViewCursor(id);
    }
    // Pens.
    g.nullPen = CreatePenObject(kPenNull, 1, 0);
    g.greyPen = CreatePenObject(kPenSolid, 1, kGreyPenColor);
    // Colours: paths, tools, machine, work and pens (the plug-in pens with them), background.
    FillGlColorTable(LiveColors, DisplayModes);
    g.backgroundBrush = CreateSolidBrushObject(LiveColors.background);
    return g.nullPen != nullptr && g.greyPen != nullptr && g.backgroundBrush != nullptr ? 1 : 0;
}

void DeleteGdiResources() {
    GdiResourceSet& g = GdiResources;
    for (int i = 0; i < g.shellObjectCount; ++i) {
        DeleteGdiObject(g.shellObjects[i]);
    }
    DeleteGdiObject(g.backgroundBrush);
    for (auto& list : g.pluginPens) {
        for (auto& color : list) {
            for (GdiObjectHandle pen : color) {
                DeleteGdiObject(pen);
            }
        }
    }
    DeleteGdiObject(g.nullPen);
    DeleteGdiObject(g.greyPen);
    g = GdiResourceSet{};
}

void RecreateBackgroundBrush() {
    DeleteGdiObject(GdiResources.backgroundBrush);
    GdiResources.backgroundBrush = CreateSolidBrushObject(LiveColors.background);
}

void ShowLiveColors() {
    FillGlColorTable(LiveColors, DisplayModes);
    RecreateBackgroundBrush();
    MarkCurrentStockColorsDirty();
    // The edit set follows, so that a later application of it changes nothing unasked.
    EditColors = LiveColors;
}

int ApplyColorSettings() {
    ColorSet& live = LiveColors;
    const ColorSet& edit = EditColors;
    GlColorTable& gl = GlColors;
    const float workAlpha = DisplayModes.workAlpha;
    int changed = 0;
    bool stockChanged = false;
    // Work colour and pens: the stock shows them.
    if (edit.work != live.work) {
        live.work = edit.work;
        ColorRefToGlColor(live.work, workAlpha, gl.pens[0]);
        stockChanged = true;
        ++changed;
    }
    for (int pen = 1; pen < 16; ++pen) {
        if (edit.pens[pen] == live.pens[pen]) {
            continue;
        }
        live.pens[pen] = edit.pens[pen];
        if (DisplayModes.colorMode == 0) {
            ColorRefToGlColor(live.pens[pen], workAlpha, gl.pens[pen]);
        }
        stockChanged = true;
        ++changed;
    }
    for (const ColorEntry& entry : kColorEntries) {
        if (edit.*entry.color == live.*entry.color) {
            continue;
        }
        live.*entry.color = edit.*entry.color;
        ColorRefToGlColor(live.*entry.color, GroupAlpha(entry.alpha), gl.*entry.gl);
        if (entry.use == kUseStock) {
            stockChanged = true;
        } else {
            MarkColorUse(entry.use);
        }
        ++changed;
    }
    if (stockChanged) {
        MarkColorUse(kUseStock);
    }
    return changed;
}

}  // namespace mirexa
