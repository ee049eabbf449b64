// The storage subsystem's header for the rest of the library: the structured-storage
// provider and its entry points, and lock bytes over a file handle the caller opened.
#pragma once

#include "storage/file_lock_bytes.h"
#include "storage/storage_provider.h"
