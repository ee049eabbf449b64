#include "../storage/storage_test_support.h"

#include <support/com_ptr.h>
#include <support/scope_exit.h>
#include <support/unique_resource.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace {

using support::ComPtr;
using test_support::TemporaryDirectory;

class VersionDetectionTest : public ::testing::Test {
protected:
    // A compound document whose stream "QuorvaneDocument" holds `flat`, with a user-defined
    // set that holds "QVFileVersion" when a version is given.
    std::wstring compound(const wchar_t* name, const std::string& flat, const double* version) {
        const std::wstring path = folder_.file(name);
        ComPtr<IStorage> document = storage_test::createDocument(path);
        storage_test::writeStream(document.get(), L"QuorvaneDocument", flat);
        // The user-defined set exists either way; without a version it holds another property.
        ComPtr<IPropertyStorage> set;
        EXPECT_EQ(QVStgOpenPropertyStorage(document.get(), FMTID_UserDefinedProperties, set.put()),
                  S_OK);
        if (version)
            EXPECT_EQ(
                QVStgWriteProperty(set.get(), storage_test::named(L"QVFileVersion"), *version),
                S_OK);
        else
            EXPECT_EQ(QVStgWriteProperty(set.get(), storage_test::named(L"Owner"), L"x"), S_OK);
        EXPECT_EQ(set->Commit(STGC_DEFAULT), S_OK);
        set.reset();
        EXPECT_EQ(document->Commit(STGC_DEFAULT), S_OK);
        return path;
    }
    std::wstring flat(const wchar_t* name, const std::string& bytes) {
        test_support::writeFile(folder_.file(name), bytes);
        return folder_.file(name);
    }
    // The text reader's result and the text it left.
    static std::pair<HRESULT, std::string> text(const std::wstring& path) {
        char buffer[20];
        std::memset(buffer, '#', sizeof buffer);
        const HRESULT hr = GetQVVersionFromFileW(path.c_str(), buffer);
        return {hr, std::string(buffer, strnlen(buffer, sizeof buffer))};
    }
    TemporaryDirectory folder_;
};

TEST_F(VersionDetectionTest, ReadsEachShapeOfDocument) {
    const double eightNine = 8.9, tenAndHalf = 10.5;
    const struct {
        const char* label;
        std::wstring path;
        HRESULT result;
        const char* text;
    } cases[] = {
        {"flat", flat(L"flat.ac", "X8.99 rest of the document"), S_OK, "8.99"},
        {"compound", compound(L"report.ac", "X8.96 body", &tenAndHalf), S_OK, "8.96"},
        {"compressed", compound(L"report.AC_", "X8.96 body", &eightNine), S_OK, "8.90"},
        {"compressed, ten and a half", compound(L"big.ac_", "X8.96", &tenAndHalf), S_OK, "10.50"},
        {"compressed without version", compound(L"none.ac_", "X8.96", nullptr), S_FALSE, "0.00"},
    };
    for (const auto& row : cases)
        EXPECT_EQ(text(row.path), std::make_pair(row.result, std::string(row.text))) << row.label;
}

TEST_F(VersionDetectionTest, RefusesWhatHoldsNoVersion) {
    EXPECT_EQ(text(flat(L"packed.ac_", "X8.99 compressed flat bytes")).first, E_FAIL);
    EXPECT_EQ(text(flat(L"short.ac", "X8.")).first, E_FAIL);
    EXPECT_EQ(text(compound(L"short.ac", "X8", nullptr)).first, E_FAIL);
    char untouched[20] = "keep";
    EXPECT_EQ(GetQVVersionFromFileWT(folder_.file(L"missing.ac").c_str(), untouched), E_FAIL);
    EXPECT_STREQ(untouched, "keep");
    EXPECT_EQ(GetQVVersionFromFileWT(compound(L"none.ac_", "X8.96", nullptr).c_str(), untouched),
              S_FALSE);
    EXPECT_STREQ(untouched, "keep");
    EXPECT_EQ(GetQVVersionFromFileW(nullptr, untouched), E_POINTER);
}

TEST_F(VersionDetectionTest, NumbersParseInTheCLocale) {
    double version = -1;
    EXPECT_TRUE(GetQVVersionFromFileW(flat(L"flat.ac", "X8.99").c_str(), &version));
    EXPECT_EQ(version, GetMaxUserFriendlyCompatibleFileVersion());
    EXPECT_TRUE(
        GetQVVersionFromFile(test_support::narrow(folder_.file(L"flat.ac")).c_str(), &version));
    EXPECT_EQ(version, 8.99);
    EXPECT_TRUE(GetQVVersionFromFileW(compound(L"none.ac_", "X", nullptr).c_str(), &version));
    EXPECT_EQ(version, 0.0);
    EXPECT_FALSE(GetQVVersionFromFileW(folder_.file(L"missing.ac").c_str(), &version));
    EXPECT_EQ(version, 0.0);
}

TEST_F(VersionDetectionTest, NumbersAndTextsIgnoreTheUserLocale) {
    // An application that takes the user's locale, here one whose decimal separator is a
    // comma, still reads 8.99 as 8.99 and formats 8.9 as 8.90.
    const std::string previous = setlocale(LC_ALL, nullptr);
    ASSERT_NE(setlocale(LC_ALL, "German_Germany.1252"), nullptr);
    const support::ScopeExit restore([&] { setlocale(LC_ALL, previous.c_str()); });
    ASSERT_EQ(*localeconv()->decimal_point, ',');
    ASSERT_EQ(std::atof("8.99"), 8.0); // what a parser in the user's locale would see

    const double eightNine = 8.9;
    double version = 0;
    EXPECT_TRUE(GetQVVersionFromFileW(flat(L"flat.ac", "X8.99").c_str(), &version));
    EXPECT_EQ(version, 8.99);
    EXPECT_TRUE(GetQVVersionFromFileW(compound(L"report.ac_", "X", &eightNine).c_str(), &version));
    EXPECT_EQ(version, 8.9);
    EXPECT_EQ(text(folder_.file(L"report.ac_")), std::make_pair(S_OK, std::string("8.90")));
}

TEST_F(VersionDetectionTest, SharesTheDocumentAsTheCallerAsks) {
    // A writer holds the document open and lets others read and write: the Ex readers that
    // share as much get the version at once.
    const std::wstring path = flat(L"shared.ac", "X8.94 body");
    support::UniqueFile writer(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer.valid());
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
    char buffer[20] = {};
    EXPECT_EQ(GetQVVersionFromFileWEx(path.c_str(), buffer, kShareAll), S_OK);
    EXPECT_STREQ(buffer, "8.94");
    std::memset(buffer, 0, sizeof buffer);
    EXPECT_EQ(GetQVVersionFromFileWTEx(path.c_str(), buffer, kShareAll), S_OK);
    EXPECT_STREQ(buffer, "8.94");
    double version = 0;
    EXPECT_TRUE(GetQVVersionFromFileEx(test_support::narrow(path).c_str(), &version, kShareAll));
    EXPECT_EQ(version, 8.94);
    EXPECT_TRUE(GetQVVersionFromFileWEx(path.c_str(), &version, kShareAll));
    EXPECT_EQ(version, 8.94);
}

TEST_F(VersionDetectionTest, WaitsForAWriterThatHoldsTheDocument) {
    const std::wstring path = flat(L"held.ac", "X8.97");
    const test_support::ShortHeldFileWaits waits(200, 5);
    const test_support::HeldFile held(path, 100);
    EXPECT_EQ(text(path), std::make_pair(S_OK, std::string("8.97")));
}

// A memory stream holding `bytes`, left at its end.
ComPtr<IStream> streamOf(const std::string& bytes) {
    ComPtr<IStream> stream;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    ULONG written = 0;
    EXPECT_EQ(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written), S_OK);
    return stream;
}

TEST_F(VersionDetectionTest, ReadsStreamsFromTheirStart) {
    char buffer[20] = {};
    EXPECT_EQ(GetQVVersionFromStream(streamOf("X8.95 flat").get(), buffer), S_OK);
    EXPECT_STREQ(buffer, "8.95");
    // A whole compound document in a stream is read through its document stream.
    const double eightNine = 8.9;
    const std::string document =
        test_support::readFile(compound(L"in-stream.ac", "X8.93 body", &eightNine));
    EXPECT_EQ(GetQVVersionFromStream(streamOf(document).get(), buffer), S_OK);
    EXPECT_STREQ(buffer, "8.93");
    EXPECT_EQ(GetQVVersionFromStream(streamOf("X8").get(), buffer), E_FAIL);
    EXPECT_EQ(GetQVVersionFromStream(nullptr, buffer), E_POINTER);
}

TEST(IsFileCompressed, LooksAtTheExtensionInAnyCase) {
    const struct {
        const char* path;
        int expected;
    } cases[] = {{"C:\\data\\file.ac_", 1}, {"FILE.AC_", 1},          {"file.ac", 0},
                 {"C:\\data\\file", 0},     {"C:\\dir.ac_\\file", 0}, {"", 0}};
    for (const auto& row : cases)
        EXPECT_EQ(IsFileCompressed(row.path), row.expected) << row.path;
}

} // namespace
