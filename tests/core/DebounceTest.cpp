#include "core/Debounce.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(Debounce, OnlyTheLastOfABurstRunsOneIntervalAfterIt)
{
    QElapsedTimer clock;
    clock.start();
    QList<qint64> runs;
    auto debounced = debounce(300ms, [&] { runs.append(clock.elapsed()); });
    debounced();
    waitUntil([&] { return clock.elapsed() >= 100; });
    debounced();
    waitUntil([&] { return clock.elapsed() >= 200; });
    debounced();
    waitUntil([&] { return clock.elapsed() >= 900; }, 2000);
    ASSERT_EQ(runs.size(), 1);
    EXPECT_GE(runs.first(), 480);
    EXPECT_LT(runs.first(), 700);
}

TEST(Debounce, PassesTheLastCallsArgument)
{
    QList<int> seen;
    auto debounced = debounce<int>(50ms, mainQueueScheduler(), [&](int row) { seen.append(row); });
    for (int row = 0; row < 5; ++row)
        debounced(row);
    waitUntil([&] { return !seen.isEmpty(); });
    waitUntil([] { return false; }, 120);
    EXPECT_EQ(seen, QList<int>{4});
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
    std::atomic<int> runs{0};
    auto debounced = debounce(100ms, [&] { ++runs; });
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
    waitUntil([&] { return runs.load() > 0; });
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(runs.load(), 1);
}
