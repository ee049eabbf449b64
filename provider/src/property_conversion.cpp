#include "property_conversion.h"

#include "objects.h"
#include "property_arrays.h"
#include "results.h"

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
    auto* copy = static_cast<char*>(CoTaskMemAlloc(static_cast<std::size_t>(length) + 1));
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
    return Value::boolean(static_cast<std::uint16_t>(bits));
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

template <typename T>
[[nodiscard]] T* allocateArray(std::size_t count) {
    return static_cast<T*>(CoTaskMemAlloc(count == 0 ? 1 : count * sizeof(T)));
}

// ---- PROPVARIANT to Value ---------------------------------------------------------------

[[nodiscard]] HRESULT scalarFromVariant(VarType type, const PROPVARIANT& v, Value* value);

template <typename Counted, typename Convert>
[[nodiscard]] HRESULT vectorFrom(VarType elementType, const Counted& counted, Convert convert,
                                 Value* value) {
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, counted.cElems != 0 && counted.pElems == nullptr);
    ValueVector elements;
    elements.reserve(counted.cElems);
    for (ULONG index = 0; index < counted.cElems; ++index) {
        Value element;
        RETURN_IF_FAILED(convert(counted.pElems[index], &element));
        elements.push_back(std::move(element));
    }
    *value = Value::vector(elementType, std::move(elements));
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

template <typename T, typename Make>
[[nodiscard]] auto plain(Make make) {
    return [make](const T& element, Value* value) {
        *value = make(element);
        return S_OK;
    };
}

[[nodiscard]] HRESULT vectorFromVariant(const PROPVARIANT& v, Value* value) {
    const VarType element = v.vt & vt::typeMask;
    switch (element) {
    case vt::i1:
        return vectorFrom(element, v.cac, plain<CHAR>([](CHAR x) { return Value::i1(x); }), value);
    case vt::ui1:
        return vectorFrom(element, v.caub, plain<UCHAR>([](UCHAR x) { return Value::ui1(x); }),
                          value);
    case vt::i2:
        return vectorFrom(element, v.cai, plain<SHORT>([](SHORT x) { return Value::i2(x); }),
                          value);
    case vt::ui2:
        return vectorFrom(element, v.caui, plain<USHORT>([](USHORT x) { return Value::ui2(x); }),
                          value);
    case vt::i4:
        return vectorFrom(element, v.cal, plain<LONG>([](LONG x) { return Value::i4(x); }), value);
    case vt::ui4:
        return vectorFrom(element, v.caul, plain<ULONG>([](ULONG x) { return Value::ui4(x); }),
                          value);
    case vt::i8:
        return vectorFrom(
            element, v.cah,
            plain<LARGE_INTEGER>([](LARGE_INTEGER x) { return Value::i8(x.QuadPart); }), value);
    case vt::ui8:
        return vectorFrom(
            element, v.cauh,
            plain<ULARGE_INTEGER>([](ULARGE_INTEGER x) { return Value::ui8(x.QuadPart); }), value);
    case vt::r4:
        return vectorFrom(element, v.caflt, plain<FLOAT>([](FLOAT x) { return Value::r4(x); }),
                          value);
    case vt::r8:
        return vectorFrom(element, v.cadbl, plain<DOUBLE>([](DOUBLE x) { return Value::r8(x); }),
                          value);
    case vt::cy:
        return vectorFrom(element, v.cacy, plain<CY>([](CY x) { return Value::currency(x.int64); }),
                          value);
    case vt::date:
        return vectorFrom(element, v.cadate, plain<DATE>([](DATE x) { return Value::date(x); }),
                          value);
    case vt::boolean:
        return vectorFrom(element, v.cabool,
                          plain<VARIANT_BOOL>([](VARIANT_BOOL x) { return booleanValue(x); }),
                          value);
    case vt::error:
        return vectorFrom(element, v.cascode, plain<SCODE>([](SCODE x) {
                              return Value::error(static_cast<std::uint32_t>(x));
                          }),
                          value);
    case vt::filetime:
        return vectorFrom(
            element, v.cafiletime,
            plain<FILETIME>([](FILETIME x) { return Value::filetime(fileTimeValue(x)); }), value);
    case vt::clsid:
        return vectorFrom(element, v.cauuid,
                          plain<CLSID>([](const CLSID& x) { return Value::clsid(toGuid(x)); }),
                          value);
    case vt::lpstr:
        return vectorFrom(
            element, v.calpstr, [](char* x, Value* out) { return lpstrValue(x, out); }, value);
    case vt::lpwstr:
        return vectorFrom(
            element, v.calpwstr, [](wchar_t* x, Value* out) { return lpwstrValue(x, out); }, value);
    case vt::bstr:
        return vectorFrom(
            element, v.cabstr, [](BSTR x, Value* out) { return bstrValue(x, out); }, value);
    case vt::cf:
        return vectorFrom(
            element, v.caclipdata,
            [](const CLIPDATA& x, Value* out) { return clipboardValue(x, out); }, value);
    case vt::variant:
        return vectorFrom(
            element, v.capropvar,
            [](const PROPVARIANT& x, Value* out) {
                RETURN_HR_IF(STG_E_INVALIDPARAMETER, (x.vt & ~vt::typeMask) != 0);
                return scalarFromVariant(x.vt, x, out);
            },
            value);
    default:
        return STG_E_INVALIDPARAMETER;
    }
}

HRESULT scalarFromVariant(VarType type, const PROPVARIANT& v, Value* value) {
    switch (type) {
    case vt::empty:
        *value = Value::empty();
        return S_OK;
    case vt::null:
        *value = Value::null();
        return S_OK;
    case vt::i1:
        *value = Value::i1(v.cVal);
        return S_OK;
    case vt::ui1:
        *value = Value::ui1(v.bVal);
        return S_OK;
    case vt::i2:
        *value = Value::i2(v.iVal);
        return S_OK;
    case vt::ui2:
        *value = Value::ui2(v.uiVal);
        return S_OK;
    case vt::i4:
        *value = Value::i4(v.lVal);
        return S_OK;
    case vt::int_:
        *value = Value::integer(v.intVal);
        return S_OK;
    case vt::ui4:
        *value = Value::ui4(v.ulVal);
        return S_OK;
    case vt::uint_:
        *value = Value::unsignedInteger(v.uintVal);
        return S_OK;
    case vt::i8:
        *value = Value::i8(v.hVal.QuadPart);
        return S_OK;
    case vt::ui8:
        *value = Value::ui8(v.uhVal.QuadPart);
        return S_OK;
    case vt::r4:
        *value = Value::r4(v.fltVal);
        return S_OK;
    case vt::r8:
        *value = Value::r8(v.dblVal);
        return S_OK;
    case vt::cy:
        *value = Value::currency(v.cyVal.int64);
        return S_OK;
    case vt::date:
        *value = Value::date(v.date);
        return S_OK;
    case vt::boolean:
        *value = booleanValue(v.boolVal);
        return S_OK;
    case vt::error:
        *value = Value::error(static_cast<std::uint32_t>(v.scode));
        return S_OK;
    case vt::filetime:
        *value = Value::filetime(fileTimeValue(v.filetime));
        return S_OK;
    case vt::clsid:
        RETURN_HR_IF_NULL(STG_E_INVALIDPARAMETER, v.puuid);
        *value = Value::clsid(toGuid(*v.puuid));
        return S_OK;
    case vt::lpstr:
        return lpstrValue(v.pszVal, value);
    case vt::bstr:
        return bstrValue(v.bstrVal, value);
    case vt::lpwstr:
        return lpwstrValue(v.pwszVal, value);
    case vt::blob:
        RETURN_HR_IF(STG_E_INVALIDPARAMETER, v.blob.cbSize != 0 && v.blob.pBlobData == nullptr);
        *value = Value::blob(
            std::vector<std::uint8_t>(v.blob.pBlobData, v.blob.pBlobData + v.blob.cbSize));
        return S_OK;
    case vt::cf:
        RETURN_HR_IF_NULL(STG_E_INVALIDPARAMETER, v.pclipdata);
        return clipboardValue(*v.pclipdata, value);
    case vt::decimal: {
        engine::propset::Decimal decimal;
        decimal.scale = v.decVal.scale;
        decimal.sign = v.decVal.sign;
        decimal.high = v.decVal.Hi32;
        decimal.low = v.decVal.Lo64;
        *value = Value::decimal(decimal);
        return S_OK;
    }
    case vt::stream:
    case vt::storage:
    case vt::streamedObject:
    case vt::storedObject:
    case vt::versionedStream:
        // Only non-simple property sets hold streams and storages.
        return STG_E_PROPSETMISMATCHED;
    default:
        return STG_E_INVALIDPARAMETER;
    }
}

// ---- Value to PROPVARIANT ---------------------------------------------------------------

[[nodiscard]] HRESULT scalarToVariant(const Value& value, PROPVARIANT* v);

template <typename T, typename Counted, typename Fill>
[[nodiscard]] HRESULT vectorTo(const ValueVector& elements, Counted* counted, Fill fill) {
    counted->cElems = 0;
    counted->pElems = allocateArray<T>(elements.size());
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, counted->pElems);
    std::memset(static_cast<void*>(counted->pElems), 0,
                (elements.empty() ? 1 : elements.size()) * sizeof(T));
    for (const Value& element : elements) {
        // cElems counts what is filled, so that PropVariantClear frees exactly that.
        RETURN_IF_FAILED(fill(element, &counted->pElems[counted->cElems]));
        ++counted->cElems;
    }
    return S_OK;
}

template <typename T>
[[nodiscard]] auto signedFill() {
    return [](const Value& element, T* out) {
        *out = static_cast<T>(element.asSigned());
        return S_OK;
    };
}

template <typename T>
[[nodiscard]] auto unsignedFill() {
    return [](const Value& element, T* out) {
        *out = static_cast<T>(element.asUnsigned());
        return S_OK;
    };
}

template <typename T>
[[nodiscard]] auto realFill() {
    return [](const Value& element, T* out) {
        *out = static_cast<T>(element.asReal());
        return S_OK;
    };
}

[[nodiscard]] HRESULT lpstrOut(const Value& element, char** out) {
    std::u16string text;
    RETURN_IF_FAILED(textOf(element, &text));
    *out = utf16ToAnsiTaskMemory(text);
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, *out);
    return S_OK;
}

[[nodiscard]] HRESULT lpwstrOut(const Value& element, wchar_t** out) {
    *out = copyToTaskMemory(element.asWideText());
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
    out->pClipData = allocateArray<BYTE>(clip.data.size());
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, out->pClipData);
    if (!clip.data.empty())
        std::memcpy(out->pClipData, clip.data.data(), clip.data.size());
    return S_OK;
}

[[nodiscard]] HRESULT vectorToVariant(const Value& value, PROPVARIANT* v) {
    const ValueVector& elements = value.asVector();
    v->vt = value.type();
    switch (value.elementType()) {
    case vt::i1:
        return vectorTo<CHAR>(elements, &v->cac, signedFill<CHAR>());
    case vt::ui1:
        return vectorTo<UCHAR>(elements, &v->caub, unsignedFill<UCHAR>());
    case vt::i2:
        return vectorTo<SHORT>(elements, &v->cai, signedFill<SHORT>());
    case vt::ui2:
        return vectorTo<USHORT>(elements, &v->caui, unsignedFill<USHORT>());
    case vt::i4:
        return vectorTo<LONG>(elements, &v->cal, signedFill<LONG>());
    case vt::ui4:
        return vectorTo<ULONG>(elements, &v->caul, unsignedFill<ULONG>());
    case vt::i8:
        return vectorTo<LARGE_INTEGER>(elements, &v->cah, [](const Value& e, LARGE_INTEGER* out) {
            out->QuadPart = e.asSigned();
            return S_OK;
        });
    case vt::ui8:
        return vectorTo<ULARGE_INTEGER>(elements, &v->cauh,
                                        [](const Value& e, ULARGE_INTEGER* out) {
                                            out->QuadPart = e.asUnsigned();
                                            return S_OK;
                                        });
    case vt::r4:
        return vectorTo<FLOAT>(elements, &v->caflt, realFill<FLOAT>());
    case vt::r8:
        return vectorTo<DOUBLE>(elements, &v->cadbl, realFill<DOUBLE>());
    case vt::date:
        return vectorTo<DATE>(elements, &v->cadate, realFill<DATE>());
    case vt::cy:
        return vectorTo<CY>(elements, &v->cacy, [](const Value& e, CY* out) {
            out->int64 = e.asSigned();
            return S_OK;
        });
    case vt::boolean:
        return vectorTo<VARIANT_BOOL>(elements, &v->cabool, [](const Value& e, VARIANT_BOOL* out) {
            *out = variantBoolOf(e);
            return S_OK;
        });
    case vt::error:
        return vectorTo<SCODE>(elements, &v->cascode, unsignedFill<SCODE>());
    case vt::filetime:
        return vectorTo<FILETIME>(elements, &v->cafiletime, [](const Value& e, FILETIME* out) {
            *out = toFileTime(e.asUnsigned());
            return S_OK;
        });
    case vt::clsid:
        return vectorTo<CLSID>(elements, &v->cauuid, [](const Value& e, CLSID* out) {
            std::memcpy(out, e.asGuid().bytes.data(), sizeof(CLSID));
            return S_OK;
        });
    case vt::lpstr:
        return vectorTo<char*>(elements, &v->calpstr, lpstrOut);
    case vt::lpwstr:
        return vectorTo<wchar_t*>(elements, &v->calpwstr, lpwstrOut);
    case vt::bstr:
        return vectorTo<BSTR>(elements, &v->cabstr, bstrOut);
    case vt::cf:
        return vectorTo<CLIPDATA>(elements, &v->caclipdata, clipboardOut);
    case vt::variant:
        return vectorTo<PROPVARIANT>(elements, &v->capropvar, scalarToVariant);
    default:
        v->vt = VT_EMPTY;
        return S_OK;
    }
}

HRESULT scalarToVariant(const Value& value, PROPVARIANT* v) {
    PropVariantInit(v);
    if (value.isVector())
        return vectorToVariant(value, v);
    const VarType type = value.type();
    switch (type) {
    case vt::empty:
    case vt::null:
        break;
    case vt::i1:
        v->cVal = static_cast<CHAR>(value.asSigned());
        break;
    case vt::ui1:
        v->bVal = static_cast<UCHAR>(value.asUnsigned());
        break;
    case vt::i2:
        v->iVal = static_cast<SHORT>(value.asSigned());
        break;
    case vt::ui2:
        v->uiVal = static_cast<USHORT>(value.asUnsigned());
        break;
    case vt::i4:
        v->lVal = static_cast<LONG>(value.asSigned());
        break;
    case vt::int_:
        v->intVal = static_cast<INT>(value.asSigned());
        break;
    case vt::ui4:
        v->ulVal = static_cast<ULONG>(value.asUnsigned());
        break;
    case vt::uint_:
        v->uintVal = static_cast<UINT>(value.asUnsigned());
        break;
    case vt::i8:
        v->hVal.QuadPart = value.asSigned();
        break;
    case vt::ui8:
        v->uhVal.QuadPart = value.asUnsigned();
        break;
    case vt::r4:
        v->fltVal = static_cast<FLOAT>(value.asReal());
        break;
    case vt::r8:
        v->dblVal = value.asReal();
        break;
    case vt::date:
        v->date = value.asReal();
        break;
    case vt::cy:
        v->cyVal.int64 = value.asSigned();
        break;
    case vt::boolean:
        v->boolVal = variantBoolOf(value);
        break;
    case vt::error:
        v->scode = static_cast<SCODE>(value.asUnsigned());
        break;
    case vt::filetime:
        v->filetime = toFileTime(value.asUnsigned());
        break;
    case vt::clsid:
        v->puuid = allocateArray<CLSID>(1);
        RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, v->puuid);
        std::memcpy(v->puuid, value.asGuid().bytes.data(), sizeof(CLSID));
        break;
    case vt::lpstr:
        RETURN_IF_FAILED(lpstrOut(value, &v->pszVal));
        break;
    case vt::bstr:
        RETURN_IF_FAILED(bstrOut(value, &v->bstrVal));
        break;
    case vt::lpwstr:
        RETURN_IF_FAILED(lpwstrOut(value, &v->pwszVal));
        break;
    case vt::blob: {
        const auto& bytes = value.asBlob().bytes;
        v->blob.pBlobData = allocateArray<BYTE>(bytes.size());
        RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, v->blob.pBlobData);
        v->blob.cbSize = static_cast<ULONG>(bytes.size());
        if (!bytes.empty())
            std::memcpy(v->blob.pBlobData, bytes.data(), bytes.size());
        break;
    }
    case vt::cf:
        v->pclipdata = allocateArray<CLIPDATA>(1);
        RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, v->pclipdata);
        std::memset(v->pclipdata, 0, sizeof(CLIPDATA));
        v->vt = VT_CF; // so that PropVariantClear frees a half-filled value
        RETURN_IF_FAILED(clipboardOut(value, v->pclipdata));
        break;
    case vt::decimal: {
        const engine::propset::Decimal& decimal = value.asDecimal();
        v->decVal.scale = decimal.scale;
        v->decVal.sign = decimal.sign;
        v->decVal.Hi32 = decimal.high;
        v->decVal.Lo64 = decimal.low;
        break;
    }
    default:
        // Kept as stored bytes (streams, storages, arrays): nothing a simple set hands out.
        v->vt = VT_EMPTY;
        return S_OK;
    }
    v->vt = type;
    return S_OK;
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
    if (variant.vt & vt::vector) {
        RETURN_HR_IF(STG_E_INVALIDPARAMETER, (variant.vt & ~(vt::vector | vt::typeMask)) != 0);
        return vectorFromVariant(variant, value);
    }
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, (variant.vt & ~vt::typeMask) != 0);
    RETURN_IF_FAILED(scalarFromVariant(variant.vt, variant, value));
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, !value->isWellFormed());
    return S_OK;
}

HRESULT propVariantFromValue(const Value& value, engine::propset::CodePage codePage,
                             PROPVARIANT* variant) {
    if (value.type() & VT_ARRAY)
        return propVariantFromArrayValue(value, codePage, variant);
    const HRESULT hr = scalarToVariant(value, variant);
    if (FAILED(hr)) {
        PropVariantClear(variant);
        PropVariantInit(variant);
    }
    return hr;
}

} // namespace provider
