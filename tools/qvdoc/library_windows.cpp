// The Windows build: every write, the release rules and conversion go through the library's
// own exports, on the same paths the application takes.
//
// A writing subcommand never changes the document in place. It copies the document into a
// private folder beside it (same volume, same file name, so that the library sees the name
// it would see), lets the library work on the copy, and moves the copy over the document only
// when everything succeeded. A failure at any point leaves the document byte for byte as it
// was, whatever state the copy was left in.
#include "library.h"
#include "progress.h"

#include <cfb/names.h>
#include <z64eveze.h>

#include <support/com_ptr.h>
#include <support/task_memory.h>
#include <support/unique_resource.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace qvdoc {
namespace {

using support::ComPtr;

constexpr DWORD kOpenReadWrite = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr DWORD kOpenRead = STGM_READ | STGM_SHARE_EXCLUSIVE;
constexpr std::size_t kVersionTextSize = 32;
constexpr std::size_t kLabelSize = 64;
constexpr std::size_t kCopyBlock = 1024 * 1024;
// Between two rows of the catalogue: version numbers have two decimals.
constexpr double kBelowRow = 0.001;
constexpr char kMetadataLibrary[] = "x64qv42.dll";

std::wstring wide(const std::string& utf8) {
    const std::u16string text = engine::cfb::fromUtf8(utf8);
    return std::wstring(text.begin(), text.end());
}

std::string utf8(const std::wstring& text) {
    return engine::cfb::toUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

// The path in the ANSI code page, for the exports that take narrow paths; none when the
// name has characters that page lacks.
std::optional<std::string> ansi(const std::wstring& path) {
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, nullptr, 0,
                                         nullptr, &lossy);
    if (size <= 0 || lossy)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, text.data(), size, nullptr,
                        nullptr);
    text.resize(static_cast<std::size_t>(size) - 1);
    return text;
}

Failure notInAnsiCodePage(const std::string& path) {
    return Failure{exit_code::refused, path + ": the name has characters the ANSI code page lacks"};
}

std::string hex(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

// What a storage failure means for people; null for the codes without a plain meaning.
const char* storageFailureMeaning(HRESULT result) {
    switch (result) {
    case STG_E_MEDIUMFULL:
        return "the disk is full";
    case STG_E_ACCESSDENIED:
        return "access denied";
    case STG_E_SHAREVIOLATION:
    case STG_E_LOCKVIOLATION:
        return "held by another program";
    case STG_E_FILENOTFOUND:
        return "not found";
    case STG_E_INVALIDHEADER:
    case STG_E_DOCFILECORRUPT:
        return "damaged";
    case STG_E_INVALIDNAME:
        return "a name the format refuses";
    default:
        return nullptr;
    }
}

// "damaged (0x80030107)", or "error 0x80004005" for a code without a plain meaning.
std::string storageError(HRESULT result) {
    const char* meaning = storageFailureMeaning(result);
    return meaning != nullptr ? std::string(meaning) + " (" + hex(result) + ")"
                              : "error " + hex(result);
}

std::optional<Failure> requireCompound(const std::string& path) {
    std::unique_ptr<Document> document;
    if (auto failure = openDocument(path, &document))
        return failure;
    if (document->shape() == Shape::flat)
        return Failure{exit_code::notCompound,
                       path +
                           ": a flat document, not a compound file (qvdoc convert makes it one)"};
    return std::nullopt;
}

std::optional<Failure> checkStreamName(const std::string& name) {
    if (engine::failed(engine::cfb::checkName(engine::cfb::fromUtf8(name))))
        return Failure{exit_code::refused,
                       "'" + name +
                           "': a stream name the format refuses (1 to 31 characters, "
                           "none of / \\ : !)"};
    return std::nullopt;
}

// The document may be replaced: it exists, is not read-only and nobody else holds it.
std::optional<Failure> checkWritable(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return Failure{exit_code::cannotWrite, path + ": the file is read-only"};
    support::UniqueFile file(CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        return std::nullopt;
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return Failure{exit_code::cannotWrite, path + ": held open by another program"};
    return Failure{exit_code::cannotWrite,
                   path + ": cannot be opened for writing (error " + std::to_string(error) + ")"};
}

// The document's working copy in a private folder beside it; the folder goes with the
// object unless the copy was committed.
class WorkingCopy {
public:
    explicit WorkingCopy(std::string document) : document_(std::move(document)) {}
    ~WorkingCopy() {
        std::error_code ignored;
        if (!folder_.empty())
            std::filesystem::remove_all(folder_, ignored);
    }
    WorkingCopy(const WorkingCopy&) = delete;
    WorkingCopy& operator=(const WorkingCopy&) = delete;

    std::optional<Failure> make(Progress& progress) {
        const std::filesystem::path original = fileSystemPath(document_);
        folder_ = original.parent_path() / (L".qvdoc-" + std::to_wstring(GetCurrentProcessId()));
        std::error_code error;
        std::filesystem::create_directory(folder_, error);
        if (error)
            return Failure{exit_code::cannotWrite,
                           document_ + ": cannot make a working folder beside it"};
        copy_ = folder_ / original.filename();
        return copyBytes(original, copy_, progress);
    }

    [[nodiscard]] std::wstring path() const { return copy_.wstring(); }
    [[nodiscard]] std::string utf8Path() const { return utf8(copy_.wstring()); }
    [[nodiscard]] std::filesystem::path folder() const { return folder_; }

    // Moves the copy over the document in one step.
    std::optional<Failure> commit() {
        if (!MoveFileExW(copy_.c_str(), fileSystemPath(document_).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return Failure{exit_code::writeFailed,
                           document_ + ": cannot replace the document (error " +
                               std::to_string(GetLastError()) + "); it is unchanged"};
        return std::nullopt;
    }

private:
    std::optional<Failure> copyBytes(const std::filesystem::path& from,
                                     const std::filesystem::path& to, Progress& progress) {
        support::UniqueFile source(CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
        support::UniqueFile target(
            CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        LARGE_INTEGER size{};
        if (!source || !target || !GetFileSizeEx(source.get(), &size))
            return Failure{exit_code::cannotWrite, document_ + ": cannot make a working copy"};
        std::vector<char> block(kCopyBlock);
        std::uint64_t done = 0;
        for (;;) {
            DWORD read = 0;
            if (!ReadFile(source.get(), block.data(), static_cast<DWORD>(block.size()), &read,
                          nullptr))
                return Failure{exit_code::cannotOpen, document_ + ": cannot be read"};
            if (read == 0)
                return std::nullopt;
            DWORD written = 0;
            if (!WriteFile(target.get(), block.data(), read, &written, nullptr) || written != read)
                return Failure{exit_code::writeFailed,
                               document_ + ": cannot write a working copy (disk full?); the "
                                           "document is unchanged"};
            done += read;
            progress.bytes("copying", done, static_cast<std::uint64_t>(size.QuadPart));
        }
    }

    std::string document_;
    std::filesystem::path folder_;
    std::filesystem::path copy_;
};

// Runs `work` on an open root storage of a working copy, then commits the storage and moves
// the copy over the document.
template <typename Work>
std::optional<Failure> changeDocument(const std::string& path, Progress& progress, Work&& work) {
    if (auto failure = requireCompound(path))
        return failure;
    if (auto failure = checkWritable(path))
        return failure;
    WorkingCopy copy(path);
    if (auto failure = copy.make(progress))
        return failure;
    {
        ComPtr<IStorage> storage;
        const HRESULT opened =
            QVStgOpenStorageW(copy.path().c_str(), storage.put(), kOpenReadWrite);
        if (FAILED(opened))
            return Failure{exit_code::writeFailed,
                           path + ": cannot be opened for writing: " + storageError(opened) +
                               "; the document is unchanged"};
        if (auto failure = work(storage.get()))
            return failure;
        const HRESULT committed = storage->Commit(STGC_DEFAULT);
        if (FAILED(committed))
            return Failure{exit_code::writeFailed,
                           path + ": saving failed: " + storageError(committed) +
                               "; the document is unchanged"};
    }
    return copy.commit();
}

struct PropertyTarget {
    GUID formatId{};
    void* property = nullptr;
    std::wstring name; // keeps a user-defined name alive while `property` points at it
};

PropertyTarget targetOf(const std::string& name) {
    PropertyTarget target;
    if (const auto id = summaryPropertyId(name)) {
        target.formatId = FMTID_SummaryInformation;
        target.property = reinterpret_cast<void*>(static_cast<std::uintptr_t>(*id));
    } else {
        target.formatId = FMTID_UserDefinedProperties;
        target.name = wide(name);
    }
    return target;
}

std::optional<Failure> openSet(IStorage* storage, PropertyTarget& target, const std::string& path,
                               ComPtr<IPropertyStorage>* set) {
    if (!target.name.empty())
        target.property = target.name.data();
    const HRESULT opened = QVStgOpenPropertyStorage(storage, target.formatId, set->put());
    if (FAILED(opened))
        return Failure{exit_code::writeFailed,
                       path + ": cannot open its property set: " + storageError(opened)};
    return std::nullopt;
}

std::optional<Failure> parseNumber(const PropertyWrite& write, auto parse) {
    char* end = nullptr;
    errno = 0;
    parse(write.value.c_str(), &end);
    if (write.value.empty() || *end != '\0' || errno == ERANGE)
        return Failure{exit_code::refused,
                       "'" + write.value + "' is not a value of that type for " + write.name};
    return std::nullopt;
}

HRESULT writeTyped(IPropertyStorage* set, void* property, const PropertyWrite& write,
                   std::optional<Failure>* refusal) {
    const std::string& value = write.value;
    switch (write.type) {
    case ValueType::text: {
        const std::wstring text = wide(value);
        return QVStgWriteProperty(set, property, text.c_str());
    }
    case ValueType::integer: {
        long number = 0;
        *refusal =
            parseNumber(write, [&](const char* t, char** e) { number = std::strtol(t, e, 10); });
        return *refusal ? E_INVALIDARG : QVStgWriteProperty(set, property, number);
    }
    case ValueType::unsignedInteger: {
        unsigned long number = 0;
        *refusal =
            parseNumber(write, [&](const char* t, char** e) { number = std::strtoul(t, e, 10); });
        if (!*refusal && (value[0] == '-' || number > UINT_MAX))
            *refusal =
                Failure{exit_code::refused, "'" + value + "' is not an unsigned 32-bit number"};
        return *refusal ? E_INVALIDARG
                        : QVStgWriteProperty(set, property, static_cast<unsigned int>(number));
    }
    case ValueType::flag: {
        if (value != "true" && value != "false" && value != "1" && value != "0") {
            *refusal = Failure{exit_code::refused, "'" + value + "' is not true or false"};
            return E_INVALIDARG;
        }
        return QVStgWriteProperty(set, property, static_cast<int>(value == "true" || value == "1"));
    }
    case ValueType::real: {
        double number = 0;
        *refusal = parseNumber(write, [&](const char* t, char** e) { number = std::strtod(t, e); });
        return *refusal ? E_INVALIDARG : QVStgWriteProperty(set, property, number);
    }
    case ValueType::date: {
        const auto ticks = parseFileTime(value);
        if (!ticks) {
            *refusal = Failure{exit_code::refused,
                               "'" + value + "' is not a date (2026-12-07 or 2026-12-07T10:00:00)"};
            return E_INVALIDARG;
        }
        FILETIME time{static_cast<DWORD>(*ticks), static_cast<DWORD>(*ticks >> 32)};
        return QVStgWriteProperty(set, property, &time);
    }
    case ValueType::guid: {
        GUID id{};
        if (FAILED(CLSIDFromString(wide(value).c_str(), &id))) {
            *refusal = Failure{exit_code::refused, "'" + value + "' is not a GUID ({...})"};
            return E_INVALIDARG;
        }
        return QVStgWriteProperty(set, property, &id);
    }
    }
    return E_INVALIDARG;
}

bool propertyExists(IPropertyStorage* set, void* property) {
    support::UniquePropVariant value;
    return QVStgReadProperty(set, property, value.put()) == S_OK;
}

void loadMetadataLibrary() {
    // The conversion reaches the metadata library only when the application has loaded it,
    // as the application does; the module stays for the life of the process.
    LoadLibraryA(kMetadataLibrary);
}

std::string conversionFailure(int result) {
    switch (result) {
    case 2:
        return "the conversion failed (result 2)";
    case 3:
        return "the conversion was not attempted: " + std::string(kMetadataLibrary) +
               " or one of its entry points is missing (result 3)";
    case 4:
        return "the conversion was not attempted: collecting the metadata failed (result 4)";
    default:
        return "the conversion gave the unknown result " + std::to_string(result);
    }
}

} // namespace

std::optional<Failure> readVersion(const std::string& path, VersionInfo* info) {
    const std::wstring widePath = wide(path);
    char text[kVersionTextSize] = {};
    const HRESULT result = GetQVVersionFromFileW(widePath.c_str(), text);
    if (FAILED(result))
        return Failure{exit_code::damaged,
                       path + ": its version cannot be read (" + hex(result) + ")"};
    info->text = text;
    double number = 0.0;
    if (!GetQVVersionFromFileW(widePath.c_str(), &number))
        return Failure{exit_code::damaged, path + ": its version cannot be read"};
    info->number = number;
    info->known = IsKnownFileVersion(number) != 0;
    double group = 0.0;
    GetFileVersionGroup(number, &group);
    if (group != 0.0) {
        char label[kLabelSize] = {};
        GetUserFriendlyFileVersion(number, label, sizeof label);
        info->release = label;
    }
    return std::nullopt;
}

std::optional<Failure> releaseCatalogue(std::vector<ReleaseRow>* rows) {
    // The catalogue is walked through the library's own lookups, newest row first: each row's
    // version, then anything just below it, which the lookup brings down to the next row.
    double version = GetMaxUserFriendlyCompatibleFileVersion();
    for (;;) {
        double group = 0.0;
        GetFileVersionGroup(version, &group);
        if (group == 0.0)
            return std::nullopt;
        char label[kLabelSize] = {};
        GetUserFriendlyFileVersion(group, label, sizeof label);
        rows->push_back({group, label});
        version = group - kBelowRow;
    }
}

std::optional<Failure> convertDocument(const std::string& path, bool* converted,
                                       Progress& progress) {
    *converted = false;
    {
        std::unique_ptr<Document> document;
        if (auto failure = openDocument(path, &document))
            return failure;
        if (document->shape() != Shape::flat)
            return std::nullopt;
    }
    if (auto failure = checkWritable(path))
        return failure;
    WorkingCopy copy(path);
    if (auto failure = copy.make(progress))
        return failure;
    const std::filesystem::path copyPath(copy.path());
    auto directory = ansi((copyPath.parent_path() / L"").wstring());
    auto stem = ansi(copyPath.stem().wstring());
    std::wstring extensionText = copyPath.extension().wstring();
    if (!extensionText.empty())
        extensionText.erase(0, 1);
    auto extension = ansi(extensionText);
    if (!directory || !stem || !extension)
        return notInAnsiCodePage(path);
    loadMetadataLibrary();
    progress.items("converting", 0, 1);
    const int result =
        UpdateAcFileToCompoundFile(directory->data(), stem->data(), extension->data());
    progress.items("converting", 1, 1);
    if (result != 1)
        return Failure{exit_code::writeFailed,
                       path + ": " + conversionFailure(result) + "; the document is unchanged"};
    if (auto failure = copy.commit())
        return failure;
    *converted = true;
    return std::nullopt;
}

std::optional<Failure> packFile(const std::string& path, const std::string& stream,
                                const std::string& file, Progress& progress) {
    if (auto failure = checkStreamName(stream))
        return failure;
    const auto narrowFile = ansi(wide(file));
    if (!narrowFile)
        return notInAnsiCodePage(file);
    std::error_code error;
    if (!std::filesystem::is_regular_file(fileSystemPath(file), error))
        return Failure{exit_code::cannotOpen, file + ": no such file"};
    return changeDocument(path, progress, [&](IStorage* storage) -> std::optional<Failure> {
        progress.items("packing", 0, 1);
        const std::wstring name = wide(stream);
        const int result = QVStgPackFile(storage, name.c_str(), narrowFile->c_str());
        progress.items("packing", 1, 1);
        if (result == 1)
            return Failure{exit_code::cannotOpen,
                           file + ": cannot be opened (read-only, or held by another program)"};
        if (result != 0)
            return Failure{exit_code::writeFailed,
                           path + ": packing " + file + " failed; the document is unchanged"};
        return std::nullopt;
    });
}

std::optional<Failure> unpackFile(const std::string& path, const std::string& stream,
                                  const std::string& file, Progress& progress) {
    if (auto failure = checkStreamName(stream))
        return failure;
    if (auto failure = requireCompound(path))
        return failure;
    const std::filesystem::path target = fileSystemPath(file);
    const std::filesystem::path partial = target.wstring() + L".qvdoc-partial";
    const auto narrowPartial = ansi(partial.wstring());
    if (!narrowPartial)
        return notInAnsiCodePage(file);
    ComPtr<IStorage> storage;
    const HRESULT opened = QVStgOpenStorageW(wide(path).c_str(), storage.put(), kOpenRead);
    if (FAILED(opened))
        return Failure{exit_code::cannotOpen, path + ": cannot be opened: " + storageError(opened)};
    progress.items("unpacking", 0, 1);
    const std::wstring name = wide(stream);
    const int result = QVStgUnpackFile(storage.get(), name.c_str(), narrowPartial->c_str());
    progress.items("unpacking", 1, 1);
    std::error_code ignored;
    if (result == 1)
        return Failure{exit_code::notFound, path + ": no stream named '" + stream + "'"};
    if (result != 0) {
        std::filesystem::remove(partial, ignored);
        return Failure{exit_code::writeFailed, file + ": writing failed; nothing was written"};
    }
    if (!MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        std::filesystem::remove(partial, ignored);
        return Failure{exit_code::writeFailed, file + ": cannot be replaced (error " +
                                                   std::to_string(GetLastError()) + ")"};
    }
    return std::nullopt;
}

std::optional<Failure> writeProperty(const std::string& path, const PropertyWrite& write,
                                     Progress& progress) {
    if (write.name.empty())
        return Failure{exit_code::refused, "a property needs a name"};
    return changeDocument(path, progress, [&](IStorage* storage) -> std::optional<Failure> {
        PropertyTarget target = targetOf(write.name);
        ComPtr<IPropertyStorage> set;
        if (auto failure = openSet(storage, target, path, &set))
            return failure;
        std::optional<Failure> refusal;
        const HRESULT written = writeTyped(set.get(), target.property, write, &refusal);
        if (refusal)
            return refusal;
        if (FAILED(written))
            return Failure{written == STG_E_INVALIDPARAMETER || written == E_INVALIDARG
                               ? exit_code::refused
                               : exit_code::writeFailed,
                           path + ": writing " + write.name + " failed: " + storageError(written) +
                               "; the document is unchanged"};
        const HRESULT committed = set->Commit(STGC_DEFAULT);
        if (FAILED(committed))
            return Failure{exit_code::writeFailed, path + ": saving " + write.name +
                                                       " failed: " + storageError(committed) +
                                                       "; the document is unchanged"};
        return std::nullopt;
    });
}

std::optional<Failure> deleteProperty(const std::string& path, const std::string& name,
                                      Progress& progress) {
    return changeDocument(path, progress, [&](IStorage* storage) -> std::optional<Failure> {
        PropertyTarget target = targetOf(name);
        ComPtr<IPropertyStorage> set;
        if (auto failure = openSet(storage, target, path, &set))
            return failure;
        if (!propertyExists(set.get(), target.property))
            return Failure{exit_code::notFound, path + ": no property named '" + name + "'"};
        const HRESULT deleted = QVStgDeleteProperty(set.get(), target.property);
        const HRESULT committed = SUCCEEDED(deleted) ? set->Commit(STGC_DEFAULT) : deleted;
        if (FAILED(committed))
            return Failure{exit_code::writeFailed, path + ": deleting " + name +
                                                       " failed: " + storageError(committed) +
                                                       "; the document is unchanged"};
        return std::nullopt;
    });
}

} // namespace qvdoc
