// The main menu (resource 109) as data, with the Japanese captions, and its builder.
#include "resources/main_menu.h"

#include <iterator>
#include <vector>

namespace mirexa {

namespace {

constexpr unsigned POPUP = MENU_RESOURCE_POPUP;

// The tree in menu order; the items that need an NC program start grey. Positions matter to the
// message file (its entries follow this order) and to the run areas of the menu state, which are
// derived from this tree when it is loaded.
constexpr MenuResourceLine MainMenuLines[] = {
    {0, POPUP, "NCデータ(&N)"},
    {1, IDM_NC_SELECT, "選択（&S）"},
    {1, IDM_NC_SELECT_OPTIMAL_STOCK, "選択して最適被切削材定義(&W)"},
    {1, IDM_NC_REPORT, "帳票出力（&V）", 1},
    {1, IDM_NC_EDIT, "エディター編集(&E)", 1},
    {1, 0, nullptr},
    {1, IDM_EXIT, "終了（&X）"},

    {0, POPUP, "被切削材(&W)"},
    {1, IDM_STOCK_READ, "DME,DMF,STL,,,読み込み(&L)"},
    {1, IDM_STOCK_TWO_POINT, "2点指示定義(&D)"},
    {1, IDM_STOCK_FROM_ORIGIN, "ワーク座標原点基準定義(&W)"},
    {1, IDM_STOCK_CYLINDER, "円柱定義(&U)"},
    {1, IDM_STOCK_STATE, "削除/無効化/有効化(&N)"},
    {1, IDM_STOCK_SAVE, "DME,STL,,,保存(&S)"},  // position 5: stays enabled during a run
    {1, 0, nullptr},
    {1, IDM_STOCK_ROTATE, "回転(&R)"},
    {1, IDM_STOCK_MOVE, "移動(&M)"},
    {1, IDM_STOCK_OFFSET, "オフセット(&O)"},
    {1, IDM_STOCK_XYZ_CUT, "XYZ値カット(&Z)"},
    {1, 0, nullptr},
    {1, IDM_PAINT_ALL, "ペンキの全面塗り(&A)"},
    {1, IDM_PEEL_PAINT, "ペンキをはがす(&C)"},
    {1, IDM_PEEL_PEN_COLOR, "ペンの色をはがす(&E)"},
    {1, 0, nullptr},
    {1, IDM_BASIC_MODEL, "基準形状指定(&B)"},
    {1, IDM_PAINT_DIFFERENCE, "差分塗り(&F)"},
    {1, IDM_READ_VICE_STL, "バイス形状(STL)読み込み(&V)"},

    {0, POPUP, "加工(&R)"},
    {1, IDM_CUT_REAL, "実加工(&R)", 1},
    {1, IDM_CUT_SKIP, "スキップ加工(&S)", 1},
    {1, IDM_CUT_RESULT, "加工して結果表示(&T or F5キー)", 1},
    {1, IDM_PATH_DISPLAY, "パス表示(&P or F6キー)", 1},
    {1, IDM_PATH_DISPLAY_NO_ROTARY, "回転成分を補間しないパス表示(&D or F7)", 1},
    {1, 0, nullptr},
    {1, IDM_ROTARY_REAL_CUT_MODE, "回転動作実加工モード(&A)"},
    {1, IDM_RAPID_REAL_CUT_MODE, "早送り部実加工モード(&0)"},
    {1, 0, nullptr},
    {1, IDM_OPTIONAL_BLOCK_SKIP, "オプショナルブロックスキップ設定(&B)"},
    {1, POPUP, "停止モード(&H)"},
    {2, IDM_STOP_NONE, "ノンストップ(&N)"},
    {2, IDM_STOP_M00, "M00停止(&M)　通常モード"},
    {2, IDM_STOP_M01, "M01も停止(&O) ｵﾌﾟｼｮﾅﾙｽﾄｯﾌﾟ"},
    {2, IDM_STOP_SINGLE_BLOCK, "シングルブロック(&S)"},
    {2, IDM_STOP_AT_POSITION, "指定位置で停止(&D) CTLファイルで定義"},
    {1, 0, nullptr},
    {1, IDM_INTERFERENCE_SETTINGS, "切削干渉チェックの設定(&I)"},
    {1, IDM_STRUCTURE_INTERFERENCE_SETTINGS, "構造物干渉チェックの設定(&M)"},
    {1, POPUP, "早送りでの切削チェック(&F)"},
    {2, IDM_CHECK_RAPID_ON, "チェックする(&Y)"},
    {2, IDM_CHECK_RAPID_OFF, "チェックしない(&N)"},
    {1, POPUP, "アーバー干渉チェック(&G)"},
    {2, IDM_ARBOR_CHECK_0, "チェックしない(&0)"},
    {2, IDM_ARBOR_CHECK_1, "メッセージ出力(&1)"},
    {2, IDM_ARBOR_CHECK_2, "切削する(&2)"},
    {2, IDM_ARBOR_CHECK_OTHER, "停止する(&3)"},
    {1, POPUP, "切込み高さチェック(&E)"},
    {2, IDM_HEIGHT_CHECK_0, "チェックしない(&0)"},
    {2, IDM_HEIGHT_CHECK_1, "メッセージ出力(&1)"},
    {2, IDM_HEIGHT_CHECK_OTHER, "停止する(&2)"},
    {1, POPUP, "切込み幅チェック(&J)"},
    {2, IDM_CHIP_CHECK_0, "チェックしない(&0)"},
    {2, IDM_CHIP_CHECK_1, "メッセージ出力(&1)"},
    {2, IDM_CHIP_CHECK_OTHER, "停止する(&2)"},
    {1, 0, nullptr},
    {1, POPUP, "工具先端点制御(&C)"},
    {2, IDM_TCP_NORMAL, "通常(&N)"},
    {2, IDM_TCP_FORCED_TYPE1, "強制指定-タイプ1(&1)"},
    {2, IDM_TCP_FORCED_TYPE2, "強制指定-タイプ2(&2)"},
    {1, IDM_CONTROL_POINT, "制御点座標値設定(&X)"},
    {1, IDM_RADIUS_OFFSETS, "工具径補正値設定(&K)"},
    {1, IDM_LENGTH_OFFSETS, "工具長補正値設定(&L)"},
    {1, IDM_WORK_COORDINATES, "ワーク座標系設定(&W)"},
    {1, 0, nullptr},
    {1, IDM_MOVIE_SETTINGS, "動画保存設定(&V) - 暫定仕様"},

    {0, POPUP, "設定ファイル(&T)"},
    {1, IDM_TOOLS_FILE, "工具設定ファイルの指定(&T) 編集:F2キー"},
    {1, IDM_CONTROLLER_FILE, "コントローラー定義ファイルの指定(&C) 編集:F3キー"},
    {1, IDM_MACHINE_FILE, "機械定義ファイルの指定(&M) 編集:F4キー"},
    {1, IDM_SETTINGS_FILE, "設定ファイル(INI)の切り替え(&S)"},

    {0, POPUP, "表示制御(&P)"},
    {1, IDM_SHOW_COMMAND_PANEL, "コマンドメニュー表示(&M)"},
    {1, IDM_SHOW_TOOL_DIALOG, "工具表示ダイアログ表示(&T)"},
    {1, 0, nullptr},
    {1, IDM_SHOW_AXES, "座標軸表示(&O)"},
    {1, IDM_PERSPECTIVE, "遠近感(&@)"},
    {1, IDM_SHOW_PATH_POINTS, "パスの構成点表示(&C)"},  // position 5: grey during a run
    {1, 0, nullptr},
    {1, IDM_COLOR_SETTINGS, "色の設定(&W)"},
    {1, IDM_DISPLAY_MODE, "表示ON/OFF/半透明制御(&P)"},
    {1, 0, nullptr},
    {1, IDM_COLOR_MODE_NORMAL, "通常の色で表示(&N)"},
    {1, IDM_COLOR_MODE_TOOL_PEN, "工具ペンの色で表示(&L)"},

    {0, POPUP, "オプション(&O)"},
    {1, IDM_PITCH, "ピッチ（精度）指定(&P)"},
    {1, IDM_INITIAL_CONDITION, "起動時の状態設定(&I)"},

    {0, POPUP, "ヘルプ(&H)"},
    {1, IDM_HELP, "ヘルプ(&H or F1キー)"},
    {1, IDM_HOME_PAGE, "ホームページへ(&G)"},
    {1, 0, nullptr},
    {1, IDM_VERSION_INFO, "バージョン/環境情報(&V)"},
};

}  // namespace

const MenuResourceLine* FindMenuResource(int id, int* count) {
    if (id != IDR_MAIN_MENU) {
        if (count) {
            *count = 0;
        }
        return nullptr;
    }
    if (count) {
        *count = static_cast<int>(std::size(MainMenuLines));
    }
    return MainMenuLines;
}

MenuHandle LoadMenuResource(int id) {
    int count = 0;
    const MenuResourceLine* lines = FindMenuResource(id, &count);
    if (!lines) {
        return nullptr;
    }
    MenuHandle bar = CreateMenuHandle();
    // open[d] is the menu that receives the lines of depth d.
    std::vector<MenuHandle> open = {bar};
    for (int i = 0; i < count; ++i) {
        const MenuResourceLine& line = lines[i];
        if (line.depth < 0 || line.depth >= static_cast<int>(open.size())) {
            continue;  // a line deeper than any open submenu: not part of the tree
        }
        open.resize(line.depth + 1);
        MenuEntryInfo item;
        if (line.command == MENU_RESOURCE_POPUP) {
            item.caption = line.caption ? line.caption : "";
            item.submenu = CreateMenuHandle();
            AppendMenuEntry(open.back(), item);
            open.push_back(item.submenu);
        } else {
            item.command = line.command;
            item.caption = line.caption ? line.caption : "";
            item.separator = line.caption ? 0 : 1;
            item.state = line.grey ? MENU_GRAYED : MENU_ENABLED;
            AppendMenuEntry(open.back(), item);
        }
    }
    return bar;
}

}  // namespace mirexa
