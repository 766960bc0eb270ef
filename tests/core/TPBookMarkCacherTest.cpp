#include "core/AppGlobals.h"
#include "core/TPBookMarkCacher.h"
#include "platform/Bookmark.h"
#include "platform/Defaults.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
QVariantMap storedTable()
{
    return Defaults::standard().value(TPBookMarkCacher::kDefaultsKey).toMap();
}

class BookmarkCache : public ::testing::Test {
protected:
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

    ScopedXdgHome m_home;
    QTemporaryDir m_dir;
};
} // namespace

TEST_F(BookmarkCache, StoringKeepsEachFileUrlUnderItsPathAndPersistsTheTable)
{
    const QString file = makeFile(QStringLiteral("a.txt"));
    const QString folder = makeFolder(QStringLiteral("photos"));
    TPBookMarkCacher cacher;
    cacher.store({QUrl::fromLocalFile(file), QUrl::fromLocalFile(folder + QLatin1Char('/')),
                  QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("missing")))});
    cacher.waitUntilIdle();
    EXPECT_TRUE(cacher.hasBookMark(file));
    EXPECT_TRUE(cacher.hasBookMark(folder));
    EXPECT_FALSE(cacher.hasBookMark(folder + QLatin1Char('/')));
    EXPECT_EQ(storedTable().keys(), (QStringList{file, folder}));

    TPBookMarkCacher restarted;
    EXPECT_TRUE(restarted.hasBookMark(file));
}

TEST_F(BookmarkCache, StoringANonFileUrlOnlyRewritesTheTable)
{
    TPBookMarkCacher cacher;
    ASSERT_FALSE(Defaults::standard().contains(TPBookMarkCacher::kDefaultsKey));
    cacher.store({QUrl(QStringLiteral("https://example.com/a.txt"))});
    cacher.waitUntilIdle();
    EXPECT_TRUE(Defaults::standard().contains(TPBookMarkCacher::kDefaultsKey));
    EXPECT_TRUE(storedTable().isEmpty());
}

TEST_F(BookmarkCache, ASecondStoreForAPathReplacesTheFirst)
{
    const QString file = makeFile(QStringLiteral("a.txt"));
    TPBookMarkCacher cacher;
    cacher.store({QUrl::fromLocalFile(file)});
    cacher.waitUntilIdle();
    const QByteArray first = storedTable().value(file).toByteArray();
    // The old file keeps its inode under another name, so the new one cannot reuse it.
    ASSERT_TRUE(QFile::rename(file, m_dir.filePath(QStringLiteral("old.txt"))));
    makeFile(QStringLiteral("a.txt"));
    cacher.store({QUrl::fromLocalFile(file)});
    cacher.waitUntilIdle();
    const QByteArray second = storedTable().value(file).toByteArray();
    EXPECT_NE(first, second);
    EXPECT_EQ(Bookmark::resolve(second), file);
    EXPECT_EQ(storedTable().size(), 1);
}

TEST_F(BookmarkCache, DeletedAndRemovedEntriesStayGone)
{
    const QString a = makeFile(QStringLiteral("a.txt"));
    const QString b = makeFile(QStringLiteral("b.txt"));
    const QString c = makeFile(QStringLiteral("c.txt"));
    TPBookMarkCacher cacher;
    cacher.store({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
    cacher.deleteBookMarks({QUrl::fromLocalFile(a), QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("never")))});
    cacher.waitUntilIdle();
    cacher.remove(b);
    EXPECT_FALSE(cacher.hasBookMark(a));
    EXPECT_FALSE(cacher.hasBookMark(b));
    cacher.store({QUrl::fromLocalFile(c)});
    cacher.waitUntilIdle();
    EXPECT_EQ(storedTable().keys(), QStringList{c});
}

TEST_F(BookmarkCache, DeletingAnItemNeverDropsTheAuthorisedRoot)
{
    const QString file = makeFile(QStringLiteral("a.txt"));
    TPBookMarkCacher cacher;
    cacher.store({QUrl::fromLocalFile(QStringLiteral("/")), QUrl::fromLocalFile(file)});
    cacher.deleteBookMarks({QUrl::fromLocalFile(QStringLiteral("/")), QUrl::fromLocalFile(file)});
    cacher.waitUntilIdle();
    EXPECT_TRUE(cacher.hasBookMark(QStringLiteral("/")));
    EXPECT_FALSE(cacher.hasBookMark(file));
    EXPECT_TRUE(storedTable().contains(QStringLiteral("/")));

    cacher.remove(QStringLiteral("/")); // the user withdrawing the grant
    EXPECT_FALSE(cacher.hasBookMark(QStringLiteral("/")));
    EXPECT_FALSE(storedTable().contains(QStringLiteral("/")));
}

TEST_F(BookmarkCache, TheRootMatchesOnlyItsExactPath)
{
    const QString folder = makeFolder(QStringLiteral("inside"));
    TPBookMarkCacher cacher;
    cacher.store({QUrl::fromLocalFile(folder)});
    cacher.waitUntilIdle();
    EXPECT_FALSE(cacher.hasBookMark(QStringLiteral("/")));
    cacher.store({QUrl::fromLocalFile(QStringLiteral("/"))});
    cacher.waitUntilIdle();
    EXPECT_TRUE(cacher.hasBookMark(QStringLiteral("/")));
    EXPECT_FALSE(cacher.hasBookMark(folder + QStringLiteral("/child")));

    EXPECT_EQ(authorizedRootPath(), QStringLiteral("/"));
    AppValues::isIRM() = true;
    EXPECT_EQ(authorizedRootPath(), QStringLiteral("/home"));
}

TEST_F(BookmarkCache, LoadingDropsVanishedLocationsFromTheLiveTableOnly)
{
    const QString kept = makeFile(QStringLiteral("kept.txt"));
    const QString gone = makeFolder(QStringLiteral("gone"));
    {
        TPBookMarkCacher cacher;
        cacher.store({QUrl::fromLocalFile(kept), QUrl::fromLocalFile(gone)});
        cacher.waitUntilIdle();
    }
    ASSERT_TRUE(QDir(gone).removeRecursively());
    TPBookMarkCacher cacher;
    EXPECT_TRUE(cacher.hasBookMark(gone)); // the stored table, before loading
    cacher.loadBookMarks();
    cacher.waitUntilIdle();
    EXPECT_FALSE(cacher.hasBookMark(gone));
    EXPECT_TRUE(cacher.hasBookMark(kept));
    EXPECT_TRUE(storedTable().contains(gone));
    cacher.stopAccessingResource();
    EXPECT_TRUE(cacher.hasBookMark(kept));
}

TEST_F(BookmarkCache, AStoreQueuedBeforeLoadingIsKept)
{
    const QString earlier = makeFile(QStringLiteral("earlier.txt"));
    const QString copied = makeFile(QStringLiteral("copied.txt"));
    {
        TPBookMarkCacher cacher;
        cacher.store({QUrl::fromLocalFile(earlier)});
    }
    for (int round = 0; round < 20; ++round) {
        TPBookMarkCacher cacher;
        cacher.store({QUrl::fromLocalFile(copied)});
        cacher.loadBookMarks();
        cacher.waitUntilIdle();
        ASSERT_TRUE(cacher.hasBookMark(copied)) << "round " << round;
        EXPECT_TRUE(cacher.hasBookMark(earlier));
        cacher.remove(copied);
    }
}

TEST_F(BookmarkCache, AStoredValueOfTheWrongShapeIsIgnored)
{
    const QString file = makeFile(QStringLiteral("a.txt"));
    Defaults::standard().setValue(TPBookMarkCacher::kDefaultsKey,
                                  QVariantMap{{file, *Bookmark::create(file)}, {QStringLiteral("/x"), QStringLiteral("text")}});
    TPBookMarkCacher mixed;
    EXPECT_FALSE(mixed.hasBookMark(file));
    Defaults::standard().setValue(TPBookMarkCacher::kDefaultsKey, QStringLiteral("not a table"));
    TPBookMarkCacher wrong;
    wrong.store({QUrl::fromLocalFile(file)});
    wrong.waitUntilIdle();
    EXPECT_EQ(storedTable().keys(), QStringList{file});
}
