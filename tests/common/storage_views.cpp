#include "storage_views.h"

#include "test_support.h"

#include <support/com_ptr.h>

#include <algorithm>
#include <cstdio>

namespace storage_views {

namespace {

using support::ComPtr;

constexpr DWORD kReadMode = STGM_READ | STGM_SHARE_EXCLUSIVE;

std::string hexHash(const std::string& bytes) {
    // FNV-1a, enough to tell contents apart in a listing.
    unsigned long long hash = 1469598103934665603ull;
    for (unsigned char byte : bytes)
        hash = (hash ^ byte) * 1099511628211ull;
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", hash);
    return text;
}

std::string guidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return test_support::narrow(text);
}

std::string hresultText(const char* what, HRESULT hr) {
    char text[40];
    std::snprintf(text, sizeof text, "%s: %08lX", what, static_cast<unsigned long>(hr));
    return text;
}

void describeTree(IStorage* storage, const std::wstring& prefix, std::vector<std::string>* lines) {
    ComPtr<IEnumSTATSTG> elements;
    if (FAILED(storage->EnumElements(0, nullptr, 0, elements.put()))) {
        lines->push_back(test_support::narrow(prefix) + "|cannot enumerate");
        return;
    }
    STATSTG stat;
    while (elements->Next(1, &stat, nullptr) == S_OK) {
        const std::wstring name = stat.pwcsName;
        CoTaskMemFree(stat.pwcsName);
        std::string line = test_support::narrow(prefix + name);
        std::replace(line.begin(), line.end(), '\005', '#');
        if (stat.type == STGTY_STREAM) {
            lines->push_back(line + "|stream|" + std::to_string(stat.cbSize.QuadPart) + "|" +
                             hexHash(streamBytes(storage, name.c_str()).value_or("<cannot open>")));
            continue;
        }
        ComPtr<IStorage> child;
        STATSTG own{};
        if (FAILED(
                storage->OpenStorage(name.c_str(), nullptr, kReadMode, nullptr, 0, child.put())) ||
            FAILED(child->Stat(&own, STATFLAG_NONAME))) {
            lines->push_back(line + "|storage|cannot open");
            continue;
        }
        lines->push_back(line + "|storage|" + guidText(own.clsid) + "|" +
                         std::to_string(own.grfStateBits));
        describeTree(child.get(), prefix + name + L"/", lines);
    }
}

} // namespace

std::optional<std::string> streamBytes(IStorage* storage, const wchar_t* name) {
    ComPtr<IStream> stream;
    if (FAILED(storage->OpenStream(name, nullptr, kReadMode, 0, stream.put())))
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &read)) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

std::vector<std::string> treeOf(IStorage* storage) {
    std::vector<std::string> lines;
    describeTree(storage, L"", &lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string valueText(const PROPVARIANT& value) {
    char text[64];
    switch (value.vt) {
    // clang-format off
    case VT_I2: return "i2:" + std::to_string(value.iVal);
    case VT_I4: return "i4:" + std::to_string(value.lVal);
    case VT_UI4: return "ui4:" + std::to_string(value.ulVal);
    case VT_BOOL: return value.boolVal ? "bool:true" : "bool:false";
    case VT_LPSTR: return std::string("lpstr:") + value.pszVal;
    case VT_LPWSTR: return "lpwstr:" + test_support::narrow(value.pwszVal);
    case VT_BSTR: return "bstr:" + test_support::narrow(value.bstrVal);
    case VT_BLOB: return "blob:" + hexHash(std::string(reinterpret_cast<const char*>(value.blob.pBlobData), value.blob.cbSize));
    case VT_R8: std::snprintf(text, sizeof text, "r8:%.6g", value.dblVal); return text;
    case VT_FILETIME:
        std::snprintf(text, sizeof text, "filetime:%08lx%08lx", value.filetime.dwHighDateTime, value.filetime.dwLowDateTime);
        return text;
    default: return "vt" + std::to_string(value.vt);
        // clang-format on
    }
}

std::vector<std::string> propertiesOf(IStorage* storage, REFFMTID format) {
    ComPtr<IPropertySetStorage> sets;
    ComPtr<IPropertyStorage> set;
    if (FAILED(storage->QueryInterface(IID_IPropertySetStorage, sets.putVoid())))
        return {"no property sets"};
    const HRESULT opened = sets->Open(format, kReadMode, set.put());
    if (opened == STG_E_FILENOTFOUND)
        return {"absent"};
    if (FAILED(opened))
        return {hresultText("cannot open", opened)};
    ComPtr<IEnumSTATPROPSTG> properties;
    if (FAILED(set->Enum(properties.put())))
        return {"cannot enumerate"};
    std::vector<std::string> lines;
    STATPROPSTG item;
    while (properties->Next(1, &item, nullptr) == S_OK) {
        PROPSPEC selector{};
        selector.ulKind = PRSPEC_PROPID;
        selector.propid = item.propid;
        PROPVARIANT value;
        PropVariantInit(&value);
        const HRESULT hr = set->ReadMultiple(1, &selector, &value);
        lines.push_back(std::to_string(item.propid) + "|" +
                        (item.lpwstrName ? test_support::narrow(item.lpwstrName) : "") + "|" +
                        (SUCCEEDED(hr) ? valueText(value) : "unreadable"));
        PropVariantClear(&value);
        CoTaskMemFree(item.lpwstrName);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace storage_views
