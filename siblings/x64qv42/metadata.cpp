#include "x64qv42.h"

#include <support/com_ptr.h>
#include <support/unique_resource.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD kCreateSetMode = STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr UINT32 kCollectedMark = 0x51563432; // "QV42"
constexpr char kApplicationName[] = "Quorvane";
constexpr wchar_t kFailureSwitch[] = L"QV_METADATA_FAIL";

struct MetadataContext {
    UINT32 mark;
    char title[MAX_PATH];
    ULONGLONG size;
    FILETIME created;
    FILETIME accessed;
    FILETIME written;
};
static_assert(sizeof(MetadataContext) <= kMetadataContextSize);

bool failureRequested(const wchar_t* step) {
    wchar_t value[32] = {};
    const DWORD length = GetEnvironmentVariableW(kFailureSwitch, value, ARRAYSIZE(value));
    return length > 0 && length < ARRAYSIZE(value) && _wcsicmp(value, step) == 0;
}

// The file name (without folder) in the ANSI code page, as the document's title.
void titleFrom(const wchar_t* path, char (&title)[MAX_PATH]) {
    const wchar_t* name = path;
    for (const wchar_t* character = path; *character; ++character)
        if (*character == L'\\' || *character == L'/')
            name = character + 1;
    if (WideCharToMultiByte(CP_ACP, 0, name, -1, title, MAX_PATH, nullptr, nullptr) == 0)
        title[0] = '\0';
}

PROPSPEC byIdentifier(PROPID id) {
    PROPSPEC propertySpec{};
    propertySpec.ulKind = PRSPEC_PROPID;
    propertySpec.propid = id;
    return propertySpec;
}

PROPVARIANT textValue(char* text) {
    PROPVARIANT value{};
    value.vt = VT_LPSTR;
    value.pszVal = text;
    return value;
}

PROPVARIANT timeValue(const FILETIME& time) {
    PROPVARIANT value{};
    value.vt = VT_FILETIME;
    value.filetime = time;
    return value;
}

} // namespace

QV42_API int QVCollectMetaData(const wchar_t* path, void* context) {
    if (!path || !context || failureRequested(L"collect"))
        return 0;
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &attributes))
        return 0;
    auto* metadata = static_cast<MetadataContext*>(context);
    *metadata = MetadataContext{};
    titleFrom(path, metadata->title);
    metadata->size =
        (static_cast<ULONGLONG>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
    metadata->created = attributes.ftCreationTime;
    metadata->accessed = attributes.ftLastAccessTime;
    metadata->written = attributes.ftLastWriteTime;
    metadata->mark = kCollectedMark;
    return 1;
}

QV42_API int QVWriteMetaData2(IStorage* storage, void* context) {
    if (!storage || !context || failureRequested(L"write"))
        return 0;
    auto* metadata = static_cast<MetadataContext*>(context);
    if (metadata->mark != kCollectedMark)
        return 0;

    support::ComPtr<IPropertySetStorage> sets;
    support::ComPtr<IPropertyStorage> summary;
    if (FAILED(storage->QueryInterface(IID_IPropertySetStorage, sets.putVoid())) ||
        FAILED(sets->Create(FMTID_SummaryInformation, nullptr, PROPSETFLAG_ANSI, kCreateSetMode,
                            summary.put())))
        return 0;

    char comments[64];
    std::snprintf(comments, sizeof comments, "%llu bytes", metadata->size);
    char application[sizeof kApplicationName];
    std::memcpy(application, kApplicationName, sizeof kApplicationName);
    const PROPSPEC names[] = {byIdentifier(PIDSI_TITLE), byIdentifier(PIDSI_COMMENTS),
                              byIdentifier(PIDSI_CREATE_DTM), byIdentifier(PIDSI_LASTSAVE_DTM),
                              byIdentifier(PIDSI_APPNAME)};
    const PROPVARIANT values[] = {textValue(metadata->title), textValue(comments),
                                  timeValue(metadata->created), timeValue(metadata->written),
                                  textValue(application)};
    static_assert(ARRAYSIZE(names) == ARRAYSIZE(values));
    if (FAILED(summary->WriteMultiple(ARRAYSIZE(names), names, values, PID_FIRST_USABLE)))
        return 0;
    return SUCCEEDED(summary->Commit(STGC_DEFAULT)) ? 1 : 0;
}

QV42_API void QVClearMetaData(void* context) {
    if (context)
        std::memset(context, 0, sizeof(MetadataContext));
}
