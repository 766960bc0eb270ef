// The history list's row menu and the actions on its items.

#include "history/CategoryListViewController.h"

#include "core/Alert.h"
#include "core/PBCategoryManager.h"
#include "core/PBFileItemProvider.h"
#include "core/PBImageItemProvider.h"
#include "core/TaviSettings.h"
#include "history/CategoryListModel.h"
#include "history/CategoryListPreview.h"
#include "history/CategoryListTableView.h"
#include "history/CategoryNoteWindowController.h"
#include "history/CategoryWindowController.h"
#include "history/CustomCategoryPickViewController.h"
#include "history/ItemActions.h"
#include "history/ItemSheets.h"
#include "history/PasteRoutine.h"
#include "history/PreviewPopover.h"
#include "platform/Analytics.h"
#include "platform/DispatchQueue.h"
#include "platform/FileManager.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "platform/TextRecognizer.h"
#include "platform/Workspace.h"
#include "shell/AppDelegate.h"
#include "shell/SearchHUDIntroWindowController.h"
#include "shell/ShellSeams.h"

#include <QMenu>

#include <algorithm>

namespace {

QAction *addEntry(QMenu *menu, const char *objectName, const char *titleKey)
{
    QAction *action = menu->addAction(L(titleKey));
    action->setObjectName(QString::fromLatin1(objectName));
    return action;
}

QString kindName(const std::optional<PBCategory> &category)
{
    return rawValue(category ? category->type() : PBDefaultCategory::unknown);
}

} // namespace

void CategoryListViewController::setupRowMenu()
{
    QMenu *menu = rightClickMenu;
    copyToPasteboardMenuItem = addEntry(menu, "copyToPasteboardMenuItem", "Category.List.Menu.Copy");
    copyToAppMenuItem = addEntry(menu, "copyToAppMenuItem", "Category.List.Menu.Paste");
    menu->addSeparator();
    markTopMenuItem = addEntry(menu, "markTopMenuItem", "Category.List.Menu.MarkTop");
    cancelTopMenuItem = addEntry(menu, "cancelTopMenuItem", "Category.List.Menu.CancelTop");
    editTextMenuItem = addEntry(menu, "editTextMenuItem", "Category.List.Menu.EditText");
    addCommentMenuItem = addEntry(menu, "addCommentMenuItem", "Category.List.Menu.AddComment");
    addToCategoryMenuItem = addEntry(menu, "addToCategoryMenuItem", "Category.List.Menu.AddToCategory");
    menu->addSeparator();
    openmenuItem = addEntry(menu, "openmenuItem", "Category.List.Menu.Open");
    openInFinderMenuItem = addEntry(menu, "openInFinderMenuItem", "Category.List.Menu.OpenInFinder");
    openViaBrowserMenuItem = addEntry(menu, "openViaBrowserMenuItem", "Category.List.Menu.OpenViaBrowser");
    sendEmailMenuItem = addEntry(menu, "sendEmailMenuItem", "Category.List.Menu.SendEmail");
    imageOCRMenuItem = addEntry(menu, "imageOCRMenuItem", "Category.List.Menu.OCR");
    menu->addSeparator();
    deleteMenuItem = addEntry(menu, "deleteMenuItem", "Category.List.Menu.Delete");
    addToCategorySubmenu = new QMenu(this);
    addToCategorySubmenu->setObjectName(QStringLiteral("addToCategorySubmenu"));

    connect(markTopMenuItem, &QAction::triggered, this, [this] { markAsTop(true); });
    connect(cancelTopMenuItem, &QAction::triggered, this, [this] { markAsTop(false); });
    connect(editTextMenuItem, &QAction::triggered, this, &CategoryListViewController::editTextMenuItemAction);
    connect(openInFinderMenuItem, &QAction::triggered, this, &CategoryListViewController::openInFinderMenuItemAction);
    connect(openmenuItem, &QAction::triggered, this, [this] {
        if (m_menuTarget.clickedItem)
            openNoteWindow(*m_menuTarget.clickedItem);
    });
    connect(copyToPasteboardMenuItem, &QAction::triggered, this,
            &CategoryListViewController::copyToPasteMenuItemAction);
    connect(copyToAppMenuItem, &QAction::triggered, this, &CategoryListViewController::copyToAppMenuItemAction);
    connect(deleteMenuItem, &QAction::triggered, this, &CategoryListViewController::deleteMenuItemAction);
    connect(addToCategoryMenuItem, &QAction::triggered, this, [this] {
        if (!m_menuTarget.several && m_menuTarget.clickedRow >= 0)
            showCategoryPicker(m_menuTarget.clickedRow);
    });
    connect(openViaBrowserMenuItem, &QAction::triggered, this,
            &CategoryListViewController::openViaBrowserMenuItemAction);
    connect(addCommentMenuItem, &QAction::triggered, this, &CategoryListViewController::addCommentMenuItemAction);
    connect(sendEmailMenuItem, &QAction::triggered, this, &CategoryListViewController::sendEmailMenuItemAction);
    connect(imageOCRMenuItem, &QAction::triggered, this, &CategoryListViewController::imageOCRMenuItemAction);
    connect(addToCategorySubmenu, &QMenu::triggered, this,
            [this](QAction *entry) { handleAddToCustomCategory(entry->data().toString()); });
}

// --- Opening the menu

void CategoryListViewController::prepareRowMenu(int clickedRow)
{
    m_menuTarget = MenuTarget();
    m_menuTarget.clickedRow = clickedRow >= 0 && clickedRow < numberOfRows() ? clickedRow : -1;
    if (m_menuTarget.clickedRow >= 0) {
        const PBItem item = itemAt(m_menuTarget.clickedRow);
        if (item.uuid().isNull())
            m_menuTarget.clickedRow = -1;
        else
            m_menuTarget.clickedItem = item;
    }
    m_menuTarget.several = itemsTableView->selectedRows().size() >= 2;
    if (m_menuTarget.several)
        m_menuTarget.selectedBottomUp = selectedItemsBottomUp();
    menuNeedsUpdate();
    menuWillOpen();
}

QList<PBItem> CategoryListViewController::menuItems() const
{
    if (m_menuTarget.several)
        return m_menuTarget.selectedBottomUp;
    if (m_menuTarget.clickedItem)
        return {*m_menuTarget.clickedItem};
    return {};
}

void CategoryListViewController::menuNeedsUpdate()
{
    const QList<QAction *> entries{markTopMenuItem,      cancelTopMenuItem, editTextMenuItem,
                                   openInFinderMenuItem, openmenuItem,      copyToPasteboardMenuItem,
                                   copyToAppMenuItem,    deleteMenuItem,    openViaBrowserMenuItem,
                                   addCommentMenuItem,   sendEmailMenuItem, imageOCRMenuItem};
    if (!m_menuTarget.clickedItem) {
        for (QAction *entry : entries)
            entry->setVisible(false);
        return;
    }
    deleteMenuItem->setVisible(true);
    copyToPasteboardMenuItem->setVisible(true);
    const AppDelegate *delegate = AppDelegate::shared();
    const bool previous =
        delegate && delegate->lastActiveApplication && !delegate->lastActiveApplication->localizedName.isEmpty();
    copyToAppMenuItem->setVisible(previous);
    if (previous)
        copyToAppMenuItem->setText(
            L("Category.List.Menu.CopyToApp").arg(delegate->lastActiveApplication->localizedName));

    if (m_menuTarget.several) {
        for (QAction *entry : {openInFinderMenuItem, openmenuItem, openViaBrowserMenuItem, markTopMenuItem,
                               cancelTopMenuItem, editTextMenuItem, addCommentMenuItem, imageOCRMenuItem})
            entry->setVisible(false);
        const QList<PBItem> &selected = m_menuTarget.selectedBottomUp;
        sendEmailMenuItem->setVisible(!selected.isEmpty()
                                      && std::all_of(selected.cbegin(), selected.cend(), [](const PBItem &item) {
                                             const auto primary = item.primaryCategory();
                                             return primary && primary->type() == PBDefaultCategory::email;
                                         }));
        return;
    }
    const PBItem &item = *m_menuTarget.clickedItem;
    const PBDefaultCategory kind = ItemActions::kindOf(item);
    const bool known = kind != PBDefaultCategory::unknown;
    markTopMenuItem->setVisible(true);
    cancelTopMenuItem->setVisible(item.isSticky());
    addCommentMenuItem->setVisible(true);
    openmenuItem->setVisible(kind == PBDefaultCategory::note);
    // Only a file has a place to show; a copied image has none.
    openInFinderMenuItem->setVisible(kind == PBDefaultCategory::file);
    openViaBrowserMenuItem->setVisible(kind == PBDefaultCategory::link);
    editTextMenuItem->setVisible(known
                                 && ((kind == PBDefaultCategory::text && TaviSettings::shared().alwaysCopyPlainText())
                                     || kind == PBDefaultCategory::link));
    imageOCRMenuItem->setVisible(kind == PBDefaultCategory::image);
    sendEmailMenuItem->setVisible(kind == PBDefaultCategory::email);
}

void CategoryListViewController::menuWillOpen()
{
    addToCategorySubmenu->clear();
    if (!m_menuTarget.several) {
        addToCategoryMenuItem->setVisible(m_menuTarget.clickedItem.has_value());
        addToCategoryMenuItem->setMenu(nullptr);
        return;
    }
    const QList<PBCategory> custom = manager.categoryManager().customCategories();
    addToCategoryMenuItem->setVisible(!custom.isEmpty());
    if (custom.isEmpty()) {
        addToCategoryMenuItem->setMenu(nullptr);
        return;
    }
    for (const PBCategory &category : custom) {
        QAction *entry = addToCategorySubmenu->addAction(category.name());
        entry->setData(category.id());
    }
    addToCategoryMenuItem->setMenu(addToCategorySubmenu);
}

// --- Copying and pasting

void CategoryListViewController::copyToPasteMenuItemAction()
{
    const QList<PBItem> items = menuItems();
    if (items.isEmpty() || !category)
        return;
    if (!manager.copy(items, category))
        return;
    const int count = int(items.size());
    MainQueue::async([count] {
        if (AppDelegate *delegate = AppDelegate::shared())
            delegate->showFeedback(OperationType::paste, false, count);
    });
}

void CategoryListViewController::copyToAppMenuItemAction()
{
    const QList<PBItem> items = menuItems();
    if (items.isEmpty() || !category)
        return;
    PasteRoutine::paste(manager, items, category, PasteRoutine::Feedback::scheduled, PasteRoutine::Keystroke::always);
}

void CategoryListViewController::categoryListItemDoubleClickAction(int clickedRow)
{
    if (!category)
        return;
    QList<PBItem> items;
    if (itemsTableView->selectedRows().size() >= 2) {
        items = selectedItemsBottomUp();
    } else {
        const PBItem item = clickedRow >= 0 ? itemAt(clickedRow) : PBItem();
        if (item.uuid().isNull())
            return;
        items = {item};
    }
    PasteRoutine::paste(manager, items, category, PasteRoutine::Feedback::immediate);
    Analytics::trackEvent(QStringLiteral("DoubleClick_Copy"), {{QStringLiteral("type"), kindName(category)}});
    if (AppDelegate *delegate = AppDelegate::shared()) {
        if (SearchHUDIntroWindowController *tip = delegate->searchTipWC())
            tip->showIfNeeded();
    }
    const QPointer<CategoryListViewController> self(this);
    MainQueue::asyncAfter(std::chrono::milliseconds(500), [self] {
        if (self)
            self->closePreview();
    });
}

// --- Deleting

void CategoryListViewController::deleteMenuItemAction()
{
    if (!m_menuTarget.clickedItem)
        return;
    if (m_menuTarget.several) {
        deleteItems(m_menuTarget.selectedBottomUp);
        return;
    }
    const PBItem item = *m_menuTarget.clickedItem;
    manager.deleteItem(item);
    // The row the item is in now: the list may have been read again while the menu was open.
    const int row = model->rowOf(item.uuid());
    if (row >= 0) {
        itemsTableView->selectionModel()->select(model->index(row), QItemSelectionModel::Deselect);
        model->removeRowAt(row);
    }
    const QPointer<CategoryListViewController> self(this);
    MainQueue::asyncAfter(kReloadAfterDelete, [self] {
        if (self)
            self->reloadItems();
    });
}

// --- Pinning, text, comment

void CategoryListViewController::markAsTop(bool sticky)
{
    if (!m_menuTarget.clickedItem)
        return;
    const QPointer<CategoryListViewController> self(this);
    manager.stickItem(*m_menuTarget.clickedItem, sticky, [self] {
        MainQueue::async([self] {
            if (self)
                self->reloadItems();
        });
    });
}

void CategoryListViewController::editTextMenuItemAction()
{
    if (!m_menuTarget.clickedItem)
        return;
    // The list holds only the head of a long text: the sheet gets the whole of it.
    const PBItem listed = *m_menuTarget.clickedItem;
    const QPointer<CategoryListViewController> self(this);
    TaviPBManager *store = &manager;
    model->readAsync([self, store, listed] {
        bool failed = false;
        const PBItem full = store->loadFullItem(listed, &failed);
        MainQueue::async([self, full, failed] {
            if (!self || failed)
                return;
            auto *sheet = new TextEditViewController(self->manager, self->window());
            sheet->setItem(full);
            sheet->textDidEdit = [self] {
                if (self)
                    self->reloadItems();
            };
            self->placeBesideList(sheet);
            sheet->open();
        });
    });
}

void CategoryListViewController::addCommentMenuItemAction()
{
    if (!m_menuTarget.clickedItem)
        return;
    auto *sheet = new AddCommentVC(manager, window());
    sheet->setItem(*m_menuTarget.clickedItem);
    const QPointer<CategoryListViewController> self(this);
    sheet->didAddComment = [self] {
        if (self)
            self->reloadItems();
    };
    sheet->open();
}

// --- Handing items to the desktop

void CategoryListViewController::openInFinderMenuItemAction()
{
    if (!m_menuTarget.clickedItem || !m_menuTarget.clickedItem->dataProvider())
        return;
    if (const auto *file = m_menuTarget.clickedItem->dataProvider()->as<PBFileItemProvider>())
        FileManager::showItem(file->url().toLocalFile());
}

void CategoryListViewController::openViaBrowserMenuItemAction()
{
    if (!m_menuTarget.clickedItem)
        return;
    const auto &provider = m_menuTarget.clickedItem->dataProvider();
    const std::optional<QUrl> url = ItemActions::browserUrl(provider ? provider->representedText() : QString());
    if (!url) {
        LOG_INFO("openViaBrowserMenuItemAction(_:)", QStringLiteral("A link that is not a web link is not opened"));
        showAlert(L("Category.Alert.Tips.title"), L("Actions.Browser.NotWebLink"), L("Note.Alert.confirm"));
        return;
    }
    Workspace::shared().openUrl(*url);
}

void CategoryListViewController::sendEmailMenuItemAction()
{
    if (!m_menuTarget.clickedItem)
        return;
    QList<PBItem> items = menuItems();
    // Addressed top to bottom.
    std::reverse(items.begin(), items.end());
    QStringList recipients;
    for (const PBItem &item : items) {
        if (item.dataProvider())
            recipients.append(item.dataProvider()->representedText());
    }
    const std::optional<QUrl> mailto = ItemActions::mailtoUrl(recipients);
    if (!mailto) {
        showAlert(L("Category.Alert.Tips.title"), L("Actions.Email.NoAddress"), L("Note.Alert.confirm"));
        return;
    }
    if (!Workspace::shared().openUrl(*mailto))
        LOG_WARNING("sendEmailMenuItemAction(_:)", QStringLiteral("No mail program opened the message"));
}

// --- Text recognition

void CategoryListViewController::showOcrAlert(const char *messageKey)
{
    showAlert(L("Category.Alert.Tips.title"), L(messageKey), L("Note.Alert.confirm"));
}

void CategoryListViewController::imageOCRMenuItemAction()
{
    if (!m_menuTarget.clickedItem || !m_menuTarget.clickedItem->dataProvider()
        || !m_menuTarget.clickedItem->dataProvider()->is<PBImageItemProvider>())
        return;
    QStringList languages;
    const QString selected = TaviSettings::selectedOCRLanguage();
    const auto &table = TaviUserDefaults::ocrRecognitionLanguages();
    languages = table.contains(selected) ? table.value(selected) : QStringList{selected, QStringLiteral("en-US")};
    const QStringList data = TextRecognizer::installedDataNames(languages);
    if (data.isEmpty()) {
        showOcrAlert("Alert.OCR.Msg.Failed");
        return;
    }

    auto *sheet = new ImageOCRResultVC(manager.pasteboard(), window());
    placeBesideList(sheet);
    sheet->open();
    const QPointer<ImageOCRResultVC> waiting(sheet);
    const QPointer<CategoryListViewController> self(this);
    const auto cancel = sheet->cancelFlag();
    TaviPBManager *store = &manager;
    const PBItem listed = *m_menuTarget.clickedItem;
    GlobalQueue::async([self, waiting, cancel, store, listed, data] {
        const auto onMain = [](auto work) { MainQueue::async(std::move(work)); };
        bool failed = false;
        const PBItem full = store->loadFullItem(listed, &failed);
        const QByteArray bytes =
            full.dataProvider() ? full.dataProvider()->accosicatedData().toByteArray() : QByteArray();
        const QImage image = failed ? QImage() : TextRecognizer::readImage(bytes);
        if (image.isNull()) {
            LOG_INFO("imageOCRMenuItemAction(_:)",
                     QStringLiteral("An image of %1 bytes does not decode").arg(bytes.size()));
            onMain([self, waiting] {
                if (!waiting)
                    return;
                waiting->close();
                if (self)
                    self->showOcrAlert("Alert.OCR.Msg.Unreadable");
            });
            return;
        }
        const auto progress = [waiting](int percent) {
            MainQueue::async([waiting, percent] {
                if (waiting)
                    waiting->setProgress(percent);
            });
        };
        const TextRecognizer::Result result = TextRecognizer::recognize(image, data, cancel.get(), progress);
        onMain([self, waiting, result] {
            // Closed meanwhile: the recognition was cancelled and nothing is shown.
            if (!waiting || result.status == TextRecognizer::Status::cancelled)
                return;
            if (result.status == TextRecognizer::Status::recognized) {
                waiting->setResult(result.lines.join(QLatin1Char('\n')));
                return;
            }
            waiting->close();
            if (self)
                self->showOcrAlert(result.status == TextRecognizer::Status::nothingFound ? "Alert.OCR.Msg.NotFound"
                                                                                         : "Alert.OCR.Msg.Failed");
        });
    });
}

// --- Notes and categories

void CategoryListViewController::openNoteWindow(const PBItem &note)
{
    m_noteWindows.removeAll(nullptr);
    for (const QPointer<CategoryNoteWindowController> &open : std::as_const(m_noteWindows)) {
        if (open && open->item && open->item->uuid() == note.uuid()) {
            open->show();
            open->raise();
            open->activateWindow();
            return;
        }
    }
    auto *editor = new CategoryNoteWindowController(manager);
    placeBesideList(editor);
    editor->show();
    editor->edit(note);
    trackNote(editor);
}

void CategoryListViewController::trackNote(CategoryNoteWindowController *editor)
{
    const QPointer<CategoryListViewController> self(this);
    editor->willCloseBlock = [self](CategoryNoteWindowController *closing) {
        if (self)
            self->m_noteWindows.removeAll(closing);
    };
    m_noteWindows.append(editor);
    // Writing a note is no reason for the list to hide itself.
    if (auto *listWindow = qobject_cast<CategoryWindowController *>(window()))
        listWindow->registerOwnedWindow(editor);
}

CustomCategoryPickViewController *CategoryListViewController::categoryPickViewController()
{
    if (!m_picker)
        m_picker = new CustomCategoryPickViewController(manager, this);
    return m_picker;
}

void CategoryListViewController::showCategoryPicker(int row)
{
    if (manager.categoryManager().customCategories().isEmpty()) {
        showAlert(L("Category.Alert.Tips.title"), L("Category.Alert.NoCustomCategory.message"),
                  L("Category.Alert.confirm"), L("Category.Alert.NotNow"), nullptr, AlertStyle::informational,
                  [](ModalResponse response) {
                      if (response == ModalResponse::alertFirstButtonReturn && ShellSeams::shared().showCategoryEditor)
                          ShellSeams::shared().showCategoryEditor(std::nullopt);
                  });
        return;
    }
    const PBItem item = itemAt(row);
    if (item.uuid().isNull())
        return;
    closePreview();
    CustomCategoryPickViewController *picker = categoryPickViewController();
    picker->pasteItem = item;
    picker->reloadData();
    const QPointer<CategoryListViewController> self(this);
    picker->pickChanged = [self] {
        if (self)
            self->reloadItems();
    };
    picker->popup(m_preview->globalRowRect(row));
}

void CategoryListViewController::handleAddToCustomCategory(const QString &categoryId)
{
    // The category chosen may have been removed while the menu was open.
    const std::optional<PBCategory> chosen = manager.categoryManager().categoryWithId(categoryId);
    if (!chosen || chosen->type() != PBDefaultCategory::custom || !m_menuTarget.several)
        return;
    manager.addItems(m_menuTarget.selectedBottomUp, *chosen);
    itemsTableView->clearSelection();
    reloadItems();
}
