#include "ColorBarTestSupport.h"

#include "colorbar/CategoryCellView.h"
#include "colorbar/ColorBarMetrics.h"
#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "platform/NotificationCenter.h"

#include <QCursor>

namespace {

using ColorBarRowTest = ColorBarTest;

bool animationsEnd(MainViewController &view)
{
    return waitUntil([&] {
        for (int i = 0; i < view.numberOfRows(); ++i) {
            if (view.rowView(i)->isAnimating())
                return false;
        }
        return true;
    });
}

TEST(CategoryCellNameTest, LongNamesShowTheirFirstEightCharactersWithoutSplittingClusters)
{
    EXPECT_EQ(CategoryCellView::displayedName(QStringLiteral("Clipping")), QStringLiteral("Clipping"));
    EXPECT_EQ(CategoryCellView::displayedName(QStringLiteral("Clippings")), QStringLiteral("Clipping..."));
    EXPECT_EQ(CategoryCellView::displayedName(QString(10000, QLatin1Char('x'))), QStringLiteral("xxxxxxxx..."));
    // Eight family emoji (each several code points) and a ninth: the eight stay whole.
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    EXPECT_EQ(CategoryCellView::displayedName(family.repeated(9)), family.repeated(8) + QStringLiteral("..."));
    const QString accented = QStringLiteral("e\u0301");
    EXPECT_EQ(CategoryCellView::displayedName(accented.repeated(8)), accented.repeated(8));
}

TEST_F(ColorBarRowTest, HoverWidensTheBarAndShowsTheCountUntilThePointerLeaves)
{
    sharedShell().copyText(QStringLiteral("one"));
    sharedShell().copyText(QStringLiteral("two"));
    MainViewController &view = makeBar();
    const int row = rowOf(PBDefaultCategory::text);
    CategoryCellView *cell = view.rowView(row);
    const ColorBarMetrics metrics = ColorBarMetrics::current();

    cell->pointerEntered();
    EXPECT_EQ(barWindow().width(), metrics.expandedWidth);
    ASSERT_TRUE(animationsEnd(view));
    EXPECT_EQ(cell->tabWidth(), metrics.expandedWidth);
    EXPECT_TRUE(cell->isContentVisible());
    EXPECT_TRUE(waitUntil(
        [&] { return cell->countText() == QString::number(sharedShell().manager->itemCount(*cell->category())); }));
    EXPECT_EQ(cell->countText(), QStringLiteral("2"));
    // An open row shows a new item's count as it is announced.
    sharedShell().copyText(QStringLiteral("three"));
    EXPECT_EQ(cell->countText(), QStringLiteral("3"));

    cell->pointerExited();
    EXPECT_TRUE(view.isCollapseTimerArmed());
    ASSERT_TRUE(animationsEnd(view));
    EXPECT_EQ(cell->tabWidth(), metrics.barWidth);
    view.collapseExpandedBar();
    EXPECT_EQ(barWindow().width(), metrics.barWidth);
}

TEST_F(ColorBarRowTest, LeavingBeforeTheTabOpensLeavesItsContentHidden)
{
    MainViewController &view = makeBar();
    CategoryCellView *cell = view.rowView(0);
    cell->pointerEntered();
    cell->pointerExited();
    ASSERT_TRUE(animationsEnd(view));
    EXPECT_FALSE(cell->isContentVisible());
    EXPECT_TRUE(cell->countText().isEmpty());
}

TEST_F(ColorBarRowTest, DockedRightAWidenedBarGrowsAwayFromTheEdgeAndReturnsToIt)
{
    TaviSettings::shared().setBarPosition(PBColorBarPosition::right);
    MainViewController &view = makeBar();
    const int right = barWindow().geometry().right();
    view.rowView(0)->pointerEntered();
    EXPECT_EQ(barWindow().geometry().right(), right);
    EXPECT_EQ(barWindow().width(), 120);
    view.rowView(0)->pointerExited();
    ASSERT_TRUE(animationsEnd(view));
    view.collapseExpandedBar();
    EXPECT_EQ(barWindow().geometry(), QRect(right - 17, barWindow().y(), 18, barWindow().height()));
    EXPECT_EQ(view.rowView(0)->roundedSide(), Qt::LeftEdge);
}

TEST_F(ColorBarRowTest, ARowStaysOpenUnderAPointerThatRestsOnItAndClosesWhenItLeaves)
{
    // Docked right, the widened window grows away from the edge: its left side moves while the
    // window system still reports the pointer's arrival against the old place.
    TaviSettings::shared().setBarPosition(PBColorBarPosition::right);
    MainViewController &view = makeBar();
    const ColorBarMetrics metrics = ColorBarMetrics::current();
    CategoryCellView *cell = view.rowView(1);
    QCursor::setPos(cell->mapToGlobal(cell->tabGeometry().center()));
    EXPECT_TRUE(waitUntil([&] { return cell->isContentVisible(); })) << "tab " << cell->tabWidth();
    EXPECT_TRUE(cell->isMouseIn());
    EXPECT_EQ(cell->tabWidth(), metrics.expandedWidth);
    EXPECT_EQ(barWindow().width(), metrics.expandedWidth);
    EXPECT_FALSE(view.isCollapseTimerArmed());
    EXPECT_TRUE(view.isPointerInside());
    for (int i = 0; i < view.numberOfRows(); ++i)
        EXPECT_EQ(view.rowView(i)->isMouseIn(), i == 1) << "row " << i;

    // Onto the next row's tab, then off the bar.
    CategoryCellView *next = view.rowView(2);
    QCursor::setPos(next->mapToGlobal(next->tabGeometry().center()));
    EXPECT_TRUE(waitUntil([&] { return next->isContentVisible() && !cell->isAnimating(); }));
    EXPECT_FALSE(cell->isMouseIn());
    EXPECT_EQ(cell->tabWidth(), metrics.barWidth);
    QCursor::setPos(barWindow().geometry().topLeft() - QPoint(200, 0));
    EXPECT_TRUE(waitUntil([&] { return barWindow().width() == metrics.barWidth; }));
    EXPECT_FALSE(next->isMouseIn());
    EXPECT_FALSE(view.isPointerInside());
}

TEST_F(ColorBarRowTest, AFlashReturnsTheWindowToTheBarWidthWhenNoRowIsOpen)
{
    MainViewController &view = makeBar();
    CategoryCellView *cell = view.rowView(rowOf(PBDefaultCategory::link));
    cell->showNewItemFlash();
    EXPECT_EQ(barWindow().width(), 120);
    ASSERT_TRUE(animationsEnd(view));
    EXPECT_EQ(cell->tabWidth(), 18);
    EXPECT_EQ(barWindow().width(), 18) << "no invisible strip is left beside the bar";

    // An open row keeps the bar wide; a flash on it only refreshes its count.
    CategoryCellView *open = view.rowView(0);
    open->pointerEntered();
    ASSERT_TRUE(animationsEnd(view));
    cell->showNewItemFlash();
    ASSERT_TRUE(animationsEnd(view));
    EXPECT_EQ(barWindow().width(), 120);
    open->showNewItemFlash();
    EXPECT_FALSE(open->isAnimating());
    EXPECT_EQ(open->tabWidth(), 120);
}

TEST_F(ColorBarRowTest, StarsAndCornersFollowTheCategoryAndTheSettings)
{
    const PBCategory custom = addCustom(QStringLiteral("Work"));
    TaviSettings::shared().setActiveCategoryID(custom.id());
    MainViewController &view = makeBar();
    CategoryCellView *customRow = view.rowView(view.numberOfRows() - 1);
    EXPECT_TRUE(customRow->isActiveStarVisible());
    EXPECT_EQ(customRow->starImageName(), QStringLiteral("active_star"));
    EXPECT_EQ(customRow->roundedSide(), Qt::RightEdge);
    EXPECT_FALSE(view.rowView(0)->isActiveStarVisible());
    EXPECT_TRUE(view.rowView(0)->starImageName().isEmpty()) << "built-in categories show no star";

    TaviSettings::shared().setActiveCategoryID(QString());
    TaviSettings::shared().setBarAppearance(PBColorBarAppearance::right);
    view.reloadData();
    EXPECT_EQ(customRow->starImageName(), QStringLiteral("inactive_star"));
    EXPECT_FALSE(customRow->roundedSide().has_value());
}

TEST_F(ColorBarRowTest, NewItemsFlashTheirRowUnlessTheBarIsHiddenOrFlashesAreOff)
{
    MainViewController &view = makeBar();
    CategoryCellView *textRow = view.rowView(rowOf(PBDefaultCategory::text));
    const auto copyAndSettle = [&](const QString &text) {
        sharedShell().copyText(text);
        sharedShell().settle();
    };
    copyAndSettle(QStringLiteral("flash me"));
    EXPECT_TRUE(textRow->isAnimating());
    ASSERT_TRUE(animationsEnd(view));

    TaviSettings::shared().setAnimateWhenAddItem(false);
    copyAndSettle(QStringLiteral("quiet"));
    EXPECT_FALSE(textRow->isAnimating());
    TaviSettings::shared().setAnimateWhenAddItem(true);

    view.collapsePanel();
    copyAndSettle(QStringLiteral("hidden"));
    EXPECT_FALSE(textRow->isAnimating());
    // A payload without items does nothing.
    NotificationCenter::defaultCenter().post(NotificationName::historyDidAddNewItem, nullptr,
                                             {{QStringLiteral("items"), 3}});
}

} // namespace
