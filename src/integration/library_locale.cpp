#include "integration/library_locale.h"

#include <support/locale_owner.h>
#include <windows.h>

#include <string>

namespace z64::integration {
namespace {

bool isMultiByteCodePage(UINT codePage) {
    CPINFO information{};
    return GetCPInfo(codePage, &information) && information.MaxCharSize > 1;
}

_locale_t createLibraryLocale() {
    const UINT codePage = GetACP();
    if (isMultiByteCodePage(codePage))
        return _create_locale(LC_CTYPE, ("." + std::to_string(codePage)).c_str());
    return _create_locale(LC_NUMERIC, "C");
}

// A static object: constructed while the library attaches, destroyed when it unloads.
const support::UniqueLocale g_libraryLocale(createLibraryLocale());

} // namespace

_locale_t libraryLocale() {
    return g_libraryLocale.get();
}

} // namespace z64::integration
