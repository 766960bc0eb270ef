#include "CaptureTestSupport.h"

#include "capture/SlicedAnnouncements.h"
#include "core/NotificationNames.h"
#include "core/NotificationPayloads.h"
#include "core/TaviSettings.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

namespace {
const QString kItem = QStringLiteral("test.slicedItem");
const QString kDone = QStringLiteral("test.slicedDone");

// What the listeners saw, in order: each item's number, "done", and "timer" for a timer's turn.
struct Seen {
    Seen()
    {
        const auto record = [this](const Notification &n) {
            entries.append(n.name == kItem ? n.userInfo.value(QStringLiteral("n")).toString() : QStringLiteral("done"));
            onMainThread = onMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
        };
        observers.observe(kItem, record);
        observers.observe(kDone, record);
    }
    QStringList entries;
    bool onMainThread = true;
    ObserverBag observers;
};

QList<SlicedAnnouncements::Announcement> batchOf(int count)
{
    QList<SlicedAnnouncements::Announcement> batch;
    for (int i = 0; i < count; ++i)
        batch.append({kItem, {{QStringLiteral("n"), QString::number(i)}}});
    batch.append({kDone, {}});
    return batch;
}

QStringList expectedEntries(int count)
{
    QStringList entries;
    for (int i = 0; i < count; ++i)
        entries.append(QString::number(i));
    entries.append(QStringLiteral("done"));
    return entries;
}
} // namespace

TEST(SlicedAnnouncements, ABatchOnTheMainThreadGoesInOrderAndLetsTheEventLoopTurnBetweenSlices)
{
    // One announcement per turn: a timer started before the batch fires before its end.
    SlicedAnnouncements announcements(std::chrono::microseconds(0));
    Seen seen;
    QTimer::singleShot(0, [&] { seen.entries.append(QStringLiteral("timer")); });
    announcements.post(batchOf(40));
    EXPECT_EQ(seen.entries, QStringList{QStringLiteral("0")}); // the first slice before it returns
    ASSERT_TRUE(waitUntil([&] { return seen.entries.contains(QStringLiteral("done")); }));
    const qsizetype timer = seen.entries.indexOf(QStringLiteral("timer"));
    EXPECT_GT(timer, 0);
    EXPECT_LT(timer, seen.entries.indexOf(QStringLiteral("39")));
    seen.entries.removeAt(timer);
    EXPECT_EQ(seen.entries, expectedEntries(40));

    // A batch within one slice is told wholly before the post returns.
    SlicedAnnouncements quick(std::chrono::seconds(1));
    seen.entries.clear();
    quick.post(batchOf(5));
    EXPECT_EQ(seen.entries, expectedEntries(5));
}

TEST(SlicedAnnouncements, BatchesFromOtherThreadsReachTheMainThreadInTheOrderPosted)
{
    SlicedAnnouncements announcements(std::chrono::microseconds(0));
    Seen seen;
    std::thread worker([&] {
        announcements.post(batchOf(20));
        announcements.post(kItem, {{QStringLiteral("n"), QStringLiteral("after")}});
    });
    worker.join();
    // Posted on the main thread while the others wait: it goes after them.
    announcements.post(kDone);
    ASSERT_TRUE(waitUntil([&] { return seen.entries.size() == 23; }));
    EXPECT_EQ(seen.entries, expectedEntries(20) + QStringList({QStringLiteral("after"), QStringLiteral("done")}));
    EXPECT_TRUE(seen.onMainThread);
}

TEST(SlicedAnnouncements, WhatIsPendingIsDroppedWithTheObject)
{
    Seen seen;
    {
        SlicedAnnouncements announcements(std::chrono::microseconds(0));
        announcements.post(batchOf(10));
    }
    QTimer::singleShot(20, [&] { seen.entries.append(QStringLiteral("timer")); });
    ASSERT_TRUE(waitUntil([&] { return seen.entries.contains(QStringLiteral("timer")); }));
    EXPECT_EQ(seen.entries, (QStringList{QStringLiteral("0"), QStringLiteral("timer")}));
}

// The auto-clean's announcements: every item it took, in the order it took them, then one clear.
TEST(SlicedAnnouncements, AnAutoCleanTellsEachItemItTookInOrderThenOneClear)
{
    CaptureHarness h;
    TaviSettings &settings = TaviSettings::shared();
    settings.setClearType(PBHistoryClearType::items);
    settings.setHistoryKeepLastCount(5);
    for (int i = 0; i < 40; ++i) {
        h.copyText(QStringLiteral("item %1").arg(i));
        waitForTheClockToMove();
    }
    h.settle();
    h.clearPosted();
    QStringList order;
    ObserverBag observers;
    observers.observe(NotificationName::historyItemDidDelete, [&](const Notification &n) {
        const std::optional<PBItem> item = NotificationPayload::ChangedItem::decode(n);
        order.append(item && item->dataProvider() ? item->dataProvider()->representedText() : QStringLiteral("?"));
    });
    observers.observe(NotificationName::historyItemsDidClear,
                      [&](const Notification &) { order.append(QStringLiteral("clear")); });
    h.manager->autoCleanHistory();
    ASSERT_TRUE(waitUntil([&] { return order.contains(QStringLiteral("clear")); }));
    h.settle();
    QStringList expected;
    for (int i = 34; i >= 0; --i)
        expected.append(QStringLiteral("item %1").arg(i));
    expected.append(QStringLiteral("clear"));
    EXPECT_EQ(order, expected);
    EXPECT_EQ(h.texts().size(), 5);
}
