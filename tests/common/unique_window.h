// Owning handles of the user-interface objects tests create: windows made without the
// framework, and regions. The owners are the ones the libraries use.
#pragma once

#include <windows.h>

#include <support/gdi_resources.h>
#include <support/unique_resource.h>

namespace test_support {

// A window destroyed with its owner object.
using UniqueWindow = support::UniqueWindow;
using UniqueRegion = support::UniqueRegion;

} // namespace test_support
