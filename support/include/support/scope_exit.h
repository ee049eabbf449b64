// Runs a function when the scope ends, unless dismissed: for clean-up that has no owning
// type of its own (restoring a state, removing a temporary file).
#pragma once

#include <utility>

namespace support {

template <typename Function>
class [[nodiscard]] ScopeExit {
public:
    explicit ScopeExit(Function function) : function_(std::move(function)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() {
        if (active_)
            function_();
    }
    void dismiss() noexcept { active_ = false; }

private:
    Function function_;
    bool active_ = true;
};

} // namespace support
