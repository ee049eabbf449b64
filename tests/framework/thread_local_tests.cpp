// Per-thread objects: one state per thread, created on first access, destroyed when the
// thread ends or when the holder goes.
#include <afx.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

std::atomic<int> g_statesDestroyed{0};

struct CountedState : public CNoTrackObject {
    ~CountedState() override { ++g_statesDestroyed; }
    int value = 0;
    DWORD creator = GetCurrentThreadId();
};

CThreadLocal<CountedState> g_countedState;

// Runs `work` on a new thread of the platform and waits until the thread has ended.
template <typename Work>
void runOnThreadToItsEnd(Work work) {
    struct Context {
        Work* work;
    } context{&work};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            (*static_cast<Context*>(parameter)->work)();
            return 0;
        },
        &context, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

TEST(ThreadLocal, EachThreadGetsItsOwnStateOnFirstAccess) {
    CountedState* mine = g_countedState.GetData();
    mine->value = 5;
    EXPECT_EQ(g_countedState.GetData(), mine);
    EXPECT_EQ(g_countedState->value, 5);
    EXPECT_EQ(mine->creator, GetCurrentThreadId());

    CountedState* before = reinterpret_cast<CountedState*>(1);
    CountedState* theirs = nullptr;
    int theirValue = -1;
    DWORD theirCreator = 0;
    DWORD theirThread = 0;
    runOnThreadToItsEnd([&] {
        before = g_countedState.GetDataNA();
        theirs = g_countedState.GetData();
        theirValue = theirs->value;
        theirCreator = theirs->creator;
        theirThread = GetCurrentThreadId();
    });
    EXPECT_EQ(before, nullptr) << "no state before the first access";
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(theirValue, 0);
    EXPECT_EQ(theirCreator, theirThread);
    EXPECT_EQ(g_countedState->value, 5) << "this thread's state is untouched";
}

TEST(ThreadLocal, AThreadsStateIsDestroyedWhenTheThreadEnds) {
    // clang-format off
    struct Case { const char* label; bool touch; int expectedDestroyed; };
    const Case cases[] = {{"thread that used its state", true, 1},
                          {"thread that never did", false, 0}};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const int before = g_statesDestroyed;
        runOnThreadToItsEnd([&] {
            if (c.touch)
                g_countedState->value = 1;
        });
        EXPECT_EQ(g_statesDestroyed - before, c.expectedDestroyed);
    }
}

TEST(ThreadLocal, DestroyingTheHolderDestroysEveryThreadsState) {
    auto holder = std::make_unique<CThreadLocal<CountedState>>();
    (*holder)->value = 1;
    HANDLE touched = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread worker([&] {
        (*holder)->value = 2;
        SetEvent(touched);
        WaitForSingleObject(release, INFINITE);
    });
    WaitForSingleObject(touched, INFINITE);
    const int before = g_statesDestroyed;
    holder.reset();
    EXPECT_EQ(g_statesDestroyed - before, 2) << "the live thread's state goes too";
    SetEvent(release);
    worker.join();
    EXPECT_EQ(g_statesDestroyed - before, 2) << "and is not destroyed a second time";
    CloseHandle(touched);
    CloseHandle(release);
}

TEST(ThreadLocal, AFreedSlotIsReusedWithoutOldStates) {
    auto first = std::make_unique<CThreadLocal<CountedState>>();
    (*first)->value = 9;
    const int slot = first->m_nSlot;
    first.reset();
    CThreadLocal<CountedState> second;
    EXPECT_EQ(second.GetDataNA(), nullptr);
    EXPECT_EQ(second->value, 0);
    EXPECT_EQ(second.m_nSlot, slot);
}

} // namespace
