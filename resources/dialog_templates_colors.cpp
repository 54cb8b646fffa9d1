// Templates of the colour and paint dialogs: discolouration bands, the colour table, the pens to
// peel and difference painting.
#include "resources/dialog_template_builders.h"
#include "resources/dialog_templates.h"

namespace mirexa {

namespace {

using namespace templates;

constexpr ControlTemplate kDiscoloration[] = {
    Label(1204, 105, 7, 125, "上限", "Upper Level", kAlignCenter),
    Label(1205, 236, 7, 125, "下限", "Lower Level", kAlignCenter),
    Check(1017, 7, 21, 95, "変色モード", "Discoloration Mode"),
    Field(1018, 105, 20, 45),
    Push(1170, 152, 19, "測定値から", "from Measured Data", 78),
    Field(1019, 236, 20, 45),
    Push(1169, 283, 19, "測定値から", "from Measured Data", 78),
    Check(1020, 7, 39, 95, "変色域2", "Discoloration 2"),
    Field(1022, 105, 38, 45),
    Push(1172, 152, 37, "測定値から", "from Measured Data", 78),
    Field(1021, 236, 38, 45),
    Push(1171, 283, 37, "測定値から", "from Measured Data", 78),
    Check(1023, 7, 57, 95, "変色域3", "Discoloration 3"),
    Field(1025, 105, 56, 45),
    Push(1174, 152, 55, "測定値から", "from Measured Data", 78),
    Field(1024, 236, 56, 45),
    Push(1173, 283, 55, "測定値から", "from Measured Data", 78),
    Ok(255, 78),
    Cancel(311, 78),
};

struct ColorRow {
    int button, swatch;
    const char* japanese;
    const char* english;
};
constexpr ColorRow kColorRows[36] = {
    {1023, 1027, "<- ワーク(&W)", "<- Work(&W)"},
    {1020, 1030, "<- ペン1(&1)", "<- Pen1(&1)"},
    {1021, 1031, "<- ペン2(&2)", "<- Pen2(&2)"},
    {1022, 1032, "<- ペン3(&3)", "<- Pen3(&3)"},
    {1047, 1040, "<- ペン4(&4)", "<- Pen4(&4)"},
    {1044, 1041, "<- ペン5(&5)", "<- Pen5(&5)"},
    {1045, 1042, "<- ペン6(&6)", "<- Pen6(&6)"},
    {1046, 1043, "<- ペン7(&7)", "<- Pen7(&7)"},
    {1068, 1069, "<- ペン8(&8)", "<- Pen8(&8)"},
    {1070, 1071, "<- ペン9(&9)", "<- Pen9(&9)"},
    {1072, 1073, "<- ペン10", "<- Pen10"},
    {1074, 1075, "<- ペン11", "<- Pen11"},
    {1076, 1077, "<- ペン12", "<- Pen12"},
    {1078, 1079, "<- ペン13", "<- Pen13"},
    {1080, 1081, "<- ペン14", "<- Pen14"},
    {1084, 1085, "<- ペン15", "<- Pen15"},
    {1025, 1029, "<- ペンキ(&P)", "<- Penki(&P)"},
    {1086, 1087, "<- ベース", "<- Base"},
    {1061, 1059, "<- 上面パス(&I)", "<- Top Path(&I)"},
    {1063, 1062, "<- 上面パス2(&J)", "<- Top Path2(&J)"},
    {1067, 1066, "<- 構成点(&C)", "<- Construction(&C)"},
    {1049, 1048, "<- 工具先端(&T)", "<- Tool-Top(&T)"},
    {1053, 1052, "<- 工具側面(&S)", "<- Tool-Side(&S)"},
    {1051, 1050, "<- アーバ(&H)", "<- Arbor(&H)"},
    {1106, 1112, "<- ヘッド(1軸)", "<- Head(1-Axis)"},
    {1109, 1108, "<- ヘッド(2軸)", "<- Head(2-Axis)"},
    {1104, 1105, "<- ヘッド", "<- Head"},
    {1091, 1090, "<- ヘッド1", "<- Head1"},
    {1093, 1092, "<- ヘッド2", "<- Head2"},
    {1110, 1111, "<- テーブル(1軸)", "<- Table(1-Axis)"},
    {1102, 1103, "<- テーブル", "<- Table"},
    {1095, 1094, "<- テーブル1", "<- Table1"},
    {1097, 1096, "<- テーブル2", "<- Table2"},
    {1098, 1100, "<- バイス", "<- Vice"},
    {1099, 1101, "<- 基本モデル", "<- Basic"},
    {1026, 1033, "<- 背景(&B)", "<- Background(&B)"},
};

// Two columns of 18 rows: swatch, then its button.
constexpr auto MakeColorControls() {
    ControlList<75> list;
    for (int i = 0; i < 36; ++i) {
        const int x = 7 + 123 * (i / 18);
        const int y = 7 + 14 * (i % 18);
        list.Add(Swatch(kColorRows[i].swatch, x, y + 1, 30, 12));
        list.Add(Push(kColorRows[i].button, x + 34, y, kColorRows[i].japanese,
                      kColorRows[i].english, 84));
    }
    list.Add(Check(1413, 7, 264, 120, "工具先端 -> ペン色", "Tool-Top -> Pen Color"));
    list.Add(Ok(137, 262));
    list.Add(Cancel(193, 262));
    return list;
}
constexpr auto kColors = MakeColorControls();

constexpr int kPeelChecks[15] = {1020, 1021, 1022, 1047, 1044, 1045, 1046, 1068,
                                 1070, 1072, 1074, 1076, 1078, 1080, 1084};
constexpr int kPeelSwatches[15] = {1030, 1031, 1032, 1040, 1041, 1042, 1043, 1069,
                                   1071, 1073, 1075, 1077, 1079, 1081, 1085};
constexpr const char* kPeelJa[15] = {"ペン1(&1)",  "ペン2(&2)",  "ペン3(&3)",  "ペン4(&4)",
                                     "ペン5(&5)",  "ペン6(&6)",  "ペン7(&7)",  "ペン8(&8)",
                                     "ペン9(&9)",  "ペン10(&A)", "ペン11(&B)", "ペン12(&C)",
                                     "ペン13(&D)", "ペン14(&E)", "ペン15(&F)"};
constexpr const char* kPeelEn[15] = {"Pen1(&1)",  "Pen2(&2)",  "Pen3(&3)",  "Pen4(&4)",
                                     "Pen5(&5)",  "Pen6(&6)",  "Pen7(&7)",  "Pen8(&8)",
                                     "Pen9(&9)",  "Pen10(&A)", "Pen11(&B)", "Pen12(&C)",
                                     "Pen13(&D)", "Pen14(&E)", "Pen15(&F)"};

constexpr auto MakePeelControls() {
    ControlList<33> list;
    for (int i = 0; i < 15; ++i) {
        const int x = 7 + 90 * (i / 8);
        const int y = 7 + 14 * (i % 8);
        list.Add(Check(kPeelChecks[i], x, y, 60, kPeelJa[i], kPeelEn[i]));
        list.Add(Swatch(kPeelSwatches[i], x + 64, y, 20, 10));
    }
    list.Add(Check(1024, 7, 124, 80, "全て選択(&A)", "Check All(&A)"));
    list.Add(Ok(77, 140));
    list.Add(Cancel(133, 140));
    return list;
}
constexpr auto kPeel = MakePeelControls();

constexpr ControlTemplate kPaintDifference[] = {
    Group(1327, 7, 7, 206, 26, "領域", "Area"),
    Radio(1322, 15, 18, 60, "プラス", "Plus", kGroupStart),
    Radio(1323, 90, 18, 60, "マイナス", "Minus"),
    Label(1328, 15, 42, 80, "差分マージン", "Difference Margin"),
    Field(1324, 100, 40, 50),
    Group(1330, 7, 58, 206, 26, "色", "Color"),
    Radio(1359, 15, 69, 50, "ペンキ", "Penki", kGroupStart),
    Radio(1360, 70, 69, 40, "ペン", "Pen"),
    Field(1361, 115, 68, 30),
    Label(1329, 15, 92, 70, "チェック方向", "Check Direction"),
    Label(1421, 90, 92, 30, "幅 : ", "Width : "),
    Field(1420, 125, 90, 50),
    Check(1419, 15, 108, 120, "元の色を保持", "Keep Original Color"),
    Ok(107, 128),
    Cancel(163, 128),
};

}  // namespace

const DialogTemplate ColorDialogTemplates[4] = {
    {IDD_DISCOLORATION_REGION, "被切削材変色域の指定", "Discoloration Region in Work", 368, 98,
     kDialogTopmost, kDiscoloration},
    {IDD_COLOR_SETTINGS, "色の設定", "Setting of Color", 250, 282, kDialogTopmost,
     Controls(kColors)},
    {IDD_PEEL_PEN_COLOR, "はがすペンの色を指定", "Clear Penki", 190, 160, kDialogTopmost,
     Controls(kPeel)},
    {IDD_PAINT_DIFFERENCE, "差分塗り", "Penki of Difference", 220, 148, 0, kPaintDifference},
};

}  // namespace mirexa
