// Helpers shared by the objects of the element tree.
#include "objects.h"

#include "results.h"

#include <cfb/names.h>

#include <cstring>

namespace provider {

wchar_t* copyToTaskMemory(std::u16string_view text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (!copy)
        return nullptr;
    std::memcpy(copy, text.data(), text.size() * sizeof(wchar_t));
    copy[text.size()] = L'\0';
    return copy;
}

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
        stat->pwcsName = copyToTaskMemory(element.name);
        RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, stat->pwcsName);
    }
    return S_OK;
}

} // namespace provider
