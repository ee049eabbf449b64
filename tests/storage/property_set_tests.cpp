#include "storage_test_support.h"

#include <x64Quorpb32.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <comutil.h>
#include <support/task_memory.h>

#include <cstring>

namespace {

using support::ComPtr;

constexpr ULONGLONG kEmptyDate = 0x014F35A9A90CC000ULL;
constexpr ULONGLONG kOneSecond = 10000000;

using storage_test::byId;
using storage_test::named;
using test_support::ticksOf;

FILETIME dateOf(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0) {
    SYSTEMTIME system = {year, month, 0, day, hour, minute, second, 0};
    FILETIME time{};
    EXPECT_TRUE(SystemTimeToFileTime(&system, &time));
    return time;
}

class PropertySetTest : public storage_test::DocumentTest {
protected:
    void SetUp() override {
        DocumentTest::SetUp();
        userDefined_ = open(FMTID_UserDefinedProperties);
        summary_ = open(FMTID_SummaryInformation);
        ASSERT_TRUE(userDefined_ && summary_);
    }
    ComPtr<IPropertyStorage> open(REFFMTID format) {
        ComPtr<IPropertyStorage> set;
        EXPECT_EQ(QVStgOpenPropertyStorage(document_.get(), format, set.put()), S_OK);
        return set;
    }
    support::UniquePropVariant readRaw(IPropertyStorage* set, void* property, HRESULT* result) {
        support::UniquePropVariant value;
        *result = QVStgReadProperty(set, property, value.put());
        return value;
    }

    ComPtr<IPropertyStorage> userDefined_, summary_;
};

TEST_F(PropertySetTest, TypedValuesRoundTripInTheUserDefinedSet) {
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Count"), 42L), S_OK);
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Ratio"), 2.5), S_OK);
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Narrow"), "caf\xe9"), S_OK);
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Wide"), L"w\x20ac"), S_OK);
    _bstr_t text(L"from a bstr");
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Bstr"), &text), S_OK);
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Unsigned"), 4000000000u), S_OK);

    long count = 0;
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"Count"), &count), S_OK);
    EXPECT_EQ(count, 42);
    double ratio = 0;
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"Ratio"), &ratio), S_OK);
    EXPECT_EQ(ratio, 2.5);
    char narrow[64];
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"Narrow"), narrow), S_OK);
    EXPECT_STREQ(narrow, "caf\xe9");
    wchar_t wide[64];
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"Narrow"), wide), S_OK);
    EXPECT_STREQ(wide, L"caf\x00e9");
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"Wide"), wide), S_OK);
    EXPECT_STREQ(wide, L"w\x20ac");
    _bstr_t readBack;
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"Bstr"), &readBack), S_OK);
    EXPECT_STREQ(static_cast<const wchar_t*>(readBack), L"from a bstr");

    // Text is stored wide; named properties get identifiers from 256 up.
    HRESULT hr = E_FAIL;
    EXPECT_EQ(readRaw(userDefined_.get(), named(L"Narrow"), &hr)->vt, VT_LPWSTR);
    EXPECT_EQ(hr, S_OK);
    const auto stored = readRaw(userDefined_.get(), named(L"Unsigned"), &hr);
    EXPECT_EQ(stored->vt, VT_UI4);
    EXPECT_EQ(stored->ulVal, 4000000000u);
    const auto listed = storage_test::listedProperties(userDefined_.get());
    EXPECT_EQ(listed.size(), 6u);
    for (const auto& [id, name] : listed)
        EXPECT_GE(id, 256u) << test_support::narrow(name);
}

TEST_F(PropertySetTest, SummaryInformationIsNamedByIdentifier) {
    ASSERT_EQ(QVStgWriteProperty(summary_.get(), byId(PIDSI_TITLE), "Annual accounts"), S_OK);
    ASSERT_EQ(QVStgWriteProperty(summary_.get(), byId(PIDSI_PAGECOUNT), 12L), S_OK);
    char title[64];
    EXPECT_EQ(QVStgReadProperty(summary_.get(), byId(PIDSI_TITLE), title), S_OK);
    EXPECT_STREQ(title, "Annual accounts");
    long pages = 0;
    EXPECT_EQ(QVStgReadProperty(summary_.get(), byId(PIDSI_PAGECOUNT), &pages), S_OK);
    EXPECT_EQ(pages, 12);
}

TEST_F(PropertySetTest, MissingPropertiesKeepTheInitialValues) {
    long number = 7;
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"None"), &number), S_FALSE);
    EXPECT_EQ(number, 0);
    char text[8] = "xxxxxxx";
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"None"), text), S_FALSE);
    EXPECT_STREQ(text, "");
    FILETIME time = test_support::fileTimeOf(5);
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"None"), &time), S_FALSE);
    EXPECT_EQ(ticksOf(time), kEmptyDate);
    GUID id = {1, 2, 3, {4}};
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"None"), &id), S_FALSE);
    EXPECT_TRUE(IsEqualGUID(id, GUID{}));
}

TEST_F(PropertySetTest, FlagsMapToVariantBooleans) {
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"On"), 5), S_OK);
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Off"), 0), S_OK);
    short other = 1;
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Other"), VT_I2, &other, false), S_OK);
    const struct {
        const wchar_t* name;
        int expected;
    } cases[] = {{L"On", 1}, {L"Off", 0}, {L"Other", 0}};
    for (const auto& row : cases) {
        int flag = -1;
        EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(row.name), &flag), S_OK);
        EXPECT_EQ(flag, row.expected) << test_support::narrow(row.name);
    }
    HRESULT hr;
    const auto stored = readRaw(userDefined_.get(), named(L"On"), &hr);
    EXPECT_EQ(stored->vt, VT_BOOL);
    EXPECT_EQ(stored->boolVal, VARIANT_TRUE);
}

TEST_F(PropertySetTest, TheEmptyDateDeletes) {
    FILETIME time = dateOf(2024, 5, 6);
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Due"), &time), S_OK);
    FILETIME empty = test_support::fileTimeOf(kEmptyDate);
    EXPECT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Due"), &empty), S_OK);
    long ignored;
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"Due"), &ignored), S_FALSE);
    // Deleting a property that does not exist is not an error either.
    EXPECT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Never"), &empty), S_OK);
}

TEST_F(PropertySetTest, TheLockdownDateIsStoredOneSecondEarlier) {
    const FILETIME newYear = dateOf(2020, 1, 1);
    FILETIME written = newYear;
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"QVLockdownDate"), &written), S_OK);
    EXPECT_EQ(ticksOf(written), ticksOf(newYear) - kOneSecond);

    HRESULT hr;
    const auto stored = readRaw(userDefined_.get(), named(L"QVLockdownDate"), &hr);
    EXPECT_EQ(stored->vt, VT_FILETIME);
    EXPECT_EQ(ticksOf(stored->filetime), ticksOf(dateOf(2019, 12, 31, 23, 59, 59)));

    FILETIME read{};
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"QVLockdownDate"), &read), S_OK);
    EXPECT_EQ(ticksOf(read), ticksOf(newYear));

    // Another case of the name is another property, kept as written.
    FILETIME other = newYear;
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Due"), &other), S_OK);
    EXPECT_EQ(ticksOf(other), ticksOf(newYear));
}

TEST_F(PropertySetTest, OtherSetsAreRefusedUntouched) {
    ComPtr<IPropertyStorage> documentSummary = open(FMTID_DocSummaryInformation);
    ASSERT_TRUE(documentSummary);
    long value = 1;
    EXPECT_EQ(QVStgWriteProperty(documentSummary.get(), byId(PIDDSI_LINECOUNT), value),
              E_UNEXPECTED);
    EXPECT_EQ(QVStgReadProperty(documentSummary.get(), byId(PIDDSI_LINECOUNT), &value),
              E_UNEXPECTED);
    EXPECT_EQ(QVStgDeleteProperty(documentSummary.get(), byId(PIDDSI_LINECOUNT)), E_UNEXPECTED);
    EXPECT_TRUE(storage_test::listedProperties(documentSummary.get()).empty());
}

TEST_F(PropertySetTest, RefusesBadArgumentsBeforeTouchingTheSet) {
    long value = 1;
    EXPECT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Wide"), VT_UI8, &value, false),
              E_INVALIDARG);
    EXPECT_EQ(
        QVStgWriteProperty(userDefined_.get(), named(L"X"), static_cast<const char*>(nullptr)),
        E_POINTER);
    EXPECT_EQ(QVStgWriteProperty(nullptr, named(L"X"), 1L), E_POINTER);
    EXPECT_EQ(QVStgWriteProperty(userDefined_.get(), nullptr, 1L), E_POINTER);
    EXPECT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"X"), static_cast<FILETIME*>(nullptr)),
              E_POINTER);
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"X"), static_cast<long*>(nullptr)),
              E_POINTER);
    EXPECT_EQ(QVStgDeleteMultipleProperties(userDefined_.get(), 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(QVStgOpenPropertyStorage(nullptr, FMTID_UserDefinedProperties, nullptr), E_POINTER);
    _bstr_t empty;
    EXPECT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"X"), &empty), E_POINTER);
}

TEST_F(PropertySetTest, TextReadersLeaveOtherStoredTypesEmpty) {
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Number"), 42L), S_OK);
    char text[16] = "unchanged";
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"Number"), text), S_OK);
    EXPECT_STREQ(text, "");
    wchar_t wide[16] = L"unchanged";
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"Number"), wide), S_OK);
    EXPECT_STREQ(wide, L"");
}

TEST_F(PropertySetTest, IdentifiersTravelAsRegistryText) {
    GUID written = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Id"), &written), S_OK);
    wchar_t text[64];
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"Id"), text), S_OK);
    EXPECT_STREQ(text, L"{12345678-9ABC-DEF0-0102-030405060708}");
    GUID read{};
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"Id"), &read), S_OK);
    EXPECT_TRUE(IsEqualGUID(read, written));
}

TEST_F(PropertySetTest, CopiesBetweenUserDefinedSetsOnly) {
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Alpha"), 1L), S_OK);
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Beta"), L"two"), S_OK);
    ComPtr<IStorage> other = storage_test::createDocument(folder_.file(L"other.cfs"));
    ComPtr<IPropertyStorage> target;
    ASSERT_EQ(QVStgOpenPropertyStorage(other.get(), FMTID_UserDefinedProperties, target.put()),
              S_OK);
    ASSERT_EQ(QVStgWriteProperty(target.get(), named(L"Kept"), 3L), S_OK);

    EXPECT_EQ(QVStgCopyPropertyStorage(target.get(), summary_.get()), E_UNEXPECTED);
    EXPECT_EQ(QVStgCopyPropertyStorage(target.get(), userDefined_.get()), S_OK);
    long alpha = 0, kept = 0;
    wchar_t beta[8];
    EXPECT_EQ(QVStgReadProperty(target.get(), named(L"Alpha"), &alpha), S_OK);
    EXPECT_EQ(QVStgReadProperty(target.get(), named(L"Beta"), beta), S_OK);
    EXPECT_EQ(QVStgReadProperty(target.get(), named(L"Kept"), &kept), S_OK);
    EXPECT_EQ(alpha, 1);
    EXPECT_STREQ(beta, L"two");
    EXPECT_EQ(kept, 3);
}

TEST_F(PropertySetTest, ANameInAnotherCaseIsTheSameProperty) {
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Amount"), 1L), S_OK);
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"AMOUNT"), 2L), S_OK);
    long value = 0;
    EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(L"amount"), &value), S_OK);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(storage_test::listedProperties(userDefined_.get()).size(), 1u);
}

TEST_F(PropertySetTest, CommitsOnlyWhenAsked) {
    long value = 9;
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Saved"), VT_I4, &value, true), S_OK);
    userDefined_.reset();
    summary_.reset();
    document_.reset();
    ComPtr<IStorage> reopened =
        storage_test::openDocument(folder_.file(L"doc.cfs"), STGM_READ | STGM_SHARE_EXCLUSIVE);
    ASSERT_TRUE(reopened);
    ComPtr<IPropertySetStorage> sets;
    ASSERT_EQ(reopened.as(&sets), S_OK);
    ComPtr<IPropertyStorage> set;
    ASSERT_EQ(sets->Open(FMTID_UserDefinedProperties, STGM_READ | STGM_SHARE_EXCLUSIVE, set.put()),
              S_OK);
    long read = 0;
    EXPECT_EQ(QVStgReadProperty(set.get(), named(L"Saved"), &read), S_OK);
    EXPECT_EQ(read, 9);
}

} // namespace
