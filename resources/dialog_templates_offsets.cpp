// Templates of the offset and work coordinate dialogs: the D/H offset pages, the work coordinate
// pages with the external offset, the control point and the modeless basis-point note.
#include "resources/dialog_template_builders.h"
#include "resources/dialog_templates.h"

namespace mirexa {

namespace {

using namespace templates;

constexpr const char* kAxisLabels[5] = {"X :", "Y :", "Z :", "A :", "B :"};

constexpr auto MakeControlPointControls() {
    ControlList<14> list;
    list.Add(Radio(1399, 15, 8, 80, "ワーク座標", "Work Coordinate", kGroupStart));
    list.Add(Radio(1400, 100, 8, 90, "機械座標", "Machine Coordinate"));
    for (int axis = 0; axis < 5; ++axis) {
        const int y = 24 + 14 * axis;
        list.Add(Label(1189 + axis, 15, y + 2, 20, kAxisLabels[axis], nullptr));
        list.Add(Field(156 + axis, 40, y, 60));
    }
    list.Add(Ok(87, 100));
    list.Add(Cancel(143, 100));
    return list;
}
constexpr auto kControlPoint = MakeControlPointControls();

constexpr ControlTemplate kBasisNote[] = {
    Label(1192, 7, 5, 136, "制御基準点は", "Control Basis Point is"),
    Label(1049, 7, 15, 136, "機械基準点と同じです。", "same as Machine Basis Point."),
    Label(1189, 15, 27, 15, "X :", nullptr),
    Value(1050, 35, 27, 50),
    Label(1190, 15, 37, 15, "Y :", nullptr),
    Value(1051, 35, 37, 50),
    Label(1191, 15, 47, 15, "Z :", nullptr),
    Value(1052, 35, 47, 50),
    Label(1193, 7, 58, 136, "(機械座標)", "in Machine Coordinate."),
};

// Dialog 234: 20 rows in two columns of ten (label, offset, wear), one set of fields that every
// tab page shows.
constexpr auto MakeOffsetCodeControls() {
    ControlList<70> list;
    list.Add(Make(ControlKind::TabBar, 1070, 7, 7, 256, 14, "", nullptr, kTabStop));
    list.Add(Label(1194, 39, 25, 45, "補正量", "Offset", kAlignCenter));
    list.Add(Label(1195, 87, 25, 45, "摩耗", "Wear", kAlignCenter));
    list.Add(Label(1196, 167, 25, 45, "補正量", "Offset", kAlignCenter));
    list.Add(Label(1197, 215, 25, 45, "摩耗", "Wear", kAlignCenter));
    for (int row = 0; row < 20; ++row) {
        const int x = 11 + 128 * (row / 10);
        const int y = 36 + 14 * (row % 10);
        list.Add(Label(1071 + row, x, y + 2, 26, "", nullptr));
        list.Add(Field(1091 + row, x + 28, y, 45));
        list.Add(Field(1111 + row, x + 76, y, 45));
    }
    list.Add(Check(1131, 7, 182, 100, "CTLファイルを変更", "Modify CTL-File"));
    list.Add(Ok(157, 180));
    list.Add(Cancel(213, 180));
    return list;
}
constexpr auto kOffsetCodes = MakeOffsetCodeControls();

// Dialog 263: ten rows (state button, five values, "Stylus Set"), then the external offset.
constexpr auto MakeWorkCoordinateControls() {
    ControlList<90> list;
    list.Add(Make(ControlKind::TabBar, 1070, 7, 7, 386, 14, "", nullptr, kTabStop));
    list.Add(Label(1442, 7, 24, 60, "状態", "State"));
    list.Add(Label(1440, 80, 24, 200, "ワーク座標系", "Workpiece Coordinate"));
    list.Add(Label(1441, 332, 24, 60, "計測値設定", "Stylus Set"));
    for (int axis = 0; axis < 5; ++axis) {
        list.Add(
            Label(1189 + axis, 80 + 50 * axis, 34, 45, kAxisLabels[axis], nullptr, kAlignCenter));
    }
    for (int row = 0; row < 10; ++row) {
        const int y = 46 + 14 * row;
        list.Add(Radio(1523 + row, 7, y + 1, 60, "", nullptr,
                       row == 0 ? std::uint32_t{kGroupStart} : 0u));
        for (int axis = 0; axis < 5; ++axis) {
            list.Add(Field(1290 + 5 * row + axis, 80 + 50 * axis, y, 48));
        }
        list.Add(Push(1280 + row, 332, y, "計測値", "Stylus Set", 50));
    }
    list.Add(Label(1443, 7, 194, 65, "ワーク原点:", "Work Origin:"));
    constexpr int kExternal[5] = {1340, 1341, 1342, 1343, 1345};
    for (int axis = 0; axis < 5; ++axis) {
        list.Add(Field(kExternal[axis], 80 + 50 * axis, 192, 48));
    }
    list.Add(Check(1131, 7, 212, 100, "CTLファイルを変更", "Modify CTL-File"));
    list.Add(Ok(287, 210));
    list.Add(Cancel(343, 210));
    return list;
}
constexpr auto kWorkCoordinates = MakeWorkCoordinateControls();

}  // namespace

const DialogTemplate OffsetDialogTemplates[4] = {
    {IDD_CONTROL_POINT, "制御点座標値の設定", "Control Point", 200, 120, kDialogTopmost,
     Controls(kControlPoint)},
    {IDD_BASIS_POINT_NOTE, "", nullptr, 150, 70,
     kDialogModeless | kDialogTopmost | kDialogNoCaption, kBasisNote},
    {IDD_OFFSET_CODES, "工具径補正値(D-CODE)設定", "Setting of D-CODE", 270, 200, kDialogTopmost,
     Controls(kOffsetCodes)},
    {IDD_WORK_COORDINATES, "ワーク座標系の設定", "Setting of Workpiece Coordinate", 400, 230, 0,
     Controls(kWorkCoordinates)},
};

}  // namespace mirexa
