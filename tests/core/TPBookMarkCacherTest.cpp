#include "core/TaviSettings.h"
#include "core/TPBookMarkCacher.h"
#include "core/store/CoreDataStack.h"
#include "platform/Bookmark.h"
#include "platform/Defaults.h"
#include "support/TestEnvironment.h"

#include <SQLiteCpp/Database.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
class BookmarkCache : public ::testing::Test {
protected:
    BookmarkCache() { openStore(); }

    QString makeFile(const QString &name)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        return path;
    }
    QString makeFolder(const QString &name)
    {
        QDir(m_dir.path()).mkpath(name);
        return m_dir.filePath(name);
    }
    // The history store, opened again as a new launch opens it.
    void openStore()
    {
        m_stack.reset();
        m_stack = std::make_unique<CoreDataStack>(m_dir.filePath(QStringLiteral("PBHistory.sqlite")));
    }
    // A cache on the test's store, as the program makes its shared one.
    std::unique_ptr<TPBookMarkCacher> cache()
    {
        return std::make_unique<TPBookMarkCacher>([this] { return m_stack->managedContext(); });
    }
    // What the store holds, read as another program would.
    QMap<QString, QByteArray> storedTable() const
    {
        SQLite::Database database(m_stack->storePath().toStdString(), SQLite::OPEN_READONLY, 10000);
        SQLite::Statement rows(database, R"sql(SELECT "path", "bookmark" FROM "FileBookmark")sql");
        QMap<QString, QByteArray> table;
        while (rows.executeStep()) {
            const SQLite::Column bookmark = rows.getColumn(1);
            table.insert(QString::fromUtf8(rows.getColumn(0).getText()),
                         QByteArray(static_cast<const char *>(bookmark.getBlob()), bookmark.getBytes()));
        }
        return table;
    }

    ScopedXdgHome m_home;
    QTemporaryDir m_dir;
    std::unique_ptr<CoreDataStack> m_stack;
};
} // namespace

TEST_F(BookmarkCache, StoringKeepsEachFileUrlUnderItsPathAndPersistsTheTable)
{
    const QString file = makeFile(QStringLiteral("a.txt"));
    const QString folder = makeFolder(QStringLiteral("photos"));
    auto cacher = cache();
    cacher->store({QUrl::fromLocalFile(file), QUrl::fromLocalFile(folder + QLatin1Char('/')),
                   QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("missing")))});
    cacher->waitUntilIdle();
    EXPECT_TRUE(cacher->hasBookMark(file));
    EXPECT_TRUE(cacher->hasBookMark(folder));
    EXPECT_FALSE(cacher->hasBookMark(folder + QLatin1Char('/')));
    EXPECT_EQ(storedTable().keys(), (QStringList{file, folder}));
    EXPECT_FALSE(Defaults::standard().contains(TaviSettings::legacyBookmarksKey()));

    cacher.reset();
    openStore();
    EXPECT_TRUE(cache()->hasBookMark(file));
}

TEST_F(BookmarkCache, StoringANonFileUrlStoresNothing)
{
    auto cacher = cache();
    cacher->store({QUrl(QStringLiteral("https://example.com/a.txt"))});
    cacher->waitUntilIdle();
    EXPECT_FALSE(cacher->hasBookMark(QStringLiteral("/a.txt")));
    EXPECT_TRUE(storedTable().isEmpty());
}

TEST_F(BookmarkCache, ASecondStoreForAPathReplacesTheFirst)
{
    const QString file = makeFile(QStringLiteral("a.txt"));
    auto cacher = cache();
    cacher->store({QUrl::fromLocalFile(file)});
    cacher->waitUntilIdle();
    const QByteArray first = storedTable().value(file);
    // The old file keeps its inode under another name, so the new one cannot reuse it.
    ASSERT_TRUE(QFile::rename(file, m_dir.filePath(QStringLiteral("old.txt"))));
    makeFile(QStringLiteral("a.txt"));
    cacher->store({QUrl::fromLocalFile(file)});
    cacher->waitUntilIdle();
    const QByteArray second = storedTable().value(file);
    EXPECT_NE(first, second);
    EXPECT_EQ(Bookmark::resolve(second), file);
    EXPECT_EQ(storedTable().size(), 1);
}

TEST_F(BookmarkCache, DeletedAndRemovedEntriesStayGone)
{
    const QString a = makeFile(QStringLiteral("a.txt"));
    const QString b = makeFile(QStringLiteral("b.txt"));
    const QString c = makeFile(QStringLiteral("c.txt"));
    auto cacher = cache();
    cacher->store({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
    cacher->deleteBookMarks({QUrl::fromLocalFile(a), QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("never")))});
    cacher->waitUntilIdle();
    cacher->remove(b);
    EXPECT_FALSE(cacher->hasBookMark(a));
    EXPECT_FALSE(cacher->hasBookMark(b));
    cacher->store({QUrl::fromLocalFile(c)});
    cacher->waitUntilIdle();
    EXPECT_EQ(storedTable().keys(), QStringList{c});
}

TEST_F(BookmarkCache, DeletingAnItemNeverDropsTheAuthorisedRoot)
{
    const QString file = makeFile(QStringLiteral("a.txt"));
    auto cacher = cache();
    cacher->store({QUrl::fromLocalFile(QStringLiteral("/")), QUrl::fromLocalFile(file)});
    cacher->deleteBookMarks({QUrl::fromLocalFile(QStringLiteral("/")), QUrl::fromLocalFile(file)});
    cacher->waitUntilIdle();
    EXPECT_TRUE(cacher->hasBookMark(QStringLiteral("/")));
    EXPECT_FALSE(cacher->hasBookMark(file));
    EXPECT_TRUE(storedTable().contains(QStringLiteral("/")));

    cacher->remove(QStringLiteral("/")); // the user withdrawing the grant
    EXPECT_FALSE(cacher->hasBookMark(QStringLiteral("/")));
    EXPECT_FALSE(storedTable().contains(QStringLiteral("/")));
}

TEST_F(BookmarkCache, TheRootMatchesOnlyItsExactPath)
{
    const QString folder = makeFolder(QStringLiteral("inside"));
    auto cacher = cache();
    cacher->store({QUrl::fromLocalFile(folder)});
    cacher->waitUntilIdle();
    EXPECT_FALSE(cacher->hasBookMark(QStringLiteral("/")));
    cacher->store({QUrl::fromLocalFile(QStringLiteral("/"))});
    cacher->waitUntilIdle();
    EXPECT_TRUE(cacher->hasBookMark(QStringLiteral("/")));
    EXPECT_FALSE(cacher->hasBookMark(folder + QStringLiteral("/child")));

    EXPECT_EQ(authorizedRootPath(), QStringLiteral("/"));
    TaviSettings::shared().setIsIRM(true);
    EXPECT_EQ(authorizedRootPath(), QStringLiteral("/home"));
}

TEST_F(BookmarkCache, LoadingDropsVanishedLocationsFromTheLiveTableOnly)
{
    const QString kept = makeFile(QStringLiteral("kept.txt"));
    const QString gone = makeFolder(QStringLiteral("gone"));
    {
        auto cacher = cache();
        cacher->store({QUrl::fromLocalFile(kept), QUrl::fromLocalFile(gone)});
        cacher->waitUntilIdle();
    }
    ASSERT_TRUE(QDir(gone).removeRecursively());
    openStore();
    auto cacher = cache();
    EXPECT_TRUE(cacher->hasBookMark(gone)); // the stored table, before loading
    cacher->loadBookMarks();
    cacher->waitUntilIdle();
    EXPECT_FALSE(cacher->hasBookMark(gone));
    EXPECT_TRUE(cacher->hasBookMark(kept));
    EXPECT_TRUE(storedTable().contains(gone));
    cacher->stopAccessingResource();
    EXPECT_TRUE(cacher->hasBookMark(kept));
}

TEST_F(BookmarkCache, AStoreQueuedBeforeLoadingIsKept)
{
    const QString earlier = makeFile(QStringLiteral("earlier.txt"));
    const QString copied = makeFile(QStringLiteral("copied.txt"));
    {
        auto cacher = cache();
        cacher->store({QUrl::fromLocalFile(earlier)});
    }
    for (int round = 0; round < 20; ++round) {
        auto cacher = cache();
        cacher->store({QUrl::fromLocalFile(copied)});
        cacher->loadBookMarks();
        cacher->waitUntilIdle();
        ASSERT_TRUE(cacher->hasBookMark(copied)) << "round " << round;
        EXPECT_TRUE(cacher->hasBookMark(earlier));
        cacher->remove(copied);
    }
}

TEST_F(BookmarkCache, ATableKeptInTheSettingsFileMovesIntoTheStoreWithoutLosingAnEntry)
{
    const QString granted = makeFolder(QStringLiteral("granted"));
    const QString copied = makeFile(QStringLiteral("copied.txt"));
    {
        auto cacher = cache();
        cacher->store({QUrl::fromLocalFile(copied)});
        cacher->waitUntilIdle();
    }
    const QByteArray stored = storedTable().value(copied);
    // What an earlier version left in the settings file: an older bookmark of the same file too.
    Defaults::standard().setValue(TaviSettings::legacyBookmarksKey(),
                                  QVariantMap{{granted, *Bookmark::create(granted)}, {copied, QByteArray("older")}});

    openStore();
    auto cacher = cache();
    EXPECT_TRUE(cacher->hasBookMark(granted));
    EXPECT_TRUE(cacher->hasBookMark(copied));
    EXPECT_EQ(storedTable(), (QMap<QString, QByteArray>{{granted, *Bookmark::create(granted)}, {copied, stored}}));
    EXPECT_FALSE(Defaults::standard().contains(TaviSettings::legacyBookmarksKey()));

    cacher.reset();
    openStore();
    EXPECT_TRUE(cache()->hasBookMark(granted));
}

TEST_F(BookmarkCache, AStoredValueOfTheWrongShapeIsIgnoredAndKept)
{
    const QString file = makeFile(QStringLiteral("a.txt"));
    const QVariantMap mixed{{file, *Bookmark::create(file)}, {QStringLiteral("/x"), QStringLiteral("text")}};
    Defaults::standard().setValue(TaviSettings::legacyBookmarksKey(), mixed);
    EXPECT_FALSE(cache()->hasBookMark(file));
    // What cannot be read is never dropped.
    EXPECT_EQ(Defaults::standard().value(TaviSettings::legacyBookmarksKey()).toMap(), mixed);
    Defaults::standard().setValue(TaviSettings::legacyBookmarksKey(), QStringLiteral("not a table"));
    auto wrong = cache();
    wrong->store({QUrl::fromLocalFile(file)});
    wrong->waitUntilIdle();
    EXPECT_EQ(storedTable().keys(), QStringList{file});
    EXPECT_EQ(Defaults::standard().value(TaviSettings::legacyBookmarksKey()), QVariant(QStringLiteral("not a table")));
}
