// The hooks record of the definition-file readers.
#include "config/definition_hooks.h"

namespace mirexa {

DefinitionFileHooks DefinitionCallbacks;

}  // namespace mirexa
