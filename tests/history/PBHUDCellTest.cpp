#include "core/TaviSettings.h"
#include "platform/Defaults.h"
#include "platform/Shortcut.h"
#include "history/PBHUDCell.h"
#include "history/PBHUDTableView.h"
#include "support/TestEnvironment.h"

#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

PBItem textItem(const QString &text)
{
    const PBCategory textKind(std::nullopt, QStringLiteral("Text"), Qt::white, Qt::black, PBDefaultCategory::text,
                              false, false);
    return PBItem(QUuid::createUuid(), text, {PBCategory::all(), textKind}, PBTextItemProvider(text),
                  QDateTime::currentDateTime(), QDateTime::currentDateTime(), std::nullopt, false, std::nullopt);
}

PBItem emailItem(const QString &address)
{
    const PBCategory kind(std::nullopt, QStringLiteral("Email"), Qt::white, Qt::black, PBDefaultCategory::email, false,
                          false);
    return PBItem(QUuid::createUuid(), address, {PBCategory::all(), kind}, PBEmailItemProvider(address),
                  QDateTime::currentDateTime(), QDateTime::currentDateTime(), std::nullopt, false, std::nullopt);
}

PBItem itemOfKind(PBDefaultCategory type, const PBItemProvider &provider, const QString &text)
{
    const PBCategory kind(std::nullopt, QStringLiteral("Kind"), Qt::white, Qt::black, type, false, false);
    return PBItem(QUuid::createUuid(), text, {PBCategory::all(), kind}, provider, QDateTime::currentDateTime(),
                  QDateTime::currentDateTime(), std::nullopt, false, std::nullopt);
}

QString label(const PBHUDCell &cell) { return cell.lblShortCut->text(); }

const QString kReturn = QStringLiteral("Enter");

} // namespace

TEST(PBHUDCell, UnfilteredRowsShowTheirDigitKeyUpToTheCapacity)
{
    ScopedXdgHome home;
    PBHUDCell cell;
    cell.configureHUDCell(textItem(QStringLiteral("first")), 0, false);
    EXPECT_EQ(label(cell), QStringLiteral("Super+1 or ") + kReturn);
    cell.configureHUDCell(textItem(QStringLiteral("fourth")), 3, false);
    EXPECT_EQ(label(cell), QStringLiteral("Super+4"));
    cell.configureHUDCell(textItem(QStringLiteral("sixth")), 5, false);
    EXPECT_EQ(label(cell), QString());
}

TEST(PBHUDCell, OnlyTheNineDigitsAreOfferedWhateverTheCapacitySays)
{
    ScopedXdgHome home;
    Defaults::standard().setValue(QStringLiteral("menuHistoryCapacity"), qint64(40));
    PBHUDCell cell;
    cell.configureHUDCell(textItem(QStringLiteral("ninth")), 8, false);
    EXPECT_EQ(label(cell), QStringLiteral("Super+9"));
    cell.configureHUDCell(textItem(QStringLiteral("tenth")), 9, false);
    EXPECT_EQ(label(cell), QString());
    cell.isSelected = true;
    cell.updateShortcutLabel();
    EXPECT_EQ(label(cell), kReturn);
}

TEST(PBHUDCell, TheLabelFollowsTheSelection)
{
    ScopedXdgHome home;
    PBHUDCell first;
    PBHUDCell second;
    PBHUDCell eighth;
    first.configureHUDCell(textItem(QStringLiteral("a")), 0, false);
    second.configureHUDCell(textItem(QStringLiteral("b")), 1, false);
    eighth.configureHUDCell(textItem(QStringLiteral("h")), 7, false);
    first.isSelected = false;
    first.updateShortcutLabel();
    second.isSelected = true;
    second.updateShortcutLabel();
    eighth.isSelected = true;
    eighth.updateShortcutLabel();
    EXPECT_EQ(label(first), QStringLiteral("Super+1"));
    EXPECT_EQ(label(second), QStringLiteral("Super+2 or ") + kReturn);
    EXPECT_EQ(label(eighth), kReturn);
}

TEST(PBHUDCell, SearchResultsShowOnlyTheReturnMark)
{
    ScopedXdgHome home;
    PBHUDCell top;
    PBHUDCell other;
    top.configureHUDCell(textItem(QStringLiteral("a")), 0, true);
    other.configureHUDCell(textItem(QStringLiteral("b")), 2, true);
    EXPECT_EQ(label(top), kReturn);
    EXPECT_EQ(label(other), QString());
    other.isSelected = true;
    other.updateShortcutLabel();
    EXPECT_EQ(label(other), kReturn);
}

TEST(PBHUDCell, HintsNameTheKeysTheDigitHotKeysReallyUse)
{
    ScopedXdgHome home;
    PBHUDCell cell;
    const QList<std::pair<PBHistoryQuickSelectionKey, QString>> cases = {
        {PBHistoryQuickSelectionKey::command, QStringLiteral("Super+2")},
        {PBHistoryQuickSelectionKey::option, QStringLiteral("Alt+2")},
        {PBHistoryQuickSelectionKey::control, QStringLiteral("Ctrl+2")},
    };
    for (const auto &[key, hint] : cases) {
        TaviSettings::shared().setHistoryQuickSelectionKey(key);
        cell.configureHUDCell(textItem(QStringLiteral("b")), 1, false);
        EXPECT_EQ(label(cell), hint);
        // The same name as the grabbed key's (the digit 2 is key code 19).
        EXPECT_EQ(label(cell), Shortcut(19, modifierFlags(key)).displayText());
    }
}

TEST(PBHUDCell, ShowsTheStartOfTheTextOrDashes)
{
    ScopedXdgHome home;
    PBHUDCell cell;
    cell.configureHUDCell(textItem(QString(500, QLatin1Char('x'))), 0, false);
    EXPECT_EQ(cell.textField->text(), QString(PBHUDCell::kMaxTextLength, QLatin1Char('x')) + QStringLiteral("\u2026"));
    PBItem empty = textItem(QStringLiteral("gone"));
    empty.setDataProvider(std::nullopt);
    cell.configureHUDCell(empty, 0, false);
    EXPECT_EQ(cell.textField->text(), QStringLiteral("--"));
}

TEST(PBHUDCell, ALongTextEndsWithAnEllipsisInsideTheRow)
{
    ScopedXdgHome home;
    PBHUDCell cell;
    cell.resize(640, 60);
    cell.show();
    const QString longText = QString(150, QLatin1Char('w'));
    cell.configureHUDCell(textItem(longText), 1, false);
    QApplication::processEvents();
    const QString shown = cell.textField->displayedText();
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_LE(cell.textField->fontMetrics().horizontalAdvance(shown), cell.textField->width());
    EXPECT_LE(cell.textField->geometry().right(), cell.lblShortCut->geometry().left());
    EXPECT_EQ(cell.textField->text(), longText);

    cell.configureHUDCell(textItem(QStringLiteral("short")), 1, false);
    EXPECT_EQ(cell.textField->displayedText(), QStringLiteral("short"));
}

TEST(PBHUDCell, AWideTitleIsCutWhereAWordEnds)
{
    ScopedXdgHome home;
    PBHUDCell cell;
    cell.resize(420, 60);
    cell.show();
    QStringList words;
    for (int i = 0; i < 40; ++i)
        words << QStringLiteral("word%1").arg(i);
    const QString sentence = words.join(QLatin1Char(' '));
    cell.configureHUDCell(textItem(sentence), 1, false);
    QApplication::processEvents();
    const QString shown = cell.textField->displayedText();
    ASSERT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    const QString kept = shown.chopped(1);
    EXPECT_TRUE(sentence.startsWith(kept + QLatin1Char(' '))) << shown.toStdString();
    EXPECT_LE(cell.textField->fontMetrics().horizontalAdvance(shown), cell.textField->width());
    // Not much less than fits: the cut is at the last word boundary, not the first.
    EXPECT_GE(cell.textField->fontMetrics().horizontalAdvance(shown), cell.textField->width() * 3 / 5);
}

TEST(PBHUDCell, EveryKindOfIconIsShownAtTheSameSize)
{
    ScopedXdgHome home;
    QImage wide(300, 100, QImage::Format_RGB32);
    wide.fill(Qt::green);
    const QList<PBItem> items = {
        itemOfKind(PBDefaultCategory::link, PBLinkItemProvider(QStringLiteral("about:blank")),
                   QStringLiteral("about:blank")),
        itemOfKind(PBDefaultCategory::note, PBNoteItemProvider(QStringLiteral("Title"), QStringLiteral("Body")),
                   QStringLiteral("Title")),
        emailItem(QStringLiteral("someone@example.org")),
        itemOfKind(PBDefaultCategory::image, PBImageItemProvider(pngOf(wide)), QStringLiteral("image")),
    };
    PBHUDCell cell;
    for (const PBItem &item : items) {
        cell.configureHUDCell(item, 0, false);
        const QPixmap icon = cell.iconImage->pixmap();
        ASSERT_FALSE(icon.isNull()) << int(item.categories().last().type());
        const QSize size = icon.deviceIndependentSize().toSize();
        EXPECT_EQ(std::max(size.width(), size.height()), PBHUDCell::kIconSize) << int(item.categories().last().type());
    }
}

TEST(PBHUDCell, TheDeleteButtonFollowsThePointerAndTheWheel)
{
    ScopedXdgHome home;
    PBHUDCell cell;
    int deletes = 0;
    cell.deleteAction = [&] { ++deletes; };
    cell.configureHUDCell(textItem(QStringLiteral("a")), 0, false);
    cell.resize(400, 60);
    cell.show();
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QApplication::sendEvent(&cell, &enter);
    EXPECT_TRUE(cell.deleteBtn->isVisible());
    QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&cell, &wheel);
    EXPECT_FALSE(cell.deleteBtn->isVisible());
    QApplication::sendEvent(&cell, &enter);
    cell.deleteBtn->click();
    EXPECT_EQ(deletes, 1);
}

TEST(PBHUDTableView, MakesCellsOnlyForTheRowsInView)
{
    ScopedXdgHome home;
    PBHUDTableView table;
    int configured = 0;
    table.setCellConfigurator([&](PBHUDCell *cell, int row) {
        ++configured;
        cell->configureHUDCell(textItem(QString::number(row)), row, false);
    });
    table.resize(600, 9 * 60);
    table.setNumberOfRows(100000);
    table.show();
    configured = 0;
    table.reloadData();
    EXPECT_LE(configured, 11);
    EXPECT_EQ(table.findChildren<PBHUDCell *>().size(), 11);

    table.selectRow(50000);
    table.scrollRowToVisible(50000);
    ASSERT_NE(table.cellForRow(50000), nullptr);
    EXPECT_EQ(table.cellForRow(50000)->textField->text(), QStringLiteral("50000"));
    EXPECT_TRUE(table.cellForRow(50000)->isSelected);
    EXPECT_EQ(table.cellForRow(0), nullptr);
}

TEST(PBHUDCell, ACopyNoOneCanSeeIsShownAsWhatItIs)
{
    ScopedXdgHome home;
    PBHUDCell cell;
    cell.configureHUDCell(textItem(QStringLiteral("   ")), 0, false);
    EXPECT_EQ(cell.textField->text(), QStringLiteral("3 spaces"));
    cell.configureHUDCell(textItem(QStringLiteral("\n\n")), 1, false);
    EXPECT_EQ(cell.textField->text(), QStringLiteral("2 line breaks"));
    // Text after more blank lines than the row holds still shows.
    cell.configureHUDCell(textItem(QString(250, QLatin1Char('\n')) + QStringLiteral("late text")), 2, false);
    EXPECT_EQ(cell.textField->text(), QStringLiteral("late text"));
}

TEST(PBHUDCell, AReusedCellKeepsNoIconOfItsLastRow)
{
    ScopedXdgHome home;
    PBHUDCell cell;
    cell.configureHUDCell(emailItem(QStringLiteral("someone@example.org")), 0, false);
    ASSERT_FALSE(cell.iconImage->pixmap().isNull());
    // A text without a source application has no icon of its own.
    cell.configureHUDCell(textItem(QStringLiteral("plain")), 1, false);
    EXPECT_TRUE(cell.iconImage->pixmap().isNull());
}

TEST(PBHUDCell, AnImageFileShowsItsThumbnail)
{
    ScopedXdgHome home;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("red.png"));
    QImage red(400, 200, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(path));
    const PBCategory kind(std::nullopt, QStringLiteral("Image"), Qt::white, Qt::black, PBDefaultCategory::image, false,
                          false);
    const PBItem item(QUuid::createUuid(), path, {PBCategory::all(), kind},
                      PBFileItemProvider(QUrl::fromLocalFile(path)), QDateTime::currentDateTime(),
                      QDateTime::currentDateTime(), std::nullopt, false, std::nullopt);
    PBHUDCell cell;
    cell.configureHUDCell(item, 0, false);
    ASSERT_TRUE(waitUntil([&] { return !cell.iconImage->pixmap().isNull(); }, 5000));
    const QImage shown = cell.iconImage->pixmap().toImage();
    // At the row's icon size, its proportions kept.
    EXPECT_EQ(shown.width(), PBHUDCell::kIconSize);
    EXPECT_EQ(shown.height(), PBHUDCell::kIconSize / 2);
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::red));
}
