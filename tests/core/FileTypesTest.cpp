#include "core/FileTypes.h"
#include "platform/UniformType.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
QUrl fileIn(const QTemporaryDir &dir, const QString &name) { return QUrl::fromLocalFile(dir.filePath(name)); }

QUrl writePng(const QTemporaryDir &dir, const QString &name)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::blue);
    image.save(dir.filePath(name), "PNG");
    return fileIn(dir, name);
}
} // namespace

TEST(FileTypes, TheExtensionDecidesWithoutReadingTheFile)
{
    EXPECT_TRUE(isImage(QUrl::fromLocalFile(QStringLiteral("/no/such/photo.jpg"))));
    EXPECT_TRUE(isImage(QUrl::fromLocalFile(QStringLiteral("/no/such/scan.PNG"))));
    EXPECT_FALSE(isImage(QUrl::fromLocalFile(QStringLiteral("/no/such/notes.txt"))));
    EXPECT_FALSE(isVideo(QUrl::fromLocalFile(QStringLiteral("/no/such/photo.jpg"))));
    EXPECT_TRUE(isMedia(QUrl::fromLocalFile(QStringLiteral("/no/such/clip.mp4"))));
    EXPECT_TRUE(isMedia(QUrl::fromLocalFile(QStringLiteral("/no/such/photo.gif"))));
    EXPECT_FALSE(isMedia(QUrl::fromLocalFile(QStringLiteral("/no/such/report.pdf"))));
    EXPECT_TRUE(conforms(QUrl::fromLocalFile(QStringLiteral("/x/page.html")), UniformType::text));
}

TEST(FileTypes, AnUnknownExtensionConformsToNothingWhateverTheContents)
{
    QTemporaryDir dir;
    const QUrl disguised = writePng(dir, QStringLiteral("picture.zzqqxx"));
    EXPECT_FALSE(isImage(disguised));
    EXPECT_FALSE(conforms(disguised, UniformType::data));
}

TEST(FileTypes, WithoutAnExtensionTheFileIsExamined)
{
    QTemporaryDir dir;
    EXPECT_TRUE(isImage(writePng(dir, QStringLiteral("picture"))));
    EXPECT_FALSE(isImage(fileIn(dir, QStringLiteral("missing"))));
    EXPECT_FALSE(conforms(fileIn(dir, QStringLiteral("missing")), UniformType::item));
    // A leading dot starts no extension.
    EXPECT_TRUE(isImage(writePng(dir, QStringLiteral(".hidden"))));
}

TEST(FileTypes, DirectoriesAreFoldersThemselvesNotLinksToThem)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    EXPECT_TRUE(isDirectory(fileIn(dir, QStringLiteral("folder"))));
    EXPECT_FALSE(isDirectory(fileIn(dir, QStringLiteral("missing"))));
    EXPECT_FALSE(isDirectory(writePng(dir, QStringLiteral("file.png"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("folder")), dir.filePath(QStringLiteral("link"))));
    EXPECT_FALSE(isDirectory(fileIn(dir, QStringLiteral("link"))));
    EXPECT_FALSE(isDirectory(QUrl(QStringLiteral("https://example.org/"))));
}
