#include "ColorBarTestSupport.h"

#include "colorbar/PBScreenMonitor.h"
#include "core/NotificationNames.h"
#include "core/ScreenExtensions.h"
#include "core/TaviSettings.h"
#include "platform/NotificationCenter.h"
#include "platform/memory/FakeMouseUpMonitor.h"

namespace {

// The screens posted in "activeScreenDidChange" while it lives.
struct PostedScreens {
    PostedScreens()
    {
        bag.observe(NotificationName::activeScreenDidChange,
                    [this](const Notification &n) { screens.append(n.info().value<QScreen *>()); });
    }
    ObserverBag bag;
    QList<QScreen *> screens;
};

FakeMouseUpMonitor &fakeMouse() { return static_cast<FakeMouseUpMonitor &>(MouseUpMonitor::shared()); }

using ScreenMonitorTest = ColorBarTest;

TEST_F(ScreenMonitorTest, ReleasesPickTheScreenUnderThePointerAndPostOnlyChanges)
{
    ASSERT_EQ(QGuiApplication::screens().size(), 2) << "the colour bar tests run with two offscreen screens";
    PBScreenMonitor &monitor = PBScreenMonitor::shared();
    monitor.startMonitoring();
    monitor.startMonitoring();
    EXPECT_EQ(fakeMouse().monitorCount(), 2);

    PostedScreens posted;
    fakeMouse().simulateGlobalMouseUp(QPoint(1500, 400));
    fakeMouse().simulateLocalMouseUp(QPoint(1600, 10));
    EXPECT_EQ(posted.screens, QList<QScreen *>{rightScreen()});
    // The very top row of a screen is on that screen.
    fakeMouse().simulateGlobalMouseUp(QPoint(5, 0));
    EXPECT_EQ(monitor.currentScreen(), leftScreen());
    // A release over no screen keeps the current one, and says nothing.
    fakeMouse().simulateGlobalMouseUp(QPoint(-500, -500));
    EXPECT_EQ(monitor.currentScreen(), leftScreen());
    EXPECT_EQ(posted.screens.size(), 2);

    monitor.stopMonitoring();
    monitor.stopMonitoring();
    EXPECT_EQ(fakeMouse().monitorCount(), 0);
}

TEST_F(ScreenMonitorTest, TheSpecificOptionFollowsTheSelectedScreenOrTheFirst)
{
    TaviSettings &settings = TaviSettings::shared();
    settings.setBarScreenOption(PBColorBarDisplayScreenOption::specific);
    settings.setSelectedScreenID(screenNumber(rightScreen()));
    EXPECT_EQ(PBScreenMonitor::shared().currentScreen(), rightScreen());
    settings.setSelectedScreenID(12345); // a screen that is not attached
    EXPECT_EQ(PBScreenMonitor::shared().currentScreen(), leftScreen());
    settings.setSelectedScreenID(0);
}

TEST_F(ScreenMonitorTest, ADetachedScreenIsReplacedByTheBarsScreenElseThePrimary)
{
    PBScreenMonitor &monitor = PBScreenMonitor::shared();
    monitor.setCurrentScreen(rightScreen());
    PostedScreens posted;
    const auto saved = monitor.barScreen;
    monitor.barScreen = [] { return leftScreen(); };
    monitor.screenRemoved(rightScreen());
    EXPECT_EQ(monitor.currentScreen(), leftScreen());
    EXPECT_EQ(posted.screens, QList<QScreen *>{leftScreen()});

    monitor.setCurrentScreen(rightScreen());
    monitor.barScreen = [] { return rightScreen(); }; // the bar sits on the screen that goes
    monitor.screenRemoved(rightScreen());
    EXPECT_EQ(monitor.currentScreen(), QGuiApplication::primaryScreen());
    monitor.barScreen = saved;
}

TEST_F(ScreenMonitorTest, AScreenChangeMovesTheBarToTheNewScreen)
{
    makeBar();
    EXPECT_TRUE(leftScreen()->geometry().contains(barWindow().geometry().topLeft()));
    PBScreenMonitor::shared().setCurrentScreen(rightScreen());
    EXPECT_EQ(barWindow().x(), rightScreen()->availableGeometry().x());
    EXPECT_TRUE(rightScreen()->geometry().contains(barWindow().geometry()));
}

} // namespace
