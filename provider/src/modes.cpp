#include "modes.h"

#include <support/result_macros.h>

namespace provider {
namespace {

constexpr DWORD kAccessMask = 0x00000003;
constexpr DWORD kShareMask = 0x00000070;
constexpr DWORD kKnownBits = kAccessMask | kShareMask | STGM_PRIORITY | STGM_CREATE | STGM_CONVERT |
                             STGM_TRANSACTED | STGM_NOSCRATCH | STGM_NOSNAPSHOT | STGM_SIMPLE |
                             STGM_DIRECT_SWMR | STGM_DELETEONRELEASE;
constexpr DWORD kInvalidAccess = 3;

[[nodiscard]] HRESULT checkGroups(DWORD mode) {
    RETURN_HR_IF(STG_E_INVALIDFLAG, (mode & ~kKnownBits) != 0);
    RETURN_HR_IF(STG_E_INVALIDFLAG, accessOf(mode) == kInvalidAccess);
    RETURN_HR_IF(STG_E_INVALIDFLAG, (mode & kShareMask) > STGM_SHARE_DENY_NONE);
    RETURN_HR_IF(STG_E_INVALIDFLAG, (mode & STGM_CREATE) && (mode & STGM_CONVERT));
    if (mode & STGM_DIRECT_SWMR)
        RETURN_HR_IF(STG_E_INVALIDFLAG,
                     (mode & (STGM_TRANSACTED | STGM_PRIORITY | STGM_SIMPLE)) != 0);
    if (mode & (STGM_NOSCRATCH | STGM_NOSNAPSHOT))
        RETURN_HR_IF(STG_E_INVALIDFLAG, !isTransacted(mode));
    if (mode & STGM_NOSNAPSHOT)
        RETURN_HR_IF(STG_E_INVALIDFLAG, shareOf(mode) == STGM_SHARE_DENY_WRITE ||
                                            shareOf(mode) == STGM_SHARE_EXCLUSIVE);
    return S_OK;
}

// Direct roots share their file only with readers that deny writing; the single writer and
// its readers say so with STGM_DIRECT_SWMR.
[[nodiscard]] bool directSharingAllowed(DWORD mode) {
    const DWORD share = shareOf(mode);
    if (mode & STGM_DIRECT_SWMR)
        return isSingleWriter(mode) || isSingleWriterReader(mode);
    return share == STGM_SHARE_EXCLUSIVE ||
           (share == STGM_SHARE_DENY_WRITE && accessOf(mode) == STGM_READ);
}

[[nodiscard]] HRESULT checkSimple(DWORD mode, bool creating) {
    constexpr DWORD kSimpleOptions = STGM_SIMPLE | kAccessMask | kShareMask | STGM_CREATE;
    RETURN_HR_IF(STG_E_INVALIDFLAG, (mode & ~kSimpleOptions) != 0);
    RETURN_HR_IF(STG_E_INVALIDFLAG, shareOf(mode) != STGM_SHARE_EXCLUSIVE);
    if (creating)
        RETURN_HR_IF(STG_E_INVALIDFLAG, accessOf(mode) != STGM_READWRITE);
    else
        RETURN_HR_IF(STG_E_INVALIDFLAG, (mode & STGM_CREATE) != 0 || accessOf(mode) == STGM_WRITE);
    return S_OK;
}

[[nodiscard]] HRESULT checkRoot(DWORD mode, bool creating) {
    if (mode & STGM_SIMPLE)
        return checkSimple(mode, creating);
    if (creating) {
        RETURN_HR_IF(STG_E_INVALIDFLAG, !canWrite(mode));
        RETURN_HR_IF(STG_E_INVALIDFLAG, (mode & STGM_PRIORITY) != 0);
        if (mode & STGM_DIRECT_SWMR)
            RETURN_HR_IF(STG_E_INVALIDFLAG, !isSingleWriter(mode));
        else if (!isTransacted(mode))
            RETURN_HR_IF(STG_E_INVALIDFLAG, shareOf(mode) != STGM_SHARE_EXCLUSIVE);
        return S_OK;
    }
    RETURN_HR_IF(STG_E_INVALIDFLAG, (mode & (STGM_CREATE | STGM_CONVERT | STGM_DELETEONRELEASE)));
    if (mode & STGM_PRIORITY)
        RETURN_HR_IF(STG_E_INVALIDFLAG, isTransacted(mode) || accessOf(mode) != STGM_READ);
    if (!isTransacted(mode) && !(mode & STGM_PRIORITY))
        RETURN_HR_IF(STG_E_INVALIDFLAG, !directSharingAllowed(mode));
    return S_OK;
}

[[nodiscard]] HRESULT checkNested(DWORD mode, ModeUse use, DWORD parentMode) {
    const bool stream = use == ModeUse::openStream || use == ModeUse::createStream;
    const bool creating = use == ModeUse::createStream || use == ModeUse::createStorage ||
                          use == ModeUse::createPropertySet;
    const bool propertySet = use == ModeUse::openPropertySet || use == ModeUse::createPropertySet;
    RETURN_HR_IF(STG_E_INVALIDFLAG,
                 (mode & (STGM_PRIORITY | STGM_SIMPLE | STGM_CONVERT | STGM_DIRECT_SWMR)) != 0);
    RETURN_HR_IF(STG_E_INVALIDFLAG, !creating && (mode & STGM_CREATE) != 0);
    if (stream) {
        RETURN_HR_IF(STG_E_INVALIDFLAG, (mode & (STGM_NOSCRATCH | STGM_NOSNAPSHOT)) != 0);
        RETURN_HR_IF(STG_E_INVALIDFUNCTION, (mode & (STGM_TRANSACTED | STGM_DELETEONRELEASE)));
    } else {
        RETURN_HR_IF(STG_E_INVALIDFLAG, (mode & STGM_DELETEONRELEASE) != 0);
    }
    if (propertySet) {
        RETURN_HR_IF(STG_E_INVALIDFLAG, shareOf(mode) != STGM_SHARE_EXCLUSIVE);
        RETURN_HR_IF(STG_E_INVALIDFLAG, accessOf(mode) == STGM_WRITE);
        // A set is created to be written.
        RETURN_HR_IF(STG_E_INVALIDFLAG, creating && !canWrite(mode));
    }
    RETURN_HR_IF(STG_E_INVALIDFUNCTION, shareOf(mode) != STGM_SHARE_EXCLUSIVE);
    RETURN_HR_IF(STG_E_ACCESSDENIED, canWrite(mode) && !canWrite(parentMode));
    RETURN_HR_IF(STG_E_ACCESSDENIED, canRead(mode) && !canRead(parentMode));
    return S_OK;
}

} // namespace

HRESULT checkMode(DWORD mode, ModeUse use, DWORD parentMode) {
    RETURN_IF_FAILED(checkGroups(mode));
    switch (use) {
    case ModeUse::openRoot:
        return checkRoot(mode, false);
    case ModeUse::createRoot:
        return checkRoot(mode, true);
    default:
        return checkNested(mode, use, parentMode);
    }
}

DWORD fileAccessOf(DWORD mode) {
    switch (accessOf(mode)) {
    case STGM_READ:
        return GENERIC_READ;
    case STGM_WRITE:
        // The engine reads what it writes (allocation tables, directory): a write-only root
        // still needs read access to its file.
        return GENERIC_READ | GENERIC_WRITE;
    default:
        return GENERIC_READ | GENERIC_WRITE;
    }
}

DWORD fileShareOf(DWORD mode) {
    // As ole32 opens its files: other handles may always read (denying reads is left to the
    // byte-range locks of share_locks.h), and write unless the root denies writing.
    const DWORD share = shareOf(mode);
    if (share == STGM_SHARE_EXCLUSIVE || share == STGM_SHARE_DENY_WRITE)
        return FILE_SHARE_READ;
    return FILE_SHARE_READ | FILE_SHARE_WRITE;
}

} // namespace provider
