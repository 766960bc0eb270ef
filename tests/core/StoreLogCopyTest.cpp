#include "StoreTestSupport.h"

#include "support/TestEnvironment.h"

#include <SQLiteCpp/Transaction.h>

#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <condition_variable>
#include <thread>

namespace {
// Pages of 4 KiB, each with its frame header in the log.
constexpr qint64 kFrameBytes = 4096 + 24;

class StoreLogCopyTest : public StoreTest {
protected:
    void TearDown() override { PersistentStore::setLogCopiedHookForTesting(nullptr); }

    // About `pages` pages written in one transaction on the store's own connection.
    void writePages(int pages, int round)
    {
        std::lock_guard lock(context()->mutex());
        SQLite::Database &database = context()->store()->database();
        SQLite::Transaction transaction(database, SQLite::TransactionBehavior::IMMEDIATE);
        database.exec("CREATE TABLE IF NOT EXISTS scratch (round INTEGER, filler BLOB)");
        SQLite::Statement insert(database, "INSERT INTO scratch VALUES (?, randomblob(3900))");
        for (int i = 0; i < pages; ++i) {
            insert.bind(1, round);
            insert.exec();
            insert.reset();
        }
        transaction.commit();
    }

    // Rows of the round found in copies of the store's files, as a crash would leave them on
    // disk: the store file alone, or with its log.
    int rowsInCopy(int round, bool withLog)
    {
        const QString copy = m_copies.path() + QStringLiteral("/copy%1.sqlite").arg(++m_copyCount);
        EXPECT_TRUE(QFile::copy(storePath(), copy));
        if (withLog) {
            EXPECT_TRUE(QFile::copy(storePath() + QStringLiteral("-wal"), copy + QStringLiteral("-wal")));
        }
        SQLite::Database database(copy.toStdString(), SQLite::OPEN_READWRITE);
        if (!database.tableExists("scratch"))
            return 0;
        SQLite::Statement count(database, "SELECT count(*) FROM scratch WHERE round = ?");
        count.bind(1, round);
        count.executeStep();
        return count.getColumn(0).getInt();
    }

    QTemporaryDir m_copies;
    int m_copyCount = 0;
};
} // namespace

TEST_F(StoreLogCopyTest, ACommitLeavesCopyingItsLogToAnotherThreadAndACrashMeanwhileLosesNothing)
{
    // A reader that started before the commit keeps its pages in the log for now.
    SQLite::Database reader(storePath().toStdString(), SQLite::OPEN_READONLY);
    reader.exec("BEGIN");
    reader.execAndGet("SELECT count(*) FROM PBItemRecord");
    writePages(1200, 1);
    EXPECT_TRUE(waitUntil([&] { return !context()->store()->isCopyingLog(); }, 10000));
    EXPECT_EQ(rowsInCopy(1, false), 0);
    EXPECT_EQ(rowsInCopy(1, true), 1200);
    reader.exec("COMMIT");

    // The next commit's copy runs while the commit has long returned.
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    std::thread::id copiedOn;
    PersistentStore::setLogCopiedHookForTesting([&] {
        std::unique_lock lock(mutex);
        copiedOn = std::this_thread::get_id();
        released.wait_for(lock, std::chrono::seconds(20), [&] { return release; });
    });
    writePages(10, 2);
    EXPECT_TRUE(context()->store()->isCopyingLog());
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();
    ASSERT_TRUE(waitUntil([&] { return !context()->store()->isCopyingLog(); }, 10000));
    EXPECT_NE(copiedOn, std::this_thread::get_id());
    EXPECT_EQ(rowsInCopy(1, false), 1200);
    EXPECT_EQ(rowsInCopy(2, false), 10);
}

TEST_F(StoreLogCopyTest, TheLogStaysBoundedWhileCommitsOutrunItsCopy)
{
    context()->store()->setLogCopyLimitsForTesting(50, 200);
    // A slow disk: each copy takes a while.
    PersistentStore::setLogCopiedHookForTesting([] { std::this_thread::sleep_for(std::chrono::milliseconds(30)); });
    qint64 longest = 0;
    for (int round = 1; round <= 30; ++round) {
        writePages(60, round);
        longest = std::max(longest, QFileInfo(storePath() + QStringLiteral("-wal")).size());
    }
    // At most the limit, one commit that found a copy running and one more over it.
    EXPECT_LE(longest, (200 + 3 * 70) * kFrameBytes);
    ASSERT_TRUE(waitUntil([&] { return !context()->store()->isCopyingLog(); }, 10000));
    reopen();
    EXPECT_EQ(rawDatabase().execAndGet("SELECT count(DISTINCT round) FROM scratch").getInt(), 30);
}
