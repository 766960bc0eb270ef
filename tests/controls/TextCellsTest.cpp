#include "controls/ClickedCollectionView.h"
#include "controls/NoteTextView.h"
#include "controls/VerticalAlignTextFieldCell.h"
#include "controls/VerticallyCenteredTextFieldCell.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace {
QStyleOptionViewItem cellOption(int height)
{
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 200, height);
    option.font = QApplication::font();
    option.features = QStyleOptionViewItem::HasDisplay;
    option.text = QStringLiteral("Text");
    option.state = QStyle::State_Enabled;
    return option;
}
} // namespace

TEST(VerticallyCenteredTextFieldCell, CentresOnlyWhenTheRectangleHasRoomToSpare)
{
    VerticallyCenteredTextFieldCell cell;
    const double line = QFontMetricsF(QApplication::font()).height();

    const QStyleOptionViewItem tall = cellOption(80);
    const QRectF base = cell.titleRect(tall);
    const QRectF centred = cell.drawingRect(tall);
    EXPECT_DOUBLE_EQ(centred.height(), line);
    EXPECT_DOUBLE_EQ(centred.center().y(), base.center().y());
    EXPECT_EQ(centred.left(), base.left());

    const QStyleOptionViewItem shallow = cellOption(int(line / 2));
    EXPECT_EQ(cell.drawingRect(shallow), cell.titleRect(shallow));
}

TEST(VerticalAlignTextFieldCell, EditsExactlyWhereItDrawsSoTheTextDoesNotJump)
{
    QStandardItemModel model(3, 1);
    for (int row = 0; row < 3; ++row)
        model.setItem(row, new QStandardItem(QStringLiteral("row %1").arg(row)));
    QTableView view;
    VerticalAlignTextFieldCell cell;
    view.setItemDelegate(&cell);
    view.setModel(&model);
    view.verticalHeader()->setDefaultSectionSize(60);
    view.resize(300, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    const QModelIndex index = model.index(1, 0);
    view.edit(index);
    auto *editor = view.findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    const QRect row = view.visualRect(index);
    const double line = QFontMetricsF(editor->font()).height();
    EXPECT_NEAR(editor->geometry().height(), line, 1.5);
    EXPECT_NEAR(editor->geometry().center().y(), row.center().y(), 1.5);
    EXPECT_FALSE(editor->hasFrame());
}

TEST(VerticalAlignTextFieldCell, ATextTallerThanItsRectangleStartsAboveIt)
{
    VerticalAlignTextFieldCell cell;
    const QStyleOptionViewItem option = cellOption(6);
    const QRectF title = cell.titleRect(option);
    const QRectF adjusted = cell.adjustedFrame(option);
    EXPECT_LT(adjusted.top(), title.top());
    EXPECT_GT(adjusted.height(), title.height());
}

TEST(NoteTextView, ThePlaceholderShowsExactlyWhileTheTextIsEmpty)
{
    NoteTextView view;
    view.resize(240, 120);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(view.placeholderAttributedString.has_value());
    EXPECT_EQ(view.placeholderAttributedString->text, QStringLiteral("Write your note here…"));

    const QImage empty = view.viewport()->grab().toImage();
    view.setPlainText(QStringLiteral(" "));
    EXPECT_FALSE(view.showsPlaceholder());
    const QImage blank = view.viewport()->grab().toImage();
    EXPECT_NE(empty, blank);

    view.setFocus();
    QTest::keyClick(&view, Qt::Key_End);
    QTest::keyClick(&view, Qt::Key_Backspace);
    EXPECT_TRUE(view.showsPlaceholder());
    EXPECT_EQ(view.viewport()->grab().toImage(), empty);
}

TEST(NoteTextView, ThePlaceholderStartsEightPointsInAndIsTwentyFourNarrower)
{
    NoteTextView view;
    const QRectF area(10, 5, 200, 100);
    const QRectF r = view.placeholderRect(area);
    EXPECT_DOUBLE_EQ(r.left(), 18);
    EXPECT_DOUBLE_EQ(r.width(), 176);
    EXPECT_DOUBLE_EQ(r.top(), 5);
    EXPECT_DOUBLE_EQ(r.height(), 100);
}

struct Swatches : ::testing::Test {
    QStandardItemModel model;
    ClickedCollectionView view;
    QMenu menu;
    void SetUp() override
    {
        for (int i = 0; i < 25; ++i)
            model.appendRow(new QStandardItem(QStringLiteral("%1").arg(i)));
        view.setModel(&model);
        view.setGridSize(QSize(40, 40));
        view.setMenu(&menu);
        view.resize(400, 400);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    QPoint centreOf(int row) const { return view.visualRect(model.index(row, 0)).center(); }
};

TEST_F(Swatches, OnlyItemsFromTwentyOnOfferTheMenuAndTheHitIsRecorded)
{
    EXPECT_EQ(view.menuForEvent(centreOf(19)), nullptr);
    EXPECT_EQ(view.clickedIndex(), 19);
    EXPECT_EQ(view.menuForEvent(centreOf(20)), &menu);
    EXPECT_EQ(view.clickedIndex(), 20);
    EXPECT_EQ(view.menuForEvent(QPoint(395, 395)), nullptr);
    EXPECT_FALSE(view.clickedIndex().has_value());
}

TEST_F(Swatches, AContextMenuRequestRecordsTheItemUnderThePointer)
{
    const QPoint at = centreOf(22);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.viewport(), &event);
    EXPECT_EQ(view.clickedIndex(), 22);
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
}
