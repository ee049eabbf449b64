// Conversions between the engine's statuses and HRESULTs, and the checks every method
// starts with.
#pragma once

#include <support/result_macros.h>

#include <common/status.h>

#include <windows.h>

namespace provider {

// The engine's statuses carry the structured-storage HRESULT values themselves.
[[nodiscard]] inline HRESULT hresultOf(engine::Status status) {
    return static_cast<HRESULT>(engine::toHresult(status));
}

// Converts a Win32 error of a file operation to the HRESULT structured storage reports.
[[nodiscard]] HRESULT fileErrorToHresult(DWORD error);

// Whether a reference parameter (REFFMTID, REFCLSID) arrived as a null pointer, as callers in
// C pass them. The address is read through a volatile copy: the language lets a compiler
// assume that a reference is never null and drop a plain comparison.
template <typename T>
[[nodiscard]] bool isNullReference(const T& reference) {
    const T* volatile address = &reference;
    return address == nullptr;
}

} // namespace provider

// Returns the engine status, as an HRESULT, when it is a failure.
#define RETURN_IF_ENGINE_FAILED(expression)                                                        \
    do {                                                                                           \
        const ::engine::Status engineStatusReturn_ = (expression);                                 \
        if (::engine::failed(engineStatusReturn_))                                                 \
            return ::provider::hresultOf(engineStatusReturn_);                                     \
    } while (false)
