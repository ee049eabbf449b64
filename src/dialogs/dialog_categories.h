// What dialog sections share with dialog categories.
#pragma once

#include <z64eveze.h>

namespace z64::dialogs {

// The category's controls exist.
[[nodiscard]] inline bool hasControls(const DLGCATEGORY& category) {
    return category.hControls != nullptr;
}

} // namespace z64::dialogs
