#include "core/PBProviderSupport.h"
#include "core/TaviSettings.h"
#include "history/CategoryListModel.h"
#include "history/PasteItemRow.h"
#include "history/RichTitle.h"
#include "support/ShellHarness.h"
#include "ListWindowHarness.h"

#include <QImage>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

RichTitle::Style bold()
{
    RichTitle::Style style;
    style.bold = true;
    return style;
}

RichTitle::Style italic()
{
    RichTitle::Style style;
    style.italic = true;
    return style;
}

const QByteArray kBoldRtf =
    QByteArrayLiteral("{\\rtf1\\ansi{\\fonttbl\\f0 Helvetica;}\\f0 {\\b Bold} and {\\i slanted} text}");

// Another program's copy of a text with its rich form, then one poll.
void copyRich(ShellHarness &shell, const QString &text, const QString &type, const QByteArray &rich)
{
    PasteboardItem item;
    item.setString(PasteboardType::string, text);
    item.setData(type, rich);
    shell.pasteboard.simulateCopy({item});
    shell.manager->retreivePasteboardInfo();
    shell.settle();
}

} // namespace

TEST(RichTitles, TheStylesOfTheStartOfRtfAndHtmlAreRead)
{
    const std::optional<RichTitle> rtf = RichTitle::read(PasteboardTypeName::kRtf, kBoldRtf);
    ASSERT_TRUE(rtf);
    EXPECT_EQ(rtf->text, QStringLiteral("Bold and slanted text"));
    EXPECT_EQ(rtf->runs, (QList<RichTitle::Run>{{0, 4, bold()}, {9, 7, italic()}}));

    const std::optional<RichTitle> html =
        RichTitle::read(PasteboardTypeName::kHtml, QByteArrayLiteral("<p>  <b>Bold</b> and <em>slanted</em> text</p>"));
    ASSERT_TRUE(html);
    EXPECT_EQ(html->text, QStringLiteral("Bold and slanted text"));
    EXPECT_EQ(html->runs, rtf->runs);

    // Nothing to show in a rich way, or nothing readable.
    EXPECT_FALSE(RichTitle::read(PasteboardTypeName::kRtf, QByteArrayLiteral("{\\rtf1\\ansi plain words}")));
    EXPECT_FALSE(RichTitle::read(PasteboardTypeName::kRtf, QByteArrayLiteral("not rtf at all")));
    EXPECT_FALSE(RichTitle::read(PasteboardTypeName::kHtml, QByteArrayLiteral("<p>\xff\xfe<b>x</b></p>")));
}

TEST(RichTitles, ACutStartOfALargeCopyIsStillRead)
{
    // The head read from the store ends inside a group, or inside a character.
    QByteArray rtf = QByteArrayLiteral("{\\rtf1\\ansi {\\b Heading} ") + QByteArray(200 * 1024, 'x') + '}';
    const std::optional<RichTitle> fromRtf = RichTitle::read(PasteboardTypeName::kRtf, rtf.left(RichTitle::kHeadBytes));
    ASSERT_TRUE(fromRtf);
    EXPECT_EQ(fromRtf->text.size(), RichTitle::kTextLength);
    EXPECT_EQ(fromRtf->runs.value(0), (RichTitle::Run{0, 7, bold()}));

    const QByteArray html = QByteArrayLiteral("<b>Gr\xc3\xbc\xc3\x9f"
                                              "e</b> ")
                            + QByteArray(100, 'y') + QByteArrayLiteral("\xc3\xbc");
    const std::optional<RichTitle> fromHtml = RichTitle::read(PasteboardTypeName::kHtml, html.left(html.size() - 1));
    ASSERT_TRUE(fromHtml);
    EXPECT_TRUE(fromHtml->text.startsWith(QStringLiteral("Gr\u00fc\u00dfe ")));
    EXPECT_EQ(fromHtml->runs.value(0), (RichTitle::Run{0, 5, bold()}));
}

TEST(RichTitles, ATitleTakesTheStylesOfTheCharactersItStandsFor)
{
    const RichTitle title = *RichTitle::read(
        PasteboardTypeName::kRtf, QByteArrayLiteral("{\\rtf1\\ansi {\\b Bold}\\par\\par and {\\i slanted} text}"));
    // The row's title has one blank where the text has a paragraph break.
    EXPECT_EQ(title.runsFor(QStringLiteral("Bold and slanted text")),
              (QList<RichTitle::Run>{{0, 4, bold()}, {9, 7, italic()}}));
    // A title cut short keeps the runs within it.
    EXPECT_EQ(title.runsFor(QStringLiteral("Bold and sl")), (QList<RichTitle::Run>{{0, 4, bold()}, {9, 2, italic()}}));
    // The rich data says something else than the plain text: the title stays plain.
    EXPECT_TRUE(title.runsFor(QStringLiteral("Something else entirely")).isEmpty());
    EXPECT_TRUE(title.runsFor(QString()).isEmpty());
}

TEST(RichTitles, TheListShowsABoldCopyBoldWhileTheRichSwitchIsOn)
{
    ShellHarness shell;
    TaviSettings::shared().setAlwaysCopyPlainText(false);
    copyRich(shell, QStringLiteral("Bold and slanted text"), PasteboardType::rtf, kBoldRtf);
    ListWindow list(shell, {}, PBDefaultCategory::text);
    ASSERT_EQ(list.view->numberOfRows(), 1);
    CategoryListModel *model = list.view->model;
    const auto richTitle = [model] { return model->data(model->index(0), CategoryListModel::RichTitleRole); };
    ASSERT_TRUE(waitUntil([&] { return richTitle().isValid(); }));
    const PBItem item = list.view->itemAt(0);
    const RichTitle title = richTitle().value<RichTitle>();
    EXPECT_EQ(PasteItemRow::describe(item, false, &title).titleRuns.value(0), (RichTitle::Run{0, 4, bold()}));
    EXPECT_EQ(PasteItemRow::describe(item, true, &title).titleRuns.size(), 2);
    // The title of the first row (its icon arrives when it is read, its time stamp may change).
    const auto rows = [&list] { return list.view->itemsTableView->viewport()->grab(QRect(60, 0, 300, 40)).toImage(); };
    list.view->itemsTableView->viewport()->repaint();
    const QImage rich = rows();

    // Plain: nothing is read and the row is drawn plain.
    list.view->textStyleBtn->click();
    list.settle();
    ASSERT_TRUE(TaviSettings::shared().alwaysCopyPlainText());
    EXPECT_FALSE(richTitle().isValid());
    EXPECT_TRUE(PasteItemRow::describe(item, false, &title).titleRuns.isEmpty());
    const QImage plain = rows();
    EXPECT_NE(rich, plain);

    list.view->textStyleBtn->click();
    list.settle();
    ASSERT_TRUE(waitUntil([&] { return richTitle().isValid(); }));
    EXPECT_EQ(rows(), rich);
    TaviSettings::shared().setAlwaysCopyPlainText(true);
}

TEST(RichTitles, ARichFormThatCannotBeReadLeavesTheNextOneToShow)
{
    ShellHarness shell;
    TaviSettings::shared().setAlwaysCopyPlainText(false);
    PasteboardItem item;
    item.setString(PasteboardType::string, QStringLiteral("Bold words"));
    item.setData(PasteboardTypeName::kFlatRtfd, QByteArrayLiteral("rtfd bytes"));
    item.setData(PasteboardType::html, QByteArrayLiteral("<b>Bold</b> words"));
    shell.pasteboard.simulateCopy({item});
    shell.manager->retreivePasteboardInfo();
    shell.settle();
    const QHash<QUuid, RichTitle> titles = RichTitle::load(*shell.manager, {shell.item(QStringLiteral("Bold words"))});
    ASSERT_EQ(titles.size(), 1);
    EXPECT_EQ(titles.cbegin()->runs, (QList<RichTitle::Run>{{0, 4, bold()}}));
    TaviSettings::shared().setAlwaysCopyPlainText(true);
}
