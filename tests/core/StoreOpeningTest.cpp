#include "core/store/CoreDataStack.h"
#include "core/store/PBItemRecord.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "support/TestEnvironment.h"

#include <SQLiteCpp/Database.h>
#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>

namespace {
QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QStringList asideFiles(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("PBHistory.sqlite.damaged-*")}, QDir::Files);
}

void writeItemAndSave(CoreDataStack &stack)
{
    auto record = stack.managedContext()->insertNewObject<PBItemRecord>();
    record->setText(QStringLiteral("works"));
    EXPECT_TRUE(stack.managedContext()->save());
    EXPECT_EQ(stack.managedContext()->fetch(PBItemRecord::fetchRequest())->size(), 1);
}

// Opens the store file as found: it must be kept aside unchanged under a name matching `pattern`,
// the user told where, and a new store started that works and stays. Returns the kept file.
QString expectKeptAsideAndReplaced(const QString &path, StoreProblem::Kind kind, const QString &pattern)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray before = digest(path);
    QString told;
    {
        CoreDataStack stack(path);
        EXPECT_TRUE(stack.storeProblem() && stack.storeProblem()->kind == kind);
        if (stack.storeProblem())
            told = stack.storeProblem()->message();
        writeItemAndSave(stack);
    }

    const QStringList aside = QDir(folder).entryList({pattern}, QDir::Files);
    EXPECT_EQ(aside.size(), 1);
    if (aside.size() != 1)
        return {};
    const QString kept = folder + QLatin1Char('/') + aside.first();
    EXPECT_EQ(digest(kept), before);
    EXPECT_TRUE(told.contains(aside.first())) << told.toStdString();
    CoreDataStack again(path);
    EXPECT_FALSE(again.storeProblem());
    EXPECT_EQ(again.managedContext()->fetch(PBItemRecord::fetchRequest())->size(), 1);
    return kept;
}
} // namespace

TEST(StoreOpening, ANewStoreGetsTheCurrentSchema)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/PBHistory.sqlite");
    {
        CoreDataStack stack(path);
        EXPECT_FALSE(stack.storeProblem());
        writeItemAndSave(stack);
    }
    SQLite::Database database(path.toStdString());
    EXPECT_EQ(database.execAndGet("PRAGMA user_version").getInt(), PersistentStore::kSchemaVersion);
    EXPECT_EQ(database.execAndGet("PRAGMA journal_mode").getString(), "wal");
    for (const char *index : {"PBItemRecord_uuid", "PBItemRecord_dataHash", "PBItemRecord_sticky_modifiedAt",
                              "PBItemRecord_categories_category"}) {
        EXPECT_EQ(database.execAndGet(std::string("SELECT count(*) FROM sqlite_master WHERE name = '") + index + "'")
                      .getInt(),
                  1)
            << index;
    }
}

TEST(StoreOpening, ANewStoreReadsTheColumnsAfterALargeTextWithoutReadingTheText)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/PBHistory.sqlite");
    {
        CoreDataStack stack(path);
        auto record = stack.managedContext()->insertNewObject<PBItemRecord>();
        record->setText(QString(8 * 1024 * 1024, QLatin1Char('x')));
        record->setAppName(QStringLiteral("Editor"));
        ASSERT_TRUE(stack.managedContext()->save());
    }
    // A fresh connection has nothing cached: every page it needs is a miss.
    SQLite::Database database(path.toStdString(), SQLite::OPEN_READONLY);
    EXPECT_EQ(database.execAndGet("PRAGMA auto_vacuum").getInt(), 2);
    EXPECT_EQ(
        database.execAndGet("SELECT \"appName\" FROM \"" + PBItemRecord::entityDescription().name.toStdString() + "\"")
            .getString(),
        "Editor");
    int misses = 0, highest = 0;
    sqlite3_db_status(database.getHandle(), SQLITE_DBSTATUS_CACHE_MISS, &misses, &highest, 0);
    EXPECT_LT(misses, 100) << "pages read for one row's application name";
}

TEST(StoreOpening, ANewStoreHasTheSchemaTextOfTheStoresEarlierBuildsWrote)
{
    QTemporaryDir dir;
    const QString made = dir.path() + QStringLiteral("/PBHistory.sqlite");
    const QString earlier = dir.path() + QStringLiteral("/earlier.sqlite");
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(TAVI_TESTS_DIR "/core/fixtures/PBHistory-v3-simple-folding.sqlite"), earlier));
    ASSERT_TRUE(QFile::setPermissions(earlier, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    {
        CoreDataStack stack(made);
        EXPECT_FALSE(stack.storeProblem());
    }
    const auto schema = [](const QString &path) {
        SQLite::Database database(path.toStdString(), SQLite::OPEN_READONLY);
        SQLite::Statement query(database,
                                "SELECT type, name, tbl_name, coalesce(sql, '') FROM sqlite_master ORDER BY name");
        QStringList rows;
        while (query.executeStep())
            rows << QString::fromStdString(query.getColumn(0).getString() + " " + query.getColumn(1).getString() + " "
                                           + query.getColumn(2).getString() + "\n" + query.getColumn(3).getString());
        return rows;
    };
    const QStringList expected = schema(earlier);
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(schema(made), expected);
}

TEST(StoreOpening, AStoreOfANewerVersionIsLeftUntouched)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/PBHistory.sqlite");
    {
        SQLite::Database newer(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        newer.exec("CREATE TABLE future (x); INSERT INTO future VALUES (1); PRAGMA user_version = 99");
    }
    const QByteArray before = digest(path);
    {
        CoreDataStack stack(path);
        ASSERT_TRUE(stack.storeProblem());
        EXPECT_EQ(stack.storeProblem()->kind, StoreProblem::Kind::NewerVersion);
        EXPECT_TRUE(stack.storeProblem()->message().contains(path));
        writeItemAndSave(stack); // the session still works, on a store of its own
        stack.setupContainer();  // and keeps that store across a rebuild
        EXPECT_EQ(stack.managedContext()->fetch(PBItemRecord::fetchRequest())->size(), 1);
    }
    EXPECT_EQ(digest(path), before);
    EXPECT_TRUE(asideFiles(dir.path()).isEmpty());
}

TEST(StoreOpening, ADamagedStoreIsKeptAsideAndANewOneStarted)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/PBHistory.sqlite");
    QFile garbage(path);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(8192, 'x'));
    garbage.close();
    expectKeptAsideAndReplaced(path, StoreProblem::Kind::Damaged, QStringLiteral("PBHistory.sqlite.damaged-*"));
}

TEST(StoreOpening, AnotherProgramsDatabaseIsKeptAsideUntouchedAndNeverGetsOurTables)
{
    // One without a schema version, and one whose version matches ours but whose tables are not ours.
    for (const char *schema :
         {"CREATE TABLE bookmarks (url TEXT); INSERT INTO bookmarks VALUES ('x')",
          "CREATE TABLE notes (body TEXT); INSERT INTO notes VALUES ('y'); PRAGMA user_version = 1"}) {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/PBHistory.sqlite");
        {
            SQLite::Database other(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            other.exec(schema);
        }
        const QString kept =
            expectKeptAsideAndReplaced(path, StoreProblem::Kind::Foreign, QStringLiteral("PBHistory.sqlite.foreign-*"));
        ASSERT_FALSE(kept.isEmpty()) << schema;
        SQLite::Database database(kept.toStdString(), SQLite::OPEN_READONLY);
        EXPECT_EQ(database.execAndGet("SELECT count(*) FROM sqlite_master WHERE name LIKE 'PB%'").getInt(), 0);
    }
}

TEST(StoreOpening, AnEmptyFileAtTheStoresPathBecomesTheStore)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/PBHistory.sqlite");
    QFile empty(path);
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    CoreDataStack stack(path);
    EXPECT_FALSE(stack.storeProblem());
    writeItemAndSave(stack);
}

TEST(StoreOpening, TheSharedStoreOnADamagedFileOpensAFreshOneAndKeepsTheProblemForTheShell)
{
    ScopedXdgHome home;
    CoreDataStack::resetShared();
    QDir().mkpath(Paths::dataDirectory());
    QFile garbage(Paths::dataDirectory() + QLatin1Char('/') + PersistentStore::kFileName);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(8192, 'x'));
    garbage.close();

    auto opened = std::async(std::launch::async, [] { return CoreDataStack::shared().storeProblem().has_value(); });
    if (opened.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "the shared store hung on a damaged file";
        std::_Exit(1);
    }
    EXPECT_TRUE(opened.get());
    CoreDataStack::resetShared();
}
