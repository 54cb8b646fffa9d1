// Templates of the stock definition and stock operation dialogs: two-point box, cylinder and
// origin-based box, move, rotate, swing, reverse, offset, XYZ cut, stock state, STL read settings.
#include "resources/dialog_template_builders.h"
#include "resources/dialog_templates.h"

namespace mirexa {

namespace {

using namespace templates;

// Height of the initial control point group's contents in dialogs 148, 278 and 286 (dialog units).
constexpr int kControlGroupH = 50;

constexpr ControlTemplate kTwoPoint[] = {
    Group(1431, 7, 7, 236, 92, "最小・最大点", "MIN-MAX Point"),
    Radio(1423, 15, 19, 95, "機械座標", "Machine Coordinate", kGroupStart),
    Radio(1424, 115, 19, 95, "ワーク座標", "Work Coordinate"),
    Label(1186, 15, 36, 35, "X最小 :", "XMIN :"),
    Field(142, 52, 34, 60),
    Label(1183, 125, 36, 35, "X最大 :", "XMAX :"),
    Field(145, 162, 34, 60),
    Label(1187, 15, 52, 35, "Y最小 :", "YMIN :"),
    Field(143, 52, 50, 60),
    Label(1184, 125, 52, 35, "Y最大 :", "YMAX :"),
    Field(146, 162, 50, 60),
    Label(1188, 15, 68, 35, "Z最小 :", "ZMIN :"),
    Field(144, 52, 66, 60),
    Label(1185, 125, 68, 35, "Z最大 :", "ZMAX :"),
    Field(147, 162, 66, 60),
    Label(1236, 15, 84, 50, "ピッチ :", "Work Pitch :"),
    Field(140, 70, 82, 42),
    Push(1358, 125, 81, "詳細", "Detail"),
    Group(1241, 7, 104, 236, kControlGroupH + 16, "初期制御点(保存)",
          "Initial Control Point(Saved)"),
    Radio(1242, 15, 116, 110, "XY最小,Z最大(旧仕様)", "XY-min,Z-max(old spec)", kGroupStart),
    Radio(1243, 130, 116, 100, "現在位置", "Current Position"),
    Radio(1244, 15, 132, 60, "指定", "Specify"),
    Push(1245, 80, 130, "制御点", "Control Point", 60),
    Label(1246, 15, 152, 220, "", nullptr),
    Ok(137, 178),
    Cancel(193, 178),
};

constexpr ControlTemplate kCylinder[] = {
    Radio(1423, 15, 7, 95, "機械座標", "Machine Coordinate", kGroupStart),
    Radio(1424, 115, 7, 95, "ワーク座標", "Work Coordinate"),
    Group(1367, 7, 20, 236, 30, "基準点", "Base Point"),
    Label(9001, 15, 34, 10, "X", nullptr),
    Field(1370, 27, 32, 50),
    Label(9002, 85, 34, 10, "Y", nullptr),
    Field(1371, 97, 32, 50),
    Label(9003, 155, 34, 10, "Z", nullptr),
    Field(1372, 167, 32, 50),
    Group(1373, 7, 55, 236, 26, "方向", "Direction"),
    Radio(1374, 15, 66, 40, "X", nullptr, kGroupStart),
    Radio(1376, 65, 66, 40, "Y", nullptr),
    Radio(1378, 115, 66, 40, "Z", nullptr),
    Label(1366, 15, 90, 50, "長さ :", "Length :"),
    Field(1381, 70, 88, 60),
    Label(1365, 15, 106, 50, "外径 :", "Outer Dia :"),
    Field(1382, 70, 104, 60),
    Label(1375, 15, 122, 50, "内径 :", "Inner Dia :"),
    Field(1384, 70, 120, 60),
    Label(1236, 15, 138, 50, "ピッチ :", "Work Pitch :"),
    Field(140, 70, 136, 42),
    Push(1358, 125, 135, "詳細", "Detail"),
    Group(1241, 7, 154, 236, kControlGroupH + 16, "初期制御点(保存)",
          "Initial Control Point(Saved)"),
    Radio(1242, 15, 166, 110, "XY最小,Z最大(旧仕様)", "XY-min,Z-max(old spec)", kGroupStart),
    Radio(1243, 130, 166, 100, "現在位置", "Current Position"),
    Radio(1244, 15, 182, 60, "指定", "Specify"),
    Push(1245, 80, 180, "制御点", "Control Point", 60),
    Label(1246, 15, 202, 220, "", nullptr),
    Ok(137, 228),
    Cancel(193, 228),
};

// One axis group of dialog 286 at the top y: placement radios, size and the two margins.
struct OriginAxisTexts {
    int group, low, centre, high, sizeLabel, size, lowLabel, lowMargin, highLabel, highMargin;
    const char* groupJa;
    const char* groupEn;
    const char* lowJa;
    const char* lowEn;
    const char* highJa;
    const char* highEn;
    const char* sizeJa;
    const char* sizeEn;
    const char* lowMarginJa;
    const char* lowMarginEn;
    const char* highMarginJa;
    const char* highMarginEn;
};

constexpr OriginAxisTexts kOriginAxes[3] = {
    {1459,          1460,           1461,          1462,
     1463,          1464,           1465,          1466,
     1467,          1468,           "X位置と幅",   "X Position and Width",
     "左",          "Left",         "右",          "Right",
     "幅:",         "Width:",       "左マージン:", "Left Margin:",
     "右マージン:", "Right Margin:"},
    {1469,
     1470,
     1471,
     1472,
     1473,
     1474,
     1475,
     1476,
     1477,
     1478,
     "Y位置と幅",
     "Y Position and Width",
     "手前",
     "Front",
     "奥",
     "Back",
     "幅:",
     "Width:",
     "手前マージン:",
     "Front Margin:",
     "奥マージン:",
     "Back Margin:"},
    {1479,          1480,         1481,          1482,
     1483,          1484,         1485,          1486,
     1487,          1488,         "Z位置と高さ", "Z Position and Height",
     "下",          "Bottom",     "上",          "Top",
     "高さ:",       "Height:",    "下マージン:", "Bottom Margin:",
     "上マージン:", "Top Margin:"},
};

constexpr auto MakeOriginControls() {
    ControlList<43> list;
    for (int axis = 0; axis < 3; ++axis) {
        const OriginAxisTexts& t = kOriginAxes[axis];
        const int y = 7 + 61 * axis;
        list.Add(Group(t.group, 7, y, 236, 57, t.groupJa, t.groupEn));
        list.Add(Radio(t.low, 15, y + 11, 50, t.lowJa, t.lowEn, kGroupStart));
        list.Add(Radio(t.centre, 70, y + 11, 50, "中央", "Center"));
        list.Add(Radio(t.high, 125, y + 11, 50, t.highJa, t.highEn));
        list.Add(Label(t.sizeLabel, 15, y + 26, 57, t.sizeJa, t.sizeEn));
        list.Add(Field(t.size, 74, y + 24, 44));
        list.Add(Label(t.lowLabel, 15, y + 42, 57, t.lowMarginJa, t.lowMarginEn));
        list.Add(Field(t.lowMargin, 74, y + 40, 44));
        list.Add(Label(t.highLabel, 120, y + 42, 55, t.highMarginJa, t.highMarginEn));
        list.Add(Field(t.highMargin, 178, y + 40, 50));
    }
    list.Add(Label(1236, 15, 194, 50, "ピッチ :", "Pitch :"));
    list.Add(Field(140, 70, 192, 42));
    list.Add(Push(1358, 125, 191, "詳細", "Detail"));
    list.Add(Group(1241, 7, 210, 236, kControlGroupH + 16, "初期制御点(保存)",
                   "Initial Control Point(Saved)"));
    list.Add(Radio(1242, 15, 222, 110, "XY最小,Z最大", "XY-min,Z-max", kGroupStart));
    list.Add(Radio(1243, 130, 222, 100, "現在位置", "Current Position"));
    list.Add(Radio(1244, 15, 238, 60, "指定", "Specify"));
    list.Add(Push(1245, 80, 236, "制御点", "Control Point", 60));
    list.Add(Label(1246, 15, 258, 220, "", nullptr));
    list.Add(Ok(137, 284));
    list.Add(Cancel(193, 284));
    return list;
}
constexpr auto kOrigin = MakeOriginControls();

constexpr ControlTemplate kMove[] = {
    Group(1043, 7, 7, 146, 58, "移動量", "Shift"),
    Label(1224, 15, 20, 40, "X移動 :", "X-Move"),
    Field(1045, 60, 18, 60),
    Label(1225, 15, 36, 40, "Y移動 :", "Y-Move"),
    Field(1046, 60, 34, 60),
    Label(1226, 15, 52, 40, "Z移動 :", "Z-Move"),
    Field(1047, 60, 50, 60),
    Ok(47, 72),
    Cancel(103, 72),
};

constexpr ControlTemplate kRotate[] = {
    Group(1209, 7, 7, 156, 26, "軸(&A)", "Axis(&A)"),
    Radio(1141, 15, 18, 30, "X", nullptr, kGroupStart),
    Radio(1142, 55, 18, 30, "Y", nullptr),
    Radio(1143, 95, 18, 30, "Z", nullptr),
    Label(1211, 15, 42, 40, "角度(&D)", "Angle(&D)"),
    Field(1148, 60, 40, 60),
    Label(1212, 125, 42, 30, "度)", "Deg)"),
    Ok(57, 60),
    Cancel(113, 60),
};

constexpr ControlTemplate kSwing[] = {
    Group(1209, 7, 7, 186, 26, "軸(&A)", "Axis(&A)"),
    Radio(1141, 15, 18, 30, "X", nullptr, kGroupStart),
    Radio(1142, 55, 18, 30, "Y", nullptr),
    Radio(1143, 95, 18, 30, "Z", nullptr),
    Group(1210, 7, 38, 186, 32, "中心", "Center"),
    Label(1213, 15, 52, 15, "X :", nullptr),
    Field(1146, 30, 50, 40),
    Label(1214, 75, 52, 15, "Y :", nullptr),
    Field(1147, 90, 50, 40),
    Label(1215, 135, 52, 15, "Z :", nullptr),
    Field(1149, 150, 50, 40),
    Label(1211, 15, 80, 40, "角度(&D)", "Angle(&D)"),
    Field(1148, 60, 78, 60),
    Label(1212, 125, 80, 30, "度)", "Deg)"),
    Ok(87, 98),
    Cancel(143, 98),
};

constexpr ControlTemplate kReverse[] = {
    Group(160, 7, 7, 166, 26, "方向", "Direction"),
    Radio(161, 15, 18, 40, "X(&X)", nullptr, kGroupStart),
    Radio(162, 60, 18, 40, "Y(&Y)", nullptr),
    Check(1330, 15, 40, 150, "塗りを保持", "Keep penki"),
    Check(1331, 15, 54, 150, "ペン色を保持", "Keep pen color"),
    Check(1332, 15, 68, 150, "切削方向色を保持", "Keep cut-direction"),
    Ok(67, 84),
    Cancel(123, 84),
};

constexpr ControlTemplate kOffset[] = {
    Group(203, 7, 7, 176, 26, "オフセット方向", "Offset Direction"),
    Radio(204, 15, 18, 50, "法線(&N)", "Normal(&N)", kGroupStart),
    Radio(205, 70, 18, 40, "Z(&Z)", nullptr),
    Radio(207, 115, 18, 60, "水平(&H)", "Horizon(&H)"),
    Label(1230, 15, 42, 60, "オフセット量:", "Offset Value:"),
    Field(206, 80, 40, 60),
    Label(1443, 15, 58, 160, "(*暫定ロジック)", "(*temporary logic)"),
    Ok(77, 76),
    Cancel(133, 76),
};

constexpr ControlTemplate kXyzCut[] = {
    Note(1444, 7, 7, 186, 16, "下記の値は処理前の最大値・最小値です。",
         "Following value is Max and Min value before processing."),
    Label(9001, 15, 30, 30, "X最大", "XMAX"),
    Field(1016, 48, 28, 50),
    Label(9002, 105, 30, 30, "X最小", "XMIN"),
    Field(1015, 138, 28, 50),
    Label(9003, 15, 46, 30, "Y最大", "YMAX"),
    Field(1018, 48, 44, 50),
    Label(9004, 105, 46, 30, "Y最小", "YMIN"),
    Field(1017, 138, 44, 50),
    Label(9005, 15, 62, 30, "Z最大", "ZMAX"),
    Field(1019, 48, 60, 50),
    Label(9006, 105, 62, 30, "Z最小", "ZMIN"),
    Field(1020, 138, 60, 50),
    Ok(87, 82),
    Cancel(143, 82),
};

constexpr ControlTemplate kState[] = {
    Radio(1396, 15, 10, 50, "削除", "Delete", kGroupStart),
    Radio(1397, 70, 10, 50, "無視", "Ignore"),
    Radio(1398, 125, 10, 50, "有効", "Available"),
    Label(1444, 15, 28, 150, "注: 無視 = 切削しない", "Note: Ignore = None Cut"),
    Ok(67, 46),
    Cancel(123, 46),
};

// Dialog 282: the scale and mirror rows per axis.
constexpr auto MakeStlControls() {
    ControlList<37> list;
    list.Add(Group(1456, 7, 7, 286, 26, "座標の選択", "Select Coordinate"));
    list.Add(Radio(1423, 15, 18, 100, "機械座標", "Machine Coordinate", kGroupStart));
    list.Add(Radio(1424, 150, 18, 100, "ワーク座標", "Work Coordinate"));
    list.Add(Group(1457, 7, 38, 286, 100, "座標の変換", "Change Coordinate"));
    constexpr const char* kScaleJa[3] = {
        "Xスケール ( 倍率: ", "Yスケール ( 倍率: ", "Zスケール ( 倍率: "};
    constexpr const char* kScaleEn[3] = {
        "X-Scale      ( Rate: ", "Y-Scale      ( Rate: ", "Z-Scale      ( Rate: "};
    constexpr const char* kMirrorJa[3] = {"X反転 ( 中心: ", "Y反転 ( 中心: ", "Z反転 ( 中心: "};
    constexpr const char* kMirrorEn[3] = {
        "X-Mirror  ( Center: ", "Y-Mirror  ( Center: ", "Z-Mirror  ( Center: "};
    for (int axis = 0; axis < 3; ++axis) {
        const int y = 50 + 14 * axis;
        list.Add(Check(1425 + axis, 15, y + 1, 90, kScaleJa[axis], kScaleEn[axis]));
        list.Add(Field(1428 + axis, 107, y, 45));
        list.Add(Label(1440 + axis, 157, y + 2, 30, "中心:", "Center:"));
        list.Add(Field(1431 + axis, 190, y, 50));
    }
    for (int axis = 0; axis < 3; ++axis) {
        const int y = 96 + 14 * axis;
        list.Add(Check(1434 + axis, 15, y + 1, 90, kMirrorJa[axis], kMirrorEn[axis]));
        list.Add(Field(1437 + axis, 107, y, 45));
    }
    list.Add(Group(1458, 7, 143, 286, 74, "計算ロジック", "Calculation Logic"));
    list.Add(Note(1443, 15, 154, 270, 24,
                  "注：STLがソリッドとして閉じていない場合、隙間がある場合、正常に取り込めない"
                  "場合は下から選んでください。ただし指定方向から見えない部分は埋まります。",
                  "Note : When STL isn't closed as solid, When there is a gap in STL, When STL "
                  "can't normally be taken in. Please choose below. but the part which isn't "
                  "seen from specified direction is buried."));
    list.Add(Radio(1397, 15, 180, 60, "標準", "Standard", kGroupStart));
    list.Add(Radio(1401, 80, 180, 65, "+X方向", "+X Directtion"));
    list.Add(Radio(1402, 150, 180, 65, "-X方向", "-X Directtion"));
    list.Add(Radio(1403, 80, 192, 65, "+Y方向", "+Y Directtion"));
    list.Add(Radio(1404, 150, 192, 65, "-Y方向", "-Y Directtion"));
    list.Add(Radio(1399, 80, 204, 65, "+Z方向", "+Z Directtion"));
    list.Add(Radio(1400, 150, 204, 65, "-Z方向", "-Z Directtion"));
    list.Add(Ok(187, 224));
    list.Add(Cancel(243, 224));
    return list;
}
constexpr auto kStl = MakeStlControls();

}  // namespace

const DialogTemplate StockDialogTemplates[11] = {
    {IDD_STOCK_TWO_POINT, "2点指示による被切削材の定義", "Define Work by 2-Points", 250, 198,
     kDialogTopmost, kTwoPoint},
    {IDD_REVERSE_SETTINGS, "反転（プレス）設定", "Reverse Setting", 180, 104, kDialogTopmost,
     kReverse},
    {IDD_STOCK_OFFSET, "ワークのオフセット", "Offset", 190, 96, kDialogTopmost, kOffset},
    {IDD_XYZ_CUT, "XYZ値カット", "XYZ cut", 200, 102, 0, kXyzCut},
    {IDD_STOCK_MOVE, "移動", "Move", 160, 92, kDialogTopmost, kMove},
    {IDD_SWING, "振り指定", "Rotary Method", 200, 118, kDialogTopmost, kSwing},
    {IDD_STOCK_CYLINDER, "円柱形状をした被切削材の定義", "Define Cylinder Work", 250, 248,
     kDialogTopmost, kCylinder},
    {IDD_STOCK_ROTATE, "回転", "Rotary Method", 170, 80, kDialogTopmost, kRotate},
    {IDD_STOCK_STATE, "被切削材の削除/無効化/有効化", "Work Delete/Ignore/Available", 180, 66, 0,
     kState},
    {IDD_STL_READ_SETTINGS, "STL読み込み設定", "Setting to read STL", 300, 244, 0, Controls(kStl)},
    {IDD_STOCK_FROM_ORIGIN, "ワーク座標原点基準による被切削材定義", "Define Work by Origin Point",
     250, 304, kDialogTopmost, Controls(kOrigin)},
};

}  // namespace mirexa
