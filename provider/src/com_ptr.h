// The provider names the project's owning COM pointer in its own namespace.
#pragma once

#include <support/com_ptr.h>

namespace provider {

using support::ComPtr;

} // namespace provider
