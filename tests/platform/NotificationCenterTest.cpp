#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"

#include <QThread>

#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>

TEST(NotificationCenter, DeliversSynchronouslyOnThePostingThreadWithThePayload)
{
    NotificationCenter center;
    QThread *deliveredOn = nullptr;
    QVariant payload;
    center.addObserver(QStringLiteral("historyDidAddNewItem"), [&](const Notification &n) {
        deliveredOn = QThread::currentThread();
        payload = n.info();
    });
    center.postInfo(QStringLiteral("historyDidAddNewItem"), QStringList{QStringLiteral("1")});
    EXPECT_EQ(deliveredOn, QThread::currentThread());
    EXPECT_EQ(payload.toStringList(), QStringList{QStringLiteral("1")});
}

TEST(NotificationCenter, FiltersByNameAndPoster)
{
    NotificationCenter center;
    int poster = 0, other = 0;
    int hits = 0;
    center.addObserver(
        QStringLiteral("a"), [&](const Notification &) { ++hits; }, &poster);
    center.post(QStringLiteral("a"), &other);
    center.post(QStringLiteral("b"), &poster);
    center.post(QStringLiteral("a"), &poster);
    EXPECT_EQ(hits, 1);
}

TEST(NotificationCenter, AnObserverCanRemoveItselfAndOthersDuringDelivery)
{
    NotificationCenter center;
    int first = 0, second = 0;
    NotificationCenter::Token secondToken = 0;
    NotificationCenter::Token firstToken = center.addObserver(QStringLiteral("n"), [&](const Notification &) {
        ++first;
        center.removeObserver(firstToken);
        center.removeObserver(secondToken);
    });
    secondToken = center.addObserver(QStringLiteral("n"), [&](const Notification &) { ++second; });
    center.post(QStringLiteral("n"));
    center.post(QStringLiteral("n"));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
}

TEST(NotificationCenter, ConcurrentPostsAndRemovalsAreSafe)
{
    NotificationCenter center;
    std::atomic<int> hits{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                auto token = center.addObserver(QStringLiteral("n"), [&](const Notification &) { ++hits; });
                center.post(QStringLiteral("n"));
                center.removeObserver(token);
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_GE(hits.load(), 2000);
}

TEST(SerialQueue, RunsWorkInOrderOnOneThreadAndDrainsAtShutdown)
{
    std::vector<int> order;
    std::set<std::thread::id> threads;
    {
        SerialQueue queue(QStringLiteral("com.tavi.test"));
        for (int i = 0; i < 100; ++i)
            queue.async([&, i] {
                order.push_back(i);
                threads.insert(std::this_thread::get_id());
            });
    }
    ASSERT_EQ(order.size(), 100u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_EQ(threads.size(), 1u);
}

TEST(SerialQueue, SyncFromTheQueueItselfDoesNotDeadlockAndAThrowDoesNotStopIt)
{
    QStringList logged;
    std::mutex loggedMutex;
    Log::setObserver([&](LogLevel, const QString &message, const char *, const char *, int) {
        std::lock_guard lock(loggedMutex);
        logged << message;
    });
    SerialQueue queue(QStringLiteral("com.tavi.test"));
    // An exception's message can quote what the work was about: the log names only its type.
    queue.async([] { throw std::runtime_error("copied secret text"); });
    bool inner = false;
    queue.sync([&] { queue.sync([&] { inner = true; }); });
    EXPECT_TRUE(inner);
    Log::setObserver({});
    const QStringList thrown = logged.filter(QStringLiteral("com.tavi.test"));
    ASSERT_EQ(thrown.size(), 1) << logged.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(thrown.first().contains(QStringLiteral("std::runtime_error"))) << thrown.first().toStdString();
    EXPECT_TRUE(logged.filter(QStringLiteral("secret")).isEmpty());
}
