#include "platform/UniformType.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace UniformType;

TEST(UniformType, PasteboardTypesConformToTheirFamilies)
{
    EXPECT_TRUE(conformsTo(utf8PlainText, text));
    EXPECT_TRUE(conformsTo(utf8PlainText, plainText));
    EXPECT_TRUE(conformsTo(html, text));
    EXPECT_FALSE(conformsTo(html, plainText));
    EXPECT_TRUE(conformsTo(rtf, text));
    EXPECT_TRUE(conformsTo(fileURL, url));
    EXPECT_FALSE(conformsTo(fileURL, text));
    EXPECT_TRUE(conformsTo(png, image));
    EXPECT_TRUE(conformsTo(tiff, image));
    EXPECT_FALSE(conformsTo(png, text));
    EXPECT_TRUE(conformsTo(QStringLiteral("com.apple.traditional-mac-plain-text"), plainText));
    EXPECT_FALSE(conformsTo(webArchive, text));
    EXPECT_TRUE(conformsTo(video, audiovisualContent));
}

TEST(UniformType, UnknownAndDynamicTypesConformOnlyToThemselves)
{
    EXPECT_TRUE(isDynamic(QStringLiteral("dyn.ah62d4rv4gu8y")));
    EXPECT_FALSE(isDynamic(png));
    EXPECT_FALSE(conformsTo(QStringLiteral("dyn.ah62d4rv4gu8y"), data));
    EXPECT_FALSE(conformsTo(QStringLiteral("org.nspasteboard.ConcealedType"), text));
    EXPECT_TRUE(
        conformsTo(QStringLiteral("org.nspasteboard.ConcealedType"), QStringLiteral("org.nspasteboard.ConcealedType")));
    EXPECT_FALSE(conformsTo(QString(), QString()));
}

TEST(UniformType, FileExtensionsGoThroughTheMimeDatabase)
{
    EXPECT_EQ(preferredIdentifierForFilenameExtension(QStringLiteral("png")), png);
    EXPECT_EQ(preferredIdentifierForFilenameExtension(QStringLiteral("JPG")), jpeg);
    EXPECT_TRUE(conformsTo(preferredIdentifierForFilenameExtension(QStringLiteral("gif")), image));
    // A MIME type outside our table still finds its family.
    EXPECT_TRUE(conformsTo(preferredIdentifierForFilenameExtension(QStringLiteral("ppm")), image));
    EXPECT_TRUE(conformsTo(preferredIdentifierForFilenameExtension(QStringLiteral("c")), plainText));
    const QString unknown = preferredIdentifierForFilenameExtension(QStringLiteral("zzqqxx"));
    EXPECT_TRUE(isDynamic(unknown));
    EXPECT_FALSE(conformsTo(unknown, image));
}

TEST(UniformType, FilesWithoutExtensionAreJudgedByContentsAndFoldersAreFolders)
{
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("picture"));
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    file.close();
    EXPECT_TRUE(conformsTo(identifierForFile(picture), image));
    EXPECT_EQ(identifierForFile(dir.path()), folder);
    EXPECT_TRUE(identifierForFile(dir.filePath(QStringLiteral("missing"))).isEmpty());
}

TEST(UniformType, MapsMimeTypesBothWays)
{
    EXPECT_EQ(identifierForMimeType(QStringLiteral("text/plain;charset=utf-8")), utf8PlainText);
    EXPECT_EQ(identifierForMimeType(QStringLiteral("text/html")), html);
    EXPECT_EQ(identifierForMimeType(QStringLiteral("application/rtf")), rtf);
    EXPECT_EQ(identifierForMimeType(QStringLiteral("image/png")), png);
    EXPECT_EQ(preferredMimeType(png), QStringLiteral("image/png"));
    EXPECT_EQ(preferredMimeType(html), QStringLiteral("text/html"));
    EXPECT_TRUE(preferredMimeType(QStringLiteral("org.nspasteboard.source")).isEmpty());
}
