#include "dialogs/library_dialog.h"

#include "common/library_resources.h"

namespace z64::dialogs {

INT_PTR runLibraryDialog(CDialog& dialog, UINT templateId) {
    const HGLOBAL loaded = common::loadLibraryDialogTemplate(templateId);
    if (loaded == nullptr || !dialog.InitModalIndirect(loaded))
        return -1;
    return dialog.DoModal();
}

} // namespace z64::dialogs
