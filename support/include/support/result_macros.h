// Early returns on failure, so that a function reads as its success path.
#pragma once

#include <windows.h>

// Returns the HRESULT from the enclosing function when it is a failure.
#define RETURN_IF_FAILED(expression)                                                               \
    do {                                                                                           \
        const HRESULT hrReturnIfFailed_ = (expression);                                            \
        if (FAILED(hrReturnIfFailed_))                                                             \
            return hrReturnIfFailed_;                                                              \
    } while (false)

// Returns `hr` from the enclosing function when the condition holds.
#define RETURN_HR_IF(hr, condition)                                                                \
    do {                                                                                           \
        if (condition)                                                                             \
            return (hr);                                                                           \
    } while (false)

// Returns `hr` when the pointer is null.
#define RETURN_HR_IF_NULL(hr, pointer) RETURN_HR_IF((hr), (pointer) == nullptr)
