#include "document_reading.h"

#include <cfb/compound_file.h>
#include <cfb/constants.h>
#include <cfb/names.h>
#include <common/error.h>
#include <propset/propset.h>
#include <validator/validator.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace qvdoc {
namespace {

namespace cfb = engine::cfb;
namespace ps = engine::propset;

constexpr std::size_t kCopyBlock = 64 * 1024;
constexpr char kFileTimeZeroText[] = "1601-01-01 00:00:00";
constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kDaysFrom1601To1970 = 134774;

// The summary-information identifiers (PIDSI_*) and the names people use for them.
struct SummaryName {
    const char* name;
    std::uint32_t id;
};
constexpr std::array kSummaryNames = {
    SummaryName{"Title", 2},        SummaryName{"Subject", 3},    SummaryName{"Author", 4},
    SummaryName{"Keywords", 5},     SummaryName{"Comments", 6},   SummaryName{"Template", 7},
    SummaryName{"LastAuthor", 8},   SummaryName{"RevNumber", 9},  SummaryName{"EditTime", 10},
    SummaryName{"LastPrinted", 11}, SummaryName{"Created", 12},   SummaryName{"LastSaved", 13},
    SummaryName{"PageCount", 14},   SummaryName{"WordCount", 15}, SummaryName{"CharCount", 16},
    SummaryName{"Thumbnail", 17},   SummaryName{"AppName", 18},   SummaryName{"Security", 19},
};

std::string summaryName(std::uint32_t id) {
    for (const auto& entry : kSummaryNames)
        if (entry.id == id)
            return entry.name;
    return "Property" + std::to_string(id);
}

Failure engineFailure(int exitCode, const std::string& path, engine::Status status) {
    std::string detail = engine::lastFailureMessage();
    if (detail.empty()) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(status));
        detail = std::string("error ") + code;
    }
    return {exitCode, path + ": " + detail};
}

std::string typeName(ps::VarType type) {
    switch (type) {
    case ps::vt::empty:
        return "empty";
    case ps::vt::i2:
        return "i2";
    case ps::vt::i4:
        return "i4";
    case ps::vt::r4:
        return "r4";
    case ps::vt::r8:
        return "r8";
    case ps::vt::date:
        return "date";
    case ps::vt::bstr:
        return "bstr";
    case ps::vt::boolean:
        return "bool";
    case ps::vt::i1:
        return "i1";
    case ps::vt::ui1:
        return "ui1";
    case ps::vt::ui2:
        return "ui2";
    case ps::vt::ui4:
        return "ui4";
    case ps::vt::i8:
        return "i8";
    case ps::vt::ui8:
        return "ui8";
    case ps::vt::int_:
        return "int";
    case ps::vt::uint_:
        return "uint";
    case ps::vt::lpstr:
        return "lpstr";
    case ps::vt::lpwstr:
        return "lpwstr";
    case ps::vt::filetime:
        return "filetime";
    case ps::vt::clsid:
        return "clsid";
    case ps::vt::blob:
        return "blob";
    default: {
        char text[16];
        std::snprintf(text, sizeof text, "vt 0x%04X", type);
        return text;
    }
    }
}

void describeValue(const ps::Value& value, PropertyValue& property) {
    property.type = value.type();
    property.typeName = typeName(value.type());
    const auto& payload = value.payload();
    if (value.type() == ps::vt::boolean) {
        property.flag = value.asBooleanBits() == ps::kVariantTrue;
        property.text = *property.flag ? "true" : "false";
    } else if (value.type() == ps::vt::filetime) {
        // A stored zero is a value (durations such as the editing time are kept this way).
        property.text =
            value.asUnsigned() == 0 ? kFileTimeZeroText : fileTimeText(value.asUnsigned());
    } else if (const auto* signedValue = std::get_if<std::int64_t>(&payload)) {
        property.number = static_cast<double>(*signedValue);
        property.text = std::to_string(*signedValue);
    } else if (const auto* unsignedValue = std::get_if<std::uint64_t>(&payload)) {
        property.number = static_cast<double>(*unsignedValue);
        property.text = std::to_string(*unsignedValue);
    } else if (const auto* real = std::get_if<double>(&payload)) {
        property.number = *real;
        char text[32];
        std::snprintf(text, sizeof text, "%.15g", *real);
        property.text = text;
    } else if (const auto* wide = std::get_if<std::u16string>(&payload)) {
        property.text = cfb::toUtf8(*wide);
    } else if (const auto* coded = std::get_if<ps::CodePageText>(&payload)) {
        std::u16string wideText;
        property.text = engine::succeeded(coded->toUtf16(wideText))
                            ? cfb::toUtf8(wideText)
                            : "(text in code page " + std::to_string(coded->codePage) + ")";
    } else if (const auto* guid = std::get_if<ps::Guid>(&payload)) {
        property.text = guid->toString();
    } else if (const auto* blob = std::get_if<ps::Blob>(&payload)) {
        property.text = "(" + std::to_string(blob->bytes.size()) + " bytes)";
    } else if (const auto* vector = std::get_if<ps::ValueVector>(&payload)) {
        property.text = "(" + std::to_string(vector->size()) + " values)";
    }
}

std::string clsidText(const cfb::Clsid& clsid) {
    if (std::all_of(clsid.begin(), clsid.end(), [](std::uint8_t b) { return b == 0; }))
        return {};
    ps::Guid guid;
    std::copy(clsid.begin(), clsid.end(), guid.bytes.begin());
    return guid.toString();
}

bool isOctal(char c) {
    return c >= '0' && c <= '7';
}

// Element names as people type and read them: a control unit such as the 5 that starts the
// property-set streams' names is written "\005".
std::u16string nameFromText(const std::string& text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && isOctal(text[i + 1]) &&
            isOctal(text[i + 2]) && isOctal(text[i + 3])) {
            plain += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                       (text[i + 3] - '0'));
            i += 3;
        } else {
            plain += text[i];
        }
    }
    return cfb::fromUtf8(plain);
}

std::vector<std::u16string> splitPath(const std::string& path) {
    std::vector<std::u16string> parts;
    std::string part;
    for (char c : path + "/") {
        if (c != '/') {
            part += c;
        } else if (!part.empty()) {
            parts.push_back(nameFromText(part));
            part.clear();
        }
    }
    return parts;
}

Shape shapeOf(cfb::ByteArray& bytes, const std::string& path) {
    std::array<std::uint8_t, cfb::headerSignature.size()> signature{};
    std::size_t read = 0;
    const bool compound =
        engine::succeeded(bytes.readAt(0, signature.data(), signature.size(), &read)) &&
        read == signature.size() && signature == cfb::headerSignature;
    if (!compound)
        return Shape::flat;
    return hasCompressedExtension(path) ? Shape::compressed : Shape::compound;
}

std::optional<Failure> openBytes(const std::string& path,
                                 std::shared_ptr<cfb::FileByteArray>* bytes) {
    std::error_code error;
    const auto status = std::filesystem::status(fileSystemPath(path), error);
    if (!std::filesystem::exists(status))
        return Failure{exit_code::cannotOpen, path + ": no such file"};
    if (std::filesystem::is_directory(status))
        return Failure{exit_code::cannotOpen, path + ": is a folder, not a document"};
    if (engine::failed(cfb::FileByteArray::open(path, cfb::FileMode::openReadOnly, bytes)))
        return Failure{exit_code::cannotOpen, path + ": cannot be opened for reading"};
    return std::nullopt;
}

class EngineDocument final : public Document {
public:
    EngineDocument(std::string path, std::shared_ptr<cfb::FileByteArray> bytes)
        : path_(std::move(path)), bytes_(std::move(bytes)) {
        shape_ = shapeOf(*bytes_, path_);
        if (engine::failed(bytes_->size(&size_)))
            size_ = 0;
    }

    Shape shape() const override { return shape_; }
    std::uint64_t fileSize() const override { return size_; }
    FormatInfo format() const override {
        if (!file_)
            return {};
        const cfb::Version version = file_->version();
        return {static_cast<int>(version), cfb::sectorSizeOf(version)};
    }

    std::optional<Failure> open() {
        if (shape_ == Shape::flat)
            return std::nullopt;
        const engine::Status status =
            cfb::CompoundFile::open(bytes_, cfb::OpenMode::readOnly, &file_);
        if (engine::failed(status))
            return engineFailure(exit_code::damaged, path_, status);
        return std::nullopt;
    }

    std::optional<Failure> elements(const std::string& under, std::vector<Element>* out) override {
        if (auto failure = requireCompound())
            return failure;
        cfb::Storage storage = file_->root();
        std::string prefix;
        for (const auto& part : splitPath(under)) {
            cfb::Storage child;
            if (engine::failed(storage.openStorage(part, &child)))
                return Failure{exit_code::notFound, path_ + ": no storage " + under};
            storage = child;
            prefix += "/" + cfb::toUtf8(part);
        }
        cfb::ElementStat stat;
        if (const engine::Status status = storage.stat(&stat); engine::failed(status))
            return engineFailure(exit_code::damaged, path_, status);
        out->push_back(elementOf(prefix.empty() ? "/" : prefix, stat));
        return walk(storage, prefix, out);
    }

    std::optional<Failure> properties(std::vector<PropertyValue>* out) override {
        if (auto failure = requireCompound())
            return failure;
        if (auto failure =
                readSet(u"\005SummaryInformation", ps::kFormatIdSummaryInformation, "summary", out))
            return failure;
        return readSet(u"\005DocumentSummaryInformation", ps::kFormatIdUserDefinedProperties,
                       "user", out);
    }

    std::optional<Failure> readStream(
        const std::string& streamPath,
        const std::function<bool(const std::uint8_t*, std::size_t, std::uint64_t, std::uint64_t)>&
            sink) override {
        if (auto failure = requireCompound())
            return failure;
        cfb::Stream stream;
        if (auto failure = findStream(streamPath, &stream))
            return failure;
        std::uint64_t total = 0;
        if (const engine::Status status = stream.size(&total); engine::failed(status))
            return engineFailure(exit_code::damaged, path_, status);
        std::vector<std::uint8_t> block(kCopyBlock);
        for (std::uint64_t done = 0; done < total;) {
            std::size_t read = 0;
            if (const engine::Status status = stream.read(block.data(), block.size(), &read);
                engine::failed(status))
                return engineFailure(exit_code::damaged, path_, status);
            if (read == 0)
                return Failure{exit_code::damaged, path_ + ": stream " + streamPath +
                                                       " ends at byte " + std::to_string(done) +
                                                       " of " + std::to_string(total)};
            done += read;
            if (!sink(block.data(), read, done, total))
                return Failure{exit_code::writeFailed, "cannot write the stream's bytes"};
        }
        return std::nullopt;
    }

private:
    std::optional<Failure> requireCompound() const {
        if (shape_ == Shape::flat)
            return Failure{exit_code::notCompound,
                           path_ + ": a flat document, not a compound file (qvdoc convert makes "
                                   "it one)"};
        return std::nullopt;
    }

    static Element elementOf(const std::string& path, const cfb::ElementStat& stat) {
        Element element;
        element.path = path;
        element.isStorage = stat.type != cfb::ElementType::stream;
        element.size = element.isStorage ? 0 : stat.size;
        element.clsid = clsidText(stat.clsid);
        element.stateBits = stat.stateBits;
        element.creationTime = stat.creationTime;
        element.modifiedTime = stat.modifiedTime;
        return element;
    }

    std::optional<Failure> walk(cfb::Storage& storage, const std::string& prefix,
                                std::vector<Element>* out) {
        std::vector<cfb::ElementStat> children;
        if (const engine::Status status = storage.list(&children); engine::failed(status))
            return engineFailure(exit_code::damaged, path_, status);
        for (const auto& child : children) {
            const std::string childPath = prefix + "/" + cfb::toUtf8(child.name);
            out->push_back(elementOf(childPath, child));
            if (child.type == cfb::ElementType::stream)
                continue;
            cfb::Storage inner;
            if (const engine::Status status = storage.openStorage(child.name, &inner);
                engine::failed(status))
                return engineFailure(exit_code::damaged, path_, status);
            if (auto failure = walk(inner, childPath, out))
                return failure;
        }
        return std::nullopt;
    }

    std::optional<Failure> findStream(const std::string& streamPath, cfb::Stream* stream) {
        const auto parts = splitPath(streamPath);
        if (parts.empty())
            return Failure{exit_code::notFound, path_ + ": no stream named '" + streamPath + "'"};
        cfb::Storage storage = file_->root();
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
            cfb::Storage child;
            if (engine::failed(storage.openStorage(parts[i], &child)))
                return Failure{exit_code::notFound,
                               path_ + ": no storage '" + cfb::toUtf8(parts[i]) + "'"};
            storage = child;
        }
        const engine::Status status = storage.openStream(parts.back(), stream);
        if (status == engine::Status::fileNotFound || status == engine::Status::invalidName)
            return Failure{exit_code::notFound, path_ + ": no stream named '" + streamPath + "'"};
        if (engine::failed(status))
            return engineFailure(exit_code::damaged, path_, status);
        return std::nullopt;
    }

    std::optional<Failure> readSet(std::u16string_view streamName, const ps::Guid& formatId,
                                   const char* setName, std::vector<PropertyValue>* out) {
        cfb::Stream stream;
        const engine::Status opened = file_->root().openStream(streamName, &stream);
        if (opened == engine::Status::fileNotFound)
            return std::nullopt;
        if (engine::failed(opened))
            return engineFailure(exit_code::damaged, path_, opened);
        std::uint64_t size = 0;
        if (const engine::Status status = stream.size(&size); engine::failed(status))
            return engineFailure(exit_code::damaged, path_, status);
        std::vector<std::uint8_t> bytes(
            std::min<std::uint64_t>(size, ps::kMaxPropertySetStreamSize));
        std::size_t read = 0;
        if (const engine::Status status = stream.read(bytes.data(), bytes.size(), &read);
            engine::failed(status))
            return engineFailure(exit_code::damaged, path_, status);
        bytes.resize(read);
        ps::PropertySet set;
        if (const engine::Status status = ps::parsePropertySet(bytes, set); engine::failed(status))
            return engineFailure(exit_code::damaged, path_ + " (" + setName + " properties)",
                                 status);
        const ps::Section* section = set.findSection(formatId);
        if (!section)
            return std::nullopt;
        const bool named = formatId == ps::kFormatIdUserDefinedProperties;
        for (const auto& [id, value] : section->properties) {
            PropertyValue property;
            property.set = setName;
            property.id = id;
            if (named) {
                const auto name = section->names.find(id);
                property.name = name != section->names.end() ? cfb::toUtf8(name->second)
                                                             : "Property" + std::to_string(id);
            } else {
                property.name = summaryName(id);
            }
            describeValue(value, property);
            out->push_back(std::move(property));
        }
        return std::nullopt;
    }

    std::string path_;
    std::shared_ptr<cfb::FileByteArray> bytes_;
    std::unique_ptr<cfb::CompoundFile> file_;
    Shape shape_ = Shape::flat;
    std::uint64_t size_ = 0;
};

// Days since 1 January 1970 of a civil date, and back (proleptic Gregorian calendar).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

void civilFromDays(std::int64_t days, std::int64_t* year, unsigned* month, unsigned* day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    *day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    *month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    *year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (*month <= 2);
}

} // namespace

const char* shapeName(Shape shape) {
    switch (shape) {
    case Shape::flat:
        return "flat";
    case Shape::compound:
        return "compound";
    case Shape::compressed:
        return "compressed";
    }
    return "flat";
}

std::optional<Failure> openDocument(const std::string& path, std::unique_ptr<Document>* document) {
    std::shared_ptr<cfb::FileByteArray> bytes;
    if (auto failure = openBytes(path, &bytes))
        return failure;
    auto opened = std::make_unique<EngineDocument>(path, std::move(bytes));
    if (auto failure = opened->open())
        return failure;
    *document = std::move(opened);
    return std::nullopt;
}

CheckResult checkFile(const std::string& path) {
    CheckResult result;
    std::shared_ptr<cfb::FileByteArray> bytes;
    if (auto failure = openBytes(path, &bytes)) {
        result.shape = "unreadable";
        result.problems.push_back(failure->message);
        return result;
    }
    const Shape shape = shapeOf(*bytes, path);
    result.shape = shapeName(shape);
    if (shape == Shape::flat) {
        result.sound = true;
        return result;
    }
    engine::clearLastFailure();
    // Unbalanced sibling trees are no damage to a reader: remarks, as header fields are.
    std::vector<std::string> balance;
    result.sound =
        engine::succeeded(cfb::validateFile(*bytes, &result.problems, &result.remarks, &balance));
    result.remarks.insert(result.remarks.end(), balance.begin(), balance.end());
    if (!result.sound && result.problems.empty())
        result.problems.push_back(engine::lastFailureMessage());
    return result;
}

std::string printableName(const std::string& name) {
    std::string text;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%03o", static_cast<unsigned>(c));
            text += escaped;
        } else {
            text += c;
        }
    }
    return text;
}

std::string fileTimeText(std::uint64_t ticks) {
    if (ticks == 0)
        return {};
    const std::uint64_t seconds = ticks / kTicksPerSecond;
    const std::int64_t days = static_cast<std::int64_t>(seconds / 86400) - kDaysFrom1601To1970;
    const std::uint64_t secondOfDay = seconds % 86400;
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civilFromDays(days, &year, &month, &day);
    char text[40];
    std::snprintf(
        text, sizeof text, "%04lld-%02u-%02u %02u:%02u:%02u", static_cast<long long>(year), month,
        day, static_cast<unsigned>(secondOfDay / 3600),
        static_cast<unsigned>(secondOfDay / 60 % 60), static_cast<unsigned>(secondOfDay % 60));
    return text;
}

std::optional<std::uint64_t> parseFileTime(const std::string& text) {
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
    char separator = 0;
    char end = 0;
    const int fields = std::sscanf(text.c_str(), "%4d-%2u-%2u%c%2u:%2u:%2u%c", &year, &month, &day,
                                   &separator, &hour, &minute, &second, &end);
    const bool dateOnly = fields == 3;
    const bool withTime = (fields == 6 || fields == 7) && (separator == 'T' || separator == ' ');
    if ((!dateOnly && !withTime) || year < 1601 || month < 1 || month > 12 || day < 1 || day > 31 ||
        hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    std::int64_t checkYear = 0;
    unsigned checkMonth = 0;
    unsigned checkDay = 0;
    const std::int64_t days = daysFromCivil(year, month, day);
    civilFromDays(days, &checkYear, &checkMonth, &checkDay);
    if (checkMonth != month || checkDay != day)
        return std::nullopt;
    const auto seconds = static_cast<std::uint64_t>(days + kDaysFrom1601To1970) * 86400 +
                         hour * 3600 + minute * 60 + second;
    return seconds * kTicksPerSecond;
}

std::optional<std::uint32_t> summaryPropertyId(const std::string& name) {
    for (const auto& entry : kSummaryNames) {
        const std::string_view known = entry.name;
        if (known.size() == name.size() &&
            std::equal(known.begin(), known.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            return entry.id;
    }
    return std::nullopt;
}

std::filesystem::path fileSystemPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool hasCompressedExtension(const std::string& path) {
    const auto wide = fileSystemPath(path).extension().u8string();
    const std::string extension(wide.begin(), wide.end());
    return extension.size() == 4 && extension[0] == '.' &&
           std::tolower(static_cast<unsigned char>(extension[1])) == 'a' &&
           std::tolower(static_cast<unsigned char>(extension[2])) == 'c' && extension[3] == '_';
}

} // namespace qvdoc
