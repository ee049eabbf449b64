#include "storage_test_support.h"

#include <support/com_ptr.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using support::ComPtr;

using StreamTest = storage_test::DocumentTest;

TEST_F(StreamTest, PacksAndUnpacksFilesOfEverySize) {
    for (const size_t size :
         {size_t{0}, size_t{1023}, size_t{1024}, size_t{2048}, size_t{1} << 20}) {
        SCOPED_TRACE(size);
        const std::string content = test_support::patternBytes(size);
        test_support::writeFile(folder_.file(L"in.bin"), content);
        // A longer old content must not survive behind the new bytes.
        storage_test::writeStream(document_.get(), L"Packed",
                                  test_support::patternBytes(size + 3000));
        ASSERT_EQ(QVStgPackFile(document_.get(), L"Packed", folder_.narrowFile(L"in.bin").c_str()),
                  0);
        EXPECT_EQ(storage_test::streamContent(document_.get(), L"Packed"), content);
        ASSERT_EQ(
            QVStgUnpackFile(document_.get(), L"Packed", folder_.narrowFile(L"out.bin").c_str()), 0);
        EXPECT_EQ(test_support::readFile(folder_.file(L"out.bin")), content);
    }
}

TEST_F(StreamTest, PackingNeedsTheFileForItself) {
    test_support::writeFile(folder_.file(L"held.bin"), "data");
    {
        test_support::HeldFile held(folder_.file(L"held.bin"), 500);
        EXPECT_EQ(QVStgPackFile(document_.get(), L"P", folder_.narrowFile(L"held.bin").c_str()), 1);
    }
    EXPECT_EQ(QVStgPackFile(document_.get(), L"P", folder_.narrowFile(L"missing.bin").c_str()), 1);
    EXPECT_EQ(QVStgPackFile(nullptr, L"P", "x"), -1);
    EXPECT_EQ(QVStgUnpackFile(document_.get(), L"Missing", folder_.narrowFile(L"out.bin").c_str()),
              1);
    EXPECT_FALSE(test_support::fileExists(folder_.file(L"out.bin")));
}

TEST_F(StreamTest, PackingAndUnpackingNeedWritableFiles) {
    // Both open their file for writing: a read-only source is refused like a held one, and a
    // read-only target is not replaced.
    if (test_support::readOnlyFilesAreWritable(folder_))
        GTEST_SKIP() << "this process may write read-only files";
    const std::wstring source = folder_.file(L"source.bin");
    test_support::writeFile(source, "data");
    SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(QVStgPackFile(document_.get(), L"P", folder_.narrowFile(L"source.bin").c_str()), 1);
    storage_test::writeStream(document_.get(), L"Q", "stream");
    EXPECT_EQ(QVStgUnpackFile(document_.get(), L"Q", folder_.narrowFile(L"source.bin").c_str()),
              -1);
    EXPECT_EQ(test_support::readFile(source), "data");
    SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(StreamTest, OpensOrCreatesStreams) {
    ComPtr<IStream> stream;
    ASSERT_EQ(QVStgOpenStream(document_.get(), L"Fresh", stream.put()), S_OK);
    ULONG written = 0;
    ASSERT_EQ(stream->Write("abc", 3, &written), S_OK);
    stream.reset();
    ASSERT_EQ(QVStgOpenStream(document_.get(), L"Fresh", stream.put()), S_OK);
    char read[4] = {};
    stream->Read(read, 3, &written);
    EXPECT_STREQ(read, "abc");
    EXPECT_EQ(QVStgOpenStream(document_.get(), nullptr, stream.put()), E_POINTER);
}

TEST_F(StreamTest, CopiesStreamsExactlyAndRemovesWhatTheSourceLacks) {
    ComPtr<IStorage> target = storage_test::createDocument(folder_.file(L"target.cfs"));
    storage_test::writeStream(document_.get(), L"Data", "short");
    storage_test::writeStream(target.get(), L"Data", "a much longer old content");
    storage_test::writeStream(target.get(), L"Stale", "gone soon");

    EXPECT_EQ(QVStgCopyStream(L"Data", target.get(), document_.get()), S_OK);
    EXPECT_EQ(storage_test::streamContent(target.get(), L"Data"), "short");
    EXPECT_EQ(QVStgCopyStream(L"Stale", target.get(), document_.get()), STG_E_FILENOTFOUND);
    EXPECT_EQ(storage_test::streamContent(target.get(), L"Stale"), "<missing>");
}

TEST_F(StreamTest, CopiesTheSummaryStreamsOrNothing) {
    ComPtr<IStorage> target = storage_test::createDocument(folder_.file(L"target.cfs"));
    EXPECT_EQ(QVStgCopyMetaData(target.get(), document_.get()), STG_E_FILENOTFOUND);
    EXPECT_EQ(storage_test::streamContent(target.get(), L"\005DocumentSummaryInformation"),
              "<missing>");

    {
        const auto summary = storage_test::propertySet(document_.get(), FMTID_SummaryInformation);
        const auto user = storage_test::propertySet(document_.get(), FMTID_UserDefinedProperties);
        ASSERT_EQ(QVStgWriteProperty(summary.get(), storage_test::byId(PIDSI_TITLE), "Ledger"),
                  S_OK);
        ASSERT_EQ(QVStgWriteProperty(user.get(), storage_test::named(L"Owner"), L"Finance"), S_OK);
        ASSERT_EQ(summary->Commit(STGC_DEFAULT), S_OK);
        ASSERT_EQ(user->Commit(STGC_DEFAULT), S_OK);
    }

    storage_test::writeStream(target.get(), L"\005SummaryInformation", std::string(5000, 'x'));
    ASSERT_EQ(QVStgCopyMetaData(target.get(), document_.get()), S_OK);
    for (const wchar_t* name : {L"\005SummaryInformation", L"\005DocumentSummaryInformation"})
        EXPECT_EQ(storage_test::streamContent(target.get(), name),
                  storage_test::streamContent(document_.get(), name));
    const auto copied = storage_test::propertySet(target.get(), FMTID_UserDefinedProperties);
    wchar_t owner[16];
    EXPECT_EQ(QVStgReadProperty(copied.get(), storage_test::named(L"Owner"), owner), S_OK);
    EXPECT_STREQ(owner, L"Finance");
}

} // namespace
