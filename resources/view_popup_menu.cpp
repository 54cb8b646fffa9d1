// The view's popup menu as data.
#include "resources/view_popup_menu.h"

#include <iterator>

namespace mirexa {

namespace {

constexpr PopupResourceLine ViewPopupLines[] = {
    {IDM_VIEW_POPUP_FIRST, 228, "Rotate / Zoom / Pan", "回転・拡大・移動"},
    {0, 0, nullptr, nullptr},
    {IDM_VIEW_POPUP_SECOND, 154, "Measure", "計測"},
    {0, 0, nullptr, nullptr},
    {IDM_VIEW_POPUP_THIRD, 149, "Pick a path point (NC line)", "パス指示(NC行)"},
};

}  // namespace

const PopupResourceLine* FindViewPopupResource(int* count) {
    if (count != nullptr) {
        *count = static_cast<int>(std::size(ViewPopupLines));
    }
    return ViewPopupLines;
}

}  // namespace mirexa
