// Documents made through the library's own functions, read by other software: Wine's ole32
// in this process, and python3-olefile and libgsf's gsf natively afterwards
// (check_documents.py reads the documents this test leaves in library-interop/ beside it).
#include "storage_test_support.h"

#include <storage_views.h>

#include <support/com_ptr.h>
#include <support/unique_resource.h>
#include <z64eveze.h>

#include <comutil.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using support::ComPtr;

constexpr DWORD kReadExclusive = STGM_READ | STGM_SHARE_EXCLUSIVE;

std::wstring interopFolder() {
    const std::wstring folder = test_support::programDirectory() + L"\\library-interop";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// A document filled only through the library: a document stream, a packed file, summary
// information and user-defined properties.
void makeDocument(const std::wstring& path, const std::wstring& attachment) {
    ComPtr<IStorage> storage;
    ASSERT_EQ(QVStgCreateStorageW(path.c_str(), storage.put()), S_OK);
    ComPtr<IStream> body;
    ASSERT_EQ(QVStgOpenStream(storage.get(), L"QuorvaneDocument", body.put()), S_OK);
    const std::string flat = "X8.99" + test_support::patternBytes(3000, 1);
    ULONG written = 0;
    ASSERT_EQ(body->Write(flat.data(), static_cast<ULONG>(flat.size()), &written), S_OK);
    body.reset();
    test_support::writeFile(attachment, test_support::patternBytes(2500, 2));
    ASSERT_EQ(QVStgPackFile(storage.get(), L"Attachment", test_support::narrow(attachment).c_str()),
              0);

    using storage_test::byId, storage_test::named;
    ComPtr<IPropertyStorage> summary, user;
    ASSERT_EQ(QVStgOpenPropertyStorage(storage.get(), FMTID_SummaryInformation, summary.put()),
              S_OK);
    ASSERT_EQ(QVStgOpenPropertyStorage(storage.get(), FMTID_UserDefinedProperties, user.put()),
              S_OK);
    for (const HRESULT hr :
         {QVStgWriteProperty(summary.get(), byId(PIDSI_TITLE), L"Quarterly ledger"),
          QVStgWriteProperty(summary.get(), byId(PIDSI_PAGECOUNT), 7L),
          QVStgWriteProperty(user.get(), named(L"Client"), L"M\u00fcller & Co"),
          QVStgWriteProperty(user.get(), named(L"Amount"), 1234.5),
          QVStgWriteProperty(user.get(), named(L"Paid"), 1),
          QVStgWriteProperty(user.get(), named(L"Invoices"), 42L), summary->Commit(STGC_DEFAULT),
          user->Commit(STGC_DEFAULT)})
        EXPECT_EQ(hr, S_OK);
    summary.reset();
    user.reset();
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
}

struct View {
    std::vector<std::string> tree, summary, userDefined;
};

View describe(IStorage* storage) {
    return {storage_views::treeOf(storage),
            storage_views::propertiesOf(storage, FMTID_SummaryInformation),
            storage_views::propertiesOf(storage, FMTID_UserDefinedProperties)};
}

// The same document through the provider the library loads and through Wine's ole32.
void expectWineReadsAsTheLibrary(const std::wstring& path, bool hasUserDefinedSet) {
    ComPtr<IStorage> mine = storage_test::openDocument(path, kReadExclusive);
    ASSERT_TRUE(mine);
    const View expected = describe(mine.get());
    mine.reset();
    ComPtr<IStorage> wine;
    ASSERT_EQ(StgOpenStorage(path.c_str(), nullptr, kReadExclusive, nullptr, 0, wine.put()), S_OK);
    const View seen = describe(wine.get());
    EXPECT_EQ(seen.tree, expected.tree);
    EXPECT_EQ(seen.summary, expected.summary);
    if (hasUserDefinedSet) {
        // Wine's ole32 refuses a document-summary stream with a second section
        // (STG_E_INVALIDPOINTER) instead of reading the user-defined properties from it.
        EXPECT_EQ(seen.userDefined, std::vector<std::string>{"cannot open: 80030009"});
        EXPECT_EQ(expected.userDefined.size(), 4u);
    }
}

TEST(DocumentInterop, LibraryDocumentsReadTheSameInWineOle32) {
    const std::wstring folder = interopFolder();
    const std::wstring made = folder + L"\\made-by-library.ac";
    makeDocument(made, folder + L"\\attachment.bin");
    expectWineReadsAsTheLibrary(made, true);

    // A converted flat document, with the metadata library loaded as the application does.
    support::UniqueModule metadata(
        LoadLibraryW((test_support::programDirectory() + L"\\x64qv42.dll").c_str()));
    ASSERT_TRUE(metadata.valid());
    const std::wstring converted = folder + L"\\converted.ac";
    test_support::writeFile(converted, "X8.97" + test_support::patternBytes(5000, 3));
    std::string directory = test_support::narrow(folder) + "\\";
    std::string name = "converted";
    std::string extension = "ac";
    ASSERT_EQ(UpdateAcFileToCompoundFile(directory.data(), name.data(), extension.data()), 1);
    expectWineReadsAsTheLibrary(converted, false);
}

// ---- summary information of documents other software wrote --------------------------

constexpr PROPID kTextProperties[] = {PIDSI_TITLE,      PIDSI_SUBJECT,   PIDSI_AUTHOR,
                                      PIDSI_KEYWORDS,   PIDSI_COMMENTS,  PIDSI_TEMPLATE,
                                      PIDSI_LASTAUTHOR, PIDSI_REVNUMBER, PIDSI_APPNAME};
const std::string
    kSummaryFormatId("\xE0\x85\x9F\xF2\xF9\x4F\x68\x10\xAB\x91\x08\x00\x2B\x27\xB3\xD9", 16);

// A summary-information stream as other writers make it: narrow (VT_LPSTR) texts, stored
// bytes given, under the code page `codePage` (none when 0).
std::string summaryStream(std::uint16_t codePage,
                          const std::vector<std::pair<PROPID, std::string>>& texts) {
    const auto le32 = [](std::size_t value) {
        const auto field = static_cast<std::uint32_t>(value);
        return std::string(reinterpret_cast<const char*>(&field), 4); // x64 is little-endian
    };
    std::vector<std::pair<PROPID, std::string>> values;
    if (codePage != 0)
        values.emplace_back(PID_CODEPAGE, le32(VT_I2) + le32(codePage));
    for (const auto& [id, stored] : texts) {
        const std::string value = le32(VT_LPSTR) + le32(stored.size()) + stored;
        values.emplace_back(id, value + std::string((4 - value.size() % 4) % 4, '\0'));
    }
    const std::size_t tableSize = 8 + 8 * values.size();
    std::string table, data;
    for (const auto& [id, value] : values) {
        table += le32(id) + le32(tableSize + data.size());
        data += value;
    }
    // Byte order, format version 0, system identifier, class id, one section at offset 48.
    const std::string header = std::string("\xFE\xFF\0\0", 4) + le32(0x00020006) +
                               std::string(16, '\0') + le32(1) + kSummaryFormatId + le32(48);
    return header + le32(tableSize + data.size()) + le32(values.size()) + table + data;
}

// A copy of a corpus document whose summary information is replaced by `summary`.
void writeVariant(const std::wstring& original, const std::wstring& path,
                  const std::string& summary) {
    ASSERT_TRUE(CopyFileW(original.c_str(), path.c_str(), FALSE));
    ComPtr<IStorage> storage =
        storage_test::openDocument(path, STGM_READWRITE | STGM_SHARE_EXCLUSIVE);
    ASSERT_TRUE(storage);
    storage_test::writeStream(storage.get(), L"\x05SummaryInformation", summary);
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
}

std::string utf8Of(const wchar_t* text) {
    char utf8[4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

std::string utf16BytesOf(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), 2 * text.size());
}

std::string hexOf(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : bytes)
        hex += {digits[byte >> 4], digits[byte & 15]};
    return hex.empty() ? "-" : hex;
}

// One line per text property: document, identifier, and the texts of the narrow and the
// wide readers (the wide one as UTF-8), in hex. None for a document without a summary set
// or one refused as damaged: check_documents.py checks which documents are listed.
std::string summaryTextLines(const std::wstring& path, const std::string& label) {
    ComPtr<IStorage> storage =
        storage_test::openDocument(path, STGM_READWRITE | STGM_SHARE_EXCLUSIVE);
    ComPtr<IPropertySetStorage> sets;
    ComPtr<IPropertyStorage> summary;
    if (!storage || FAILED(storage->QueryInterface(IID_IPropertySetStorage, sets.putVoid())) ||
        FAILED(sets->Open(FMTID_SummaryInformation, STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                          summary.put())))
        return {};
    std::string lines;
    for (PROPID id : kTextProperties) {
        char narrowText[1024] = "unchanged";
        wchar_t wideText[1024] = L"unchanged";
        _bstr_t stringObject(L"unchanged");
        const HRESULT narrowResult =
            QVStgReadProperty(summary.get(), storage_test::byId(id), narrowText);
        EXPECT_EQ(QVStgReadProperty(summary.get(), storage_test::byId(id), wideText), narrowResult);
        EXPECT_EQ(QVStgReadProperty(summary.get(), storage_test::byId(id), &stringObject),
                  narrowResult);
        EXPECT_STREQ(static_cast<const wchar_t*>(stringObject), wideText) << label << " " << id;
        const std::string utf8 = utf8Of(wideText);
        lines += label + "\t" + std::to_string(id) + "\t" + std::to_string(narrowResult) + "\t" +
                 hexOf(narrowText) + "\t" + hexOf(utf8) + "\n";
    }
    return lines;
}

// Every corpus document with a summary-information set, and two made from one of them (a
// Unicode set and a set without a code page), read through the typed text readers; the
// lines go to corpus-summary.txt, which check_documents.py compares with olefile.
TEST(DocumentInterop, CorpusSummaryTextReadsThroughEveryTextReader) {
    const std::wstring corpus = test_support::widen(Z64_CORPUS_DIR) + L"\\cfb-peers\\real\\";
    if (!test_support::fileExists(corpus + L"Office365BlankSample_v2507.doc"))
        GTEST_SKIP() << "the shared corpus is not beside the repository";
    const std::wstring folder = interopFolder() + L"\\corpus";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::string lines = "ansi-code-page\t" + std::to_string(GetACP()) + "\n";
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((corpus + L"*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        const std::wstring copy = folder + L"\\" + found.cFileName;
        ASSERT_TRUE(CopyFileW((corpus + found.cFileName).c_str(), copy.c_str(), FALSE));
        lines += summaryTextLines(copy, test_support::narrow(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);

    const std::wstring blank = corpus + L"Office365BlankSample_v2507.doc";
    const std::string greeting = utf16BytesOf(L"Gr\u00fc\u00dfe");
    writeVariant(blank, folder + L"\\unicode-set.doc",
                 summaryStream(1200, {{PIDSI_TITLE, greeting + std::string(2, '\0')},
                                      {PIDSI_AUTHOR, std::string("J\0o\0\0\0", 6)}}));
    writeVariant(blank, folder + L"\\no-code-page.doc",
                 summaryStream(0, {{PIDSI_TITLE, std::string("Caf\xE9", 5)},
                                   {PIDSI_APPNAME, std::string("Writer", 7)}}));
    for (const wchar_t* variant : {L"unicode-set.doc", L"no-code-page.doc"})
        lines += summaryTextLines(folder + L"\\" + variant, test_support::narrow(variant));
    test_support::writeFile(interopFolder() + L"\\corpus-summary.txt", lines);
}

} // namespace
