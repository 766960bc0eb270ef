#include "controls/ProgressHUD.h"
#include "controls/SpinningProgressIndicatorLayer.h"

#include "platform/NotificationCenter.h"
#include "support/TestEnvironment.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Container : QWidget {
    int presses = 0;
    void mousePressEvent(QMouseEvent *) override { ++presses; }
};

struct HUD : ::testing::Test {
    Container container;
    ProgressHUD *hud = nullptr;
    ObserverBag observers;
    QStringList posted;

    void SetUp() override
    {
        container.resize(400, 500);
        hud = new ProgressHUD;
        for (const QString &name :
             {ProgressHUD::kWillDisappear, ProgressHUD::kDidDisappear, ProgressHUD::kDidReceiveMouseDownEvent})
            observers.observe(
                name, [this](const Notification &n) { posted << n.name; }, hud);
    }
    void TearDown() override { delete hud; }

    void showText(const QString &text)
    {
        hud->setMode(ProgressHUDMode::of(ProgressHUDMode::Kind::text));
        hud->setStatus(text);
        hud->showIn(&container);
    }
    double textWidth(const QString &text) const
    {
        return QFontMetricsF(hud->statusLabel()->font()).horizontalAdvance(text);
    }
    QImage render() const
    {
        QImage image(hud->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        hud->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        return image;
    }
};

} // namespace

TEST_F(HUD, StartsHiddenAndTransparentWithItsOwnFloatingWindow)
{
    EXPECT_TRUE(hud->isHidden());
    EXPECT_DOUBLE_EQ(hud->alphaValue(), 0.0);
    ASSERT_NE(hud->hudWindow(), nullptr);
    EXPECT_TRUE(hud->hudWindow()->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(hud->hudWindow()->windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(HUD, AnEmptyHUDIsABoxOfTwiceTheMargin)
{
    showText(QString());
    EXPECT_EQ(hud->geometry(), container.rect());
    EXPECT_EQ(hud->boxSize(), QSizeF(36, 36));
    EXPECT_FALSE(hud->isHidden());
    EXPECT_DOUBLE_EQ(hud->alphaValue(), 1.0);
}

TEST_F(HUD, TheLabelIsTenWiderThanItsTextButNeverWiderThanTheRoomLeft)
{
    const QString text = QStringLiteral("Copied");
    showText(text);
    EXPECT_DOUBLE_EQ(hud->labelFrame().width(), textWidth(text) + 10);
    EXPECT_DOUBLE_EQ(hud->boxSize().width(), 36 + textWidth(text) + 10);

    container.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&container));
    container.resize(120, 500);
    ASSERT_TRUE(waitUntil([&] { return hud->width() == 120; }));
    hud->setStatus(QStringLiteral("A status text far too long to fit in a narrow container"));
    EXPECT_DOUBLE_EQ(hud->geometry().width(), 120);
    EXPECT_DOUBLE_EQ(hud->labelFrame().width(), 120 - 72);
}

TEST_F(HUD, TopAndBottomMoveTheBoxByAFifthOfTheHeight)
{
    showText(QStringLiteral("Saved"));
    hud->setPosition(ProgressHUDPosition::center);
    const QRectF centred = hud->boxRect();
    hud->setPosition(ProgressHUDPosition::top);
    EXPECT_DOUBLE_EQ(hud->boxRect().top(), centred.top() - 100);
    EXPECT_DOUBLE_EQ(hud->labelFrame().center().y(), hud->boxRect().center().y());
    hud->setPosition(ProgressHUDPosition::bottom);
    EXPECT_DOUBLE_EQ(hud->boxRect().top(), centred.top() + 100);
}

TEST_F(HUD, HideDelayedWithZeroHidesAtOnce)
{
    bool completed = false;
    hud->setCompletionHandler([&] { completed = true; });
    showText(QStringLiteral("Done"));
    hud->hideDelayed(0);
    EXPECT_EQ(posted, (QStringList{ProgressHUD::kWillDisappear, ProgressHUD::kDidDisappear}));
    EXPECT_TRUE(completed);
    EXPECT_TRUE(hud->isHidden());
    EXPECT_EQ(hud->parentWidget(), nullptr);
    EXPECT_EQ(hud->status(), QString());
    EXPECT_FALSE(hud->useAnimation());
}

TEST_F(HUD, HideDelayedWithoutArgumentFadesOutFirst)
{
    showText(QStringLiteral("Done"));
    hud->hideDelayed();
    EXPECT_EQ(posted, QStringList{ProgressHUD::kWillDisappear});
    EXPECT_FALSE(hud->isHidden());
    ASSERT_TRUE(waitUntil([&] { return posted.contains(ProgressHUD::kDidDisappear); }, 2000));
    EXPECT_TRUE(hud->isHidden());
    EXPECT_EQ(posted.count(ProgressHUD::kDidDisappear), 1);
}

TEST_F(HUD, AStartingHideCancelsScheduledOnes)
{
    showText(QStringLiteral("Busy"));
    hud->scheduleHideDelayed(30, 0);
    EXPECT_TRUE(hud->hasPendingRequests());
    hud->hide(false);
    EXPECT_FALSE(hud->hasPendingRequests());
    ASSERT_TRUE(waitPastTimersDueWithin(80)); // the cancelled one was due at 30 ms
    EXPECT_EQ(posted.count(ProgressHUD::kDidDisappear), 1);

    showText(QStringLiteral("Again"));
    hud->scheduleHideDelayed(20, 0);
    ASSERT_TRUE(waitUntil([&] { return posted.count(ProgressHUD::kDidDisappear) == 2; }, 1000));
}

TEST_F(HUD, WithoutAMaskAClickAlsoReachesWhatLiesBehind)
{
    showText(QStringLiteral("Hello"));
    container.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&container));
    QTest::mouseClick(container.windowHandle(), Qt::LeftButton, {}, QPoint(200, 250));
    EXPECT_EQ(container.presses, 1);
    EXPECT_EQ(posted, QStringList{ProgressHUD::kDidReceiveMouseDownEvent});

    hud->setMaskType(ProgressHUDMaskType::clear());
    QTest::mouseClick(container.windowHandle(), Qt::LeftButton, {}, QPoint(200, 250));
    EXPECT_EQ(container.presses, 1);
    EXPECT_EQ(posted.count(ProgressHUD::kDidReceiveMouseDownEvent), 2);
}

TEST_F(HUD, ADismissibleHUDHidesOnClickAfterTheEventIsHandled)
{
    showText(QStringLiteral("Tap to close"));
    hud->setDismissible(true);
    hud->setUseAnimation(false);
    container.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&container));
    QTest::mouseClick(container.windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_TRUE(waitUntil([&] { return posted.contains(ProgressHUD::kDidDisappear); }, 1000));
}

TEST_F(HUD, OnlyTheBlackAndCustomMasksAreDrawn)
{
    showText(QStringLiteral("Mask"));
    hud->setMaskType(ProgressHUDMaskType::clear());
    EXPECT_EQ(qAlpha(render().pixel(2, 2)), 0);
    hud->setMaskType(ProgressHUDMaskType::black());
    EXPECT_NEAR(qAlpha(render().pixel(2, 2)), 153, 1);
    hud->setMaskType(ProgressHUDMaskType::custom(QColor(255, 0, 0)));
    EXPECT_EQ(render().pixelColor(2, 2), QColor(255, 0, 0));
    // The box is the style's colour at the HUD's opacity.
    hud->setMaskType(ProgressHUDMaskType::none());
    const QColor box = render().pixelColor(hud->boxRect().center().toPoint() + QPoint(0, 12));
    EXPECT_NEAR(box.alphaF(), 0.9, 0.01);
}

TEST_F(HUD, TheIndeterminateModeSpinsUntilHidden)
{
    hud->setStatus(QStringLiteral("Loading"));
    hud->showIn(&container);
    SpinningProgressIndicatorLayer *spinner = hud->progressIndicator();
    ASSERT_NE(spinner, nullptr);
    EXPECT_EQ(hud->indicator(), spinner);
    EXPECT_TRUE(spinner->isRunning());
    EXPECT_EQ(spinner->numFins(), 12);
    // Spinner above the text, both inside the box.
    EXPECT_LT(hud->indicatorFrame().bottom(), hud->labelFrame().bottom());
    EXPECT_TRUE(hud->boxRect().contains(hud->indicatorFrame()));
    hud->hide(false);
    EXPECT_FALSE(spinner->isRunning());
    EXPECT_EQ(hud->indicator(), nullptr);
}

TEST_F(HUD, AnIconModeBoxHoldsItsIcon)
{
    hud->setMode(ProgressHUDMode::of(ProgressHUDMode::Kind::success));
    hud->showIn(&container);
    EXPECT_GE(hud->boxSize().width(), 60 + 36);
    EXPECT_DOUBLE_EQ(hud->boxSize().height(), 60 + 4 + 36);
    EXPECT_TRUE(hud->boxRect().contains(hud->iconRect()));
    // The check is drawn in the foreground colour of the light style.
    const QImage image = render();
    int dark = 0;
    const QRect icon = hud->iconRect().toRect();
    for (int y = icon.top(); y <= icon.bottom(); ++y)
        for (int x = icon.left(); x <= icon.right(); ++x)
            dark += qGray(image.pixel(x, y)) < 64 && qAlpha(image.pixel(x, y)) > 200;
    EXPECT_GT(dark, 50);
}

TEST_F(HUD, ShownWithoutAContainerItUsesItsOwnWindow)
{
    showText(QString());
    hud->hide(false);
    hud->setStatus(QStringLiteral("Everywhere"));
    hud->showIn();
    EXPECT_EQ(hud->parentWidget(), hud->hudWindow());
    EXPECT_TRUE(hud->hudWindow()->isVisible());
    hud->hide(false);
    EXPECT_FALSE(hud->hudWindow()->isVisible());
}
