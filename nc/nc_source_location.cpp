// Where the interpreter stands in the NC program.
#include "nc/nc_source_location.h"

namespace mirexa {

NcSourceLocation CurrentNcSource;

}  // namespace mirexa
