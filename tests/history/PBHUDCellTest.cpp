#include "core/TaviSettings.h"
#include "history/CategoryListModel.h"
#include "history/PBHUDCell.h"
#include "history/PBHUDRowDelegate.h"
#include "history/PBHUDTableView.h"
#include "platform/Defaults.h"
#include "platform/Shortcut.h"
#include "support/TestEnvironment.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

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

QString label(const PBHUDCell &cell) { return cell.shortcutLabel; }

PBHUDCell cellOf(const PBItem &item, int row, bool isSearchMode = false)
{
    PBHUDCell cell;
    cell.configureHUDCell(item, row, isSearchMode);
    return cell;
}

// A row of the table's width, as the table paints it.
QStyleOptionViewItem rowOption(const PBHUDTableView &table, int width, QStyle::State extra = {})
{
    QStyleOptionViewItem option;
    option.initFrom(&table);
    option.widget = &table;
    option.font = table.font();
    option.rect = QRect(0, 0, width, int(PBHUDCell::kRowHeight));
    option.state |= extra;
    return option;
}

// Rows of numbered texts (or the items given), noting which rows were asked for.
class Rows : public QAbstractListModel {
public:
    explicit Rows(int count) : m_count(count) {}
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_count; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || role != CategoryListModel::ItemRole)
            return {};
        asked.insert(index.row());
        if (const auto found = items.constFind(index.row()); found != items.constEnd())
            return QVariant::fromValue(*found);
        return QVariant::fromValue(textItem(QString::number(index.row())));
    }
    QHash<int, PBItem> items;
    mutable QSet<int> asked;

private:
    int m_count;
};

QImage paintedRow(const PBHUDTableView &table, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    QImage image(option.rect.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    table.rowDelegate()->paint(&painter, option, index);
    return image;
}

void moveTo(QWidget *viewport, const QPoint &position)
{
    QMouseEvent move(QEvent::MouseMove, position, viewport->mapToGlobal(position), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
}

void click(QWidget *viewport, const QPoint &position)
{
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, position, viewport->mapToGlobal(position), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
}

const QString kReturn = QStringLiteral("Enter");

} // namespace

TEST(PBHUDCell, UnfilteredRowsShowTheirDigitKeyUpToTheCapacity)
{
    ScopedXdgHome home;
    EXPECT_EQ(label(cellOf(textItem(QStringLiteral("first")), 0)), QStringLiteral("Super+1 or ") + kReturn);
    EXPECT_EQ(label(cellOf(textItem(QStringLiteral("fourth")), 3)), QStringLiteral("Super+4"));
    EXPECT_EQ(label(cellOf(textItem(QStringLiteral("sixth")), 5)), QString());
}

TEST(PBHUDCell, OnlyTheNineDigitsAreOfferedWhateverTheCapacitySays)
{
    ScopedXdgHome home;
    Defaults::standard().setValue(QStringLiteral("menuHistoryCapacity"), qint64(40));
    EXPECT_EQ(label(cellOf(textItem(QStringLiteral("ninth")), 8)), QStringLiteral("Super+9"));
    PBHUDCell cell = cellOf(textItem(QStringLiteral("tenth")), 9);
    EXPECT_EQ(label(cell), QString());
    cell.isSelected = true;
    cell.updateShortcutLabel();
    EXPECT_EQ(label(cell), kReturn);
}

TEST(PBHUDCell, TheLabelFollowsTheSelection)
{
    ScopedXdgHome home;
    PBHUDCell first = cellOf(textItem(QStringLiteral("a")), 0);
    PBHUDCell second = cellOf(textItem(QStringLiteral("b")), 1);
    PBHUDCell eighth = cellOf(textItem(QStringLiteral("h")), 7);
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
    EXPECT_EQ(label(cellOf(textItem(QStringLiteral("a")), 0, true)), kReturn);
    PBHUDCell other = cellOf(textItem(QStringLiteral("b")), 2, true);
    EXPECT_EQ(label(other), QString());
    other.isSelected = true;
    other.updateShortcutLabel();
    EXPECT_EQ(label(other), kReturn);
}

TEST(PBHUDCell, HintsNameTheKeysTheDigitHotKeysReallyUse)
{
    ScopedXdgHome home;
    const QList<std::pair<PBHistoryQuickSelectionKey, QString>> cases = {
        {PBHistoryQuickSelectionKey::command, QStringLiteral("Super+2")},
        {PBHistoryQuickSelectionKey::option, QStringLiteral("Alt+2")},
        {PBHistoryQuickSelectionKey::control, QStringLiteral("Ctrl+2")},
    };
    for (const auto &[key, hint] : cases) {
        TaviSettings::shared().setHistoryQuickSelectionKey(key);
        const PBHUDCell cell = cellOf(textItem(QStringLiteral("b")), 1);
        EXPECT_EQ(label(cell), hint);
        // The same name as the grabbed key's (the digit 2 is key code 19).
        EXPECT_EQ(label(cell), Shortcut(19, modifierFlags(key)).displayText());
    }
}

TEST(PBHUDCell, ShowsTheStartOfTheTextOrDashes)
{
    ScopedXdgHome home;
    EXPECT_EQ(cellOf(textItem(QString(500, QLatin1Char('x'))), 0).text,
              QString(PBHUDCell::kMaxTextLength, QLatin1Char('x')) + QStringLiteral("\u2026"));
    PBItem empty = textItem(QStringLiteral("gone"));
    empty.setDataProvider(std::nullopt);
    EXPECT_EQ(cellOf(empty, 0).text, QStringLiteral("--"));
}

TEST(PBHUDRowDelegate, ALongTextEndsWithAnEllipsisInsideTheRow)
{
    ScopedXdgHome home;
    PBHUDTableView table;
    const PBHUDRowDelegate &delegate = *table.rowDelegate();
    const QString longText = QString(150, QLatin1Char('w'));
    const PBHUDCell cell = cellOf(textItem(longText), 1);
    EXPECT_EQ(cell.text, longText);
    const QFontMetrics metrics(table.font());
    // Beside the hint, and beside the delete button as well while the pointer is over the row.
    for (const QStyle::State state : {QStyle::State_None, QStyle::State_MouseOver}) {
        const QStyleOptionViewItem option = rowOption(table, 640, state);
        const PBHUDRowDelegate::RowLayout layout = delegate.layoutOf(option, cell, state == QStyle::State_MouseOver);
        const QString shown = delegate.displayedText(option, cell);
        EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
        EXPECT_LE(metrics.horizontalAdvance(shown), layout.text.width());
        EXPECT_FALSE(layout.shortcut.isEmpty());
        EXPECT_LE(layout.text.right(), layout.shortcut.left());
        EXPECT_LE(layout.icon.right(), layout.text.left());
        EXPECT_TRUE(option.rect.contains(layout.shortcut));
        if (state == QStyle::State_MouseOver) {
            EXPECT_LE(layout.shortcut.right(), layout.deleteButton.left());
            EXPECT_TRUE(option.rect.contains(layout.deleteButton));
        } else {
            EXPECT_TRUE(layout.deleteButton.isEmpty());
        }
    }
    EXPECT_EQ(delegate.displayedText(rowOption(table, 640), cellOf(textItem(QStringLiteral("short")), 1)),
              QStringLiteral("short"));
}

TEST(PBHUDRowDelegate, AWideTitleIsCutWhereAWordEnds)
{
    ScopedXdgHome home;
    PBHUDTableView table;
    const PBHUDRowDelegate &delegate = *table.rowDelegate();
    QStringList words;
    for (int i = 0; i < 40; ++i)
        words << QStringLiteral("word%1").arg(i);
    const QString sentence = words.join(QLatin1Char(' '));
    const QStyleOptionViewItem option = rowOption(table, 420);
    const PBHUDCell cell = cellOf(textItem(sentence), 1);
    const int width = delegate.layoutOf(option, cell, false).text.width();
    const QString shown = delegate.displayedText(option, cell);
    ASSERT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    const QString kept = shown.chopped(1);
    EXPECT_TRUE(sentence.startsWith(kept + QLatin1Char(' '))) << shown.toStdString();
    const QFontMetrics metrics(table.font());
    EXPECT_LE(metrics.horizontalAdvance(shown), width);
    // Not much less than fits: the cut is at the last word boundary, not the first.
    EXPECT_GE(metrics.horizontalAdvance(shown), width * 3 / 5);
}

TEST(PBHUDRowDelegate, EveryKindOfIconIsShownAtTheSameSize)
{
    ScopedXdgHome home;
    PBHUDTableView table;
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
    for (const PBItem &item : items) {
        const PBHUDCell cell = cellOf(item, 0);
        // A copied image is decoded off the GUI thread.
        ASSERT_TRUE(waitUntil([&] { return !table.rowDelegate()->iconOf(cell).isNull(); }, 5000))
            << int(item.categories().last().type());
        const QSize size = table.rowDelegate()->iconOf(cell).deviceIndependentSize().toSize();
        EXPECT_EQ(std::max(size.width(), size.height()), PBHUDCell::kIconSize) << int(item.categories().last().type());
    }
}

TEST(PBHUDTableView, TheDeleteButtonFollowsThePointerAndTheWheel)
{
    ScopedXdgHome home;
    Rows rows(20);
    PBHUDTableView table;
    table.setModel(&rows);
    table.resize(400, 3 * 60);
    table.show();
    QSignalSpy deletes(&table, &PBHUDTableView::deleteClicked);
    QWidget *viewport = table.viewport();
    moveTo(viewport, QPoint(50, 70));
    EXPECT_EQ(table.hoveredRow(), 1);
    const QRect button = table.deleteButtonRect(1);
    ASSERT_FALSE(button.isEmpty());
    EXPECT_TRUE(table.visualRect(rows.index(1)).contains(button));
    EXPECT_TRUE(table.deleteButtonRect(0).isEmpty());

    QWheelEvent wheel(QPointF(50, 70), viewport->mapToGlobal(QPointF(50, 70)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
    EXPECT_EQ(table.hoveredRow(), -1);
    EXPECT_TRUE(table.deleteButtonRect(1).isEmpty());
    EXPECT_EQ(table.firstVisibleRow(), 1);

    // Entering another row shows its button again; a click on it deletes that row, and selects nothing.
    moveTo(viewport, QPoint(50, 130));
    ASSERT_EQ(table.hoveredRow(), 3);
    click(viewport, table.deleteButtonRect(3).center());
    ASSERT_EQ(deletes.size(), 1);
    EXPECT_EQ(deletes.first().first().toInt(), 3);
    EXPECT_EQ(table.selectedRow(), -1);
    // A click beside the button selects the row.
    click(viewport, QPoint(50, 130));
    EXPECT_EQ(deletes.size(), 1);
    EXPECT_EQ(table.selectedRow(), 3);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(viewport, &leave);
    EXPECT_EQ(table.hoveredRow(), -1);
}

TEST(PBHUDTableView, PaintsOnlyTheRowsInViewWithNoWidgetPerRow)
{
    ScopedXdgHome home;
    Rows rows(100000);
    PBHUDTableView table;
    table.setModel(&rows);
    table.resize(600, 9 * 60);
    table.show();
    const qsizetype widgets = table.findChildren<QWidget *>().size();
    rows.asked.clear();
    table.viewport()->grab();
    EXPECT_GT(rows.asked.size(), 0);
    EXPECT_LE(rows.asked.size(), 10);

    table.selectRow(50000);
    table.scrollRowToVisible(50000);
    rows.asked.clear();
    table.viewport()->grab();
    EXPECT_LE(rows.asked.size(), 10);
    EXPECT_TRUE(rows.asked.contains(50000));
    EXPECT_EQ(table.findChildren<QWidget *>().size(), widgets);
    const std::optional<PBHUDCell> shown = table.cellForRow(50000);
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->text, QStringLiteral("50000"));
    EXPECT_TRUE(shown->isSelected);
    EXPECT_TRUE(table.viewport()->rect().contains(table.visualRect(rows.index(50000))));
    EXPECT_EQ(table.indexAt(table.visualRect(rows.index(50000)).center()).row(), 50000);
    EXPECT_FALSE(table.cellForRow(0).has_value());
}

TEST(PBHUDRowDelegate, TheSelectedRowIsHighlightedAndOffersReturn)
{
    ScopedXdgHome home;
    Rows rows(3);
    PBHUDTableView table;
    table.setModel(&rows);
    const QModelIndex second = rows.index(1);
    const QStyleOptionViewItem plain = rowOption(table, 400);
    const QStyleOptionViewItem selected = rowOption(table, 400, QStyle::State_Selected);
    EXPECT_EQ(table.rowDelegate()->cellFor(plain, second).shortcutLabel, QStringLiteral("Super+2"));
    EXPECT_EQ(table.rowDelegate()->cellFor(selected, second).shortcutLabel, QStringLiteral("Super+2 or ") + kReturn);
    // The highlight fills the row inside a small inset, and only on the selected row.
    const QImage off = paintedRow(table, plain, second);
    const QImage on = paintedRow(table, selected, second);
    EXPECT_EQ(off.pixelColor(6, 30), QColor(Qt::white));
    EXPECT_NE(on.pixelColor(6, 30), QColor(Qt::white));
    EXPECT_EQ(on.pixelColor(2, 30), QColor(Qt::white));
}

TEST(PBHUDCell, ACopyNoOneCanSeeIsShownAsWhatItIs)
{
    ScopedXdgHome home;
    EXPECT_EQ(cellOf(textItem(QStringLiteral("   ")), 0).text, QStringLiteral("3 spaces"));
    EXPECT_EQ(cellOf(textItem(QStringLiteral("\n\n")), 1).text, QStringLiteral("2 line breaks"));
    // Text after more blank lines than the row holds still shows.
    EXPECT_EQ(cellOf(textItem(QString(250, QLatin1Char('\n')) + QStringLiteral("late text")), 2).text,
              QStringLiteral("late text"));
}

TEST(PBHUDRowDelegate, AReusedCellKeepsNoIconOfItsLastRow)
{
    ScopedXdgHome home;
    PBHUDTableView table;
    PBHUDCell cell;
    cell.configureHUDCell(emailItem(QStringLiteral("someone@example.org")), 0, false);
    ASSERT_FALSE(table.rowDelegate()->iconOf(cell).isNull());
    // A text without a source application has no icon of its own.
    cell.configureHUDCell(textItem(QStringLiteral("plain")), 1, false);
    EXPECT_TRUE(table.rowDelegate()->iconOf(cell).isNull());
}

TEST(PBHUDRowDelegate, AnImageFileShowsItsThumbnail)
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
    Rows rows(1);
    rows.items.insert(0, item);
    PBHUDTableView table;
    table.setModel(&rows);
    const PBHUDRowDelegate &delegate = *table.rowDelegate();
    const PBHUDCell cell = cellOf(item, 0);
    ASSERT_TRUE(waitUntil([&] { return !delegate.iconOf(cell).isNull(); }, 5000));
    const QImage shown = delegate.iconOf(cell).toImage();
    // At the row's icon size, its proportions kept.
    EXPECT_EQ(shown.width(), PBHUDCell::kIconSize);
    EXPECT_EQ(shown.height(), PBHUDCell::kIconSize / 2);
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::red));
    // Painted in the icon's place.
    const QStyleOptionViewItem option = rowOption(table, 400);
    const QPoint centre = delegate.layoutOf(option, cell, false).icon.center();
    EXPECT_EQ(paintedRow(table, option, rows.index(0)).pixelColor(centre), QColor(Qt::red));
}

TEST(PBHUDRowDelegate, AnImageListedWithoutItsDataIsReadFromTheStoreOnce)
{
    ScopedXdgHome home;
    QImage blue(120, 60, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    const PBItem stored = itemOfKind(PBDefaultCategory::image, PBImageItemProvider(pngOf(blue)), QStringLiteral("big"));
    PBItem listed = stored;
    listed.setDataProvider(PBImageItemProvider(std::nullopt, QStringLiteral("big")));
    Rows rows(1);
    rows.items.insert(0, listed);
    PBHUDTableView table;
    table.setModel(&rows);
    PBHUDRowDelegate &delegate = *table.rowDelegate();
    QList<std::function<void(const PBItem &)>> asked;
    delegate.setStoredItemReader([&](const PBItem &item, std::function<void(const PBItem &)> done) {
        EXPECT_EQ(item.uuid(), listed.uuid());
        asked.append(std::move(done));
    });
    const QStyleOptionViewItem option = rowOption(table, 400);
    const PBHUDCell cell = delegate.cellFor(option, rows.index(0));
    ASSERT_TRUE(cell.needsStoredImage);
    // Until the stored item is in, the row has no icon, and nothing decodes an image of nothing.
    paintedRow(table, option, rows.index(0));
    paintedRow(table, option, rows.index(0));
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(delegate.iconOf(cell).isNull());
    asked.first()(stored);
    ASSERT_TRUE(waitUntil([&] { return !delegate.iconOf(cell).isNull(); }, 5000));
    const QImage shown = delegate.iconOf(cell).toImage();
    EXPECT_EQ(shown.width(), PBHUDCell::kIconSize);
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::blue));
    paintedRow(table, option, rows.index(0));
    EXPECT_EQ(asked.size(), 1);
}
