#include "controls/NoteTextView.h"
#include "core/Alert.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "core/PBNoteItemProvider.h"
#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "history/CategoryListModel.h"
#include "history/CategoryNoteWindowController.h"
#include "history/ItemActions.h"
#include "history/ItemSheets.h"
#include "history/PreviewPopover.h"
#include "platform/DockWindow.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "shell/AppDelegate.h"
#include "ListWindowHarness.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QPlainTextEdit>
#include <QThread>
#include <QToolButton>

#include <algorithm>

namespace {

QStringList visibleEntries(CategoryListViewController *view)
{
    QStringList names;
    for (QAction *entry : view->rightClickMenu->actions()) {
        if (entry->isVisible() && !entry->isSeparator())
            names.append(entry->objectName());
    }
    names.sort();
    return names;
}

void copyImage(ShellHarness &shell, const QByteArray &data)
{
    PasteboardItem item;
    item.setData(PasteboardType::png, data);
    shell.pasteboard.simulateCopy({item});
    shell.manager->retreivePasteboardInfo();
    shell.settle();
}

QImage renderedText(const QStringList &lines)
{
    QImage image(900, 90 * lines.size() + 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(30, 70 + 90 * i, lines.at(i));
    return image;
}

template <typename Sheet>
Sheet *openSheet(ListWindow &list)
{
    Sheet *found = nullptr;
    waitUntil(
        [&] {
            found = list.window.findChild<Sheet *>();
            return found && found->isVisible();
        },
        20000);
    return found;
}

} // namespace

TEST(HistoryRowMenu, EntriesFollowTheKindOfTheItemAndTheSelection)
{
    ShellHarness shell;
    AppDelegate &delegate = shell.makeDelegate();
    delegate.lastActiveApplication = ShellHarness::editor();
    ListWindow list(shell, {"plain", "https://example.com/page"});
    const int link = int(list.texts().indexOf(QStringLiteral("https://example.com/page")));
    const int text = int(list.texts().indexOf(QStringLiteral("plain")));
    ASSERT_EQ(ItemActions::kindOf(list.view->itemAt(link)), PBDefaultCategory::link);

    list.view->prepareRowMenu(-1);
    EXPECT_EQ(visibleEntries(list.view), QStringList());

    TaviSettings::shared().setAlwaysCopyPlainText(false);
    shell.manager->stickItem(list.view->itemAt(text), true);
    list.view->reloadItems();
    list.settle();
    const int sticky = int(list.texts().indexOf(QStringLiteral("plain")));
    list.view->prepareRowMenu(sticky);
    EXPECT_EQ(visibleEntries(list.view),
              QStringList({"addCommentMenuItem", "addToCategoryMenuItem", "cancelTopMenuItem", "copyToAppMenuItem",
                           "copyToPasteboardMenuItem", "deleteMenuItem", "markTopMenuItem"}));
    EXPECT_EQ(list.view->copyToAppMenuItem->text(),
              L("Category.List.Menu.CopyToApp").arg(ShellHarness::editor().localizedName));

    list.view->prepareRowMenu(int(list.texts().indexOf(QStringLiteral("https://example.com/page"))));
    EXPECT_TRUE(list.view->editTextMenuItem->isVisible());
    EXPECT_TRUE(list.view->openViaBrowserMenuItem->isVisible());
    EXPECT_FALSE(list.view->cancelTopMenuItem->isVisible());
    TaviSettings::shared().setAlwaysCopyPlainText(true);

    // Several rows: only the entries for many items, and no category submenu without categories.
    list.view->itemsTableView->selectAll();
    list.view->prepareRowMenu(0);
    EXPECT_EQ(visibleEntries(list.view),
              QStringList({"copyToAppMenuItem", "copyToPasteboardMenuItem", "deleteMenuItem"}));
    addCustomCategory(shell, QStringLiteral("Work"));
    list.view->prepareRowMenu(0);
    EXPECT_TRUE(list.view->addToCategoryMenuItem->isVisible());
    EXPECT_EQ(list.view->addToCategoryMenuItem->menu(), list.view->addToCategorySubmenu);
}

TEST(HistoryRowMenu, ImagesOfferRecognitionAndNoFileManager)
{
    ShellHarness shell;
    ListWindow list(shell, {});
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    copyImage(shell, pngOf(image));
    list.settle();
    ASSERT_EQ(list.view->numberOfRows(), 1);
    list.view->prepareRowMenu(0);
    EXPECT_TRUE(list.view->imageOCRMenuItem->isVisible());
    EXPECT_FALSE(list.view->openInFinderMenuItem->isVisible());
    EXPECT_FALSE(list.view->editTextMenuItem->isVisible());
}

TEST(HistoryRowMenu, ActsOnTheItemsTakenWhenItOpenedEvenAfterTheListWasReadAgain)
{
    ShellHarness shell;
    ListWindow list(shell, {"older", "clicked"});
    list.view->prepareRowMenu(0);
    ASSERT_EQ(list.textAt(0), QStringLiteral("clicked"));
    // While the menu is open another copy arrives and the rows move down.
    shell.copyText(QStringLiteral("arrived"));
    list.settle();
    ASSERT_EQ(list.textAt(0), QStringLiteral("arrived"));
    list.view->copyToPasteboardMenuItem->trigger();
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("clicked"));
    list.view->deleteMenuItem->trigger();
    list.settle();
    EXPECT_TRUE(shell.item(QStringLiteral("clicked")).uuid().isNull());
    EXPECT_FALSE(shell.item(QStringLiteral("arrived")).uuid().isNull());
    EXPECT_FALSE(shell.item(QStringLiteral("older")).uuid().isNull());

    // An item deleted by another window meanwhile: the menu's actions do nothing with it.
    list.view->prepareRowMenu(0);
    shell.manager->deleteItem(shell.item(QStringLiteral("arrived")));
    list.settle();
    const int writes = shell.pasteboard.writeCount();
    list.view->markTopMenuItem->trigger();
    list.view->deleteMenuItem->trigger();
    list.settle();
    EXPECT_EQ(shell.manager->itemCount(), 1);
    EXPECT_LE(shell.pasteboard.writeCount(), writes + 1);
}

TEST(HistoryRowMenu, CopyAndPasteOfSeveralRowsStartAtTheBottomMostRow)
{
    ShellHarness shell;
    shell.makeDelegate();
    ListWindow list(shell, {"c", "b", "a"});
    list.view->itemsTableView->selectAll();
    list.view->prepareRowMenu(1);
    list.view->copyToPasteboardMenuItem->trigger();
    const QList<PasteboardItem> written = shell.pasteboard.contents();
    // The selection goes to the store bottom-up; the clipboard gets it in the list's order.
    ASSERT_EQ(written.size(), 3);
    EXPECT_EQ(written.first().string(PasteboardType::string), QStringLiteral("a"));
    EXPECT_EQ(written.last().string(PasteboardType::string), QStringLiteral("c"));
    EXPECT_EQ(shell.keys->pasteKeystrokeCount(), 0);

    // Paste into the previous program sends the keystroke whatever the quick-paste setting says.
    TaviSettings::shared().setQuickPasteEnable(false);
    list.view->itemsTableView->selectRowAlone(2);
    list.view->prepareRowMenu(2);
    list.view->copyToAppMenuItem->trigger();
    list.settle();
    EXPECT_EQ(shell.clipboardText(), QStringLiteral("c"));
    EXPECT_EQ(shell.keys->pasteKeystrokeCount(), 1);
}

TEST(HistoryRowMenu, DeletingSeveralRowsTakesThemOutInOneGo)
{
    ShellHarness shell;
    ListWindow list(shell, {"d", "c", "b", "a"});
    QItemSelectionModel *selection = list.view->itemsTableView->selectionModel();
    selection->select(list.view->model->index(1), QItemSelectionModel::Select);
    selection->select(list.view->model->index(3), QItemSelectionModel::Select);
    int clears = 0;
    ObserverBag observers;
    observers.observe(NotificationName::historyItemsDidClear, [&clears](const Notification &) { ++clears; });
    list.view->prepareRowMenu(1);
    list.view->deleteMenuItem->trigger();
    // The rows go at once; the store follows off the GUI thread with one announcement.
    EXPECT_EQ(list.view->numberOfRows(), 2);
    EXPECT_TRUE(waitUntil([&] { return shell.manager->itemCount() == 2 && clears == 1; }));
    list.settle();
    EXPECT_TRUE(waitUntil([&] { return !list.view->isLoading() && list.texts() == QStringList({"a", "c"}); }));
}

TEST(HistoryRowMenu, DeletingASelectionBeyondThePagesReadTakesExactlyThoseItems)
{
    ShellHarness shell;
    const QStringList texts = numberedTexts(QStringLiteral("row"), 180);
    ListWindow list(shell, texts);
    // Newest first, as listed; read from what was copied, so no page is asked for.
    QStringList shown = texts;
    std::reverse(shown.begin(), shown.end());
    // The first page shows first, the count follows.
    ASSERT_TRUE(waitUntil([&] { return list.view->numberOfRows() == shown.size(); }));
    // One row near the top and a run far below it, whose pages were never read.
    QItemSelectionModel *selection = list.view->itemsTableView->selectionModel();
    selection->select(list.view->model->index(2), QItemSelectionModel::Select);
    selection->select(QItemSelection(list.view->model->index(110), list.view->model->index(169)),
                      QItemSelectionModel::Select);
    QStringList expected = shown;
    expected.remove(110, 60);
    expected.removeAt(2);
    int clears = 0;
    ObserverBag observers;
    observers.observe(NotificationName::historyItemsDidClear, [&clears](const Notification &) { ++clears; });
    list.view->deleteSelectedItems();
    EXPECT_EQ(list.view->numberOfRows(), expected.size());
    EXPECT_TRUE(waitUntil([&] { return clears == 1; }));
    EXPECT_EQ(shell.manager->itemCount(), expected.size());
    list.settle();
    EXPECT_TRUE(waitUntil([&] { return !list.view->isLoading() && list.texts() == expected; }));
}

TEST(HistoryRowMenu, TheCategorySubmenuCarriesIdsAndIgnoresACategoryRemovedMeanwhile)
{
    ShellHarness shell;
    ListWindow list(shell, {"b", "a"});
    const PBCategory work = addCustomCategory(shell, QStringLiteral("Work"));
    const PBCategory gone = addCustomCategory(shell, QStringLiteral("Gone"));
    list.view->itemsTableView->selectAll();
    list.view->prepareRowMenu(0);
    const QList<QAction *> entries = list.view->addToCategorySubmenu->actions();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries.at(1)->data().toString(), gone.id());

    shell.categories->deleteCategory(gone);
    entries.at(1)->trigger();
    list.settle();
    for (const PBItem &item : shell.manager->getAllItems())
        EXPECT_EQ(item.categories().size(), 2) << "an item was filed under a removed category";

    list.view->itemsTableView->selectAll();
    list.view->prepareRowMenu(0);
    list.view->addToCategorySubmenu->actions().at(0)->trigger();
    list.settle();
    for (const PBItem &item : shell.manager->getAllItems())
        EXPECT_TRUE(std::any_of(item.categories().cbegin(), item.categories().cend(),
                                [&](const PBCategory &c) { return c.id() == work.id(); }));
}

TEST(HistoryRowMenu, OpeningAnOpenNoteBringsItsEditorForward)
{
    ShellHarness shell;
    const PBItem note = shell.manager->addNote(QStringLiteral("Plan"), QStringLiteral("body"));
    ListWindow list(shell, {}, PBDefaultCategory::note);
    ASSERT_EQ(list.view->numberOfRows(), 1);
    list.view->prepareRowMenu(0);
    EXPECT_TRUE(list.view->openmenuItem->isVisible());
    list.view->openmenuItem->trigger();
    list.view->openNoteWindow(note);
    ASSERT_EQ(list.view->noteWindows().size(), 1);
    CategoryNoteWindowController *editor = list.view->noteWindows().first();
    EXPECT_EQ(editor->noteContentTextView->toPlainText(), QStringLiteral("body"));
    editor->close();
    list.settle();
    EXPECT_TRUE(waitUntil([&] { return list.view->noteWindows().isEmpty(); }));
}

TEST(HistoryListToolbar, SortAndOrderChangeTheList)
{
    ShellHarness shell;
    TaviSettings &settings = TaviSettings::shared();
    settings.setTextSortType(TextSorter::defaultOrder);
    settings.setTextOrderAscending(false);
    ListWindow list(shell, {"b", "c", "a"}, PBDefaultCategory::text);
    EXPECT_EQ(list.texts(), QStringList({"a", "c", "b"}));
    list.view->handleTextSortTypeMenuChange(int(TextSorter::title));
    list.settle();
    EXPECT_EQ(settings.textSortType(), TextSorter::title);
    list.view->orderBtn->click();
    list.settle();
    EXPECT_TRUE(settings.textOrderAscending());
    EXPECT_EQ(list.texts(), QStringList({"a", "b", "c"}));
    list.view->handleTextSortTypeMenuChange(9);
    EXPECT_EQ(settings.textSortType(), TextSorter::title);

    // A stored value outside the menu checks its first entry.
    Defaults::standard().setValue(QStringLiteral("textSortType"), 7);
    list.view->updateSortMenus();
    EXPECT_TRUE(list.view->textSortTypeMenu->actions().at(0)->isChecked());
    EXPECT_FALSE(list.view->textSortTypeMenu->actions().at(2)->isChecked());

    // A link list keeps no order of its own; the button still reads the rows again.
    list.open(kindCategory(shell, PBDefaultCategory::link));
    list.view->orderBtn->setVisible(true);
    list.view->orderBtn->click();
    EXPECT_TRUE(list.view->isLoading());
    list.settle();
    EXPECT_TRUE(settings.textOrderAscending());
    settings.setTextSortType(TextSorter::defaultOrder);
    settings.setTextOrderAscending(false);
}

TEST(HistoryListToolbar, LockStarAndTextStyle)
{
    ShellHarness shell;
    RecordedEvents events;
    const PBCategory work = addCustomCategory(shell, QStringLiteral("Work"));
    ListWindow list(shell, {"one"}, PBDefaultCategory::text);
    list.view->lockBtn->click();
    EXPECT_FALSE(list.view->trashBtn->isEnabled());
    EXPECT_TRUE(shell.categories->categoryWithId(list.view->category->id())->isLocked());
    // Unlocking clears the active category, whichever it was.
    shell.categories->setActiveCategory(work);
    list.view->lockBtn->click();
    EXPECT_TRUE(list.view->trashBtn->isEnabled());
    EXPECT_FALSE(shell.categories->activeCategory().has_value());

    list.view->textStyleBtn->setChecked(false);
    list.view->textStyleBtn->click();
    EXPECT_FALSE(TaviSettings::shared().alwaysCopyPlainText());
    EXPECT_EQ(events.named(QStringLiteral("Text_Style")).last().properties.value(QStringLiteral("UsingPlainText")),
              QStringLiteral("false"));
    list.view->textStyleBtn->click();
    EXPECT_TRUE(TaviSettings::shared().alwaysCopyPlainText());

    list.open(work);
    list.view->activeBtn->click();
    EXPECT_EQ(shell.categories->activeCategory()->id(), work.id());
    list.view->activeBtn->click();
    EXPECT_FALSE(shell.categories->activeCategory().has_value());
}

TEST(HistoryListToolbar, ClearingAUserCategoryRemovesItsItemsAndAnnouncesOnTheMainThread)
{
    ShellHarness shell;
    const PBCategory work = addCustomCategory(shell, QStringLiteral("Work"));
    ListWindow list(shell, {"keep", "filed one", "filed two"});
    shell.manager->addItems({shell.item(QStringLiteral("filed one")), shell.item(QStringLiteral("filed two"))}, work);
    list.open(work);
    ASSERT_EQ(list.view->numberOfRows(), 2);
    QThread *announcedOn = nullptr;
    ObserverBag observers;
    observers.observe(NotificationName::historyItemsDidClear,
                      [&announcedOn](const Notification &) { announcedOn = QThread::currentThread(); });
    {
        Answering no(ModalResponse::alertSecondButtonReturn);
        list.view->trashBtn->click();
        EXPECT_EQ(no.askedDestructively, QStringList{L("Category.Alert.CategoryItemsClear.message")});
    }
    list.settle();
    EXPECT_EQ(shell.manager->itemCount(), 3);
    Answering yes(ModalResponse::alertFirstButtonReturn);
    list.view->trashBtn->click();
    EXPECT_TRUE(waitUntil([&] { return announcedOn != nullptr; }));
    EXPECT_EQ(announcedOn, QApplication::instance()->thread());
    EXPECT_EQ(shell.manager->itemCount(), 1);
    EXPECT_FALSE(shell.item(QStringLiteral("keep")).uuid().isNull());
}

TEST(HistoryListToolbar, ClearingDuringASearchDeletesExactlyItsMatches)
{
    ShellHarness shell;
    ListWindow list(shell, {"apple pie", "banana", "apple tart", "cherry", "apple juice", "kiwi"});
    QTest::keyClicks(list.view->itemSearchTextfield, QStringLiteral("apple"));
    list.settle();
    ASSERT_EQ(list.view->numberOfRows(), 3);
    Answering yes(ModalResponse::alertFirstButtonReturn);
    list.view->trashBtn->click();
    EXPECT_EQ(yes.askedDestructively, QStringList{L("Category.Alert.CategoryFilterItemsClear.message")});
    EXPECT_TRUE(waitUntil([&] { return shell.manager->itemCount() == 3; }));
    EXPECT_TRUE(shell.item(QStringLiteral("apple tart")).uuid().isNull());
    EXPECT_FALSE(shell.item(QStringLiteral("kiwi")).uuid().isNull());
}

TEST(TextRecognition, RecognisesRenderedTextIntoTheResultSheet)
{
    ShellHarness shell;
    TaviSettings::setSelectedOCRLanguage(QStringLiteral("en-US"));
    ListWindow list(shell, {});
    copyImage(shell, pngOf(renderedText({QStringLiteral("Hello Clipboard"), QStringLiteral("Second Line 42")})));
    list.settle();
    list.view->prepareRowMenu(0);
    list.view->imageOCRMenuItem->trigger();
    auto *sheet = openSheet<ImageOCRResultVC>(list);
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(waitUntil([&] { return !sheet->isWaiting(); }, 30000));
    EXPECT_EQ(sheet->resultTextView->toPlainText(), QStringLiteral("Hello Clipboard\nSecond Line 42"));
    sheet->close();
}

TEST(TextRecognition, APageScannedAt600DpiIsRecognisedAndQtsImageLimitIsPutBack)
{
    ShellHarness shell;
    TaviSettings::setSelectedOCRLanguage(QStringLiteral("en-US"));
    ListWindow list(shell, {});
    // 7000 x 7000 pixels: 196 MB decoded, over the 128 MB Qt allows an image by default.
    QImage page(7000, 7000, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(100);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(600, 900, QStringLiteral("Quarterly Report"));
        painter.drawText(600, 1100, QStringLiteral("Scanned Page 42"));
    }
    const int limit = QImageReader::allocationLimit();
    ASSERT_LT(qint64(limit) << 20, qint64(page.sizeInBytes()));
    copyImage(shell, pngOf(page));
    list.settle();
    list.view->prepareRowMenu(0);
    Answering ok(ModalResponse::alertFirstButtonReturn);
    list.view->imageOCRMenuItem->trigger();
    auto *sheet = openSheet<ImageOCRResultVC>(list);
    ASSERT_TRUE(sheet);
    const QPointer<ImageOCRResultVC> shown(sheet);
    EXPECT_TRUE(waitUntil([&] { return !ok.asked.isEmpty() || (shown && !shown->isWaiting()); }, 90000));
    EXPECT_EQ(ok.asked, QStringList());
    ASSERT_TRUE(shown);
    EXPECT_EQ(sheet->resultTextView->toPlainText(), QStringLiteral("Quarterly Report\nScanned Page 42"));
    sheet->close();
    // Raised only while the recognition read the image.
    EXPECT_EQ(QImageReader::allocationLimit(), limit);
    QBuffer buffer;
    const QByteArray png = pngOf(page);
    buffer.setData(png);
    EXPECT_TRUE(QImageReader(&buffer).read().isNull());
}

TEST(TextRecognition, UnreadableTinyAndBlankImagesTellTheUser)
{
    ShellHarness shell;
    TaviSettings::setSelectedOCRLanguage(QStringLiteral("en-US"));
    ListWindow list(shell, {});
    Answering ok(ModalResponse::alertFirstButtonReturn);
    QImage dot(1, 1, QImage::Format_RGB32);
    dot.fill(Qt::white);
    copyImage(shell, pngOf(dot));
    list.settle();
    list.view->prepareRowMenu(0);
    list.view->imageOCRMenuItem->trigger();
    EXPECT_TRUE(waitUntil([&] { return !ok.asked.isEmpty(); }, 30000));
    EXPECT_EQ(ok.asked.value(0), L("Alert.OCR.Msg.NotFound"));

    copyImage(shell, QByteArray("\x89PNG\r\n\x1a\n not really", 20));
    list.settle();
    list.view->prepareRowMenu(0);
    list.view->imageOCRMenuItem->trigger();
    EXPECT_TRUE(waitUntil([&] { return ok.asked.size() == 2; }, 30000));
    EXPECT_EQ(ok.asked.value(1), L("Alert.OCR.Msg.Unreadable"));
    EXPECT_FALSE(list.window.findChild<ImageOCRResultVC *>()
                 && list.window.findChild<ImageOCRResultVC *>()->isVisible());
}

TEST(HistoryListToolbar, ANewNoteWrittenInTheEditorIsListedAndSurvivesARestart)
{
    ShellHarness shell;
    {
        ListWindow list(shell, {}, PBDefaultCategory::note);
        list.view->noteAddBtn->click();
        ASSERT_EQ(list.view->noteWindows().size(), 1);
        CategoryNoteWindowController *editor = list.view->noteWindows().first();
        QApplication::setActiveWindow(editor);
        QTest::keyClicks(editor->noteTitleTextfield, QStringLiteral("Groceries"));
        QTest::keyClicks(editor->noteContentTextView, QStringLiteral("milk, bread"));
        QTest::keyClick(editor->noteContentTextView, Qt::Key_S, Qt::ControlModifier);
        EXPECT_TRUE(waitUntil([&] { return list.view->noteWindows().isEmpty(); }));
        list.settle();
        EXPECT_EQ(list.texts(), QStringList{QStringLiteral("Groceries")});
    }

    ASSERT_TRUE(shell.manager->saveNow());
    shell.manager.reset();
    shell.categories.reset();
    CoreDataStack::resetShared();
    shell.categories = std::make_unique<PBCategoryManager>(CoreDataStack::shared().managedContext());
    shell.manager = std::make_unique<TaviPBManager>(shell.pasteboard, shell.workspace, *shell.categories);
    const QList<PBItem> items = shell.manager->getAllItems();
    ASSERT_EQ(items.size(), 1);
    ASSERT_TRUE(items.first().dataProvider() && items.first().dataProvider()->is<PBNoteItemProvider>());
    EXPECT_EQ(items.first().dataProvider()->as<PBNoteItemProvider>()->body(), QStringLiteral("milk, bread"));
}

TEST(HistoryListWindows, SheetsAndTheNoteEditorOpenBesideTheListClearOfTheBar)
{
    ShellHarness shell;
    TaviSettings::setSelectedOCRLanguage(QStringLiteral("en-US"));
    ListWindow list(shell, {});
    copyImage(shell, pngOf(renderedText({QStringLiteral("Hello")})));
    shell.copyText(QStringLiteral("some text"));
    list.settle();
    ASSERT_EQ(list.view->numberOfRows(), 2);
    const QRect screen = list.window.screen()->availableGeometry();
    QWidget bar;
    bar.show();
    for (const bool right : {false, true}) {
        const QRect strip = right ? QRect(screen.right() - 59, screen.top(), 60, screen.height())
                                  : QRect(screen.left(), screen.top(), 60, screen.height());
        DockWindow::setReservedArea(&bar, strip);
        list.window.resize(300, 400);
        list.window.move(right ? strip.left() - 300 : strip.right() + 1, screen.top() + 40);
        const QRect listFrame = list.window.frameGeometry();
        const auto expectBeside = [&](QWidget *opened, const char *what) {
            ASSERT_TRUE(opened) << what;
            const QRect frame = opened->frameGeometry();
            EXPECT_FALSE(frame.intersects(strip)) << what;
            EXPECT_TRUE(screen.contains(frame)) << what;
            // Beside the list where there is room for it, else as far to that side as the screen allows
            // (less what the window manager's frame may take).
            const int room = right ? listFrame.left() - screen.left() : screen.right() - listFrame.right();
            if (frame.width() < room)
                EXPECT_TRUE(right ? frame.right() < listFrame.left() : frame.left() > listFrame.right()) << what;
            else
                EXPECT_NEAR(right ? frame.left() : frame.right(), right ? screen.left() : screen.right(), 8) << what;
            // The preview that would stand in its place is closed.
            EXPECT_FALSE(list.view->contentPopover()->isVisible()) << what;
            opened->close();
            list.settle();
        };
        list.view->itemsTableView->selectRowAlone(0);
        list.view->prepareRowMenu(0);
        list.view->editTextMenuItem->trigger();
        expectBeside(openSheet<TextEditViewController>(list), "edit");
        list.view->prepareRowMenu(1);
        list.view->imageOCRMenuItem->trigger();
        ImageOCRResultVC *recognised = openSheet<ImageOCRResultVC>(list);
        ASSERT_TRUE(recognised);
        EXPECT_TRUE(waitUntil([&] { return !recognised->isWaiting(); }, 30000));
        expectBeside(recognised, "recognised text");
        list.view->addNoteAction();
        ASSERT_EQ(list.view->noteWindows().size(), 1);
        expectBeside(list.view->noteWindows().first(), "note");
        EXPECT_TRUE(waitUntil([&] { return list.view->noteWindows().isEmpty(); }));
    }
    DockWindow::setReservedArea(&bar, {});
}
