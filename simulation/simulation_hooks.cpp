// The simulation thread's hooks record, empty until its owners fill it.
#include "simulation/simulation_hooks.h"

namespace mirexa {

SimulationHooks SimulationCallbacks;

}  // namespace mirexa
