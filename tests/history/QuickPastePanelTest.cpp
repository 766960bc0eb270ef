#include "core/Alert.h"
#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "history/CategoryListModel.h"
#include "history/PBHUDCell.h"
#include "history/PBHUDTableView.h"
#include "history/PBHUDViewController.h"
#include "history/PBHUDWindowController.h"
#include "shell/AccessibilityPermissionWindowController.h"
#include "platform/Strings.h"
#include "shell/AppDelegate.h"
#include "shell/TaviMenuBarController.h"
#include "support/ShellHarness.h"

#include <QAbstractItemModelTester>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A shown panel over a history of the texts, the last one newest.
struct Panel {
    explicit Panel(ShellHarness &shell, const QStringList &texts) : shell(shell)
    {
        for (const QString &text : texts)
            shell.copyText(text);
        window.resize(640, 600);
        view = new PBHUDViewController(*shell.manager, &window);
        open();
    }
    void open()
    {
        window.show();
        view->viewWillAppear();
        view->viewDidAppear();
        settle();
    }
    // Events handled, and the rows asked for last are in.
    void settle()
    {
        shell.settle();
        EXPECT_TRUE(waitUntil([&] { return !view->isFetching(); }, 5000));
    }
    void close()
    {
        view->viewWillDisappear();
        window.hide();
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(view->searchInput, key, modifiers);
        settle();
    }
    void type(const QString &text)
    {
        QTest::keyClicks(view->searchInput, text);
        EXPECT_TRUE(waitUntil([&] { return view->shownKeyword() == view->searchInput->text(); }, 5000));
        settle();
    }
    int selected() const { return view->historyTableView->selectedRow(); }
    QString textAt(int row) const { return view->itemAt(row).dataProvider()->representedText(); }

    ShellHarness &shell;
    QWidget window;
    PBHUDViewController *view = nullptr;
};

// Mouse events on the panel's rows, at a point of the list.
void sendMouse(PBHUDTableView *table, const QList<QEvent::Type> &types, const QPoint &position)
{
    QWidget *viewport = table->viewport();
    for (const QEvent::Type type : types) {
        const bool down = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
        QMouseEvent event(type, position, viewport->mapToGlobal(position),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
}

QStringList numbered(int count)
{
    QStringList texts;
    for (int i = 1; i <= count; ++i)
        texts.append(QStringLiteral("item %1").arg(i));
    return texts;
}

} // namespace

TEST(QuickPastePanel, TheListGrowsToNineRowsThenScrolls)
{
    ShellHarness shell;
    Panel empty(shell, {});
    EXPECT_EQ(empty.view->tableHeight(), 0);
    ShellHarness other;
    Panel full(other, numbered(12));
    EXPECT_EQ(full.view->numberOfRows(), 12);
    EXPECT_EQ(full.view->tableHeight(), 540);
    EXPECT_EQ(full.textAt(0), QStringLiteral("item 12"));
}

TEST(QuickPastePanel, ArrowKeysWrapAroundFromAFreshList)
{
    ShellHarness shell;
    Panel panel(shell, numbered(4));
    EXPECT_EQ(panel.selected(), -1);
    EXPECT_EQ(panel.view->lastSelectedIndex, 0);
    panel.key(Qt::Key_Up);
    EXPECT_EQ(panel.selected(), 3);
    panel.key(Qt::Key_Down);
    EXPECT_EQ(panel.selected(), 0);
    panel.key(Qt::Key_Down);
    EXPECT_EQ(panel.selected(), 1);

    panel.close();
    panel.open();
    panel.key(Qt::Key_Down);
    EXPECT_EQ(panel.selected(), 1);
}

TEST(QuickPastePanel, ReturnPastesTheFirstRowWhenNothingIsSelected)
{
    ShellHarness shell;
    Panel panel(shell, {"older", "newest"});
    panel.key(Qt::Key_Return);
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("newest"));
    EXPECT_EQ(shell.keys->pasteKeystrokeCount(), 0);
}

TEST(QuickPastePanel, WithoutTrustReturnCopiesTheItemAndShowsThePermissionWindow)
{
    ShellHarness shell;
    TaviSettings::shared().setQuickPasteEnable(true);
    shell.trust->setTrusted(false);
    Panel panel(shell, {"older", "newest"});
    panel.key(Qt::Key_Down);
    panel.key(Qt::Key_Return);
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("older"));
    EXPECT_EQ(shell.keys->pasteKeystrokeCount(), 0);
    EXPECT_TRUE(AccessibilityPermissionWindowController::shared().isVisible());
    AccessibilityPermissionWindowController::shared().close();
}

TEST(QuickPastePanel, ReturnAfterReopeningPastesWhatIsSelectedNow)
{
    ShellHarness shell;
    TaviSettings::shared().setQuickPasteEnable(true);
    Panel panel(shell, {"a", "b", "c"});
    panel.key(Qt::Key_Down);
    panel.key(Qt::Key_Down);
    EXPECT_EQ(panel.selected(), 2);
    panel.close();
    shell.copyText(QStringLiteral("d"));
    panel.open();
    panel.key(Qt::Key_Return);
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("d"));
    EXPECT_EQ(shell.keys->pasteKeystrokeCount(), 1);
}

TEST(QuickPastePanel, ReturnBeforeTheReopenedListIsReadPastesNoRowOfTheLastOpening)
{
    ShellHarness shell;
    Panel panel(shell, {"a", "b"});
    panel.close();
    shell.copyText(QStringLiteral("c"));
    panel.window.show();
    panel.view->viewWillAppear();
    panel.view->viewDidAppear();
    // The fetch of this opening has not landed yet.
    QTest::keyClick(panel.view->searchInput, Qt::Key_Return);
    shell.settle();
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("c"));
}

TEST(QuickPastePanel, EscapeClosesAndIsNotTyped)
{
    ShellHarness shell;
    Panel panel(shell, {"a"});
    int closes = 0;
    QObject::connect(panel.view, &PBHUDViewController::closeRequested, [&] { ++closes; });
    panel.view->searchInput->setText(QStringLiteral("x"));
    panel.key(Qt::Key_Escape);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(panel.view->searchInput->text(), QStringLiteral("x"));
}

TEST(QuickPastePanel, TypingFiltersOnceAfterAPauseWithTheWholeText)
{
    ShellHarness shell;
    RecordedEvents events;
    Panel panel(shell, {"hello world", "Hello World!", "world hello", "other"});
    panel.type(QStringLiteral("o w"));
    EXPECT_EQ(events.named(QStringLiteral("PBHUD_UsingSearch")).size(), 1);
    ASSERT_EQ(panel.view->numberOfRows(), 2);
    EXPECT_TRUE(panel.view->isSearchMode);
    EXPECT_FALSE(panel.view->btnClearSearch->isHidden());
    panel.view->clearAction();
    panel.settle();
    EXPECT_EQ(panel.view->numberOfRows(), 4);
    EXPECT_TRUE(panel.view->btnClearSearch->isHidden());
}

TEST(QuickPastePanel, ASearchWithMoreThanAPageOfMatchesShowsThemAll)
{
    ShellHarness shell;
    QStringList texts;
    for (int i = 1; i <= 60; ++i)
        texts << QStringLiteral("match %1").arg(i) << (i % 12 ? QString() : QStringLiteral("other %1").arg(i));
    texts.removeAll(QString());
    Panel panel(shell, texts);
    panel.type(QStringLiteral("match"));
    EXPECT_TRUE(waitUntil([&] { return panel.view->numberOfRows() == 60; }, 10000));
    EXPECT_EQ(panel.textAt(0), QStringLiteral("match 60"));
    EXPECT_EQ(panel.textAt(55), QStringLiteral("match 5"));
    EXPECT_FALSE(panel.view->itemAt(60).dataProvider().has_value());
}

TEST(QuickPastePanel, TheSearchIsNeverLeftOnTheSharedHistory)
{
    ShellHarness shell;
    Panel panel(shell, {"alpha", "beta"});
    panel.type(QStringLiteral("alp"));
    EXPECT_EQ(panel.view->numberOfRows(), 1);
    EXPECT_FALSE(shell.manager->filter().has_value());
    panel.close();
    EXPECT_FALSE(shell.manager->filter().has_value());
}

TEST(QuickPastePanel, CtrlBackspaceDeletesTheSelectedRowAndSelectsTheNext)
{
    ShellHarness shell;
    RecordedEvents events;
    Panel panel(shell, {"a", "b", "c"});
    panel.key(Qt::Key_Backspace);
    EXPECT_EQ(shell.manager->itemCount(), 3);
    EXPECT_EQ(events.named(QStringLiteral("ListVC_CommandAndDelete")).size(), 1);

    panel.key(Qt::Key_Up); // the last row, "a"
    QList<PBItem> fromPanel;
    ObserverBag observers;
    observers.observe(NotificationName::historyItemDidDeleteFromHUD,
                      [&](const Notification &n) { fromPanel.append(n.info().value<PBItem>()); });
    panel.key(Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(shell.manager->itemCount(), 2);
    ASSERT_EQ(fromPanel.size(), 1);
    EXPECT_EQ(fromPanel.first().dataProvider()->representedText(), QStringLiteral("a"));
    EXPECT_EQ(panel.selected(), 1);
}

TEST(QuickPastePanel, DeletingTheOnlyRowLeavesNoSelection)
{
    ShellHarness shell;
    Panel panel(shell, {"only"});
    panel.key(Qt::Key_Down);
    panel.key(Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(panel.view->numberOfRows(), 0);
    EXPECT_EQ(panel.selected(), -1);
}

TEST(QuickPastePanel, ReopeningDoesNotObserveTwice)
{
    ShellHarness shell;
    Panel panel(shell, {"a"});
    for (int i = 0; i < 3; ++i) {
        panel.close();
        panel.open();
    }
    int closes = 0;
    QObject::connect(panel.view, &PBHUDViewController::closeRequested, [&] { ++closes; });
    NotificationCenter::defaultCenter().post(QStringLiteral("NSApplicationWillResignActiveNotification"));
    EXPECT_EQ(closes, 1);
    panel.close();
    NotificationCenter::defaultCenter().post(QStringLiteral("NSApplicationWillResignActiveNotification"));
    EXPECT_EQ(closes, 1);
}

TEST(QuickPastePanel, TheCloseTipIsShownOnlyTheFirstTime)
{
    ShellHarness shell;
    int alerts = 0;
    setAlertResponder([&](const AlertRequest &) {
        ++alerts;
        return ModalResponse::alertFirstButtonReturn;
    });
    Panel panel(shell, {"a"});
    panel.view->closeAction();
    panel.view->closeAction();
    setAlertResponder({});
    EXPECT_EQ(alerts, 1);
    EXPECT_TRUE(TaviSettings::shared().hasShownPBHUDCloseTip());
}

TEST(QuickPastePanel, ANewCopyShowsWhileThePanelIsOpen)
{
    ShellHarness shell;
    Panel panel(shell, {"a"});
    shell.copyText(QStringLiteral("b"));
    panel.settle();
    EXPECT_EQ(panel.view->numberOfRows(), 2);
    EXPECT_EQ(panel.textAt(0), QStringLiteral("b"));
}

TEST(QuickPastePanel, StaysCentredOnThePointersScreenWhileItsListGrowsAndShrinks)
{
    ShellHarness shell;
    for (const QString &text : numbered(4))
        shell.copyText(text);
    PBHUDWindowController window(*shell.manager);
    const auto expectCentred = [&] {
        QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
        const QRect area = (screen ? screen : QGuiApplication::primaryScreen())->availableGeometry();
        const QPoint offset = window.frameGeometry().center() - area.center();
        EXPECT_LE(std::abs(offset.x()), 1);
        EXPECT_LE(std::abs(offset.y()), 1);
    };
    window.showAndActivate();
    ASSERT_TRUE(waitUntil([&] { return window.contentViewController()->tableHeight() == 4 * 60; }));
    expectCentred();

    QTest::keyClicks(window.contentViewController()->searchInput, QStringLiteral("item 3"));
    ASSERT_TRUE(waitUntil([&] { return window.contentViewController()->tableHeight() == 60; }));
    expectCentred();
    window.close();
}

TEST(QuickPastePanel, TheSearchFieldHasOneClearButtonInsideIt)
{
    ShellHarness shell;
    Panel panel(shell, {"alpha", "beta"});
    EXPECT_TRUE(panel.view->btnClearSearch->isHidden());
    panel.type(QStringLiteral("al"));
    ASSERT_TRUE(panel.view->btnClearSearch->isVisible());
    EXPECT_FALSE(panel.view->searchInput->isClearButtonEnabled());
    const QRect button(panel.view->btnClearSearch->mapTo(panel.view->searchInput, QPoint(0, 0)),
                       panel.view->btnClearSearch->size());
    EXPECT_TRUE(panel.view->searchInput->rect().contains(button));
    // The typed text stops before the button.
    EXPECT_GE(panel.view->searchInput->textMargins().right(), panel.view->btnClearSearch->width());
    panel.view->btnClearSearch->click();
    panel.settle();
    EXPECT_TRUE(panel.view->searchInput->text().isEmpty());
    EXPECT_TRUE(panel.view->btnClearSearch->isHidden());
    EXPECT_EQ(panel.view->numberOfRows(), 2);
}

TEST(QuickPastePanel, AnEmptyHistoryAndASearchWithoutMatchesSaySo)
{
    ShellHarness shell;
    Panel panel(shell, {});
    EXPECT_FALSE(panel.view->emptyLabel->isHidden());
    EXPECT_EQ(panel.view->emptyLabel->text(), L("PBHUD.Empty"));
    const int emptyHeight = panel.view->sizeHint().height();

    shell.copyText(QStringLiteral("apple"));
    panel.close();
    panel.open();
    EXPECT_TRUE(panel.view->emptyLabel->isHidden());
    panel.type(QStringLiteral("cherry"));
    EXPECT_FALSE(panel.view->emptyLabel->isHidden());
    EXPECT_EQ(panel.view->emptyLabel->text(), L("PBHUD.NoMatch").arg(QStringLiteral("cherry")));
    // The panel makes room for the sentence instead of shrinking to the search field.
    EXPECT_EQ(panel.view->sizeHint().height(), emptyHeight);
    panel.view->searchInput->selectAll();
    panel.key(Qt::Key_Backspace);
    EXPECT_TRUE(waitUntil([&] { return panel.view->emptyLabel->isHidden(); }));
}

TEST(QuickPastePanel, TheMenuButtonOpensTheProgramsMenuUnderIt)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.launchWith({QStringLiteral("one")});
    Panel panel(shell, {});
    ASSERT_TRUE(panel.view->btnMenu->isVisible());
    panel.view->btnMenu->click();
    QMenu *menu = delegate.statusBarMenu;
    ASSERT_TRUE(menu);
    ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); }));
    // Opened like the tray's: the recent items are listed.
    EXPECT_EQ(delegate.menuBarController()->lastItems.size(), 1);
    const QPoint below = panel.view->btnMenu->mapToGlobal(QPoint(0, panel.view->btnMenu->height()));
    EXPECT_LE(std::abs(menu->geometry().top() - below.y()), 2);
    menu->hide();
}

TEST(QuickPastePanel, ItsRowsComeFromAListModelThatFillsThemPageByPage)
{
    ShellHarness shell;
    Panel panel(shell, numbered(130));
    CategoryListModel *model = panel.view->model();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    // The count follows the first page, off the GUI thread.
    ASSERT_TRUE(waitUntil([&] { return panel.view->numberOfRows() == 130; }, 10000));
    EXPECT_EQ(panel.view->tableHeight(), 9 * 60);

    // Rows far from the first page are blank until their page arrives, then filled.
    panel.view->historyTableView->scrollRowToVisible(129);
    ASSERT_TRUE(waitUntil(
        [&] {
            const std::optional<PBHUDCell> cell = panel.view->historyTableView->cellForRow(129);
            return cell && cell->text == QStringLiteral("item 1");
        },
        10000));
    EXPECT_LE(model->cachedPageCount(), CategoryListModel::kMaxCachedPages);

    panel.key(Qt::Key_Down);
    panel.key(Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(panel.selected(), 1);
    ASSERT_TRUE(waitUntil([&] { return panel.view->numberOfRows() == 129; }, 10000));
    EXPECT_EQ(panel.textAt(1), QStringLiteral("item 128"));

    panel.type(QStringLiteral("item 12"));
    EXPECT_EQ(panel.view->numberOfRows(), 10); // 12 and 120 to 128
    EXPECT_EQ(panel.textAt(0), QStringLiteral("item 128"));
    panel.view->clearAction();
    panel.settle();
    ASSERT_TRUE(waitUntil([&] { return panel.view->numberOfRows() == 129; }, 10000));
}

TEST(QuickPastePanel, RowsOfferTheirDigitKeyAndSearchResultsOnlyReturn)
{
    ShellHarness shell;
    Panel panel(shell, {"apple pie", "apple", "cherry"});
    const auto shown = [&](int row) {
        const std::optional<PBHUDCell> cell = panel.view->historyTableView->cellForRow(row);
        return cell ? cell->text + QStringLiteral(" | ") + cell->shortcutLabel : QStringLiteral("not in view");
    };
    EXPECT_EQ(shown(0), QStringLiteral("cherry | Super+1 or Enter"));
    EXPECT_EQ(shown(1), QStringLiteral("apple | Super+2"));
    panel.type(QStringLiteral("apple"));
    ASSERT_EQ(panel.view->numberOfRows(), 2);
    EXPECT_EQ(shown(0), QStringLiteral("apple | Enter"));
    EXPECT_EQ(shown(1), QStringLiteral("apple pie | "));
    // Once a row is selected, Return pastes it and only it says so.
    panel.key(Qt::Key_Down);
    EXPECT_EQ(shown(0), QStringLiteral("apple | "));
    EXPECT_EQ(shown(1), QStringLiteral("apple pie | Enter"));
    panel.view->clearAction();
    panel.settle();
    ASSERT_EQ(panel.view->numberOfRows(), 3);
    EXPECT_EQ(shown(0), QStringLiteral("cherry | Super+1"));
    EXPECT_EQ(shown(1), QStringLiteral("apple | Super+2 or Enter"));
}

TEST(QuickPastePanel, ARowsDeleteButtonDeletesThatRow)
{
    ShellHarness shell;
    Panel panel(shell, {"a", "b", "c"});
    PBHUDTableView *table = panel.view->historyTableView;
    QList<PBItem> fromPanel;
    ObserverBag observers;
    observers.observe(NotificationName::historyItemDidDeleteFromHUD,
                      [&](const Notification &n) { fromPanel.append(n.info().value<PBItem>()); });
    const QPoint overRow = table->visualRect(panel.view->model()->index(1, 0)).center();
    sendMouse(table, {QEvent::MouseMove}, overRow);
    ASSERT_EQ(table->hoveredRow(), 1);
    sendMouse(table, {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}, table->deleteButtonRect(1).center());
    panel.settle();
    EXPECT_EQ(shell.manager->itemCount(), 2);
    ASSERT_EQ(fromPanel.size(), 1);
    EXPECT_EQ(fromPanel.first().dataProvider()->representedText(), QStringLiteral("b"));
    ASSERT_TRUE(waitUntil([&] { return panel.view->numberOfRows() == 2; }));
    EXPECT_EQ(panel.textAt(1), QStringLiteral("a"));
}

TEST(QuickPastePanel, AClickSelectsARowAndADoubleClickPastesIt)
{
    ShellHarness shell;
    RecordedEvents events;
    Panel panel(shell, {"older", "newest"});
    PBHUDTableView *table = panel.view->historyTableView;
    const QPoint second = table->visualRect(panel.view->model()->index(1, 0)).center() - QPoint(100, 0);
    sendMouse(table, {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}, second);
    EXPECT_EQ(panel.selected(), 1);
    EXPECT_EQ(panel.view->lastSelectedIndex, 1);
    const std::optional<PBHUDCell> selected = table->cellForRow(1);
    ASSERT_TRUE(selected.has_value());
    EXPECT_TRUE(selected->isSelected);
    sendMouse(table, {QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}, second);
    panel.settle();
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("older"));
    EXPECT_EQ(events.named(QStringLiteral("PBHUD_DoubleClickCopy")).size(), 1);
}
