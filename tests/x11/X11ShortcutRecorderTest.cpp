#include "X11TestSupport.h"

#include "platform/ShortcutBinder.h"
#include "platform/memory/RecordingShortcutMonitor.h"
#include "platform/x11/X11ShortcutMonitor.h"
#include "preferences/ShortCutSettingsViewController.h"
#include "preferences/ShortcutRecorderView.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

using namespace X11Test;

namespace {
bool xdotool(const QStringList &arguments)
{
    bool ok = false;
    run(QStringLiteral("xdotool"), arguments, {}, &ok);
    return ok;
}

const Shortcut kSuperJ(38, Shortcut::kCommand);
const Shortcut kSuperK(40, Shortcut::kCommand);
const Shortcut kSuperL(37, Shortcut::kCommand);
} // namespace

TEST(X11ShortcutMonitor, ASuspendedMonitorHoldsNothingAndTakesItsKeysBackOnResume)
{
    auto monitor = X11ShortcutMonitor::create();
    auto other = X11ShortcutMonitor::create(); // another program
    ASSERT_TRUE(monitor && other);
    int fired = 0;
    ASSERT_TRUE(monitor->registerShortcut(kSuperK, [&] { ++fired; }));
    ASSERT_TRUE(other->registerShortcut(kSuperL, [] {}));

    monitor->setSuspended(true);
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+k")}));
    // While suspended a registration still learns that another program holds the chord.
    EXPECT_FALSE(monitor->registerShortcut(kSuperL, [] {}));
    EXPECT_TRUE(monitor->registerShortcut(kSuperJ, [&] { fired += 10; }));

    monitor->setSuspended(false);
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+k")}));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+j")}));
    // The presses are reported in their order: once the last has fired, the suspended one is past.
    EXPECT_TRUE(waitUntil([&] { return fired >= 10; }, 10000)) << "fired " << fired;
    EXPECT_EQ(fired, 11) << "a suspended monitor fired, or a resumed one did not";
}

TEST(X11ShortcutRecorder, TheRecordedChordReachesTheRecorderAndBecomesTheHotKey)
{
    ShortcutMonitor::setShared(X11ShortcutMonitor::create());
    ScopedXdgHome home;
    ShortcutBinder &binder = ShortcutBinder::shared();
    binder.reset();
    int opened = 0;
    binder.registerDefaultShortcuts({{QStringLiteral("activeSpotlightSearchShortcutKey"), kSuperJ}});
    ASSERT_TRUE(binder.bindShortcut(QStringLiteral("activeSpotlightSearchShortcutKey"), [&] { ++opened; }));

    ShortCutSettingsViewController pane;
    pane.resize(640, 480);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    pane.activateWindow();
    ShortcutRecorderView *view = pane.recorder(QStringLiteral("activeSpotlightSearchShortcutKey"));
    // The hot key's own chord reaches the recorder instead of running the hot key.
    QTest::mouseClick(view, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return view->isRecording() && QApplication::focusWidget() == view; }, 5000));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+j")}));
    ASSERT_TRUE(waitUntil([&] { return !view->isRecording(); }, 5000));
    EXPECT_EQ(view->shortcutValue(), kSuperJ);
    EXPECT_EQ(opened, 0);

    QTest::mouseClick(view, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return view->isRecording() && QApplication::focusWidget() == view; }, 5000));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+k")}));
    ASSERT_TRUE(waitUntil([&] { return view->shortcutValue() == kSuperK; }, 5000));
    EXPECT_EQ(opened, 0); // the old key did not fire while recording

    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+k")}));
    EXPECT_TRUE(waitUntil([&] { return opened == 1; }, 5000));
    // The old chord does nothing any more: the new one pressed after it is the next to open.
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+j")}));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+k")}));
    EXPECT_TRUE(waitUntil([&] { return opened >= 2; }, 10000));
    EXPECT_EQ(opened, 2);

    // A restart binds the stored chord again.
    binder.reset();
    binder.registerDefaultShortcuts({{QStringLiteral("activeSpotlightSearchShortcutKey"), kSuperJ}});
    ASSERT_TRUE(binder.bindShortcut(QStringLiteral("activeSpotlightSearchShortcutKey"), [&] { ++opened; }));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+j")}));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+k")}));
    EXPECT_TRUE(waitUntil([&] { return opened >= 3; }, 10000));
    EXPECT_EQ(opened, 3);
    binder.reset();
    ShortcutMonitor::setShared(std::make_unique<RecordingShortcutMonitor>());
}
