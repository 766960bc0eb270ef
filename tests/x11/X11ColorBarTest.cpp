// The color bar on the real X server: a dock window at the chosen edge, read back from X; a row
// widens under the real pointer, a click opens its list beside the bar, a dragged row reorders
// the categories for good, a new copy flashes its row, and a category made in the edit window
// joins the bar; a deleted category leaves it; a full-screen window has it step aside or stay above.

#include "X11TestSupport.h"

#include "colorbar/CategoryCellView.h"
#include "colorbar/CategoryEditWindowController.h"
#include "colorbar/ColorBarScenes.h"
#include "colorbar/MainViewController.h"
#include "colorbar/MainWindowController.h"
#include "colorbar/PBScreenMonitor.h"
#include "controls/SceneRegistry.h"
#include "core/Alert.h"
#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "history/CategoryWindowController.h"
#include "platform/DockWindow.h"
#include "platform/FullScreenWindows.h"
#include "platform/x11/X11FullScreenWindows.h"
#include "history/CategoryListViewController.h"
#include "preferences/CategoryPreferencesViewController.h"
#include "preferences/CategorySettingViewController.h"
#include "support/ShellHarness.h"
#include "support/TestEnvironment.h"
#include "support/WindowPlaces.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTableWidget>
#include <QRegularExpression>
#include <QTest>
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

QPoint centreOf(const QWidget &widget, const QRect &rect) { return widget.mapToGlobal(rect.center()); }

bool moveTo(const QPoint &point)
{
    return xdotool({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y())});
}

// The window's frame as the X server has it.
QRect geometryFromX(const QWidget &window)
{
    const QByteArray answer =
        run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QString::number(window.winId())});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("Position: (-?\\d+),(-?\\d+).*Geometry: (\\d+)x(\\d+)"),
                           QRegularExpression::DotMatchesEverythingOption)
            .match(QString::fromUtf8(answer));
    if (!match.hasMatch())
        return {};
    return QRect(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
                 match.captured(4).toInt());
}

// What a failed hover leaves behind: the widths, where the pointer is, what is under it, and where
// the X server has the bar.
std::string hoverState(const QWidget &window, const CategoryCellView &row)
{
    const QPoint pointer = QCursor::pos();
    const QWidget *under = QApplication::widgetAt(pointer);
    const QRect fromX = geometryFromX(window);
    return QStringLiteral(
               "tab %1, window %2 wide; pointer at %3,%4 over %5; tab centre at %6,%7; X has the bar at %8,%9 %10x%11")
        .arg(row.tabWidth())
        .arg(window.width())
        .arg(pointer.x())
        .arg(pointer.y())
        .arg(under ? QString::fromLatin1(under->metaObject()->className()) : QStringLiteral("nothing"))
        .arg(row.mapToGlobal(row.tabGeometry().center()).x())
        .arg(row.mapToGlobal(row.tabGeometry().center()).y())
        .arg(fromX.x())
        .arg(fromX.y())
        .arg(fromX.width())
        .arg(fromX.height())
        .toStdString();
}

// What a user's step through a closed pop-up with the arrow keys does.
void choose(QComboBox *popUp, int index)
{
    while (popUp->currentIndex() < index)
        QTest::keyClick(popUp, Qt::Key_Down);
    while (popUp->currentIndex() > index)
        QTest::keyClick(popUp, Qt::Key_Up);
}

} // namespace

TEST(X11ColorBar, TheAppearancePaneMovesAndResizesTheBar)
{
    auto *shell = new ShellHarness; // kept, as the list window may be made on its history
    removeWhenTheTestsEnd(shell->home->root());
    ColorBarScenes::registerAll();
    TaviSettings::shared().setBarPosition(PBColorBarPosition::left);
    TaviSettings::shared().setBarSize(PBColorBarSize::medium);
    TaviSettings::shared().setBarScreenOption(PBColorBarDisplayScreenOption::initial);
    QScreen *screen = QGuiApplication::primaryScreen();
    PBScreenMonitor::shared().setCurrentScreen(screen);
    const QRect visible = screen->availableGeometry();
    // Away from both edges: a row under a pointer left there would widen the bar.
    ASSERT_TRUE(moveTo(screen->geometry().center()));

    auto window =
        std::make_unique<MainWindowController>(*shell->categories, *shell->manager, PBScreenMonitor::shared());
    window->showBar();
    ASSERT_TRUE(waitUntil([&] { return window->isVisible() && window->windowHandle()->isExposed(); }, 5000));
    const int medium = ColorBarMetrics::current().barWidth;
    const int rows = int(shell->categories->categories().size());
    EXPECT_TRUE(waitUntil([&] { return geometryFromX(*window).topLeft().x() == visible.left(); }, 5000))
        << "docked left at " << geometryFromX(*window).x();

    CategoryPreferencesViewController pane;
    pane.reloadFromSettings();

    // The other edge.
    choose(pane.positionPopUpBtn, int(PBColorBarPosition::right));
    EXPECT_EQ(TaviSettings::shared().barPosition(), PBColorBarPosition::right);
    EXPECT_TRUE(waitUntil([&] { return geometryFromX(*window).right() == visible.right(); }, 5000))
        << "docked right: " << geometryFromX(*window).right() << " of " << visible.right();
    EXPECT_EQ(geometryFromX(*window).width(), medium);

    // A larger bar: wider and taller, still at the right edge and within the screen.
    choose(pane.sizePopUpBtn, int(PBColorBarSize::large));
    const ColorBarMetrics large = ColorBarMetrics::current();
    ASSERT_GT(large.barWidth, medium);
    EXPECT_TRUE(waitUntil(
        [&] {
            const QRect frame = geometryFromX(*window);
            return frame.width() == large.barWidth && frame.height() == large.barHeight(rows)
                   && frame.right() == visible.right();
        },
        5000))
        << "large: " << geometryFromX(*window).width() << "x" << geometryFromX(*window).height();
    EXPECT_TRUE(screen->geometry().contains(geometryFromX(*window)));

    // Back to the left edge, small.
    choose(pane.positionPopUpBtn, int(PBColorBarPosition::left));
    choose(pane.sizePopUpBtn, int(PBColorBarSize::small));
    const ColorBarMetrics small = ColorBarMetrics::current();
    EXPECT_TRUE(waitUntil(
        [&] {
            const QRect frame = geometryFromX(*window);
            return frame.x() == visible.left() && frame.width() == small.barWidth
                   && frame.height() == small.barHeight(rows);
        },
        5000));

    // The one screen chosen by number keeps the bar on it.
    choose(pane.screenOptionPopupBtn, int(PBColorBarDisplayScreenOption::specific));
    ASSERT_GE(pane.screenPopupBtn->count(), 1);
    choose(pane.screenPopupBtn, 0);
    Q_EMIT pane.screenPopupBtn->activated(0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(waitUntil([&] { return geometryFromX(*window).x() == visible.left(); }, 5000));
    EXPECT_TRUE(screen->geometry().contains(geometryFromX(*window)));
}

TEST(X11ColorBar, TheBarDocksHoversOpensListsReordersAndTakesNewCategories)
{
    auto *shell = new ShellHarness; // kept: the shared list window is made on its history
    removeWhenTheTestsEnd(shell->home->root());
    SceneRegistry::shared().registerScene(QStringLiteral("Main"), QStringLiteral("CategoryWindowController"),
                                          [shell] { return new CategoryWindowController(*shell->manager); });
    ColorBarScenes::registerAll();
    TaviSettings::shared().setBarPosition(PBColorBarPosition::right);
    TaviSettings::shared().setBarSize(PBColorBarSize::large);
    QScreen *screen = QGuiApplication::primaryScreen();
    PBScreenMonitor::shared().setCurrentScreen(screen);

    // The pointer starts away from the edge (an earlier test may have left it there), or the bar
    // would widen under it at once.
    ASSERT_TRUE(moveTo(screen->geometry().center()));
    WindowPlaces places;
    auto window =
        std::make_unique<MainWindowController>(*shell->categories, *shell->manager, PBScreenMonitor::shared());
    window->showBar();
    ASSERT_TRUE(waitUntil([&] { return window->isVisible() && window->windowHandle()->isExposed(); }, 5000));
    MainViewController *bar = window->contentViewController();
    const QRect visible = screen->availableGeometry();
    // Mapped once, at its place at the right edge.
    ASSERT_TRUE(waitUntil([&] { return !places.placesOf(window->windowTitle().toUtf8()).isEmpty(); }, 5000));
    EXPECT_EQ(places.placesOf(window->windowTitle().toUtf8()), QList<QRect>{window->geometry()});
    EXPECT_EQ(window->geometry().left(), visible.right() + 1 - 24);
    // Qt knows it is there too: what it maps to the screen lands on the bar.
    EXPECT_TRUE(waitUntil([&] { return window->mapToGlobal(QPoint()) == geometryFromX(*window).topLeft(); }, 5000))
        << "Qt has the bar at " << window->mapToGlobal(QPoint()).x() << "," << window->mapToGlobal(QPoint()).y();

    // The window manager was told it is a dock on every desktop; it sits at the right edge.
    const QString id = QString::number(window->winId());
    const QByteArray type =
        run(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_WINDOW_TYPE")});
    EXPECT_TRUE(type.contains("_NET_WM_WINDOW_TYPE_DOCK")) << type.constData();
    const QByteArray desktop =
        run(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_DESKTOP")});
    EXPECT_TRUE(desktop.contains("4294967295")) << desktop.constData();
    const QByteArray geometry = run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), id});
    EXPECT_TRUE(geometry.contains(QStringLiteral("Position: %1,").arg(visible.right() + 1 - 24).toUtf8()))
        << geometry.constData();
    EXPECT_TRUE(geometry.contains("Geometry: 24x")) << geometry.constData();

    // Hover widens the row under the pointer and the window with it, away from the edge.
    CategoryCellView *row = bar->rowView(1);
    ASSERT_TRUE(moveTo(centreOf(*row, row->tabGeometry())));
    EXPECT_TRUE(waitUntil([&] { return row->tabWidth() == 140 && window->width() == 140; }, 3000))
        << hoverState(*window, *row);
    EXPECT_EQ(window->geometry().right(), visible.right());

    // A click opens the row's list beside the bar.
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    EXPECT_TRUE(waitUntil(
        [] { return existingCategoryWindowController() && existingCategoryWindowController()->isVisible(); }, 3000));
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
    EXPECT_TRUE(waitUntil([&] { return source->tabWidth() == 140 && window->width() == 140; }, 3000))
        << hoverState(*window, *source);
    // One detached run of the whole gesture: the drag's own event loop runs while it plays.
    const QPoint from = centreOf(*source, source->tabGeometry());
    const QPoint target = window->mapToGlobal(QPoint(window->width() - 10, bar->rowView(3)->y() + 4));
    QStringList gesture{QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("sleep"),
                        QStringLiteral("0.2")};
    for (int step = 1; step <= 8; ++step) {
        const QPoint at = from + (target - from) * step / 8;
        gesture << QStringLiteral("mousemove") << QString::number(at.x()) << QString::number(at.y())
                << QStringLiteral("sleep") << QStringLiteral("0.08");
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

// A category deleted in the preferences leaves the bar on the X server at once, and the bar's
// height follows; a click where its row was opens the category that is there now. A category
// removed without a word to the bar opens nothing from its stale row.
TEST(X11ColorBar, ADeletedCategoryLeavesTheBarAndItsPlaceNeverOpensIt)
{
    auto *shell = new ShellHarness; // kept: the shared list window may be made on its history
    removeWhenTheTestsEnd(shell->home->root());
    SceneRegistry::shared().registerScene(QStringLiteral("Main"), QStringLiteral("CategoryWindowController"),
                                          [shell] { return new CategoryWindowController(*shell->manager); });
    shell->launchWith({});
    ColorBarScenes::registerAll();
    TaviSettings::shared().setBarPosition(PBColorBarPosition::left);
    TaviSettings::shared().setBarSize(PBColorBarSize::large);
    TaviSettings::shared().setBarScreenOption(PBColorBarDisplayScreenOption::initial);
    QScreen *screen = QGuiApplication::primaryScreen();
    PBScreenMonitor::shared().setCurrentScreen(screen);
    ASSERT_TRUE(moveTo(screen->geometry().center()));

    // Two custom categories, the first moved up to row 1.
    const PBCategory doomed(std::nullopt, QStringLiteral("Doomed"), QColor(0x8E44AD), QColor(0xECF0F1),
                            PBDefaultCategory::custom, false, false);
    const PBCategory stale(std::nullopt, QStringLiteral("Stale"), QColor(0x16A085), QColor(0xECF0F1),
                           PBDefaultCategory::custom, false, false);
    shell->categories->add(doomed);
    shell->categories->add(stale);
    QList<PBCategory> order = shell->categories->categories();
    order.move(order.size() - 2, 1);
    shell->categories->reorder(order);

    auto window =
        std::make_unique<MainWindowController>(*shell->categories, *shell->manager, PBScreenMonitor::shared());
    window->showBar();
    ASSERT_TRUE(waitUntil([&] { return window->isVisible() && window->windowHandle()->isExposed(); }, 5000));
    MainViewController *bar = window->contentViewController();
    const int rows = bar->numberOfRows();
    ASSERT_EQ(bar->categoryAt(1)->id(), doomed.id());
    EXPECT_TRUE(waitUntil([&] { return geometryFromX(*window).height() == 56 * (rows + 1); }, 5000));
    const QPoint doomedPlace = centreOf(*bar->rowView(1), bar->rowView(1)->tabGeometry());
    const auto openedList = [] {
        CategoryWindowController *list = existingCategoryWindowController();
        return list && list->isVisible() ? list->contentViewController()->category : std::nullopt;
    };
    const auto clickAt = [&](const QPoint &place) {
        EXPECT_TRUE(moveTo(place));
        EXPECT_TRUE(waitUntil([&] { return window->width() == 140; }, 3000)) << "the row under the pointer opens";
        EXPECT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    };
    const auto pointerAway = [&] {
        if (CategoryWindowController *list = existingCategoryWindowController())
            list->close();
        EXPECT_TRUE(moveTo(screen->geometry().center()));
        EXPECT_TRUE(waitUntil([&] { return window->width() == 24; }, 3000));
    };

    CategorySettingViewController pane;
    for (int row = 0; row < pane.listTableView->rowCount(); ++row) {
        if (pane.listTableView->item(row, CategorySettingViewController::NameColumn)->text()
            == QStringLiteral("Doomed"))
            pane.listTableView->selectRow(row);
    }
    ASSERT_EQ(pane.selectedCategory->id(), doomed.id());
    setAlertResponder([](const AlertRequest &) { return ModalResponse::alertFirstButtonReturn; });
    pane.clickDeleteCategory();
    EXPECT_TRUE(waitUntil([&] { return geometryFromX(*window).height() == 56 * rows; }, 5000))
        << "the bar is " << geometryFromX(*window).height() << " high";
    EXPECT_EQ(bar->numberOfRows(), rows - 1);
    EXPECT_EQ(bar->categoryAt(1)->id(), order.at(2).id());

    clickAt(doomedPlace);
    EXPECT_TRUE(waitUntil([&] { return openedList().has_value(); }, 3000));
    EXPECT_EQ(openedList().value_or(doomed).id(), order.at(2).id());
    pointerAway();

    // Removed behind the bar's back: its row is still there, but a click on it opens nothing.
    const int staleRow = bar->numberOfRows() - 1;
    ASSERT_EQ(bar->categoryAt(staleRow)->id(), stale.id());
    const QPoint stalePlace = centreOf(*bar->rowView(staleRow), bar->rowView(staleRow)->tabGeometry());
    shell->categories->deleteCategory(*shell->categories->categoryWithId(stale.id()));
    clickAt(stalePlace);
    EXPECT_TRUE(waitUntil([&] { return geometryFromX(*window).height() == 56 * (rows - 1); }, 5000))
        << "the bar is " << geometryFromX(*window).height() << " high";
    EXPECT_FALSE(openedList().has_value());
    setAlertResponder({});
    pointerAway();
}

namespace {

// The colour the X server shows at a point of the screen.
QColor colourOnScreen(const QPoint &point)
{
    const QByteArray answer =
        run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
                                       QStringLiteral("1x1+%1+%2").arg(point.x()).arg(point.y()),
                                       QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("txt:-")});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("#([0-9A-Fa-f]{6})")).match(QString::fromLatin1(answer));
    return match.hasMatch() ? QColor(QLatin1Char('#') + match.captured(1)) : QColor();
}

bool isViewable(const QWidget &window)
{
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window.winId())})
        .contains("IsViewable");
}

} // namespace

// A window shown full screen over the bar's screen: the bar steps aside until it leaves, or, with
// "Show when entering full screen" on in the Appearance pane, stays over it, where it can be seen.
TEST(X11ColorBar, AFullScreenWindowHasTheBarStepAsideOrStayAboveAsTheSettingSays)
{
    auto *shell = new ShellHarness; // kept, as the list window may be made on its history
    removeWhenTheTestsEnd(shell->home->root());
    ColorBarScenes::registerAll();
    FullScreenWindows::setShared(X11FullScreenWindows::create());
    TaviSettings::shared().setBarPosition(PBColorBarPosition::left);
    TaviSettings::shared().setBarSize(PBColorBarSize::large);
    TaviSettings::shared().setBarScreenOption(PBColorBarDisplayScreenOption::initial);
    TaviSettings::shared().setNeedShowWhenEnterFullscreen(false);
    QScreen *screen = QGuiApplication::primaryScreen();
    PBScreenMonitor::shared().setCurrentScreen(screen);
    ASSERT_TRUE(moveTo(screen->geometry().center()));

    auto window =
        std::make_unique<MainWindowController>(*shell->categories, *shell->manager, PBScreenMonitor::shared());
    window->showBar();
    ASSERT_TRUE(waitUntil([&] { return window->isVisible() && window->windowHandle()->isExposed(); }, 5000));
    MainViewController *bar = window->contentViewController();
    CategoryCellView *row = bar->rowView(0);
    const QPoint probe = centreOf(*row, row->tabGeometry());
    const QColor rowColour = bar->categoryAt(0)->backgroundColor();
    const QColor green(0x00, 0xff, 0x00);
    ASSERT_TRUE(waitUntil([&] { return colourOnScreen(probe) == rowColour; }, 5000))
        << colourOnScreen(probe).name().toStdString();

    auto peer = std::make_unique<Peer>(QStringList{QStringLiteral("fullscreen")});
    ASSERT_FALSE(peer->waitForLine("STATE:full").isEmpty());
    EXPECT_TRUE(waitUntil([&] { return bar->hasSteppedAsideForFullScreen() && !isViewable(*window); }, 5000));
    EXPECT_TRUE(waitUntil([&] { return colourOnScreen(probe) == green; }, 5000))
        << colourOnScreen(probe).name().toStdString();

    CategoryPreferencesViewController pane;
    pane.reloadFromSettings();
    pane.showWhenEnteredFullscreenBtn->click();
    ASSERT_TRUE(TaviSettings::shared().needShowWhenEnterFullscreen());
    EXPECT_TRUE(waitUntil([&] { return colourOnScreen(probe) == rowColour; }, 5000))
        << "over the full-screen window: " << colourOnScreen(probe).name().toStdString();
    EXPECT_FALSE(bar->hasSteppedAsideForFullScreen());

    // Out of full screen, the bar is a dock the window manager keeps again.
    peer->writeLine("normal");
    EXPECT_TRUE(waitUntil(
        [&] { return !DockWindow::isKeptAboveFullScreenWindows(window.get()) && isViewable(*window); }, 5000));
    EXPECT_TRUE(run(QStringLiteral("xprop"),
                    {QStringLiteral("-id"), QString::number(window->winId()), QStringLiteral("_NET_WM_WINDOW_TYPE")})
                    .contains("_NET_WM_WINDOW_TYPE_DOCK"));

    // Off again: the next full screen has the bar step aside; the window going away brings it back.
    pane.showWhenEnteredFullscreenBtn->click();
    peer->writeLine("full");
    EXPECT_TRUE(waitUntil([&] { return bar->hasSteppedAsideForFullScreen() && !isViewable(*window); }, 5000));
    peer.reset();
    EXPECT_TRUE(waitUntil([&] { return !bar->hasSteppedAsideForFullScreen() && isViewable(*window); }, 5000));
    EXPECT_TRUE(waitUntil([&] { return colourOnScreen(probe) == rowColour; }, 5000))
        << colourOnScreen(probe).name().toStdString();
    EXPECT_EQ(geometryFromX(*window).x(), screen->availableGeometry().left());
    window.reset();
    FullScreenWindows::setShared(nullptr);
}
