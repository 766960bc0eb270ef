// The color bar on the real X server: a dock window at the chosen edge, read back from X; a row
// widens under the real pointer, a click opens its list beside the bar, a dragged row reorders
// the categories for good, a new copy flashes its row, and a category made in the edit window
// joins the bar.

#include "X11TestSupport.h"

#include "colorbar/CategoryCellView.h"
#include "colorbar/CategoryEditWindowController.h"
#include "colorbar/ColorBarScenes.h"
#include "colorbar/MainViewController.h"
#include "colorbar/MainWindowController.h"
#include "colorbar/PBScreenMonitor.h"
#include "controls/SceneRegistry.h"
#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "history/CategoryWindowController.h"
#include "support/ShellHarness.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

using namespace X11Test;

namespace {

bool xdotool(const QStringList &arguments)
{
    bool ok = false;
    run(QStringLiteral("xdotool"), arguments, {}, &ok);
    return ok;
}

QPoint centreOf(const QWidget &widget, const QRect &rect)
{
    return widget.mapToGlobal(rect.center());
}

bool moveTo(const QPoint &point)
{
    return xdotool({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y())});
}

} // namespace

TEST(X11ColorBar, TheBarDocksHoversOpensListsReordersAndTakesNewCategories)
{
    auto *shell = new ShellHarness; // kept: the shared list window is made on its history
    SceneRegistry::shared().registerScene(QStringLiteral("Main"), QStringLiteral("CategoryWindowController"),
                                          [shell] { return new CategoryWindowController(*shell->manager); });
    ColorBarScenes::registerAll();
    TaviSettings::shared().setBarPosition(PBColorBarPosition::right);
    TaviSettings::shared().setBarSize(PBColorBarSize::large);
    QScreen *screen = QGuiApplication::primaryScreen();
    PBScreenMonitor::shared().setCurrentScreen(screen);

    auto window = std::make_unique<MainWindowController>(*shell->categories, *shell->manager, PBScreenMonitor::shared());
    window->showBar();
    ASSERT_TRUE(waitUntil([&] { return window->isVisible() && window->windowHandle()->isExposed(); }, 5000));
    MainViewController *bar = window->contentViewController();
    const QRect visible = screen->availableGeometry();
    // The window manager maps it first where it was made, then takes the docked place.
    EXPECT_TRUE(waitUntil([&] { return window->mapToGlobal(QPoint()).x() == visible.right() + 1 - 24; }, 5000));

    // The window manager was told it is a dock on every desktop; it sits at the right edge.
    const QString id = QString::number(window->winId());
    const QByteArray type = run(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_WINDOW_TYPE")});
    EXPECT_TRUE(type.contains("_NET_WM_WINDOW_TYPE_DOCK")) << type.constData();
    const QByteArray desktop = run(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_DESKTOP")});
    EXPECT_TRUE(desktop.contains("4294967295")) << desktop.constData();
    const QByteArray geometry = run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), id});
    EXPECT_TRUE(geometry.contains(QStringLiteral("Position: %1,").arg(visible.right() + 1 - 24).toUtf8())) << geometry.constData();
    EXPECT_TRUE(geometry.contains("Geometry: 24x")) << geometry.constData();

    // Hover widens the row under the pointer and the window with it, away from the edge.
    CategoryCellView *row = bar->rowView(1);
    ASSERT_TRUE(moveTo(centreOf(*row, row->tabGeometry())));
    EXPECT_TRUE(waitUntil([&] { return row->tabWidth() == 140 && window->width() == 140; }, 3000));
    EXPECT_EQ(window->geometry().right(), visible.right());

    // A click opens the row's list beside the bar.
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    EXPECT_TRUE(waitUntil([] { return existingCategoryWindowController() && existingCategoryWindowController()->isVisible(); }, 3000));
    if (CategoryWindowController *list = existingCategoryWindowController()) {
        EXPECT_EQ(list->geometry().right(), visible.right() - 24);
        list->close();
    }
    ASSERT_TRUE(moveTo(QPoint(visible.center().x() - 300, visible.center().y())));
    EXPECT_TRUE(waitUntil([&] { return window->width() == 24; }, 3000));

    // A new copy flashes its row.
    shell->copyText(QStringLiteral("fresh copy"));
    CategoryCellView *textRow = bar->rowView(1);
    EXPECT_TRUE(waitUntil([&] { return textRow->isAnimating(); }, 2000));
    EXPECT_TRUE(waitUntil([&] { return !textRow->isAnimating() && window->width() == 24; }, 3000));

    // Dragging row 0 below row 2 reorders the categories.
    const QString first = bar->categoryAt(0)->id();
    CategoryCellView *source = bar->rowView(0);
    ASSERT_TRUE(moveTo(centreOf(*source, source->tabGeometry())));
    waitUntil([&] { return source->tabWidth() == 140; }, 2000);
    // One detached run of the whole gesture: the drag's own event loop runs while it plays.
    const QPoint from = centreOf(*source, source->tabGeometry());
    const QPoint target = window->mapToGlobal(QPoint(window->width() - 10, bar->rowView(3)->y() + 4));
    QStringList gesture{QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("sleep"), QStringLiteral("0.2")};
    for (int step = 1; step <= 8; ++step) {
        const QPoint at = from + (target - from) * step / 8;
        gesture << QStringLiteral("mousemove") << QString::number(at.x()) << QString::number(at.y()) << QStringLiteral("sleep")
                << QStringLiteral("0.08");
    }
    gesture << QStringLiteral("sleep") << QStringLiteral("0.3") << QStringLiteral("mouseup") << QStringLiteral("1");
    ASSERT_TRUE(QProcess::startDetached(QStringLiteral("xdotool"), gesture));
    EXPECT_TRUE(waitUntil([&] { return bar->categoryAt(2) && bar->categoryAt(2)->id() == first; }, 3000));
    ASSERT_TRUE(moveTo(QPoint(visible.center().x() - 300, visible.center().y())));

    // A category made in the edit window joins the bar.
    const int rows = bar->numberOfRows();
    CategoryEditWindowController *editor = bar->categoryColorPickWindowController();
    editor->present();
    editor->nameField()->setText(QStringLiteral("From X"));
    editor->selectSwatch(4);
    editor->saveCategory();
    EXPECT_EQ(bar->numberOfRows(), rows + 1);
    EXPECT_EQ(window->height(), 56 * (rows + 2));

    // The order survives a restart of the store.
    ASSERT_TRUE(shell->manager->saveNow());
    window.reset();
    CoreDataStack::resetShared();
    PBCategoryManager reopened(CoreDataStack::shared().managedContext());
    ASSERT_GE(reopened.categories().size(), 3);
    EXPECT_EQ(reopened.categories().at(2).id(), first);
    EXPECT_EQ(reopened.categories().last().name(), QStringLiteral("From X"));
}
