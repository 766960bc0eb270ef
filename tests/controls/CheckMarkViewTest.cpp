#include "controls/CheckMarkView.h"

#include "support/TestEnvironment.h"

#include <QLabel>
#include <QLineF>

#include <cmath>

#include <gtest/gtest.h>

namespace {
double pathLength(const QPainterPath &path)
{
    double length = 0;
    for (const QPolygonF &polygon : path.toSubpathPolygons())
        for (qsizetype i = 1; i < polygon.size(); ++i)
            length += QLineF(polygon[i - 1], polygon[i]).length();
    return length;
}
} // namespace

TEST(CheckMarkView, PaintingRecordsThePaintedRectangleInsetByTheLineWidth)
{
    CheckMarkView view;
    view.resize(60, 60);
    EXPECT_FALSE(view.originalRect.has_value());
    view.grab();
    ASSERT_TRUE(view.originalRect.has_value());
    EXPECT_EQ(*view.originalRect, QRectF(2, 2, 56, 56));
}

TEST(CheckMarkView, TheCircleDrawsItselfInAndTheCheckSpringsToTheLineWidth)
{
    CheckMarkView view;
    view.resize(60, 60);
    view.grab();
    view.drawCheckMark(*view.originalRect);
    ASSERT_EQ(view.markLayers().size(), 2u);
    ShapeLayer *circle = view.markLayers()[0];
    ShapeLayer *check = view.markLayers()[1];

    EXPECT_LT(circle->strokeEnd, 0.5);
    EXPECT_EQ(circle->position, QPointF(30, 30));
    EXPECT_EQ(circle->strokeColor, QColor(QStringLiteral("#333333")));

    // The check: 36 % of a half-size rectangle's outline, turned 2.4 rad about a point right of
    // and above the centre.
    EXPECT_DOUBLE_EQ(check->strokeEnd, 0.36);
    EXPECT_DOUBLE_EQ(check->rotation, 2.4);
    EXPECT_DOUBLE_EQ(check->position.x(), 30 + 0.25 * 56);
    EXPECT_DOUBLE_EQ(check->position.y(), 30 - 0.15 * 56);
    EXPECT_EQ(check->path.boundingRect(), QRectF(0, 0, 28, 28));

    ASSERT_TRUE(waitUntil([&] { return circle->strokeEnd == 1.0 && check->lineWidth == view.lineWidth; }, 4000));
}

TEST(CheckMarkView, AnAnimatedMarkIsPaintedOnTheCircle)
{
    CheckMarkView view;
    view.resize(60, 60);
    view.grab();
    view.drawCheckMark(*view.originalRect);
    ASSERT_TRUE(waitUntil([&] { return view.markLayers()[1]->lineWidth == view.lineWidth; }, 4000));
    const QImage shot = view.grab().toImage();
    // The circle's leftmost point and the check's upper end are dark.
    auto darkest = [&](QPoint at) {
        int lightness = 255;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                lightness = std::min(lightness, shot.pixelColor(at + QPoint(dx, dy)).lightness());
        return lightness;
    };
    EXPECT_LT(darkest(QPoint(2, 30)), 160);
    EXPECT_GT(darkest(QPoint(30, 10)), 200); // inside the circle, above the check
    // Along the check's long arm, which leaves its tip down to the left.
    const QPointF tip = view.markLayers()[1]->position;
    const QPointF alongArm = tip + 6 * QPointF(std::cos(2.4), std::sin(2.4));
    EXPECT_LT(darkest(alongArm.toPoint()), 160);
}

TEST(CheckMarkView, RemovingMarkLayersLeavesOtherChildrenInPlace)
{
    CheckMarkView view;
    view.resize(40, 40);
    auto *other = new QLabel(&view);
    view.drawCheckMark(QRectF(2, 2, 36, 36));
    view.drawCheckMark(QRectF(2, 2, 36, 36));
    EXPECT_EQ(view.markLayers().size(), 4u);
    view.removeMarkLayers();
    EXPECT_TRUE(view.markLayers().empty());
    EXPECT_EQ(other->parent(), &view);
    view.removeMarkLayers(); // nothing left: no effect
}

TEST(CheckMarkView, TheSpringSettlesWithinItsSettlingDuration)
{
    EXPECT_DOUBLE_EQ(CheckMarkView::springValue(10, 0), 0.0);
    const double settle = CheckMarkView::settlingDuration(10);
    EXPECT_NEAR(settle, 1.38, 0.05);
    double peak = 0;
    for (double t = 0; t < settle; t += 0.01)
        peak = std::max(peak, CheckMarkView::springValue(10, t));
    EXPECT_GT(peak, 1.1); // damping 10 bounces past its end
    EXPECT_NEAR(CheckMarkView::springValue(10, settle), 1.0, 0.002);
    // Heavier damping does not bounce and still settles.
    const double slow = CheckMarkView::settlingDuration(40);
    EXPECT_NEAR(CheckMarkView::springValue(40, slow), 1.0, 0.002);
    EXPECT_LE(CheckMarkView::springValue(40, slow / 2), 1.0);
}

TEST(ShapeLayer, TrimmingKeepsTheAskedShareOfTheOutlineFromItsStart)
{
    QPainterPath square;
    square.addRect(QRectF(0, 0, 10, 10));
    const QPainterPath part = ShapeLayer::trimmed(square, 0, 0.36);
    EXPECT_NEAR(pathLength(part), 14.4, 1e-6);
    EXPECT_EQ(part.pointAtPercent(0), QPointF(0, 0));
    EXPECT_EQ(part.currentPosition(), QPointF(10, 4.4));
    EXPECT_TRUE(ShapeLayer::trimmed(square, 0.5, 0.5).isEmpty());
    EXPECT_NEAR(pathLength(ShapeLayer::trimmed(square, 0.25, 0.75)), 20, 1e-6);
}
