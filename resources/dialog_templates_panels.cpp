// Templates of the two modeless panels beside the main window: the command panel's 21 view
// buttons and the tool display panel.
#include "resources/dialog_template_builders.h"
#include "resources/dialog_templates.h"

namespace mirexa {

namespace {

using namespace templates;

struct PanelButton {
    int id;
    const char* caption;  // the template's; English comes from the message file at run time
};
constexpr PanelButton kPanelButtons[21] = {
    {165, "初期(&R)"}, {184, "最大(&F)"}, {223, "ｽﾞｰﾑ(&Z)"}, {218, "拡大(&W)"}, {222, "縮小(&S)"},
    {175, "第１(&1)"}, {176, "第２(&2)"}, {177, "第３(&3)"}, {178, "第４(&4)"}, {217, "-15 (&5)"},
    {214, "+15 (&6)"}, {215, "後ろ(&7)"}, {216, " XZ (&8)"}, {219, " YZ (&9)"}, {224, " XY (&0)"},
    {182, "上側(&U)"}, {183, "下側(&D)"}, {185, "描画(&P)"}, {186, "遠近(&@)"}, {221, "戻す(&C)"},
    {220, "保存(&B)"},
};

// Three columns of seven buttons, in the order of the caption entries.
constexpr auto MakeCommandPanelControls() {
    ControlList<21> list;
    for (int i = 0; i < 21; ++i) {
        list.Add(Push(kPanelButtons[i].id, 5 + 44 * (i % 3), 5 + 16 * (i / 3),
                      kPanelButtons[i].caption, nullptr, 40));
    }
    return list;
}
constexpr auto kCommandPanel = MakeCommandPanelControls();

// A wide strip: the picture, its dimension cells and the eleven magazine slots side by side.
constexpr ControlTemplate kToolDisplay[] = {
    Check(1010, 7, 5, 78, "固定", "Fixed"),
    Push(1015, 88, 3, "エディタ", "Editor", 34),
    Push(1016, 124, 3, "1番", "1-st", 34),
    Push(1017, 160, 3, "交換", "Change", 34),
    // The tool picture, its description and the magazine slots, painted by the procedure.
    Make(ControlKind::Custom, 9001, 2, 20, 336, 70, "", nullptr, kNotify),
};

}  // namespace

const DialogTemplate PanelDialogTemplates[2] = {
    {IDD_TOOL_DISPLAY, "工具表示", "Tool Display", 340, 92, kDialogModeless, kToolDisplay},
    {IDD_COMMAND_PANEL, "", nullptr, 141, 121, kDialogModeless, Controls(kCommandPanel)},
};

}  // namespace mirexa
