// Per-thread objects: one state per thread, created on first access, destroyed when the
// thread ends or when the holder goes.
#include <afx.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <tuple>

namespace {

std::atomic<int> g_statesDestroyed{0};

struct CountedState : public CNoTrackObject {
    ~CountedState() override { ++g_statesDestroyed; }
    int value = 0;
    DWORD creator = GetCurrentThreadId();
};

CThreadLocal<CountedState> g_countedState;

// A thread that is joined has ended: joining waits for the thread's handle, which is
// signalled after the thread-detach notifications.
TEST(ThreadLocal, EachThreadGetsItsOwnStateOnFirstAccess) {
    CountedState* mine = g_countedState.GetData();
    mine->value = 5;
    EXPECT_EQ(g_countedState.GetData(), mine);
    EXPECT_EQ(g_countedState->value, 5);
    EXPECT_EQ(mine->creator, GetCurrentThreadId());

    // The other thread has no state before its first access, then a fresh one of its own.
    std::tuple<CountedState*, bool, int, bool> theirs;
    std::thread([&] {
        CountedState* before = g_countedState.GetDataNA();
        CountedState* state = g_countedState.GetData();
        theirs = {before, state != mine, state->value, state->creator == GetCurrentThreadId()};
    }).join();
    EXPECT_EQ(theirs, std::tuple(nullptr, true, 0, true));
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
        std::thread([&] {
            if (c.touch)
                g_countedState->value = 1;
        }).join();
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
