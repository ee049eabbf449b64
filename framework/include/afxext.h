// Extensions of the windowing classes; the framework's subset needs nothing beyond them.
#pragma once

#include "afxwin.h"
