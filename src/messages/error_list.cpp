// The per-thread message state and the three exports that manage the error list and the
// suppress mode.
#include "messages/api_state.h"

#include <z64eveze.h>

CThreadLocal<_QVAPI_STATE> g_apiThreadState;

_QVAPI_STATE::~_QVAPI_STATE() {
    delete m_pErrorList;
}

_QVAPI_STATE* GetApiThreadState() {
    _QVAPI_STATE* state = g_apiThreadState.GetData();
    if (state == nullptr)
        AfxThrowInvalidArgException();
    return state;
}

namespace z64::messages {

void collectMessageText(const char* text) {
    if (GetApiThreadState()->m_pErrorList == nullptr)
        GetApiThreadState()->m_pErrorList = new CString;
    CString& list = *GetApiThreadState()->m_pErrorList;
    if (!list.IsEmpty())
        list += '\n';
    list += text != nullptr ? text : "";
}

} // namespace z64::messages

const char* QVErrorList() {
    static const char emptyList[] = "";
    GetApiThreadState()->m_nSuppressMode = 0;
    const CString* list = GetApiThreadState()->m_pErrorList;
    return list != nullptr ? static_cast<const char*>(*list) : emptyList;
}

void QVClearErrorList(int nSuppressMode) {
    delete GetApiThreadState()->m_pErrorList;
    GetApiThreadState()->m_pErrorList = nullptr;
    GetApiThreadState()->m_nSuppressMode = nSuppressMode;
}

int QVMessageSupressMode() {
    return GetApiThreadState()->m_nSuppressMode;
}
