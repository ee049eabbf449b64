// Typed property values: the in-memory form of a TypedPropertyValue (MS-OLEPS 2.15).
//
// A Value keeps its VARTYPE and a payload whose kind follows from it, so that the provider can
// fill a PROPVARIANT with one switch on type():
//
//   payload kind            VARTYPEs
//   std::monostate          VT_EMPTY, VT_NULL
//   std::int64_t            VT_I1, VT_I2, VT_I4, VT_INT, VT_I8, VT_CY (units of 1/10,000)
//   std::uint64_t           VT_UI1, VT_UI2, VT_UI4, VT_UINT, VT_UI8, VT_ERROR, VT_FILETIME,
//                           VT_BOOL (its 16 bits as stored: only 0xFFFF is VARIANT_TRUE, and
//                           another writer's 1 or 5 is kept, neither true nor false)
//   double                  VT_R4, VT_R8, VT_DATE
//   Guid                    VT_CLSID
//   CodePageText            VT_BSTR, VT_LPSTR
//   std::u16string          VT_LPWSTR
//   Blob                    VT_BLOB
//   ClipboardData           VT_CF
//   Decimal                 VT_DECIMAL
//   std::vector<Value>      VT_VECTOR | any of the element types below
//   Uninterpreted           any other type (VT_STREAM, VT_ARRAY | ..., unknown types), and
//                           VT_VECTOR | VT_VARIANT holding such an element: the stored bytes
//                           after the type, written back unchanged
#pragma once

#include "common/status.h"
#include "propset/code_page.h"
#include "propset/constants.h"
#include "propset/guid.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace engine::propset {

// Text in a code page, kept as its bytes without the terminator (for code page 1200, UTF-16LE
// bytes). The codec converts it to the section's code page when it is written.
struct CodePageText {
    CodePage codePage = kCodePageUnicode;
    std::string bytes;

    [[nodiscard]] static CodePageText fromUtf16(std::u16string_view text);
    [[nodiscard]] Status toUtf16(std::u16string& text,
                                 const CodePageConverter& converter = builtInCodePages()) const;
    // The same text in another code page.
    [[nodiscard]] Status convertTo(CodePage target, CodePageText& converted,
                                   const CodePageConverter& converter = builtInCodePages()) const;

    friend bool operator==(const CodePageText&, const CodePageText&) = default;
};

struct Blob {
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const Blob&, const Blob&) = default;
};

// Clipboard data (VT_CF): the format tag (CLIPDATA.ulClipFmt) and the data after it.
struct ClipboardData {
    std::int32_t format = 0;
    std::vector<std::uint8_t> data;
    friend bool operator==(const ClipboardData&, const ClipboardData&) = default;
};

// VT_DECIMAL: the DECIMAL structure without its reserved word.
struct Decimal {
    std::uint8_t scale = 0;
    std::uint8_t sign = 0;
    std::uint32_t high = 0;
    std::uint64_t low = 0;
    friend bool operator==(const Decimal&, const Decimal&) = default;
};

// A value of a type the codec does not interpret: the bytes stored after its type header.
struct Uninterpreted {
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const Uninterpreted&, const Uninterpreted&) = default;
};

class Value;
using ValueVector = std::vector<Value>;

class Value {
public:
    using Payload =
        std::variant<std::monostate, std::int64_t, std::uint64_t, double, Guid, CodePageText,
                     std::u16string, Blob, ClipboardData, Decimal, ValueVector, Uninterpreted>;

    Value() = default;
    // A value of any type; isWellFormed() tells whether the payload suits it.
    Value(VarType type, Payload payload) : type_(type), payload_(std::move(payload)) {}

    [[nodiscard]] static Value empty() { return {vt::empty, std::monostate{}}; }
    [[nodiscard]] static Value null() { return {vt::null, std::monostate{}}; }
    [[nodiscard]] static Value i1(std::int8_t v) { return {vt::i1, std::int64_t{v}}; }
    [[nodiscard]] static Value i2(std::int16_t v) { return {vt::i2, std::int64_t{v}}; }
    [[nodiscard]] static Value i4(std::int32_t v) { return {vt::i4, std::int64_t{v}}; }
    [[nodiscard]] static Value integer(std::int32_t v) { return {vt::int_, std::int64_t{v}}; }
    [[nodiscard]] static Value i8(std::int64_t v) { return {vt::i8, v}; }
    [[nodiscard]] static Value ui1(std::uint8_t v) { return {vt::ui1, std::uint64_t{v}}; }
    [[nodiscard]] static Value ui2(std::uint16_t v) { return {vt::ui2, std::uint64_t{v}}; }
    [[nodiscard]] static Value ui4(std::uint32_t v) { return {vt::ui4, std::uint64_t{v}}; }
    [[nodiscard]] static Value unsignedInteger(std::uint32_t v) {
        return {vt::uint_, std::uint64_t{v}};
    }
    [[nodiscard]] static Value ui8(std::uint64_t v) { return {vt::ui8, v}; }
    [[nodiscard]] static Value r4(float v) { return {vt::r4, double{v}}; }
    [[nodiscard]] static Value r8(double v) { return {vt::r8, v}; }
    [[nodiscard]] static Value currency(std::int64_t units) { return {vt::cy, units}; }
    [[nodiscard]] static Value date(double days) { return {vt::date, days}; }
    // VARIANT_TRUE (0xFFFF) or VARIANT_FALSE (0).
    [[nodiscard]] static Value boolean(bool v) {
        return booleanBits(v ? kVariantTrue : kVariantFalse);
    }
    // A VT_BOOL with the 16 bits another writer stored, whatever they are.
    [[nodiscard]] static Value booleanBits(std::uint16_t bits) {
        return {vt::boolean, std::uint64_t{bits}};
    }
    [[nodiscard]] static Value error(std::uint32_t code) {
        return {vt::error, std::uint64_t{code}};
    }
    [[nodiscard]] static Value filetime(std::uint64_t ticks) { return {vt::filetime, ticks}; }
    [[nodiscard]] static Value clsid(const Guid& id) { return {vt::clsid, id}; }
    [[nodiscard]] static Value lpstr(CodePageText text) { return {vt::lpstr, std::move(text)}; }
    [[nodiscard]] static Value bstr(CodePageText text) { return {vt::bstr, std::move(text)}; }
    [[nodiscard]] static Value lpwstr(std::u16string text) { return {vt::lpwstr, std::move(text)}; }
    [[nodiscard]] static Value blob(std::vector<std::uint8_t> bytes) {
        return {vt::blob, Blob{std::move(bytes)}};
    }
    [[nodiscard]] static Value clipboard(std::int32_t format, std::vector<std::uint8_t> data) {
        return {vt::cf, ClipboardData{format, std::move(data)}};
    }
    [[nodiscard]] static Value decimal(const Decimal& v) { return {vt::decimal, v}; }
    // VT_VECTOR | elementType; each element has type elementType (any scalar for VT_VARIANT).
    [[nodiscard]] static Value vector(VarType elementType, ValueVector elements) {
        return {static_cast<VarType>(vt::vector | elementType), std::move(elements)};
    }
    [[nodiscard]] static Value uninterpreted(VarType type, std::vector<std::uint8_t> bytes) {
        return {type, Uninterpreted{std::move(bytes)}};
    }

    [[nodiscard]] VarType type() const { return type_; }
    [[nodiscard]] const Payload& payload() const { return payload_; }
    [[nodiscard]] bool isVector() const { return (type_ & vt::vector) != 0; }
    [[nodiscard]] VarType elementType() const { return type_ & vt::typeMask; }

    // Typed access; each must only be called when the payload holds that kind.
    [[nodiscard]] std::int64_t asSigned() const { return std::get<std::int64_t>(payload_); }
    [[nodiscard]] std::uint64_t asUnsigned() const { return std::get<std::uint64_t>(payload_); }
    [[nodiscard]] double asReal() const { return std::get<double>(payload_); }
    // A VT_BOOL's stored bits, and whether they are anything but VARIANT_FALSE.
    [[nodiscard]] std::uint16_t asBooleanBits() const {
        return static_cast<std::uint16_t>(asUnsigned());
    }
    [[nodiscard]] bool asBool() const { return asBooleanBits() != kVariantFalse; }
    [[nodiscard]] const Guid& asGuid() const { return std::get<Guid>(payload_); }
    [[nodiscard]] const CodePageText& asText() const { return std::get<CodePageText>(payload_); }
    [[nodiscard]] const std::u16string& asWideText() const {
        return std::get<std::u16string>(payload_);
    }
    [[nodiscard]] const Blob& asBlob() const { return std::get<Blob>(payload_); }
    [[nodiscard]] const ClipboardData& asClipboard() const {
        return std::get<ClipboardData>(payload_);
    }
    [[nodiscard]] const Decimal& asDecimal() const { return std::get<Decimal>(payload_); }
    [[nodiscard]] const ValueVector& asVector() const { return std::get<ValueVector>(payload_); }
    [[nodiscard]] const Uninterpreted& asUninterpreted() const {
        return std::get<Uninterpreted>(payload_);
    }

    // Text of a VT_LPSTR, VT_BSTR or VT_LPWSTR value as UTF-16.
    [[nodiscard]] Status toUtf16(std::u16string& text,
                                 const CodePageConverter& converter = builtInCodePages()) const;

    // True when the payload is of the kind the type calls for, integers are in the range of
    // the type and vector elements are well formed and of the element type.
    [[nodiscard]] bool isWellFormed() const;

    // The lowest format version that can store this value (MS-OLEPS 2.14).
    [[nodiscard]] std::uint16_t minimumFormatVersion() const;

    friend bool operator==(const Value&, const Value&) = default;

private:
    VarType type_ = vt::empty;
    Payload payload_;
};

// Whether the codec interprets values of this type (rather than keeping their bytes).
[[nodiscard]] bool isInterpretedType(VarType type);
// Whether VT_VECTOR | elementType is interpreted.
[[nodiscard]] bool isInterpretedVectorElement(VarType elementType);
// Whether a value of this type may be an element of a VT_VECTOR | VT_VARIANT.
[[nodiscard]] bool isInterpretedVariantElement(VarType type);

} // namespace engine::propset
