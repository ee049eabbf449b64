// The folder picker. Which of three mechanisms it uses depends on the system's version:
//
//   version              mechanism
//   6.1 and later        the common item dialog, picking folders
//   4.0 up to 6.0        the shell's folder browser (SHBrowseForFolderA), in the new style
//                        from Windows 2000 / Me on when the caller asks for it
//   before 4.0           the legacy directory dialog (old-style file dialog)
//
// The picker expects the calling thread to have initialised COM as a single-threaded
// apartment. Every COM object and item list it gets is released before it returns.
#include <z64eveze.h>

#include "common/library_resources.h"
#include "common/module_entry.h"
#include "common/whole_characters.h"
#include "dialogs/legacy_directory_dialog.h"
#include "resources/resource_ids.h"

#include <support/com_ptr.h>
#include <support/task_memory.h>
#include <support/unique_resource.h>

#include <io.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>
#include <string>

namespace {

using support::ComPtr;
using z64::common::CodePage;

constexpr int kChosen = 1;
constexpr int kNotChosen = 2;

constexpr std::size_t kPathBufferSize = MAX_PATH;

// ---------------------------------------------------------------------------------------
// The system's version
// ---------------------------------------------------------------------------------------

enum class Mechanism { itemDialog, folderBrowser, legacyDialog };

Mechanism mechanismOfThisSystem() {
    const DWORD version = GetVersion();
    const BYTE major = LOBYTE(LOWORD(version));
    const BYTE minor = HIBYTE(LOWORD(version));
    if (major >= 7 || (major == 6 && minor >= 1))
        return Mechanism::itemDialog;
    return major >= 4 ? Mechanism::folderBrowser : Mechanism::legacyDialog;
}

// Windows 2000 / Me or later, whose folder browser has the new style.
bool hasNewStyleBrowser() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info))
        return false;
    return info.dwMajorVersion >= 5 || (info.dwMajorVersion == 4 && info.dwMinorVersion >= 90);
}

// ---------------------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------------------

// "Select a Folder:" from this library, read into a buffer of `bufferSize` bytes.
std::string defaultPrompt(int bufferSize) {
    std::string prompt(static_cast<std::size_t>(bufferSize), '\0');
    const int length =
        LoadStringA(z64::common::libraryModule(), IDS_SELECT_FOLDER, prompt.data(), bufferSize);
    prompt.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return prompt;
}

// ANSI text as UTF-16, at most `maximumCharacters` of it.
std::wstring widened(const char* text, DWORD flags = 0,
                     std::size_t maximumCharacters = std::wstring::npos) {
    const int length = MultiByteToWideChar(CP_ACP, flags, text, -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, flags, text, -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length) - 1);
    if (wide.size() > maximumCharacters)
        wide.resize(maximumCharacters);
    return wide;
}

HWND windowOf(CWnd* parent) {
    return parent != nullptr ? parent->GetSafeHwnd() : nullptr;
}

// ---------------------------------------------------------------------------------------
// The common item dialog
// ---------------------------------------------------------------------------------------

constexpr FILEOPENDIALOGOPTIONS kItemDialogOptions =
    FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST;

using CreateItemFromParsingName = HRESULT(WINAPI*)(PCWSTR, IBindCtx*, REFIID, void**);

// Opens the dialog in `path`. The shell function is looked up at run time; without it
// the dialog opens where it likes.
void setStartFolder(IFileDialog* dialog, const char* path) {
    const support::UniqueModule shell(LoadLibraryA("Shell32.dll"));
    if (!shell)
        return;
    const auto create = z64::common::moduleEntry<CreateItemFromParsingName>(
        shell.get(), "SHCreateItemFromParsingName");
    if (create == nullptr)
        return;
    ComPtr<IShellItem> folder;
    if (create(widened(path).c_str(), nullptr, IID_IShellItem, folder.putVoid()) == S_OK)
        dialog->SetFolder(folder.get());
}

// The chosen folder's file-system path in the ANSI code page, written to `path` only when
// it fits in its 260 bytes.
int copyChosenFolder(IFileDialog* dialog, char* path) {
    ComPtr<IShellItem> chosen;
    if (FAILED(dialog->GetResult(chosen.put())))
        return kNotChosen;
    support::UniqueTaskString name;
    if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, name.put())))
        return kNotChosen;
    char converted[kPathBufferSize];
    if (WideCharToMultiByte(CP_ACP, 0, name.get(), -1, converted, sizeof converted, nullptr,
                            nullptr) == 0)
        return kNotChosen;
    std::memcpy(path, converted, std::strlen(converted) + 1);
    return kChosen;
}

int chooseWithItemDialog(CWnd* parent, char* path, LPCSTR caption) {
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileOpenDialog, dialog.putVoid())))
        return kNotChosen;
    dialog->SetOptions(kItemDialogOptions);
    if (path[0] != '\0')
        setStartFolder(dialog.get(), path);
    if (caption != nullptr && caption[0] != '\0')
        dialog->SetTitle(widened(caption).c_str());
    if (FAILED(dialog->Show(windowOf(parent))))
        return kNotChosen;
    return copyChosenFolder(dialog.get(), path);
}

// ---------------------------------------------------------------------------------------
// The shell's folder browser
// ---------------------------------------------------------------------------------------

constexpr UINT kBrowserFlags =
    BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_RETURNFSANCESTORS | BIF_EDITBOX;
// The browser's prompt text above the tree.
constexpr int kBrowserPromptId = 14146;
// The selection is shown shortened to this many characters.
constexpr int kShownPathLength = 52;
constexpr int kPromptBufferSize = 80;
// The new-style prompt with the selection below it, terminator included.
constexpr std::size_t kPromptWithPathSize = 300;

// What the browser's callback needs, for one call of the picker.
struct BrowseContext {
    char* pszStartPath; // 260 bytes: the caller's path at entry, the initial selection
    LPCSTR pszCaption;
    LPCSTR pszPrompt;
    bool bNewStyle;
};

bool isExistingDirectory(const char* path) {
    if (_access(path, 0) != 0)
        return false;
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void selectStartFolder(HWND browser, const BrowseContext& context) {
    if (context.pszCaption != nullptr)
        SetWindowTextA(browser, context.pszCaption);
    if (isExistingDirectory(context.pszStartPath)) {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE,
                     reinterpret_cast<LPARAM>(context.pszStartPath));
        return;
    }
    char current[kPathBufferSize];
    const DWORD length = GetCurrentDirectoryA(sizeof current, current);
    if (length > 0 && length < sizeof current)
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(current));
}

// The prompt, an empty line and the selection, cut at a whole character so that it fits
// in 300 bytes however long the caller's prompt is.
std::string promptWithPath(const BrowseContext& context, const char* shownPath) {
    std::string text = context.pszPrompt != nullptr
                           ? std::string(context.pszPrompt)
                           : defaultPrompt(static_cast<int>(kPromptWithPathSize));
    text += "\n\n";
    text += shownPath;
    text.resize(
        z64::common::wholeCharacterBytes(text.c_str(), kPromptWithPathSize - 1, CodePage::runTime));
    return text;
}

void showSelection(HWND browser, LPCITEMIDLIST selection, const BrowseContext& context) {
    char shown[kPathBufferSize] = "";
    if (!SHGetPathFromIDListA(selection, shown))
        shown[0] = '\0';
    AbbreviateName(shown, kShownPathLength, TRUE);
    if (hasNewStyleBrowser() && context.bNewStyle) {
        SetDlgItemTextA(browser, kBrowserPromptId, promptWithPath(context, shown).c_str());
        return;
    }
    SendMessageA(browser, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(shown));
}

int CALLBACK browseCallback(HWND browser, UINT message, LPARAM parameter, LPARAM data) {
    const auto& context = *reinterpret_cast<const BrowseContext*>(data);
    if (message == BFFM_INITIALIZED)
        selectStartFolder(browser, context);
    else if (message == BFFM_SELCHANGED)
        showSelection(browser, reinterpret_cast<LPCITEMIDLIST>(parameter), context);
    return 0;
}

// The item list of `path`, to be the root of the browser's tree; null when it cannot be
// parsed.
support::UniqueTaskMemory<ITEMIDLIST> itemListOf(HWND owner, const char* path) {
    support::UniqueTaskMemory<ITEMIDLIST> items;
    ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.put())))
        return items;
    std::wstring wide = widened(path, MB_PRECOMPOSED, kPathBufferSize - 1);
    if (FAILED(
            desktop->ParseDisplayName(owner, nullptr, wide.data(), nullptr, items.put(), nullptr)))
        items.reset();
    return items;
}

int chooseWithFolderBrowser(CWnd* parent, char* path, LPCSTR prompt, LPCSTR caption,
                            bool rootAtStartFolder, bool newStyle, bool noNewFolderButton) {
    const bool newStyleBrowser = hasNewStyleBrowser();
    char startPath[kPathBufferSize];
    z64::common::copyWholeCharacters(startPath, sizeof startPath, path, CodePage::runTime);
    // Older browsers do not find "C:\dir\" but do find "C:\dir".
    if (!newStyleBrowser && startPath[0] != '\0') {
        const std::size_t length = std::strlen(startPath);
        if (startPath[length - 1] == '\\')
            startPath[length - 1] = '\0';
    }
    const HWND owner = windowOf(parent);
    support::UniqueTaskMemory<ITEMIDLIST> root;
    if (rootAtStartFolder && startPath[0] != '\0')
        root = itemListOf(owner, startPath);

    const std::string loadedPrompt = defaultPrompt(kPromptBufferSize);
    BrowseContext context{startPath, caption, prompt, newStyle};
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.pidlRoot = root.get();
    // The browser writes the selection's display name here; the caller's buffer only ever
    // receives a file-system path.
    char displayName[kPathBufferSize] = "";
    info.pszDisplayName = displayName;
    info.lpszTitle = prompt != nullptr ? prompt : loadedPrompt.c_str();
    info.ulFlags = kBrowserFlags;
    if (newStyleBrowser && newStyle) {
        info.ulFlags |= BIF_NEWDIALOGSTYLE;
        if (noNewFolderButton)
            info.ulFlags |= BIF_NONEWFOLDERBUTTON;
    }
    info.lpfn = browseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&context);

    const support::UniqueTaskMemory<ITEMIDLIST> chosen(SHBrowseForFolderA(&info));
    // The caller's buffer keeps its text unless a file-system folder was chosen.
    char chosenPath[kPathBufferSize];
    if (!chosen || !SHGetPathFromIDListA(chosen.get(), chosenPath))
        return kNotChosen;
    std::memcpy(path, chosenPath, std::strlen(chosenPath) + 1);
    return kChosen;
}

} // namespace

int SelectDirFolder(CWnd* parent, char* path, LPCSTR prompt, LPCSTR caption, bool rootAtStartFolder,
                    bool newStyle, bool noNewFolderButton) {
    if (path == nullptr)
        return kNotChosen;
    switch (mechanismOfThisSystem()) {
    case Mechanism::itemDialog:
        return chooseWithItemDialog(parent, path, caption);
    case Mechanism::folderBrowser:
        return chooseWithFolderBrowser(parent, path, prompt, caption, rootAtStartFolder, newStyle,
                                       noNewFolderButton);
    case Mechanism::legacyDialog:
        break;
    }
    return z64::dialogs::chooseLegacyDirectory(parent, path);
}
