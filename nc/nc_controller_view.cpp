// The controller, machine, tool and settings values the NC interpreter reads.
#include "nc/nc_controller_view.h"

namespace mirexa {

NcControllerView NcController;

void RefreshNcControllerView() {
    // The configuration readers fill the view here once their records exist; until then the
    // defaults (or what a caller set) stay.
}

}  // namespace mirexa
