// CActiveQVWindows: the main windows of running instances of every release, found by their
// class and their "PROP_QVPATH" atom.
#include "test_support.h"
#include "unique_window.h"

#include <z64eveze.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const char *const k260 = "QuorvaneClass260", *const k190 = "quorvaneclass190",
                  *const k42 = "QuorvaneClass42";

using Found = std::vector<std::pair<HWND, std::string>>;

// The records of this process's windows, in list order (other processes are left out).
Found ours(const CActiveQVWindows& list) {
    Found found;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        const tagACTIVEQVWINDOW* record = list.GetNext(pos);
        DWORD process = 0;
        GetWindowThreadProcessId(record->hWnd, &process);
        if (process == GetCurrentProcessId())
            found.emplace_back(record->hWnd, record->szPath);
    }
    return found;
}

class ActiveWindowsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* name : {k260, k190, k42, "QuorvaneClass26", "QuorvaneClass2600"}) {
            WNDCLASSA windowClass{};
            windowClass.lpfnWndProc = DefWindowProcA;
            windowClass.lpszClassName = name;
            RegisterClassA(&windowClass);
        }
    }
    void TearDown() override {
        for (ATOM atom : atoms_)
            GlobalDeleteAtom(atom);
    }
    HWND instance(const char* windowClass, bool visible, UINT_PTR property) {
        HWND window = CreateWindowExA(0, windowClass, "", visible ? WS_VISIBLE : 0, 0, 0, 50, 50,
                                      nullptr, nullptr, nullptr, nullptr);
        windows_.emplace_back(window);
        if (property != 0)
            SetPropA(window, "PROP_QVPATH", reinterpret_cast<HANDLE>(property));
        return window;
    }
    ATOM atom(const std::string& path) { return atoms_.emplace_back(GlobalAddAtomA(path.c_str())); }

    std::vector<test_support::UniqueWindow> windows_;
    std::vector<ATOM> atoms_;
};

TEST_F(ActiveWindowsTest, ListsTheMainWindowsOfEveryRelease) {
    EXPECT_EQ(CActiveQVWindows(FALSE).FindWindows(), 0); // none of ours, maybe others'
    const std::string longPath(255, 'p');
    const ATOM deleted = atom("C:\\Deleted"); // deleted once every other atom is made
    // An empty path: not listed.
    // clang-format off
    const struct { const char* label; const char* windowClass; bool visible; UINT_PTR property; std::string path; } rows[] = {
        {"hidden", k260, false, atom("C:\\Data\\Client"), "C:\\Data\\Client.AC"},
        {"visible", k260, true, atom("D:\\B"), "D:\\B.AC"},
        {"older release, other case", k190, true, atom("E:\\Old"), "E:\\Old.AC"},
        {"oldest release", k42, false, atom("F:\\Oldest"), "F:\\Oldest.AC"},
        {"255-character atom", k42, true, atom(longPath), longPath + ".AC"},
        {"high bits ignored", k260, true, 0x7FFF12340000ull | atom("G:\\H"), "G:\\H.AC"},
        {"no property", k260, true, 0, ""},
        {"low word 0", k260, true, 0x10000, ""},
        {"deleted atom", k260, true, deleted, ""},
        {"shorter class", "QuorvaneClass26", true, atom("C:\\X"), ""},
        {"longer class", "QuorvaneClass2600", true, atom("C:\\Y"), ""},
    };
    // clang-format on
    Found created, expected;
    for (const auto& row : rows)
        created.emplace_back(instance(row.windowClass, row.visible, row.property), row.path);
    GlobalDeleteAtom(deleted);
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT))
        for (const auto& [handle, path] : created) // in the order EnumWindows reports them
            if (handle == window && !path.empty())
                expected.emplace_back(handle, path);

    CActiveQVWindows list;
    EXPECT_EQ(ours(list), expected);
    EXPECT_EQ(list.FindWindows(), 1);
    EXPECT_EQ(ours(list), expected) << "a second search replaces the first";
    CActiveQVWindows later(FALSE);
    EXPECT_TRUE(later.IsEmpty());
    EXPECT_EQ(later.FindWindows(), 1);
    EXPECT_EQ(ours(later), expected);
    later.RemoveAll();
    EXPECT_TRUE(later.IsEmpty());

    delete list.RemoveHead(); // the record is the caller's; the destructor frees the others
    const SIZE_T before = test_support::privateBytes();
    for (int index = 0; index < 3000; ++index)
        CActiveQVWindows kept; // 6 records of 268 bytes each time: 4.8 MB if they were kept
    EXPECT_LT(test_support::privateBytes(), before + 2 * 1024 * 1024);
}

TEST_F(ActiveWindowsTest, SerializeStoresTheCountAndEachPointer) {
    CActiveQVWindows list(FALSE);
    tagACTIVEQVWINDOW first{}, second{};
    list.AddTail(&first);
    list.AddTail(&second);
    CMemFile file;
    {
        CArchive archive(&file, CArchive::store);
        list.Serialize(archive);
    }
    std::vector<BYTE> expected{2, 0};
    for (const auto value :
         {reinterpret_cast<UINT_PTR>(&first), reinterpret_cast<UINT_PTR>(&second)})
        for (int shift = 0; shift < 64; shift += 8)
            expected.push_back(static_cast<BYTE>(value >> shift));
    EXPECT_EQ(std::vector<BYTE>(file.GetData(), file.GetData() + file.GetLength()), expected);
    // CList::RemoveAll drops the nodes only: the records are not the list's to free here.
    list.CList<tagACTIVEQVWINDOW*, tagACTIVEQVWINDOW*>::RemoveAll();
}

} // namespace
