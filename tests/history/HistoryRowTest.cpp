#include "core/TaviSettings.h"
#include "history/CategoryListModel.h"
#include "history/PasteItemRow.h"
#include "history/RowIcons.h"
#include "support/ShellHarness.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QGlyphRun>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace {

PBCategory kind(PBDefaultCategory type)
{
    return PBCategory(std::nullopt, QString(), QColor(), QColor(), type, false, false);
}

PBCategory custom(const QString &name, const QColor &color)
{
    return PBCategory(std::nullopt, name, color, Qt::white, PBDefaultCategory::custom, false, false);
}

PBItem itemOf(std::optional<PBItemProvider> provider, QList<PBCategory> categories, bool sticky = false,
              std::optional<QString> comment = std::nullopt, std::optional<PBAppInfo> app = std::nullopt)
{
    return PBItem(QUuid::createUuid(), QStringLiteral("hash"), categories, std::move(provider),
                  QDateTime::currentDateTime(), QDateTime::currentDateTime(), app, sticky, comment);
}

PBItem textItem(const QString &text, QList<PBCategory> extra = {}, bool sticky = false)
{
    return itemOf(PBTextItemProvider(text), QList<PBCategory>{PBCategory::all(), kind(PBDefaultCategory::text)} + extra,
                  sticky);
}

} // namespace

TEST(HistoryRows, TitlesAreCutAtWholeCharacters)
{
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    const QString accented = QStringLiteral("e\u0301");
    // A surrogate pair straddling the 64th code unit.
    const QString pair = QString(63, QLatin1Char('a')) + QStringLiteral("\U0001F600") + QStringLiteral("tail");
    EXPECT_EQ(leftGraphemes(pair, 64), QString(63, QLatin1Char('a')) + QStringLiteral("\U0001F600"));
    // An emoji sequence and a combining accent count as one character each.
    const QString emoji = QString(62, QLatin1Char('b')) + family + QStringLiteral("xyz");
    EXPECT_EQ(leftGraphemes(emoji, 63), QString(62, QLatin1Char('b')) + family);
    EXPECT_EQ(leftGraphemes(QString(63, QLatin1Char('c')) + accented + QStringLiteral("d"), 64),
              QString(63, QLatin1Char('c')) + accented);
    EXPECT_EQ(leftGraphemes(QStringLiteral("short"), 64), QStringLiteral("short"));
}

TEST(HistoryRows, RichAndCompactRowsDescribeTheirItem)
{
    const PBCategory blue = custom(QStringLiteral("Blue"), Qt::blue);
    const PBCategory green = custom(QStringLiteral("Green"), Qt::green);
    PBItem item = itemOf(PBTextItemProvider(QStringLiteral("line one\nline two")),
                         {PBCategory::all(), kind(PBDefaultCategory::text), green, blue}, false, QString());
    const PasteItemRow rich = PasteItemRow::describe(item, false);
    EXPECT_EQ(rich.title, QStringLiteral("line one line two"));
    EXPECT_EQ(rich.chips, QList<QColor>({Qt::green, Qt::blue}));
    EXPECT_EQ(rich.comment, QStringLiteral("\U0001F3F7 "));
    EXPECT_EQ(rich.titleLines, 2);
    EXPECT_EQ(rich.iconWidth, 36);
    // Without a source application the missing-icon image shows.
    EXPECT_EQ(rich.icon, PasteItemRow::IconSource::named);
    EXPECT_EQ(rich.iconKey, QStringLiteral("ic_appicon_missing"));
    EXPECT_FALSE(rich.date.isEmpty());

    EXPECT_EQ(PasteItemRow::describe(textItem(QStringLiteral("plain")), true).titleLines, 2);
    EXPECT_EQ(PasteItemRow::describe(textItem(QStringLiteral("pinned"), {}, true), true).titleLines, 1);
    EXPECT_EQ(PasteItemRow::describe(textItem(QStringLiteral("tagged"), {blue}), true).titleLines, 1);
    EXPECT_FALSE(PasteItemRow::describe(textItem(QStringLiteral("x")), false).comment);
}

TEST(HistoryRows, ACopyNoOneCanSeeIsTitledAsWhatItIs)
{
    for (const bool compact : {false, true}) {
        EXPECT_EQ(PasteItemRow::describe(textItem(QStringLiteral("   ")), compact).title, QStringLiteral("3 spaces"));
        EXPECT_EQ(PasteItemRow::describe(textItem(QStringLiteral(" \n\n")), compact).title,
                  QStringLiteral("Whitespace (3 lines)"));
        EXPECT_EQ(PasteItemRow::describe(textItem(QStringLiteral("\u200B")), compact).title,
                  QStringLiteral("1 invisible character"));
        // Text after more blanks than a title holds still shows.
        EXPECT_EQ(
            PasteItemRow::describe(textItem(QString(100, QLatin1Char(' ')) + QStringLiteral("late")), compact).title,
            QStringLiteral("late"));
    }
    // A list holds the start of a long text only: a blank start is said to be one.
    EXPECT_EQ(PasteItemRow::describe(textItem(QString(2048, QLatin1Char('\t'))), false).title,
              QStringLiteral("Starts with 2048 invisible characters"));
    // An image is named as one even when its size cannot be read.
    const PBItem image = itemOf(PBImageItemProvider(QByteArray("not an image"), QString()),
                                {PBCategory::all(), kind(PBDefaultCategory::image)});
    EXPECT_EQ(PasteItemRow::describe(image, false).title, QStringLiteral("Image"));
}

TEST(HistoryRows, FileAndNoteRowsShowASecondLineOfOneTitleLine)
{
    const PBItem file = itemOf(PBFileItemProvider(QUrl::fromLocalFile(QStringLiteral("/tmp/gone/report.pdf"))),
                               {PBCategory::all(), kind(PBDefaultCategory::file)});
    const PasteItemRow fileRow = PasteItemRow::describe(file, false);
    EXPECT_EQ(fileRow.secondLine, QStringLiteral("file:///tmp/gone/report.pdf"));
    EXPECT_EQ(fileRow.titleLines, 1);
    EXPECT_EQ(fileRow.icon, PasteItemRow::IconSource::fileIcon);
    // A file that is gone still gets its type's icon.
    EXPECT_FALSE(RowIcons::shared().icon(fileRow).isNull());

    const PBItem note = itemOf(PBNoteItemProvider::make(QStringLiteral("Title"), QStringLiteral("Body text")),
                               {PBCategory::all(), kind(PBDefaultCategory::note)});
    const PasteItemRow noteRow = PasteItemRow::describe(note, false);
    EXPECT_EQ(noteRow.secondLine, QStringLiteral("Body text"));
    EXPECT_EQ(noteRow.iconKey, QStringLiteral("noteIcon"));
    EXPECT_EQ(noteRow.titleLines, 1);
}

TEST(HistoryRows, LinksOtherThanWebAddressesNeverAskTheNetwork)
{
    for (const char *address : {"javascript:alert(1)", "file:///etc/passwd", "myapp://open"}) {
        const PBItem link = itemOf(PBLinkItemProvider(QString::fromLatin1(address)),
                                   {PBCategory::all(), kind(PBDefaultCategory::link)});
        const PasteItemRow row = PasteItemRow::describe(link, false);
        EXPECT_EQ(row.icon, PasteItemRow::IconSource::named) << address;
        EXPECT_EQ(row.iconKey, QStringLiteral("website_default")) << address;
    }
}

TEST(HistoryRows, ThumbnailsLandOnlyUnderTheirOwnItemAndBadImagesFallBack)
{
    QTemporaryDir dir;
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const QString path = dir.filePath(QStringLiteral("red.png"));
    ASSERT_TRUE(picture.save(path));
    const PBItem file =
        itemOf(PBFileItemProvider(QUrl::fromLocalFile(path)), {PBCategory::all(), kind(PBDefaultCategory::image)});
    const PasteItemRow fileRow = PasteItemRow::describe(file, false);
    // A 30000 x 30000 PNG header with no pixels behind it.
    QImage huge(1, 1, QImage::Format_RGB32);
    QByteArray claim = pngOf(huge);
    claim[16] = 0;
    claim[17] = 0;
    claim[18] = 0x75;
    claim[19] = 0x30;
    claim[20] = 0;
    claim[21] = 0;
    claim[22] = 0x75;
    claim[23] = 0x30;
    const PBItem broken =
        itemOf(PBImageItemProvider(QByteArray("not an image")), {PBCategory::all(), kind(PBDefaultCategory::image)});
    const PBItem claimed = itemOf(PBImageItemProvider(claim), {PBCategory::all(), kind(PBDefaultCategory::image)});
    const PasteItemRow brokenRow = PasteItemRow::describe(broken, false);
    const PasteItemRow claimedRow = PasteItemRow::describe(claimed, false);

    RowIcons &icons = RowIcons::shared();
    QSignalSpy ready(&icons, &RowIcons::iconReady);
    EXPECT_TRUE(icons.icon(fileRow).isNull());
    icons.icon(brokenRow);
    icons.icon(claimedRow);
    ASSERT_TRUE(waitUntil([&] { return ready.count() >= 3; }, 5000));
    const QPixmap thumbnail = icons.icon(fileRow);
    EXPECT_EQ(thumbnail.width(), 100);
    EXPECT_NEAR(thumbnail.height(), 67, 1);
    EXPECT_NE(RowIcons::keyOf(brokenRow), RowIcons::keyOf(fileRow));
    EXPECT_FALSE(icons.icon(brokenRow).isNull());
    EXPECT_NE(icons.icon(brokenRow).size(), thumbnail.size());
    EXPECT_FALSE(icons.icon(claimedRow).isNull());
}

TEST(HistoryRows, TheCommentsMarkIsDrawnFromAFontThatHasIt)
{
    const PBItem item = itemOf(PBTextItemProvider(QStringLiteral("x")),
                               {PBCategory::all(), kind(PBDefaultCategory::text)}, false, QStringLiteral("for Friday"));
    const std::optional<QString> comment = PasteItemRow::describe(item, false).comment;
    ASSERT_TRUE(comment);
    // Laid out in the list's font: the fallback that draws the mark must have a glyph for it, not a box.
    QFont font = QApplication::font();
    font.setPixelSize(11);
    QTextLayout layout(*comment, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    bool markDrawn = false;
    for (const QGlyphRun &run : layout.glyphRuns(0, 1)) {
        const QList<quint32> glyphs = run.glyphIndexes();
        markDrawn = markDrawn || std::any_of(glyphs.cbegin(), glyphs.cend(), [](quint32 glyph) { return glyph != 0; });
        EXPECT_FALSE(glyphs.contains(0u)) << run.rawFont().familyName().toStdString();
    }
    EXPECT_TRUE(markDrawn);
}

TEST(HistoryRows, AHugeTextIsDescribedQuickly)
{
    const QString huge(50 * 1024 * 1024, QLatin1Char('w'));
    const PBItem item = textItem(huge);
    QElapsedTimer timer;
    timer.start();
    const PasteItemRow row = PasteItemRow::describe(item, false);
    EXPECT_LT(timer.elapsed(), 50);
    EXPECT_EQ(row.title, QString(PasteItemRow::kTitleLength, QLatin1Char('w')) + QStringLiteral("\u2026"));
}

TEST(HistoryRows, TheModelKeepsABoundedNumberOfPagesAndRemovesRowsInPlace)
{
    ShellHarness shell;
    for (int i = 0; i < 130; ++i)
        shell.copyText(QStringLiteral("text %1").arg(i));
    CategoryListModel model(*shell.manager);
    bool done = false;
    model.fetch({PBCategory::all(), std::nullopt, {}}, [&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done && model.rowCount() == 130; }));
    // Rows whose page is not in yet ask for it and show once it lands.
    EXPECT_FALSE(model.cachedItem(120));
    ASSERT_TRUE(waitUntil([&] { return model.cachedItem(120).has_value(); }));
    waitUntil([&] { return model.cachedItem(51).has_value(); });
    const QString fifty = model.item(50).dataProvider()->representedText();
    const QString fiftyOne = model.item(51).dataProvider()->representedText();
    model.removeRowAt(50);
    EXPECT_EQ(model.rowCount(), 129);
    EXPECT_EQ(model.item(50).dataProvider()->representedText(), fiftyOne);
    EXPECT_EQ(model.rowOf(shell.item(fifty).uuid()), -1);
    EXPECT_LE(model.cachedPageCount(), CategoryListModel::kMaxCachedPages);
}
