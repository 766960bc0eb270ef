#include "controls/SceneRegistry.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "core/TaviSettings.h"
#include "history/CategoryListModel.h"
#include "history/CategoryListTableView.h"
#include "history/CategoryListViewController.h"
#include "history/CategoryWindowController.h"
#include "history/DragOut.h"
#include "history/LinkContentViewController.h"
#include "history/PreviewPopover.h"
#include "history/TextContentViewController.h"
#include "platform/Strings.h"
#include "platform/memory/FakeWorkspace.h"
#include "shell/ShellSeams.h"
#include "support/LoopbackHttpServer.h"
#include "support/ShellHarness.h"
#include "ListWindowHarness.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QMimeData>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <thread>

namespace {

QStringList visibleButtons(CategoryListViewController *view)
{
    QStringList names;
    for (QToolButton *button : view->rightTopPanel->findChildren<QToolButton *>()) {
        if (!button->isHidden())
            names.append(button->objectName());
    }
    names.sort();
    return names;
}

} // namespace

TEST(HistoryListWindow, ButtonsFollowTheKindOfTheCategory)
{
    ShellHarness shell;
    ListWindow list(shell, {"one"});
    EXPECT_EQ(visibleButtons(list.view), QStringList({"editBtn", "floatingBtn", "settingsBtn", "trashBtn"}));
    EXPECT_FALSE(list.view->itemSearchTextfield->isHidden());

    list.open(kindCategory(shell, PBDefaultCategory::note));
    EXPECT_FALSE(list.view->noteAddBtn->isHidden());
    TaviSettings::shared().setTextOrderAscending(true);
    list.open(kindCategory(shell, PBDefaultCategory::text));
    EXPECT_TRUE(list.view->noteAddBtn->isHidden());
    EXPECT_FALSE(list.view->textStyleBtn->isHidden());
    EXPECT_FALSE(list.view->sortTypeBtn->isHidden());
    EXPECT_TRUE(list.view->orderBtn->isChecked());
    EXPECT_EQ(list.view->categoryNameLabel->text(), kindCategory(shell, PBDefaultCategory::text).name());
    TaviSettings::shared().setTextOrderAscending(false);
}

TEST(HistoryListWindow, ArrowKeysMoveOneSelectionWithoutWrappingAround)
{
    ShellHarness shell;
    ListWindow list(shell, {"c", "b", "a"});
    list.activate();
    QLineEdit *search = list.view->itemSearchTextfield;
    list.key(search, Qt::Key_Down);
    EXPECT_EQ(list.selected(), QList<int>({0}));
    list.key(search, Qt::Key_Down);
    list.key(search, Qt::Key_Down);
    list.key(search, Qt::Key_Down);
    EXPECT_EQ(list.selected(), QList<int>({2}));
    list.key(search, Qt::Key_Up);
    EXPECT_EQ(list.selected(), QList<int>({1}));

    // With two rows selected the arrows do nothing and the selection bar counts them.
    list.view->itemsTableView->selectionModel()->select(list.view->model->index(2), QItemSelectionModel::Select);
    list.key(search, Qt::Key_Down);
    EXPECT_EQ(list.selected(), QList<int>({1, 2}));
    EXPECT_TRUE(list.view->rightTopPanel->isHidden());
    EXPECT_FALSE(list.view->selectionStackView->isHidden());
    EXPECT_TRUE(list.view->selectedItemsLabel->text().startsWith(QStringLiteral("2")));
}

TEST(HistoryListWindow, ReturnInTheSearchFieldAndCtrlCPasteTheSelectedRowOnce)
{
    ShellHarness shell;
    ListWindow list(shell, {"older", "newest"});
    list.activate();
    QLineEdit *search = list.view->itemSearchTextfield;
    list.key(search, Qt::Key_Down);
    list.key(search, Qt::Key_Down);
    const int writes = shell.pasteboard.writeCount();
    list.key(search, Qt::Key_Return);
    EXPECT_EQ(shell.pasteboard.writeCount(), writes + 1);
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("older"));

    // The paste stepped aside for the previous program; the user copies there and comes back.
    shell.copyText(QStringLiteral("elsewhere"));
    list.settle();
    list.activate();
    list.view->itemsTableView->selectRowAlone(int(list.texts().indexOf(QStringLiteral("newest"))));
    ASSERT_EQ(list.textAt(list.selected().value(0)), QStringLiteral("newest"));
    list.key(list.view->itemsTableView, Qt::Key_C);
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("elsewhere"));
    list.key(list.view->itemsTableView, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("newest"));
}

TEST(HistoryListWindow, KeysTypedInTheListsOwnSheetNeverActOnItsRows)
{
    ShellHarness shell;
    ListWindow list(shell, {"keep", "me"});
    list.activate();
    list.key(list.view->itemSearchTextfield, Qt::Key_Down);
    ASSERT_EQ(list.selected(), QList<int>({0}));

    QDialog sheet(&list.window);
    auto *field = new QLineEdit(&sheet);
    (new QVBoxLayout(&sheet))->addWidget(field);
    sheet.setModal(true);
    sheet.show();
    QApplication::setActiveWindow(&sheet);
    list.window.windowDidResignMain(&sheet);
    const int writes = shell.pasteboard.writeCount();
    list.key(field, Qt::Key_Return);
    list.key(field, Qt::Key_C, Qt::ControlModifier);
    list.key(field, Qt::Key_Delete);
    // Even a stray key reaching the list while its sheet is open does nothing.
    list.view->addKeyEventMonitor();
    list.key(list.view->itemsTableView, Qt::Key_Delete);
    EXPECT_EQ(shell.pasteboard.writeCount(), writes);
    EXPECT_EQ(shell.manager->itemCount(), 2);
    EXPECT_TRUE(list.window.isVisible());
    sheet.close();
}

TEST(HistoryListWindow, AutoHideClosesOnlyWhenActivationLeavesTheListsWindows)
{
    ShellHarness shell;
    TaviSettings::shared().setNeedAutoHideWindow(true);
    ListWindow list(shell, {"x"});
    list.activate();
    QDialog dialog(&list.window);
    list.window.windowDidResignMain(&dialog);
    EXPECT_TRUE(list.window.isVisible());
    list.window.windowDidResignMain(list.view->contentPopover());
    EXPECT_TRUE(list.window.isVisible());

    list.view->floatingBtn->setChecked(true);
    list.window.windowDidResignMain(nullptr);
    EXPECT_TRUE(list.window.isVisible());
    list.view->floatingBtn->setChecked(false);
    list.window.windowDidResignMain(nullptr);
    EXPECT_FALSE(list.window.isVisible());
    TaviSettings::shared().setNeedAutoHideWindow(false);
}

TEST(HistoryListWindow, ALateResultNeverReplacesTheLatestRequest)
{
    ShellHarness shell;
    ListWindow list(shell, {"apple", "banana", "cherry"});
    bool staleRan = false;
    bool latestRan = false;
    auto query = list.view->listQuery();
    query.search = PBSearchFilter{{QStringLiteral("an")}};
    list.view->model->fetch(query, [&] { staleRan = true; });
    query.search = PBSearchFilter{{QStringLiteral("che")}};
    list.view->model->fetch(query, [&] { latestRan = true; });
    // The fetches are answered in the order they were asked: a stale answer would have come first.
    ASSERT_TRUE(waitUntil([&] { return latestRan; }));
    EXPECT_FALSE(staleRan);
    EXPECT_EQ(list.texts(), QStringList({"cherry"}));
}

TEST(HistoryListWindow, TheSearchIsTheListsOwnAndTypingShowsTheLastText)
{
    ShellHarness shell;
    ListWindow list(shell, {"red apple", "green apple", "pear"});
    shell.manager->setFilter(PBSearchFilter{{QStringLiteral("pear")}});
    QTest::keyClicks(list.view->itemSearchTextfield, QStringLiteral("green"));
    list.settle();
    EXPECT_EQ(list.texts(), QStringList({"green apple"}));
    EXPECT_EQ(shell.manager->filter()->keywords, QStringList({"pear"}));
    list.view->itemSearchTextfield->clear();
    list.settle();
    EXPECT_EQ(list.texts().size(), 3);
}

TEST(HistoryListWindow, DeletesFromThePanelOrARowButtonRemoveTheRowWithoutARefetch)
{
    ShellHarness shell;
    ListWindow list(shell, {"one", "two", "three"});
    const PBItem two = shell.item(QStringLiteral("two"));
    shell.manager->deleteItem(two);
    NotificationCenter::defaultCenter().postInfo(NotificationName::historyItemDidDeleteFromHUD,
                                                 QVariant::fromValue(two));
    EXPECT_FALSE(list.view->isLoading());
    EXPECT_EQ(list.texts(), QStringList({"three", "one"}));

    Q_EMIT list.view->itemsTableView->deleteClicked(0);
    EXPECT_EQ(list.texts(), QStringList({"one"}));
    EXPECT_EQ(shell.manager->itemCount(), 1);
}

TEST(HistoryListWindow, ATagChangeThatTakesAnItemOutReadsTheRowsAgain)
{
    ShellHarness shell;
    PBCategory mine(std::nullopt, QStringLiteral("Mine"), Qt::darkGreen, Qt::white, PBDefaultCategory::custom, false,
                    false);
    shell.categories->add(mine);
    ListWindow list(shell, {"first", "second"});
    shell.manager->addItem(shell.item(QStringLiteral("first")), mine);
    shell.manager->addItem(shell.item(QStringLiteral("second")), mine);
    list.open(mine);
    ASSERT_EQ(list.texts(), QStringList({"second", "first"}));
    shell.manager->removeItem(shell.item(QStringLiteral("second")), mine);
    list.settle();
    EXPECT_EQ(list.texts(), QStringList({"first"}));
}

TEST(HistoryListWindow, LiteModeSwitchesRowHeight)
{
    ShellHarness shell;
    ListWindow list(shell, {"a"});
    EXPECT_EQ(list.view->itemsTableView->sizeHintForRow(0), 92);
    TaviSettings::shared().setEnableLiteMode(true);
    NotificationCenter::defaultCenter().post(NotificationName::categoryListLiteModeChanged);
    EXPECT_EQ(list.view->itemsTableView->sizeHintForRow(0), 50);
    TaviSettings::shared().setEnableLiteMode(false);
}

TEST(HistoryListWindow, TheHideListSeamClosesTheSharedWindowAndTellsItsDelegate)
{
    ShellHarness shell;
    shell.copyText(QStringLiteral("x"));
    SceneRegistry::shared().registerScene(QStringLiteral("Main"), QStringLiteral("CategoryWindowController"),
                                          [&shell] { return new CategoryWindowController(*shell.manager); });
    struct Delegate : CategoryListWindowDelegate {
        void categoryListWindowWillClose(const PBCategory &category) override { closed.append(category.id()); }
        QStringList closed;
    } delegate;
    CategoryWindowController *window = sharedCategoryWindowController();
    ASSERT_TRUE(window);
    window->delegate = &delegate;
    window->showCategory(PBCategory::all());
    ASSERT_TRUE(window->isVisible());
    ShellSeams::shared().closeCategoryList();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(delegate.closed, QStringList({PBCategory::all().id()}));
    window->delegate = nullptr;
    delete window;
}

TEST(HistoryListWindow, APreviewShowsOnceForTheRowTheSelectionRestsOn)
{
    ShellHarness shell;
    ListWindow list(shell, {"first text", "second text", "third text"});
    list.activate();
    QLineEdit *search = list.view->itemSearchTextfield;
    list.key(search, Qt::Key_Down);
    list.key(search, Qt::Key_Down);
    list.key(search, Qt::Key_Down);
    PreviewPopover *popover = list.view->contentPopover();
    ASSERT_TRUE(waitUntil([&] { return popover->isVisible(); }, 2000));
    EXPECT_EQ(list.view->textContentViewController()->contentTextView->toPlainText(), QStringLiteral("first text"));
    EXPECT_TRUE(popover->testAttribute(Qt::WA_ShowWithoutActivating));
    // A press in the list closes it.
    QTest::mouseClick(list.view->itemsTableView->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(popover->isVisible());
}

TEST(HistoryListWindow, SelectingALinkToThisComputerAsksNothingOfIt)
{
    LoopbackHttpServer server;
    const QString link = server.baseURL() + QStringLiteral("/cgi-bin/reboot");
    ShellHarness shell;
    ListWindow list(shell, {link});
    list.activate();
    list.key(list.view->itemSearchTextfield, Qt::Key_Down);
    PreviewPopover *popover = list.view->contentPopover();
    ASSERT_TRUE(waitUntil([&] { return popover->isVisible(); }, 2000));
    LinkContentViewController *preview = list.view->linkContentViewController();
    EXPECT_EQ(preview->showing(), LinkContentViewController::Showing::localAddress);
    EXPECT_TRUE(preview->cardText().contains(link));
    // The row's icon, the card's or the page would be asked of the server within moments.
    EXPECT_FALSE(waitUntil([&] { return server.connectionCount() > 0; }, 1500));
    // Asked by the user, the browser opens it.
    Workspace::setShared(std::make_unique<FakeWorkspace>());
    QTest::mouseClick(preview->openButton, Qt::LeftButton);
    EXPECT_EQ(static_cast<FakeWorkspace &>(Workspace::shared()).openedUrls(), QList<QUrl>{QUrl(link)});
}

TEST(HistoryListWindow, DraggedTextCarriesPlainTextOrEveryStoredType)
{
    ShellHarness shell;
    PasteboardItem rich;
    rich.setString(PasteboardType::string, QStringLiteral("bold"));
    rich.setString(PasteboardType::html, QStringLiteral("<b>bold</b>"));
    shell.pasteboard.simulateCopy({rich});
    shell.manager->retreivePasteboardInfo();
    shell.settle();
    const PBItem item = shell.manager->loadFullItem(shell.item(QStringLiteral("bold")));
    TaviSettings::shared().setAlwaysCopyPlainText(true);
    const PBCategory textList = *PBCategoryManager::shared().categoryWithId(categoryId(PBDefaultCategory::text));
    const PBCategory allList = *PBCategoryManager::shared().categoryWithId(categoryId(PBDefaultCategory::all));
    auto mime = shell.manager->mimeDataForDrag({item}, textList);
    EXPECT_EQ(mime->text(), QStringLiteral("bold"));
    EXPECT_FALSE(mime->hasHtml());
    TaviSettings::shared().setAlwaysCopyPlainText(false);
    mime = shell.manager->mimeDataForDrag({item}, allList);
    EXPECT_EQ(mime->text(), QStringLiteral("bold"));
    EXPECT_TRUE(mime->html().contains(QStringLiteral("<b>bold</b>")));
    TaviSettings::shared().setAlwaysCopyPlainText(true);
}

TEST(HistoryListWindow, EscapeAndTheCloseButtonCloseTheWindowAndTellItsDelegate)
{
    ShellHarness shell;
    ListWindow list(shell, {"one", "two"});
    struct Delegate : CategoryListWindowDelegate {
        void categoryListWindowWillClose(const PBCategory &category) override { closed.append(category.id()); }
        QStringList closed;
    } delegate;
    list.window.delegate = &delegate;
    list.activate();
    EXPECT_FALSE(list.view->closeBtn->isHidden());
    EXPECT_FALSE(list.view->closeBtn->icon().isNull());
    // Clear says what it does, with its own icon; nothing in the header is a bare "×".
    EXPECT_EQ(list.view->trashBtn->text(), L("Category.List.Clear"));
    EXPECT_FALSE(list.view->trashBtn->icon().isNull());
    for (QToolButton *button : list.view->naviView->findChildren<QToolButton *>())
        EXPECT_NE(button->text(), QStringLiteral("\u2715")) << button->objectName().toStdString();

    list.key(list.view->itemSearchTextfield, Qt::Key_Escape);
    EXPECT_FALSE(list.window.isVisible());
    EXPECT_EQ(delegate.closed.size(), 1);

    list.window.show();
    list.open(kindCategory(shell, PBDefaultCategory::all));
    list.view->closeBtn->click();
    EXPECT_FALSE(list.window.isVisible());
    EXPECT_EQ(delegate.closed.size(), 2);
    list.window.delegate = nullptr;
}

TEST(HistoryListWindow, PageKeysHomeAndEndMoveTheSelectionAsInAnyList)
{
    ShellHarness shell;
    ListWindow list(shell, numberedTexts(QStringLiteral("item"), 120));
    ASSERT_TRUE(waitUntil([&] { return list.view->numberOfRows() == 120; }));
    list.activate();
    CategoryListTableView *table = list.view->itemsTableView;
    QLineEdit *search = list.view->itemSearchTextfield;
    const int page = table->rowsPerPage();
    ASSERT_GT(page, 1);
    const auto shown = [table](int row) {
        return table->viewport()->rect().intersects(table->visualRect(table->model()->index(row, 0)));
    };

    // Without a selection Page Down takes the first row, as the arrows do.
    list.key(search, Qt::Key_PageDown);
    EXPECT_EQ(list.selected(), QList<int>({0}));
    list.key(search, Qt::Key_PageDown);
    EXPECT_EQ(list.selected(), QList<int>({page}));
    EXPECT_TRUE(shown(page));
    list.key(table, Qt::Key_PageUp);
    list.key(table, Qt::Key_PageUp);
    EXPECT_EQ(list.selected(), QList<int>({0}));
    // The last row is beyond the pages read so far: it is read and shown.
    list.key(search, Qt::Key_End);
    EXPECT_EQ(list.selected(), QList<int>({119}));
    EXPECT_TRUE(shown(119));
    EXPECT_TRUE(waitUntil([&] { return list.textAt(119) == QStringLiteral("item 0"); }));
    list.key(table, Qt::Key_PageDown);
    EXPECT_EQ(list.selected(), QList<int>({119}));
    list.key(table, Qt::Key_Home);
    EXPECT_EQ(list.selected(), QList<int>({0}));
    EXPECT_TRUE(shown(0));

    // In a search field with text Home and End move its cursor and leave the rows alone.
    list.key(search, Qt::Key_End);
    QTest::keyClicks(search, QStringLiteral("item"));
    list.settle();
    list.view->itemsTableView->selectRowAlone(3);
    list.key(search, Qt::Key_Home);
    EXPECT_EQ(search->cursorPosition(), 0);
    EXPECT_EQ(list.selected(), QList<int>({3}));
}

TEST(HistoryListWindow, AnEmptyCategoryAndASearchWithoutMatchesSaySo)
{
    ShellHarness shell;
    ListWindow list(shell, {"apple", "banana"});
    const auto painted = [&list] {
        // Something besides the background is drawn in the rows' place.
        const QImage image = list.view->itemsTableView->viewport()->grab().toImage();
        const QRgb background = image.pixel(2, 2);
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2)
                if (image.pixel(x, y) != background)
                    return true;
        return false;
    };
    list.open(kindCategory(shell, PBDefaultCategory::note));
    ASSERT_EQ(list.view->numberOfRows(), 0);
    EXPECT_EQ(list.view->itemsTableView->emptyText(), L("Category.List.Empty"));
    EXPECT_TRUE(painted());

    list.open(kindCategory(shell, PBDefaultCategory::all));
    QTest::keyClicks(list.view->itemSearchTextfield, QStringLiteral("cherry"));
    list.settle();
    ASSERT_EQ(list.view->numberOfRows(), 0);
    EXPECT_EQ(list.view->itemsTableView->emptyText(), L("Category.List.NoMatch").arg(QStringLiteral("cherry")));
    EXPECT_TRUE(painted());
    // A long search is repeated by its start.
    EXPECT_EQ(CategoryListViewController::emptyListText(QString(100, QLatin1Char('x'))),
              L("Category.List.NoMatch").arg(QString(40, QLatin1Char('x')) + QStringLiteral("\u2026")));

    list.view->itemSearchTextfield->clear();
    list.settle();
    ASSERT_EQ(list.view->numberOfRows(), 2);
}
