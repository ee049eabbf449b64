#include <z64eveze.h>

#include <cerrno>
#include <cstring>

// The library reports no patch level: the caller's buffer receives the empty string.
Z64EVEZE_C_API int GetPatchInformation(char* buffer, int bufferSize) {
    // strcpy_s would call the run time's invalid-parameter handler (and end the process)
    // for these; the library refuses them itself.
    if (buffer == nullptr || bufferSize < 1)
        return EINVAL;
    return strcpy_s(buffer, static_cast<rsize_t>(bufferSize), "");
}
