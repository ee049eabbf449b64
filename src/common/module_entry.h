// Entry points of modules that the library finds at run time rather than importing.
#pragma once

#include <windows.h>

namespace z64::common {

// The entry point `name` of `module` as a `Function`; null when the module is null (rather
// than the process's own program, which GetProcAddress would search) or lacks the name.
template <typename Function>
[[nodiscard]] Function moduleEntry(HMODULE module, const char* name) {
    if (module == nullptr)
        return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace z64::common
