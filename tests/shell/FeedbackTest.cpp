#include "core/TaviSettings.h"
#include "platform/Defaults.h"
#include "platform/Strings.h"
#include "shell/AppDelegate.h"
#include "shell/FeedbackPanel.h"
#include "support/ShellHarness.h"

#include <QLabel>
#include <QSystemTrayIcon>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Records the status icon's images while the animation runs to its end.
QStringList recordAnimation(ShellHarness &shell, AppDelegate &delegate)
{
    QStringList frames;
    waitUntil(
        [&] {
            if (frames.isEmpty() || frames.last() != delegate.statusItemImageName())
                frames.append(delegate.statusItemImageName());
            return !delegate.isStatusIconAnimating();
        },
        3000);
    shell.settle();
    return frames;
}

} // namespace

TEST(Feedback, ACapturedCopyPlaysTheCopySoundAndAnimatesWithoutPanel)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.makeDelegate();
    delegate.applicationDidFinishLaunching();
    shell.sounds.clear();
    shell.copyText(QStringLiteral("copied"));
    EXPECT_EQ(shell.sounds, QStringList{QStringLiteral("copy")});
    EXPECT_FALSE(delegate.hud()->window()->isVisible());
    const QStringList frames = recordAnimation(shell, delegate);
    ASSERT_FALSE(frames.isEmpty());
    EXPECT_EQ(frames.last(), QStringLiteral("statusBarIcon-0"));
    EXPECT_EQ(delegate.currentFrame, 1);
}

TEST(Feedback, APasteOfSeveralItemsShowsTheirCount)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.makeDelegate();
    shell.sounds.clear();
    delegate.showFeedback(OperationType::paste, false, 3);
    shell.settle();
    EXPECT_EQ(shell.sounds, QStringList{QStringLiteral("paste")});
    ASSERT_TRUE(delegate.hud()->window()->isVisible());
    EXPECT_EQ(delegate.hud()->label()->text(), L("HUD.Copied.Label"));
    EXPECT_FALSE(delegate.hud()->itemsCountLabel()->isHidden());
    EXPECT_EQ(delegate.hud()->itemsCountLabel()->text(), L("HUD.ItemsCount.Label").arg(3));

    for (const int count : {1, 0}) {
        delegate.showFeedback(OperationType::quickPaste, false, count);
        shell.settle();
        EXPECT_TRUE(delegate.hud()->itemsCountLabel()->isHidden());
        EXPECT_EQ(delegate.hud()->label()->text(), L("HUD.Pasted.Label"));
    }
}

TEST(Feedback, WithPanelsAndSoundsOffOnlyTheIconMoves)
{
    ShellHarness shell;
    TaviSettings::shared().setNeedShowHUD(false);
    TaviSettings::shared().setNeedPlaySound(false);
    AppDelegate &delegate = shell.makeDelegate();
    delegate.updateStatusItem();
    delegate.showFeedback(OperationType::paste, false, 1);
    shell.settle();
    EXPECT_TRUE(shell.sounds.isEmpty());
    EXPECT_FALSE(delegate.hud()->window()->isVisible());
    EXPECT_TRUE(delegate.isStatusIconAnimating());
}

TEST(Feedback, TwoFeedbacksCloseTogetherMakeOneAnimation)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.makeDelegate();
    delegate.updateStatusItem();
    delegate.showFeedback(OperationType::copy, true, 1);
    shell.settle();
    waitUntil([&] { return delegate.currentFrame >= 5; }, 1000);
    delegate.showFeedback(OperationType::copy, true, 1);
    const QStringList frames = recordAnimation(shell, delegate);
    // Frames only ever advance: no restart from frame 1.
    QStringList expected;
    for (int frame = frames.first().back().digitValue(); frame <= 9; ++frame)
        expected.append(QStringLiteral("statusBarIcon-%1").arg(frame));
    expected.append(QStringLiteral("statusBarIcon-0"));
    EXPECT_EQ(frames, expected);
}

TEST(StatusItem, SwitchingTheIconOffAndOnKeepsItsPosition)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.makeDelegate();
    const QString key = QStringLiteral("NSStatusItem Preferred Position Item-0");
    delegate.updateStatusItem();
    ASSERT_NE(delegate.statusItem(), nullptr);
    EXPECT_EQ(delegate.statusItemImageName(), QStringLiteral("statusBarIcon-0"));
    TaviSettings::shared().setDisplayMenuBarButton(false);
    delegate.updateStatusItem();
    EXPECT_EQ(delegate.statusItem(), nullptr);
    Defaults::standard().remove(key);
    TaviSettings::shared().setDisplayMenuBarButton(true);
    delegate.updateStatusItem();
    EXPECT_EQ(Defaults::standard().value(key).toLongLong(), 300);
    EXPECT_EQ(delegate.statusItemIndex, 0);
}

TEST(StatusItem, ThePausedCaptureShowsTheDisabledIcon)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.makeDelegate();
    delegate.applicationDidFinishLaunching();
    shell.manager->setPaused(true);
    NotificationCenter::defaultCenter().post(QStringLiteral("didChangedPasteEnableState"));
    shell.settle();
    EXPECT_EQ(delegate.statusItemImageName(), QStringLiteral("statusBarIcon_disabled"));
    shell.manager->setPaused(false);
    delegate.updatePasteEnableState();
    shell.settle();
    EXPECT_EQ(delegate.statusItemImageName(), QStringLiteral("statusBarIcon-0"));
}
