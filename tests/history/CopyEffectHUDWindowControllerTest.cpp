#include "controls/CheckMarkView.h"
#include "history/CopyEffectHUDWindowController.h"
#include "support/ManualScheduler.h"
#include "support/TestEnvironment.h"

#include <QLabel>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(CopyEffectHUDWindowController, ClosesItselfOneSecondAfterShowingAndKeepsItsNativeWindowForTheNext)
{
    ManualScheduler clock;
    CopyEffectHUDWindowController panel(nullptr, clock.scheduler());
    panel.showWindow();
    EXPECT_TRUE(panel.isVisible());
    const WId native = panel.winId();
    clock.advance(999ms);
    EXPECT_TRUE(panel.isVisible());
    clock.advance(1ms);
    EXPECT_FALSE(panel.isVisible());
    panel.showWindow();
    EXPECT_EQ(panel.winId(), native);
}

TEST(CopyEffectHUDWindowController, AnEarlierCloseAlsoEndsALaterShowing)
{
    ManualScheduler clock;
    CopyEffectHUDWindowController panel(nullptr, clock.scheduler());
    panel.showWindow();
    clock.advance(600ms);
    ASSERT_TRUE(panel.isVisible());
    panel.showWindow();
    // Closed by the first showing's close, not a second after the new one.
    clock.advance(400ms);
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(clock.pending(), 1u);
}

TEST(CopyEffectHUDWindowController, ClosesOnTheMainQueueByDefault)
{
    CopyEffectHUDWindowController panel;
    panel.showWindow();
    EXPECT_TRUE(waitUntil([&] { return !panel.isVisible(); }, 5000));
}

TEST(CopyEffectHUDWindowController, DrawsTheMarkWhenShownAndClearsItWhenHidden)
{
    CopyEffectHUDWindowController panel;
    panel.showWindow();
    EXPECT_FALSE(panel.checkView()->markLayers().empty());
    panel.close();
    EXPECT_TRUE(panel.checkView()->markLayers().empty());
}

TEST(CopyEffectHUDWindowController, NeverTakesTheFocus)
{
    CopyEffectHUDWindowController panel;
    EXPECT_TRUE(panel.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(panel.windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_EQ(panel.label()->objectName(), QStringLiteral("label"));
    EXPECT_EQ(panel.itemsCountLabel()->objectName(), QStringLiteral("itemsCountLabel"));
}
