#include "propset/value_codec.h"

#include <bit>

namespace engine::propset {
namespace {

constexpr std::size_t kUtf16UnitSize = 2;
constexpr std::size_t kLengthFieldSize = 4;

// Bytes one element of a packed vector (or the content of a scalar) occupies, or 0 for the
// types whose size varies.
std::size_t fixedSizeOf(VarType type) {
    switch (type) {
    case vt::i1:
    case vt::ui1:
        return 1;
    case vt::i2:
    case vt::ui2:
    case vt::boolean:
        return 2;
    case vt::i4:
    case vt::ui4:
    case vt::int_:
    case vt::uint_:
    case vt::r4:
    case vt::error:
        return 4;
    case vt::i8:
    case vt::ui8:
    case vt::r8:
    case vt::cy:
    case vt::date:
    case vt::filetime:
        return 8;
    case vt::clsid:
    case vt::decimal:
        return 16;
    default:
        return 0;
    }
}

// The fewest bytes one vector element can take, to bound a vector's count by its window.
std::size_t minimumElementSize(VarType elementType) {
    const std::size_t fixed = fixedSizeOf(elementType);
    if (fixed != 0)
        return fixed;
    if (elementType == vt::cf)
        return kLengthFieldSize + kClipboardFormatSize;
    return kLengthFieldSize; // strings (their length) and variants (their type header)
}

std::size_t characterSize(CodePage codePage) {
    return codePage == kCodePageUnicode ? kUtf16UnitSize : 1;
}

Status corrupt(std::string message) {
    return fail(Status::docfileCorrupt, std::move(message));
}

class ValueReader {
public:
    ValueReader(ByteReader& reader, CodePage codePage, StringPadding padding)
        : reader_(reader), codePage_(codePage), padding_(padding) {}

    Status readProperty(Value& value) {
        const std::size_t start = reader_.position();
        VarType type = vt::empty;
        ENGINE_RETURN_IF_FAILED(readHeader(type));
        if (!isInterpretedType(type))
            return readUninterpreted(type, value);
        const Status status =
            (type & vt::vector) ? readVector(type & vt::typeMask, value) : readScalar(type, value);
        if (failed(status) && foundUninterpretedElement_) {
            reader_.seek(start + kTypedValueHeaderSize);
            return readUninterpreted(type, value);
        }
        return status;
    }

private:
    Status readHeader(VarType& type) {
        std::uint16_t padding = 0;
        const std::size_t at = reader_.streamPosition();
        ENGINE_RETURN_IF_FAILED(reader_.u16(type, "property type"));
        ENGINE_RETURN_IF_FAILED(reader_.u16(padding, "property type padding"));
        if (padding != 0)
            return corrupt(describe("value of type ", type, " at offset ", at, " has padding ",
                                    padding, " instead of 0 after its type"));
        return Status::ok;
    }

    Status readUninterpreted(VarType type, Value& value) {
        std::span<const std::uint8_t> bytes;
        ENGINE_RETURN_IF_FAILED(reader_.bytes(reader_.remaining(), bytes, "uninterpreted value"));
        value = Value::uninterpreted(type, {bytes.begin(), bytes.end()});
        return Status::ok;
    }

    Status readScalar(VarType type, Value& value) {
        switch (type) {
        case vt::empty:
        case vt::null:
            value = Value(type, std::monostate{});
            return Status::ok;
        case vt::bstr:
        case vt::lpstr:
            return readCodePageString(type, value);
        case vt::lpwstr:
            return readUnicodeString(value);
        case vt::blob:
            return readBlob(value);
        case vt::cf:
            return readClipboardData(value);
        case vt::clsid: {
            Guid id;
            ENGINE_RETURN_IF_FAILED(reader_.guid(id, "VT_CLSID value"));
            value = Value::clsid(id);
            return Status::ok;
        }
        case vt::decimal:
            return readDecimal(value);
        default:
            return readFixedNumber(type, value);
        }
    }

    Status readFixedNumber(VarType type, Value& value) {
        switch (fixedSizeOf(type)) {
        case 1: {
            std::uint8_t raw = 0;
            ENGINE_RETURN_IF_FAILED(reader_.u8(raw, "1-byte value"));
            value = type == vt::i1 ? Value::i1(static_cast<std::int8_t>(raw)) : Value::ui1(raw);
            return Status::ok;
        }
        case 2: {
            std::uint16_t raw = 0;
            ENGINE_RETURN_IF_FAILED(reader_.u16(raw, "2-byte value"));
            if (type == vt::boolean)
                value = Value::booleanBits(raw);
            else
                value =
                    type == vt::i2 ? Value::i2(static_cast<std::int16_t>(raw)) : Value::ui2(raw);
            return Status::ok;
        }
        case 4: {
            std::uint32_t raw = 0;
            ENGINE_RETURN_IF_FAILED(reader_.u32(raw, "4-byte value"));
            value = fourByteValue(type, raw);
            return Status::ok;
        }
        default: {
            std::uint64_t raw = 0;
            ENGINE_RETURN_IF_FAILED(reader_.u64(raw, "8-byte value"));
            value = eightByteValue(type, raw);
            return Status::ok;
        }
        }
    }

    static Value fourByteValue(VarType type, std::uint32_t raw) {
        switch (type) {
        case vt::i4:
        case vt::int_:
            return Value(type, std::int64_t{static_cast<std::int32_t>(raw)});
        case vt::r4:
            return Value::r4(std::bit_cast<float>(raw));
        default: // VT_UI4, VT_UINT, VT_ERROR
            return Value(type, std::uint64_t{raw});
        }
    }

    static Value eightByteValue(VarType type, std::uint64_t raw) {
        switch (type) {
        case vt::i8:
        case vt::cy:
            return Value(type, static_cast<std::int64_t>(raw));
        case vt::r8:
        case vt::date:
            return Value(type, std::bit_cast<double>(raw));
        default: // VT_UI8, VT_FILETIME
            return Value(type, raw);
        }
    }

    Status readCodePageString(VarType type, Value& value) {
        std::uint32_t size = 0;
        const std::size_t at = reader_.streamPosition();
        ENGINE_RETURN_IF_FAILED(reader_.u32(size, "string size"));
        if (size > reader_.remaining())
            return corrupt(describe("string at offset ", at, " claims ", size, " bytes but only ",
                                    reader_.remaining(), " remain"));
        std::span<const std::uint8_t> characters;
        ENGINE_RETURN_IF_FAILED(reader_.bytes(size, characters, "string characters"));
        std::string text;
        ENGINE_RETURN_IF_FAILED(textBeforeTerminator(characters, codePage_, at, text));
        if (padding_ == StringPadding::aligned)
            ENGINE_RETURN_IF_FAILED(reader_.skipPaddingAfter(size, "string padding"));
        value = Value(type, CodePageText{codePage_, std::move(text)});
        return Status::ok;
    }

    Status readUnicodeString(Value& value) {
        std::uint32_t length = 0;
        const std::size_t at = reader_.streamPosition();
        ENGINE_RETURN_IF_FAILED(reader_.u32(length, "UTF-16 string length"));
        if (length > reader_.remaining() / kUtf16UnitSize)
            return corrupt(describe("UTF-16 string at offset ", at, " claims ", length,
                                    " characters but only ", reader_.remaining(), " bytes remain"));
        std::span<const std::uint8_t> characters;
        ENGINE_RETURN_IF_FAILED(
            reader_.bytes(length * kUtf16UnitSize, characters, "UTF-16 string characters"));
        std::string bytes;
        ENGINE_RETURN_IF_FAILED(textBeforeTerminator(characters, kCodePageUnicode, at, bytes));
        std::u16string text;
        ENGINE_RETURN_IF_FAILED(utf16FromLittleEndianBytes(bytes, text));
        ENGINE_RETURN_IF_FAILED(
            reader_.skipPaddingAfter(characters.size(), "UTF-16 string padding"));
        value = Value::lpwstr(std::move(text));
        return Status::ok;
    }

    Status readSizedBytes(std::span<const std::uint8_t>& bytes, std::string_view what) {
        std::uint32_t size = 0;
        const std::size_t at = reader_.streamPosition();
        ENGINE_RETURN_IF_FAILED(reader_.u32(size, what));
        if (size > reader_.remaining())
            return corrupt(describe(what, " at offset ", at, " claims ", size, " bytes but only ",
                                    reader_.remaining(), " remain"));
        ENGINE_RETURN_IF_FAILED(reader_.bytes(size, bytes, what));
        return reader_.skipPaddingAfter(size, what);
    }

    Status readBlob(Value& value) {
        std::span<const std::uint8_t> bytes;
        ENGINE_RETURN_IF_FAILED(readSizedBytes(bytes, "VT_BLOB"));
        value = Value::blob({bytes.begin(), bytes.end()});
        return Status::ok;
    }

    Status readClipboardData(Value& value) {
        std::span<const std::uint8_t> bytes;
        const std::size_t at = reader_.streamPosition();
        ENGINE_RETURN_IF_FAILED(readSizedBytes(bytes, "VT_CF"));
        if (bytes.size() < kClipboardFormatSize)
            return corrupt(describe("clipboard data at offset ", at, " has size ", bytes.size(),
                                    ", too small for its 4-byte format"));
        const auto format = static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) |
                                                      (static_cast<std::uint32_t>(bytes[1]) << 8) |
                                                      (static_cast<std::uint32_t>(bytes[2]) << 16) |
                                                      (static_cast<std::uint32_t>(bytes[3]) << 24));
        value = Value::clipboard(format, {bytes.begin() + kClipboardFormatSize, bytes.end()});
        return Status::ok;
    }

    Status readDecimal(Value& value) {
        std::uint16_t reserved = 0;
        Decimal decimal;
        ENGINE_RETURN_IF_FAILED(reader_.u16(reserved, "VT_DECIMAL reserved word"));
        ENGINE_RETURN_IF_FAILED(reader_.u8(decimal.scale, "VT_DECIMAL scale"));
        ENGINE_RETURN_IF_FAILED(reader_.u8(decimal.sign, "VT_DECIMAL sign"));
        ENGINE_RETURN_IF_FAILED(reader_.u32(decimal.high, "VT_DECIMAL high part"));
        ENGINE_RETURN_IF_FAILED(reader_.u64(decimal.low, "VT_DECIMAL low part"));
        value = Value::decimal(decimal);
        return Status::ok;
    }

    Status readVector(VarType elementType, Value& value) {
        std::uint32_t count = 0;
        const std::size_t at = reader_.streamPosition();
        ENGINE_RETURN_IF_FAILED(reader_.u32(count, "vector count"));
        const std::size_t smallest = minimumElementSize(elementType);
        if (count > reader_.remaining() / smallest)
            return corrupt(describe("vector of type ", elementType, " at offset ", at, " claims ",
                                    count, " elements but only ", reader_.remaining(),
                                    " bytes remain"));
        ValueVector elements;
        elements.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            Value element;
            ENGINE_RETURN_IF_FAILED(elementType == vt::variant ? readVariantElement(element)
                                                               : readScalar(elementType, element));
            elements.push_back(std::move(element));
        }
        value = Value::vector(elementType, std::move(elements));
        return Status::ok;
    }

    // An element of a VT_VECTOR | VT_VARIANT: a whole TypedPropertyValue, small numbers padded.
    Status readVariantElement(Value& element) {
        const std::size_t start = reader_.position();
        const std::size_t at = reader_.streamPosition();
        VarType type = vt::empty;
        ENGINE_RETURN_IF_FAILED(readHeader(type));
        if (!isInterpretedVariantElement(type)) {
            foundUninterpretedElement_ = true;
            return corrupt(describe("variant element of type ", type, " at offset ", at,
                                    " is not interpreted"));
        }
        ENGINE_RETURN_IF_FAILED(readScalar(type, element));
        const std::size_t fixed = fixedSizeOf(type);
        if (fixed == 1 || fixed == 2)
            return reader_.skipPaddingAfter(reader_.position() - start, "variant element padding");
        return Status::ok;
    }

    ByteReader& reader_;
    CodePage codePage_;
    StringPadding padding_;
    bool foundUninterpretedElement_ = false;
};

class ValueWriter {
public:
    ValueWriter(ByteWriter& writer, CodePage codePage, const CodePageConverter& converter)
        : writer_(writer), codePage_(codePage), converter_(converter) {}

    // Type header, content, padding.
    Status writeTyped(const Value& value) {
        const std::size_t start = writer_.size();
        writer_.u16(value.type());
        writer_.u16(0);
        if (const auto* raw = std::get_if<Uninterpreted>(&value.payload()))
            writer_.bytes(raw->bytes);
        else if (value.isVector())
            ENGINE_RETURN_IF_FAILED(writeVector(value));
        else
            ENGINE_RETURN_IF_FAILED(writeScalar(value));
        writer_.padFrom(start);
        return Status::ok;
    }

private:
    Status writeScalar(const Value& value) {
        switch (value.type()) {
        case vt::empty:
        case vt::null:
            return Status::ok;
        case vt::bstr:
        case vt::lpstr:
            return writeCodePageString(value.asText());
        case vt::lpwstr:
            writeUnicodeString(value.asWideText());
            return Status::ok;
        case vt::blob:
            writer_.u32(static_cast<std::uint32_t>(value.asBlob().bytes.size()));
            writer_.bytes(value.asBlob().bytes);
            return Status::ok;
        case vt::cf:
            writeClipboardData(value.asClipboard());
            return Status::ok;
        case vt::clsid:
            writer_.guid(value.asGuid());
            return Status::ok;
        case vt::decimal:
            writeDecimal(value.asDecimal());
            return Status::ok;
        default:
            writeFixedNumber(value);
            return Status::ok;
        }
    }

    void writeFixedNumber(const Value& value) {
        const VarType type = value.type();
        switch (fixedSizeOf(type)) {
        case 1:
            writer_.u8(static_cast<std::uint8_t>(
                type == vt::i1 ? value.asSigned() : static_cast<std::int64_t>(value.asUnsigned())));
            break;
        case 2:
            writer_.u16(static_cast<std::uint16_t>(
                type == vt::i2 ? value.asSigned() : static_cast<std::int64_t>(value.asUnsigned())));
            break;
        case 4:
            if (type == vt::r4)
                writer_.u32(std::bit_cast<std::uint32_t>(static_cast<float>(value.asReal())));
            else if (type == vt::i4 || type == vt::int_)
                writer_.u32(static_cast<std::uint32_t>(value.asSigned()));
            else
                writer_.u32(static_cast<std::uint32_t>(value.asUnsigned()));
            break;
        default:
            if (type == vt::r8 || type == vt::date)
                writer_.u64(std::bit_cast<std::uint64_t>(value.asReal()));
            else if (type == vt::i8 || type == vt::cy)
                writer_.u64(static_cast<std::uint64_t>(value.asSigned()));
            else
                writer_.u64(value.asUnsigned());
            break;
        }
    }

    Status writeCodePageString(const CodePageText& text) {
        CodePageText converted;
        ENGINE_RETURN_IF_FAILED(text.convertTo(codePage_, converted, converter_));
        const std::size_t start = writer_.size();
        const std::size_t terminator = characterSize(codePage_);
        writer_.u32(static_cast<std::uint32_t>(converted.bytes.size() + terminator));
        writer_.bytes(converted.bytes);
        for (std::size_t i = 0; i < terminator; ++i)
            writer_.u8(0);
        writer_.padFrom(start);
        return Status::ok;
    }

    void writeUnicodeString(std::u16string_view text) {
        const std::size_t start = writer_.size();
        writer_.u32(static_cast<std::uint32_t>(text.size() + 1));
        writer_.bytes(littleEndianBytesFromUtf16(text));
        writer_.u16(0);
        writer_.padFrom(start);
    }

    void writeClipboardData(const ClipboardData& data) {
        const std::size_t start = writer_.size();
        writer_.u32(static_cast<std::uint32_t>(kClipboardFormatSize + data.data.size()));
        writer_.u32(static_cast<std::uint32_t>(data.format));
        writer_.bytes(data.data);
        writer_.padFrom(start);
    }

    void writeDecimal(const Decimal& decimal) {
        writer_.u16(0);
        writer_.u8(decimal.scale);
        writer_.u8(decimal.sign);
        writer_.u32(decimal.high);
        writer_.u64(decimal.low);
    }

    Status writeVector(const Value& value) {
        const ValueVector& elements = value.asVector();
        writer_.u32(static_cast<std::uint32_t>(elements.size()));
        for (const Value& element : elements) {
            if (value.elementType() == vt::variant)
                ENGINE_RETURN_IF_FAILED(writeTyped(element));
            else
                ENGINE_RETURN_IF_FAILED(writeScalar(element));
        }
        return Status::ok;
    }

    ByteWriter& writer_;
    CodePage codePage_;
    const CodePageConverter& converter_;
};

} // namespace

Status textBeforeTerminator(std::span<const std::uint8_t> characters, CodePage codePage,
                            std::size_t streamOffset, std::string& text) {
    const std::size_t unit = characterSize(codePage);
    if (characters.size() % unit != 0)
        return corrupt(describe("UTF-16 string at offset ", streamOffset, " has an odd size of ",
                                characters.size(), " bytes"));
    if (characters.empty()) {
        text.clear();
        return Status::ok;
    }
    for (std::size_t i = 0; i < characters.size(); i += unit) {
        const bool terminator = characters[i] == 0 && (unit == 1 || characters[i + 1] == 0);
        if (terminator) {
            text.assign(reinterpret_cast<const char*>(characters.data()), i);
            return Status::ok;
        }
    }
    return corrupt(describe("string of ", characters.size(), " bytes at offset ", streamOffset,
                            " has no terminating null character"));
}

Status readTypedValue(ByteReader& reader, CodePage codePage, StringPadding padding, Value& value) {
    ValueReader valueReader(reader, codePage, padding);
    return valueReader.readProperty(value);
}

Status writeTypedValue(ByteWriter& writer, const Value& value, CodePage codePage,
                       const CodePageConverter& converter) {
    if (!value.isWellFormed())
        return fail(Status::invalidParameter, describe("a value of type ", value.type(),
                                                       " does not hold what its type needs"));
    ValueWriter valueWriter(writer, codePage, converter);
    return valueWriter.writeTyped(value);
}

} // namespace engine::propset
