// The index of every dialog template by id.
#include "resources/dialog_templates.h"

#include <algorithm>
#include <array>

namespace mirexa {

namespace {

constexpr std::size_t kTemplateCount = 33;

std::array<const DialogTemplate*, kTemplateCount> SortTemplates() {
    std::array<const DialogTemplate*, kTemplateCount> all = {};
    std::size_t n = 0;
    for (std::span<const DialogTemplate> group :
         {std::span<const DialogTemplate>(StockDialogTemplates),
          std::span<const DialogTemplate>(OffsetDialogTemplates),
          std::span<const DialogTemplate>(SettingsDialogTemplates),
          std::span<const DialogTemplate>(ColorDialogTemplates),
          std::span<const DialogTemplate>(PanelDialogTemplates),
          std::span<const DialogTemplate>(CheckDialogTemplates)}) {
        for (const DialogTemplate& dialogTemplate : group) {
            all[n++] = &dialogTemplate;
        }
    }
    std::sort(all.begin(), all.end(),
              [](const DialogTemplate* a, const DialogTemplate* b) { return a->id < b->id; });
    return all;
}

const std::array<const DialogTemplate*, kTemplateCount>& Sorted() {
    static const std::array<const DialogTemplate*, kTemplateCount> all = SortTemplates();
    return all;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    const auto& all = Sorted();
    auto found = std::lower_bound(all.begin(), all.end(), id,
                                  [](const DialogTemplate* t, int key) { return t->id < key; });
    return found != all.end() && (*found)->id == id ? *found : nullptr;
}

std::span<const DialogTemplate* const> AllDialogTemplates() {
    return Sorted();
}

}  // namespace mirexa
