#include "propset/section_codec.h"

#include "propset/value_codec.h"

#include <algorithm>
#include <set>

namespace engine::propset {
namespace {

constexpr std::size_t kDictionaryEntryHeaderSize = 8; // identifier, length
constexpr std::size_t kSmallestDictionaryEntry = kDictionaryEntryHeaderSize + 1;

Status corrupt(std::string message) {
    return fail(Status::docfileCorrupt, std::move(message));
}
Status invalid(std::string message) {
    return fail(Status::invalidParameter, std::move(message));
}

std::size_t characterSize(CodePage codePage) {
    return codePage == kCodePageUnicode ? 2 : 1;
}

struct PropertyLocator {
    PropertyId id = 0;
    std::uint32_t offset = 0; // from the start of the section
    std::uint32_t limit = 0;  // where the next property, or the section, begins
    std::size_t end = 0;      // where the value's content ended
};

// Parses one section whose bytes are `bytes` at `streamOffset` of the stream. The section's
// size field says `declaredSize`; the bytes fall short of it only when the stream ends before
// the padding of the section's last value.
class SectionParser {
public:
    SectionParser(std::span<const std::uint8_t> bytes, std::size_t streamOffset,
                  std::size_t declaredSize, const CodePageConverter& converter, Section& section)
        : bytes_(bytes), streamOffset_(streamOffset), declaredSize_(declaredSize),
          converter_(converter), section_(section) {}

    Status parse() {
        ENGINE_RETURN_IF_FAILED(readLocators());
        ENGINE_RETURN_IF_FAILED(checkLocators());
        ENGINE_RETURN_IF_FAILED(readCodePage());
        ENGINE_RETURN_IF_FAILED(readLocale());
        ENGINE_RETURN_IF_FAILED(readBehavior());
        ENGINE_RETURN_IF_FAILED(readDictionaryProperty());
        ENGINE_RETURN_IF_FAILED(readOrdinaryProperties());
        ENGINE_RETURN_IF_FAILED(checkAlignment());
        return checkMissingBytes();
    }

private:
    Status readLocators() {
        ByteReader reader(bytes_, streamOffset_, Status::docfileCorrupt);
        std::uint32_t size = 0;
        std::uint32_t count = 0;
        ENGINE_RETURN_IF_FAILED(reader.u32(size, "section size"));
        ENGINE_RETURN_IF_FAILED(reader.u32(count, "property count"));
        if (count > reader.remaining() / kPropertyLocatorSize)
            return corrupt(describe("section at offset ", streamOffset_, " of ", bytes_.size(),
                                    " bytes claims ", count, " properties"));
        locators_.resize(count);
        for (PropertyLocator& locator : locators_) {
            ENGINE_RETURN_IF_FAILED(reader.u32(locator.id, "property identifier"));
            ENGINE_RETURN_IF_FAILED(reader.u32(locator.offset, "property offset"));
        }
        tableEnd_ = reader.position();
        return Status::ok;
    }

    // Offsets inside the section after the table, one property per identifier and per offset;
    // each property's window ends where the next one begins.
    Status checkLocators() {
        std::set<PropertyId> seen;
        for (const PropertyLocator& locator : locators_) {
            if (!seen.insert(locator.id).second)
                return corrupt(describe("section at offset ", streamOffset_, " lists property ",
                                        locator.id, " twice"));
            if (locator.offset < tableEnd_ ||
                locator.offset > bytes_.size() - kTypedValueHeaderSize)
                return corrupt(describe("property ", locator.id, " at offset ", locator.offset,
                                        " lies outside bytes ", tableEnd_, " to ", bytes_.size(),
                                        " of the section at offset ", streamOffset_));
        }
        std::sort(locators_.begin(), locators_.end(),
                  [](const auto& a, const auto& b) { return a.offset < b.offset; });
        for (std::size_t i = 0; i < locators_.size(); ++i) {
            const bool last = i + 1 == locators_.size();
            locators_[i].limit =
                last ? static_cast<std::uint32_t>(bytes_.size()) : locators_[i + 1].offset;
            if (locators_[i].limit == locators_[i].offset)
                return corrupt(describe("properties ", locators_[i].id, " and ",
                                        locators_[i + 1].id, " share offset ",
                                        locators_[i].offset));
        }
        return Status::ok;
    }

    PropertyLocator* locatorFor(PropertyId id) {
        for (PropertyLocator& locator : locators_)
            if (locator.id == id)
                return &locator;
        return nullptr;
    }

    ByteReader readerFor(const PropertyLocator& locator) const {
        ByteReader reader(bytes_.subspan(locator.offset, locator.limit - locator.offset),
                          streamOffset_ + locator.offset, Status::docfileCorrupt);
        if (bytes_.size() < declaredSize_ && &locator == &locators_.back())
            reader.allowMissingFinalPadding();
        return reader;
    }

    // Reads a value with padded strings, or failing that with the unpadded strings Office
    // writes; reports the first failure when neither fits the property's window.
    Status readValue(PropertyLocator& locator, CodePage codePage, Value& value) {
        ByteReader aligned = readerFor(locator);
        const Status alignedStatus =
            readTypedValue(aligned, codePage, StringPadding::aligned, value);
        if (succeeded(alignedStatus)) {
            locator.end = locator.offset + aligned.position();
            return Status::ok;
        }
        const std::string alignedMessage = lastFailureMessage();
        ByteReader unaligned = readerFor(locator);
        if (succeeded(readTypedValue(unaligned, codePage, StringPadding::unaligned, value))) {
            locator.end = locator.offset + unaligned.position();
            return Status::ok;
        }
        return fail(alignedStatus, alignedMessage);
    }

    Status readSpecial(PropertyId id, VarType expected, std::string_view name, Value& value,
                       bool& present) {
        PropertyLocator* locator = locatorFor(id);
        present = locator != nullptr;
        if (!present)
            return Status::ok;
        ENGINE_RETURN_IF_FAILED(readValue(*locator, kCodePageWhenAbsent, value));
        if (value.type() != expected)
            return corrupt(describe(name, " property at offset ", streamOffset_ + locator->offset,
                                    " has type ", value.type(), " instead of ", expected));
        return Status::ok;
    }

    Status readCodePage() {
        Value value;
        bool present = false;
        ENGINE_RETURN_IF_FAILED(
            readSpecial(kCodePagePropertyId, vt::i2, "code page", value, present));
        section_.codePage = present ? static_cast<CodePage>(value.asSigned()) : kCodePageWhenAbsent;
        return Status::ok;
    }

    Status readLocale() {
        Value value;
        bool present = false;
        ENGINE_RETURN_IF_FAILED(readSpecial(kLocalePropertyId, vt::ui4, "locale", value, present));
        if (present)
            section_.locale = static_cast<std::uint32_t>(value.asUnsigned());
        return Status::ok;
    }

    Status readBehavior() {
        Value value;
        bool present = false;
        ENGINE_RETURN_IF_FAILED(
            readSpecial(kBehaviorPropertyId, vt::ui4, "behavior", value, present));
        if (!present)
            return Status::ok;
        const std::uint64_t behavior = value.asUnsigned();
        if (behavior != kBehaviorCaseInsensitive && behavior != kBehaviorCaseSensitive)
            return corrupt(describe("behavior property of the section at offset ", streamOffset_,
                                    " has value ", behavior, " instead of 0 or 1"));
        section_.caseSensitive = behavior == kBehaviorCaseSensitive;
        return Status::ok;
    }

    Status readDictionaryProperty() {
        PropertyLocator* locator = locatorFor(kDictionaryPropertyId);
        if (locator == nullptr)
            return Status::ok;
        ByteReader reader = readerFor(*locator);
        ENGINE_RETURN_IF_FAILED(readDictionary(reader, section_, converter_, section_.names));
        locator->end = locator->offset + reader.position();
        return Status::ok;
    }

    Status readOrdinaryProperties() {
        for (PropertyLocator& locator : locators_) {
            if (isSpecialPropertyId(locator.id))
                continue;
            Value value;
            ENGINE_RETURN_IF_FAILED(readValue(locator, section_.codePage, value));
            section_.properties.emplace(locator.id, std::move(value));
        }
        return Status::ok;
    }

    // A property starts on a four-byte boundary, unless it directly follows a value that was
    // stored without its final padding (as Office does after unpadded strings).
    Status checkAlignment() const {
        for (std::size_t i = 0; i < locators_.size(); ++i) {
            const PropertyLocator& locator = locators_[i];
            if (locator.offset % kAlignment == 0)
                continue;
            if (i > 0 && locators_[i - 1].end == locator.offset)
                continue;
            return corrupt(describe("property ", locator.id, " at offset ", locator.offset,
                                    " of the section at offset ", streamOffset_,
                                    " is not on a four-byte boundary"));
        }
        return Status::ok;
    }

    // The bytes the stream lacks may only be the padding of the last value: the value, padded
    // to four bytes from its start, must reach the end the size field gives.
    Status checkMissingBytes() const {
        if (bytes_.size() == declaredSize_)
            return Status::ok;
        if (!locators_.empty()) {
            const PropertyLocator& last = locators_.back();
            const std::size_t length = last.end - last.offset;
            const std::size_t paddedEnd =
                last.offset + (length + kAlignment - 1) / kAlignment * kAlignment;
            if (paddedEnd >= declaredSize_)
                return Status::ok;
        }
        return corrupt(describe("section at offset ", streamOffset_, " claims ", declaredSize_,
                                " bytes but the stream holds only ", bytes_.size(),
                                " from there, more than its last value's padding lacks"));
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t streamOffset_;
    std::size_t declaredSize_;
    const CodePageConverter& converter_;
    Section& section_;
    std::vector<PropertyLocator> locators_;
    std::size_t tableEnd_ = 0;
};

Status checkNamesForWriting(const Section& section) {
    std::set<std::u16string> keys;
    for (const auto& [id, name] : section.names) {
        if (id == kDictionaryPropertyId || id == kCodePagePropertyId)
            return invalid(describe("property ", id, " cannot have a name"));
        if (name.empty())
            return invalid(describe("the name of property ", id, " is empty"));
        if (name.find(u'\0') != std::u16string::npos)
            return invalid(describe("the name of property ", id, " contains a null character"));
        if (!keys.insert(section.nameKey(name)).second)
            return invalid(describe("the name of property ", id, " is also another's name"));
    }
    return Status::ok;
}

Status checkPropertiesForWriting(const Section& section) {
    for (const auto& [id, value] : section.properties)
        if (isSpecialPropertyId(id))
            return invalid(describe("property ", id,
                                    " is a special property and cannot hold an ordinary value"));
    return Status::ok;
}

std::vector<PropertyId> identifiersToWrite(const Section& section) {
    std::vector<PropertyId> ids;
    if (!section.names.empty())
        ids.push_back(kDictionaryPropertyId);
    ids.push_back(kCodePagePropertyId);
    if (section.locale)
        ids.push_back(kLocalePropertyId);
    if (section.caseSensitive)
        ids.push_back(kBehaviorPropertyId);
    for (const auto& entry : section.properties)
        ids.push_back(entry.first);
    std::sort(ids.begin(), ids.end());
    return ids;
}

Status writeProperty(ByteWriter& writer, const Section& section, PropertyId id,
                     const CodePageConverter& converter) {
    switch (id) {
    case kDictionaryPropertyId:
        return writeDictionary(writer, section, converter);
    case kCodePagePropertyId:
        return writeTypedValue(writer, Value::i2(static_cast<std::int16_t>(section.codePage)),
                               section.codePage, converter);
    case kLocalePropertyId:
        return writeTypedValue(writer, Value::ui4(*section.locale), section.codePage, converter);
    case kBehaviorPropertyId:
        return writeTypedValue(writer, Value::ui4(kBehaviorCaseSensitive), section.codePage,
                               converter);
    default: {
        const Status status =
            writeTypedValue(writer, section.properties.at(id), section.codePage, converter);
        if (status == Status::invalidParameter)
            return invalid(describe("property ", id, ": ", lastFailureMessage()));
        return status;
    }
    }
}

} // namespace

Status parseSection(std::span<const std::uint8_t> stream, std::size_t offset,
                    const CodePageConverter& converter, Section& section, std::size_t& size) {
    ByteReader header(stream.subspan(offset), offset, Status::docfileCorrupt);
    std::uint32_t sizeField = 0;
    ENGINE_RETURN_IF_FAILED(header.u32(sizeField, "section size"));
    // A section that ends the stream may lack the padding of its last value (Wine's ole32
    // writes sets so); fewer than four bytes can be padding.
    const std::size_t available = stream.size() - offset;
    if (sizeField < kSectionHeaderSize || sizeField >= available + kAlignment)
        return corrupt(describe("section at offset ", offset, " claims ", sizeField,
                                " bytes but the stream holds ", available, " from there"));
    size = sizeField;
    SectionParser parser(stream.subspan(offset, std::min<std::size_t>(sizeField, available)),
                         offset, sizeField, converter, section);
    return parser.parse();
}

Status readDictionary(ByteReader& reader, const Section& section,
                      const CodePageConverter& converter,
                      std::map<PropertyId, std::u16string>& names) {
    std::uint32_t count = 0;
    const std::size_t at = reader.streamPosition();
    ENGINE_RETURN_IF_FAILED(reader.u32(count, "dictionary entry count"));
    if (count > reader.remaining() / kSmallestDictionaryEntry)
        return corrupt(describe("dictionary at offset ", at, " claims ", count,
                                " entries but only ", reader.remaining(), " bytes remain"));
    const std::size_t unit = characterSize(section.codePage);
    std::set<std::u16string> keys;
    for (std::uint32_t i = 0; i < count; ++i) {
        PropertyId id = 0;
        std::uint32_t length = 0;
        const std::size_t entryAt = reader.streamPosition();
        ENGINE_RETURN_IF_FAILED(reader.u32(id, "dictionary entry identifier"));
        ENGINE_RETURN_IF_FAILED(reader.u32(length, "dictionary entry length"));
        if (length == 0 || length > reader.remaining() / unit)
            return corrupt(describe("dictionary entry at offset ", entryAt, " claims a name of ",
                                    length, " characters with ", reader.remaining(),
                                    " bytes remaining"));
        std::span<const std::uint8_t> characters;
        ENGINE_RETURN_IF_FAILED(reader.bytes(length * unit, characters, "dictionary name"));
        std::string bytes;
        ENGINE_RETURN_IF_FAILED(textBeforeTerminator(characters, section.codePage, entryAt, bytes));
        if (section.codePage == kCodePageUnicode)
            ENGINE_RETURN_IF_FAILED(
                reader.skipPaddingAfter(characters.size(), "dictionary name padding"));
        std::u16string name;
        ENGINE_RETURN_IF_FAILED(convertToUtf16(section.codePage, bytes, name, converter));
        if (id == kDictionaryPropertyId || id == kCodePagePropertyId)
            return corrupt(describe("dictionary entry at offset ", entryAt, " names property ", id,
                                    ", which cannot have a name"));
        if (names.count(id) != 0)
            return corrupt(describe("dictionary entry at offset ", entryAt, " names property ", id,
                                    " a second time"));
        if (!keys.insert(section.nameKey(name)).second)
            return corrupt(describe("dictionary entry at offset ", entryAt, " gives property ", id,
                                    " a name another property has"));
        names.emplace(id, std::move(name));
    }
    return Status::ok;
}

Status writeDictionary(ByteWriter& writer, const Section& section,
                       const CodePageConverter& converter) {
    const std::size_t start = writer.size();
    writer.u32(static_cast<std::uint32_t>(section.names.size()));
    for (const auto& [id, name] : section.names) {
        writer.u32(id);
        if (section.codePage == kCodePageUnicode) {
            const std::size_t nameStart = writer.size();
            writer.u32(static_cast<std::uint32_t>(name.size() + 1));
            writer.bytes(littleEndianBytesFromUtf16(name));
            writer.u16(0);
            writer.padFrom(nameStart);
            continue;
        }
        std::string bytes;
        ENGINE_RETURN_IF_FAILED(convertFromUtf16(section.codePage, name, bytes, converter));
        writer.u32(static_cast<std::uint32_t>(bytes.size() + 1));
        writer.bytes(bytes);
        writer.u8(0);
    }
    writer.padFrom(start);
    return Status::ok;
}

Status writeSection(ByteWriter& writer, const Section& section,
                    const CodePageConverter& converter) {
    ENGINE_RETURN_IF_FAILED(checkNamesForWriting(section));
    ENGINE_RETURN_IF_FAILED(checkPropertiesForWriting(section));
    const std::vector<PropertyId> ids = identifiersToWrite(section);
    const std::size_t start = writer.size();
    writer.u32(0); // size, patched below
    writer.u32(static_cast<std::uint32_t>(ids.size()));
    const std::size_t tableStart = writer.size();
    for (PropertyId id : ids) {
        writer.u32(id);
        writer.u32(0); // offset, patched below
    }
    for (std::size_t i = 0; i < ids.size(); ++i) {
        writer.patchU32(tableStart + i * kPropertyLocatorSize + 4,
                        static_cast<std::uint32_t>(writer.size() - start));
        ENGINE_RETURN_IF_FAILED(writeProperty(writer, section, ids[i], converter));
    }
    writer.patchU32(start, static_cast<std::uint32_t>(writer.size() - start));
    return Status::ok;
}

std::uint16_t minimumFormatVersion(const Section& section) {
    if (section.caseSensitive)
        return kFormatVersion1;
    for (const auto& entry : section.names)
        if (entry.second.size() > kMaxVersion0NameLength)
            return kFormatVersion1;
    for (const auto& entry : section.properties)
        if (entry.second.minimumFormatVersion() == kFormatVersion1)
            return kFormatVersion1;
    return kFormatVersion0;
}

} // namespace engine::propset
