// Extension libraries: a library that registers itself in the chain makes its dialog
// templates, strings and classes available to the application by id and name, until it
// unloads; its per-thread states go with it.
#include <afxwin.h>
#include <gtest/gtest.h>

#include "extension/extension_resources.h"
#include "extension/test_extension.h"
#include "host_resources.h"
#include "ui_driver.h"

#include <support/unique_resource.h>

#include <thread>
#include <tuple>

namespace {

// A serialisable class of the application itself.
class CApplicationRecord : public CObject {
    DECLARE_SERIAL(CApplicationRecord)
public:
    CApplicationRecord() = default;
};

IMPLEMENT_SERIAL(CApplicationRecord, CObject, 1)

bool inList(CRuntimeClass* head, const char* name) {
    for (CRuntimeClass* c = head; c != nullptr; c = c->m_pNextClass)
        if (lstrcmpA(c->m_lpszClassName, name) == 0)
            return true;
    return false;
}

CDynLinkLibrary* libraryInChain(HMODULE module) {
    for (CDynLinkLibrary* library = AfxGetModuleState()->m_pFirstLibrary; library != nullptr;
         library = library->m_pNextDLL)
        if (library->m_hModule == module)
            return library;
    return nullptr;
}

template <typename Function>
Function bind(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

class ExtensionLibraryTest : public testing::Test {
protected:
    void SetUp() override {
        module.reset(LoadLibraryA(kExtensionLibraryName));
        ASSERT_TRUE(module) << "cannot load " << kExtensionLibraryName;
    }
    support::UniqueModule module;
};

TEST_F(ExtensionLibraryTest, JoinsTheChainWithItsResourcesAndClasses) {
    const auto moduleHandle =
        bind<ExtensionModuleHandleFunction>(module.get(), "ExtensionModuleHandle");
    ASSERT_NE(moduleHandle, nullptr);
    EXPECT_EQ(moduleHandle(), module.get()) << "AfxInitExtensionModule recorded the module";
    CDynLinkLibrary* library = libraryInChain(module.get());
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(library->m_hResource, module.get());
    EXPECT_FALSE(library->m_bSystem);

    // The modules that hold the library's dialog and string, and the application's.
    EXPECT_EQ(std::tuple(AfxFindResourceHandle(MAKEINTRESOURCEA(IDD_EXTENSION_ONLY), RT_DIALOG),
                         AfxFindStringResourceHandle(IDS_EXTENSION_ONLY),
                         AfxFindResourceHandle(MAKEINTRESOURCEA(IDD_HOST_DATA), RT_DIALOG),
                         AfxFindStringResourceHandle(IDS_HOST_GREETING)),
              std::tuple(module.get(), module.get(), GetModuleHandleA(nullptr),
                         GetModuleHandleA(nullptr)));

    CString text;
    ASSERT_TRUE(text.LoadString(IDS_EXTENSION_ONLY));
    EXPECT_STREQ(text, "Text from the extension library");

    // The library's classes are its own list in the chain; the application's stay in the
    // module state's list.
    AFX_MODULE_STATE* state = AfxGetModuleState();
    EXPECT_EQ(std::tuple(inList(library->m_classList.m_pHead, kExtensionRecordClassName),
                         inList(library->m_classList.m_pHead, "CApplicationRecord"),
                         inList(state->m_classList.m_pHead, "CApplicationRecord"),
                         inList(state->m_classList.m_pHead, kExtensionRecordClassName)),
              std::tuple(true, false, true, false));
    CRuntimeClass* extensionClass = CRuntimeClass::FromName(kExtensionRecordClassName);
    ASSERT_NE(extensionClass, nullptr);
    CObject* created = extensionClass->CreateObject();
    ASSERT_NE(created, nullptr);
    EXPECT_TRUE(created->IsKindOf(extensionClass));
    EXPECT_TRUE(created->IsSerializable());
    delete created;
    EXPECT_EQ(CRuntimeClass::FromName("CApplicationRecord"), RUNTIME_CLASS(CApplicationRecord));
}

TEST_F(ExtensionLibraryTest, ADialogOfTheLibraryRunsByIdFromTheApplication) {
    CDialog dialog(IDD_EXTENSION_ONLY);
    bool hasButton = false;
    test_host::UiScript script;
    script.then([&] {
        HWND hWnd = test_host::findDialog("Extension Dialog");
        if (hWnd == nullptr)
            return false;
        hasButton = test_host::windowText(GetDlgItem(hWnd, IDC_EXTENSION_BUTTON)) == "Extension";
        test_host::clickButton(hWnd, IDOK);
        return true;
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(hasButton);

    CDialog modeless;
    ASSERT_TRUE(modeless.Create(IDD_EXTENSION_ONLY));
    EXPECT_EQ(test_host::windowText(modeless.m_hWnd), "Extension Dialog");
    modeless.DestroyWindow();
}

TEST_F(ExtensionLibraryTest, UnloadingLeavesTheChainAndDestroysThePerThreadStates) {
    volatile LONG destroyed = 0;
    bind<ExtensionSetDestroyCounterFunction>(module.get(),
                                             "ExtensionSetDestroyCounter")(&destroyed);
    const auto touch =
        bind<ExtensionTouchThreadStateFunction>(module.get(), "ExtensionTouchThreadState");
    const int mine = touch();
    EXPECT_EQ(touch(), mine) << "one state per thread";
    int theirs = 0;
    std::thread([&] { theirs = touch(); }).join();
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(destroyed, 1) << "the other thread's state went with its thread";

    HMODULE handle = module.get();
    module.reset();
    EXPECT_EQ(GetModuleHandleA(kExtensionLibraryName), nullptr);
    EXPECT_EQ(destroyed, 2) << "this thread's state went with the library";
    EXPECT_EQ(libraryInChain(handle), nullptr);
    EXPECT_EQ(CRuntimeClass::FromName(kExtensionRecordClassName), nullptr);
    CString text("unchanged");
    EXPECT_FALSE(text.LoadString(IDS_EXTENSION_ONLY));
    EXPECT_EQ(AfxFindResourceHandle(MAKEINTRESOURCEA(IDD_EXTENSION_ONLY), RT_DIALOG),
              AfxGetResourceHandle());
}

} // namespace
