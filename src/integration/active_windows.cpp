// CActiveQVWindows: the main windows of the application's running instances, of every
// release, with the document each has open; and the exported list of their records.
//
// The window contract: a release's main window has the class named in the release table
// and, while a document is open, the property "PROP_QVPATH" whose low 16 bits are a global
// atom naming the document's path without its extension.
#include "versions/release_catalogue.h"

#include <z64eveze.h>

#include <cstring>
#include <memory>

// The list of records is exported member by member through the module definition file:
// the framework's list members are inline, so this instantiation is what emits them.
template class CList<tagACTIVEQVWINDOW*, tagACTIVEQVWINDOW*>;

namespace z64::integration {
namespace {

constexpr char kPathProperty[] = "PROP_QVPATH";
constexpr int kClassNameBufferSize = 64;
constexpr int kListBlockSize = 10;
constexpr char kDocumentExtension[] = ".AC";

bool isReleaseMainWindowClass(const char* className) {
    for (const RELEASEINFO& release : g_ReleaseTable)
        if (_stricmp(className, release.szClassName) == 0)
            return true;
    return false;
}

// Appends within the buffer or not at all: false when the whole suffix does not fit.
template <size_t Size>
bool appendWhole(char (&buffer)[Size], const char* suffix) {
    const size_t length = strnlen(buffer, Size);
    const size_t suffixLength = std::strlen(suffix);
    if (length + suffixLength >= Size)
        return false;
    std::memcpy(buffer + length, suffix, suffixLength + 1);
    return true;
}

// The record of one window, or null when the window has no document open.
std::unique_ptr<tagACTIVEQVWINDOW> readRunningInstance(HWND window) {
    char className[kClassNameBufferSize] = {};
    GetClassNameA(window, className, kClassNameBufferSize);
    if (!isReleaseMainWindowClass(className))
        return nullptr;
    const ATOM pathAtom = LOWORD(reinterpret_cast<UINT_PTR>(GetPropA(window, kPathProperty)));
    if (pathAtom == 0)
        return nullptr;
    auto record = std::make_unique<tagACTIVEQVWINDOW>();
    record->hWnd = window;
    if (GlobalGetAtomNameA(pathAtom, record->szPath, sizeof record->szPath) == 0)
        return nullptr;
    if (!appendWhole(record->szPath, kDocumentExtension))
        return nullptr;
    return record;
}

struct Enumeration {
    CActiveQVWindows* list;
    CException* failure; // a framework exception raised while adding, rethrown afterwards
};

BOOL CALLBACK addRunningInstance(HWND window, LPARAM parameter) {
    auto* enumeration = reinterpret_cast<Enumeration*>(parameter);
    std::unique_ptr<tagACTIVEQVWINDOW> record = readRunningInstance(window);
    if (!record)
        return TRUE;
    try {
        enumeration->list->AddTail(record.get());
    } catch (CException* failure) {
        // Never let an exception unwind through the system's enumeration.
        enumeration->failure = failure;
        return FALSE;
    }
    record.release();
    return TRUE;
}

void enumerateRunningInstances(CActiveQVWindows& list) {
    Enumeration enumeration{&list, nullptr};
    EnumWindows(addRunningInstance, reinterpret_cast<LPARAM>(&enumeration));
    if (enumeration.failure != nullptr)
        throw enumeration.failure;
}

} // namespace
} // namespace z64::integration

CActiveQVWindows::CActiveQVWindows(int bFind)
    : CList<tagACTIVEQVWINDOW*, tagACTIVEQVWINDOW*>(z64::integration::kListBlockSize) {
    if (!bFind)
        return;
    try {
        z64::integration::enumerateRunningInstances(*this);
    } catch (...) {
        RemoveAll(); // the destructor does not run for an object that was never made
        throw;
    }
}

CActiveQVWindows::~CActiveQVWindows() {
    RemoveAll();
}

int CActiveQVWindows::FindWindows() {
    if (!IsEmpty())
        RemoveAll();
    z64::integration::enumerateRunningInstances(*this);
    return IsEmpty() ? 0 : 1;
}

void CActiveQVWindows::RemoveAll() {
    while (!IsEmpty())
        delete RemoveHead();
    CList::RemoveAll();
}
