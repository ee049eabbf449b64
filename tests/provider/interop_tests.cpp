// Interoperability with Wine's ole32 in the same process: documents the provider writes are
// read identically by ole32, documents ole32 writes are read by the provider, and the real
// files of the shared corpus read the same through both. The documents written here stay in
// provider-interop/ beside the test program, for the native readers (check_interop.py).
#include "provider_api.h"

#include <storage_views.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace provider_test;
using storage_views::propertiesOf;
using storage_views::treeOf;

namespace {

constexpr DWORD kSetMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr wchar_t kInteropFolder[] = L"provider-interop";

std::wstring interopFolder() {
    const std::wstring folder = test_support::programDirectory() + L"\\" + kInteropFolder;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void writeSet(IStorage* storage, const FMTID& id, std::vector<PROPSPEC> selectors,
              std::vector<PROPVARIANT> values) {
    ComPtr<IPropertySetStorage> sets;
    ASSERT_EQ(storage->QueryInterface(IID_IPropertySetStorage, sets.putVoid()), S_OK);
    ComPtr<IPropertyStorage> set;
    ASSERT_EQ(sets->Create(id, nullptr, PROPSETFLAG_DEFAULT, kSetMode | STGM_CREATE, set.put()),
              S_OK);
    ASSERT_EQ(set->WriteMultiple(static_cast<ULONG>(selectors.size()), selectors.data(),
                                 values.data(), 0x1000),
              S_OK);
    ASSERT_EQ(set->Commit(STGC_DEFAULT), S_OK);
}

PROPVARIANT lpstrValue(const char* text) {
    return valueOf(VT_LPSTR, &PROPVARIANT::pszVal, const_cast<char*>(text));
}

// The same document through any implementation's IStorage: streams of several sizes,
// nested storages with a class, and the summary, document-summary and user-defined sets.
void buildSample(IStorage* root, bool withUserDefined = true) {
    writeStream(root, L"Small", patternBytes(100, 1));
    writeStream(root, L"Large", patternBytes(70000, 2));
    writeStream(root, L"Empty", "");
    ComPtr<IStorage> nested;
    ASSERT_EQ(root->CreateStorage(L"Nested", kCreateMode, 0, 0, nested.put()), S_OK);
    ASSERT_EQ(nested->SetClass(IID_IStorage), S_OK);
    writeStream(nested.get(), L"Deep", patternBytes(5000, 3));
    ComPtr<IStorage> deeper;
    ASSERT_EQ(nested->CreateStorage(L"Deeper", kCreateMode, 0, 0, deeper.put()), S_OK);
    writeStream(deeper.get(), L"Deepest", "bottom");
    deeper.reset();
    nested.reset();
    const PROPVARIANT saved =
        valueOf(VT_FILETIME, &PROPVARIANT::filetime, FILETIME{0x89ABCDEF, 0x01DA1234});
    writeSet(
        root, FMTID_SummaryInformation,
        {byId(PIDSI_TITLE), byId(PIDSI_AUTHOR), byId(PIDSI_PAGECOUNT), byId(PIDSI_LASTSAVE_DTM)},
        {lpstrValue("Quarterly report"), lpstrValue("Accounts"),
         valueOf(VT_I4, &PROPVARIANT::lVal, LONG{7}), saved});
    writeSet(root, FMTID_DocSummaryInformation, {byId(PIDDSI_COMPANY), byId(PIDDSI_CATEGORY)},
             {lpstrValue("Z64 Ltd"), lpstrValue("Invoices")});
    if (!withUserDefined)
        return;
    const PROPVARIANT client =
        valueOf(VT_LPWSTR, &PROPVARIANT::pwszVal, const_cast<wchar_t*>(L"M\u00fcller & Co"));
    const PROPVARIANT amount = valueOf(VT_R8, &PROPVARIANT::dblVal, 1234.5);
    const PROPVARIANT paid = valueOf(VT_BOOL, &PROPVARIANT::boolVal, VARIANT_BOOL{VARIANT_TRUE});
    writeSet(root, FMTID_UserDefinedProperties,
             {byName(L"Client"), byName(L"Amount"), byName(L"Paid"), byName(L"Invoices")},
             {client, amount, paid, valueOf(VT_I4, &PROPVARIANT::lVal, LONG{42})});
}

const std::vector<std::string> kSampleSummary = {"13||filetime:01da123489abcdef", "14||i4:7",
                                                 "2||lpstr:Quarterly report", "4||lpstr:Accounts"};
const std::vector<std::string> kSummaryAsWineReadsIt = {"13||filetime:01da123489abcdef", "14||i4:7",
                                                        "2||lpstr:Quarterl", "4||lpstr:Acco"};
const std::vector<std::string> kWineRefusal = {"cannot open: 80030009"};
const std::vector<std::string> kSampleDocumentSummary = {"15||lpstr:Z64 Ltd", "2||lpstr:Invoices"};

// Wine's ole32 leaves out the properties it cannot read (VT_VECTOR | VT_VARIANT, the heading
// pairs of office documents) where the provider lists them.
std::vector<std::string> withoutVariantVectors(std::vector<std::string> lines) {
    std::erase_if(lines, [](const std::string& line) {
        return line.size() > 6 && line.compare(line.size() - 6, 6, "vt4108") == 0;
    });
    return lines;
}

struct Views {
    std::vector<std::string> tree;
    std::vector<std::string> summary;
    std::vector<std::string> documentSummary;
    std::vector<std::string> userDefined;
};

// The path of a file of the shared corpus's compound files of other software.
std::wstring corpusFile(const wchar_t* name) {
    return test_support::widen(Z64_CORPUS_DIR) + L"\\cfb-peers\\" + name;
}

Views viewThrough(const StorageApi& api, const std::wstring& path) {
    Views views;
    ComPtr<IStorage> root;
    if (FAILED(api.openStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                               root.put())))
        return views;
    views.tree = treeOf(root.get());
    views.summary = propertiesOf(root.get(), FMTID_SummaryInformation);
    views.documentSummary = propertiesOf(root.get(), FMTID_DocSummaryInformation);
    views.userDefined = propertiesOf(root.get(), FMTID_UserDefinedProperties);
    return views;
}

} // namespace

TEST(Interop, DocumentsThePoviderWritesReadTheSameThroughOle32) {
    for (const ULONG sectorSize : {512ul, 4096ul}) {
        SCOPED_TRACE(sectorSize);
        const std::wstring path =
            interopFolder() + L"\\written-by-provider-" + std::to_wstring(sectorSize) + L".stg";
        buildSample(createDocumentWithSectors(path, sectorSize).get());
        const Views mine = viewThrough(providerApi(), path);
        const Views wine = viewThrough(ole32Api(), path);
        EXPECT_EQ(mine.tree.size(), 9u);
        EXPECT_EQ(wine.tree, mine.tree);
        EXPECT_EQ(mine.summary, kSampleSummary);
        // Wine's ole32 reads a VT_LPSTR of a Unicode set as half its length ("Quarterl").
        EXPECT_EQ(wine.summary, kSummaryAsWineReadsIt);
        EXPECT_EQ(mine.documentSummary, kSampleDocumentSummary);
        // Wine's ole32 refuses the document summary (STG_E_INVALIDPOINTER) when its stream
        // also holds the user-defined section.
        EXPECT_EQ(wine.documentSummary, kWineRefusal);
        EXPECT_EQ(
            mine.userDefined,
            (std::vector<std::string>{"4096|Client|lpwstr:M\xFCller & Co", "4097|Amount|r8:1234.5",
                                      "4098|Paid|bool:true", "4099|Invoices|i4:42"}));
        // And so the user-defined set in the second section, where the format keeps it.
        EXPECT_EQ(wine.userDefined, kWineRefusal);
    }
}

TEST(Interop, DocumentsOle32WritesReadTheSameThroughTheProvider) {
    const std::wstring path = interopFolder() + L"\\written-by-ole32.stg";
    // Wine's ole32 cannot write the user-defined set: it replaces the document-summary stream
    // with a stream holding that set alone, which the format does not allow.
    buildSample(createDocument(ole32Api(), path).get(), false);
    const Views mine = viewThrough(providerApi(), path);
    const Views wine = viewThrough(ole32Api(), path);
    ASSERT_FALSE(wine.tree.empty());
    EXPECT_EQ(mine.tree, wine.tree);
    // Wine leaves out the padding after the last value of a section; the provider reads the
    // set all the same.
    EXPECT_EQ(mine.summary, kSampleSummary);
    EXPECT_EQ(wine.summary, kSummaryAsWineReadsIt);
    EXPECT_EQ(mine.documentSummary, kSampleDocumentSummary);
    EXPECT_EQ(wine.documentSummary,
              (std::vector<std::string>{"15||lpstr:Z64 Ltd", "2||lpstr:Invo"}));
    EXPECT_EQ(mine.userDefined, std::vector<std::string>{"absent"});
}

TEST(Interop, CorpusFilesReadTheSameThroughBoth) {
    if (!test_support::fileExists(corpusFile(L"real")))
        GTEST_SKIP() << "the shared corpus is not beside the repository";
    for (const wchar_t* file :
         {L"MultipleStorage.cfs", L"MultipleStorage2.cfs", L"MultipleStorage3.cfs",
          L"TestStream_v3_4096.cfs", L"TestStream_v4_4097.cfs", L"TestStream_v3_63.cfs",
          L"2custom.doc", L"Office365BlankSample_v2507.doc", L"Office365BlankSample_v2507.xls",
          L"winUnicodeDictionary.doc"}) {
        SCOPED_TRACE(test_support::narrow(file));
        const std::wstring path = corpusFile(L"real\\") + file;
        const Views mine = viewThrough(providerApi(), path);
        const Views wine = viewThrough(ole32Api(), path);
        ASSERT_FALSE(mine.tree.empty());
        EXPECT_EQ(mine.tree, wine.tree);
        EXPECT_EQ(mine.summary, wine.summary);
        if (mine.userDefined == std::vector<std::string>{"absent"}) {
            EXPECT_EQ(withoutVariantVectors(mine.documentSummary), wine.documentSummary);
        } else {
            // With a user-defined section in the stream, Wine refuses the document summary;
            // the provider reads both sections, every user-defined property with its name.
            EXPECT_EQ(wine.documentSummary, kWineRefusal);
            EXPECT_GT(mine.documentSummary.size(), 1u);
            EXPECT_FALSE(mine.userDefined.empty());
            for (const std::string& line : mine.userDefined)
                EXPECT_NE(line.find('|'), line.rfind('|')) << "a property without a name";
        }
    }
}

TEST(Interop, DamagedFilesAreRefusedQuickly) {
    if (!test_support::fileExists(corpusFile(L"fuzzed")))
        GTEST_SKIP() << "the shared corpus is not beside the repository";
    for (const wchar_t* file :
         {L"real\\FatChainLoop_v3.cfs", L"fuzzed\\loop_in_alloc", L"fuzzed\\loop_in_chain",
          L"fuzzed\\loop_in_directory", L"fuzzed\\loop_in_minialloc", L"fuzzed\\loop_in_minichain",
          L"fuzzed\\loop_in_open_1", L"fuzzed\\loop_in_open_2", L"fuzzed\\alloc_panic",
          L"fuzzed\\minialloc_panic"}) {
        SCOPED_TRACE(test_support::narrow(file));
        const std::wstring path = corpusFile(file);
        const DWORD start = GetTickCount();
        ComPtr<IStorage> root;
        const HRESULT hr =
            providerApi().openStorage(path.c_str(), nullptr, kReadMode, nullptr, 0, root.put());
        // What opens must be readable to the end without hanging; reads may fail.
        if (SUCCEEDED(hr))
            treeOf(root.get());
        EXPECT_LT(GetTickCount() - start, 5000u);
    }
}
