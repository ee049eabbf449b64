// qvdoc.exe run as people run it: what it shows is compared with what the library's exports
// read, its writes are read back through the library, and every failure is checked for its
// exit code, its one-line message and a document left byte for byte as it was.
#include "../storage/storage_test_support.h"
#include "test_support.h"

#include <support/task_memory.h>
#include <support/unique_resource.h>
#include <z64eveze.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <map>

namespace {

using Json = nlohmann::json;
using support::ComPtr;
using test_support::narrow;
using test_support::TemporaryDirectory;
using test_support::widen;

constexpr DWORD kReadExclusive = STGM_READ | STGM_SHARE_EXCLUSIVE;
constexpr char kDocumentBytes[] = "X8.98 ledger records of a test";
const std::wstring kCorpus = widen(Z64_CORPUS_DIR) + L"\\cfb-peers\\";

using Outcome = test_support::ProcessResult;

// Standard output alone (for JSON and bytes), from the program folder given.
Outcome qvdoc(const std::wstring& arguments,
              const std::wstring& folder = test_support::programDirectory()) {
    return test_support::runProgram(folder + L"\\qvdoc.exe", arguments);
}

// Standard output and standard error together, through the command interpreter.
Outcome qvdocMessages(const std::wstring& arguments,
                      const std::wstring& folder = test_support::programDirectory()) {
    return test_support::runProgram(L"C:\\windows\\system32\\cmd.exe", L"/c \"\"" + folder +
                                                                           L"\\qvdoc.exe\" " +
                                                                           arguments + L" 2>&1\"");
}

std::wstring quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

// A document as the application makes one: its stream, both property sets, a packed file in
// a storage of its own.
std::wstring makeDocument(const TemporaryDirectory& folder) {
    const std::wstring path = folder.file(L"ledger.ac");
    auto storage = storage_test::createDocument(path);
    storage_test::writeStream(storage.get(), L"QuorvaneDocument", kDocumentBytes);
    auto summary = storage_test::propertySet(storage.get(), FMTID_SummaryInformation);
    EXPECT_EQ(QVStgWriteProperty(summary.get(), reinterpret_cast<void*>(2), L"Ledger"), S_OK);
    EXPECT_EQ(summary->Commit(STGC_DEFAULT), S_OK);
    auto user = storage_test::propertySet(storage.get(), FMTID_UserDefinedProperties);
    EXPECT_EQ(QVStgWriteProperty(user.get(), (void*)L"Customer", L"Acme"), S_OK);
    EXPECT_EQ(QVStgWriteProperty(user.get(), (void*)L"Entries", 3L), S_OK);
    EXPECT_EQ(QVStgWriteProperty(user.get(), (void*)L"Audited", 1), S_OK);
    EXPECT_EQ(user->Commit(STGC_DEFAULT), S_OK);
    summary.reset();
    user.reset();
    ComPtr<IStorage> attachments;
    EXPECT_EQ(storage->CreateStorage(L"Attachments",
                                     STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                     attachments.put()),
              S_OK);
    storage_test::writeStream(attachments.get(), L"Receipt", test_support::patternBytes(5000));
    attachments.reset();
    EXPECT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    return path;
}

// ---- what the library reads -------------------------------------------------------------

void listWithLibrary(IStorage* storage, const std::string& prefix,
                     std::map<std::string, Json>* elements) {
    ComPtr<IEnumSTATSTG> entries;
    ASSERT_EQ(storage->EnumElements(0, nullptr, 0, entries.put()), S_OK);
    STATSTG stat{};
    while (entries->Next(1, &stat, nullptr) == S_OK) {
        const std::string name = prefix + "/" + narrow(stat.pwcsName);
        const bool isStorage = stat.type == STGTY_STORAGE;
        (*elements)[name] = {{"type", isStorage ? "storage" : "stream"},
                             {"size", isStorage ? 0 : stat.cbSize.QuadPart}};
        if (isStorage) {
            ComPtr<IStorage> inner;
            ASSERT_EQ(storage->OpenStorage(stat.pwcsName, nullptr, kReadExclusive, nullptr, 0,
                                           inner.put()),
                      S_OK);
            listWithLibrary(inner.get(), name, elements);
        }
        CoTaskMemFree(stat.pwcsName);
    }
}

std::string fileTimeText(const FILETIME& time) {
    SYSTEMTIME parts{};
    FileTimeToSystemTime(&time, &parts);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", parts.wYear, parts.wMonth,
                  parts.wDay, parts.wHour, parts.wMinute, parts.wSecond);
    return text;
}

// A property's value through QVStgReadProperty, in the form qvdoc's JSON gives it.
Json libraryValue(IPropertyStorage* set, void* property) {
    support::UniquePropVariant stored;
    EXPECT_EQ(QVStgReadProperty(set, property, stored.put()), S_OK);
    const PROPVARIANT& value = stored.get();
    switch (value.vt) {
    // clang-format off
    case VT_LPWSTR: return narrow(value.pwszVal);
    case VT_LPSTR: return std::string(value.pszVal);
    case VT_I4: return static_cast<double>(value.lVal);
    case VT_I2: return static_cast<double>(value.iVal);
    case VT_R8: return value.dblVal;
    case VT_BOOL: return value.boolVal == VARIANT_TRUE;
    case VT_FILETIME: return fileTimeText(value.filetime);
    default: return "vt " + std::to_string(value.vt);
        // clang-format on
    }
}

// The summary-information or the user-defined set of a document opened for reading.
ComPtr<IPropertyStorage> openSet(IStorage* storage, bool summary) {
    ComPtr<IPropertySetStorage> sets;
    ComPtr<IPropertyStorage> set;
    EXPECT_EQ(storage->QueryInterface(IID_IPropertySetStorage, sets.putVoid()), S_OK);
    if (sets && FAILED(sets->Open(summary ? FMTID_SummaryInformation : FMTID_UserDefinedProperties,
                                  kReadExclusive, set.put())))
        ADD_FAILURE() << "the property set cannot be opened";
    return set;
}

void compareProperties(IStorage* storage, const Json& shown, const std::string& label) {
    for (const auto& property : shown["properties"]) {
        const bool summary = property["set"] == "summary";
        const ComPtr<IPropertyStorage> set = openSet(storage, summary);
        ASSERT_TRUE(set) << label;
        const std::wstring name = widen(property["name"].get<std::string>());
        void* selector = summary ? reinterpret_cast<void*>(property["id"].get<std::uintptr_t>())
                                 : (void*)name.c_str();
        if (property["type"] == "lpwstr" || property["type"] == "lpstr" ||
            property["type"] == "i4" || property["type"] == "i2" || property["type"] == "r8" ||
            property["type"] == "bool" || property["type"] == "filetime") {
            EXPECT_EQ(libraryValue(set.get(), selector), property["value"])
                << label << " " << property.dump();
        }
    }
}

struct ReadCase {
    const char* label;
    std::wstring path;
    size_t minimumProperties;
};

TEST(QvdocTest, ShowsWhatTheLibraryReads) {
    TemporaryDirectory folder;
    const std::wstring made = makeDocument(folder);
    const ReadCase cases[] = {
        {"library document", made, 4},
        {"custom properties", kCorpus + L"real\\2custom.doc", 2},
        {"unicode dictionary", kCorpus + L"real\\winUnicodeDictionary.doc", 1},
        {"nested storages", kCorpus + L"real\\MultipleStorage3.cfs", 0},
        {"office workbook", kCorpus + L"real\\Office365BlankSample_v2507.xls", 1},
    };
    for (const auto& row : cases) {
        const Outcome ls = qvdoc(L"ls --json " + quoted(row.path));
        const Outcome props = qvdoc(L"props --json " + quoted(row.path));
        const Outcome info = qvdoc(L"info --json " + quoted(row.path));
        ASSERT_EQ(ls.exitCode + props.exitCode + info.exitCode, 0u) << row.label;
        ComPtr<IStorage> storage = storage_test::openDocument(row.path, kReadExclusive);
        ASSERT_TRUE(storage) << row.label;
        std::map<std::string, Json> expected;
        listWithLibrary(storage.get(), "", &expected);
        std::map<std::string, Json> shown;
        size_t streams = 0;
        const Json listed = Json::parse(ls.output);
        for (const auto& element : listed["elements"]) {
            streams += element["type"] == "stream";
            if (element["path"] != "/")
                shown[element["path"]] = {{"type", element["type"]}, {"size", element["size"]}};
        }
        EXPECT_EQ(shown, expected) << row.label;
        const Json properties = Json::parse(props.output);
        EXPECT_GE(properties["properties"].size(), row.minimumProperties) << row.label;
        compareProperties(storage.get(), properties, row.label);
        const Json summary = Json::parse(info.output);
        EXPECT_EQ(summary["streams"], streams) << row.label;
        EXPECT_EQ(summary["shape"], "compound") << row.label;
    }
}

TEST(QvdocTest, InfoNamesTheReleaseAsTheLibraryDoes) {
    TemporaryDirectory folder;
    const std::wstring path = makeDocument(folder);
    const Json info = Json::parse(qvdoc(L"info --json " + quoted(path)).output);
    char text[32] = {};
    ASSERT_EQ(GetQVVersionFromFileW(path.c_str(), text), S_OK);
    char label[32] = {};
    GetUserFriendlyFileVersion(8.98, label, sizeof label);
    EXPECT_EQ(info["version"]["text"], text);
    EXPECT_EQ(info["version"]["release"], label);
    EXPECT_EQ(info["title"], "Ledger");
    const std::string header = test_support::readFile(path).substr(0, 32);
    EXPECT_EQ(info["format"]["version"], header[26]);         // major version
    EXPECT_EQ(info["format"]["sectorSize"], 1 << header[30]); // sector shift
    EXPECT_EQ(info["storages"], 1);

    const Outcome versions = qvdoc(L"versions");
    EXPECT_EQ(versions.exitCode, 0u);
    EXPECT_NE(versions.output.find("   8.98  2025.00\n"), std::string::npos) << versions.output;
    EXPECT_NE(versions.output.find("   6.31  2001.00\n"), std::string::npos) << versions.output;
    EXPECT_EQ(std::count(versions.output.begin(), versions.output.end(), '\n'), 29);
}

TEST(QvdocTest, CatWritesTheStreamBytes) {
    TemporaryDirectory folder;
    const std::wstring path = makeDocument(folder);
    const struct {
        const wchar_t* stream;
        std::string expected;
    } cases[] = {
        {L"QuorvaneDocument", kDocumentBytes},
        {L"Attachments/Receipt", test_support::patternBytes(5000)},
        {L"\\005SummaryInformation",
         storage_test::streamContent(storage_test::openDocument(path, kReadExclusive).get(),
                                     L"\005SummaryInformation")},
    };
    for (const auto& row : cases) {
        const Outcome cat = qvdoc(L"cat " + quoted(path) + L" " + row.stream);
        EXPECT_EQ(cat.exitCode, 0u) << narrow(row.stream);
        EXPECT_EQ(cat.output, row.expected) << narrow(row.stream);
    }
}

TEST(QvdocTest, WritesThroughTheLibrary) {
    TemporaryDirectory folder;
    const std::wstring path = makeDocument(folder);
    const struct {
        const wchar_t* arguments;
        const char* name;
        Json expected; // null: the property is gone
    } cases[] = {
        {L"--set \"Title=Ledger 2026\"", "Title", "Ledger 2026"},
        {L"--set Customer=Example", "Customer", "Example"},
        {L"--set Entries=-7 --type int", "Entries", -7.0},
        {L"--set Rate=0.25 --type double", "Rate", 0.25},
        {L"--set Audited=false --type bool", "Audited", false},
        {L"--set ClosedOn=2026-12-31T10:30:00 --type date", "ClosedOn", "2026-12-31 10:30:00"},
        {L"--delete Customer", "Customer", nullptr},
    };
    for (const auto& row : cases) {
        const Outcome run = qvdocMessages(L"props " + quoted(path) + L" " + row.arguments);
        ASSERT_EQ(run.exitCode, 0u) << narrow(row.arguments) << run.output;
        auto storage = storage_test::openDocument(path, kReadExclusive);
        const bool summary = std::string(row.name) == "Title";
        const ComPtr<IPropertyStorage> set = openSet(storage.get(), summary);
        ASSERT_TRUE(set) << row.name;
        const std::wstring name = widen(row.name);
        void* selector = summary ? reinterpret_cast<void*>(2) : (void*)name.c_str();
        if (row.expected.is_null()) {
            support::UniquePropVariant value;
            EXPECT_EQ(QVStgReadProperty(set.get(), selector, value.put()), S_FALSE);
        } else {
            EXPECT_EQ(libraryValue(set.get(), selector), row.expected) << narrow(row.arguments);
        }
    }

    const std::wstring packed = folder.file(L"receipt.bin");
    test_support::writeFile(packed, test_support::patternBytes(70000, 3));
    ASSERT_EQ(qvdoc(L"pack " + quoted(path) + L" Receipt " + quoted(packed)).exitCode, 0u);
    auto storage = storage_test::openDocument(path, kReadExclusive);
    EXPECT_EQ(storage_test::streamContent(storage.get(), L"Receipt"),
              test_support::patternBytes(70000, 3));
    storage.reset();
    const std::wstring unpacked = folder.file(L"receipt-out.bin");
    ASSERT_EQ(qvdoc(L"unpack " + quoted(path) + L" Receipt " + quoted(unpacked)).exitCode, 0u);
    EXPECT_EQ(test_support::readFile(unpacked), test_support::patternBytes(70000, 3));
}

TEST(QvdocTest, ConvertsAFlatDocumentInPlace) {
    TemporaryDirectory folder;
    const std::wstring path = folder.file(L"old.ac");
    test_support::writeFile(path, kDocumentBytes);
    const Outcome converted = qvdoc(L"convert " + quoted(path));
    EXPECT_EQ(converted.exitCode, 0u);
    EXPECT_NE(converted.output.find("converted to a compound document"), std::string::npos);
    ASSERT_EQ(QVStgIsStorageFileW(path.c_str()), S_OK);
    auto storage = storage_test::openDocument(path, kReadExclusive);
    EXPECT_EQ(storage_test::streamContent(storage.get(), L"QuorvaneDocument"), kDocumentBytes);
    storage.reset();
    const Outcome again = qvdoc(L"convert " + quoted(path));
    EXPECT_EQ(again.exitCode, 0u);
    EXPECT_NE(again.output.find("nothing converted"), std::string::npos) << again.output;
}

// ---- bad input --------------------------------------------------------------------------

struct BadInput {
    const char* label;
    std::wstring arguments; // DOC stands for a library document, FLAT for a flat one
    DWORD exitCode;
    const char* message;
};

std::wstring substitute(std::wstring text, const std::wstring& key, const std::wstring& value) {
    for (size_t at = text.find(key); at != std::wstring::npos; at = text.find(key, at + 1))
        text.replace(at, key.size(), value);
    return text;
}

TEST(QvdocTest, BadInputGivesOneLineAndItsExitCode) {
    TemporaryDirectory folder;
    const std::wstring document = makeDocument(folder);
    const std::wstring flat = folder.file(L"flat.ac");
    test_support::writeFile(flat, kDocumentBytes);
    const BadInput cases[] = {
        {"no subcommand", L"", 2, "missing subcommand"},
        {"unknown subcommand", L"list DOC", 2, "unknown subcommand 'list'"},
        {"unknown option", L"ls DOC --wide", 2, "unknown option '--wide'"},
        {"missing argument", L"cat DOC", 2, "missing STREAM"},
        {"extra argument", L"info DOC DOC", 2, "unexpected argument"},
        {"unknown type", L"props DOC --set A=1 --type money", 2, "unknown type 'money'"},
        {"missing file", L"info DOC.missing", 3, "no such file"},
        {"folder", L"ls " + quoted(folder.path()), 3, "is a folder"},
        {"flat document", L"ls FLAT", 4, "a flat document"},
        {"damaged file", L"ls " + quoted(kCorpus + L"real\\FatChainLoop_v3.cfs"), 1,
         "FatChainLoop"},
        {"missing stream", L"cat DOC Nowhere", 5, "no stream named 'Nowhere'"},
        {"missing storage", L"ls DOC /Nowhere", 5, "no storage /Nowhere"},
        {"missing property", L"props DOC --delete Nobody", 5, "no property named 'Nobody'"},
        {"missing stream to unpack", L"unpack DOC Nowhere out.bin", 5, "no stream named"},
        {"refused stream name", L"pack DOC a:b FLAT", 8, "a stream name the format refuses"},
        {"name too long", L"pack DOC " + std::wstring(32, L'n') + L" FLAT", 8, "refuses"},
        {"not a number", L"props DOC --set Entries=many --type int", 8, "not a value"},
        {"not a date", L"props DOC --set D=2026-02-30 --type date", 8, "not a date"},
        {"missing file to pack", L"pack DOC Receipt nothing.bin", 3, "no such file"},
    };
    for (const auto& row : cases) {
        const std::wstring arguments =
            substitute(substitute(row.arguments, L"FLAT", quoted(flat)), L"DOC", quoted(document));
        const std::string before = test_support::readFile(document);
        const Outcome run = qvdocMessages(arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << row.label << ": " << run.output;
        EXPECT_NE(run.output.find(row.message), std::string::npos)
            << row.label << ": " << run.output;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << row.label;
        EXPECT_EQ(test_support::readFile(document), before) << row.label;
    }
}

TEST(QvdocTest, FailedWritesLeaveTheDocumentAsItWas) {
    TemporaryDirectory folder;
    TemporaryDirectory diskFull, fullWhileWriting;
    test_support::copyProgramFolder(diskFull, L"qvdoc.exe", L"", L"ex-disk-full");
    test_support::copyProgramFolder(fullWhileWriting, L"qvdoc.exe", L"", L"disk-full");
    const std::wstring packed = folder.file(L"receipt.bin");
    test_support::writeFile(packed, test_support::patternBytes(100000));
    const struct {
        const char* label;
        std::wstring arguments;
        bool readOnly;
        const std::wstring* programFolder;
        DWORD exitCode;
        const char* message;
    } cases[] = {
        {"read-only set", L"props DOC --set Customer=Other", true, nullptr, 6, "read-only"},
        {"read-only pack", L"pack DOC Receipt " + quoted(packed), true, nullptr, 6, "read-only"},
        {"read-only delete", L"props DOC --delete Customer", true, nullptr, 6, "read-only"},
        {"disk full set", L"props DOC --set Customer=Other", false, &diskFull.path(), 7,
         "disk is full"},
        {"disk full pack", L"pack DOC Receipt " + quoted(packed), false, &diskFull.path(), 7,
         "unchanged"},
        {"full while setting", L"props DOC --set Notes=" + std::wstring(3000, L'n'), false,
         &fullWhileWriting.path(), 7, "disk is full"},
        {"full while packing", L"pack DOC Receipt " + quoted(packed), false,
         &fullWhileWriting.path(), 7, "unchanged"},
    };
    for (const auto& row : cases) {
        TemporaryDirectory documents;
        const std::wstring document = makeDocument(documents);
        const std::string before = test_support::readFile(document);
        if (row.readOnly)
            SetFileAttributesW(document.c_str(), FILE_ATTRIBUTE_READONLY);
        const std::wstring arguments = substitute(row.arguments, L"DOC", quoted(document));
        const Outcome run = row.programFolder ? qvdocMessages(arguments, *row.programFolder)
                                              : qvdocMessages(arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << row.label << ": " << run.output;
        EXPECT_NE(run.output.find(row.message), std::string::npos)
            << row.label << ": " << run.output;
        SetFileAttributesW(document.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(test_support::readFile(document), before) << row.label;
        WIN32_FIND_DATAW entry;
        support::UniqueFind leftovers(FindFirstFileW(documents.file(L".qvdoc-*").c_str(), &entry));
        EXPECT_FALSE(leftovers) << row.label << ": a working folder was left behind";
    }
}

// ---- check ------------------------------------------------------------------------------

TEST(QvdocTest, ChecksEveryCorpusFileOnceWithoutCrashing) {
    std::vector<std::wstring> files;
    for (const wchar_t* kind : {L"real", L"fuzzed"}) {
        WIN32_FIND_DATAW entry;
        support::UniqueFind find(FindFirstFileW((kCorpus + kind + L"\\*").c_str(), &entry));
        do {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                files.push_back(kCorpus + kind + L"\\" + entry.cFileName);
        } while (FindNextFileW(find.get(), &entry));
    }
    ASSERT_GE(files.size(), 20u);
    std::wstring arguments;
    for (const auto& file : files)
        arguments += L" " + quoted(file);
    const Outcome text = qvdoc(L"check" + arguments);
    const Outcome json = qvdoc(L"check --json" + arguments);
    EXPECT_EQ(text.exitCode, 1u);
    EXPECT_EQ(json.exitCode, 1u);
    EXPECT_EQ(static_cast<size_t>(std::count(text.output.begin(), text.output.end(), '\n')),
              files.size());
    const Json checked = Json::parse(json.output);
    ASSERT_EQ(checked["files"].size(), files.size());
    for (const auto& file : checked["files"]) {
        const std::string path = file["path"];
        const bool damagedOnPurpose = path.find("fuzzed") != std::string::npos ||
                                      path.find("FatChainLoop") != std::string::npos;
        EXPECT_EQ(file["sound"], !damagedOnPurpose) << path << " " << file.dump();
        EXPECT_EQ(file["problems"].empty(), !damagedOnPurpose) << path;
    }
    TemporaryDirectory folder;
    const std::wstring document = makeDocument(folder);
    EXPECT_EQ(qvdoc(L"check " + quoted(document)).exitCode, 0u);
}

} // namespace
