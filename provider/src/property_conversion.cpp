#include "property_conversion.h"

#include "element_objects.h"
#include "property_arrays.h"
#include "results.h"

#include <support/task_memory.h>

#include <cstring>
#include <new>
#include <type_traits>
#include <variant>

namespace provider {
namespace {

namespace vt = engine::propset::vt;
using engine::propset::Value;
using engine::propset::ValueVector;
using engine::propset::VarType;

// ---- code pages -------------------------------------------------------------------------

class WindowsCodePages final : public engine::propset::CodePageConverter {
public:
    engine::Status toUtf16(engine::propset::CodePage codePage, std::string_view bytes,
                           std::u16string& text) const override {
        if (engine::propset::isBuiltInCodePage(codePage))
            return engine::propset::builtInCodePages().toUtf16(codePage, bytes, text);
        text.clear();
        if (bytes.empty())
            return engine::Status::ok;
        const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                               static_cast<int>(bytes.size()), nullptr, 0);
        if (length <= 0)
            return failure();
        text.resize(static_cast<std::size_t>(length));
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                            static_cast<int>(bytes.size()), reinterpret_cast<wchar_t*>(text.data()),
                            length);
        return engine::Status::ok;
    }

    engine::Status fromUtf16(engine::propset::CodePage codePage, std::u16string_view text,
                             std::string& bytes) const override {
        if (engine::propset::isBuiltInCodePage(codePage))
            return engine::propset::builtInCodePages().fromUtf16(codePage, text, bytes);
        bytes.clear();
        if (text.empty())
            return engine::Status::ok;
        const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
        BOOL lossy = FALSE;
        const int length = WideCharToMultiByte(codePage, 0, wide, static_cast<int>(text.size()),
                                               nullptr, 0, nullptr, nullptr);
        if (length <= 0)
            return failure();
        bytes.resize(static_cast<std::size_t>(length));
        WideCharToMultiByte(codePage, 0, wide, static_cast<int>(text.size()), bytes.data(), length,
                            nullptr, usesDefaultCharacter(codePage) ? &lossy : nullptr);
        return lossy ? engine::propset::kStatusNoUnicodeTranslation : engine::Status::ok;
    }

private:
    [[nodiscard]] static engine::Status failure() {
        return GetLastError() == ERROR_INVALID_PARAMETER
                   ? engine::propset::kStatusUnsupportedCodePage
                   : engine::propset::kStatusNoUnicodeTranslation;
    }
    // WideCharToMultiByte refuses the lossy flag for UTF-7 and the symbol code pages.
    [[nodiscard]] static bool usesDefaultCharacter(UINT codePage) {
        constexpr UINT kUtf7 = 65000;
        constexpr UINT kSymbol = 42;
        return codePage != kUtf7 && codePage != kSymbol && codePage < 50220;
    }
};

// ---- text -------------------------------------------------------------------------------

[[nodiscard]] HRESULT ansiToUtf16(const char* text, std::u16string* result) {
    result->clear();
    if (!text || !*text)
        return S_OK;
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, length <= 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    result->assign(wide.begin(), wide.end());
    return S_OK;
}

[[nodiscard]] char* utf16ToAnsiTaskMemory(std::u16string_view text) {
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = text.empty()
                           ? 0
                           : WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()),
                                                 nullptr, 0, nullptr, nullptr);
    char* copy = support::allocateTaskMemory<char>(static_cast<std::size_t>(length) + 1).release();
    if (!copy)
        return nullptr;
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), copy, length, nullptr,
                            nullptr);
    copy[length] = '\0';
    return copy;
}

[[nodiscard]] HRESULT textOf(const Value& value, std::u16string* text) {
    RETURN_IF_ENGINE_FAILED(value.toUtf16(*text, windowsCodePages()));
    return S_OK;
}

[[nodiscard]] engine::propset::Guid toGuid(const GUID& guid) {
    engine::propset::Guid result;
    std::memcpy(result.bytes.data(), &guid, sizeof(GUID));
    return result;
}

// A VT_BOOL passes its 16 bits through unchanged both ways, as the system's property sets
// do: another writer's 5 is read back as 5, not as VARIANT_TRUE.
[[nodiscard]] Value booleanValue(VARIANT_BOOL bits) {
    return Value::booleanBits(static_cast<std::uint16_t>(bits));
}

[[nodiscard]] VARIANT_BOOL variantBoolOf(const Value& value) {
    return std::visit(
        [](const auto& payload) -> VARIANT_BOOL {
            using Payload = std::decay_t<decltype(payload)>;
            if constexpr (std::is_same_v<Payload, bool>)
                return payload ? VARIANT_TRUE : VARIANT_FALSE;
            else if constexpr (std::is_integral_v<Payload>)
                return static_cast<VARIANT_BOOL>(payload);
            else
                return VARIANT_FALSE;
        },
        value.payload());
}

// ---- elements -----------------------------------------------------------------------------

[[nodiscard]] HRESULT made(Value made, Value* value) {
    *value = std::move(made);
    return S_OK;
}

template <typename Element>
[[nodiscard]] HRESULT signedOut(const Value& value, Element* element) {
    *element = static_cast<Element>(value.asSigned());
    return S_OK;
}

template <typename Element>
[[nodiscard]] HRESULT unsignedOut(const Value& value, Element* element) {
    *element = static_cast<Element>(value.asUnsigned());
    return S_OK;
}

template <typename Element>
[[nodiscard]] HRESULT realOut(const Value& value, Element* element) {
    *element = static_cast<Element>(value.asReal());
    return S_OK;
}

[[nodiscard]] HRESULT lpstrValue(const char* text, Value* value) {
    std::u16string wide;
    RETURN_IF_FAILED(ansiToUtf16(text, &wide));
    *value = Value::lpstr(engine::propset::CodePageText::fromUtf16(wide));
    return S_OK;
}

[[nodiscard]] HRESULT bstrValue(const BSTR text, Value* value) {
    const std::u16string wide =
        text ? std::u16string(asUtf16(text).substr(0, SysStringLen(text))) : std::u16string();
    *value = Value::bstr(engine::propset::CodePageText::fromUtf16(wide));
    return S_OK;
}

[[nodiscard]] HRESULT lpwstrValue(const wchar_t* text, Value* value) {
    *value = Value::lpwstr(std::u16string(asUtf16(text)));
    return S_OK;
}

[[nodiscard]] HRESULT clipboardValue(const CLIPDATA& clip, Value* value) {
    constexpr ULONG kFormatSize = sizeof(clip.ulClipFmt);
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, clip.cbSize < kFormatSize);
    const ULONG size = clip.cbSize - kFormatSize;
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, size != 0 && clip.pClipData == nullptr);
    std::vector<std::uint8_t> data(clip.pClipData, clip.pClipData + size);
    *value = Value::clipboard(clip.ulClipFmt, std::move(data));
    return S_OK;
}

[[nodiscard]] HRESULT lpstrOut(const Value& element, char** out) {
    std::u16string text;
    RETURN_IF_FAILED(textOf(element, &text));
    *out = utf16ToAnsiTaskMemory(text);
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, *out);
    return S_OK;
}

[[nodiscard]] HRESULT lpwstrOut(const Value& element, wchar_t** out) {
    *out = support::copyToTaskMemory(element.asWideText()).release();
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, *out);
    return S_OK;
}

[[nodiscard]] HRESULT bstrOut(const Value& element, BSTR* out) {
    std::u16string text;
    RETURN_IF_FAILED(textOf(element, &text));
    *out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()));
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, *out);
    return S_OK;
}

[[nodiscard]] HRESULT clipboardOut(const Value& element, CLIPDATA* out) {
    const engine::propset::ClipboardData& clip = element.asClipboard();
    out->cbSize = static_cast<ULONG>(clip.data.size() + sizeof(out->ulClipFmt));
    out->ulClipFmt = clip.format;
    out->pClipData = support::allocateTaskMemory<BYTE>(clip.data.size()).release();
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, out->pClipData);
    if (!clip.data.empty())
        std::memcpy(out->pClipData, clip.data.data(), clip.data.size());
    return S_OK;
}

[[nodiscard]] HRESULT clsidOut(const Value& value, CLSID* clsid) {
    std::memcpy(clsid, value.asGuid().bytes.data(), sizeof(CLSID));
    return S_OK;
}

// ---- one descriptor per VARTYPE -----------------------------------------------------------
//
// The traits of a type name its members of PROPVARIANT (`scalar`, and `vector` for the
// counted VT_VECTOR form), its element type, and how one element becomes an engine value
// (`in`) and comes back (`out`). Each descriptor is made from them; a type without a vector
// form, or whose scalar is held through a pointer, has functions of its own instead.

struct I1 {
    using Element = CHAR;
    static auto& scalar(auto& v) { return v.cVal; }
    static auto& vector(auto& v) { return v.cac; }
    static HRESULT in(const CHAR& x, Value* out) { return made(Value::i1(x), out); }
    static HRESULT out(const Value& e, CHAR* x) { return signedOut(e, x); }
};
struct Ui1 {
    using Element = UCHAR;
    static auto& scalar(auto& v) { return v.bVal; }
    static auto& vector(auto& v) { return v.caub; }
    static HRESULT in(const UCHAR& x, Value* out) { return made(Value::ui1(x), out); }
    static HRESULT out(const Value& e, UCHAR* x) { return unsignedOut(e, x); }
};
struct I2 {
    using Element = SHORT;
    static auto& scalar(auto& v) { return v.iVal; }
    static auto& vector(auto& v) { return v.cai; }
    static HRESULT in(const SHORT& x, Value* out) { return made(Value::i2(x), out); }
    static HRESULT out(const Value& e, SHORT* x) { return signedOut(e, x); }
};
struct Ui2 {
    using Element = USHORT;
    static auto& scalar(auto& v) { return v.uiVal; }
    static auto& vector(auto& v) { return v.caui; }
    static HRESULT in(const USHORT& x, Value* out) { return made(Value::ui2(x), out); }
    static HRESULT out(const Value& e, USHORT* x) { return unsignedOut(e, x); }
};
struct I4 {
    using Element = LONG;
    static auto& scalar(auto& v) { return v.lVal; }
    static auto& vector(auto& v) { return v.cal; }
    static HRESULT in(const LONG& x, Value* out) { return made(Value::i4(x), out); }
    static HRESULT out(const Value& e, LONG* x) { return signedOut(e, x); }
};
struct Ui4 {
    using Element = ULONG;
    static auto& scalar(auto& v) { return v.ulVal; }
    static auto& vector(auto& v) { return v.caul; }
    static HRESULT in(const ULONG& x, Value* out) { return made(Value::ui4(x), out); }
    static HRESULT out(const Value& e, ULONG* x) { return unsignedOut(e, x); }
};
struct Int {
    using Element = INT;
    static auto& scalar(auto& v) { return v.intVal; }
    static HRESULT in(const INT& x, Value* out) { return made(Value::integer(x), out); }
    static HRESULT out(const Value& e, INT* x) { return signedOut(e, x); }
};
struct Uint {
    using Element = UINT;
    static auto& scalar(auto& v) { return v.uintVal; }
    static HRESULT in(const UINT& x, Value* out) { return made(Value::unsignedInteger(x), out); }
    static HRESULT out(const Value& e, UINT* x) { return unsignedOut(e, x); }
};
struct I8 {
    using Element = LARGE_INTEGER;
    static auto& scalar(auto& v) { return v.hVal; }
    static auto& vector(auto& v) { return v.cah; }
    static HRESULT in(const LARGE_INTEGER& x, Value* out) {
        return made(Value::i8(x.QuadPart), out);
    }
    static HRESULT out(const Value& e, LARGE_INTEGER* x) { return signedOut(e, &x->QuadPart); }
};
struct Ui8 {
    using Element = ULARGE_INTEGER;
    static auto& scalar(auto& v) { return v.uhVal; }
    static auto& vector(auto& v) { return v.cauh; }
    static HRESULT in(const ULARGE_INTEGER& x, Value* out) {
        return made(Value::ui8(x.QuadPart), out);
    }
    static HRESULT out(const Value& e, ULARGE_INTEGER* x) { return unsignedOut(e, &x->QuadPart); }
};
struct R4 {
    using Element = FLOAT;
    static auto& scalar(auto& v) { return v.fltVal; }
    static auto& vector(auto& v) { return v.caflt; }
    static HRESULT in(const FLOAT& x, Value* out) { return made(Value::r4(x), out); }
    static HRESULT out(const Value& e, FLOAT* x) { return realOut(e, x); }
};
struct R8 {
    using Element = DOUBLE;
    static auto& scalar(auto& v) { return v.dblVal; }
    static auto& vector(auto& v) { return v.cadbl; }
    static HRESULT in(const DOUBLE& x, Value* out) { return made(Value::r8(x), out); }
    static HRESULT out(const Value& e, DOUBLE* x) { return realOut(e, x); }
};
struct Cy {
    using Element = CY;
    static auto& scalar(auto& v) { return v.cyVal; }
    static auto& vector(auto& v) { return v.cacy; }
    static HRESULT in(const CY& x, Value* out) { return made(Value::currency(x.int64), out); }
    static HRESULT out(const Value& e, CY* x) { return signedOut(e, &x->int64); }
};
struct Date {
    using Element = DATE;
    static auto& scalar(auto& v) { return v.date; }
    static auto& vector(auto& v) { return v.cadate; }
    static HRESULT in(const DATE& x, Value* out) { return made(Value::date(x), out); }
    static HRESULT out(const Value& e, DATE* x) { return realOut(e, x); }
};
struct Bool {
    using Element = VARIANT_BOOL;
    static auto& scalar(auto& v) { return v.boolVal; }
    static auto& vector(auto& v) { return v.cabool; }
    static HRESULT in(const VARIANT_BOOL& x, Value* out) { return made(booleanValue(x), out); }
    static HRESULT out(const Value& e, VARIANT_BOOL* x) {
        *x = variantBoolOf(e);
        return S_OK;
    }
};
struct Error {
    using Element = SCODE;
    static auto& scalar(auto& v) { return v.scode; }
    static auto& vector(auto& v) { return v.cascode; }
    static HRESULT in(const SCODE& x, Value* out) {
        return made(Value::error(static_cast<std::uint32_t>(x)), out);
    }
    static HRESULT out(const Value& e, SCODE* x) { return unsignedOut(e, x); }
};
struct Filetime {
    using Element = FILETIME;
    static auto& scalar(auto& v) { return v.filetime; }
    static auto& vector(auto& v) { return v.cafiletime; }
    static HRESULT in(const FILETIME& x, Value* out) {
        return made(Value::filetime(fileTimeValue(x)), out);
    }
    static HRESULT out(const Value& e, FILETIME* x) {
        *x = toFileTime(e.asUnsigned());
        return S_OK;
    }
};
struct Lpstr {
    using Element = char*;
    static auto& scalar(auto& v) { return v.pszVal; }
    static auto& vector(auto& v) { return v.calpstr; }
    static HRESULT in(char* const& x, Value* out) { return lpstrValue(x, out); }
    static HRESULT out(const Value& e, char** x) { return lpstrOut(e, x); }
};
struct Lpwstr {
    using Element = wchar_t*;
    static auto& scalar(auto& v) { return v.pwszVal; }
    static auto& vector(auto& v) { return v.calpwstr; }
    static HRESULT in(wchar_t* const& x, Value* out) { return lpwstrValue(x, out); }
    static HRESULT out(const Value& e, wchar_t** x) { return lpwstrOut(e, x); }
};
struct Bstr {
    using Element = BSTR;
    static auto& scalar(auto& v) { return v.bstrVal; }
    static auto& vector(auto& v) { return v.cabstr; }
    static HRESULT in(const BSTR& x, Value* out) { return bstrValue(x, out); }
    static HRESULT out(const Value& e, BSTR* x) { return bstrOut(e, x); }
};
// VT_CLSID and VT_CF hold their scalar through a pointer (scalar functions of their own).
struct Clsid {
    using Element = CLSID;
    static auto& vector(auto& v) { return v.cauuid; }
    static HRESULT in(const CLSID& x, Value* out) { return made(Value::clsid(toGuid(x)), out); }
    static HRESULT out(const Value& e, CLSID* x) { return clsidOut(e, x); }
};
struct Clipboard {
    using Element = CLIPDATA;
    static auto& vector(auto& v) { return v.caclipdata; }
    static HRESULT in(const CLIPDATA& x, Value* out) { return clipboardValue(x, out); }
    static HRESULT out(const Value& e, CLIPDATA* x) { return clipboardOut(e, x); }
};

struct TypeDescriptor {
    VarType type;
    HRESULT (*scalarIn)(const PROPVARIANT& variant, Value* value);
    // Fills the members of a PROPVARIANT whose vt is already set; null: handed out as VT_EMPTY.
    HRESULT (*scalarOut)(const Value& value, PROPVARIANT* variant);
    HRESULT (*vectorIn)(const PROPVARIANT& variant, Value* value); // null: no VT_VECTOR form
    HRESULT (*vectorOut)(const Value& value, PROPVARIANT* variant);
};

template <typename Traits>
HRESULT scalarIn(const PROPVARIANT& variant, Value* value) {
    return Traits::in(Traits::scalar(variant), value);
}

template <typename Traits>
HRESULT scalarOut(const Value& value, PROPVARIANT* variant) {
    return Traits::out(value, &Traits::scalar(*variant));
}

template <VarType Type, typename Traits>
HRESULT vectorIn(const PROPVARIANT& variant, Value* value) {
    const auto& counted = Traits::vector(variant);
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, counted.cElems != 0 && counted.pElems == nullptr);
    ValueVector elements(counted.cElems);
    for (ULONG index = 0; index < counted.cElems; ++index)
        RETURN_IF_FAILED(Traits::in(counted.pElems[index], &elements[index]));
    *value = Value::vector(Type, std::move(elements));
    return S_OK;
}

template <typename Traits>
HRESULT vectorOut(const Value& value, PROPVARIANT* variant) {
    using Element = typename Traits::Element;
    const ValueVector& elements = value.asVector();
    auto& counted = Traits::vector(*variant);
    counted.cElems = 0;
    counted.pElems = support::allocateTaskMemory<Element>(elements.size()).release();
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, counted.pElems);
    // cElems counts what is filled, so that PropVariantClear frees exactly that.
    for (; counted.cElems < elements.size(); ++counted.cElems)
        RETURN_IF_FAILED(Traits::out(elements[counted.cElems], &counted.pElems[counted.cElems]));
    return S_OK;
}

template <VarType Type, typename Traits>
constexpr TypeDescriptor scalarAndVector() {
    return {Type, scalarIn<Traits>, scalarOut<Traits>, vectorIn<Type, Traits>, vectorOut<Traits>};
}

template <VarType Type, typename Traits>
constexpr TypeDescriptor scalarOnly() {
    return {Type, scalarIn<Traits>, scalarOut<Traits>, nullptr, nullptr};
}

[[nodiscard]] const TypeDescriptor* descriptorOf(VarType type);

HRESULT emptyIn(const PROPVARIANT&, Value* value) {
    return made(Value::empty(), value);
}
HRESULT nullIn(const PROPVARIANT&, Value* value) {
    return made(Value::null(), value);
}
HRESULT nothingOut(const Value&, PROPVARIANT*) {
    return S_OK;
}
// Only non-simple property sets hold streams and storages.
HRESULT nonSimpleIn(const PROPVARIANT&, Value*) {
    return STG_E_PROPSETMISMATCHED;
}

HRESULT clsidIn(const PROPVARIANT& variant, Value* value) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPARAMETER, variant.puuid);
    return Clsid::in(*variant.puuid, value);
}
HRESULT clsidScalarOut(const Value& value, PROPVARIANT* variant) {
    variant->puuid = support::allocateTaskMemory<CLSID>(1).release();
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, variant->puuid);
    return clsidOut(value, variant->puuid);
}

HRESULT clipboardIn(const PROPVARIANT& variant, Value* value) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPARAMETER, variant.pclipdata);
    return clipboardValue(*variant.pclipdata, value);
}
HRESULT clipboardScalarOut(const Value& value, PROPVARIANT* variant) {
    variant->pclipdata = support::allocateTaskMemory<CLIPDATA>(1).release();
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, variant->pclipdata);
    return clipboardOut(value, variant->pclipdata);
}

HRESULT blobIn(const PROPVARIANT& variant, Value* value) {
    const BLOB& blob = variant.blob;
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, blob.cbSize != 0 && blob.pBlobData == nullptr);
    return made(
        Value::blob(std::vector<std::uint8_t>(blob.pBlobData, blob.pBlobData + blob.cbSize)),
        value);
}
HRESULT blobOut(const Value& value, PROPVARIANT* variant) {
    const auto& bytes = value.asBlob().bytes;
    variant->blob.pBlobData = support::allocateTaskMemory<BYTE>(bytes.size()).release();
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, variant->blob.pBlobData);
    variant->blob.cbSize = static_cast<ULONG>(bytes.size());
    if (!bytes.empty())
        std::memcpy(variant->blob.pBlobData, bytes.data(), bytes.size());
    return S_OK;
}

HRESULT decimalIn(const PROPVARIANT& variant, Value* value) {
    engine::propset::Decimal decimal;
    decimal.scale = variant.decVal.scale;
    decimal.sign = variant.decVal.sign;
    decimal.high = variant.decVal.Hi32;
    decimal.low = variant.decVal.Lo64;
    return made(Value::decimal(decimal), value);
}
HRESULT decimalOut(const Value& value, PROPVARIANT* variant) {
    const engine::propset::Decimal& decimal = value.asDecimal();
    variant->decVal.scale = decimal.scale;
    variant->decVal.sign = decimal.sign;
    variant->decVal.Hi32 = decimal.high;
    variant->decVal.Lo64 = decimal.low;
    return S_OK;
}

// The elements of VT_VECTOR | VT_VARIANT are scalars of any type a set holds.
struct Variant {
    using Element = PROPVARIANT;
    static auto& vector(auto& v) { return v.capropvar; }
    static HRESULT in(const PROPVARIANT& x, Value* out) {
        RETURN_HR_IF(STG_E_INVALIDPARAMETER, (x.vt & ~vt::typeMask) != 0);
        const TypeDescriptor* descriptor = descriptorOf(x.vt);
        RETURN_HR_IF_NULL(STG_E_INVALIDPARAMETER, descriptor);
        return descriptor->scalarIn(x, out);
    }
    static HRESULT out(const Value& e, PROPVARIANT* x);
};

constexpr TypeDescriptor kDescriptors[] = {
    {vt::empty, emptyIn, nothingOut, nullptr, nullptr},
    {vt::null, nullIn, nothingOut, nullptr, nullptr},
    scalarAndVector<vt::i1, I1>(),
    scalarAndVector<vt::ui1, Ui1>(),
    scalarAndVector<vt::i2, I2>(),
    scalarAndVector<vt::ui2, Ui2>(),
    scalarAndVector<vt::i4, I4>(),
    scalarAndVector<vt::ui4, Ui4>(),
    scalarOnly<vt::int_, Int>(),
    scalarOnly<vt::uint_, Uint>(),
    scalarAndVector<vt::i8, I8>(),
    scalarAndVector<vt::ui8, Ui8>(),
    scalarAndVector<vt::r4, R4>(),
    scalarAndVector<vt::r8, R8>(),
    scalarAndVector<vt::cy, Cy>(),
    scalarAndVector<vt::date, Date>(),
    scalarAndVector<vt::boolean, Bool>(),
    scalarAndVector<vt::error, Error>(),
    scalarAndVector<vt::filetime, Filetime>(),
    scalarAndVector<vt::lpstr, Lpstr>(),
    scalarAndVector<vt::lpwstr, Lpwstr>(),
    scalarAndVector<vt::bstr, Bstr>(),
    {vt::clsid, clsidIn, clsidScalarOut, vectorIn<vt::clsid, Clsid>, vectorOut<Clsid>},
    {vt::cf, clipboardIn, clipboardScalarOut, vectorIn<vt::cf, Clipboard>, vectorOut<Clipboard>},
    {vt::blob, blobIn, blobOut, nullptr, nullptr},
    {vt::decimal, decimalIn, decimalOut, nullptr, nullptr},
    {vt::variant, nullptr, nullptr, vectorIn<vt::variant, Variant>, vectorOut<Variant>},
    {vt::stream, nonSimpleIn, nullptr, nullptr, nullptr},
    {vt::storage, nonSimpleIn, nullptr, nullptr, nullptr},
    {vt::streamedObject, nonSimpleIn, nullptr, nullptr, nullptr},
    {vt::storedObject, nonSimpleIn, nullptr, nullptr, nullptr},
    {vt::versionedStream, nonSimpleIn, nullptr, nullptr, nullptr},
};

const TypeDescriptor* descriptorOf(VarType type) {
    for (const TypeDescriptor& descriptor : kDescriptors)
        if (descriptor.type == type)
            return &descriptor;
    return nullptr;
}

// A stored value as a PROPVARIANT; values kept as stored bytes (streams, storages) and
// vectors of types a simple set does not hand out come out as VT_EMPTY.
[[nodiscard]] HRESULT toVariant(const Value& value, PROPVARIANT* variant) {
    PropVariantInit(variant);
    const TypeDescriptor* descriptor = descriptorOf(value.elementType());
    const auto fill = !descriptor        ? nullptr
                      : value.isVector() ? descriptor->vectorOut
                                         : descriptor->scalarOut;
    if (!fill)
        return S_OK;
    // The type first, so that PropVariantClear frees a value that fails half-way.
    variant->vt = value.type();
    return fill(value, variant);
}

HRESULT Variant::out(const Value& e, PROPVARIANT* x) {
    return toVariant(e, x);
}

} // namespace

const engine::propset::CodePageConverter& windowsCodePages() {
    static const WindowsCodePages converter;
    return converter;
}

HRESULT valueFromPropVariant(const PROPVARIANT& variant, engine::propset::CodePage codePage,
                             Value* value) {
    if (variant.vt & VT_ARRAY)
        return arrayValueFromPropVariant(variant, codePage, value);
    const VarType modifiers = variant.vt & ~vt::typeMask;
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, modifiers != 0 && modifiers != vt::vector);
    const TypeDescriptor* descriptor = descriptorOf(variant.vt & vt::typeMask);
    const auto convert = !descriptor      ? nullptr
                         : modifiers != 0 ? descriptor->vectorIn
                                          : descriptor->scalarIn;
    RETURN_HR_IF_NULL(STG_E_INVALIDPARAMETER, convert);
    RETURN_IF_FAILED(convert(variant, value));
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, modifiers == 0 && !value->isWellFormed());
    return S_OK;
}

HRESULT propVariantFromValue(const Value& value, engine::propset::CodePage codePage,
                             PROPVARIANT* variant) {
    if (value.type() & VT_ARRAY)
        return propVariantFromArrayValue(value, codePage, variant);
    support::UniquePropVariant converted; // cleared when a conversion fails half-way
    RETURN_IF_FAILED(toVariant(value, &converted.get()));
    *variant = converted.release();
    return S_OK;
}

} // namespace provider
