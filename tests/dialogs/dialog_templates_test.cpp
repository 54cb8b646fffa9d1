// Every dialog template: the table's ids, a sound layout (inside the dialog, no overlaps, ids
// unique), instantiation on the headless backend, and the English texts set over the Japanese.
#include "resources/dialog_templates.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "dialogs/dialog_conventions.h"
#include "services/shared_state.h"

namespace mirexa {
namespace {

bool Overlap(const ControlTemplate& a, const ControlTemplate& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

TEST(DialogTemplates, TheTableHasEveryTemplateOnceWithTopmostAsGiven) {
    // Id and top-most of every dialog of the program.
    const struct {
        int id;
        bool topmost;
    } table[] = {{103, true},  {127, true},  {137, true}, {139, true},  {148, true},  {155, true},
                 {159, true},  {162, true},  {201, true}, {207, true},  {214, false}, {216, false},
                 {217, true},  {218, true},  {219, true}, {224, true},  {225, true},  {226, false},
                 {234, true},  {235, true},  {236, true}, {263, false}, {271, false}, {272, false},
                 {278, true},  {279, false}, {280, true}, {281, false}, {282, false}, {284, false},
                 {285, false}, {286, true},  {287, false}};
    ASSERT_EQ(AllDialogTemplates().size(), std::size(table));
    for (const auto& row : table) {
        const DialogTemplate* found = FindDialogTemplate(row.id);
        ASSERT_NE(found, nullptr) << row.id;
        EXPECT_EQ((found->flags & kDialogTopmost) != 0, row.topmost) << row.id;
    }
    EXPECT_EQ(FindDialogTemplate(104), nullptr);
}

TEST(DialogTemplates, ControlsLieInsideTheirDialogWithUniqueIdsAndNoOverlap) {
    for (const DialogTemplate* dialog : AllDialogTemplates()) {
        std::set<int> ids;
        const auto& controls = dialog->controls;
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const ControlTemplate& c = controls[i];
            SCOPED_TRACE("dialog " + std::to_string(dialog->id) + " control " +
                         std::to_string(c.id));
            EXPECT_TRUE(ids.insert(c.id).second);
            EXPECT_GT(c.w, 0);
            EXPECT_GT(c.h, 0);
            EXPECT_GE(c.x, 0);
            EXPECT_GE(c.y, 0);
            EXPECT_LE(c.x + c.w, dialog->w);
            EXPECT_LE(c.y + c.h, dialog->h);
            if (c.kind == ControlKind::GroupBox) {
                continue;
            }
            for (std::size_t j = i + 1; j < controls.size(); ++j) {
                if (controls[j].kind != ControlKind::GroupBox) {
                    EXPECT_FALSE(Overlap(c, controls[j])) << "and " << controls[j].id;
                }
            }
        }
    }
}

MessageResult BeginOnly(WindowHandle dialog, unsigned message, MessageWParam, MessageLParam) {
    if (message == WM_INITDIALOG) {
        BeginDialog(dialog);
        return 1;
    }
    return 0;
}

TEST(DialogTemplates, EachInstantiatesInBothLanguages) {
    for (int language : {0, 1}) {
        UiLanguage.store(language);
        for (const DialogTemplate* dialog : AllDialogTemplates()) {
            SCOPED_TRACE("dialog " + std::to_string(dialog->id));
            WindowHandle made = CreateModelessDialog(*dialog, nullptr, BeginOnly, 0);
            ASSERT_NE(made, nullptr);
            EXPECT_EQ(GetChildWindows(made).size(), dialog->controls.size());
            const char* caption =
                language == 1 && dialog->english ? dialog->english : dialog->japanese;
            EXPECT_EQ(GetPlatformWindowText(made), caption);
            EXPECT_EQ(IsDialogTopmost(made), (dialog->flags & kDialogTopmost) ? 1 : 0);
            for (const ControlTemplate& c : dialog->controls) {
                const char* text = language == 1 && c.english && c.kind != ControlKind::Edit
                                       ? c.english
                                       : c.japanese;
                EXPECT_EQ(GetDlgItemText(made, c.id), text) << c.id;
            }
            DestroyPlatformWindow(made);
        }
    }
    UiLanguage.store(0);
}

}  // namespace
}  // namespace mirexa
