// The store beside another program that opens the same file (the sqlite3 shell, a database
// browser, a backup script, a second session): its locks hold, its log stays, a lock the other
// holds at start is waited for, never taken for damage, and a file cut short under it fails reads
// instead of ending the program.

#include "StoreTestSupport.h"

#include "platform/Log.h"
#include "platform/NotificationCenter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <atomic>
#include <future>
#include <stdexcept>

namespace {
bool hasSqliteShell() { return !QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty(); }

// The sqlite3 shell run on the file with the statements; true when it exited with 0.
bool runShell(const QString &path, const QString &sql)
{
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"), {path, sql});
    return shell.waitForFinished(10000) && shell.exitStatus() == QProcess::NormalExit && shell.exitCode() == 0;
}

// A sqlite3 shell that takes a lock on the store and keeps it until released.
class LockingShell {
public:
    LockingShell(const QString &path, const QByteArray &statements)
    {
        m_shell.setProcessChannelMode(QProcess::MergedChannels);
        m_shell.start(QStringLiteral("sqlite3"), {path});
        m_shell.waitForStarted(5000);
        m_shell.write(statements + "\n.print LOCKED\n");
        QByteArray output;
        while (!output.contains("LOCKED") && m_shell.waitForReadyRead(10000))
            output += m_shell.readAll();
        m_locked = output.contains("LOCKED") && !output.contains("Error");
    }
    ~LockingShell() { release(); }
    bool isLocked() const { return m_locked; }
    // Keeps the lock `seconds` longer, as a program busy writing does, then lets it go.
    void release(double seconds = 0)
    {
        if (m_shell.state() == QProcess::NotRunning)
            return;
        if (seconds > 0)
            m_shell.write(".shell sleep " + QByteArray::number(seconds) + "\n");
        m_shell.write("COMMIT;\n.quit\n");
        m_shell.closeWriteChannel();
        if (!m_shell.waitForFinished(10000))
            m_shell.kill();
        m_shell.waitForFinished(2000);
    }

private:
    QProcess m_shell;
    bool m_locked = false;
};

QByteArray digest(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

QStringList keptAside(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("PBHistory.sqlite.*")}, QDir::Files);
}

// Passes every log line on to `seen` while it lives.
class LogWatch {
public:
    explicit LogWatch(std::function<void(const QString &)> seen)
    {
        Log::setObserver([seen = std::move(seen)](LogLevel, const QString &message, const char *, const char *, int) {
            seen(message);
        });
    }
    ~LogWatch() { Log::setObserver({}); }
};

class PatienceScope {
public:
    explicit PatienceScope(SearchIndex::Patience patience) : m_saved(SearchIndex::patience())
    {
        SearchIndex::setPatience(patience);
    }
    ~PatienceScope() { SearchIndex::setPatience(m_saved); }

private:
    SearchIndex::Patience m_saved;
};

const char *const kWaitingLine = "locked by another connection; waiting";
} // namespace

class StoreSharing : public StoreTest {
protected:
    void SetUp() override
    {
        if (!hasSqliteShell())
            GTEST_SKIP() << "needs the sqlite3 shell";
        StoreTest::SetUp();
    }
    void save(const QString &text)
    {
        item(text);
        ASSERT_TRUE(context()->save());
    }
    // The texts another connection reads from the file.
    QStringList storedTexts() const
    {
        QStringList result;
        SQLite::Database database = rawDatabase();
        SQLite::Statement query(database, "SELECT text FROM PBItemRecord ORDER BY pk");
        while (query.executeStep())
            result << QString::fromStdString(query.getColumn(0).getString());
        return result;
    }
};

TEST_F(StoreSharing, AnotherProgramsSessionAfterARebuildLeavesTheLogAndLaterSavesInPlace)
{
    save(QStringLiteral("before"));
    // As at every start without a sync folder: the container is built again on the open file.
    stack->setupContainer();
    save(QStringLiteral("after the rebuild"));

    // A read-write session of the shell: it must see that it is not alone, and leave the log.
    ASSERT_TRUE(runShell(storePath(), QStringLiteral("SELECT count(*) FROM PBItemRecord")));
    EXPECT_TRUE(QFileInfo::exists(storePath() + QStringLiteral("-wal")));
    save(QStringLiteral("after the shell"));

    EXPECT_EQ(storedTexts(), (QStringList{QStringLiteral("before"), QStringLiteral("after the rebuild"),
                                          QStringLiteral("after the shell")}));
}

TEST_F(StoreSharing, AStoreLockedByAnotherProgramAtStartIsWaitedForAndOpensWithItsHistory)
{
    save(QStringLiteral("kept"));
    context().reset();
    stack.reset();

    // A write transaction in the log's usual mode stops no reader: the start goes on at once.
    {
        LockingShell shell(storePath(), "BEGIN IMMEDIATE; INSERT INTO PBCategoryRecord (name) VALUES ('other');");
        ASSERT_TRUE(shell.isLocked());
        std::atomic<bool> waited = false;
        LogWatch watch([&](const QString &line) { waited = waited || line.contains(QLatin1String(kWaitingLine)); });
        openStack();
        EXPECT_FALSE(stack->storeProblem());
        EXPECT_FALSE(waited);
        EXPECT_EQ(fetchTexts(std::nullopt), QStringList{QStringLiteral("kept")});
        context().reset();
        stack.reset();
    }

    // An exclusive lock stops readers too: the start waits until it goes.
    LockingShell shell(storePath(), "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; "
                                    "INSERT INTO PBCategoryRecord (name) VALUES ('other');");
    ASSERT_TRUE(shell.isLocked());
    std::promise<void> waiting;
    std::atomic<bool> told = false;
    LogWatch watch([&](const QString &line) {
        if (line.contains(QLatin1String(kWaitingLine)) && !told.exchange(true))
            waiting.set_value();
    });
    auto opened = std::async(std::launch::async, [&] { return std::make_unique<CoreDataStack>(storePath()); });
    ASSERT_EQ(waiting.get_future().wait_for(std::chrono::seconds(PersistentStore::kOpenBusyTimeoutMs / 1000)),
              std::future_status::ready)
        << "the start did not wait for the lock";
    shell.release();
    stack = opened.get();
    EXPECT_FALSE(stack->storeProblem()) << stack->storeProblem()->message().toStdString();
    EXPECT_FALSE(stack->managedContext()->store()->isTemporary());
    EXPECT_EQ(fetchTexts(std::nullopt), QStringList{QStringLiteral("kept")});
    EXPECT_EQ(keptAside(m_dir.path()), QStringList());
}

TEST_F(StoreSharing, AStoreThatStaysLockedIsLeftAsItIsAndTheUserToldWhy)
{
    save(QStringLiteral("kept"));
    context().reset();
    stack.reset();
    ASSERT_TRUE(runShell(storePath(), QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")));
    const QByteArray before = digest(storePath());

    {
        LockingShell shell(storePath(), "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; "
                                        "INSERT INTO PBCategoryRecord (name) VALUES ('other');");
        ASSERT_TRUE(shell.isLocked());
        openStack();
        ASSERT_TRUE(stack->storeProblem());
        EXPECT_EQ(stack->storeProblem()->kind, StoreProblem::Kind::Busy);
        EXPECT_TRUE(stack->storeProblem()->message().contains(storePath()));
        EXPECT_TRUE(stack->storeProblem()->message().contains(QLatin1String("in use by another program")));
        // The session goes on, on a store of its own, and says so; nothing is moved or replaced.
        EXPECT_TRUE(stack->managedContext()->store()->isTemporary());
        save(QStringLiteral("this session"));
        stack->setupContainer();
        EXPECT_EQ(fetchTexts(std::nullopt), QStringList{QStringLiteral("this session")});
        EXPECT_EQ(keptAside(m_dir.path()), QStringList());
        EXPECT_EQ(digest(storePath()), before);
        context().reset();
        stack.reset();
    }

    // Once the other program is gone, the next start has the history.
    openStack();
    EXPECT_FALSE(stack->storeProblem());
    EXPECT_EQ(fetchTexts(std::nullopt), QStringList{QStringLiteral("kept")});
}

TEST_F(StoreSharing, TheSearchIndexWaitsOutAnotherProgramsWriteLockAndIsBuiltWhenItGoes)
{
    for (int i = 0; i < 30; ++i)
        item(QStringLiteral("Quarterly report %1").arg(i), i);
    ASSERT_TRUE(context()->save());
    SearchIndex &index = context()->store()->searchIndex();
    ASSERT_TRUE(index.waitUntilReady(10000));

    // Each wait short, so that the lock outlasts many of them and the time other failures get.
    const PatienceScope patience(
        {std::chrono::milliseconds(20), std::chrono::milliseconds(10), std::chrono::milliseconds(200)});
    LockingShell shell(storePath(), "BEGIN IMMEDIATE; INSERT INTO PBCategoryRecord (name) VALUES ('other');");
    ASSERT_TRUE(shell.isLocked());
    std::promise<void> waiting;
    std::atomic<bool> told = false;
    LogWatch watch([&](const QString &line) {
        if (line.contains(QLatin1String("the search index waits for it")) && !told.exchange(true))
            waiting.set_value();
    });
    // A failed search while the lock is held: the index is to be built anew.
    context()->store()->database().setBusyTimeout(50);
    index.reportFailure(std::runtime_error("fts5: damaged"));
    context()->store()->database().setBusyTimeout(PersistentStore::kBusyTimeoutMs);
    ASSERT_EQ(waiting.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready)
        << "the builder did not wait for the lock";
    EXPECT_FALSE(index.isReady());
    EXPECT_EQ(
        fetchTexts(Predicate::search({QStringLiteral("text"), QStringLiteral("appName")}, QStringLiteral("report 7"))),
        QStringList{QStringLiteral("Quarterly report 7")});

    shell.release(1.5);
    EXPECT_TRUE(index.waitUntilReady(20000)) << "the index was not built after the lock went";
    EXPECT_EQ(rowCount("PBItemRecord_search_docsize"), 30);
    EXPECT_EQ(
        fetchTexts(Predicate::search({QStringLiteral("text"), QStringLiteral("appName")}, QStringLiteral("report 12"))),
        QStringList{QStringLiteral("Quarterly report 12")});
}

TEST_F(StoreSharing, AStoreFileCutShortByAnotherProgramFailsReadsInsteadOfEndingTheProgram)
{
    const QByteArray payload(64 * 1024, 'p');
    for (int i = 0; i < 64; ++i)
        item(QStringLiteral("item %1").arg(i))->setData(payload);
    ASSERT_TRUE(context()->save());
    rawDatabase().exec("PRAGMA wal_checkpoint(TRUNCATE)"); // every page in the file itself
    reopen();
    // A later copy leaves the log naming the file's full length, as it does while the program runs.
    save(QStringLiteral("later"));
    const auto records = context()->fetch(PBItemRecord::fetchRequest()).value();
    ASSERT_EQ(records.size(), 65);

    QProcess cut;
    cut.start(QStringLiteral("truncate"), {QStringLiteral("--size=16384"), storePath()});
    ASSERT_TRUE(cut.waitForFinished(10000) && cut.exitCode() == 0);
    ASSERT_EQ(QFileInfo(storePath()).size(), 16384);

    // The payloads lay past the new end: each read fails and is counted; none ends the process.
    int failed = 0;
    for (const auto &record : records) {
        if (record->text() == QLatin1String("later"))
            continue;
        const QByteArray data = record->data();
        EXPECT_TRUE(data == payload || (data.isEmpty() && record->readFailureCount() > 0));
        failed += data.isEmpty() ? 1 : 0;
    }
    EXPECT_GT(failed, 0);
}
