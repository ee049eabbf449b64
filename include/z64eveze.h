// z64EVEZE.dll: the shared library of the accounting application.
//
// Every export of the library is declared here, once, grouped by family. Functions with
// plain names have C linkage; the others are C++ functions and classes exported under
// their decorated names, so that overloads keep their documented signatures.
#pragma once

#include <windows.h>

#ifdef Z64EVEZE_BUILDING
#define Z64EVEZE_API __declspec(dllexport)
#else
#define Z64EVEZE_API __declspec(dllimport)
#endif

// Exports under plain, undecorated names.
#define Z64EVEZE_C_API extern "C" Z64EVEZE_API

// ---------------------------------------------------------------------------------------
// Application integration: library start-up and patch information
// ---------------------------------------------------------------------------------------

// Copies the library's patch level into `buffer` and returns the result of the copy: the
// library reports no patch level, so the buffer receives the empty string and the result
// is 0. A null buffer or a size below 1 leaves the buffer alone and returns EINVAL (22).
Z64EVEZE_C_API int GetPatchInformation(char* buffer, int bufferSize);
