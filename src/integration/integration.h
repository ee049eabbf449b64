// The integration subsystem's header for the rest of the library: the bridges to the base
// library and the locale through which the library prints texts.
#pragma once

#include "integration/base_library.h"
#include "integration/library_locale.h"
