// Storage of the program-wide switches.
#include "services/shared_state.h"

namespace mirexa {

std::atomic<int> UiLanguage{0};
std::atomic<int> AutomaticMode{0};
std::atomic<int> DrawingSuppressed{0};
std::atomic<int> MessagePumpEnabled{0};
std::atomic<WindowHandle> MainWindow{nullptr};

}  // namespace mirexa
