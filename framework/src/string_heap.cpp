// The heap of the strings' buffers: the C run time's, which every module of the process
// shares, so that a string made in one module may be freed in another.
#include <afxstr.h>

#include <cstdlib>

void* __stdcall AfxStringAllocate(size_t bytes) {
    void* block = malloc(bytes);
    if (block == nullptr)
        AfxThrowMemoryException();
    return block;
}

void __stdcall AfxStringRelease(void* block) noexcept {
    free(block);
}
