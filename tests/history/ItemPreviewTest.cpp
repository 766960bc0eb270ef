#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "core/store/PBItemRecord.h"
#include "history/FilePreviewViewController.h"
#include "history/ImagePreviewViewController.h"
#include "history/LinkContentViewController.h"
#include "history/PreviewPopover.h"
#include "history/TextContentViewController.h"
#include "platform/Pasteboard.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QPdfWriter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocument>

#include <SQLiteCpp/Database.h>

#include <QBuffer>

#include <gtest/gtest.h>

TEST(ItemPreviews, ImagesAreFittedWithin480WhateverTheirShape)
{
    const QList<std::pair<QSize, QSize>> cases = {
        {{1000, 500}, {480, 240}}, {{500, 1000}, {240, 480}},    {{600, 300}, {480, 240}},  {{300, 600}, {240, 480}},
        {{300, 200}, {300, 200}},  {{800, 800}, {480, 480}},     {{480, 1000}, {230, 480}}, {{1000, 480}, {480, 230}},
        {{480, 480}, {480, 480}},  {{30000, 30000}, {480, 480}},
    };
    for (const auto &[size, fitted] : cases)
        EXPECT_EQ(ImagePreviewViewController::fittedSize(size), fitted) << size.width() << "x" << size.height();

    ImagePreviewViewController preview;
    QImage wide(1000, 480, QImage::Format_RGB32);
    wide.fill(Qt::blue);
    preview.configure(ImagePreviewViewController::decodeForPreview(pngOf(wide)));
    EXPECT_EQ(preview.widthConstraints, 480);
    EXPECT_EQ(preview.heightConstraints, 230);
    EXPECT_TRUE(ImagePreviewViewController::decodeForPreview(QByteArray("garbage")).isNull());

    // 6000 x 6000 pixels decode to 144 MB, over the 128 MB Qt allows an image by default; a BMP
    // decodes whole before it is scaled.
    QImage scan(6000, 6000, QImage::Format_RGB32);
    scan.fill(Qt::white);
    QByteArray scanBmp;
    QBuffer buffer(&scanBmp);
    buffer.open(QIODevice::WriteOnly);
    scan.save(&buffer, "BMP");
    scan = QImage();
    EXPECT_EQ(ImagePreviewViewController::decodeForPreview(scanBmp).size(), QSize(480, 480));
}

TEST(ItemPreviews, ThePopoverSitsBesideTheRowInsideTheScreen)
{
    const QRect screen(0, 0, 1920, 1080);
    const QSize size(400, 300);
    EXPECT_EQ(PreviewPopover::placement(size, QRect(100, 500, 380, 92), screen), QPoint(484, 395));
    // No room at the right: the left side of the row.
    EXPECT_EQ(PreviewPopover::placement(size, QRect(1500, 500, 380, 92), screen), QPoint(1096, 395));
    // Near the bottom and top the window is pulled into the screen.
    EXPECT_EQ(PreviewPopover::placement(size, QRect(100, 1000, 380, 92), screen).y(), 780);
    EXPECT_EQ(PreviewPopover::placement(size, QRect(100, -40, 380, 92), screen).y(), 0);
}

TEST(ItemPreviews, TextAreasAreMeasuredOnTheTextsStart)
{
    TaviSettings::shared().setAlwaysCopyPlainText(true);
    TextContentViewController preview;
    preview.configure(PBTextItemProvider(QStringLiteral("short")));
    const int narrow = preview.textWidthConstraint;
    EXPECT_LT(narrow, TextContentViewController::kMaxWidth);
    EXPECT_GT(narrow, 10);
    preview.configure(PBTextItemProvider(QString(300, QLatin1Char('w'))));
    EXPECT_EQ(preview.textWidthConstraint, TextContentViewController::kMaxWidth);
    EXPECT_LE(preview.textHeightConstraint, TextContentViewController::kMaxHeight);

    const QFont small = [] {
        QFont f;
        f.setPixelSize(12);
        return f;
    }();
    const QFont large = [] {
        QFont f;
        f.setPixelSize(16);
        return f;
    }();
    EXPECT_LT(TextContentViewController::measure(QStringLiteral("same"), small).height(),
              TextContentViewController::measure(QStringLiteral("same"), large).height());

    // A 50 MB text is measured and shown only by its start.
    preview.configure(PBTextItemProvider(QString(50 * 1024 * 1024, QLatin1Char('x'))));
    EXPECT_LE(preview.contentTextView->toPlainText().size(), TextContentViewController::kShownCharacters + 2);
}

TEST(ItemPreviews, CopiedHtmlNeverLoadsWhatItNames)
{
    TaviSettings::shared().setAlwaysCopyPlainText(false);
    QTemporaryDir dir;
    QImage secret(8, 8, QImage::Format_RGB32);
    secret.fill(Qt::green);
    const QString path = dir.filePath(QStringLiteral("secret.png"));
    ASSERT_TRUE(secret.save(path));
    const QString html = QStringLiteral("<p>Hello</p><script>document.write('x')</script><img src=\"%1\"><img "
                                        "src=\"http://example.invalid/a.png\">")
                             .arg(QUrl::fromLocalFile(path).toString());
    TextContentViewController preview;
    preview.configure(PBTextItemProvider(QStringLiteral("Hello"), {{PasteboardType::html, html.toUtf8()}}));
    QTextDocument *document = preview.contentTextView->document();
    EXPECT_TRUE(document->toPlainText().contains(QStringLiteral("Hello")));
    EXPECT_FALSE(document->resource(QTextDocument::ImageResource, QUrl::fromLocalFile(path)).isValid());
    EXPECT_FALSE(
        preview.contentTextView->loadResource(QTextDocument::ImageResource, QUrl::fromLocalFile(path)).isValid());
    TaviSettings::shared().setAlwaysCopyPlainText(true);
}

TEST(ItemPreviews, OnlyWebAddressesLoadAndABadLinkNeverShowsThePreviousPage)
{
    LinkContentViewController preview;
    preview.configure(QStringLiteral("https://example.com/page"));
    EXPECT_EQ(preview.url, QUrl(QStringLiteral("https://example.com/page")));
    for (const char *link : {"javascript:alert(1)", "file:///etc/passwd", "myapp://open", "not a link"}) {
        preview.configure(QString::fromLatin1(link));
        EXPECT_TRUE(preview.url.isEmpty()) << link;
    }
    // Where the web engine may not start (here: no display), the preview is a card with the
    // address and "Open in Browser" (an address of the documentation range: nothing is asked of it).
    preview.configure(QStringLiteral("http://192.0.2.7/page"));
    preview.show();
    EXPECT_EQ(preview.showing(), LinkContentViewController::Showing::noEngine);
    EXPECT_TRUE(preview.cardText().contains(QStringLiteral("http://192.0.2.7/page")));
    EXPECT_FALSE(preview.openButton->isHidden());
    EXPECT_EQ(preview.linkWebView, nullptr);
    preview.hide();
}

TEST(ItemPreviews, FilesShowTheirImageFirstPageTextOrACard)
{
    QTemporaryDir dir;
    const auto read = [](const QString &path) { return FilePreviewViewController::read(QUrl::fromLocalFile(path)); };

    QImage picture(1200, 600, QImage::Format_RGB32);
    picture.fill(Qt::yellow);
    const QString image = dir.filePath(QStringLiteral("wide.png"));
    ASSERT_TRUE(picture.save(image));
    const auto imageContent = read(image);
    EXPECT_EQ(imageContent.kind, FilePreviewViewController::Content::Kind::image);
    EXPECT_EQ(imageContent.image.size(), QSize(480, 240));

    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(100 * 1024, 'n'));
    file.close();
    const auto textContent = read(text);
    EXPECT_EQ(textContent.kind, FilePreviewViewController::Content::Kind::text);
    EXPECT_EQ(textContent.text.size(), FilePreviewViewController::kTextBytes);

    const QString pdf = dir.filePath(QStringLiteral("doc.pdf"));
    {
        QPdfWriter writer(pdf);
        QPainter painter(&writer);
        painter.drawText(100, 100, QStringLiteral("first page"));
    }
    EXPECT_EQ(read(pdf).kind, FilePreviewViewController::Content::Kind::pdf);

    const auto gone = read(dir.filePath(QStringLiteral("gone.bin")));
    EXPECT_EQ(gone.kind, FilePreviewViewController::Content::Kind::card);
    EXPECT_TRUE(gone.missing);
    EXPECT_EQ(gone.name, QStringLiteral("gone.bin"));

    const QString broken = dir.filePath(QStringLiteral("broken.png"));
    QFile brokenFile(broken);
    ASSERT_TRUE(brokenFile.open(QIODevice::WriteOnly));
    brokenFile.write("\x89PNG\r\n\x1a\nnot really");
    brokenFile.close();
    EXPECT_EQ(read(broken).kind, FilePreviewViewController::Content::Kind::card);

    // The controller shows the latest file and names its window after it.
    FilePreviewViewController preview;
    preview.configure(QUrl::fromLocalFile(image));
    preview.configure(QUrl::fromLocalFile(text));
    ASSERT_TRUE(waitUntil([&] { return !preview.isLoading(); }));
    EXPECT_EQ(preview.content().kind, FilePreviewViewController::Content::Kind::text);
    EXPECT_EQ(preview.windowTitle(), QStringLiteral("notes.txt"));
}

TEST(ItemPreviews, ACopiedFileOfTheOpenHistoryIsShownAsACardWithoutOpeningIt)
{
    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
        GTEST_SKIP() << "needs the sqlite3 shell";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PBHistory.sqlite"));
    CoreDataStack stack(path);
    const auto save = [&](const QString &text) {
        stack.managedContext()->insertNewObject<PBItemRecord>()->setText(text);
        return stack.managedContext()->save();
    };
    ASSERT_TRUE(save(QStringLiteral("before")));

    // The user copied the history's files (to back them up) and looks at them in the list.
    for (const char *suffix : {"", "-wal", "-shm"}) {
        const auto content = FilePreviewViewController::read(QUrl::fromLocalFile(path + QLatin1String(suffix)));
        EXPECT_EQ(content.kind, FilePreviewViewController::Content::Kind::card) << suffix;
        EXPECT_FALSE(content.missing) << suffix;
    }

    // The store still holds its locks: a read-write session of the shell leaves the log alone.
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"), {path, QStringLiteral("SELECT count(*) FROM PBItemRecord")});
    ASSERT_TRUE(shell.waitForFinished(10000));
    EXPECT_TRUE(QFileInfo::exists(path + QStringLiteral("-wal")));
    ASSERT_TRUE(save(QStringLiteral("after")));
    SQLite::Database other(path.toStdString(), SQLite::OPEN_READONLY, 5000);
    EXPECT_EQ(other.execAndGet("SELECT count(*) FROM PBItemRecord").getInt(), 2);
}
