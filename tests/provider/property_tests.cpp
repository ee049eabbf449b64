// IPropertySetStorage, IPropertyStorage and their enumerators: arguments, every value type,
// names, special identifiers, the document-summary pair, times, transactions and buffering.
#include "provider_api.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <vector>
#include <functional>
#include <numeric>
#include <tuple>

using namespace provider_test;
using test_support::TemporaryDirectory;
using PropertySets = DocumentTest;

namespace {

constexpr DWORD kSetMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
// {0B63E350-9CCC-11D0-BCDB-00805FCCCE04}: an application's own set.
constexpr FMTID kCustomSet = {
    0x0b63e350, 0x9ccc, 0x11d0, {0xbc, 0xdb, 0x00, 0x80, 0x5f, 0xcc, 0xce, 0x04}};

ComPtr<IPropertySetStorage> setsOf(IStorage* storage) {
    ComPtr<IPropertySetStorage> sets;
    if (FAILED(storage->QueryInterface(IID_IPropertySetStorage, sets.putVoid())))
        throw std::runtime_error("no property sets");
    return sets;
}

ComPtr<IPropertyStorage> createSet(IStorage* storage, const FMTID& id,
                                   DWORD flags = PROPSETFLAG_DEFAULT, DWORD mode = kSetMode) {
    ComPtr<IPropertyStorage> set;
    if (FAILED(setsOf(storage)->Create(id, nullptr, flags, mode | STGM_CREATE, set.put())))
        throw std::runtime_error("cannot create a set");
    return set;
}

ComPtr<IPropertyStorage> openSet(IStorage* storage, const FMTID& id, DWORD mode = kSetMode) {
    ComPtr<IPropertyStorage> set;
    if (FAILED(setsOf(storage)->Open(id, mode, set.put())))
        throw std::runtime_error("cannot open a set");
    return set;
}

HRESULT writeOne(IPropertyStorage* set, PROPSPEC selector, const PROPVARIANT& value,
                 PROPID firstNamed = PID_FIRST_USABLE) {
    return set->WriteMultiple(1, &selector, &value, firstNamed);
}

HRESULT writeI4(IPropertyStorage* set, PROPSPEC selector, LONG value) {
    return writeOne(set, selector, valueOf(VT_I4, &PROPVARIANT::lVal, value));
}

// The value read back, or VT_EMPTY; the caller clears it.
PROPVARIANT readOne(IPropertyStorage* set, PROPSPEC selector) {
    PROPVARIANT value{};
    set->ReadMultiple(1, &selector, &value);
    return value;
}

// The answer of reading one property; the value read is dropped.
HRESULT readAnswer(IPropertyStorage* set, PROPSPEC selector) {
    PROPVARIANT value{};
    const HRESULT hr = set->ReadMultiple(1, &selector, &value);
    PropVariantClear(&value);
    return hr;
}

// The name of property `id`, or an empty text.
std::wstring nameOf(IPropertyStorage* set, PROPID id) {
    LPOLESTR name = nullptr;
    if (set->ReadPropertyNames(1, &id, &name) != S_OK)
        return L"";
    std::wstring text = name;
    CoTaskMemFree(name);
    return text;
}

// The stream name Wine's ole32 gives a set, as an independent answer to the FMTID-to-name rule.
std::wstring ole32StreamName(const FMTID& id) {
    TemporaryDirectory folder;
    ComPtr<IStorage> root = createDocument(ole32Api(), folder.file(L"name.stg"));
    createSet(root.get(), id).reset();
    const Names names = listElements(root.get());
    return names.size() == 1 ? names[0].substr(2) : L"";
}

// clang-format off
// The bytes of one element of `type` in a vector or an array.
size_t elementSize(VARTYPE type) {
    switch (type) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_R4: case VT_ERROR: case VT_INT: case VT_UINT: return 4;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: case VT_FILETIME: return 8;
    case VT_CLSID: return sizeof(CLSID);
    case VT_VARIANT: return sizeof(PROPVARIANT);
    default: return sizeof(void*);
    }
}

bool sameValue(const PROPVARIANT& read, const PROPVARIANT& written);

// Whether two elements of `type` at `a` and `b` hold the same data.
bool sameElement(VARTYPE type, const void* a, const void* b) {
    switch (type) {
    case VT_LPSTR: return std::strcmp(*static_cast<char* const*>(a), *static_cast<char* const*>(b)) == 0;
    case VT_LPWSTR: return std::wcscmp(*static_cast<wchar_t* const*>(a), *static_cast<wchar_t* const*>(b)) == 0;
    case VT_BSTR: {
        const BSTR x = *static_cast<const BSTR*>(a), y = *static_cast<const BSTR*>(b);
        return SysStringByteLen(x) == SysStringByteLen(y) && std::memcmp(x, y, SysStringByteLen(x)) == 0;
    }
    case VT_VARIANT: return sameValue(*static_cast<const PROPVARIANT*>(a), *static_cast<const PROPVARIANT*>(b));
    // A DECIMAL overlays the whole variant, its first two bytes where the type is.
    case VT_DECIMAL: return std::memcmp(static_cast<const char*>(a) + 2, static_cast<const char*>(b) + 2, sizeof(DECIMAL) - 2) == 0;
    default: return std::memcmp(a, b, elementSize(type)) == 0;
    }
}

// Whether `read` has the type of `written` and the same data, element by element (the
// bounds of every dimension of an array too).
bool sameValue(const PROPVARIANT& read, const PROPVARIANT& written) {
    const VARTYPE type = written.vt & VT_TYPEMASK;
    auto sameElements = [type](const void* a, const void* b, ULONG count, size_t size) {
        for (ULONG index = 0; index < count; ++index)
            if (!sameElement(type, static_cast<const char*>(a) + index * size, static_cast<const char*>(b) + index * size))
                return false;
        return true;
    };
    if (read.vt != written.vt)
        return false;
    if (written.vt & VT_VECTOR)
        return read.cac.cElems == written.cac.cElems && sameElements(read.cac.pElems, written.cac.pElems, written.cac.cElems, elementSize(type));
    if (written.vt & VT_ARRAY) {
        const SAFEARRAY &a = *read.parray, &b = *written.parray;
        ULONG count = 1;
        for (USHORT dimension = 0; dimension < b.cDims; ++dimension)
            count *= b.rgsabound[dimension].cElements;
        return a.cDims == b.cDims && a.cbElements == b.cbElements && std::memcmp(a.rgsabound, b.rgsabound, b.cDims * sizeof(SAFEARRAYBOUND)) == 0 && sameElements(a.pvData, b.pvData, count, b.cbElements);
    }
    if (written.vt == VT_BLOB)
        return read.blob.cbSize == written.blob.cbSize && std::memcmp(read.blob.pBlobData, written.blob.pBlobData, written.blob.cbSize) == 0;
    if (written.vt == VT_CLSID)
        return *read.puuid == *written.puuid;
    // A DECIMAL is the whole variant; every other scalar lies where bVal does.
    return type == VT_DECIMAL ? sameElement(type, &read, &written) : sameElement(type, &read.bVal, &written.bVal);
}

// A value of each kind the sets hold, made by its row.
struct ValueRow { const char* label; void (*fill)(PROPVARIANT*); };

// `value` as an array of `type` with the given bounds; its elements are left zero.
template <typename Element>
Element* makeArray(PROPVARIANT* value, VARTYPE type, std::vector<SAFEARRAYBOUND> bounds) {
    value->vt = VT_ARRAY | type;
    value->parray = SafeArrayCreate(type, static_cast<UINT>(bounds.size()), bounds.data());
    return static_cast<Element*>(value->parray->pvData);
}

const ValueRow kValueRows[] = {
    {"VT_I2", [](PROPVARIANT* v) { v->vt = VT_I2; v->iVal = -1234; }},
    {"VT_I4", [](PROPVARIANT* v) { v->vt = VT_I4; v->lVal = -123456789; }},
    {"VT_UI4", [](PROPVARIANT* v) { v->vt = VT_UI4; v->ulVal = 4000000000u; }},
    {"VT_I8", [](PROPVARIANT* v) { v->vt = VT_I8; v->hVal.QuadPart = -(1ll << 40); }},
    {"VT_UI1", [](PROPVARIANT* v) { v->vt = VT_UI1; v->bVal = 200; }},
    {"VT_R4", [](PROPVARIANT* v) { v->vt = VT_R4; v->fltVal = 1.5f; }},
    {"VT_R8", [](PROPVARIANT* v) { v->vt = VT_R8; v->dblVal = 3.25; }},
    {"VT_CY", [](PROPVARIANT* v) { v->vt = VT_CY; v->cyVal.int64 = 123450000; }},
    {"VT_DATE", [](PROPVARIANT* v) { v->vt = VT_DATE; v->date = 45000.5; }},
    {"VT_BOOL", [](PROPVARIANT* v) { v->vt = VT_BOOL; v->boolVal = VARIANT_TRUE; }},
    {"VT_BOOL of another writer, 5", [](PROPVARIANT* v) { v->vt = VT_BOOL; v->boolVal = 5; }},
    {"VT_ERROR", [](PROPVARIANT* v) { v->vt = VT_ERROR; v->scode = E_FAIL; }},
    {"VT_FILETIME", [](PROPVARIANT* v) { v->vt = VT_FILETIME; v->filetime = {0x12345678, 0x01D9ABCD}; }},
    {"VT_CLSID", [](PROPVARIANT* v) { static CLSID clsid = IID_IStorage; v->vt = VT_CLSID; v->puuid = &clsid; }},
    {"VT_LPSTR", [](PROPVARIANT* v) { v->vt = VT_LPSTR; v->pszVal = const_cast<char*>("first"); }},
    {"VT_LPWSTR", [](PROPVARIANT* v) { v->vt = VT_LPWSTR; v->pwszVal = const_cast<wchar_t*>(L"wide \u00e9\u20ac"); }},
    {"VT_BSTR", [](PROPVARIANT* v) { v->vt = VT_BSTR; v->bstrVal = SysAllocString(L"basic"); }},
    {"VT_BLOB", [](PROPVARIANT* v) { static BYTE bytes[] = {1, 2, 3, 0, 255}; v->vt = VT_BLOB; v->blob = {sizeof bytes, bytes}; }},
    {"VT_VECTOR | VT_I4", [](PROPVARIANT* v) { static LONG longs[] = {-1, 0, 70000}; v->vt = VT_VECTOR | VT_I4; v->cal = {3, longs}; }},
    {"VT_VECTOR | VT_LPSTR", [](PROPVARIANT* v) { static char* texts[] = {const_cast<char*>("first"), const_cast<char*>("second")}; v->vt = VT_VECTOR | VT_LPSTR; v->calpstr = {2, texts}; }},
    {"VT_VECTOR | VT_VARIANT", [](PROPVARIANT* v) { static PROPVARIANT mixed[2] = {}; mixed[0].vt = VT_I2; mixed[0].iVal = -5; mixed[1].vt = VT_R8; mixed[1].dblVal = 2.5; v->vt = VT_VECTOR | VT_VARIANT; v->capropvar = {2, mixed}; }},
    {"VT_ARRAY | VT_I4, two dimensions from 1 and -2", [](PROPVARIANT* v) { LONG* items = makeArray<LONG>(v, VT_I4, {{2, 1}, {3, -2}}); for (LONG index = 0; index < 6; ++index) items[index] = 10 * index - 7; }},
    {"VT_ARRAY | VT_BSTR", [](PROPVARIANT* v) { BSTR* texts = makeArray<BSTR>(v, VT_BSTR, {{3, 0}}); texts[0] = SysAllocString(L"caf\u00e9"); texts[1] = SysAllocString(L""); texts[2] = SysAllocString(L"a longer third text"); }},
    {"VT_ARRAY | VT_VARIANT", [](PROPVARIANT* v) { VARIANT* items = makeArray<VARIANT>(v, VT_VARIANT, {{3, 5}}); items[0].vt = VT_I1; items[0].cVal = -3; items[1].vt = VT_BSTR; items[1].bstrVal = SysAllocString(L"z"); VarDecFromI4(-123456, &items[2].decVal); items[2].vt = VT_DECIMAL; }},
};
// clang-format on

// Clears what a row's value owns (its strings and arrays), not the constants it points to.
void clearOwned(PROPVARIANT* value) {
    if (value->vt == VT_BSTR || (value->vt & VT_ARRAY))
        PropVariantClear(value);
}

// Writes every row's value to `set` under identifiers 2, 3, ...
void writeValueRows(IPropertyStorage* set) {
    PROPID id = PID_FIRST_USABLE;
    for (const ValueRow& row : kValueRows) {
        PROPVARIANT value{};
        row.fill(&value);
        const HRESULT hr = writeOne(set, byId(id++), value);
        clearOwned(&value);
        if (FAILED(hr))
            throw std::runtime_error(std::string("cannot write ") + row.label);
    }
}

void expectValueRows(IPropertyStorage* set) {
    PROPID id = PID_FIRST_USABLE;
    for (const ValueRow& row : kValueRows) {
        SCOPED_TRACE(row.label);
        PROPVARIANT written{};
        row.fill(&written);
        PROPVARIANT value = readOne(set, byId(id++));
        EXPECT_TRUE(sameValue(value, written)) << "read back as type " << value.vt;
        EXPECT_EQ(PropVariantClear(&value), S_OK);
        clearOwned(&written);
    }
}

// A null where a REFFMTID or REFCLSID is expected, as callers in C can pass one.
const GUID& nullGuid() {
    static const GUID* volatile null = nullptr;
    return *null;
}

using SetCall = std::function<HRESULT(IPropertySetStorage*, IPropertyStorage*)>;

// clang-format off
struct SetRow { const char* label; SetCall call; HRESULT expected; /* Why Wine's ole32 answers otherwise, when it does. */ const char* wineDiffers = ""; /* Why the row cannot run against Wine's ole32 at all (it ends the process). */ const char* wineCannotRun = ""; };
// clang-format on

// Each row gets a document whose summary set exists (closed) and whose document-summary set
// is open as the IPropertyStorage, holding the VT_I4 7 as property 2.
void runSetRows(const std::vector<SetRow>& rows) {
    for (const StorageApi* api : {&providerApi(), &ole32Api()}) {
        for (const SetRow& row : rows) {
            if (api == &ole32Api() && *row.wineCannotRun != '\0')
                continue;
            SCOPED_TRACE(std::string(api->label) + ": " + row.label);
            TemporaryDirectory folder;
            ComPtr<IStorage> root = createDocument(*api, folder.file(L"sets.stg"));
            createSet(root.get(), FMTID_SummaryInformation).reset();
            ComPtr<IPropertyStorage> set = createSet(root.get(), FMTID_DocSummaryInformation);
            ASSERT_EQ(writeI4(set.get(), byId(2), 7), S_OK);
            const HRESULT hr = row.call(setsOf(root.get()).get(), set.get());
            if (api == &providerApi() || *row.wineDiffers == '\0') {
                EXPECT_EQ(hr, row.expected);
            } else {
                EXPECT_NE(hr, row.expected) << "Wine now agrees: " << row.wineDiffers;
            }
        }
    }
}

SetCall create(const FMTID& id, DWORD flags, DWORD mode) {
    return [&id, flags, mode](IPropertySetStorage* sets, IPropertyStorage*) {
        ComPtr<IPropertyStorage> set;
        return sets->Create(id, nullptr, flags, mode, set.put());
    };
}

SetCall open(const FMTID& id, DWORD mode) {
    return [&id, mode](IPropertySetStorage* sets, IPropertyStorage*) {
        ComPtr<IPropertyStorage> set;
        return sets->Open(id, mode, set.put());
    };
}

} // namespace

// Each row runs against the provider and Wine's ole32: create, open and delete, null
// pointers (which must not crash), and values that are nothing to store or another writer's.
TEST(PropertySetArguments, AnswerAsDocumented) {
    constexpr const char* kWineAbortsOverASet =
        "Wine 8 aborts on an assertion in stg_prop.c when a set is created over an existing one";
    constexpr const char* kWineNeedsCreate =
        "it refuses Create without STGM_CREATE (STG_E_INVALIDFLAG)";
    constexpr const char* kWineAborts = "Wine 8 aborts on an assertion in stg_prop.c";
    constexpr const char* kWineWritesThroughNull = "Wine 8 writes through the null pointer";
    constexpr const char* kWineGivesInvalidArg = "it answers E_INVALIDARG for an out-pointer";
    runSetRows({
        // clang-format off
        {"create", create(kCustomSet, 0, kSetMode | STGM_CREATE), S_OK},
        {"create unbuffered ANSI case-sensitive", create(kCustomSet, PROPSETFLAG_UNBUFFERED | PROPSETFLAG_ANSI | PROPSETFLAG_CASE_SENSITIVE, kSetMode | STGM_CREATE), S_OK},
        {"create without STGM_CREATE", create(kCustomSet, 0, kSetMode), S_OK, kWineNeedsCreate},
        {"create with an unknown flag", create(kCustomSet, 0x10, kSetMode | STGM_CREATE), STG_E_INVALIDFLAG, "it ignores unknown set flags"},
        {"create non-simple", create(kCustomSet, PROPSETFLAG_NONSIMPLE, kSetMode | STGM_CREATE), STG_E_INVALIDFLAG},
        {"create without exclusive sharing", create(kCustomSet, 0, STGM_READWRITE | STGM_CREATE), STG_E_INVALIDFLAG},
        {"create write-only", create(kCustomSet, 0, STGM_WRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE), STG_E_INVALIDFLAG},
        {"create for reading", create(kCustomSet, 0, STGM_READ | STGM_SHARE_EXCLUSIVE | STGM_CREATE), STG_E_INVALIDFLAG},
        {"open after a create for reading", [](IPropertySetStorage* sets, IPropertyStorage* held) { ComPtr<IPropertyStorage> refused; sets->Create(FMTID_SummaryInformation, nullptr, 0, kReadMode | STGM_CREATE, refused.put()); return open(FMTID_SummaryInformation, kSetMode)(sets, held); }, S_OK},
        {"create over an existing set", create(FMTID_SummaryInformation, 0, kSetMode), STG_E_FILEALREADYEXISTS, kWineNeedsCreate},
        {"create replacing an existing set", create(FMTID_SummaryInformation, 0, kSetMode | STGM_CREATE), S_OK, "", kWineAbortsOverASet},
        {"create over a storage of the set's name", [](IPropertySetStorage* sets, IPropertyStorage* held) { ComPtr<IStorage> storage; sets->QueryInterface(IID_IStorage, storage.putVoid()); ComPtr<IStorage> squatter; storage->CreateStorage(ole32StreamName(kCustomSet).c_str(), kSetMode, 0, 0, squatter.put()); return create(kCustomSet, 0, kSetMode)(sets, held); }, STG_E_FILEALREADYEXISTS, kWineNeedsCreate},
        {"open", open(FMTID_SummaryInformation, kSetMode), S_OK},
        {"open for reading", open(FMTID_SummaryInformation, kReadMode), S_OK},
        {"open a missing set", open(kCustomSet, kSetMode), STG_E_FILENOTFOUND},
        {"open an open set", open(FMTID_DocSummaryInformation, kSetMode), STG_E_ACCESSDENIED},
        {"delete", [](IPropertySetStorage* s, auto) { return s->Delete(FMTID_SummaryInformation); }, S_OK},
        {"delete a missing set", [](IPropertySetStorage* s, auto) { return s->Delete(kCustomSet); }, STG_E_FILENOTFOUND},
        // IPropertySetStorage without its pointers
        {"create without format", [](IPropertySetStorage* s, auto) { ComPtr<IPropertyStorage> set; return s->Create(nullGuid(), nullptr, 0, kSetMode | STGM_CREATE, set.put()); }, E_INVALIDARG},
        {"create without out-parameter", [](IPropertySetStorage* s, auto) { return s->Create(kCustomSet, nullptr, 0, kSetMode | STGM_CREATE, nullptr); }, STG_E_INVALIDPOINTER, "", kWineAborts},
        {"open without format", [](IPropertySetStorage* s, auto) { ComPtr<IPropertyStorage> set; return s->Open(nullGuid(), kSetMode, set.put()); }, E_INVALIDARG},
        {"open without out-parameter", [](IPropertySetStorage* s, auto) { return s->Open(FMTID_SummaryInformation, kSetMode, nullptr); }, STG_E_INVALIDPOINTER, "", kWineAborts},
        {"delete without format", [](IPropertySetStorage* s, auto) { return s->Delete(nullGuid()); }, E_INVALIDARG},
        {"enumerate without out-parameter", [](IPropertySetStorage* s, auto) { return s->Enum(nullptr); }, STG_E_INVALIDPOINTER, kWineGivesInvalidArg},
        // IPropertyStorage without its pointers
        {"read without selectors", [](auto, IPropertyStorage* p) { PROPVARIANT value; return p->ReadMultiple(1, nullptr, &value); }, E_INVALIDARG},
        {"read without values", [](auto, IPropertyStorage* p) { const PROPSPEC selector = byId(2); return p->ReadMultiple(1, &selector, nullptr); }, E_INVALIDARG},
        {"write without selectors", [](auto, IPropertyStorage* p) { PROPVARIANT value{}; return p->WriteMultiple(1, nullptr, &value, PID_FIRST_USABLE); }, E_INVALIDARG},
        {"write without values", [](auto, IPropertyStorage* p) { const PROPSPEC selector = byId(2); return p->WriteMultiple(1, &selector, nullptr, PID_FIRST_USABLE); }, E_INVALIDARG},
        {"delete without selectors", [](auto, IPropertyStorage* p) { return p->DeleteMultiple(1, nullptr); }, E_INVALIDARG},
        {"read names without identifiers", [](auto, IPropertyStorage* p) { LPOLESTR name = nullptr; return p->ReadPropertyNames(1, nullptr, &name); }, E_INVALIDARG},
        {"read names without names", [](auto, IPropertyStorage* p) { const PROPID id = 2; return p->ReadPropertyNames(1, &id, nullptr); }, E_INVALIDARG},
        {"write names without identifiers", [](auto, IPropertyStorage* p) { LPOLESTR name = const_cast<LPOLESTR>(L"Name"); return p->WritePropertyNames(1, nullptr, &name); }, E_INVALIDARG},
        {"write names without names", [](auto, IPropertyStorage* p) { const PROPID id = 2; return p->WritePropertyNames(1, &id, nullptr); }, E_INVALIDARG},
        {"delete names without identifiers", [](auto, IPropertyStorage* p) { return p->DeletePropertyNames(1, nullptr); }, E_INVALIDARG},
        {"enumerate properties without out-parameter", [](auto, IPropertyStorage* p) { return p->Enum(nullptr); }, STG_E_INVALIDPOINTER, "", kWineWritesThroughNull},
        {"stat without structure", [](auto, IPropertyStorage* p) { return p->Stat(nullptr); }, STG_E_INVALIDPOINTER, kWineGivesInvalidArg},
        {"set class without class", [](auto, IPropertyStorage* p) { return p->SetClass(nullGuid()); }, E_INVALIDARG},
        {"set no times", [](auto, IPropertyStorage* p) { return p->SetTimes(nullptr, nullptr, nullptr); }, S_OK, "it does not implement SetTimes (E_NOTIMPL)"},
        // Values
        {"VT_EMPTY over a value, then reverted", [](auto, IPropertyStorage* p) { writeOne(p, byId(2), PROPVARIANT{}); p->Revert(); return readAnswer(p, byId(2)); }, S_FALSE},
        {"VT_EMPTY as a new value", [](auto, IPropertyStorage* p) { writeOne(p, byId(3), PROPVARIANT{}); return readAnswer(p, byId(3)); }, S_FALSE, "it stores VT_EMPTY as a value"},
        {"another writer's VT_BOOL 5 keeps its sixteen bits", [](auto, IPropertyStorage* p) { writeOne(p, byId(3), valueOf(VT_BOOL, &PROPVARIANT::boolVal, VARIANT_BOOL{5})); return readOne(p, byId(3)).boolVal == 5 ? S_OK : E_FAIL; }, S_OK},
        // clang-format on
    });
}

TEST_F(PropertySets, EveryTypeReadsBackAsWritten) {
    for (DWORD flags : {DWORD{PROPSETFLAG_DEFAULT}, DWORD{PROPSETFLAG_ANSI}}) {
        SCOPED_TRACE(flags);
        {
            ComPtr<IStorage> root = createDocument(providerApi(), path);
            ComPtr<IPropertyStorage> set = createSet(root.get(), kCustomSet, flags);
            writeValueRows(set.get());
            expectValueRows(set.get());
        }
        ComPtr<IStorage> root = openDocument(providerApi(), path, kReadMode);
        expectValueRows(openSet(root.get(), kCustomSet, kReadMode).get());
    }
}

// An array after its type: element type, dimensions, then size and index offset of each,
// then the elements packed and padded to four bytes, in a format version 1 set.
TEST_F(PropertySets, ArraysAreStoredAsTheFormatDescribes) {
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    {
        ComPtr<IPropertyStorage> set = createSet(root.get(), kCustomSet);
        PROPVARIANT value{};
        SHORT* numbers = makeArray<SHORT>(&value, VT_I2, {{3, -1}});
        std::iota(numbers, numbers + 3, SHORT{1});
        ASSERT_EQ(writeOne(set.get(), byId(2), value), S_OK);
        PropVariantClear(&value);
    }
    const std::string stream = readStream(root.get(), ole32StreamName(kCustomSet).c_str());
    // VT_ARRAY | VT_I2, element type, one dimension of 3 from -1, the elements, padding.
    const std::string expected(
        "\x02\x20\0\0\x02\0\0\0\x01\0\0\0\x03\0\0\0\xFF\xFF\xFF\xFF\x01\0\x02\0\x03\0\0\0", 28);
    ASSERT_GE(stream.size(), 4u);
    EXPECT_EQ(stream[2], 1) << "format version";
    EXPECT_NE(stream.find(expected), std::string::npos);
}

TEST_F(PropertySets, RefusedTypesLeaveTheSetUnchanged) {
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    ComPtr<IPropertyStorage> set = createSet(root.get(), kCustomSet);
    ASSERT_EQ(writeI4(set.get(), byId(2), 7), S_OK);
    // clang-format off
    struct Row { const char* label; VARTYPE type; HRESULT expected; };
    const Row rows[] = {
        {"VT_UNKNOWN", VT_UNKNOWN, STG_E_INVALIDPARAMETER},
        {"VT_DISPATCH", VT_DISPATCH, STG_E_INVALIDPARAMETER},
        {"VT_VARIANT alone", VT_VARIANT, STG_E_INVALIDPARAMETER},
        {"VT_BYREF | VT_I4", VT_BYREF | VT_I4, STG_E_INVALIDPARAMETER},
        {"VT_STREAM in a simple set", VT_STREAM, STG_E_PROPSETMISMATCHED},
        {"VT_ARRAY | VT_LPWSTR", VT_ARRAY | VT_LPWSTR, STG_E_INVALIDPARAMETER},
        {"VT_ARRAY | VT_VECTOR | VT_I4", VT_ARRAY | VT_VECTOR | VT_I4, STG_E_INVALIDPARAMETER},
        {"VT_STORAGE in a simple set", VT_STORAGE, STG_E_PROPSETMISMATCHED},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        PROPSPEC selectors[] = {byId(2), byId(3)};
        PROPVARIANT values[2] = {valueOf(VT_I4, &PROPVARIANT::lVal, LONG{99}), {}};
        values[1].vt = row.type;
        EXPECT_EQ(set->WriteMultiple(2, selectors, values, PID_FIRST_USABLE), row.expected);
        PROPVARIANT kept = readOne(set.get(), byId(2));
        EXPECT_EQ(kept.lVal, 7);
    }
}

TEST_F(PropertySets, SpecialIdentifiersFollowTheRules) {
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    ComPtr<IPropertyStorage> set = createSet(root.get(), kCustomSet);
    const PROPVARIANT codePage = valueOf(VT_I2, &PROPVARIANT::iVal, SHORT{1252});
    const PROPVARIANT locale = valueOf(VT_UI4, &PROPVARIANT::ulVal, ULONG{0x0407});
    // Code page and locale may be set while the set is empty.
    ASSERT_EQ(writeOne(set.get(), byId(PID_CODEPAGE), codePage), S_OK);
    ASSERT_EQ(writeOne(set.get(), byId(PID_LOCALE), locale), S_OK);
    ASSERT_EQ(writeI4(set.get(), byId(5), 5), S_OK);
    // clang-format off
    struct Row { const char* label; PROPID id; HRESULT expected; };
    const Row rows[] = {
        {"code page of a set that has properties", PID_CODEPAGE, STG_E_INVALIDPARAMETER},
        {"dictionary", PID_DICTIONARY, STG_E_INVALIDPARAMETER},
        {"behaviour", PID_BEHAVIOR, STG_E_INVALIDPARAMETER},
        {"read-only range", 0x90000000, STG_E_INVALIDPARAMETER},
        {"illegal identifier, ignored", PID_ILLEGAL, S_OK},
        {"largest ordinary identifier", 0x7FFFFFFF, S_OK},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(writeOne(set.get(), byId(row.id), codePage), row.expected);
    }
    // Code page and locale are kept; the illegal identifier is not stored.
    EXPECT_TRUE(sameValue(readOne(set.get(), byId(PID_CODEPAGE)), codePage));
    EXPECT_TRUE(sameValue(readOne(set.get(), byId(PID_LOCALE)), locale));
    EXPECT_EQ(readAnswer(set.get(), byId(PID_ILLEGAL)), S_FALSE);
    EXPECT_EQ(readOne(set.get(), byId(PID_ILLEGAL)).vt, VT_EMPTY);
    STATPROPSETSTG stat{};
    ASSERT_EQ(set->Stat(&stat), S_OK);
    EXPECT_EQ(stat.grfFlags, static_cast<DWORD>(PROPSETFLAG_ANSI));
}

// What the provider adds to names: the set's case flag, the first identifier a new name may
// take, and the identifiers and calls it refuses. Dictionaries themselves are the engine's.
TEST_F(PropertySets, NameCallsFollowTheSetsFlagsAndRefuseReservedIdentifiers) {
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    using NameCall = HRESULT (*)(IPropertyStorage*);
    // clang-format off
    struct Row { const char* label; DWORD flags; NameCall call; HRESULT expected; };
    const Row rows[] = {
        {"another case, case-insensitive set", PROPSETFLAG_DEFAULT, [](IPropertyStorage* p) { return readAnswer(p, byName(L"CLIENT")); }, S_OK},
        {"another case, case-sensitive set", PROPSETFLAG_CASE_SENSITIVE, [](IPropertyStorage* p) { return readAnswer(p, byName(L"CLIENT")); }, S_FALSE},
        {"a new name takes the first free identifier from the one given", 0, [](IPropertyStorage* p) { return nameOf(p, 0x1001) == L"Client" ? readAnswer(p, byName(L"Client")) : E_FAIL; }, S_OK},
        {"a new name from identifier 1", 0, [](IPropertyStorage* p) { return writeOne(p, byName(L"New"), valueOf(VT_I4, &PROPVARIANT::lVal, LONG{1}), 1); }, STG_E_INVALIDPARAMETER},
        {"a new name from the read-only range", 0, [](IPropertyStorage* p) { return writeOne(p, byName(L"New"), valueOf(VT_I4, &PROPVARIANT::lVal, LONG{1}), 0x80000000); }, STG_E_INVALIDPARAMETER},
        {"naming with a name in another case", 0, [](IPropertyStorage* p) { const PROPID id = 3; LPOLESTR name = const_cast<LPOLESTR>(L"client"); return p->WritePropertyNames(1, &id, &name); }, STG_E_INVALIDPARAMETER},
        {"naming the code page", 0, [](IPropertyStorage* p) { const PROPID id = PID_CODEPAGE; LPOLESTR name = const_cast<LPOLESTR>(L"Page"); return p->WritePropertyNames(1, &id, &name); }, STG_E_INVALIDPARAMETER},
        {"reading a missing name", 0, [](IPropertyStorage* p) { const PROPID id = 9; LPOLESTR name = nullptr; return p->ReadPropertyNames(1, &id, &name); }, S_FALSE},
        {"reading a deleted name", 0, [](IPropertyStorage* p) { const PROPID id = 0x1001; LPOLESTR name = nullptr; p->DeletePropertyNames(1, &id); return p->ReadPropertyNames(1, &id, &name); }, S_FALSE},
        {"deleting values keeps their names", 0, [](IPropertyStorage* p) { const PROPSPEC named = byName(L"client"); p->DeleteMultiple(1, &named); return nameOf(p, 0x1001) == L"Client" ? readAnswer(p, byName(L"Client")) : E_FAIL; }, S_FALSE},
        {"deleting the code page", 0, [](IPropertyStorage* p) { const PROPSPEC special = byId(PID_CODEPAGE); return p->DeleteMultiple(1, &special); }, STG_E_INVALIDPARAMETER},
        {"enumerating past the end", 0, [](IPropertyStorage* p) { ComPtr<IEnumSTATPROPSTG> e; STATPROPSTG items[3]; ULONG fetched = 0; p->Enum(e.put()); const HRESULT hr = e->Next(3, items, &fetched); for (ULONG i = 0; i < fetched; ++i) CoTaskMemFree(items[i].lpwstrName); return fetched == 2 ? hr : E_FAIL; }, S_FALSE},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        // Identifier 0x1000 taken, then "Client" written as 42 with 0x1000 as the first to try.
        ComPtr<IPropertyStorage> set = createSet(root.get(), kCustomSet, row.flags);
        ASSERT_EQ(writeI4(set.get(), byId(0x1000), 1), S_OK);
        ASSERT_EQ(writeOne(set.get(), byName(L"Client"),
                           valueOf(VT_I4, &PROPVARIANT::lVal, LONG{42}), 0x1000),
                  S_OK);
        EXPECT_EQ(row.call(set.get()), row.expected);
    }
}

TEST_F(PropertySets, EnumListsTheSetsAndTwoShareOneStream) {
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    const FMTID created[] = {FMTID_SummaryInformation, FMTID_DocSummaryInformation,
                             FMTID_UserDefinedProperties, kCustomSet};
    for (const FMTID& id : created)
        createSet(root.get(), id).reset();
    ComPtr<IEnumSTATPROPSETSTG> sets;
    ASSERT_EQ(setsOf(root.get())->Enum(sets.put()), S_OK);
    std::vector<FMTID> found;
    STATPROPSETSTG stat;
    while (sets->Next(1, &stat, nullptr) == S_OK)
        found.push_back(stat.fmtid);
    EXPECT_TRUE(
        std::is_permutation(found.begin(), found.end(), std::begin(created), std::end(created)));
    // The document summary and the user-defined sets share one stream.
    // Element names compare without regard to case (Wine writes some letters of base-32 names
    // in upper case), so compare them folded.
    auto folded = [](Names names) {
        for (std::wstring& name : names)
            CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
        return names;
    };
    const std::wstring custom = ole32StreamName(kCustomSet);
    ASSERT_EQ(custom.size(), 27u);
    EXPECT_EQ(
        folded(listElements(root.get())),
        folded({L"s:\005SummaryInformation", L"s:\005DocumentSummaryInformation", L"s:" + custom}));
}

TEST_F(PropertySets, TimesClassAndFlagsAreReported) {
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    ComPtr<IPropertyStorage> set = createSet(root.get(), kCustomSet, PROPSETFLAG_CASE_SENSITIVE);
    const FILETIME created{0x10000000, 0x01D80000}, accessed{0x20000000, 0x01D80000},
        modified{0x30000000, 0x01D80000};
    ASSERT_EQ(set->SetTimes(&created, &accessed, &modified), S_OK);
    ASSERT_EQ(set->SetClass(IID_IStream), S_OK);
    using test_support::ticksOf;
    STATPROPSETSTG stat{};
    ASSERT_EQ(set->Stat(&stat), S_OK);
    EXPECT_EQ(std::make_tuple(stat.fmtid, stat.clsid, stat.grfFlags, ticksOf(stat.ctime),
                              ticksOf(stat.atime), ticksOf(stat.mtime)),
              std::make_tuple(kCustomSet, IID_IStream, DWORD{PROPSETFLAG_CASE_SENSITIVE},
                              ticksOf(created), ticksOf(accessed), ticksOf(modified)));
    set.reset();
    ComPtr<IPropertyStorage> reopened = openSet(root.get(), kCustomSet, kReadMode);
    ASSERT_EQ(reopened->Stat(&stat), S_OK);
    EXPECT_EQ(std::make_pair(stat.clsid, ticksOf(stat.mtime)),
              std::make_pair(IID_IStream, ticksOf(modified)));
    EXPECT_EQ(reopened->SetTimes(&created, nullptr, nullptr), STG_E_ACCESSDENIED);
}

// Each row works on a closed set of a new document and gives the answer of its last call (or a
// check of what the set holds afterwards).
TEST_F(PropertySets, TransactedAndOrphanedSetsKeepOnlyWhatIsCommitted) {
    using Steps = HRESULT (*)(IStorage*);
    // clang-format off
    struct Row { const char* label; Steps steps; HRESULT expected; };
    const Row rows[] = {
        {"read a reverted write", [](IStorage* r) { auto s = openSet(r, kCustomSet, kSetMode | STGM_TRANSACTED); writeI4(s.get(), byId(2), 1); return s->Revert() == S_OK ? readAnswer(s.get(), byId(2)) : E_FAIL; }, S_FALSE},
        {"a commit writes, a release without one discards", [](IStorage* r) { auto s = openSet(r, kCustomSet, kSetMode | STGM_TRANSACTED); writeI4(s.get(), byId(3), 3); s->Commit(STGC_DEFAULT); writeI4(s.get(), byId(4), 4); s.reset(); auto reopened = openSet(r, kCustomSet, kReadMode); return readOne(reopened.get(), byId(3)).lVal == 3 ? readAnswer(reopened.get(), byId(4)) : E_FAIL; }, S_FALSE},
        {"write to a set of a released storage", [](IStorage* r) { ComPtr<IStorage> c; r->CreateStorage(L"Child", kReadWriteMode, 0, 0, c.put()); auto s = createSet(c.get(), kCustomSet); c.reset(); return writeI4(s.get(), byId(2), 2); }, STG_E_REVERTED},
        {"stat a set of a released storage", [](IStorage* r) { ComPtr<IStorage> c; r->CreateStorage(L"Child", kReadWriteMode, 0, 0, c.put()); auto s = createSet(c.get(), kCustomSet); c.reset(); STATPROPSETSTG stat{}; return s->Stat(&stat); }, STG_E_REVERTED},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ComPtr<IStorage> root = createDocument(providerApi(), path);
        createSet(root.get(), kCustomSet).reset();
        EXPECT_EQ(row.steps(root.get()), row.expected);
    }
}

// Buffered or not, a set's changes are in its stream once it is released; while it is
// open, it holds the stream.
TEST_F(PropertySets, ChangesReachTheStreamWhenTheSetIsReleased) {
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    for (const DWORD flags : {DWORD{PROPSETFLAG_DEFAULT}, DWORD{PROPSETFLAG_UNBUFFERED}}) {
        SCOPED_TRACE(flags);
        ComPtr<IPropertyStorage> set = createSet(root.get(), kCustomSet, flags);
        ComPtr<IStream> held;
        root->OpenStream(ole32StreamName(kCustomSet).c_str(), nullptr, kReadMode, 0, held.put());
        EXPECT_TRUE(!held || readAll(held.get()).empty());
        held.reset();
        ASSERT_EQ(writeI4(set.get(), byId(7), 7), S_OK);
        set.reset();
        EXPECT_EQ(readOne(openSet(root.get(), kCustomSet, kReadMode).get(), byId(7)).lVal, 7);
    }
}
