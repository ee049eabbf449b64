#include "propset/value.h"

#include "common/error.h"

#include <cmath>
#include <limits>
#include <optional>

namespace engine::propset {
namespace {

// The payload kind (index into Value::Payload) that each interpreted scalar type calls for.
enum class PayloadKind {
    none,
    signedInteger,
    unsignedInteger,
    real,
    guid,
    text,
    wideText,
    blob,
    clipboard,
    decimal
};

std::optional<PayloadKind> payloadKindOf(VarType type) {
    switch (type) {
    case vt::empty:
    case vt::null:
        return PayloadKind::none;
    case vt::i1:
    case vt::i2:
    case vt::i4:
    case vt::int_:
    case vt::i8:
    case vt::cy:
        return PayloadKind::signedInteger;
    case vt::ui1:
    case vt::ui2:
    case vt::ui4:
    case vt::uint_:
    case vt::ui8:
    case vt::error:
    case vt::filetime:
    case vt::boolean:
        return PayloadKind::unsignedInteger;
    case vt::r4:
    case vt::r8:
    case vt::date:
        return PayloadKind::real;
    case vt::clsid:
        return PayloadKind::guid;
    case vt::bstr:
    case vt::lpstr:
        return PayloadKind::text;
    case vt::lpwstr:
        return PayloadKind::wideText;
    case vt::blob:
        return PayloadKind::blob;
    case vt::cf:
        return PayloadKind::clipboard;
    case vt::decimal:
        return PayloadKind::decimal;
    default:
        return std::nullopt;
    }
}

bool payloadHoldsKind(const Value::Payload& payload, PayloadKind kind) {
    switch (kind) {
    case PayloadKind::none:
        return std::holds_alternative<std::monostate>(payload);
    case PayloadKind::signedInteger:
        return std::holds_alternative<std::int64_t>(payload);
    case PayloadKind::unsignedInteger:
        return std::holds_alternative<std::uint64_t>(payload);
    case PayloadKind::real:
        return std::holds_alternative<double>(payload);
    case PayloadKind::guid:
        return std::holds_alternative<Guid>(payload);
    case PayloadKind::text:
        return std::holds_alternative<CodePageText>(payload);
    case PayloadKind::wideText:
        return std::holds_alternative<std::u16string>(payload);
    case PayloadKind::blob:
        return std::holds_alternative<Blob>(payload);
    case PayloadKind::clipboard:
        return std::holds_alternative<ClipboardData>(payload);
    case PayloadKind::decimal:
        return std::holds_alternative<Decimal>(payload);
    }
    return false;
}

template <typename Narrow>
bool fitsSigned(std::int64_t value) {
    return value >= std::numeric_limits<Narrow>::min() &&
           value <= std::numeric_limits<Narrow>::max();
}

template <typename Narrow>
bool fitsUnsigned(std::uint64_t value) {
    return value <= std::numeric_limits<Narrow>::max();
}

// Whether a number suits the storage of its type: integers in range, VT_R4 within float range.
bool numberFitsType(VarType type, const Value::Payload& payload) {
    switch (type) {
    case vt::r4: {
        const double value = std::get<double>(payload);
        return !std::isfinite(value) || std::fabs(value) <= std::numeric_limits<float>::max();
    }
    case vt::i1:
        return fitsSigned<std::int8_t>(std::get<std::int64_t>(payload));
    case vt::i2:
        return fitsSigned<std::int16_t>(std::get<std::int64_t>(payload));
    case vt::i4:
    case vt::int_:
        return fitsSigned<std::int32_t>(std::get<std::int64_t>(payload));
    case vt::ui1:
        return fitsUnsigned<std::uint8_t>(std::get<std::uint64_t>(payload));
    case vt::ui2:
    case vt::boolean:
        return fitsUnsigned<std::uint16_t>(std::get<std::uint64_t>(payload));
    case vt::ui4:
    case vt::uint_:
    case vt::error:
        return fitsUnsigned<std::uint32_t>(std::get<std::uint64_t>(payload));
    default:
        return true;
    }
}

bool isScalarWellFormed(VarType type, const Value::Payload& payload) {
    const auto kind = payloadKindOf(type);
    if (!kind || !payloadHoldsKind(payload, *kind))
        return false;
    if (*kind == PayloadKind::text && std::get<CodePageText>(payload).codePage == kCodePageUnicode)
        return std::get<CodePageText>(payload).bytes.size() % 2 == 0;
    return numberFitsType(type, payload);
}

bool isVectorWellFormed(VarType elementType, const ValueVector& elements) {
    if (!isInterpretedVectorElement(elementType))
        return false;
    for (const Value& element : elements) {
        if (elementType == vt::variant) {
            if (!isInterpretedVariantElement(element.type()))
                return false;
        } else if (element.type() != elementType) {
            return false;
        }
        if (!element.isWellFormed())
            return false;
    }
    return true;
}

bool needsVersion1(VarType type) {
    const VarType base = type & vt::typeMask;
    return (type & vt::array) != 0 || base == vt::i1 || base == vt::int_ || base == vt::uint_ ||
           base == vt::decimal;
}

} // namespace

CodePageText CodePageText::fromUtf16(std::u16string_view text) {
    return {kCodePageUnicode, littleEndianBytesFromUtf16(text)};
}

Status CodePageText::toUtf16(std::u16string& text, const CodePageConverter& converter) const {
    return convertToUtf16(codePage, bytes, text, converter);
}

Status CodePageText::convertTo(CodePage target, CodePageText& converted,
                               const CodePageConverter& converter) const {
    if (target == codePage) {
        converted = *this;
        return Status::ok;
    }
    std::u16string text;
    ENGINE_RETURN_IF_FAILED(toUtf16(text, converter));
    CodePageText result{target, {}};
    ENGINE_RETURN_IF_FAILED(convertFromUtf16(target, text, result.bytes, converter));
    converted = std::move(result);
    return Status::ok;
}

Status Value::toUtf16(std::u16string& text, const CodePageConverter& converter) const {
    if (const auto* wide = std::get_if<std::u16string>(&payload_)) {
        text = *wide;
        return Status::ok;
    }
    if (const auto* narrow = std::get_if<CodePageText>(&payload_))
        return narrow->toUtf16(text, converter);
    return fail(Status::invalidParameter, describe("a value of type ", type_, " holds no text"));
}

bool Value::isWellFormed() const {
    // A variant vector is kept uninterpreted when one of its elements is.
    if (std::holds_alternative<Uninterpreted>(payload_))
        return !isInterpretedType(type_) || type_ == (vt::vector | vt::variant);
    if (isVector()) {
        const auto* elements = std::get_if<ValueVector>(&payload_);
        return elements != nullptr && (type_ & vt::array) == 0 &&
               isVectorWellFormed(elementType(), *elements);
    }
    return isScalarWellFormed(type_, payload_);
}

std::uint16_t Value::minimumFormatVersion() const {
    if (needsVersion1(type_))
        return kFormatVersion1;
    if (const auto* elements = std::get_if<ValueVector>(&payload_))
        for (const Value& element : *elements)
            if (element.minimumFormatVersion() == kFormatVersion1)
                return kFormatVersion1;
    return kFormatVersion0;
}

bool isInterpretedType(VarType type) {
    if ((type & vt::vector) != 0)
        return (type & ~(vt::vector | vt::typeMask)) == 0 &&
               isInterpretedVectorElement(type & vt::typeMask);
    return payloadKindOf(type).has_value();
}

bool isInterpretedVectorElement(VarType elementType) {
    switch (elementType) {
    case vt::i1:
    case vt::ui1:
    case vt::i2:
    case vt::ui2:
    case vt::i4:
    case vt::ui4:
    case vt::i8:
    case vt::ui8:
    case vt::r4:
    case vt::r8:
    case vt::cy:
    case vt::date:
    case vt::bstr:
    case vt::error:
    case vt::boolean:
    case vt::variant:
    case vt::lpstr:
    case vt::lpwstr:
    case vt::filetime:
    case vt::cf:
    case vt::clsid:
        return true;
    default:
        return false;
    }
}

bool isInterpretedVariantElement(VarType type) {
    return payloadKindOf(type).has_value();
}

} // namespace engine::propset
