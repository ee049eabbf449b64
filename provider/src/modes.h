// The STGM rules of the provider: which combinations each kind of object accepts, and what
// a mode allows.
//
// Choices where ole32's documentation leaves room (every refusal is STG_E_INVALIDFLAG unless
// stated):
//   - unknown bits, access 3, share values 0x50-0x70, STGM_CREATE with STGM_CONVERT;
//   - a missing share flag means STGM_SHARE_DENY_NONE;
//   - root, opening: no STGM_CREATE, STGM_CONVERT or STGM_DELETEONRELEASE; STGM_PRIORITY
//     only with STGM_READ in direct mode; direct mode only with STGM_SHARE_EXCLUSIVE or STGM_READ |
//     STGM_SHARE_DENY_WRITE, or with STGM_DIRECT_SWMR as the single writer (STGM_READWRITE |
//     STGM_SHARE_DENY_WRITE) or one of its readers (STGM_READ | STGM_SHARE_DENY_NONE);
//   - root, creating: write access required; direct mode only with STGM_SHARE_EXCLUSIVE, or
//     as the single writer; no STGM_PRIORITY;
//   - simple mode (STGM_SIMPLE), narrower than direct mode: a root opened with
//     STGM_SHARE_EXCLUSIVE and without write-only access, or created with STGM_READWRITE |
//     STGM_SHARE_EXCLUSIVE, no other option; no nested storages (STG_E_INVALIDFUNCTION from
//     CreateStorage and OpenStorage); CreateStream never replaces an existing element
//     (STGM_CREATE over an existing name: STG_E_INVALIDFLAG);
//   - STGM_NOSCRATCH and STGM_NOSNAPSHOT only with STGM_TRANSACTED (they change nothing),
//     STGM_NOSNAPSHOT not with STGM_SHARE_DENY_WRITE or STGM_SHARE_EXCLUSIVE;
//     STGM_DIRECT_SWMR not with STGM_TRANSACTED, STGM_PRIORITY or STGM_SIMPLE, and not for
//     nested elements;
//   - nested storages: STG_E_INVALIDFUNCTION without STGM_SHARE_EXCLUSIVE; no
//     STGM_DELETEONRELEASE, STGM_PRIORITY, STGM_SIMPLE or STGM_CONVERT; STGM_CREATE only
//     when creating;
//   - streams: STG_E_INVALIDFUNCTION without STGM_SHARE_EXCLUSIVE, with STGM_TRANSACTED or
//     with STGM_DELETEONRELEASE; no STGM_PRIORITY, STGM_SIMPLE, STGM_CONVERT, STGM_NOSCRATCH
//     or STGM_NOSNAPSHOT; STGM_CREATE only when creating;
//   - property sets: STGM_SHARE_EXCLUSIVE, no write-only access, and write access to create
//     one; no STGM_DELETEONRELEASE;
//   - a nested element asking for more access than its parent has: STG_E_ACCESSDENIED.
#pragma once

#include <windows.h>

namespace provider {

enum class ModeUse {
    openRoot,
    createRoot,
    openStorage,
    createStorage,
    openStream,
    createStream,
    openPropertySet,
    createPropertySet,
};

// Checks `mode` for `use`; `parentMode` is the mode of the storage a nested element is
// opened from (ignored for roots).
[[nodiscard]] HRESULT checkMode(DWORD mode, ModeUse use, DWORD parentMode = 0);

[[nodiscard]] inline DWORD accessOf(DWORD mode) {
    return mode & 3u;
}
[[nodiscard]] inline DWORD shareOf(DWORD mode) {
    const DWORD share = mode & 0x70u;
    return share == 0 ? STGM_SHARE_DENY_NONE : share;
}
[[nodiscard]] inline bool canRead(DWORD mode) {
    return accessOf(mode) != STGM_WRITE;
}
[[nodiscard]] inline bool canWrite(DWORD mode) {
    return accessOf(mode) != STGM_READ;
}
[[nodiscard]] inline bool isTransacted(DWORD mode) {
    return (mode & STGM_TRANSACTED) != 0;
}

// STGM_DIRECT_SWMR: the single writer (STGM_READWRITE | STGM_SHARE_DENY_WRITE) and its
// readers (STGM_READ | STGM_SHARE_DENY_NONE).
[[nodiscard]] inline bool isSingleWriter(DWORD mode) {
    return (mode & STGM_DIRECT_SWMR) && accessOf(mode) == STGM_READWRITE &&
           shareOf(mode) == STGM_SHARE_DENY_WRITE;
}
[[nodiscard]] inline bool isSingleWriterReader(DWORD mode) {
    return (mode & STGM_DIRECT_SWMR) && accessOf(mode) == STGM_READ &&
           shareOf(mode) == STGM_SHARE_DENY_NONE;
}

// CreateFileW's access and share flags for a root opened with `mode`.
[[nodiscard]] DWORD fileAccessOf(DWORD mode);
[[nodiscard]] DWORD fileShareOf(DWORD mode);

} // namespace provider
