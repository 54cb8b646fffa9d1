// Keeps the values some globals had and puts them back on request or when it goes, so that a
// fixture names the globals it changes once instead of saving and restoring each by hand.
#pragma once

#include <functional>
#include <vector>

namespace mirexa::testing {

class SavedGlobals {
public:
    SavedGlobals() = default;
    SavedGlobals(const SavedGlobals&) = delete;
    SavedGlobals& operator=(const SavedGlobals&) = delete;
    ~SavedGlobals() {
        Restore();
    }
    // Keeps the values the globals have now.
    template <typename... T>
    void Keep(T&... globals) {
        (restores_.push_back([&globals, value = globals] { globals = value; }), ...);
    }
    // Puts back the kept values, in the order they were kept, and forgets them.
    void Restore() {
        for (const std::function<void()>& restore : restores_) {
            restore();
        }
        restores_.clear();
    }

private:
    std::vector<std::function<void()>> restores_;
};

}  // namespace mirexa::testing
