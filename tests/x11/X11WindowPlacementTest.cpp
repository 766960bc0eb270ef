// The borderless panels the program centres itself, on the real X server under a window manager:
// each is mapped once, where it stays, never first where the window manager would put it and then
// moved.

#include "core/TaviSettings.h"
#include "history/CopyEffectHUDWindowController.h"
#include "history/PBHUDWindowController.h"
#include "shell/AccessibilityPermissionWindowController.h"
#include "shell/SearchHUDIntroWindowController.h"
#include "support/ShellHarness.h"
#include "support/TestEnvironment.h"
#include "support/WindowPlaces.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Shows a window the way the program does (`show` returns it) and returns every place the X
// server gave it until it settled where the program has it.
QList<QRect> placesWhenShown(const std::function<QWidget *()> &show)
{
    WindowPlaces places;
    QWidget *window = show();
    if (!window)
        return {};
    const QByteArray title = window->windowTitle().toUtf8();
    waitUntil(
        [&] {
            const QList<QRect> seen = places.placesOf(title);
            return !seen.isEmpty() && seen.last() == window->frameGeometry();
        },
        5000);
    const QList<QRect> seen = places.placesOf(title);
    window->close();
    return seen;
}

} // namespace

TEST(X11WindowPlacement, TheProgramsOwnPanelsAreMappedOnceWhereTheyStay)
{
    ShellHarness shell;
    // Another program's window over the middle of the screen: a window manager placing a window
    // itself puts it beside that, away from the centre the program puts these panels at.
    QWidget other;
    other.setWindowTitle(QStringLiteral("Another program"));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QRect middle(0, 0, area.width() * 3 / 4, area.height() * 3 / 4);
    middle.moveCenter(area.center());
    other.setGeometry(middle);
    other.show();
    ASSERT_TRUE(waitUntil([&] { return other.windowHandle() && other.windowHandle()->isExposed(); }, 5000));

    const auto expectMappedOnce = [](const char *name, const QList<QRect> &places) {
        EXPECT_EQ(places.size(), 1) << name << ": " << WindowPlaces::describe(places);
    };
    CopyEffectHUDWindowController feedback;
    expectMappedOnce("feedback panel", placesWhenShown([&] {
                         feedback.showWindow();
                         return &feedback;
                     }));
    TaviSettings::shared().setCopyTotalTimes(SearchHUDIntroWindowController::kMinimumCopies);
    SearchHUDIntroWindowController tip;
    expectMappedOnce("search tip", placesWhenShown([&] {
                         tip.showIfNeeded();
                         return &tip;
                     }));
    AccessibilityPermissionWindowController permission;
    expectMappedOnce("accessibility permission", placesWhenShown([&] {
                         permission.present();
                         return &permission;
                     }));
    PBHUDWindowController panel(*shell.manager);
    expectMappedOnce("quick-paste panel", placesWhenShown([&] {
                         panel.showAndActivate();
                         return &panel;
                     }));
}
