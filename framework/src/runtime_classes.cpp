// Run-time classes and CObject, diagnostics, and the memory of untracked objects and of the
// collections' node blocks.
#include "framework_internal.h"

#include <afxtempl.h>

#include <cstdio>
#include <cstdlib>

// ---------------------------------------------------------------------------------------
// Run-time classes and CObject
// ---------------------------------------------------------------------------------------

CObject* CRuntimeClass::CreateObject() const {
    return m_pfnCreateObject != nullptr ? m_pfnCreateObject() : nullptr;
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
    for (const CRuntimeClass* c = this; c != nullptr;
         c = c->m_pfnGetBaseClass != nullptr ? c->m_pfnGetBaseClass() : nullptr) {
        if (c == pBaseClass)
            return TRUE;
    }
    return FALSE;
}

CRuntimeClass* PASCAL CObject::GetThisClass() {
    static CRuntimeClass runtimeClass = {
        "CObject", static_cast<int>(sizeof(CObject)), 0xFFFF, nullptr, nullptr, nullptr};
    return &runtimeClass;
}

CRuntimeClass* CObject::GetRuntimeClass() const {
    return GetThisClass();
}

void CObject::Serialize(CArchive&) {}
void CObject::AssertValid() const {}
void CObject::Dump(CDumpContext& dc) const {
    dc << "a " << GetRuntimeClass()->m_lpszClassName << " at " << static_cast<const void*>(this)
       << "\n";
}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const {
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}

BOOL CObject::IsSerializable() const {
    return GetRuntimeClass()->m_wSchema != 0xFFFF;
}

CObject* AFXAPI AfxDynamicDownCast(CRuntimeClass* pClass, CObject* pObject) {
    return pObject != nullptr && pObject->IsKindOf(pClass) ? pObject : nullptr;
}

CDumpContext afxDump;

CDumpContext& CDumpContext::operator<<(LPCSTR text) {
    OutputDebugStringA(text != nullptr ? text : "(null)");
    return *this;
}

CDumpContext& CDumpContext::operator<<(int value) {
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    return *this << text;
}

CDumpContext& CDumpContext::operator<<(const void* pointer) {
    char text[24];
    snprintf(text, sizeof text, "%p", pointer);
    return *this << text;
}

// ---------------------------------------------------------------------------------------
// Untracked objects
// ---------------------------------------------------------------------------------------

void* PASCAL CNoTrackObject::operator new(size_t nSize) {
    void* p = LocalAlloc(LPTR, nSize);
    if (p == nullptr)
        AfxThrowMemoryException();
    return p;
}

void PASCAL CNoTrackObject::operator delete(void* p) {
    if (p != nullptr)
        LocalFree(p);
}

// ---------------------------------------------------------------------------------------
// Node blocks of the collections
// ---------------------------------------------------------------------------------------

CPlex* PASCAL CPlex::Create(CPlex*& head, UINT_PTR nMax, UINT_PTR cbElement) {
    ENSURE(nMax > 0 && cbElement > 0);
    if (nMax > (SIZE_MAX - sizeof(CPlex)) / cbElement)
        AfxThrowMemoryException();
    auto* block = static_cast<CPlex*>(malloc(sizeof(CPlex) + nMax * cbElement));
    if (block == nullptr)
        AfxThrowMemoryException();
    block->pNext = head;
    head = block;
    return block;
}

void CPlex::FreeDataChain() {
    for (CPlex* block = this; block != nullptr;) {
        CPlex* next = block->pNext;
        free(block);
        block = next;
    }
}
