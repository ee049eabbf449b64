#include "storage_test_support.h"

#include <x64Quorpb32.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <comutil.h>
#include <support/task_memory.h>

#include <cstring>
#include <utility>

namespace {

using support::ComPtr;

constexpr ULONGLONG kEmptyDate = 0x014F35A9A90CC000ULL;
constexpr ULONGLONG kOneSecond = 10000000;

using storage_test::byId;
using storage_test::named;
using test_support::ticksOf;

ULONGLONG ticksOfDate(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0,
                      WORD second = 0) {
    SYSTEMTIME system = {year, month, 0, day, hour, minute, second, 0};
    FILETIME time{};
    EXPECT_TRUE(SystemTimeToFileTime(&system, &time));
    return ticksOf(time);
}

// What a typed reader gives: its result and the value it left, starting from `value`.
template <typename T>
std::pair<HRESULT, T> read(IPropertyStorage* set, void* property, T value) {
    const HRESULT hr = QVStgReadProperty(set, property, &value);
    return {hr, value};
}
std::pair<HRESULT, ULONGLONG> readTicks(IPropertyStorage* set, void* property) {
    const auto [hr, time] = read(set, property, test_support::fileTimeOf(5));
    return {hr, ticksOf(time)};
}
std::pair<HRESULT, std::string> readNarrow(IPropertyStorage* set, void* property) {
    char text[64] = "unchanged";
    const HRESULT hr = QVStgReadProperty(set, property, text);
    return {hr, text};
}
std::pair<HRESULT, std::wstring> readWide(IPropertyStorage* set, void* property) {
    wchar_t text[64] = L"unchanged";
    const HRESULT hr = QVStgReadProperty(set, property, text);
    return {hr, text};
}
template <typename T>
std::pair<HRESULT, T> found(T value) {
    return {S_OK, value};
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
    // The stored type and, for the types asked about here, the stored bits.
    std::pair<VARTYPE, ULONGLONG> stored(const wchar_t* name) {
        support::UniquePropVariant value;
        EXPECT_EQ(QVStgReadProperty(userDefined_.get(), named(name), value.put()), S_OK);
        const ULONGLONG bits = value->vt == VT_FILETIME ? ticksOf(value->filetime)
                               : value->vt == VT_BOOL   ? static_cast<USHORT>(value->boolVal)
                                                        : value->ulVal;
        return {value->vt, bits};
    }

    ComPtr<IPropertyStorage> userDefined_, summary_;
};

TEST_F(PropertySetTest, TypedValuesRoundTripInTheUserDefinedSet) {
    IPropertyStorage* const set = userDefined_.get();
    _bstr_t text(L"from a bstr");
    GUID id = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    for (const HRESULT hr : {QVStgWriteProperty(set, named(L"Count"), 42L),
                             QVStgWriteProperty(set, named(L"Ratio"), 2.5),
                             QVStgWriteProperty(set, named(L"Narrow"), "caf\xe9"),
                             QVStgWriteProperty(set, named(L"Wide"), L"w\x20ac"),
                             QVStgWriteProperty(set, named(L"Bstr"), &text),
                             QVStgWriteProperty(set, named(L"Unsigned"), 4000000000u),
                             QVStgWriteProperty(set, named(L"Id"), &id)})
        ASSERT_EQ(hr, S_OK);

    EXPECT_EQ(read(set, named(L"Count"), 0L), found(42L));
    EXPECT_EQ(read(set, named(L"Ratio"), 0.0), found(2.5));
    EXPECT_EQ(readNarrow(set, named(L"Narrow")), found(std::string("caf\xe9")));
    EXPECT_EQ(readWide(set, named(L"Narrow")), found(std::wstring(L"caf\x00e9")));
    EXPECT_EQ(readWide(set, named(L"Wide")), found(std::wstring(L"w\x20ac")));
    _bstr_t readBack;
    EXPECT_EQ(QVStgReadProperty(set, named(L"Bstr"), &readBack), S_OK);
    EXPECT_STREQ(static_cast<const wchar_t*>(readBack), L"from a bstr");
    // Identifiers travel as registry text, and read back whole.
    EXPECT_EQ(readWide(set, named(L"Id")),
              found(std::wstring(L"{12345678-9ABC-DEF0-0102-030405060708}")));
    EXPECT_EQ(read(set, named(L"Id"), GUID{}), found(id));
    // The text readers leave other stored types empty.
    EXPECT_EQ(readNarrow(set, named(L"Count")), found(std::string()));
    EXPECT_EQ(readWide(set, named(L"Count")), found(std::wstring()));

    // Text is stored wide; named properties get identifiers from 256 up.
    EXPECT_EQ(stored(L"Narrow").first, VT_LPWSTR);
    EXPECT_EQ(stored(L"Unsigned"), std::make_pair(VARTYPE{VT_UI4}, 4000000000ULL));
    const auto listed = storage_test::listedProperties(set);
    EXPECT_EQ(listed.size(), 7u);
    for (const auto& [propertyId, name] : listed)
        EXPECT_GE(propertyId, 256u) << test_support::narrow(name);
}

TEST_F(PropertySetTest, SummaryInformationIsNamedByIdentifier) {
    ASSERT_EQ(QVStgWriteProperty(summary_.get(), byId(PIDSI_TITLE), "Annual accounts"), S_OK);
    ASSERT_EQ(QVStgWriteProperty(summary_.get(), byId(PIDSI_PAGECOUNT), 12L), S_OK);
    EXPECT_EQ(readNarrow(summary_.get(), byId(PIDSI_TITLE)), found(std::string("Annual accounts")));
    EXPECT_EQ(read(summary_.get(), byId(PIDSI_PAGECOUNT), 0L), found(12L));
}

TEST_F(PropertySetTest, MissingPropertiesReadAsEmptyValues) {
    IPropertyStorage* const set = userDefined_.get();
    EXPECT_EQ(read(set, named(L"None"), 7L), std::make_pair(S_FALSE, 0L));
    EXPECT_EQ(readNarrow(set, named(L"None")), std::make_pair(S_FALSE, std::string()));
    EXPECT_EQ(readTicks(set, named(L"None")), std::make_pair(S_FALSE, kEmptyDate));
    EXPECT_EQ(read(set, named(L"None"), GUID{1, 2, 3, {4}}), std::make_pair(S_FALSE, GUID{}));
}

TEST_F(PropertySetTest, FlagsMapToVariantBooleans) {
    IPropertyStorage* const set = userDefined_.get();
    short other = 1;
    ASSERT_EQ(QVStgWriteProperty(set, named(L"On"), 5), S_OK);
    ASSERT_EQ(QVStgWriteProperty(set, named(L"Off"), 0), S_OK);
    ASSERT_EQ(QVStgWriteProperty(set, named(L"Other"), VT_I2, &other, false), S_OK);
    EXPECT_EQ(read(set, named(L"On"), -1), found(1));
    EXPECT_EQ(read(set, named(L"Off"), -1), found(0));
    EXPECT_EQ(read(set, named(L"Other"), -1), found(0));
    EXPECT_EQ(stored(L"On"), std::make_pair(VARTYPE{VT_BOOL}, ULONGLONG{0xFFFF}));
}

TEST_F(PropertySetTest, TheEmptyDateDeletes) {
    FILETIME time = test_support::fileTimeOf(ticksOfDate(2024, 5, 6));
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Due"), &time), S_OK);
    FILETIME empty = test_support::fileTimeOf(kEmptyDate);
    EXPECT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Due"), &empty), S_OK);
    EXPECT_EQ(read(userDefined_.get(), named(L"Due"), 0L).first, S_FALSE);
    // Deleting a property that does not exist is not an error either.
    EXPECT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Never"), &empty), S_OK);
}

TEST_F(PropertySetTest, TheLockdownDateIsStoredOneSecondEarlier) {
    const ULONGLONG newYear = ticksOfDate(2020, 1, 1);
    FILETIME written = test_support::fileTimeOf(newYear);
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"QVLockdownDate"), &written), S_OK);
    EXPECT_EQ(ticksOf(written), newYear - kOneSecond);
    EXPECT_EQ(stored(L"QVLockdownDate"),
              std::make_pair(VARTYPE{VT_FILETIME}, ticksOfDate(2019, 12, 31, 23, 59, 59)));
    EXPECT_EQ(readTicks(userDefined_.get(), named(L"QVLockdownDate")), found(newYear));

    // Another name is another property, kept as written.
    FILETIME other = test_support::fileTimeOf(newYear);
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Due"), &other), S_OK);
    EXPECT_EQ(ticksOf(other), newYear);
}

TEST_F(PropertySetTest, RefusesOtherSetsAndBadArgumentsBeforeTouchingTheSet) {
    ComPtr<IPropertyStorage> documentSummary = open(FMTID_DocSummaryInformation);
    ASSERT_TRUE(documentSummary);
    IPropertyStorage* const other = documentSummary.get();
    IPropertyStorage* const set = userDefined_.get();
    long value = 1;
    _bstr_t empty;
    const struct {
        const char* label;
        HRESULT result, expected;
    } cases[] = {
        // clang-format off
        {"write to another set", QVStgWriteProperty(other, byId(PIDDSI_LINECOUNT), value), E_UNEXPECTED},
        {"read from another set", QVStgReadProperty(other, byId(PIDDSI_LINECOUNT), &value), E_UNEXPECTED},
        {"delete from another set", QVStgDeleteProperty(other, byId(PIDDSI_LINECOUNT)), E_UNEXPECTED},
        {"eight-byte type", QVStgWriteProperty(set, named(L"Wide"), VT_UI8, &value, false), E_INVALIDARG},
        {"null text", QVStgWriteProperty(set, named(L"X"), static_cast<const char*>(nullptr)), E_POINTER},
        {"null set", QVStgWriteProperty(nullptr, named(L"X"), 1L), E_POINTER},
        {"null property", QVStgWriteProperty(set, nullptr, 1L), E_POINTER},
        {"null date", QVStgWriteProperty(set, named(L"X"), static_cast<FILETIME*>(nullptr)), E_POINTER},
        {"null value to read", QVStgReadProperty(set, named(L"X"), static_cast<long*>(nullptr)), E_POINTER},
        {"empty string object", QVStgWriteProperty(set, named(L"X"), &empty), E_POINTER},
        {"null storage", QVStgOpenPropertyStorage(nullptr, FMTID_UserDefinedProperties, nullptr), E_POINTER},
        {"multiple deletion", QVStgDeleteMultipleProperties(set, 0, nullptr), E_NOTIMPL},
        // clang-format on
    };
    for (const auto& row : cases)
        EXPECT_EQ(row.result, row.expected) << row.label;
    EXPECT_TRUE(storage_test::listedProperties(other).empty());
    EXPECT_TRUE(storage_test::listedProperties(set).empty());
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
    EXPECT_EQ(read(target.get(), named(L"Alpha"), 0L), found(1L));
    EXPECT_EQ(readWide(target.get(), named(L"Beta")), found(std::wstring(L"two")));
    EXPECT_EQ(read(target.get(), named(L"Kept"), 0L), found(3L));
}

TEST_F(PropertySetTest, ANameInAnotherCaseIsTheSameProperty) {
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"Amount"), 1L), S_OK);
    ASSERT_EQ(QVStgWriteProperty(userDefined_.get(), named(L"AMOUNT"), 2L), S_OK);
    EXPECT_EQ(read(userDefined_.get(), named(L"amount"), 0L), found(2L));
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
    EXPECT_EQ(read(set.get(), named(L"Saved"), 0L), found(9L));
}

} // namespace
