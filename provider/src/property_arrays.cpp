#include "property_arrays.h"

#include "property_conversion.h"
#include "results.h"

#include <propset/byte_io.h>
#include <propset/value_codec.h>

#include <oleauto.h>

#include <cstring>
#include <limits>

namespace provider {
namespace {

namespace ps = engine::propset;
namespace vt = engine::propset::vt;

constexpr std::uint32_t kMaxDimensions = 31;
// A vector's stored form starts with its type, padding and element count.
constexpr std::size_t kVectorPrefixSize = 8;
constexpr std::size_t kDecimalSize = 16;

// The bytes of one element of a fixed size, or 0 for strings and variants.
[[nodiscard]] std::size_t fixedElementSize(VARTYPE type) {
    switch (type) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
        return 8;
    case VT_DECIMAL:
        return kDecimalSize;
    default:
        return 0;
    }
}

[[nodiscard]] bool isElementType(VARTYPE type) {
    return fixedElementSize(type) != 0 || type == VT_BSTR || type == VT_VARIANT;
}

// How many elements the bounds describe, or nothing when they overflow.
[[nodiscard]] bool countElements(const SAFEARRAYBOUND* bounds, std::uint32_t dimensions,
                                 std::uint64_t* count) {
    *count = 1;
    for (std::uint32_t index = 0; index < dimensions; ++index) {
        const std::uint64_t size = bounds[index].cElements;
        if (size != 0 && *count > std::numeric_limits<std::uint32_t>::max() / size)
            return false;
        *count *= size;
    }
    return true;
}

// Keeps a SAFEARRAY's data locked while it is read or written.
class ArrayData {
public:
    explicit ArrayData(SAFEARRAY* array) : array_(array) {
        if (FAILED(SafeArrayAccessData(array_, &data_)))
            data_ = nullptr;
    }
    ArrayData(const ArrayData&) = delete;
    ArrayData& operator=(const ArrayData&) = delete;
    ~ArrayData() {
        if (data_)
            SafeArrayUnaccessData(array_);
    }
    [[nodiscard]] void* get() const { return data_; }

private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
};

// ---- SAFEARRAY to stored bytes ----------------------------------------------------------

[[nodiscard]] HRESULT elementValues(VARTYPE type, const void* data, std::uint64_t count,
                                    ps::ValueVector* elements) {
    elements->reserve(static_cast<std::size_t>(count));
    for (std::uint64_t index = 0; index < count; ++index) {
        ps::Value element;
        if (type == VT_BSTR) {
            const BSTR text = static_cast<const BSTR*>(data)[index];
            const std::u16string wide(
                text ? std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text))
                     : std::u16string());
            element = ps::Value::bstr(ps::CodePageText::fromUtf16(wide));
        } else {
            // VARIANT and PROPVARIANT lay out these types alike.
            const auto& item =
                reinterpret_cast<const PROPVARIANT*>(static_cast<const VARIANT*>(data))[index];
            RETURN_HR_IF(STG_E_INVALIDPARAMETER, item.vt == VT_VARIANT || !isElementType(item.vt));
            RETURN_IF_FAILED(valueFromPropVariant(item, ps::kCodePageUnicode, &element));
        }
        elements->push_back(std::move(element));
    }
    return S_OK;
}

} // namespace

bool isStorableArrayType(VARTYPE type) {
    return (type & VT_ARRAY) != 0 && isElementType(type & ~VT_ARRAY);
}

HRESULT arrayValueFromPropVariant(const PROPVARIANT& variant, ps::CodePage codePage,
                                  ps::Value* value) {
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, !isStorableArrayType(variant.vt));
    const VARTYPE elementType = variant.vt & ~VT_ARRAY;
    SAFEARRAY* array = variant.parray;
    RETURN_HR_IF_NULL(STG_E_INVALIDPARAMETER, array);
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, array->cDims == 0 || array->cDims > kMaxDimensions);
    VARTYPE stored = VT_EMPTY;
    if (SUCCEEDED(SafeArrayGetVartype(array, &stored)))
        RETURN_HR_IF(STG_E_INVALIDPARAMETER, stored != elementType &&
                                                 !(stored == VT_I4 && elementType == VT_INT) &&
                                                 !(stored == VT_UI4 && elementType == VT_UINT));
    std::uint64_t count = 0;
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, !countElements(array->rgsabound, array->cDims, &count));

    std::vector<std::uint8_t> bytes;
    ps::ByteWriter writer(bytes);
    writer.u32(elementType);
    writer.u32(array->cDims);
    for (USHORT index = 0; index < array->cDims; ++index) {
        writer.u32(array->rgsabound[index].cElements);
        writer.u32(static_cast<std::uint32_t>(array->rgsabound[index].lLbound));
    }
    const ArrayData data(array);
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, count != 0 && data.get() == nullptr);
    const std::size_t fixed = fixedElementSize(elementType);
    if (fixed != 0) {
        const auto* source = static_cast<const std::uint8_t*>(data.get());
        const std::size_t start = writer.size();
        if (count != 0)
            writer.bytes(std::span(source, static_cast<std::size_t>(count) * fixed));
        if (elementType == VT_DECIMAL) {
            // The first two bytes of a DECIMAL are reserved: stored as zeros.
            for (std::uint64_t index = 0; index < count; ++index)
                std::memset(bytes.data() + start + index * kDecimalSize, 0, sizeof(USHORT));
        }
        writer.padFrom(start);
    } else {
        ps::ValueVector elements;
        RETURN_IF_FAILED(elementValues(elementType, data.get(), count, &elements));
        std::vector<std::uint8_t> encoded;
        ps::ByteWriter vectorWriter(encoded);
        RETURN_IF_ENGINE_FAILED(
            ps::writeTypedValue(vectorWriter, ps::Value::vector(elementType, std::move(elements)),
                                codePage, windowsCodePages()));
        writer.bytes(std::span(encoded).subspan(kVectorPrefixSize));
    }
    *value = ps::Value::uninterpreted(variant.vt, std::move(bytes));
    return S_OK;
}

// ---- stored bytes to SAFEARRAY ----------------------------------------------------------

namespace {

[[nodiscard]] HRESULT corrupt() {
    return STG_E_DOCFILECORRUPT;
}

// Fills the strings or variants of `array` from the element bytes, read as a vector.
[[nodiscard]] HRESULT fillElements(VARTYPE elementType, std::span<const std::uint8_t> elementBytes,
                                   std::uint64_t count, ps::CodePage codePage, void* data) {
    std::vector<std::uint8_t> asVector;
    ps::ByteWriter prefix(asVector);
    prefix.u16(static_cast<std::uint16_t>(vt::vector | elementType));
    prefix.u16(0);
    prefix.u32(static_cast<std::uint32_t>(count));
    prefix.bytes(elementBytes);
    ps::ByteReader reader(asVector, 0, engine::Status::docfileCorrupt);
    ps::Value vector;
    if (engine::failed(ps::readTypedValue(reader, codePage, ps::StringPadding::aligned, vector)) ||
        !vector.isVector() || vector.asVector().size() != count)
        return corrupt();
    std::size_t index = 0;
    for (const ps::Value& element : vector.asVector()) {
        if (elementType == VT_BSTR) {
            std::u16string text;
            RETURN_IF_ENGINE_FAILED(element.toUtf16(text, windowsCodePages()));
            BSTR copy = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                          static_cast<UINT>(text.size()));
            RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, copy);
            static_cast<BSTR*>(data)[index++] = copy;
            continue;
        }
        if (element.type() == VT_VARIANT || !isElementType(element.type()))
            return corrupt();
        auto* item = reinterpret_cast<PROPVARIANT*>(static_cast<VARIANT*>(data) + index++);
        RETURN_IF_FAILED(propVariantFromValue(element, codePage, item));
    }
    return S_OK;
}

} // namespace

HRESULT propVariantFromArrayValue(const ps::Value& value, ps::CodePage codePage,
                                  PROPVARIANT* variant) {
    PropVariantInit(variant);
    const VARTYPE type = value.type();
    const auto* stored = std::get_if<ps::Uninterpreted>(&value.payload());
    if (!stored || !isStorableArrayType(type))
        return corrupt();
    const VARTYPE elementType = type & ~VT_ARRAY;
    ps::ByteReader reader(stored->bytes, 0, engine::Status::docfileCorrupt);
    std::uint32_t headerType = 0;
    std::uint32_t dimensions = 0;
    if (engine::failed(reader.u32(headerType, "array element type")) ||
        engine::failed(reader.u32(dimensions, "array dimensions")) || headerType != elementType ||
        dimensions == 0 || dimensions > kMaxDimensions)
        return corrupt();
    SAFEARRAYBOUND bounds[kMaxDimensions] = {};
    for (std::uint32_t index = 0; index < dimensions; ++index) {
        std::uint32_t size = 0;
        std::uint32_t offset = 0;
        if (engine::failed(reader.u32(size, "array dimension size")) ||
            engine::failed(reader.u32(offset, "array index offset")))
            return corrupt();
        bounds[index].cElements = size;
        bounds[index].lLbound = static_cast<LONG>(offset);
    }
    std::uint64_t count = 0;
    const std::size_t fixed = fixedElementSize(elementType);
    // Every element takes at least four bytes unless it is a number of a fixed size.
    const std::uint64_t smallest = fixed != 0 ? fixed : 4;
    if (!countElements(bounds, dimensions, &count) || count * smallest > reader.remaining())
        return corrupt();

    // The descriptor's bounds in stored order, as they were written.
    SAFEARRAY* array = nullptr;
    RETURN_IF_FAILED(SafeArrayAllocDescriptorEx(elementType, dimensions, &array));
    std::memcpy(array->rgsabound, bounds, dimensions * sizeof(SAFEARRAYBOUND));
    HRESULT hr = SafeArrayAllocData(array);
    if (SUCCEEDED(hr)) {
        const ArrayData data(array);
        std::span<const std::uint8_t> rest;
        (void)reader.bytes(reader.remaining(), rest, "array elements");
        if (fixed != 0) {
            if (count != 0)
                std::memcpy(data.get(), rest.data(), static_cast<std::size_t>(count) * fixed);
        } else {
            hr = fillElements(elementType, rest, count, codePage, data.get());
        }
    }
    if (FAILED(hr)) {
        SafeArrayDestroy(array);
        return hr;
    }
    variant->vt = type;
    variant->parray = array;
    return S_OK;
}

} // namespace provider
