#include "ColorBarTestSupport.h"

#include "colorbar/HideCategoryHintWindowController.h"
#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "history/CategoryListViewController.h"
#include "history/CategoryWindowController.h"
#include "platform/NotificationCenter.h"
#include "platform/memory/FakeFullScreenWindows.h"
#include "platform/memory/FakeMouseUpMonitor.h"
#include "shell/AppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCheckBox>
#include <QCursor>
#include <QMenu>

namespace {

using ColorBarBehaviourTest = ColorBarTest;

QStringList visibleActions(QMenu *menu)
{
    QStringList names;
    for (QAction *action : menu->actions()) {
        if (action->isVisible())
            names.append(action->objectName());
    }
    return names;
}

TEST_F(ColorBarBehaviourTest, ClickingARowOpensItsListBesideTheBar)
{
    MainViewController &view = makeBar();
    const int row = rowOf(PBDefaultCategory::link);
    view.tableViewDidClickRow(row);
    CategoryWindowController *list = existingCategoryWindowController();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->x(), leftScreen()->availableGeometry().x() + 18);
    EXPECT_EQ(list->contentViewController()->category->id(), view.categoryAt(row)->id());
    EXPECT_EQ(view.selectedIndexCache(), row);
    EXPECT_TRUE(leftScreen()->availableGeometry().contains(list->geometry()));

    list->close();
    sharedShell().settle();
    EXPECT_EQ(view.selectedIndexCache(), -1);
    EXPECT_EQ(view.selectedRow(), -1);
    // Rows that do not exist open nothing.
    view.tableViewDidClickRow(-1);
    view.tableViewDidClickRow(view.numberOfRows());
    EXPECT_FALSE(list->isVisible());
}

// A category removed without a word to the bar (another window, another machine): neither its
// stale row nor a hot key opens its list, and the bar is made again at its new height.
TEST_F(ColorBarBehaviourTest, TheRowOfACategoryRemovedElsewhereOpensNothing)
{
    const PBCategory doomed = addCustom(QStringLiteral("Doomed"));
    MainViewController &view = makeBar();
    const int stale = view.numberOfRows() - 1;
    ASSERT_EQ(view.categoryAt(stale)->id(), doomed.id());
    const int height = barWindow().height();
    const auto showsDoomed = [&] {
        CategoryWindowController *list = existingCategoryWindowController();
        return list && list->isVisible() && list->contentViewController()->category
               && list->contentViewController()->category->id() == doomed.id();
    };

    categories().deleteCategory(*categories().categoryWithId(doomed.id()));
    view.tableViewDidClickRow(stale);
    sharedShell().settle();
    EXPECT_FALSE(showsDoomed());
    EXPECT_EQ(view.numberOfRows(), stale);
    EXPECT_EQ(barWindow().height(), height - 44);
    EXPECT_EQ(view.selectedIndexCache(), -1);

    // The next-category key onto a stale row.
    const PBCategory second = addCustom(QStringLiteral("Doomed too"));
    view.reloadData();
    view.tableViewDidClickRow(stale - 1);
    ASSERT_TRUE(existingCategoryWindowController()->isVisible());
    categories().deleteCategory(*categories().categoryWithId(second.id()));
    view.selectNextCategory();
    sharedShell().settle();
    CategoryWindowController *list = existingCategoryWindowController();
    EXPECT_NE(list->contentViewController()->category->id(), second.id());
    EXPECT_EQ(view.numberOfRows(), stale);
}

TEST_F(ColorBarBehaviourTest, CategoryKeysStepThroughTheRowsWithinTheList)
{
    MainViewController &view = makeBar();
    view.selectPreviousCategory();
    EXPECT_EQ(view.selectedIndexCache(), -1) << "nothing before the first row";
    view.selectNextCategory();
    EXPECT_EQ(view.selectedIndexCache(), 0);
    view.selectAllCategory();
    EXPECT_EQ(view.selectedRow(), rowOf(PBDefaultCategory::all));

    const PBCategory first = addCustom(QStringLiteral("First"));
    const PBCategory second = addCustom(QStringLiteral("Second"));
    view.reloadData();
    while (view.selectedIndexCache() < view.numberOfRows() - 1)
        view.selectNextCategory();
    view.selectNextCategory();
    EXPECT_EQ(view.selectedIndexCache(), 9) << "nothing after the last row";

    // The list shrinks under the remembered row: the previous key stays within it.
    categories().deleteCategory(first);
    categories().deleteCategory(second);
    view.reloadData();
    view.selectPreviousCategory();
    EXPECT_EQ(view.selectedIndexCache(), 7);
    EXPECT_EQ(view.selectedRow(), 7);
}

TEST_F(ColorBarBehaviourTest, AutoHideHidesAfterTheDelayAndThePointerBringsTheBarBack)
{
    TaviSettings::shared().setNeedAutoHideColorBar(true);
    TaviSettings::shared().setHideColorBarDuration(3.0);
    MainViewController &view = makeBar();
    EXPECT_TRUE(view.isHideTimerArmed());
    EXPECT_EQ(view.hideTimerInterval(), 3000);

    NotificationCenter::defaultCenter().postInfo(NotificationName::colorBarDelayChanged, 5.0);
    EXPECT_EQ(view.hideTimerInterval(), 3000) << "the pane writes the setting first";
    TaviSettings::shared().setHideColorBarDuration(5.0);
    NotificationCenter::defaultCenter().postInfo(NotificationName::colorBarDelayChanged, 5.0);
    EXPECT_EQ(view.hideTimerInterval(), 5000);

    view.handlePanelHiddenAction();
    EXPECT_TRUE(view.panelIsHidden());
    EXPECT_FALSE(barWindow().isVisible());
    // Hidden but reachable: the pointer over the bar's place brings it back. It is told of the
    // pointer's moves and polls nothing.
    auto &mouse = static_cast<FakeMouseUpMonitor &>(MouseUpMonitor::shared());
    EXPECT_EQ(mouse.movedMonitorCount(), 1);
    EXPECT_FALSE(view.isPollingForPointer());
    mouse.simulateMouseMoved(barWindow().geometry().center() + QPoint(0, barWindow().height()));
    EXPECT_TRUE(view.panelIsHidden()) << "below the bar";
    mouse.simulateMouseMoved(barWindow().geometry().center());
    EXPECT_FALSE(view.panelIsHidden());
    EXPECT_TRUE(barWindow().isVisible());
    EXPECT_EQ(mouse.movedMonitorCount(), 0) << "a shown bar watches no moves";
    EXPECT_FALSE(view.isHideTimerArmed()) << "the pointer is inside";
    view.barMouseExited();
    EXPECT_TRUE(view.isHideTimerArmed());

    TaviSettings::shared().setNeedShowWhenMouseEntered(false);
    view.collapsePanel();
    EXPECT_FALSE(view.isWatchingForPointer());
    view.barMouseEntered();
    EXPECT_TRUE(view.panelIsHidden()) << "only the hot key brings it back";
    view.toggleSideBarPanel();
    EXPECT_FALSE(view.panelIsHidden());
}

TEST_F(ColorBarBehaviourTest, NoCollapseIsArmedWhileARowIsDragged)
{
    MainViewController &view = makeBar();
    view.setDragAndDropInProgress(true);
    NotificationCenter::defaultCenter().post(NotificationName::colorBarMouseExited);
    EXPECT_FALSE(view.isCollapseTimerArmed());
    view.setDragAndDropInProgress(false);
    NotificationCenter::defaultCenter().post(NotificationName::colorBarMouseExited);
    EXPECT_TRUE(view.isCollapseTimerArmed());
    NotificationCenter::defaultCenter().post(NotificationName::colorBarMouseEntered);
    EXPECT_FALSE(view.isCollapseTimerArmed());
}

// Only a full-screen window on the bar's own screen counts; the setting, changed in the Appearance
// pane, decides between stepping aside and staying shown, and an auto-hidden bar stays hidden.
TEST_F(ColorBarBehaviourTest, AFullScreenWindowHasTheBarStepAsideUnlessTheSettingShowsItOver)
{
    auto fake = std::make_unique<FakeFullScreenWindows>();
    FakeFullScreenWindows *windows = fake.get();
    FullScreenWindows::setShared(std::move(fake));
    MainViewController &view = makeBar();
    windows->setCovered(rightScreen(), true);
    EXPECT_TRUE(barWindow().isVisible()) << "another screen's full-screen window";
    windows->setCovered(leftScreen(), true);
    EXPECT_FALSE(barWindow().isVisible());
    EXPECT_TRUE(view.hasSteppedAsideForFullScreen());
    view.showPanel(); // as a change of size or edge does
    EXPECT_FALSE(barWindow().isVisible());

    const auto announce = [](const QVariant &info) {
        NotificationCenter::defaultCenter().postInfo(NotificationName::colorBarShowWhenEnteredFullscreen, info);
    };
    TaviSettings::shared().setNeedShowWhenEnterFullscreen(true);
    announce(true);
    EXPECT_TRUE(barWindow().isVisible());
    TaviSettings::shared().setNeedShowWhenEnterFullscreen(false);
    announce(QStringLiteral("false")); // not a Bool: ignored
    EXPECT_TRUE(barWindow().isVisible());
    announce(false);
    EXPECT_FALSE(barWindow().isVisible());
    windows->setCovered(leftScreen(), false);
    EXPECT_TRUE(barWindow().isVisible());
    EXPECT_FALSE(view.hasSteppedAsideForFullScreen());

    view.collapsePanel();
    windows->setCovered(leftScreen(), true);
    windows->setCovered(leftScreen(), false);
    EXPECT_FALSE(barWindow().isVisible()) << "auto-hidden before, hidden after";
    m_window.reset();
    FullScreenWindows::setShared(nullptr);
}

TEST_F(ColorBarBehaviourTest, RemoteChangesWhileThePointerIsInTheBarWaitUntilItLeaves)
{
    MainViewController &view = makeBar();
    view.barMouseEntered();
    addCustom(QStringLiteral("From another Mac"));
    NotificationCenter::defaultCenter().post(NotificationName::remoteDataChanged);
    sharedShell().settle();
    EXPECT_EQ(view.numberOfRows(), 8);
    EXPECT_TRUE(view.hasPendingReload());
    view.barMouseExited();
    EXPECT_EQ(view.numberOfRows(), 9);
    EXPECT_FALSE(view.hasPendingReload());
}

TEST_F(ColorBarBehaviourTest, TheRowMenuOffersWhatTheCategoryAllows)
{
    const PBCategory custom = addCustom(QStringLiteral("Mine"));
    MainViewController &view = makeBar();
    const QString hide = QStringLiteral("categoryHideMenuItem");
    const QString remove = QStringLiteral("categoryRemoveMenuItem");
    const QString edit = QStringLiteral("editCategoryMenuItem");
    EXPECT_EQ(visibleActions(view.rowMenu(rowOf(PBDefaultCategory::all))), QStringList{edit});
    EXPECT_EQ(visibleActions(view.rowMenu(rowOf(PBDefaultCategory::text))), (QStringList{edit, hide}));
    EXPECT_EQ(visibleActions(view.rowMenu(8)), (QStringList{edit, hide, remove}));
    EXPECT_EQ(view.rowMenu(42), nullptr);

    view.rowMenu(8);
    view.confirmRemoveCategory();
    EXPECT_FALSE(categories().categoryWithId(custom.id()).has_value());
    EXPECT_EQ(view.numberOfRows(), 8);
}

TEST_F(ColorBarBehaviourTest, HidingARowShortensTheBarAndShowsTheHintOnce)
{
    RecordedEvents events;
    MainViewController &view = makeBar();
    const int height = barWindow().height();
    view.rowMenu(rowOf(PBDefaultCategory::image));
    view.hideCategoryFromMenu();
    EXPECT_EQ(barWindow().height(), height - 44);
    EXPECT_TRUE(categories().categoryAt(rowOf(PBDefaultCategory::image))->isHidden());
    ASSERT_NE(view.hideCategoryHint(), nullptr);
    EXPECT_TRUE(view.hideCategoryHint()->isVisible());
    ASSERT_EQ(events.named(QStringLiteral("Category_Hide")).size(), 1);
    EXPECT_EQ(events.named(QStringLiteral("Category_Hide")).first().properties.value(QStringLiteral("source")),
              QStringLiteral("RightClickMenu"));

    QCheckBox *notPrompt = view.hideCategoryHint()->notPromptButton();
    notPrompt->setChecked(true);
    EXPECT_FALSE(TaviSettings::shared().needShowHideCategoryTips());
    notPrompt->setChecked(false);
    EXPECT_TRUE(TaviSettings::shared().needShowHideCategoryTips());
    view.hideCategoryHint()->confirmBtnAction();
}

TEST_F(ColorBarBehaviourTest, TheAddRowsMenuIsTheProgramsMenu)
{
    AppDelegate *delegate = AppDelegate::shared() ? AppDelegate::shared() : &sharedShell().makeDelegate();
    MainViewController &view = makeBar();
    auto *add = view.findChild<QWidget *>(QStringLiteral("addImageView"));
    ASSERT_TRUE(add);
    const QPoint at = add->mapToGlobal(add->rect().center());
    QContextMenuEvent request(QContextMenuEvent::Mouse, add->rect().center(), at);
    QApplication::sendEvent(add, &request);
    QMenu *menu = delegate->statusBarMenu;
    ASSERT_TRUE(menu);
    ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); }));
    EXPECT_TRUE(visibleActions(menu).contains(QStringLiteral("StatusBarMenu.Quit.title")));
    EXPECT_TRUE(menu->geometry().contains(at) || menu->geometry().topLeft() == at) << "opened away from the row";
    menu->hide();
}

} // namespace
