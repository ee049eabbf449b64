// The metadata library on its own: what it collects from a document file and what it writes
// into a storage. The storage here is an in-memory document of the system's structured
// storage, so that only the library's own calls are under test.
#include "test_support.h"

#include <support/com_ptr.h>
#include <x64qv42.h>

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using support::ComPtr;
using test_support::TemporaryDirectory;

using Context = std::array<unsigned char, kMetadataContextSize>;

std::string ticksText(const FILETIME& time) {
    return std::to_string(test_support::ticksOf(time));
}

ComPtr<IStorage> memoryDocument() {
    ComPtr<ILockBytes> bytes;
    EXPECT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()), S_OK);
    ComPtr<IStorage> storage;
    EXPECT_EQ(StgCreateDocfileOnILockBytes(bytes.get(),
                                           STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                           storage.put()),
              S_OK);
    return storage;
}

// The summary-information value `id` of `storage` as text: a text as it is, a time as
// its tick count, anything else (or nothing) as "<none>".
std::string summaryValue(IStorage* storage, PROPID id) {
    PROPVARIANT value;
    PropVariantInit(&value);
    ComPtr<IPropertySetStorage> sets;
    ComPtr<IPropertyStorage> summary;
    if (SUCCEEDED(storage->QueryInterface(IID_IPropertySetStorage, sets.putVoid())) &&
        SUCCEEDED(sets->Open(FMTID_SummaryInformation, STGM_READ | STGM_SHARE_EXCLUSIVE,
                             summary.put()))) {
        PROPSPEC property{};
        property.ulKind = PRSPEC_PROPID;
        property.propid = id;
        summary->ReadMultiple(1, &property, &value);
    }
    const std::string text = value.vt == VT_LPSTR      ? value.pszVal
                             : value.vt == VT_FILETIME ? ticksText(value.filetime)
                                                       : "<none>";
    PropVariantClear(&value);
    return text;
}

TEST(MetadataLibrary, WritesWhatItCollectedAsSummaryInformation) {
    TemporaryDirectory folder;
    const std::wstring path = folder.file(L"ledger 2026.ac");
    test_support::writeFile(path, std::string(1234, 'x'));
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes));

    Context context{};
    ASSERT_NE(QVCollectMetaData(path.c_str(), context.data()), 0);
    ComPtr<IStorage> storage = memoryDocument();
    ASSERT_TRUE(storage);
    ASSERT_NE(QVWriteMetaData2(storage.get(), context.data()), 0);

    std::vector<std::string> written;
    for (PROPID id :
         {PIDSI_TITLE, PIDSI_COMMENTS, PIDSI_APPNAME, PIDSI_CREATE_DTM, PIDSI_LASTSAVE_DTM})
        written.push_back(summaryValue(storage.get(), id));
    EXPECT_EQ(written, (std::vector<std::string>{"ledger 2026.ac", "1234 bytes", "Quorvane",
                                                 ticksText(attributes.ftCreationTime),
                                                 ticksText(attributes.ftLastWriteTime)}));
}

TEST(MetadataLibrary, RefusesWhatItCannotCollectOrWrite) {
    TemporaryDirectory folder;
    const std::wstring path = folder.file(L"report.ac");
    test_support::writeFile(path, "X8.99");
    ComPtr<IStorage> storage = memoryDocument();
    ASSERT_TRUE(storage);
    Context context{};

    EXPECT_EQ(QVCollectMetaData(folder.file(L"missing.ac").c_str(), context.data()), 0);
    EXPECT_EQ(QVCollectMetaData(nullptr, context.data()), 0);
    EXPECT_EQ(QVCollectMetaData(path.c_str(), nullptr), 0);
    // Nothing collected yet, or collected and then cleared: nothing to write.
    EXPECT_EQ(QVWriteMetaData2(storage.get(), context.data()), 0);
    ASSERT_NE(QVCollectMetaData(path.c_str(), context.data()), 0);
    QVClearMetaData(context.data());
    EXPECT_EQ(QVWriteMetaData2(storage.get(), context.data()), 0);
    ASSERT_NE(QVCollectMetaData(path.c_str(), context.data()), 0);
    EXPECT_EQ(QVWriteMetaData2(nullptr, context.data()), 0);

    // The test switch makes either step fail on request.
    SetEnvironmentVariableW(L"QV_METADATA_FAIL", L"write");
    EXPECT_EQ(QVWriteMetaData2(storage.get(), context.data()), 0);
    SetEnvironmentVariableW(L"QV_METADATA_FAIL", L"collect");
    EXPECT_EQ(QVCollectMetaData(path.c_str(), context.data()), 0);
    SetEnvironmentVariableW(L"QV_METADATA_FAIL", nullptr);
    EXPECT_NE(QVWriteMetaData2(storage.get(), context.data()), 0);
    EXPECT_EQ(summaryValue(storage.get(), PIDSI_TITLE), "report.ac");
}

} // namespace
