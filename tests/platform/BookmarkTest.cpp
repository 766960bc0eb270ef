#include "platform/Bookmark.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}
} // namespace

TEST(Bookmark, ResolvesWhileTheLocationIsTheSameFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.txt"));
    writeFile(path, "a");
    const auto bookmark = Bookmark::create(path);
    ASSERT_TRUE(bookmark);
    writeFile(path, "changed content, same file");
    EXPECT_EQ(Bookmark::resolve(*bookmark), path);
    EXPECT_TRUE(Bookmark::startAccessing(path));
}

TEST(Bookmark, ALocationReplacedOrRemovedNoLongerResolves)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.txt"));
    const QString other = dir.filePath(QStringLiteral("other.txt"));
    writeFile(path, "a");
    writeFile(other, "b");
    const auto bookmark = Bookmark::create(path);
    ASSERT_TRUE(bookmark);

    ASSERT_TRUE(QFile::remove(path));
    QString error;
    EXPECT_FALSE(Bookmark::resolve(*bookmark, &error));
    EXPECT_FALSE(error.isEmpty());

    ASSERT_TRUE(QFile::rename(other, path)); // another inode under the same name
    error.clear();
    EXPECT_FALSE(Bookmark::resolve(*bookmark, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(Bookmark, MissingLocationsAndDamagedDataAreRefused)
{
    QString error;
    EXPECT_FALSE(Bookmark::create(QStringLiteral("/nonexistent/tavi/file"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(Bookmark::create(QString()));
    EXPECT_FALSE(Bookmark::resolve(QByteArray("not a bookmark")));
    EXPECT_FALSE(Bookmark::resolve(QByteArray()));
    const auto root = Bookmark::create(QStringLiteral("/"));
    ASSERT_TRUE(root);
    EXPECT_FALSE(Bookmark::resolve(root->left(root->size() - 3)));
    EXPECT_FALSE(Bookmark::startAccessing(QStringLiteral("/nonexistent/tavi/file")));
}
