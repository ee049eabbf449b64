// CList: the doubly linked list with block-allocated nodes, and its serialisation.
#include <afxtempl.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

using IntList = CList<int, int>;

std::vector<int> contents(const IntList& list) {
    std::vector<int> values;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
        values.push_back(list.GetNext(pos));
    return values;
}

// Whether the list holds `expected` read forwards and backwards, with its count, head and
// tail agreeing.
testing::AssertionResult holds(const IntList& list, const std::vector<int>& expected) {
    std::vector<int> backwards;
    for (POSITION pos = list.GetTailPosition(); pos != nullptr;)
        backwards.insert(backwards.begin(), list.GetPrev(pos));
    const bool ends = expected.empty()
                          ? list.IsEmpty() != FALSE
                          : list.GetHead() == expected.front() && list.GetTail() == expected.back();
    if (contents(list) == expected && backwards == expected && ends &&
        list.GetCount() == static_cast<INT_PTR>(expected.size()) &&
        list.GetSize() == list.GetCount())
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "forwards " << testing::PrintToString(contents(list)) << ", backwards "
           << testing::PrintToString(backwards) << ", count " << list.GetCount();
}

void fill(IntList& list, std::initializer_list<int> values) {
    for (int value : values)
        list.AddTail(value);
}

// Whether `operation` throws the framework exception `Exception` (which it then deletes)
// and that exception satisfies `check`.
template <typename Exception, typename Operation>
bool throws(Operation operation, bool (*check)(Exception*) = nullptr) {
    try {
        operation();
    } catch (Exception* exception) {
        const bool matches = check == nullptr || check(exception);
        exception->Delete();
        return matches;
    }
    return false;
}

TEST(ListOperations, EditsKeepBothDirectionsConsistent) {
    // clang-format off
    struct Case { const char* label; void (*edit)(IntList&); std::vector<int> expected; };
    const Case cases[] = {
        {"add head and tail", [](IntList& l) { l.AddHead(0); l.AddTail(9); }, {0, 1, 2, 3, 9}},
        {"insert before the head", [](IntList& l) { l.InsertBefore(l.GetHeadPosition(), 7); }, {7, 1, 2, 3}},
        {"insert before the middle", [](IntList& l) { l.InsertBefore(l.FindIndex(1), 7); }, {1, 7, 2, 3}},
        {"insert after the tail", [](IntList& l) { l.InsertAfter(l.GetTailPosition(), 7); }, {1, 2, 3, 7}},
        {"insert after the middle", [](IntList& l) { l.InsertAfter(l.FindIndex(1), 7); }, {1, 2, 7, 3}},
        {"insert before null adds at the head", [](IntList& l) { l.InsertBefore(nullptr, 7); }, {7, 1, 2, 3}},
        {"remove the head", [](IntList& l) { l.RemoveAt(l.GetHeadPosition()); }, {2, 3}},
        {"remove the middle", [](IntList& l) { l.RemoveAt(l.Find(2)); }, {1, 3}},
        {"remove the tail", [](IntList& l) { l.RemoveAt(l.GetTailPosition()); }, {1, 2}},
        {"remove head and tail", [](IntList& l) { EXPECT_EQ(l.RemoveHead(), 1); EXPECT_EQ(l.RemoveTail(), 3); }, {2}},
        {"set at", [](IntList& l) { l.SetAt(l.FindIndex(2), 30); }, {1, 2, 30}},
        {"remove everything", [](IntList& l) { l.RemoveAll(); }, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        IntList list;
        fill(list, {1, 2, 3});
        c.edit(list);
        EXPECT_TRUE(holds(list, c.expected));
    }
}

TEST(ListSearch, FindAndFindIndex) {
    IntList list;
    fill(list, {5, 8, 5, 9});
    // clang-format off
    struct Case { const char* label; POSITION found; INT_PTR expectedIndex; /* -1: not found */ };
    const Case cases[] = {
        {"first match", list.Find(5), 0},
        {"after a position", list.Find(5, list.FindIndex(0)), 2},
        {"after the last match", list.Find(5, list.FindIndex(2)), -1},
        {"missing value", list.Find(4), -1},
        {"index 3", list.FindIndex(3), 3},
        {"index past the end", list.FindIndex(4), -1},
        {"negative index", list.FindIndex(-1), -1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.expectedIndex < 0) {
            EXPECT_EQ(c.found, nullptr);
            continue;
        }
        EXPECT_EQ(c.found, list.FindIndex(c.expectedIndex));
    }
    EXPECT_EQ(list.GetAt(list.Find(9)), 9);
}

TEST(ListCopy, AddingWholeListsKeepsTheirOrder) {
    IntList first, second;
    fill(first, {1, 2});
    fill(second, {3, 4});
    first.AddTail(&second);
    EXPECT_TRUE(holds(first, {1, 2, 3, 4}));
    first.AddHead(&second);
    EXPECT_TRUE(holds(first, {3, 4, 1, 2, 3, 4}));
    EXPECT_TRUE(holds(second, {3, 4}));
}

// Exposes the node blocks of the list, to see how many have been allocated.
class InspectedList : public IntList {
public:
    using IntList::IntList;
    [[nodiscard]] int blockCount() const {
        int count = 0;
        for (CPlex* block = m_pBlocks; block != nullptr; block = block->pNext)
            ++count;
        return count;
    }
    [[nodiscard]] bool hasFreeNodes() const { return m_pNodeFree != nullptr; }
};

TEST(ListBlocks, NodesComeInBlocksOfTheGivenSize) {
    // clang-format off
    struct Case { INT_PTR blockSize; int elements; int expectedBlocks; };
    const Case cases[] = {{10, 1, 1}, {10, 10, 1}, {10, 11, 2}, {3, 7, 3}, {1, 4, 4}};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.elements << " elements in blocks of " << c.blockSize);
        InspectedList list(c.blockSize);
        for (int i = 0; i < c.elements; ++i)
            list.AddTail(i);
        EXPECT_EQ(list.blockCount(), c.expectedBlocks);
    }
}

TEST(ListBlocks, RemovedNodesAreReusedAndTheLastRemovalFreesTheBlocks) {
    InspectedList list(4);
    fill(list, {1, 2, 3, 4});
    list.RemoveHead();
    list.AddTail(5); // takes the freed node: no new block
    EXPECT_EQ(list.blockCount(), 1);
    for (int i = 0; i < 4; ++i)
        list.RemoveTail();
    EXPECT_EQ(list.blockCount(), 0);
    EXPECT_FALSE(list.hasFreeNodes());
}

TEST(ListBlocks, ElementsAreConstructedAndDestroyedWithTheirNodes) {
    CList<CString, const CString&> list;
    list.AddTail(CString("one"));
    list.AddHead(CString("zero"));
    list.InsertAfter(list.GetHeadPosition(), CString("half"));
    EXPECT_STREQ(list.GetAt(list.FindIndex(1)), "half");
    EXPECT_EQ(list.Find(CString("one")), list.GetTailPosition());
    list.RemoveAt(list.FindIndex(1));
    EXPECT_STREQ(list.GetHead() + list.GetTail(), "zeroone");
}

TEST(ListErrors, ImpossibleBlocksEmptyListsAndNullPositionsThrow) {
    IntList huge(INTPTR_MAX / 4);
    EXPECT_TRUE(throws<CMemoryException>([&] { huge.AddTail(1); }));
    EXPECT_TRUE(huge.IsEmpty());
    IntList list;
    EXPECT_TRUE(throws<CInvalidArgException>([&] { list.GetHead(); }));
    EXPECT_TRUE(throws<CInvalidArgException>([&] { list.RemoveTail(); }));
    EXPECT_TRUE(throws<CInvalidArgException>([&] { list.RemoveAt(nullptr); }));
}

TEST(ListSerialize, StoresTheCountThenEachPointerValue) {
    using PointerList = CList<void*, void*>;
    PointerList list;
    void* const values[] = {reinterpret_cast<void*>(0x1122334455667788),
                            reinterpret_cast<void*>(0x10), nullptr};
    for (void* value : values)
        list.AddTail(value);

    CMemFile file;
    {
        CArchive store(&file, CArchive::store);
        list.Serialize(store);
    }
    // clang-format off
    const std::vector<BYTE> expected = {3, 0, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11,
                                        0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    // clang-format on
    EXPECT_EQ(std::vector<BYTE>(file.GetData(), file.GetData() + file.GetLength()), expected);

    file.SeekToBegin();
    PointerList loaded;
    loaded.AddTail(reinterpret_cast<void*>(0x99)); // loading appends
    {
        CArchive load(&file, CArchive::load);
        loaded.Serialize(load);
    }
    ASSERT_EQ(loaded.GetCount(), 4);
    POSITION pos = loaded.FindIndex(1);
    for (void* value : values)
        EXPECT_EQ(loaded.GetNext(pos), value);
}

TEST(ListSerialize, LargeCountsUseTheEscapedForms) {
    // clang-format off
    struct Case { DWORD_PTR count; ULONGLONG expectedLength; };
    const Case cases[] = {{0, 2}, {0xFFFE, 2}, {0xFFFF, 6}, {0x12345678, 6}, {0xFFFFFFFF, 14}};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count);
        CMemFile file;
        {
            CArchive store(&file, CArchive::store);
            store.WriteCount(c.count);
        }
        EXPECT_EQ(file.GetLength(), c.expectedLength);
        file.SeekToBegin();
        CArchive load(&file, CArchive::load);
        EXPECT_EQ(load.ReadCount(), c.count);
    }
}

TEST(ListSerialize, ATruncatedArchiveThrowsTheArchiveException) {
    CMemFile file;
    {
        CArchive store(&file, CArchive::store);
        store.WriteCount(2);
        int one = 1;
        store.Write(&one, sizeof one);
    }
    file.SeekToBegin();
    CArchive load(&file, CArchive::load);
    IntList list;
    EXPECT_TRUE(throws<CArchiveException>(
        [&] { list.Serialize(load); },
        [](CArchiveException* e) { return e->m_cause == CArchiveException::endOfFile; }));
}

} // namespace
