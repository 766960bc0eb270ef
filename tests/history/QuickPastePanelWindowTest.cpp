// The shared quick-paste panel window, as the hot key and start-up reach it. It is made once per
// process: each case expects a process of its own (as the test runs give it) and is skipped when
// an earlier case of the same process made the panel.

#include "history/PBHUDViewController.h"
#include "history/PBHUDWindowController.h"
#include "support/ShellHarness.h"

#include <gtest/gtest.h>

namespace {

bool panelMadeEarlier() { return PBHUDWindowController::shared() != nullptr; }

bool opensAndReadsItsRows(PBHUDWindowController *panel)
{
    return waitUntil([&] {
        PBHUDViewController *view = panel->contentViewController();
        return panel->isVisible() && !view->isFetching();
    });
}

} // namespace

TEST(QuickPastePanelWindow, IsBuiltAheadUnshownAndKeepsItsNativeWindowBetweenOpenings)
{
    ShellHarness shell;
    if (panelMadeEarlier())
        GTEST_SKIP() << "the panel of this process was made by an earlier case";
    PBHUDWindowController::prepare();
    // Nothing is built in the call itself: each piece waits for a turn of the event loop.
    EXPECT_EQ(PBHUDWindowController::shared(), nullptr);
    EXPECT_FALSE(PBHUDWindowController::isPrepared());
    ASSERT_TRUE(waitUntil([] { return PBHUDWindowController::isPrepared(); }));
    PBHUDWindowController *panel = PBHUDWindowController::shared();
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(panel->testAttribute(Qt::WA_WState_Created));
    const WId native = panel->winId();
    // Preparing again builds nothing new.
    PBHUDWindowController::prepare();
    shell.settle();
    EXPECT_EQ(PBHUDWindowController::shared(), panel);

    PBHUDWindowController::toggle();
    EXPECT_TRUE(opensAndReadsItsRows(panel));
    EXPECT_EQ(panel->winId(), native);
    PBHUDWindowController::toggle();
    EXPECT_FALSE(panel->isVisible());
    // Escape, as the user closes it, hides it too.
    PBHUDWindowController::toggle();
    ASSERT_TRUE(opensAndReadsItsRows(panel));
    Q_EMIT panel->contentViewController()->closeRequested();
    EXPECT_FALSE(panel->isVisible());
    PBHUDWindowController::toggle();
    EXPECT_TRUE(opensAndReadsItsRows(panel));
    EXPECT_EQ(panel->winId(), native);
    PBHUDWindowController::toggle();
}

TEST(QuickPastePanelWindow, AHotKeyDuringThePreparationOpensThePanelAtOnce)
{
    ShellHarness shell;
    if (panelMadeEarlier())
        GTEST_SKIP() << "the panel of this process was made by an earlier case";
    PBHUDWindowController::prepare();
    PBHUDWindowController::toggle();
    PBHUDWindowController *panel = PBHUDWindowController::shared();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(PBHUDWindowController::isPrepared());
    // The steps still queued leave the open panel as it is.
    EXPECT_TRUE(opensAndReadsItsRows(panel));
    shell.settle();
    EXPECT_TRUE(panel->isVisible());
    PBHUDWindowController::toggle();
    EXPECT_FALSE(panel->isVisible());
}
