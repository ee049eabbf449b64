// The library's export table holds exactly the documented exports: a missing, misspelt or
// stray name is caught here before any caller trips over it.
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

// Every named export of z64EVEZE.dll, by family: plain names as they stand, C++ functions
// by their demangled signature.
const std::vector<std::string> kDocumentedExports = {
    // Storage files
    "QVStgIsStorageFileW(wchar_t const*)",
    "QVStgIsStorageFile(char const*)",
    "QVStgIsStorageFileExW(wchar_t const*)",
    "QVStgIsStorageFileEx(char const*)",
    "QVStgCreateStorageW(wchar_t const*, IStorage**)",
    "QVStgCreateStorage(char const*, IStorage**)",
    "QVStgOpenStorageW(wchar_t const*, IStorage**, unsigned long)",
    "QVStgOpenStorage(char const*, IStorage**, unsigned long)",
    // Property sets
    "QVStgOpenPropertyStorage(IUnknown*, _GUID const&, IPropertyStorage**)",
    "QVStgCopyPropertyStorage(IPropertyStorage*, IPropertyStorage*)",
    "QVStgDeleteMultipleProperties(IPropertyStorage*, unsigned long, void**)",
    "QVStgDeleteProperty(IPropertyStorage*, void*)",
    "QVStgWriteProperty(IPropertyStorage*, void*, unsigned short, void*, bool)",
    "QVStgWriteProperty(IPropertyStorage*, void*, char const*)",
    "QVStgWriteProperty(IPropertyStorage*, void*, wchar_t const*)",
    "QVStgWriteProperty(IPropertyStorage*, void*, _bstr_t*)",
    "QVStgWriteProperty(IPropertyStorage*, void*, int)",
    "QVStgWriteProperty(IPropertyStorage*, void*, _GUID*)",
    "QVStgWriteProperty(IPropertyStorage*, void*, _FILETIME*)",
    "QVStgWriteProperty(IPropertyStorage*, void*, long)",
    "QVStgWriteProperty(IPropertyStorage*, void*, unsigned int)",
    "QVStgWriteProperty(IPropertyStorage*, void*, double)",
    "QVStgReadProperty(IPropertyStorage*, void*, tagPROPVARIANT*)",
    "QVStgReadProperty(IPropertyStorage*, void*, char*)",
    "QVStgReadProperty(IPropertyStorage*, void*, wchar_t*)",
    "QVStgReadProperty(IPropertyStorage*, void*, _bstr_t*)",
    "QVStgReadProperty(IPropertyStorage*, void*, int*)",
    "QVStgReadProperty(IPropertyStorage*, void*, _GUID*)",
    "QVStgReadProperty(IPropertyStorage*, void*, _FILETIME*)",
    "QVStgReadProperty(IPropertyStorage*, void*, long*)",
    "QVStgReadProperty(IPropertyStorage*, void*, double*)",
    // Streams, packed files and metadata
    "QVStgOpenStream(IStorage*, wchar_t const*, IStream**)",
    "QVStgCopyStream(wchar_t const*, IStorage*, IStorage*)",
    "QVStgPackFile(IStorage*, wchar_t const*, char const*)",
    "QVStgUnpackFile(IStorage*, wchar_t const*, char const*)",
    "QVStgCopyMetaData(IStorage*, IStorage*)",
    // File-backed lock bytes
    "CreateFileLockBytes(char const*, void*, unsigned long, unsigned long, long long, "
    "ILockBytes**)",
    // Time conversions
    "MaxFileTime(_FILETIME*)",
    "FileTimeToVariantTime(_FILETIME*, double*)",
    "VariantTimeToFileTime(double, _FILETIME*)",
    "SetEmptyVariantTime(double*)",
    "PropvariantToFiletime(_FILETIME*, tagPROPVARIANT*)",
    "DateTimeAdd(long long, long, _FILETIME*)",
    "QVGetFileTime(char const*, _FILETIME*, _FILETIME*, _FILETIME*)",
    "QVGetFileTimeW(wchar_t const*, _FILETIME*, _FILETIME*, _FILETIME*)",
    "DebugGetDateTimeString(_FILETIME*)",
    "DebugGetDateTimeString(double)",
    // Modification date and time texts
    "DateOfModificationInt",
    "ShortDateOfModification",
    "DateOfModification",
    "TimeOfModification",
    // Release catalogue
    "IsKnownFileVersion(double)",
    "GetUserFriendlyFileVersionW(double, wchar_t*, unsigned int)",
    "GetUserFriendlyFileVersion(double, char*, unsigned int)",
    "GetFileVersionGroup(double, double*)",
    "GetMaxUserFriendlyCompatibleFileVersion()",
    // Version detection
    "GetQVVersionFromFile(char const*, char*)",
    "GetQVVersionFromFileW(wchar_t const*, char*)",
    "GetQVVersionFromFileWEx(wchar_t const*, char*, unsigned long)",
    "GetQVVersionFromFileWT(wchar_t const*, char*)",
    "GetQVVersionFromFileWTEx(wchar_t const*, char*, unsigned long)",
    "GetQVVersionFromStream(IStream*, void*)",
    "GetQVVersionFromFile(char const*, double*)",
    "GetQVVersionFromFileEx(char const*, double*, unsigned long)",
    "GetQVVersionFromFileW(wchar_t const*, double*)",
    "GetQVVersionFromFileWEx(wchar_t const*, double*, unsigned long)",
    // Flat document conversion
    "UpdateAcFileToCompoundFile(char*, char*, char*)",
    "QVCopyAC(char*, char const*)",
    "CopyFileToHandle(void*, char const*)",
    "IsFileCompressed(char const*)",
    // Registry and user-profile settings
    "WriteUserProfileString",
    "WriteUserProfileInt",
    "GetUserProfileString",
    "GetUserProfileInt",
    "GetMachineRegistryKey",
    "GetUserRegistryKey",
    // Log writer
    "GetSystemFilePaths(char*, char*)",
    "DetermineLogPath(char const*, char const*, char const*, char const*, char*)",
    "GetLogTypeEnabled(char const*, char const*, int)",
    "WriteLog(char const*, int, int, char const*, char const*, ...)",
    "WriteLog(char const*, int, int, char const*, char const*, char*)",
    // Application integration
    "GetPatchInformation",
    // Messages: error list and suppress mode, message box, balloons and owner window
    "QVErrorList",
    "QVClearErrorList",
    "QVMessageSupressMode",
    "QVMessageBox",
    "QVSetDefaultMessageCaption",
    "QVSetBalloonMessagePosition",
    "QVClearBalloonMessage",
    "QVBalloonMessageMode",
    "QVGetBalloonMessagePosition",
    "GetActiveVisibleWnd",
    // Progress reporting: the progress box classes
    "CProgressBox::CProgressBox(CWnd*)",
    "CProgressBox::~CProgressBox()",
    "CProgressBox::ShowOnInit(int)",
    "CProgressBox::OnInitDialog()",
    "CProgressBox::DoDataExchange(CDataExchange*)",
    "CProgressBox::IsFinished()",
    "CProgressBox::Finish()",
    "CProgressBox::Reset()",
    "CProgressBox::Cancel()",
    "CProgressBox::Cancelled()",
    "CProgressBox::OnCancel()",
    "CProgressBox::SetText(char const*, char const*)",
    "CProgressBox::SetCancelRename(char const*)",
    "CProgressBox::SetDesc(char const*)",
    "CProgressBox::Progress(unsigned long long)",
    "CProgressBox::SetPosition(unsigned long long)",
    "CProgressBox::DeltaProgress(int)",
    "CProgressBox::SetRange(long long)",
    "CProgressBox::SetSavedWnd(HWND__*)",
    "CProgressBox::GetSavedWnd()",
    "CProgressBox::SetPDInit()",
    "CProgressBox::GetPDInit()",
    "CProgressBox::GetMessageMap() const",
    "CProgressBox::GetThisMessageMap()",
    "CProgressBoxEx::CProgressBoxEx(CWnd*)",
    "CProgressBoxEx::~CProgressBoxEx()",
    "CProgressBoxEx::OnCancel()",
    "CProgressBoxEx::GetMessageMap() const",
    "CProgressBoxEx::GetThisMessageMap()",
    "CProgressBoxEmbedded::CProgressBoxEmbedded(CWnd*)",
    "CProgressBoxEmbedded::~CProgressBoxEmbedded()",
    "CProgressBoxEmbedded::OnSize(unsigned int, int, int)",
    "CProgressBoxEmbedded::OnCtlColor(CDC*, CWnd*, unsigned int)",
    "CProgressBoxEmbedded::GetMessageMap() const",
    "CProgressBoxEmbedded::GetThisMessageMap()",
    "typeinfo for CProgressBox",
    "vtable for CProgressBox",
    "typeinfo for CProgressBoxEx",
    "vtable for CProgressBoxEx",
    "typeinfo for CProgressBoxEmbedded",
    "vtable for CProgressBoxEmbedded",
    // Progress reporting: the progress dialog interface
    "PeekMessageLoop",
    "ProgressDialogInit",
    "ProgressDialogInitOverWrite",
    "ProgressDialogSetDesc",
    "ProgressDialogExists",
    "ProgressDialogPos",
    "ProgressDialogDelta",
    "ProgressCheckCancel",
    "ProgressDialogDelete",
    "ProgressDialogClear",
    "QVProgressBox",
    // Progress reporting: import and update status
    "ImportUpdateStatus",
    "ImpUpdStat",
    "ImpUpdSt",
    "ImpUpdText2",
    "ImpUpdText",
    // Progress reporting: record progress
    "CProgressBoxRecords::CProgressBoxRecords(CWnd*, char*)",
    "CProgressBoxRecords::~CProgressBoxRecords()",
    "CProgressBoxRecords::DoDataExchange(CDataExchange*)",
    "CProgressBoxRecords::OnInitDialog()",
    "CProgressBoxRecords::progress()",
    "CProgressBoxRecords::progress_step()",
    "CProgressBoxRecords::check_step(int)",
    "CProgressBoxRecords::PostNcDestroy()",
    "CProgressBoxRecords::GetMessageMap() const",
    "CProgressBoxRecords::GetThisMessageMap()",
    "typeinfo for CProgressBoxRecords",
    "vtable for CProgressBoxRecords",
    "prgRecords",
    "prgRecordsStep",
    // Application integration: zip clients
    "UnZipClient",
    "ZipInterfaceClient",
    // Active application windows
    "CActiveQVWindows::CActiveQVWindows(int)",
    "CActiveQVWindows::~CActiveQVWindows()",
    "CActiveQVWindows::FindWindows()",
    "CActiveQVWindows::RemoveAll()",
    // An exported polymorphic class brings its type information and virtual table.
    "typeinfo for CActiveQVWindows",
    "vtable for CActiveQVWindows",
    // Dialog categories
    "LoadDlgCategory",
    "CreateDlgCategoryIndirect",
    "ShowDlgCategory",
    "DestroyDlgCategoryControls",
    "DeleteDlgCategory",
    // Dialog sections
    "InitDlgSection",
    "AddDlgSectionCategory",
    "SelectDlgSectionCategory",
    "SetDlgSectionThreshold",
    "DeleteDlgSection",
    // Micro-scroll control
    "FRegisterControl",
    // Application dialogs: log-in and passwords, tax code and copy map
    "LoginDialog",
    "VerifySysPassDialog",
    "SetPassDialog",
    "PassOptDialog",
    "callTaxCodeDlg",
    "callCopyMapDlg",
    // Folder selection and path texts
    "SelectDirFolder",
    "AbbreviateName",
    "GetRoot",
    "QVGetSpecialFolderPath(HWND__*, char*, int, int)",
    "ParseComboEditBrowseText(char*, unsigned long, char const*, unsigned long*, char const*)",
    "ParseComboEditBrowseTextW(wchar_t*, unsigned long, wchar_t const*, unsigned long*, "
    "wchar_t const*)",
    "MakeComboEditBrowseText(char*, unsigned long, char const*, unsigned long, char const*)",
};

// The members of the exported CList<tagACTIVEQVWINDOW*, tagACTIVEQVWINDOW*>, by decorated
// name (the list's private helpers are not exported).
const std::vector<std::string> kDecoratedListMembers = {
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_EC1Ex",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_ED1Ev",
    "_ZNK5CListIP17tagACTIVEQVWINDOWS1_E8GetCountEv",
    "_ZNK5CListIP17tagACTIVEQVWINDOWS1_E7GetSizeEv",
    "_ZNK5CListIP17tagACTIVEQVWINDOWS1_E7IsEmptyEv",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E7GetHeadEv",
    "_ZNK5CListIP17tagACTIVEQVWINDOWS1_E7GetHeadEv",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E7GetTailEv",
    "_ZNK5CListIP17tagACTIVEQVWINDOWS1_E7GetTailEv",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E10RemoveHeadEv",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E10RemoveTailEv",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E7AddHeadES1_",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E7AddHeadEPS2_",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E7AddTailES1_",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E7AddTailEPS2_",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E9RemoveAllEv",
    "_ZNK5CListIP17tagACTIVEQVWINDOWS1_E15GetHeadPositionEv",
    "_ZNK5CListIP17tagACTIVEQVWINDOWS1_E15GetTailPositionEv",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E7GetNextERP10__POSITION",
    "_ZNK5CListIP17tagACTIVEQVWINDOWS1_E7GetNextERP10__POSITION",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E7GetPrevERP10__POSITION",
    "_ZNK5CListIP17tagACTIVEQVWINDOWS1_E7GetPrevERP10__POSITION",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E5GetAtEP10__POSITION",
    "_ZNK5CListIP17tagACTIVEQVWINDOWS1_E5GetAtEP10__POSITION",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E5SetAtEP10__POSITIONS1_",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E8RemoveAtEP10__POSITION",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E12InsertBeforeEP10__POSITIONS1_",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E11InsertAfterEP10__POSITIONS1_",
    "_ZNK5CListIP17tagACTIVEQVWINDOWS1_E4FindES1_P10__POSITION",
    "_ZNK5CListIP17tagACTIVEQVWINDOWS1_E9FindIndexEx",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E7NewNodeEPNS2_5CNodeES4_",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E8FreeNodeEPNS2_5CNodeE",
    "_ZN5CListIP17tagACTIVEQVWINDOWS1_E9SerializeER8CArchive",
};

std::string demangled(const char* name) {
    int status = 0;
    char* readable = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    if (status != 0 || readable == nullptr)
        return name;
    std::string result = readable;
    std::free(readable);
    return result;
}

// Every export name of the library, C++ names demangled.
std::set<std::string> exportedNames(HMODULE module) {
    std::set<std::string> names;
    for (const std::string& name : test_support::exportedNames(module))
        names.insert(demangled(name.c_str()));
    return names;
}

TEST(ExportTable, HoldsExactlyTheDocumentedNames) {
    HMODULE library = LoadLibraryW(L"z64EVEZE.dll");
    ASSERT_NE(library, nullptr);
    const std::set<std::string> actual = exportedNames(library);
    std::set<std::string> documented(kDocumentedExports.begin(), kDocumentedExports.end());
    for (const std::string& name : kDecoratedListMembers)
        documented.insert(demangled(name.c_str()));

    std::vector<std::string> missing, unexpected;
    std::set_difference(documented.begin(), documented.end(), actual.begin(), actual.end(),
                        std::back_inserter(missing));
    std::set_difference(actual.begin(), actual.end(), documented.begin(), documented.end(),
                        std::back_inserter(unexpected));
    EXPECT_TRUE(missing.empty()) << "missing: " << ::testing::PrintToString(missing);
    EXPECT_TRUE(unexpected.empty()) << "not documented: " << ::testing::PrintToString(unexpected);
}

TEST(ExportTable, KeepsTheTestEntryUnnamed) {
    HMODULE library = LoadLibraryW(L"z64EVEZE.dll");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(GetProcAddress(library, "GetBaseLibraryBridges"), nullptr);
    EXPECT_NE(GetProcAddress(library, MAKEINTRESOURCEA(1000)), nullptr);
}

TEST(ExportTable, KeepsTheVisualThemeSwitchUnnamed) {
    HMODULE library = LoadLibraryW(L"z64EVEZE.dll");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(GetProcAddress(library, "ForceVisualTheme"), nullptr);
    EXPECT_NE(GetProcAddress(library, MAKEINTRESOURCEA(1800)), nullptr);
}

} // namespace
