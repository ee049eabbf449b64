// The library's own module.
#pragma once

#include <windows.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace d64avor {

// The module this code is linked into: window classes of the library are registered with it.
[[nodiscard]] inline HINSTANCE moduleInstance() noexcept {
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

} // namespace d64avor
