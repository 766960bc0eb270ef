#include "controls/SpinningProgressIndicatorLayer.h"

#include "support/TestEnvironment.h"

#include <QSet>
#include <QTest>

#include <gtest/gtest.h>

namespace {
QImage render(SpinningProgressIndicatorLayer &layer)
{
    QImage image(layer.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    layer.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}
} // namespace

TEST(SpinningProgressIndicatorLayer, TwelveStepsLightEveryFinOnceAndComeBackToTheStart)
{
    SpinningProgressIndicatorLayer layer;
    ASSERT_EQ(layer.numFins(), 12);
    const int start = layer.fposition();
    QSet<int> lit;
    for (int i = 0; i < 12; ++i) {
        layer.advancePosition();
        lit.insert(layer.fposition());
    }
    EXPECT_EQ(lit.size(), 12);
    EXPECT_EQ(layer.fposition(), start);
}

TEST(SpinningProgressIndicatorLayer, FinsStandRoundTheCentreSizedByTheShorterSide)
{
    SpinningProgressIndicatorLayer layer;
    layer.resize(100, 60);
    for (const auto &fin : layer.finLayers()) {
        EXPECT_NEAR(fin.size.width(), 5.7, 1e-9);
        EXPECT_NEAR(fin.size.height(), 18, 1e-9);
        EXPECT_NEAR(fin.anchorPoint.y(), -0.63, 1e-9);
        EXPECT_DOUBLE_EQ(fin.anchorPoint.x(), 0.5);
        EXPECT_EQ(fin.position, QPointF(50, 30));
        EXPECT_NEAR(fin.cornerRadius, 2.85, 1e-9);
    }
    EXPECT_DOUBLE_EQ(layer.finLayers()[3].rotation, 2 * M_PI * 3 / 12);
}

TEST(SpinningProgressIndicatorLayer, ALitFinFadesDownToItsSettledOpacity)
{
    SpinningProgressIndicatorLayer layer;
    layer.setFadeDownOpacity(0.2f);
    layer.advancePosition();
    const int fin = layer.fposition();
    EXPECT_GT(layer.presentedOpacity(fin), 0.9f);
    EXPECT_TRUE(waitUntil([&] { return layer.presentedOpacity(fin) <= 0.2f + 1e-6f; }, 1000));
    EXPECT_FLOAT_EQ(layer.presentedOpacity((fin + 1) % 12), 0.2f);
}

TEST(SpinningProgressIndicatorLayer, RunningStepsOnATimerUntilStopped)
{
    SpinningProgressIndicatorLayer layer;
    layer.startProgressAnimation();
    EXPECT_TRUE(layer.isRunning());
    const int start = layer.fposition();
    EXPECT_TRUE(waitUntil([&] { return layer.fposition() != start; }, 1000));
    layer.stopProgressAnimation();
    EXPECT_FALSE(layer.isRunning());
    const int stopped = layer.fposition();
    ASSERT_TRUE(waitPastTimersDueWithin(3 * SpinningProgressIndicatorLayer::kStepIntervalMs));
    EXPECT_EQ(layer.fposition(), stopped);
}

TEST(SpinningProgressIndicatorLayer, TheDeterminateRingIsSizedByTheShorterSide)
{
    SpinningProgressIndicatorLayer layer;
    layer.resize(100, 60);
    const auto g = layer.determinateGeometry();
    EXPECT_DOUBLE_EQ(g.side, 60);
    EXPECT_NEAR(g.lineWidth, 1.6, 1e-9);
    EXPECT_NEAR(g.radius, 27.8, 0.05);
    EXPECT_EQ(g.center, QPointF(50, 30));
}

TEST(SpinningProgressIndicatorLayer, ThePieGrowsClockwiseFromTwelveOClock)
{
    SpinningProgressIndicatorLayer layer;
    layer.resize(100, 100);
    layer.setDeterminate(true);
    layer.setForeColor(QColor(Qt::black));
    layer.setMaxValue(4);
    const auto g = layer.determinateGeometry();
    const QPoint centre = g.center.toPoint();
    const int inside = int(g.pieRadius / 2);

    layer.setDoubleValue(0);
    QImage image = render(layer);
    EXPECT_EQ(qAlpha(image.pixel(centre + QPoint(inside, 0))), 0);
    EXPECT_GT(qAlpha(image.pixel(int(g.center.x() + g.radius), centre.y())), 0); // the ring

    layer.setDoubleValue(1); // a quarter: the upper right
    image = render(layer);
    EXPECT_GT(qAlpha(image.pixel(centre + QPoint(inside / 2, -inside))), 0);
    EXPECT_EQ(qAlpha(image.pixel(centre + QPoint(-inside / 2, -inside))), 0);
    EXPECT_EQ(qAlpha(image.pixel(centre + QPoint(inside, inside))), 0);

    layer.setDoubleValue(4);
    image = render(layer);
    for (const QPoint offset : {QPoint(inside, 0), QPoint(-inside, 0), QPoint(0, inside), QPoint(0, -inside)})
        EXPECT_GT(qAlpha(image.pixel(centre + offset)), 0);
}

TEST(SpinningProgressIndicatorLayer, AMissingMaximumDrawsTheRingOnly)
{
    SpinningProgressIndicatorLayer layer;
    layer.resize(80, 80);
    layer.setDeterminate(true);
    layer.setMaxValue(0);
    layer.setDoubleValue(3);
    EXPECT_DOUBLE_EQ(layer.determinateGeometry().fraction, 0);
    const QImage image = render(layer);
    EXPECT_EQ(qAlpha(image.pixel(40 + 10, 40)), 0);
}
