#include "core/Debounce.h"
#include "support/ManualScheduler.h"
#include "support/TestEnvironment.h"

#include <QThread>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(Debounce, OnlyTheLastOfABurstRunsOneIntervalAfterIt)
{
    ManualScheduler clock;
    QList<std::chrono::milliseconds> runs;
    auto debounced = debounce<>(300ms, clock.scheduler(), [&] { runs.append(clock.now()); });
    debounced();
    clock.advance(100ms);
    debounced();
    clock.advance(100ms);
    debounced();
    clock.advance(299ms);
    EXPECT_TRUE(runs.isEmpty());
    clock.advance(1s);
    EXPECT_EQ(runs, QList<std::chrono::milliseconds>{500ms});
}

TEST(Debounce, PassesTheLastCallsArgument)
{
    QList<int> seen;
    auto debounced = debounce<int>(50ms, mainQueueScheduler(), [&](int row) { seen.append(row); });
    for (int row = 0; row < 5; ++row)
        debounced(row);
    ASSERT_TRUE(waitUntil([&] { return !seen.isEmpty(); }));
    // A later call fires after anything the first burst still had due.
    debounced(9);
    ASSERT_TRUE(waitUntil([&] { return seen.size() >= 2; }));
    EXPECT_EQ(seen, (QList<int>{4, 9}));
}

TEST(Debounce, ACheckThatFiresLateOrEarlyStillRunsOnlyTheLastCall)
{
    // A scheduler that runs every check only when the test says so, in any order.
    QList<std::function<void()>> pending;
    DebounceScheduler manual = [&](std::chrono::milliseconds, std::function<void()> work) { pending.append(work); };
    QList<int> seen;
    auto debounced = debounce<int>(300ms, manual, [&](int value) { seen.append(value); });
    debounced(1);
    debounced(2);
    for (auto &check : pending)
        check();
    EXPECT_EQ(seen, QList<int>{2});
}

TEST(Debounce, CallsFromSeveralThreadsRunTheActionOnce)
{
    ManualScheduler clock;
    std::atomic<int> runs{0};
    auto debounced = debounce<>(100ms, clock.scheduler(), [&] { ++runs; });
    QList<QThread *> threads;
    for (int i = 0; i < 4; ++i)
        threads.append(QThread::create([&] {
            for (int n = 0; n < 50; ++n)
                debounced();
        }));
    for (QThread *thread : threads)
        thread->start();
    for (QThread *thread : threads) {
        thread->wait();
        delete thread;
    }
    EXPECT_EQ(clock.pending(), 200u);
    clock.advance(100ms);
    EXPECT_EQ(runs.load(), 1);
}
