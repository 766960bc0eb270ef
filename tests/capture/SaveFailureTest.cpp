#include "CaptureTestSupport.h"

#include "capture/SaveScheduler.h"
#include "core/NotificationNames.h"
#include "platform/Strings.h"

#include <SQLiteCpp/Database.h>

#include <gtest/gtest.h>

#include <atomic>

using namespace std::chrono_literals;

TEST(SaveScheduler, AFailedSaveStaysPendingAndIsTriedAgainUntilOneSucceeds)
{
    std::atomic<int> attempts{0};
    std::atomic<bool> failing{true};
    SaveScheduler scheduler(
        [&] {
            ++attempts;
            return !failing.load();
        },
        1ms, 2ms);
    scheduler.schedule();
    ASSERT_TRUE(waitUntil([&] { return attempts.load() >= 3; }));
    EXPECT_TRUE(scheduler.isPending());
    EXPECT_EQ(scheduler.saveCount(), 0);
    EXPECT_GE(scheduler.failureCount(), 3);

    failing = true;
    EXPECT_FALSE(scheduler.flush(true));
    failing = false;
    ASSERT_TRUE(waitUntil([&] { return scheduler.saveCount() == 1; }));
    EXPECT_FALSE(scheduler.isPending());
    EXPECT_EQ(scheduler.failureCount(), 0);
    EXPECT_TRUE(scheduler.flush());
}

namespace {
SQLite::Database &database(CaptureHarness &h) { return h.manager->storage().context()->store()->database(); }
} // namespace

TEST(SaveFailure, EachCauseIsToldOnceInPlainWordsAndTheChangesStayPending)
{
    CaptureHarness h;
    h.copyText(QStringLiteral("first"));
    ASSERT_TRUE(h.manager->saveNow());
    h.clearPosted();

    database(h).exec("PRAGMA query_only = 1"); // the file cannot be written
    h.copyText(QStringLiteral("second"));
    EXPECT_FALSE(h.manager->saveNow());
    EXPECT_FALSE(h.manager->saveNow());
    h.settle();
    EXPECT_EQ(h.told(), QStringList{L("Save.Problem.ReadOnly")});
    EXPECT_EQ(h.manager->unsavedItemCount(), 1);

    database(h).exec("PRAGMA query_only = 0");
    database(h).exec("PRAGMA max_page_count = 1"); // no room for one more page: the disk is full
    h.copyText(QString(200000, QLatin1Char('x')));
    EXPECT_FALSE(h.manager->saveNow());
    EXPECT_FALSE(h.manager->saveNow());
    h.settle();
    EXPECT_EQ(h.told(), (QStringList{L("Save.Problem.ReadOnly"), L("Save.Problem.DiskFull")}));
    EXPECT_EQ(h.manager->unsavedItemCount(), 2);
    EXPECT_TRUE(h.manager->saveScheduler().isPending());

    database(h).exec("PRAGMA max_page_count = 1073741823");
    EXPECT_TRUE(h.manager->saveNow());
    EXPECT_EQ(h.manager->unsavedItemCount(), 0);
    EXPECT_FALSE(h.manager->saveScheduler().isPending());
    SQLite::Database check(CoreDataStack::shared().storePath().toStdString(), SQLite::OPEN_READONLY, 10000);
    EXPECT_EQ(check.execAndGet("SELECT count(*) FROM PBItemRecord").getInt(), 3);

    // After a success, the same cause is worth telling again.
    database(h).exec("PRAGMA query_only = 1");
    h.copyText(QStringLiteral("third"));
    EXPECT_FALSE(h.manager->saveNow());
    h.settle();
    EXPECT_EQ(h.told().size(), 3);
    database(h).exec("PRAGMA query_only = 0");
}

TEST(SaveFailure, AnyOtherFailureNamesItsReason)
{
    CaptureHarness h;
    h.copyText(QStringLiteral("first"));
    ASSERT_TRUE(h.manager->saveNow());
    database(h).exec(
        "CREATE TEMP TRIGGER refuse BEFORE INSERT ON \"PBItemRecord\" BEGIN SELECT RAISE(ABORT, 'refused'); END");
    h.clearPosted();
    h.copyText(QStringLiteral("second"));
    EXPECT_FALSE(h.manager->saveNow());
    h.settle();
    const QStringList told = h.told();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.first().contains(QStringLiteral("refused"))) << told.first().toStdString();
    database(h).exec("DROP TRIGGER temp.refuse");
    EXPECT_TRUE(h.manager->saveNow());
}
