// Share modes: a document held open with one mode, and a second opener with another, in this
// process and in another one. The provider opens files with the share flags that match the
// STGM share mode, so the system refuses conflicting openers with a sharing violation.
#include "provider_api.h"

#include <test_support.h>

#include <gtest/gtest.h>

#include <support/unique_resource.h>

#include <cstdio>

using namespace provider_test;
using test_support::TemporaryDirectory;

namespace {

constexpr DWORD kRead = STGM_READ;
constexpr DWORD kReadWrite = STGM_READWRITE;
constexpr DWORD kTransacted = STGM_TRANSACTED;

HRESULT openInHelper(const std::wstring& path, DWORD mode, const wchar_t* command = L"open") {
    wchar_t hex[16];
    std::swprintf(hex, 16, L"%lX", static_cast<unsigned long>(mode));
    const test_support::ProcessResult result =
        test_support::runProgram(test_support::programDirectory() + L"\\provider_share_helper.exe",
                                 std::wstring(command) + L" \"" + path + L"\" " + hex);
    unsigned long hr = 0;
    if (result.exitCode != 0 || std::sscanf(result.output.c_str(), "hr=%lX", &hr) != 1)
        return E_UNEXPECTED;
    return static_cast<HRESULT>(hr);
}

HRESULT openHere(const std::wstring& path, DWORD mode) {
    ComPtr<IStorage> storage;
    return providerApi().openStorage(path.c_str(), nullptr, mode, nullptr, 0, storage.put());
}

struct ShareRow {
    const char* label;
    DWORD held;
    DWORD second;
    HRESULT expected;
};

// Each row: the first opener's mode, the second's, and what the second gets. A second opener
// succeeds when each one's share mode allows the other's access.
const ShareRow kShareRows[] = {
    {"two readers denying writers", kRead | STGM_SHARE_DENY_WRITE, kRead | STGM_SHARE_DENY_WRITE,
     S_OK},
    {"reader denying writers, then a writer", kRead | STGM_SHARE_DENY_WRITE,
     kReadWrite | STGM_SHARE_EXCLUSIVE, STG_E_SHAREVIOLATION},
    {"reader denying writers, then a transacted writer", kRead | STGM_SHARE_DENY_WRITE,
     kTransacted | kReadWrite | STGM_SHARE_DENY_NONE, STG_E_SHAREVIOLATION},
    {"exclusive writer, then a reader", kReadWrite | STGM_SHARE_EXCLUSIVE,
     kRead | STGM_SHARE_DENY_NONE, STG_E_SHAREVIOLATION},
    {"exclusive reader, then a reader", kRead | STGM_SHARE_EXCLUSIVE, kRead | STGM_SHARE_DENY_WRITE,
     STG_E_SHAREVIOLATION},
    {"single writer, then a reader", kReadWrite | STGM_SHARE_DENY_WRITE,
     kRead | STGM_SHARE_DENY_NONE, S_OK},
    {"single writer, then a reader denying writers", kReadWrite | STGM_SHARE_DENY_WRITE,
     kRead | STGM_SHARE_DENY_WRITE, STG_E_SHAREVIOLATION},
    {"transacted reader denying readers, then a reader", kTransacted | kRead | STGM_SHARE_DENY_READ,
     kRead | STGM_SHARE_DENY_NONE, STG_E_SHAREVIOLATION},
    {"two transacted writers sharing everything", kTransacted | kReadWrite | STGM_SHARE_DENY_NONE,
     kTransacted | kReadWrite | STGM_SHARE_DENY_NONE, S_OK},
    {"reader sharing everything, then a single writer", kRead | STGM_SHARE_DENY_NONE,
     kReadWrite | STGM_SHARE_DENY_WRITE, S_OK},
    {"transacted reader denying writers, then a transacted writer",
     kTransacted | kRead | STGM_SHARE_DENY_WRITE, kTransacted | kReadWrite | STGM_SHARE_DENY_NONE,
     STG_E_SHAREVIOLATION},
    {"transacted writer denying readers, then a transacted reader",
     kTransacted | kReadWrite | STGM_SHARE_DENY_READ, kTransacted | kRead | STGM_SHARE_DENY_NONE,
     STG_E_SHAREVIOLATION},
};

} // namespace

TEST(ShareModes, SecondOpenersInThisAndAnotherProcess) {
    TemporaryDirectory folder;
    const std::wstring path = folder.file(L"shared.stg");
    {
        ComPtr<IStorage> storage = createDocument(providerApi(), path);
        writeStream(storage.get(), L"S", "shared");
    }
    for (const ShareRow& row : kShareRows) {
        SCOPED_TRACE(row.label);
        ComPtr<IStorage> held;
        ASSERT_EQ(
            providerApi().openStorage(path.c_str(), nullptr, row.held, nullptr, 0, held.put()),
            S_OK);
        EXPECT_EQ(openHere(path, row.second), row.expected) << "in this process";
        EXPECT_EQ(openInHelper(path, row.second), row.expected) << "in another process";
    }
}

TEST(ShareModes, ReleasingTheRootLetsOthersIn) {
    TemporaryDirectory folder;
    const std::wstring path = folder.file(L"released.stg");
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    ComPtr<IStream> child;
    ASSERT_EQ(root->CreateStream(L"S", kCreateMode, 0, 0, child.put()), S_OK);
    EXPECT_EQ(openInHelper(path, kRead | STGM_SHARE_DENY_WRITE), STG_E_SHAREVIOLATION);
    root.reset();
    // The stream is still referenced, but the file is closed with its root.
    EXPECT_EQ(openInHelper(path, kRead | STGM_SHARE_DENY_WRITE), S_OK);
    EXPECT_EQ(child->Write("x", 1, nullptr), STG_E_REVERTED);
}

TEST(ShareModes, CreatingOverAnOpenDocumentIsRefused) {
    TemporaryDirectory folder;
    const std::wstring path = folder.file(L"busy.stg");
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    EXPECT_EQ(openInHelper(path, kCreateMode, L"create"), STG_E_SHAREVIOLATION);
    root.reset();
    EXPECT_EQ(openInHelper(path, kCreateMode, L"create"), S_OK);
}

TEST(ShareModes, ReadOnlyFilesAreOpenedForReadingOnly) {
    TemporaryDirectory folder;
    const std::wstring path = folder.file(L"readonly.stg");
    createDocument(providerApi(), path).reset();
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    support::UniqueFile probe(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (probe) {
        // Wine maps the attribute to Unix permissions, which do not stop the superuser.
        probe.reset();
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "the system lets this user write read-only files";
    }
    EXPECT_EQ(openHere(path, kReadWrite | STGM_SHARE_EXCLUSIVE), STG_E_ACCESSDENIED);
    EXPECT_EQ(openHere(path, kRead | STGM_SHARE_DENY_WRITE), S_OK);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}
