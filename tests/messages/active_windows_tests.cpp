// CActiveQVWindows: the main windows of running instances of every release, found by their
// class and their "PROP_QVPATH" atom.
#include "unique_window.h"

#include <z64eveze.h>

#include <gtest/gtest.h>

#include <psapi.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using test_support::UniqueWindow;
using Found = std::vector<std::pair<HWND, std::string>>;

const char* const kClasses[] = {"QuorvaneClass260", "quorvaneclass190", "QuorvaneClass42",
                                "QuorvaneClass26", "QuorvaneClass2600"};

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
        for (const char* name : kClasses) {
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
        windows_.emplace_back(CreateWindowExA(0, windowClass, "instance",
                                              WS_OVERLAPPED | (visible ? WS_VISIBLE : 0), 0, 0, 50,
                                              50, nullptr, nullptr, nullptr, nullptr));
        if (property != 0)
            SetPropA(windows_.back().get(), "PROP_QVPATH", reinterpret_cast<HANDLE>(property));
        return windows_.back().get();
    }
    ATOM atom(const std::string& path) { return atoms_.emplace_back(GlobalAddAtomA(path.c_str())); }

    std::vector<UniqueWindow> windows_;
    std::vector<ATOM> atoms_;
};

TEST_F(ActiveWindowsTest, ListsTheMainWindowsOfEveryRelease) {
    CActiveQVWindows none;
    EXPECT_TRUE(ours(none).empty());
    EXPECT_EQ(none.FindWindows(), 0);

    const std::string longPath(255, 'p');
    const ATOM deleted = atom("C:\\Deleted"); // deleted once every other atom is made
    const struct {
        const char* label;
        const char* windowClass;
        bool visible;
        UINT_PTR property;
        std::string path; // empty: not listed
    } rows[] = {
        {"current release, hidden", "QuorvaneClass260", false, atom("C:\\Data\\Client"),
         "C:\\Data\\Client.AC"},
        {"current release, visible", "QuorvaneClass260", true, atom("D:\\B"), "D:\\B.AC"},
        {"older release, other case", "quorvaneclass190", true, atom("E:\\Old"), "E:\\Old.AC"},
        {"oldest release", "QuorvaneClass42", false, atom("F:\\Oldest"), "F:\\Oldest.AC"},
        {"255-character atom", "QuorvaneClass42", true, atom(longPath), longPath + ".AC"},
        {"high bits ignored", "QuorvaneClass260", true, 0x7FFF12340000ull | atom("G:\\H"),
         "G:\\H.AC"},
        {"no property", "QuorvaneClass260", true, 0, ""},
        {"low word 0", "QuorvaneClass260", true, 0x10000, ""},
        {"deleted atom", "QuorvaneClass260", true, deleted, ""},
        {"shorter class", "QuorvaneClass26", true, atom("C:\\X"), ""},
        {"longer class", "QuorvaneClass2600", true, atom("C:\\Y"), ""},
    };
    std::vector<std::pair<HWND, std::string>> created;
    for (const auto& row : rows)
        created.emplace_back(instance(row.windowClass, row.visible, row.property), row.path);
    GlobalDeleteAtom(deleted);

    std::vector<HWND> order;
    EnumWindows(
        [](HWND window, LPARAM windows) {
            reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&order));
    Found expected; // in the order EnumWindows reports them
    for (HWND window : order)
        for (const auto& [handle, path] : created)
            if (handle == window && !path.empty())
                expected.emplace_back(handle, path);

    CActiveQVWindows list;
    EXPECT_EQ(ours(list), expected);
    EXPECT_EQ(list.FindWindows(), 1);
    EXPECT_EQ(list.FindWindows(), 1);
    EXPECT_EQ(ours(list), expected) << "a second search replaces the first";

    CActiveQVWindows later(FALSE);
    EXPECT_TRUE(later.IsEmpty());
    EXPECT_EQ(later.FindWindows(), 1);
    EXPECT_EQ(ours(later), expected);
    later.RemoveAll();
    EXPECT_EQ(later.GetCount(), 0);
}

TEST_F(ActiveWindowsTest, RecordsTakenOutBelongToTheCaller) {
    instance("QuorvaneClass260", true, atom("C:\\Taken"));
    CActiveQVWindows list;
    ASSERT_FALSE(list.IsEmpty());
    tagACTIVEQVWINDOW* taken = list.RemoveHead(); // the node goes, the record stays
    EXPECT_NE(std::string(taken->szPath).find(".AC"), std::string::npos);
    delete taken;
}

TEST_F(ActiveWindowsTest, TheDestructorFreesTheRecords) {
    for (int index = 0; index < 8; ++index)
        instance("QuorvaneClass260", false, atom("C:\\Doc" + std::to_string(index)));
    const auto privateBytes = [] {
        PROCESS_MEMORY_COUNTERS_EX counters{};
        GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters);
        return counters.PrivateUsage;
    };
    { CActiveQVWindows warm; }
    const SIZE_T before = privateBytes();
    for (int index = 0; index < 3000; ++index)
        CActiveQVWindows list; // 8 records of 268 bytes each time: 6 MB if they were kept
    EXPECT_LT(privateBytes(), before + 2 * 1024 * 1024);
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
    for (const void* pointer :
         {static_cast<const void*>(&first), static_cast<const void*>(&second)}) {
        const auto value = reinterpret_cast<UINT_PTR>(pointer);
        for (int shift = 0; shift < 64; shift += 8)
            expected.push_back(static_cast<BYTE>(value >> shift));
    }
    EXPECT_EQ(std::vector<BYTE>(file.GetData(), file.GetData() + file.GetLength()), expected);
    // CList::RemoveAll drops the nodes only: the records are not the list's to free here.
    list.CList<tagACTIVEQVWINDOW*, tagACTIVEQVWINDOW*>::RemoveAll();
}

} // namespace
