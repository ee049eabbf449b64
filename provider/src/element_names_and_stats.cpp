// Element names, file times and STATSTG records, shared by the objects of the element tree.
#include "element_objects.h"

#include "results.h"

#include <support/task_memory.h>

#include <cfb/names.h>

#include <cstring>

namespace provider {

std::u16string_view asUtf16(const wchar_t* text) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    return text ? std::u16string_view(reinterpret_cast<const char16_t*>(text))
                : std::u16string_view();
}

HRESULT checkElementName(const OLECHAR* name) {
    RETURN_HR_IF_NULL(STG_E_INVALIDNAME, name);
    RETURN_HR_IF(STG_E_INVALIDNAME, engine::failed(engine::cfb::checkName(asUtf16(name))));
    return S_OK;
}

std::uint64_t fileTimeValue(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME toFileTime(std::uint64_t value) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}

HRESULT fillStatStg(const engine::cfb::ElementStat& element, DWORD flags, STATSTG* stat) {
    *stat = STATSTG{};
    switch (element.type) {
    case engine::cfb::ElementType::stream:
        stat->type = STGTY_STREAM;
        break;
    default:
        stat->type = STGTY_STORAGE;
        break;
    }
    stat->cbSize.QuadPart = element.size;
    stat->ctime = toFileTime(element.creationTime);
    stat->mtime = toFileTime(element.modifiedTime);
    static_assert(sizeof(CLSID) == sizeof(element.clsid));
    std::memcpy(&stat->clsid, element.clsid.data(), sizeof(CLSID));
    stat->grfStateBits = element.stateBits;
    if (flags != STATFLAG_NONAME) {
        stat->pwcsName = support::copyToTaskMemory(element.name).release();
        RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, stat->pwcsName);
    }
    return S_OK;
}

} // namespace provider
