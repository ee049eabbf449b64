// Single typed properties of the two property sets the application keeps in its documents:
// summary information, whose properties are named by identifier, and the user-defined set,
// whose properties are named by UTF-16 text.
#include "integration/base_library.h"
#include "time/time.h"

#include <support/com_ptr.h>
#include <support/result_macros.h>
#include <support/task_memory.h>
#include <z64eveze.h>

#include <comutil.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace {

using support::ComPtr;
using support::UniquePropVariant;
using support::UniqueTaskString;

constexpr PROPID kFirstNamedPropertyId = 256;
constexpr DWORD kOpenSetMode = STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr DWORD kCreateSetMode = STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr wchar_t kLockdownDateName[] = L"QVLockdownDate";
constexpr ULONGLONG kOneSecond = 10000000;
constexpr size_t kLongestConvertibleText = 0x3FFFFFFF;
constexpr USHORT kUnicodeCodePage = 1200; // CP_WINUNICODE: the set stores UTF-16
constexpr HRESULT kNotSupported = HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
constexpr HRESULT kNoUnicodeTranslation = HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
// The identifier overloads need the base library's conversions.
constexpr HRESULT kIdentifierTextUnavailable = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);

// The property argument as a PROPSPEC for the set's format, learned from the set itself.
HRESULT propertySpecFor(IPropertyStorage* set, void* property, PROPSPEC* propertySpec) {
    *propertySpec = PROPSPEC{};
    STATPROPSETSTG stat{};
    RETURN_IF_FAILED(set->Stat(&stat));
    if (stat.fmtid == FMTID_SummaryInformation) {
        propertySpec->ulKind = PRSPEC_PROPID;
        propertySpec->propid = static_cast<PROPID>(reinterpret_cast<std::uintptr_t>(property));
        return S_OK;
    }
    if (stat.fmtid == FMTID_UserDefinedProperties) {
        propertySpec->ulKind = PRSPEC_LPWSTR;
        propertySpec->lpwstr = static_cast<LPOLESTR>(property);
        return S_OK;
    }
    return E_UNEXPECTED;
}

bool isSupportedSet(const FMTID& format) {
    return format == FMTID_SummaryInformation || format == FMTID_UserDefinedProperties;
}

// True when the property argument names "QVLockdownDate" in the user-defined set. A
// property identifier is never read as a pointer.
bool isLockdownDate(IPropertyStorage* set, void* property) {
    PROPSPEC propertySpec;
    return SUCCEEDED(propertySpecFor(set, property, &propertySpec)) &&
           propertySpec.ulKind == PRSPEC_LPWSTR &&
           std::wcscmp(propertySpec.lpwstr, kLockdownDateName) == 0;
}

// The value argument as a PROPVARIANT that points into the caller's data.
HRESULT variantFor(VARTYPE type, void* value, PROPVARIANT* variant) {
    *variant = PROPVARIANT{};
    variant->vt = type;
    switch (type) {
    case VT_I2:
    case VT_BOOL:
        variant->iVal = *static_cast<const SHORT*>(value);
        return S_OK;
    case VT_I4:
    case VT_UI4:
        variant->lVal = *static_cast<const LONG*>(value);
        return S_OK;
    case VT_R8:
    case VT_DATE:
        variant->dblVal = *static_cast<const double*>(value);
        return S_OK;
    case VT_BSTR:
    case VT_FILETIME:
        variant->uhVal.QuadPart = *static_cast<const ULONGLONG*>(value);
        return S_OK;
    case VT_I1:
        variant->cVal = *static_cast<const CHAR*>(value);
        return S_OK;
    case VT_LPSTR:
        variant->pszVal = static_cast<LPSTR>(value);
        return S_OK;
    case VT_LPWSTR:
        variant->pwszVal = static_cast<LPWSTR>(value);
        return S_OK;
    default:
        return E_INVALIDARG;
    }
}

// Failures after which the writer does not look for the name in another case.
bool isFinalWriteResult(HRESULT hr) {
    switch (hr) {
    case S_OK:
    case STG_E_MEDIUMFULL:
    case STG_E_ACCESSDENIED:
    case STG_E_INSUFFICIENTMEMORY:
    case STG_E_INVALIDPOINTER:
    case STG_E_WRITEFAULT:
    case STG_E_INVALIDPARAMETER:
    case STG_E_PROPSETMISMATCHED:
    case STG_E_REVERTED:
    case kNotSupported:
    case kNoUnicodeTranslation:
        return true;
    default:
        return false;
    }
}

// The identifier of the property whose name equals `name` without regard to case.
bool findNameIgnoringCase(IPropertyStorage* set, const wchar_t* name, PROPID* found) {
    ComPtr<IEnumSTATPROPSTG> entries;
    if (FAILED(set->Enum(entries.put())))
        return false;
    bool matched = false;
    try {
        STATPROPSTG entry{};
        while (!matched && entries->Next(1, &entry, nullptr) == S_OK) {
            const UniqueTaskString entryName(entry.lpwstrName);
            if (entryName && _wcsicmp(entryName.get(), name) == 0) {
                *found = entry.propid;
                matched = true;
            }
        }
    } catch (...) {
        // The search ends; a match already recorded still counts.
    }
    return matched;
}

// The ANSI text as a wide text, or no text for a null, over-long or unconvertible one.
std::unique_ptr<wchar_t[]> wideTextOf(const char* text) {
    if (!text)
        return nullptr;
    const size_t length = std::strlen(text);
    if (length >= kLongestConvertibleText)
        return nullptr;
    auto wide = std::make_unique<wchar_t[]>(length + 1);
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide.get(), static_cast<int>(length + 1)) == 0)
        return nullptr;
    return wide;
}

// The common course of the typed readers: a null destination gives E_POINTER; otherwise the
// destination takes its initial value, and `convert` fills it from the stored value only
// when the read gave exactly S_OK. The read's result is returned either way.
template <typename Target, typename Initial, typename Convert>
HRESULT readConverted(IPropertyStorage* set, void* property, Target* target, const Initial& initial,
                      Convert convert) {
    RETURN_HR_IF_NULL(E_POINTER, target);
    *target = initial;
    UniquePropVariant value;
    const HRESULT hr = QVStgReadProperty(set, property, value.put());
    if (hr == S_OK)
        convert(value.get(), target);
    return hr;
}

// The code page of the narrow (VT_LPSTR) texts a set's storage hands out: the set's own
// code page (PID_CODEPAGE, a 16-bit value stored as VT_I2, so 65001 reads as -535). A
// Unicode set stores narrow texts as UTF-16 and hands them out converted to the ANSI code
// page, as IPropertyStorage does; a set without a code page is read in the ANSI code page.
UINT narrowTextCodePage(IPropertyStorage* set) {
    PROPSPEC codePageSpec{};
    codePageSpec.ulKind = PRSPEC_PROPID;
    codePageSpec.propid = PID_CODEPAGE;
    UniquePropVariant codePage;
    if (set->ReadMultiple(1, &codePageSpec, codePage.put()) != S_OK ||
        (codePage->vt != VT_I2 && codePage->vt != VT_UI2))
        return CP_ACP;
    const USHORT value = codePage->uiVal;
    return value == kUnicodeCodePage ? CP_ACP : value;
}

// Narrow text in `codePage` as UTF-16; false when the system lacks the code page or the
// bytes are not text in it.
bool wideTextFromCodePage(UINT codePage, const char* narrow, std::wstring* text) {
    const int length = MultiByteToWideChar(codePage, 0, narrow, -1, nullptr, 0);
    if (length <= 0)
        return false;
    text->assign(static_cast<size_t>(length), L'\0');
    if (MultiByteToWideChar(codePage, 0, narrow, -1, text->data(), length) != length)
        return false;
    text->pop_back(); // the terminator
    return true;
}

// The stored text of a value as UTF-16: wide texts as they are, narrow ones converted from
// the code page the set hands them out in. False when the value holds no text (another
// type, or a null string) or the text cannot be converted.
bool storedText(IPropertyStorage* set, const PROPVARIANT& value, std::wstring* text) {
    switch (value.vt) {
    case VT_LPWSTR:
    case VT_BSTR: {
        const wchar_t* wide = value.vt == VT_LPWSTR ? value.pwszVal : value.bstrVal;
        if (!wide)
            return false;
        text->assign(wide);
        return true;
    }
    case VT_LPSTR:
        return value.pszVal && wideTextFromCodePage(narrowTextCodePage(set), value.pszVal, text);
    default:
        return false;
    }
}

// Converts to the ANSI code page into `text`, which holds the whole text.
bool narrowTextInto(const std::wstring& wide, char* text) {
    const int length = static_cast<int>(wide.size());
    return WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text, 2 * (length + 1), nullptr,
                               nullptr) != 0;
}

} // namespace

Z64EVEZE_API long QVStgOpenPropertyStorage(IUnknown* object, const GUID& formatId,
                                           IPropertyStorage** set) {
    RETURN_HR_IF(E_POINTER, !object || !set);
    *set = nullptr;
    ComPtr<IPropertySetStorage> sets;
    RETURN_IF_FAILED(object->QueryInterface(IID_IPropertySetStorage, sets.putVoid()));
    if (SUCCEEDED(sets->Open(formatId, kOpenSetMode, set)))
        return S_OK;
    return sets->Create(formatId, nullptr, PROPSETFLAG_DEFAULT, kCreateSetMode, set);
}

Z64EVEZE_API long QVStgCopyPropertyStorage(IPropertyStorage* destination,
                                           IPropertyStorage* source) {
    RETURN_HR_IF(E_POINTER, !destination || !source);
    STATPROPSETSTG destinationStat{}, sourceStat{};
    destination->Stat(&destinationStat);
    source->Stat(&sourceStat);
    RETURN_HR_IF(E_UNEXPECTED,
                 destinationStat.fmtid != sourceStat.fmtid || !isSupportedSet(sourceStat.fmtid));
    const bool byName = sourceStat.fmtid == FMTID_UserDefinedProperties;

    ComPtr<IEnumSTATPROPSTG> entries;
    RETURN_IF_FAILED(source->Enum(entries.put()));
    STATPROPSTG entry{};
    while (entries->Next(1, &entry, nullptr) == S_OK) {
        const UniqueTaskString entryName(entry.lpwstrName);
        PROPSPEC propertySpec{};
        if (byName && entryName) {
            propertySpec.ulKind = PRSPEC_LPWSTR;
            propertySpec.lpwstr = entryName.get();
        } else {
            propertySpec.ulKind = PRSPEC_PROPID;
            propertySpec.propid = entry.propid;
        }
        UniquePropVariant value;
        if (source->ReadMultiple(1, &propertySpec, value.put()) == S_OK)
            destination->WriteMultiple(1, &propertySpec, &value.get(), kFirstNamedPropertyId);
    }
    return S_OK;
}

Z64EVEZE_API long QVStgDeleteMultipleProperties(IPropertyStorage* set, unsigned long count,
                                                void* properties[]) {
    (void)set;
    (void)count;
    (void)properties;
    return E_NOTIMPL;
}

Z64EVEZE_API long QVStgDeleteProperty(IPropertyStorage* set, void* property) {
    RETURN_HR_IF(E_POINTER, !set || !property);
    PROPSPEC propertySpec;
    RETURN_IF_FAILED(propertySpecFor(set, property, &propertySpec));
    return set->DeleteMultiple(1, &propertySpec);
}

Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, unsigned short type,
                                     void* value, bool commit) {
    RETURN_HR_IF(E_POINTER, !set || !property || !value);
    FILETIME now{};
    CoFileTimeNow(&now);
    PROPVARIANT variant;
    RETURN_IF_FAILED(variantFor(type, value, &variant));
    PROPSPEC propertySpec;
    RETURN_IF_FAILED(propertySpecFor(set, property, &propertySpec));
    RETURN_IF_FAILED(set->SetTimes(&now, &now, &now));

    HRESULT hr = set->WriteMultiple(1, &propertySpec, &variant, kFirstNamedPropertyId);
    PROPID existing = 0;
    if (!isFinalWriteResult(hr) && propertySpec.ulKind == PRSPEC_LPWSTR &&
        findNameIgnoringCase(set, propertySpec.lpwstr, &existing)) {
        PROPSPEC byIdentifier{};
        byIdentifier.ulKind = PRSPEC_PROPID;
        byIdentifier.propid = existing;
        hr = set->WriteMultiple(1, &byIdentifier, &variant, kFirstNamedPropertyId);
    }
    if (SUCCEEDED(hr) && commit)
        return set->Commit(STGC_DEFAULT);
    return hr;
}

Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, const char* text) {
    const std::unique_ptr<wchar_t[]> wide = wideTextOf(text);
    return QVStgWriteProperty(set, property, VT_LPWSTR, wide.get(), false);
}

Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, const wchar_t* text) {
    return QVStgWriteProperty(set, property, VT_LPWSTR, const_cast<wchar_t*>(text), false);
}

Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, _bstr_t* text) {
    wchar_t* wide = text ? static_cast<wchar_t*>(*text) : nullptr;
    return QVStgWriteProperty(set, property, VT_LPWSTR, wide, false);
}

Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, int flag) {
    VARIANT_BOOL value = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return QVStgWriteProperty(set, property, VT_BOOL, &value, false);
}

Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, GUID* id) {
    RETURN_HR_IF_NULL(E_POINTER, id);
    RETURN_HR_IF_NULL(kIdentifierTextUnavailable, g_pfnGUIDToString);
    char text[z64::integration::kGuidTextBufferSize] = {};
    g_pfnGUIDToString(id, text);
    return QVStgWriteProperty(set, property, text);
}

Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, FILETIME* time) {
    RETURN_HR_IF_NULL(E_POINTER, time);
    ULONGLONG ticks = z64::time::ticksOf(*time);
    if (ticks == z64::time::kEmptyDateTicks) {
        (void)QVStgDeleteProperty(set, property);
        return S_OK;
    }
    if (set && property && ticks != 0 && isLockdownDate(set, property)) {
        ticks -= kOneSecond;
        *time = z64::time::fileTimeOf(ticks);
    }
    return QVStgWriteProperty(set, property, VT_FILETIME, time, false);
}

Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, long value) {
    return QVStgWriteProperty(set, property, VT_I4, &value, false);
}

Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, unsigned int value) {
    return QVStgWriteProperty(set, property, VT_UI4, &value, false);
}

Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, double value) {
    return QVStgWriteProperty(set, property, VT_R8, &value, false);
}

Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, PROPVARIANT* value) {
    RETURN_HR_IF(E_POINTER, !set || !property || !value);
    PropVariantClear(value);
    PROPSPEC propertySpec;
    RETURN_IF_FAILED(propertySpecFor(set, property, &propertySpec));
    return set->ReadMultiple(1, &propertySpec, value);
}

Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, char* text) {
    return readConverted(set, property, text, '\0', [set](const PROPVARIANT& value, char* target) {
        std::wstring wide;
        if (storedText(set, value, &wide) && !narrowTextInto(wide, target))
            target[0] = '\0';
    });
}

Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, wchar_t* text) {
    return readConverted(set, property, text, L'\0',
                         [set](const PROPVARIANT& value, wchar_t* target) {
                             std::wstring wide;
                             if (storedText(set, value, &wide))
                                 std::wcscpy(target, wide.c_str());
                         });
}

Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, _bstr_t* text) {
    return readConverted(set, property, text, L"",
                         [set](const PROPVARIANT& value, _bstr_t* target) {
                             std::wstring wide;
                             if (storedText(set, value, &wide))
                                 *target = wide.c_str();
                         });
}

Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, int* flag) {
    return readConverted(set, property, flag, 0, [](const PROPVARIANT& value, int* target) {
        *target = static_cast<USHORT>(value.uiVal) == 0xFFFF ? 1 : 0;
    });
}

Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, GUID* id) {
    RETURN_HR_IF_NULL(E_POINTER, id);
    *id = GUID{};
    RETURN_HR_IF_NULL(kIdentifierTextUnavailable, g_pfnStringToGUID);
    UniquePropVariant value;
    const HRESULT hr = QVStgReadProperty(set, property, value.put());
    if (hr != S_OK)
        return hr;
    std::wstring wide;
    const bool hasText = storedText(set, value.get(), &wide);
    std::vector<char> text(2 * (wide.size() + 1), '\0');
    const bool converted = hasText && narrowTextInto(wide, text.data());
    g_pfnStringToGUID(converted ? text.data() : nullptr, id);
    return hr;
}

Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, FILETIME* time) {
    RETURN_HR_IF_NULL(E_POINTER, time);
    *time = FILETIME{};
    UniquePropVariant value;
    const HRESULT hr = QVStgReadProperty(set, property, value.put());
    if (FAILED(hr))
        return hr;
    *time = value->vt == VT_FILETIME ? value->filetime : z64::time::kEmptyDate;
    const ULONGLONG ticks = z64::time::ticksOf(*time);
    if (ticks != 0 && ticks != z64::time::kEmptyDateTicks && isLockdownDate(set, property))
        *time = z64::time::fileTimeOf(ticks + kOneSecond);
    return hr;
}

Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, long* number) {
    return readConverted(set, property, number, 0L,
                         [](const PROPVARIANT& value, long* target) { *target = value.lVal; });
}

Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, double* number) {
    return readConverted(set, property, number, 0.0,
                         [](const PROPVARIANT& value, double* target) { *target = value.dblVal; });
}
