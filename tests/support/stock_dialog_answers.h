// The two-point and cylinder stock dialogs as a scripted user fills them: the box from (0, 0, -20)
// to (40, 30, 0) in machine coordinates, the cylinder along Z of diameter 40 and length 25 from
// the base at Z -25. A dialog responder (platform/dialogs.h).
#pragma once

#include "platform/dialogs.h"
#include "resources/dialog_templates.h"

namespace mirexa::testing {

inline int FillStockDialog(WindowHandle dialog, int templateId, int round) {
    if (round > 0) {
        return 0;
    }
    const struct {
        int id;
        const char* text;
    } twoPoint[] = {{142, "0"}, {143, "0"}, {144, "-20"}, {145, "40"}, {146, "30"}, {147, "0"}},
      cylinder[] = {{1370, "0"},  {1371, "0"},  {1372, "-25"},
                    {1381, "25"}, {1382, "40"}, {1384, "0"}};
    if (templateId == IDD_STOCK_TWO_POINT) {
        ClickDlgItem(dialog, 1423);
        for (const auto& field : twoPoint) {
            TypeDlgItemText(dialog, field.id, field.text);
        }
    } else if (templateId == IDD_STOCK_CYLINDER) {
        ClickDlgItem(dialog, 1423);
        ClickDlgItem(dialog, 1378);
        for (const auto& field : cylinder) {
            TypeDlgItemText(dialog, field.id, field.text);
        }
    } else {
        return 0;
    }
    ClickDlgItem(dialog, IDOK);
    return 1;
}

}  // namespace mirexa::testing
