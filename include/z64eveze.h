// z64EVEZE.dll: the shared library of the accounting application.
//
// Every export of the library is declared here, once, grouped by family. Functions with
// plain names have C linkage; the others are C++ functions and classes exported under
// their decorated names, so that overloads keep their documented signatures.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <propidl.h>

#ifdef Z64EVEZE_BUILDING
#define Z64EVEZE_API __declspec(dllexport)
#else
#define Z64EVEZE_API __declspec(dllimport)
#endif

// Exports under plain, undecorated names.
#define Z64EVEZE_C_API extern "C" Z64EVEZE_API

// ---------------------------------------------------------------------------------------
// Application integration: library start-up and patch information
// ---------------------------------------------------------------------------------------

// Copies the library's patch level into `buffer` and returns the result of the copy: the
// library reports no patch level, so the buffer receives the empty string and the result
// is 0. A null buffer or a size below 1 leaves the buffer alone and returns EINVAL (22).
Z64EVEZE_C_API int GetPatchInformation(char* buffer, int bufferSize);

// ---------------------------------------------------------------------------------------
// Dates and times: time conversions
// ---------------------------------------------------------------------------------------
// The empty date (FILETIME 0x014F35A9A90CC000, 30 December 1899) and the empty variant
// time (61.0, 1 March 1900) stand for no date; the latest date (FILETIME
// 0x7FFF352BC602C000, 31 December 30827) is later than any real one. No function converts
// between local time and UTC.

// Stores the latest date; a null pointer does nothing.
Z64EVEZE_API void MaxFileTime(FILETIME* time);
// A zero FILETIME or the empty date gives the empty variant time; 0 on failure.
Z64EVEZE_API int FileTimeToVariantTime(FILETIME* time, double* variantTime);
// No special case for the empty variant time; 0 on failure.
Z64EVEZE_API int VariantTimeToFileTime(double variantTime, FILETIME* time);
Z64EVEZE_API void SetEmptyVariantTime(double* variantTime);
// Copies a VT_FILETIME value; any other type gives the empty date.
Z64EVEZE_API void PropvariantToFiletime(FILETIME* time, PROPVARIANT* value);
// Adds ticks * count (100-nanosecond units, wrapping in 64 bits) to *time and returns time.
Z64EVEZE_API FILETIME* DateTimeAdd(__int64 ticks, long count, FILETIME* time);
// The three time stamps of a file, retrying every 200 ms (500 times) while another process
// holds it. Out pointers may be null. Nonzero on success.
Z64EVEZE_API int QVGetFileTime(const char* path, FILETIME* creation, FILETIME* lastAccess,
                               FILETIME* lastWrite);
// Always the empty text.
Z64EVEZE_API const char* DebugGetDateTimeString(FILETIME* time);
// The user's long date and time of a variant time, in a static buffer of 128 bytes that the
// next call overwrites.
Z64EVEZE_API const char* DebugGetDateTimeString(double variantTime);

// ---------------------------------------------------------------------------------------
// Dates and times: modification date and time texts
// ---------------------------------------------------------------------------------------
// A modification stamp is exactly 14 characters, YYYYMMDDhhmmss; anything else is no stamp
// and gives zeros or an empty text.

Z64EVEZE_C_API void DateOfModificationInt(const char* stamp, int* day, int* month, int* year);
// The user's short date; `text` holds 255 bytes.
Z64EVEZE_C_API void ShortDateOfModification(const char* stamp, char* text);
// The user's long date without a leading weekday; `text` holds 255 bytes.
Z64EVEZE_C_API void DateOfModification(const char* stamp, char* text);
// The user's time text, or an empty text when it does not fit in `textSize` bytes.
Z64EVEZE_C_API void TimeOfModification(const char* stamp, char* text, size_t textSize);

// ---------------------------------------------------------------------------------------
// Logging and settings: log writer
// ---------------------------------------------------------------------------------------
// Settings come from "tq.ver", a profile file in the library's own folder; nothing is
// cached, so a change takes effect at the next call.

// The library's folder (with its trailing backslash) and the settings file's path; each
// buffer holds 260 characters.
Z64EVEZE_API void GetSystemFilePaths(char* directory, char* settingsFile);
// The log path of the settings: the directory setting (or the library's folder) followed
// directly by the file setting (or `defaultFile`). `path` holds 519 characters.
Z64EVEZE_API char* DetermineLogPath(const char* section, const char* directoryKey,
                                    const char* fileKey, const char* defaultFile, char* path);
// The integer setting `key` of `section`, or `defaultValue`.
Z64EVEZE_API int GetLogTypeEnabled(const char* section, const char* key, int defaultValue);
// Appends "computer user program:thread source hh:mm:ss  message\r\n" (the first five
// columns of fixed width) to the file, retrying every 5 ms for about ten seconds while
// another writer holds it. `truncate` starts the file anew. 1 on success, 0 when nothing
// could be written.
Z64EVEZE_API int WriteLog(const char* path, int truncate, int reserved, const char* source,
                          const char* format, ...);
Z64EVEZE_API int WriteLog(const char* path, int truncate, int reserved, const char* source,
                          const char* format, char* arguments);

// ---------------------------------------------------------------------------------------
// Compound storage: file-backed lock bytes
// ---------------------------------------------------------------------------------------

// Wraps a file handle the caller opened (and closes after the last Release) in an
// ILockBytes whose byte 0 is the file position `baseOffset`. A non-zero `fixedSize` makes
// SetSize answer STG_E_ACCESSDENIED. The caller holds the only reference. FALSE for a null
// out-pointer, a null name or a name of 1024 characters or more, or when memory runs out.
Z64EVEZE_API BOOL CreateFileLockBytes(const char* name, HANDLE file, unsigned long access,
                                      unsigned long fixedSize, __int64 baseOffset,
                                      ILockBytes** lockBytes);

// ---------------------------------------------------------------------------------------
// Compound storage: property sets
// ---------------------------------------------------------------------------------------
// Two sets are supported: summary information, whose properties the `property` argument
// names by identifier (its low 32 bits are the PROPID), and the user-defined set, where it
// points to the property's UTF-16 name. Any other set gives E_UNEXPECTED. The empty date
// (FILETIME 0x014F35A9A90CC000) stands for no date; "QVLockdownDate" is stored one second
// earlier than written and read back with the second added.

class _bstr_t;

// Opens the set `formatId` on a storage object, creating it when it cannot be opened.
Z64EVEZE_API long QVStgOpenPropertyStorage(IUnknown* object, const GUID& formatId,
                                           IPropertyStorage** set);
// Copies every property of `source` into `destination` (both of one supported set).
Z64EVEZE_API long QVStgCopyPropertyStorage(IPropertyStorage* destination, IPropertyStorage* source);
// Always E_NOTIMPL.
Z64EVEZE_API long QVStgDeleteMultipleProperties(IPropertyStorage* set, unsigned long count,
                                                void* properties[]);
Z64EVEZE_API long QVStgDeleteProperty(IPropertyStorage* set, void* property);

// The general writer: stamps the set's times, writes `value` as `type` (VT_I2, VT_BOOL,
// VT_I4, VT_UI4, VT_R8, VT_DATE, VT_BSTR, VT_FILETIME, VT_I1, VT_LPSTR, VT_LPWSTR; others
// give E_INVALIDARG), retries a user-defined name under the identifier of the same name in
// another case, and commits when asked.
Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, unsigned short type,
                                     void* value, bool commit);
// Typed writers; none commits.
Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, const char* text);
Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, const wchar_t* text);
Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, _bstr_t* text);
Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, int flag);
// Without the base library's identifier texts: HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND).
Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, GUID* id);
// The empty date deletes the property; "QVLockdownDate" lowers the caller's value first.
Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, FILETIME* time);
Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, long value);
Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, unsigned int value);
Z64EVEZE_API long QVStgWriteProperty(IPropertyStorage* set, void* property, double value);

// The general reader: S_OK when found, S_FALSE with VT_EMPTY when absent. `value` must be
// initialised; its old content is released.
Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, PROPVARIANT* value);
// Typed readers: the out value starts empty (0, "", all-zero) and is set only on S_OK. The
// text readers take a wide text (VT_LPWSTR or VT_BSTR) and leave the text empty for any
// other stored type; their buffer must hold the whole text.
Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, char* text);
Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, wchar_t* text);
Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, _bstr_t* text);
Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, int* flag);
Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, GUID* id);
// A missing property or another type gives the empty date.
Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, FILETIME* time);
Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, long* value);
Z64EVEZE_API long QVStgReadProperty(IPropertyStorage* set, void* property, double* value);

// ---------------------------------------------------------------------------------------
// Compound storage: streams, packed files and metadata
// ---------------------------------------------------------------------------------------
// Every copy leaves the destination stream exactly as long as what was copied into it.

// Opens the stream, or creates it when it cannot be opened.
Z64EVEZE_API long QVStgOpenStream(IStorage* storage, const wchar_t* name, IStream** stream);
// Makes the stream `name` of `destination` a copy of that of `source`; when the source has
// no such stream, the destination's is removed and the source's open failure returned.
Z64EVEZE_API long QVStgCopyStream(const wchar_t* name, IStorage* destination, IStorage* source);
// Copies the file at `path` (opened without sharing) into the stream: 0 on success, 1 when
// the file cannot be opened, -1 for a null argument or any later failure.
Z64EVEZE_API int QVStgPackFile(IStorage* storage, const wchar_t* name, const char* path);
// Writes the stream out to a new file at `path`: 0 on success, 1 when the stream cannot be
// opened, -1 for a null argument or any later failure (a partial file stays).
Z64EVEZE_API int QVStgUnpackFile(IStorage* storage, const wchar_t* name, const char* path);
// Copies "\005SummaryInformation", then "\005DocumentSummaryInformation", as raw streams.
Z64EVEZE_API long QVStgCopyMetaData(IStorage* destination, IStorage* source);

// ---------------------------------------------------------------------------------------
// Document versions: release catalogue
// ---------------------------------------------------------------------------------------
// Releases are looked up newest first: a version belongs to the first release whose
// version number is at or below it.

// 1 when 0.0 < version <= 20.0, else 0.
Z64EVEZE_API int IsKnownFileVersion(double version);
// The release label ("2026.00") of a version, or the calling application's string 870 for
// a version older than every release; at most `bufferLen` units, always terminated.
Z64EVEZE_API void GetUserFriendlyFileVersionW(double version, wchar_t* buffer,
                                              unsigned int bufferLen);
Z64EVEZE_API void GetUserFriendlyFileVersion(double version, char* buffer, unsigned int bufferLen);
// The version number of the release a version belongs to, or 0.0.
Z64EVEZE_API void GetFileVersionGroup(double version, double* group);
// The newest version number this build understands: 8.99.
Z64EVEZE_API double GetMaxUserFriendlyCompatibleFileVersion();

// ---------------------------------------------------------------------------------------
// Logging and settings: registry and user-profile settings
// ---------------------------------------------------------------------------------------
// Per-user settings go through the calling application's CWinApp (its registry key or its
// profile file); integers are kept as decimal text. Without an application object the
// writers answer FALSE and the readers their defaults.

Z64EVEZE_C_API BOOL WriteUserProfileString(const char* section, const char* entry,
                                           const char* value);
Z64EVEZE_C_API BOOL WriteUserProfileInt(const char* section, const char* entry, int value);
// Copies at most size - 1 characters and returns the length copied.
Z64EVEZE_C_API int GetUserProfileString(const char* section, const char* entry,
                                        const char* defaultValue, char* buffer, int size);
Z64EVEZE_C_API int GetUserProfileInt(const char* section, const char* entry, int defaultValue);
// HKEY_LOCAL_MACHINE\software\Quorvane\<the application's profile name>, opened for
// reading; null when any part is missing. The caller closes it.
Z64EVEZE_C_API HKEY GetMachineRegistryKey();
// The application's per-user key; null without an application object. The caller closes
// it.
Z64EVEZE_C_API HKEY GetUserRegistryKey();

// Time conversions (continued): the same for a UTF-16 path of any length.
Z64EVEZE_API int QVGetFileTimeW(const wchar_t* path, FILETIME* creation, FILETIME* lastAccess,
                                FILETIME* lastWrite);

// ---------------------------------------------------------------------------------------
// Compound storage: storage files
// ---------------------------------------------------------------------------------------
// The storage provider (z64STG.dll, loaded with the library) does the work. A narrow path
// of 1024 characters or more gives HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE); a
// missing provider gives E_FAIL.

// S_OK for a compound file, S_FALSE for another file; paths of 260 characters or more are
// tested in their short form.
Z64EVEZE_API long QVStgIsStorageFileW(const wchar_t* path);
Z64EVEZE_API long QVStgIsStorageFile(const char* path);
// As above, retrying ten times, 100 ms apart, while someone else holds the file.
Z64EVEZE_API long QVStgIsStorageFileExW(const wchar_t* path);
Z64EVEZE_API long QVStgIsStorageFileEx(const char* path);
// Creates a compound file (4096-byte sectors where the provider can), replacing a file.
Z64EVEZE_API long QVStgCreateStorageW(const wchar_t* path, IStorage** storage);
Z64EVEZE_API long QVStgCreateStorage(const char* path, IStorage** storage);
// Opens a compound file with the caller's STGM mode, retrying while it is held.
Z64EVEZE_API long QVStgOpenStorageW(const wchar_t* path, IStorage** storage, unsigned long mode);
Z64EVEZE_API long QVStgOpenStorage(const char* path, IStorage** storage, unsigned long mode);

// ---------------------------------------------------------------------------------------
// Document versions: version detection
// ---------------------------------------------------------------------------------------
// The version text of a flat document (bytes 1 to 4), of a compound document (bytes 1 to 4
// of its stream "QuorvaneDocument") or of a compressed compound document (".ac_": the
// property "QVFileVersion" as "%2.2f"). Buffers hold at least 20 bytes. The file is held
// as `shareMode` allows while it is read, and waited for while someone else holds it.

Z64EVEZE_API long GetQVVersionFromFile(const char* path, char* versionText);
Z64EVEZE_API long GetQVVersionFromFileW(const wchar_t* path, char* versionText);
Z64EVEZE_API long GetQVVersionFromFileWEx(const wchar_t* path, char* versionText,
                                          unsigned long shareMode);
// Copy the text out only on S_OK.
Z64EVEZE_API long GetQVVersionFromFileWT(const wchar_t* path, char* versionText);
Z64EVEZE_API long GetQVVersionFromFileWTEx(const wchar_t* path, char* versionText,
                                           unsigned long shareMode);
Z64EVEZE_API long GetQVVersionFromStream(IStream* stream, void* versionText);
// The version as a number (parsed in the "C" locale); false when it could not be read.
Z64EVEZE_API bool GetQVVersionFromFile(const char* path, double* version);
Z64EVEZE_API bool GetQVVersionFromFileEx(const char* path, double* version,
                                         unsigned long shareMode);
Z64EVEZE_API bool GetQVVersionFromFileW(const wchar_t* path, double* version);
Z64EVEZE_API bool GetQVVersionFromFileWEx(const wchar_t* path, double* version,
                                          unsigned long shareMode);

// ---------------------------------------------------------------------------------------
// Document versions: flat document conversion
// ---------------------------------------------------------------------------------------

// Converts directory + name + "." + extension into a compound document in place: 0 already
// compound, 1 converted, 2 failed, 3 not attempted (no name, or x64qv42.dll not loaded or
// incomplete), 4 the metadata could not be collected.
Z64EVEZE_API int UpdateAcFileToCompoundFile(char* directory, char* name, char* extension);
// Replaces a document's content by the bytes of the flat file: 0 on success, 1 on failure.
Z64EVEZE_API int QVCopyAC(char* documentPath, const char* sourcePath);
// Writes the file's bytes over the handle from offset 0 and cuts it there.
Z64EVEZE_API bool CopyFileToHandle(void* file, const char* sourcePath);
// 1 when the extension is ".AC_" in any case, else 0.
Z64EVEZE_API int IsFileCompressed(const char* path);

// ---------------------------------------------------------------------------------------
// Messages: per-thread error list and suppress mode
// ---------------------------------------------------------------------------------------
// Each thread has its own error list and suppress mode; nothing carries over between
// threads. While the suppress mode is non-zero, QVMessageBox collects its texts into the
// list (joined by "\n") instead of showing them. The functions raise the framework's
// invalid-argument exception when the thread's state cannot be created.

// The collected texts, or "" (never null); turns the suppress mode off and keeps the list.
// The text stays valid until the next collected text, QVClearErrorList or the thread's end.
Z64EVEZE_C_API const char* QVErrorList();
// Frees the list and sets the suppress mode.
Z64EVEZE_C_API void QVClearErrorList(int nSuppressMode);
Z64EVEZE_C_API int QVMessageSupressMode();

// ---------------------------------------------------------------------------------------
// Messages: message box
// ---------------------------------------------------------------------------------------
// QVMessageBox takes MessageBoxA's arguments. A text may start with an option prefix in
// curly braces ("{Y*}Replace the file?") that chooses the buttons, icon and default button
// shown, including the library's yes-to-all and no-to-all dialogs; the answers are mapped
// back onto the pair the caller's uType understands. Messages are shown only on the thread
// of the calling application's CWinApp and while the thread's suppress mode is off; others
// are collected (or, for yes/no questions with a prefix, just answered) with the default
// answer. In the application's silent mode nothing is shown and the text goes to the base
// library's log. A null lpText is the empty text; a null lpCaption the default caption.

// The button ids of the yes-to-all and no-to-all dialogs (the numbers of IDCLOSE, IDHELP).
#ifndef IDYESTOALL
#define IDYESTOALL 8
#endif
#ifndef IDNOTOALL
#define IDNOTOALL 9
#endif

Z64EVEZE_C_API int QVMessageBox(HWND hWnd, const char* lpText, const char* lpCaption,
                                unsigned int uType);
// Sets the caption of messages that come without one, for every thread. A caption of 256
// bytes or more keeps its first 255 (never half a double-byte character); null empties it.
Z64EVEZE_C_API void QVSetDefaultMessageCaption(const char* lpCaption);

// ---------------------------------------------------------------------------------------
// Messages: balloon messages and owner window
// ---------------------------------------------------------------------------------------
// Per thread: once a position is set, plain notices appear as balloon tips anchored at the
// rectangle (screen coordinates) instead of as modal boxes, until the mode is cleared.

// Quadrant 0 top left, 1 top right, 2 bottom left, anything else bottom right. A null
// rectangle changes nothing.
Z64EVEZE_C_API void QVSetBalloonMessagePosition(HWND hWnd, const RECT* pRect, int nQuadrant);
Z64EVEZE_C_API void QVClearBalloonMessage();
// 1 while balloon mode is on, else 0.
Z64EVEZE_C_API int QVBalloonMessageMode();
// 1 and the stored window and rectangle while balloon mode is on; else 0, a null window and
// an all-zero rectangle. Null out-pointers are skipped.
Z64EVEZE_C_API int QVGetBalloonMessagePosition(HWND* phWnd, RECT* pRect);
// The window that should own a new modal window: the visible last active popup of the
// thread's active window (or of the fallback), else the fallback: hWnd, the owner of the
// running modal user interface, or the application's main window. Windows parked at
// (-32768, -32768) or beyond are never chosen. Null when there is nothing.
Z64EVEZE_C_API HWND GetActiveVisibleWnd(HWND hWnd);

// ---------------------------------------------------------------------------------------
// Application integration: active application windows
// ---------------------------------------------------------------------------------------
// The running instances of every release: top-level windows of a release's main-window
// class whose property "PROP_QVPATH" holds (in its low 16 bits) a global atom naming the
// open document's path without its extension.

#include <afxtempl.h>

struct tagACTIVEQVWINDOW {
    HWND hWnd;
    char szPath[260]; // the document's path with ".AC" appended
};

// The list and its records are the object's: RemoveAll and the destructor delete the
// records, while the inherited RemoveHead, RemoveTail and RemoveAt drop only the nodes (a
// caller that takes a record out deletes it). Use an object on one thread.
class Z64EVEZE_API CActiveQVWindows : public CList<tagACTIVEQVWINDOW*, tagACTIVEQVWINDOW*> {
public:
    // Enumerates at once unless bFind is 0.
    CActiveQVWindows(int bFind = TRUE);
    ~CActiveQVWindows() override;
    // Replaces the list by the windows running now, in EnumWindows order; non-zero when at
    // least one was found.
    int FindWindows();
    // Deletes every record and empties the list.
    void RemoveAll();
};
// Dialog categories and sections
// ---------------------------------------------------------------------------------------
// A category is a group of controls described by a dialog template (DIALOG or DIALOGEX)
// and created inside an existing dialog behind a placeholder control, the anchor: the
// controls become children of that dialog, follow the anchor in its tab order, take its
// font and start hidden. A section shows one of several categories at a time at one
// anchor. The records are the caller's; they are packed to 4 bytes.

#include <stddef.h>

#pragma pack(push, 4)

typedef struct DLGCATEGORY {
    HINSTANCE hInstance;    // module holding the template; set by the caller
    LPCSTR lpszTemplate;    // RT_DIALOG name or MAKEINTRESOURCE id; set by the caller
    LPARAM lParam;          // the caller's value
    BOOL fExtended;         // nonzero for the extended (DLGTEMPLATEEX) form
    HGLOBAL hTemplate;      // the loaded template resource
    int cItems;             // number of controls the template declares
    const void* pFirstItem; // first control item inside the template
    HGLOBAL hControls;      // moveable block of cItems window handles; NULL without controls
} DLGCATEGORY;

typedef struct DLGSECTIONENTRY {
    int id;
    DWORD dwFlags; // DLGSECTION_ flags
    DLGCATEGORY category;
} DLGSECTIONENTRY;

typedef struct DLGSECTION {
    DWORD dwUser;
    HWND hDlg;
    int nAnchorId;
    int cCategories;
    int cCreated;   // categories with live controls made by the section
    int nTrimAbove; // trimming starts when cCreated exceeds this
    int nTrimTo;    // and stops when cCreated reaches this; 0 never trims
    int idCurrent;  // -1 when no category is selected
    LPARAM lUser;
    DLGSECTIONENTRY* pEntries; // on the process heap; NULL while empty
} DLGSECTION;

#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(DLGCATEGORY) == 56, "DLGCATEGORY is 56 bytes");
static_assert(offsetof(DLGCATEGORY, hInstance) == 0, "DLGCATEGORY layout");
static_assert(offsetof(DLGCATEGORY, lpszTemplate) == 8, "DLGCATEGORY layout");
static_assert(offsetof(DLGCATEGORY, lParam) == 16, "DLGCATEGORY layout");
static_assert(offsetof(DLGCATEGORY, fExtended) == 24, "DLGCATEGORY layout");
static_assert(offsetof(DLGCATEGORY, hTemplate) == 28, "DLGCATEGORY layout");
static_assert(offsetof(DLGCATEGORY, cItems) == 36, "DLGCATEGORY layout");
static_assert(offsetof(DLGCATEGORY, pFirstItem) == 40, "DLGCATEGORY layout");
static_assert(offsetof(DLGCATEGORY, hControls) == 48, "DLGCATEGORY layout");
static_assert(sizeof(DLGSECTIONENTRY) == 64, "DLGSECTIONENTRY is 64 bytes");
static_assert(offsetof(DLGSECTIONENTRY, dwFlags) == 4, "DLGSECTIONENTRY layout");
static_assert(offsetof(DLGSECTIONENTRY, category) == 8, "DLGSECTIONENTRY layout");
static_assert(sizeof(DLGSECTION) == 52, "DLGSECTION is 52 bytes");
static_assert(offsetof(DLGSECTION, hDlg) == 4, "DLGSECTION layout");
static_assert(offsetof(DLGSECTION, nAnchorId) == 12, "DLGSECTION layout");
static_assert(offsetof(DLGSECTION, cCategories) == 16, "DLGSECTION layout");
static_assert(offsetof(DLGSECTION, cCreated) == 20, "DLGSECTION layout");
static_assert(offsetof(DLGSECTION, nTrimAbove) == 24, "DLGSECTION layout");
static_assert(offsetof(DLGSECTION, nTrimTo) == 28, "DLGSECTION layout");
static_assert(offsetof(DLGSECTION, idCurrent) == 32, "DLGSECTION layout");
static_assert(offsetof(DLGSECTION, lUser) == 36, "DLGSECTION layout");
static_assert(offsetof(DLGSECTION, pEntries) == 44, "DLGSECTION layout");
#endif

// Flags of a section's category.
#define DLGSECTION_DISCARDABLE 0x1 // its controls may be destroyed by trimming
#define DLGSECTION_CREATENOW 0x2   // create its controls (hidden) when it is added
// Sent (wParam 0, lParam 0) to the host dialog at the end of every selection.
#define WM_DLGSECTIONCHANGED (WM_USER + 300)

// 1 when the template was found and its header and items lie inside the resource.
Z64EVEZE_C_API int LoadDlgCategory(DLGCATEGORY* category);
// Creates the controls, hidden, behind the anchor: 1 when every control was created. A
// record that already holds controls is refused (0) and left as it is.
Z64EVEZE_C_API int CreateDlgCategoryIndirect(DLGCATEGORY* category, HWND dialog, int anchorId,
                                             HINSTANCE instance);
// Shows (with the template's texts) or hides (emptying the texts) every control; answers the
// first control with WS_TABSTOP, or NULL.
Z64EVEZE_C_API HWND ShowDlgCategory(DLGCATEGORY* category, BOOL show);
// Destroys the controls and the framework objects attached to them: 1, or 0 for a NULL
// record or a list that cannot be locked.
Z64EVEZE_C_API int DestroyDlgCategoryControls(DLGCATEGORY* category);
// Destroys the controls and forgets the template; always 0.
Z64EVEZE_C_API int DeleteDlgCategory(DLGCATEGORY* category);

Z64EVEZE_C_API int InitDlgSection(DLGSECTION* section, DWORD dwUser, HWND dialog, int anchorId,
                                  LPARAM lUser);
// Loads (and with DLGSECTION_CREATENOW creates) a category: the new number of categories,
// or 0 when it is not added.
Z64EVEZE_C_API int AddDlgSectionCategory(DLGSECTION* section, HINSTANCE templateModule,
                                         LPCSTR templateName, int id, DWORD flags, LPARAM lParam,
                                         HINSTANCE instance);
// Hides the current category and shows the one with `id`, creating its controls when
// needed: answers the first tab stop of the category hidden, or NULL.
Z64EVEZE_C_API HWND SelectDlgSectionCategory(DLGSECTION* section, int id, HINSTANCE instance);
// 0 when nTrimTo is negative or nTrimAbove below it; trims at once.
Z64EVEZE_C_API int SetDlgSectionThreshold(DLGSECTION* section, int nTrimTo, int nTrimAbove);
Z64EVEZE_C_API int DeleteDlgSection(DLGSECTION* section);

// ---------------------------------------------------------------------------------------
// Application dialogs and controls: the micro-scroll control
// ---------------------------------------------------------------------------------------
// Window class "MicroScroll": two arrows stepping an unsigned 16-bit position through a
// range, each step reported to the notify window as WM_VSCROLL (vertical) or WM_HSCROLL.

#define MSCS_VERTICAL 0x0001
#define MSCS_HORIZONTAL 0x0002
#define MSCS_STOPATLIMIT 0x0004
#define MSCS_TEXTRANGE 0x0008 // the creation text holds "min,max,pos"
#define MSCS_REVERSED 0x0010

#define MSCM_SETNOTIFYWND (WM_USER + 1)
#define MSCM_GETNOTIFYWND (WM_USER + 2)
#define MSCM_SETRANGE (WM_USER + 3)
#define MSCM_GETRANGE (WM_USER + 4)
#define MSCM_SETPOS (WM_USER + 5)
#define MSCM_GETPOS (WM_USER + 6)
#define MSCM_SETSTOPATLIMIT (WM_USER + 7)
#define MSCM_GETSTOPATLIMIT (WM_USER + 8)
#define MSCM_SETREVERSED (WM_USER + 9)
#define MSCM_GETREVERSED (WM_USER + 10)
#define MSCM_SETCOLOR (WM_USER + 11)
#define MSCM_GETCOLOR (WM_USER + 12)

// WM_COMMAND notification codes (high word of wParam).
#define MSCN_NOTIFYGAINED 1
#define MSCN_NOTIFYLOST 2
#define MSCN_RANGECHANGING 3

// Colour slots of MSCM_SETCOLOR and MSCM_GETCOLOR.
#define MSCC_FACE 0
#define MSCC_ARROW 1
#define MSCC_SHADOW 2
#define MSCC_HIGHLIGHT 3
#define MSCC_FRAME 4

// The record the window's first extra pointer (offset 0) refers to.
typedef struct MICROSCROLLDATA {
    HWND hwndNotify;
    DWORD dwStyle;
    WORD wMin;
    WORD wMax;
    WORD wPos;
    WORD wState;         // 0x1 disabled, 0x4 pointer outside the held arrow, 0x8/0x10 arrow held
    COLORREF rgColor[5]; // 0xFFFFFFFF: the slot's system colour
} MICROSCROLLDATA;

// Registers "MicroScroll" once per process: the class atom, or 0 when registration fails
// (the next call tries again).
Z64EVEZE_C_API int FRegisterControl(HINSTANCE instance);

// ---------------------------------------------------------------------------------------
// Progress reporting: progress box classes
// ---------------------------------------------------------------------------------------
// A modeless dialog with a description (control 500), a progress bar (control 502) and,
// depending on its template, a Cancel button (IDCANCEL). The owner creates its window with
// CDialog::Create(template, parent) (the library's templates 206, with Cancel, and 234,
// without) and pumps messages while it is up. Every member that touches the window does
// nothing while the window does not exist. Every bar change is mirrored on the progress
// indicator of the process's dock frame (d64avor.dll), which the destructor clears.
//
// Ranges up to 0x7FFFFFFF go to the bar as they are. A larger range is kept with the
// position in the caller's units and given to the bar shifted right by the fewest bits
// that bring it to 0x7FFFFFFF or below (a position above the range shows a full bar); the
// dock frame always receives the caller's position and range.

#include <afxwin.h>

class Z64EVEZE_API CProgressBox : public CDialog {
public:
    CProgressBox(CWnd* pParent = nullptr);
    ~CProgressBox() override;

    void ShowOnInit(int bShow);
    int IsFinished();
    void Finish();
    void Reset();
    void Cancel();
    // 1 while the box may go on (not cancelled), 0 once it has been cancelled.
    int Cancelled();
    // The title keeps at most 79 bytes in m_szTitle (never half a double-byte character);
    // the window shows it whole. Null texts are left unchanged.
    void SetText(const char* pszTitle, const char* pszDesc);
    void SetCancelRename(const char* pszCancel);
    void SetDesc(const char* pszDesc);
    void Progress(unsigned __int64 nPos);
    void SetPosition(unsigned __int64 nPos);
    void DeltaProgress(int nDelta);
    void SetRange(__int64 nRange);
    void SetSavedWnd(HWND hWnd);
    HWND GetSavedWnd();
    void SetPDInit();
    int GetPDInit();

    int m_bContinue;
    int m_bFinished;
    int m_bPDInit;
    char m_szTitle[80];
    int m_bOwnerWasEnabled;
    bool m_bKeepOnCancel;
    CStatic m_wndDesc;
    HWND m_hSavedWnd;
    int m_bShowOnInit;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnCancel() override;

    DECLARE_MESSAGE_MAP()

private:
    unsigned __int64 m_keptRange = 0;    // a range beyond 31 bits, else 0
    unsigned __int64 m_keptPosition = 0; // the position in the caller's units
    int m_rangeShift = 0;                // bits the bar's values are shifted right
};

// Cancelling parks the window at (-32000, -32000) instead of destroying it; the owner
// deletes the object.
class Z64EVEZE_API CProgressBoxEx : public CProgressBox {
public:
    CProgressBoxEx(CWnd* pParent = nullptr);
    ~CProgressBoxEx() override;

    CWnd* m_pParentWnd;

protected:
    void OnCancel() override;

    DECLARE_MESSAGE_MAP()
};

// A box inside another window: its bar and description stretch to its width, and its
// parent answers the colour messages of its controls.
class Z64EVEZE_API CProgressBoxEmbedded : public CProgressBox {
public:
    CProgressBoxEmbedded(CWnd* pParent = nullptr);
    ~CProgressBoxEmbedded() override;

protected:
    afx_msg void OnSize(unsigned int nType, int cx, int cy);
    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, unsigned int nCtlColor);

    DECLARE_MESSAGE_MAP()
};

// ---------------------------------------------------------------------------------------
// Progress reporting: progress dialog interface
// ---------------------------------------------------------------------------------------
// One current progress box for callers without the class: created only on the thread of
// the calling application's CWinApp and while "DisableProgressBar" (section "version" of
// the settings file) is 0, over the active visible window, which stays disabled while the
// box is up. Updates pump the thread's messages below WM_USER (inside the shell's
// "saveste"/"restste" bracket when x64TRSHELL.dll is loaded) so that the box repaints and
// its Cancel button works; a WM_QUIT met there is posted again and ends the pumping.

// Runs the pending messages below WM_USER; always 1.
Z64EVEZE_C_API int PeekMessageLoop();
// A box without Cancel button (template 234). A second call reuses the box: it is reset
// and given the new texts and, unless nRange is 0, position 0 and the range.
Z64EVEZE_C_API void ProgressDialogInit(const char* pszTitle, const char* pszDesc, int nRange);
// With a non-empty pszCancel the box has a Cancel button labelled with it (template 206).
Z64EVEZE_C_API void ProgressDialogInitOverWrite(const char* pszTitle, const char* pszDesc,
                                               const char* pszCancel, int nRange);
Z64EVEZE_C_API void ProgressDialogSetDesc(const char* pszDesc);
// 1 while there is a current box, else 0.
Z64EVEZE_C_API int ProgressDialogExists();
Z64EVEZE_C_API void ProgressDialogPos(int nPos);
Z64EVEZE_C_API void ProgressDialogDelta(int nDelta);
// 1 while the work may go on (no current box, or not cancelled), 0 once cancelled.
Z64EVEZE_C_API int ProgressCheckCancel();
// Deletes the current box (window or not) and enables its owner again if it was enabled
// before; does nothing off the application thread.
Z64EVEZE_C_API void ProgressDialogDelete();
// Marks the current box finished and forgets it; its window stays for its owner.
Z64EVEZE_C_API void ProgressDialogClear();
// The same for a box the caller keeps in *ppBox: nMode 0 creates (nValue the range), 1
// updates (nValue the position; pszTitle unused), 2 deletes and nulls the slot. Only on
// the application thread; a null ppBox does nothing.
Z64EVEZE_C_API void QVProgressBox(int nMode, CProgressBox** ppBox, int nValue,
                                  const char* pszTitle, const char* pszDesc);

// ---------------------------------------------------------------------------------------
// Progress reporting: import and update status
// ---------------------------------------------------------------------------------------
// Texts, range and position of the current progress box, then the thread's messages while
// the box has not been cancelled. The results are 1 when a current box may go on, else 0.
// Changing the description without a new title shows the stored title (m_szTitle) again.

// pBox, when given, receives the texts and becomes the current box (reset unless it was
// current already). nPos 0 and nRange 0 leave position and range; null texts are kept.
Z64EVEZE_C_API unsigned short ImportUpdateStatus(CProgressBox* pBox, unsigned __int64 nPos,
                                                 __int64 nRange, const char* pszTitle,
                                                 const char* pszDesc);
Z64EVEZE_C_API unsigned short ImpUpdStat(int nPos, int nRange);
// Empties the description line; the four arguments are not used.
Z64EVEZE_C_API unsigned short ImpUpdSt(INT_PTR, INT_PTR, INT_PTR, INT_PTR);
// A description of 255 bytes or more shows as "..." and its last 251 bytes. nRange 0 only
// changes the texts; otherwise the range is set and messages are pumped. A null text
// changes no text.
Z64EVEZE_C_API void ImpUpdText2(const char* pszText, int nRange);
// ImpUpdText2(pszText, 100).
Z64EVEZE_C_API void ImpUpdText(const char* pszText);

// ---------------------------------------------------------------------------------------
// Application integration: zip clients
// ---------------------------------------------------------------------------------------
// Run a caller's (un)compression routine on the user-interface thread behind a progress box
// with a Cancel button, which is the current box of the progress interface while the
// routine runs; the box is titled with the calling application's string 12 (selector 0) or
// 13 (any other), at most 39 characters. Afterwards the box is gone, a box that was current
// before is current again, and the owner is enabled again if the client disabled it. The
// result is the routine's.

// Mode -343 calls routine(first, 0, user) and mode -342 routine(first, 1, user) without a
// box; any other mode routine(first, mode, user) behind one.
Z64EVEZE_C_API int UnZipClient(int captionSelector, int (*routine)(int, int, INT_PTR), int first,
                               int mode, INT_PTR user);
// With noProgress non-zero the routine runs without a box.
Z64EVEZE_C_API int ZipInterfaceClient(int captionSelector,
                                      int (*routine)(INT_PTR, INT_PTR, INT_PTR, int, int, INT_PTR),
                                      INT_PTR a, INT_PTR b, INT_PTR c, int d, int e,
                                      int noProgress, INT_PTR user);

// ---------------------------------------------------------------------------------------
// Progress reporting: record progress
// ---------------------------------------------------------------------------------------
// A small modeless window (template 207) titled by the operation ("Updating Database",
// string 55, when the title is empty) with "Processing record:" (string 56) and a running
// count. It is always allocated with new and deletes itself when its window is destroyed.

class Z64EVEZE_API CProgressBoxRecords : public CDialog {
public:
    // The title keeps at most 79 bytes (never half a double-byte character); null is empty.
    CProgressBoxRecords(CWnd* pParent, char* pszText);
    ~CProgressBoxRecords() override;

    // Counts one record and shows the count.
    void progress();
    // Shows the count as it is.
    void progress_step();
    // Counts one record; answers the count modulo nStep (0 counts as 1), so 0 at every
    // multiple of the step.
    int check_step(int nStep);

    unsigned int m_nCount;
    char m_szText[80];
    CStatic m_wndLabel;
    CStatic m_wndTitle;
    CStatic m_wndCount;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void PostNcDestroy() override;
    BOOL OnInitDialog() override;

    DECLARE_MESSAGE_MAP()
};

// One record window each, on the application thread only (elsewhere nothing happens).
// nMode 0 opens a window (closing one still open first) over the active visible window,
// which stays disabled while it is up, and hides the Cancel button of the current progress
// box; 1 counts; 2 closes, enabling the owner again if opening disabled it. Every call
// counts (prgRecords) or shows (prgRecordsStep) and then pumps the thread's messages;
// prgRecordsStep shows and pumps only at every nStep-th record (0 counts as 1).
Z64EVEZE_C_API void prgRecords(char* pszText, short nMode);
Z64EVEZE_C_API void prgRecordsStep(char* pszText, short nMode, unsigned int nStep);

// ---------------------------------------------------------------------------------------
// Application dialogs and controls: log-in and password dialogs
// ---------------------------------------------------------------------------------------
// Each function runs one modal dialog of the library ("Log In", template 2129; "Change
// Password", 2151; "Protection On/Off", 2148), owned by the application's active window,
// and answers 1 when it was closed with OK, else 0 (Cancel, Escape, the close box, a dialog
// that cannot be run, or a null argument, for which nothing is shown). Only on OK are the
// texts copied out, terminator included; otherwise every byte of the caller's is left as it
// was. A user id has at most 4 characters (5 bytes), a password at most 8 (9 bytes); both
// are typed in capitals. Neither dialog checks or compares what is typed.
Z64EVEZE_C_API int LoginDialog(char* userId, char* password);
// The same "Log In" dialog; only the password is copied out.
Z64EVEZE_C_API int VerifySysPassDialog(char* password);
// The new password and its confirmation, as typed, equal or not.
Z64EVEZE_C_API int SetPassDialog(char* newPassword, char* confirmation);
// The check box starts checked for 1 and unchecked for 0 (any other value shows as the
// framework's DDX_Check shows it); on OK its state, 1 or 0, is written back.
Z64EVEZE_C_API int PassOptDialog(int* enforceProtection);

// ---------------------------------------------------------------------------------------
// Application dialogs and controls: tax-code and copy-map dialogs
// ---------------------------------------------------------------------------------------
// "New Tax Code" (template 129) shows `taxCode` (at most 19 characters; a longer code or a
// null argument answers 0 and shows nothing) without letting it be edited, and asks for a
// description of at most 40 characters. On OK the description is copied into
// `description` (80 bytes) and the result is 1; otherwise 0, the buffer untouched.
Z64EVEZE_C_API int callTaxCodeDlg(const char* taxCode, char* description);
// "Confirm Mapping/Grouping Copy" (template 131): 3 Append, 4 Replace, 2 (IDCANCEL) Skip,
// Escape or the close box; -1 when the dialog cannot be run.
Z64EVEZE_C_API int callCopyMapDlg();
// Application dialogs: folder selection and path texts
// ---------------------------------------------------------------------------------------

// Lets the user choose a folder, modal to `parent` (may be null). `path` (at least 260
// bytes) holds the start folder and receives the chosen one. The mechanism follows the
// system's version: the common item dialog from 6.1 on (titled `caption`; the prompt and
// the flags are not used), the shell's folder browser from 4.0 to 6.0 (`prompt`, null for
// "Select a Folder:"; `caption`, null for the browser's own; the tree rooted at the start
// folder on request; the new style and the hidden new-folder button from Windows 2000 / Me
// on), and the legacy directory dialog before 4.0. The thread must have initialised COM
// as a single-threaded apartment. 1 when a folder was chosen and written to `path`; 2 when
// the user cancelled, nothing usable was chosen, or `path` is null.
Z64EVEZE_C_API int SelectDirFolder(CWnd* parent, char* path, LPCSTR prompt, LPCSTR caption,
                                   bool rootAtStartFolder, bool newStyle, bool noNewFolderButton);
// Shortens `path` in place to at most `maximumLength` characters by putting "\..." for
// folders in the middle ("C:\dir1\...\dir3\file.txt"), keeping the first folder or
// \\server\share. When even that is too long, the path becomes its file name; when the file
// name is too long, it stays the file name with `atLeastName`, else the path becomes empty.
// A null path does nothing.
Z64EVEZE_C_API void AbbreviateName(char* path, int maximumLength, BOOL atLeastName);
// Replaces `path` by its root ("C:\", "\\server\share\"), as the framework's AfxGetRoot
// finds it. A null path does nothing.
Z64EVEZE_C_API void GetRoot(char* path);
// SHGetSpecialFolderPathA's answer for a CSIDL folder, into `path` (MAX_PATH bytes), created
// on request; FALSE for a null path.
Z64EVEZE_API int QVGetSpecialFolderPath(HWND owner, char* path, int folder, int create);

// The text of a combined combo/edit/browse field is either a value typed freely (type 1)
// or `prefix` followed by the value of a named entry (type 0). Every text written is
// terminated within `capacity` (bytes, or characters for the wide form) and never ends in
// half a character; the parse functions and type 1 fill the rest of the capacity with
// terminators. A capacity of 0 writes nothing. A null output, text, value or prefix gives 0
// and writes nothing.

// Splits `text` into its value and type (`type` may be null); 1.
Z64EVEZE_API int ParseComboEditBrowseText(char* value, unsigned long capacity, const char* text,
                                          unsigned long* type, const char* prefix);
Z64EVEZE_API int ParseComboEditBrowseTextW(wchar_t* value, unsigned long capacity,
                                           const wchar_t* text, unsigned long* type,
                                           const wchar_t* prefix);
// Joins a value of type 0 or 1 into `text`: 1; any other type gives 0 and writes nothing.
Z64EVEZE_API int MakeComboEditBrowseText(char* text, unsigned long capacity, const char* value,
                                         unsigned long type, const char* prefix);
