// The controller, machine, tool and settings values the NC interpreter reads.
#include "nc/nc_controller_view.h"

#include "config/config_records.h"
#include "config/tool_tables.h"

namespace mirexa {

NcControllerView NcController;

void RefreshNcControllerView() {
    NcControllerView& v = NcController;
    v.toolBasePoint = Settings.toolBasePoint;
    v.magazineCount =
        ToolTableSet.maxMagazine > 0 ? ToolTableSet.maxMagazine : Settings.maxMagazine;
}

int FindToolByName(const char* name, int length) {
    if (length < 0) {
        return 0;
    }
    const ToolTables& t = ToolTableSet;
    for (int n = 1; n <= t.maxMagazine && static_cast<size_t>(n) < t.tools.size(); ++n) {
        const ToolRecord& tool = t.tools[static_cast<size_t>(n)];
        if (tool.present && tool.name.size() == static_cast<size_t>(length) &&
            tool.name.compare(0, tool.name.size(), name, static_cast<size_t>(length)) == 0) {
            return n;
        }
    }
    return 0;
}

}  // namespace mirexa
