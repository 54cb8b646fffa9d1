// Storage of the main window's control handles and the hooks record of the shared services.
#include "services/ui_hooks.h"

namespace mirexa {

std::atomic<WindowHandle> MainStatusBar{nullptr};
std::atomic<WindowHandle> MainProgressBar{nullptr};
std::atomic<WindowHandle> SecondProgressBar{nullptr};
ProgressHooks UiHooks;

}  // namespace mirexa
