#include "history/WindowPlacement.h"

#include <gtest/gtest.h>

namespace {
const QRect kScreen(0, 0, 1920, 1080);
const QRect kLeftBar(0, 0, 160, 1080);
const QRect kRightBar(1760, 0, 160, 1080);
} // namespace

TEST(WindowPlacement, AWindowGoesBesideTheAskingOneOnTheSideAwayFromTheBar)
{
    const QSize size(500, 400);
    // The list sits against the bar, on either side of the screen.
    const QRect leftList(18, 220, 380, 640);
    const QRect placedRight = WindowPlacement::beside(size, leftList, kScreen, {kLeftBar});
    EXPECT_EQ(placedRight, QRect(QPoint(leftList.right() + 9, 220), size));
    const QRect rightList(1522, 220, 380, 640);
    const QRect placedLeft = WindowPlacement::beside(size, rightList, kScreen, {kRightBar});
    EXPECT_EQ(placedLeft, QRect(QPoint(rightList.left() - 8 - 500, 220), size));
    // Without a bar, the side with more room.
    EXPECT_LT(WindowPlacement::beside(size, rightList, kScreen, {}).left(), rightList.left());
    EXPECT_GT(WindowPlacement::beside(size, leftList, kScreen, {}).left(), leftList.right());
}

TEST(WindowPlacement, NoWindowGoesUnderTheBarOrOffTheScreen)
{
    // No room on the far side: the other side, but never into the bar's strip.
    const QRect nearTheEnd(1300, 900, 380, 640);
    const QRect placed = WindowPlacement::beside(QSize(500, 400), nearTheEnd, kScreen, {kLeftBar});
    EXPECT_EQ(placed.right(), nearTheEnd.left() - 9);
    EXPECT_FALSE(placed.intersects(kLeftBar));
    EXPECT_TRUE(kScreen.contains(placed));
    EXPECT_EQ(placed.bottom(), kScreen.bottom());

    // Room on neither side: over the asking window, clear of the bar.
    const QRect wide(400, 100, 1100, 600);
    const QRect over = WindowPlacement::beside(QSize(600, 400), wide, kScreen, {kRightBar});
    EXPECT_FALSE(over.intersects(kRightBar.adjusted(-8, 0, 0, 0)));
    EXPECT_TRUE(kScreen.contains(over));

    // Larger than the room beside the bar: made smaller.
    const QRect huge = WindowPlacement::beside(QSize(2400, 1400), QRect(170, 0, 300, 300), kScreen, {kLeftBar});
    EXPECT_FALSE(huge.intersects(kLeftBar));
    EXPECT_TRUE(kScreen.contains(huge));

    // A bar on another screen is no matter here.
    EXPECT_EQ(
        WindowPlacement::beside(QSize(500, 400), QRect(18, 220, 380, 640), kScreen, {QRect(1920, 0, 160, 1080)}).left(),
        18 + 380 + 8);
}
