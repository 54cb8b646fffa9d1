// Templates of the other settings dialogs: version and environment, resize behaviour, tool
// parameters, pitch, expand rate, initial condition, optional block skip, display modes, movie
// settings, and the extra template of the stock file dialogs.
#include "resources/dialog_template_builders.h"
#include "resources/dialog_templates.h"

namespace mirexa {

namespace {

using namespace templates;

constexpr ControlTemplate kVersion[] = {
    Label(9001, 7, 7, 100, "MIREXA7", nullptr),
    Label(9002, 110, 7, 100, "Version 2.34", nullptr),
    Label(1089, 7, 20, 206, "", nullptr),
    Label(9003, 7, 36, 50, "メモリ", "Memory"),
    Label(9004, 60, 36, 60, "合計(KB)", "Total(KB)", kAlignRight),
    Label(9005, 130, 36, 60, "空き(KB)", "Free(KB)", kAlignRight),
    Label(9006, 7, 48, 50, "物理", "Physical"),
    Value(1274, 60, 48, 60),
    Value(1275, 130, 48, 60),
    Label(9007, 7, 60, 50, "仮想", "Virtual"),
    Value(1276, 60, 60, 60),
    Value(1277, 130, 60, 60),
    Label(9008, 7, 76, 110, "トップレベルウィンドウ", "Top Level Windows"),
    Value(1278, 130, 76, 60),
    Label(9009, 7, 90, 50, "ワークサイズ", "Work Size"),
    Value(1279, 60, 90, 100),
    Label(9010, 165, 90, 30, "(KB)", nullptr),
    // The program, system, processors and OpenGL driver, one line each.
    Note(1280, 7, 104, 206, 80, "", nullptr),
    Ok(85, 188),
};

constexpr ControlTemplate kResize[] = {
    Group(123, 7, 7, 216, 26, "画面サイズ変更時の被切削材描画サイズ調整", "Auto Resize Work"),
    Radio(126, 15, 18, 50, "する", "Yes", kGroupStart),
    Radio(124, 80, 18, 50, "しない", "No"),
    Group(125, 7, 38, 216, 26, "画面サイズ変更時の他パネルの移動", nullptr),
    Radio(127, 15, 49, 50, "する", "Yes", kGroupStart),
    Radio(128, 80, 49, 50, "しない", "No"),
    Group(129, 7, 69, 216, 26, "画面移動時の他パネルの移動", nullptr),
    Radio(130, 15, 80, 50, "する", "Yes", kGroupStart),
    Radio(131, 80, 80, 50, "しない", "No"),
    Ok(117, 100),
    Cancel(173, 100),
};

constexpr const char* kToolParameterJa[8] = {
    "溶接高さ(&Y):",   "溶接深さ(&U):", "グラインダ深さ(&G):", "グラインダ幅(&I):",
    "サンダ深さ(&F):", "サンダ幅(&E):", "ブラシ幅(&K):",       "ヘラ幅(&R):"};
constexpr const char* kToolParameterEn[8] = {
    "Welding Height(&Y):", "Welding Depth(&U):", "Grinder Depth(&G):", "Grinder Width(&I):",
    "Sander Depth(&F):",   "Sander Width(&E):",  "Brush Width(&K):",   "Hera Width(&R):"};

constexpr auto MakeToolParameterControls() {
    ControlList<18> list;
    for (int i = 0; i < 8; ++i) {
        list.Add(Label(1216 + i, 15, 9 + 14 * i, 90, kToolParameterJa[i], kToolParameterEn[i]));
        list.Add(Field(129 + i, 110, 7 + 14 * i, 40));
    }
    list.Add(Ok(87, 125));
    list.Add(Cancel(143, 125));
    return list;
}
constexpr auto kToolParameters = MakeToolParameterControls();

constexpr ControlTemplate kPitch[] = {
    Label(1236, 7, 9, 80, "ピッチ(&D) :", "Work Pitch(&D) :"),
    Field(140, 90, 7, 45),
    Check(1171, 140, 8, 80, "自動設定(&W)", "Auto Setting(&W)"),
    Label(1175, 225, 9, 20, "(仮)", nullptr),
    Label(1238, 20, 23, 80, "( 最大(&N) :", "( Maximum(&N) :"),
    Field(1172, 103, 21, 55),
    Label(1240, 163, 23, 40, "以下 ,", "Under ,"),
    Label(1241, 20, 37, 80, "最小ピッチ(&E) :", "Minimum Pitch(&E) :"),
    Field(142, 103, 35, 45),
    Label(1237, 7, 54, 80, "移動ピッチ(&T) :", "Moving Pitch(&T) :"),
    Field(141, 90, 52, 45),
    Check(1173, 140, 53, 80, "自動設定(&M)", "Auto Setting(&M)"),
    Label(1176, 225, 54, 20, "(仮)", nullptr),
    Label(1239, 20, 68, 100, "( ピッチ比率(&R) :", "( Rate per Work Pitch(&R) :"),
    Field(1174, 123, 66, 45),
    Ok(137, 90),
    Cancel(193, 90),
};

constexpr ControlTemplate kExpandRate[] = {
    Label(1198, 15, 12, 60, "拡大率 :", "Expand Rate :"),
    Field(164, 80, 10, 40),
    Ok(47, 36),
    Cancel(103, 36),
};

constexpr ControlTemplate kInitialCondition[] = {
    Group(1200, 7, 7, 100, 56, "ウィンドウ", "Window"),
    Check(209, 15, 19, 88, "位置とサイズ", "Position and Size"),
    Check(210, 15, 33, 88, "コマンドメニュー", "Command Menu"),
    Check(213, 15, 47, 88, "工具ダイアログ", "Tool Dialog"),
    Group(1201, 113, 7, 100, 84, "色の保存", "Save Color"),
    Check(211, 121, 19, 88, "ワーク色", "Work Color"),
    Check(214, 121, 33, 88, "工具色", "Tool Color"),
    Check(216, 121, 47, 88, "機械色", "Machine Color"),
    Check(215, 121, 61, 88, "線色", "Line Color"),
    Check(212, 121, 75, 88, "背景色", "Background"),
    Ok(107, 98),
    Cancel(163, 98),
};

constexpr auto MakeBlockSkipControls() {
    constexpr const char* kNames[9] = {"/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8", "/9"};
    ControlList<12> list;
    list.Add(Check(1168, 15, 10, 30, "/", nullptr));
    for (int k = 0; k < 9; ++k) {
        list.Add(Check(1169 + k, 15 + 45 * (k % 3), 26 + 14 * (k / 3), 30, kNames[k], nullptr));
    }
    list.Add(Ok(47, 76));
    list.Add(Cancel(103, 76));
    return list;
}
constexpr auto kBlockSkip = MakeBlockSkipControls();

// Dialog 279: per object a group with on / off / semi-transparent and the level bar.
struct DisplayModeRow {
    int group, on, off, semi, bar, scale;
    const char* groupJa;
    const char* groupEn;
};
constexpr DisplayModeRow kDisplayRows[4] = {
    {1389, 1390, 1393, 1394, 1395, 1449, "ワーク (常にAキー)", "Work  (Always A key)"},
    {1402, 1403, 1404, 1405, 1406, 1450, "基本ワーク (常に^キー)", "Basic Work  (Always ^ key)"},
    {1388, 1391, 1396, 1398, 1399, 1451, "工具 (常にTキー)", "Tool  (Always T key)"},
    {1387, 1392, 1397, 1400, 1401, 1452, "機械 (常にQキー)", "Machine  (Always Q key)"},
};

constexpr auto MakeDisplayModeControls() {
    ControlList<26> list;
    for (int i = 0; i < 4; ++i) {
        const DisplayModeRow& row = kDisplayRows[i];
        const int y = 7 + 50 * i;
        list.Add(Group(row.group, 7, y, 266, 46, row.groupJa, row.groupEn));
        list.Add(Radio(row.on, 15, y + 12, 40, "表示", "ON", kGroupStart));
        list.Add(Radio(row.off, 60, y + 12, 40, "非表示", "OFF"));
        list.Add(Radio(row.semi, 105, y + 12, 70, "半透明", "Transparency"));
        list.Add(
            Make(ControlKind::HScrollBar, row.bar, 15, y + 27, 150, 10, "", nullptr, kTabStop));
        list.Add(Label(row.scale, 170, y + 28, 96, "高   レベル   低", "High   Level   Low"));
    }
    list.Add(Ok(167, 210));
    list.Add(Cancel(223, 210));
    return list;
}
constexpr auto kDisplayMode = MakeDisplayModeControls();

constexpr ControlTemplate kMovie[] = {
    Group(1453, 7, 7, 206, 40, "1フレームのタイミング", "Timing of one frame"),
    Check(1404, 15, 19, 90, "工具交換", "Tool Change"),
    Check(1405, 110, 19, 90, "軸変化", "Axis Change"),
    Check(1406, 15, 32, 90, "1ブロック", "1 Block"),
    Check(1408, 110, 32, 90, "更新", "Update"),
    Group(1454, 7, 52, 206, 50, "ファイル名", "File Name"),
    Label(1410, 15, 64, 190, "", nullptr),
    Check(1411, 15, 78, 90, "自動命名", "Auto Name"),
    Check(1412, 110, 78, 90, "ダイアログを保持", "Keep Dialog"),
    Ok(107, 108),
    Cancel(163, 108),
};

constexpr ControlTemplate kFileDialogExtra[] = {
    Check(1430, 7, 5, 180, "ワーク座標系で処理", nullptr),
};

}  // namespace

const DialogTemplate SettingsDialogTemplates[10] = {
    {IDD_VERSION_INFO, "バージョン/環境情報", "Version/Environment", 220, 208, kDialogTopmost,
     kVersion},
    {IDD_RESIZE_SETTINGS, "画面サイズ変更/移動時の設定", "Resize Work by Resizing Window", 230, 120,
     kDialogTopmost, kResize},
    {IDD_TOOL_PARAMETERS, "各パラメータの設定", "Tool Parameter", 200, 145, kDialogTopmost,
     Controls(kToolParameters)},
    {IDD_PITCH, "ピッチの設定", "Setting of Pitch", 250, 110, kDialogTopmost, kPitch},
    {IDD_EXPAND_RATE, "拡大／縮小率の設定", "Expand Rate", 160, 56, kDialogTopmost, kExpandRate},
    {IDD_INITIAL_CONDITION, "起動時の状態設定", "Initial Condition", 220, 118, kDialogTopmost,
     kInitialCondition},
    {IDD_OPTIONAL_BLOCK_SKIP, "オプショナルブロックスキップ", "Optional Block Skip", 160, 96,
     kDialogTopmost, Controls(kBlockSkip)},
    {IDD_DISPLAY_MODE, "表示ON/OFF/半透明制御", "Display ON/OFF/Semitransparent", 280, 230, 0,
     Controls(kDisplayMode)},
    {IDD_MOVIE_SETTINGS, "動画保存設定(暫定仕様)", "Save Movie(temporaly spec)", 220, 128, 0,
     kMovie},
    {IDD_FILE_DIALOG_EXTRA, "", nullptr, 200, 20, kDialogNoCaption, kFileDialogExtra},
};

}  // namespace mirexa
