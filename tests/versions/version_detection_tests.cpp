#include "../storage/storage_test_support.h"

#include <support/com_ptr.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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
                QVStgWriteProperty(set.get(), const_cast<wchar_t*>(L"QVFileVersion"), *version),
                S_OK);
        else
            EXPECT_EQ(QVStgWriteProperty(set.get(), const_cast<wchar_t*>(L"Owner"), L"x"), S_OK);
        EXPECT_EQ(set->Commit(STGC_DEFAULT), S_OK);
        set.reset();
        EXPECT_EQ(document->Commit(STGC_DEFAULT), S_OK);
        return path;
    }
    std::wstring flat(const wchar_t* name, const std::string& bytes) {
        test_support::writeFile(folder_.file(name), bytes);
        return folder_.file(name);
    }
    static std::string text(const std::wstring& path, HRESULT* result) {
        char buffer[20];
        std::memset(buffer, '#', sizeof buffer);
        *result = GetQVVersionFromFileW(path.c_str(), buffer);
        return std::string(buffer, strnlen(buffer, sizeof buffer));
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
    for (const auto& row : cases) {
        HRESULT hr = E_UNEXPECTED;
        EXPECT_EQ(text(row.path, &hr), row.text) << row.label;
        EXPECT_EQ(hr, row.result) << row.label;
    }
}

TEST_F(VersionDetectionTest, RefusesWhatHoldsNoVersion) {
    HRESULT hr;
    text(flat(L"packed.ac_", "X8.99 compressed flat bytes"), &hr);
    EXPECT_EQ(hr, E_FAIL);
    text(flat(L"short.ac", "X8."), &hr);
    EXPECT_EQ(hr, E_FAIL);
    text(compound(L"short.ac", "X8", nullptr), &hr);
    EXPECT_EQ(hr, E_FAIL);
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

TEST_F(VersionDetectionTest, WaitsForAWriterThatHoldsTheDocument) {
    const std::wstring path = flat(L"held.ac", "X8.97");
    test_support::HeldFile held(path, 600);
    HRESULT hr;
    EXPECT_EQ(text(path, &hr), "8.97");
    EXPECT_EQ(hr, S_OK);
}

TEST_F(VersionDetectionTest, ReadsStreamsFromTheirStart) {
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    ULONG written;
    stream->Write("X8.95 flat", 10, &written); // left at its end
    char buffer[20] = {};
    EXPECT_EQ(GetQVVersionFromStream(stream.get(), buffer), S_OK);
    EXPECT_STREQ(buffer, "8.95");

    ComPtr<IStream> shortStream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, shortStream.put()), S_OK);
    shortStream->Write("X8", 2, &written);
    EXPECT_EQ(GetQVVersionFromStream(shortStream.get(), buffer), E_FAIL);
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
