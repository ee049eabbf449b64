#include "common/library_resources.h"

namespace z64::common {

namespace {
constexpr char kLibraryFileName[] = "z64EVEZE.dll";
} // namespace

HMODULE libraryModule() {
    return GetModuleHandleA(kLibraryFileName);
}

HGLOBAL loadLibraryDialogTemplate(UINT id) {
    const HMODULE library = libraryModule();
    const HRSRC found = FindResourceA(library, MAKEINTRESOURCEA(id), RT_DIALOG);
    return found != nullptr ? LoadResource(library, found) : nullptr;
}

} // namespace z64::common
