// The owner of a C run-time locale (`_locale_t`), freed with `_free_locale`.
//
//   const support::UniqueLocale locale(_create_locale(LC_NUMERIC, "C"));
//   _atof_l(text, locale.get());
#pragma once

#include "support/unique_resource.h"

#include <locale.h>

namespace support {

struct LocalePolicy {
    static _locale_t invalidValue() noexcept { return nullptr; }
    static bool isValid(_locale_t locale) noexcept { return locale != nullptr; }
    static void close(_locale_t locale) noexcept { _free_locale(locale); }
};

using UniqueLocale = UniqueResource<_locale_t, LocalePolicy>;

} // namespace support
