// The history list's tool buttons: sorting and order, floating, the active star, lock, clear,
// edit, settings, new note and the plain/rich text switch.

#include "history/CategoryListViewController.h"

#include "core/Alert.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "core/TaviSettings.h"
#include "history/CategoryListModel.h"
#include "history/CategoryListTableView.h"
#include "history/CategoryNoteWindowController.h"
#include "history/TrashFilterView.h"
#include "platform/Analytics.h"
#include "platform/DispatchQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "shell/ShellSeams.h"

#include <QActionGroup>
#include <QMenu>
#include <QToolButton>

namespace {

void trackCategoryAction(const char *action)
{
    Analytics::trackEvent(QStringLiteral("Category_Action"), {{QStringLiteral("action"), QString::fromLatin1(action)}});
}

QMenu *sortMenu(QWidget *parent, const char *objectName, std::initializer_list<const char *> titleKeys)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QString::fromLatin1(objectName));
    auto *group = new QActionGroup(menu);
    int tag = 0;
    for (const char *key : titleKeys) {
        QAction *entry = menu->addAction(L(key));
        entry->setCheckable(true);
        entry->setData(tag++);
        group->addAction(entry);
    }
    return menu;
}

} // namespace

void CategoryListViewController::setupToolbarActions()
{
    textSortTypeMenu =
        sortMenu(this, "textSortTypeMenu",
                 {"Actions.Sort.Default", "Actions.Sort.CreatedAt", "Actions.Sort.Title", "Actions.Sort.SourceApp"});
    noteSortTypeMenu =
        sortMenu(this, "noteSortTypeMenu", {"Actions.Sort.Default", "Actions.Sort.CreatedAt", "Actions.Sort.Title"});
    connect(textSortTypeMenu, &QMenu::aboutToShow, this, &CategoryListViewController::updateSortMenus);
    connect(noteSortTypeMenu, &QMenu::aboutToShow, this, &CategoryListViewController::updateSortMenus);
    connect(textSortTypeMenu, &QMenu::triggered, this,
            [this](QAction *entry) { handleTextSortTypeMenuChange(entry->data().toInt()); });
    connect(noteSortTypeMenu, &QMenu::triggered, this,
            [this](QAction *entry) { handleNoteSortTypeMenuChange(entry->data().toInt()); });
    connect(sortTypeBtn, &QToolButton::clicked, this, [this] {
        if (!category)
            return;
        QMenu *menu = category->type() == PBDefaultCategory::text   ? textSortTypeMenu
                      : category->type() == PBDefaultCategory::note ? noteSortTypeMenu
                                                                    : nullptr;
        if (menu)
            menu->popup(sortTypeBtn->mapToGlobal(QPoint(0, sortTypeBtn->height())));
    });
    connect(orderBtn, &QToolButton::clicked, this, &CategoryListViewController::orderBtnAction);
    // The window follows the button whoever switches it.
    connect(floatingBtn, &QToolButton::toggled, this, &CategoryListViewController::floatingBtnAction);
    connect(activeBtn, &QToolButton::clicked, this, &CategoryListViewController::activeBtnAction);
    connect(lockBtn, &QToolButton::clicked, this, &CategoryListViewController::lockBtnAction);
    connect(trashBtn, &QToolButton::clicked, this, &CategoryListViewController::trashBtnAction);
    connect(editBtn, &QToolButton::clicked, this, &CategoryListViewController::editBtnAction);
    connect(settingsBtn, &QToolButton::clicked, this, &CategoryListViewController::settingsBtnAction);
    connect(noteAddBtn, &QToolButton::clicked, this, &CategoryListViewController::addNoteAction);
    connect(textStyleBtn, &QToolButton::clicked, this, &CategoryListViewController::textStyleChangeAction);
}

// --- Sorting

void CategoryListViewController::updateSortMenus()
{
    TaviSettings &settings = TaviSettings::shared();
    const int text = rawValue(settings.textSortType());
    const QList<QAction *> textEntries = textSortTypeMenu->actions();
    for (int i = 0; i < textEntries.size(); ++i)
        textEntries[i]->setChecked(i == (text >= 0 && text < textEntries.size() ? text : 0));
    const int note = rawValue(settings.noteSortType());
    const QList<QAction *> noteEntries = noteSortTypeMenu->actions();
    for (int i = 0; i < noteEntries.size(); ++i)
        noteEntries[i]->setChecked(i == (note == 1 || note == 2 ? note : 0));
}

void CategoryListViewController::handleTextSortTypeMenuChange(int tag)
{
    if (tag < 0 || tag >= caseCount(TextSorter{}))
        return;
    TaviSettings::shared().setTextSortType(static_cast<TextSorter>(tag));
    reloadItems();
}

void CategoryListViewController::handleNoteSortTypeMenuChange(int tag)
{
    if (tag < 0 || tag >= caseCount(NoteSorter{}))
        return;
    TaviSettings::shared().setNoteSortType(static_cast<NoteSorter>(tag));
    reloadItems();
}

void CategoryListViewController::orderBtnAction()
{
    const PBDefaultCategory kind = category ? category->type() : PBDefaultCategory::unknown;
    if (kind == PBDefaultCategory::text)
        TaviSettings::shared().setTextOrderAscending(orderBtn->isChecked());
    else if (kind == PBDefaultCategory::note)
        TaviSettings::shared().setNoteOrderAscending(orderBtn->isChecked());
    reloadItems();
}

// --- Window and category state

void CategoryListViewController::floatingBtnAction()
{
    const bool floating = floatingBtn->isChecked();
    floatingBtn->setText(floating ? QStringLiteral("\u2912") : QStringLiteral("\u21A5"));
    Q_EMIT floatingChanged(floating);
}

void CategoryListViewController::activeBtnAction()
{
    PBCategoryManager &categories = manager.categoryManager();
    if (activeBtn->isChecked() && category) {
        categories.setActiveCategory(category);
        trackCategoryAction("ActiveCustomCategory");
    } else {
        categories.setActiveCategory(std::nullopt);
        trackCategoryAction("InactiveCustomCategory");
    }
    updateStar();
}

void CategoryListViewController::lockBtnAction()
{
    if (!category)
        return;
    const bool locked = lockBtn->isChecked();
    category->setLocked(locked);
    lockBtn->setText(locked ? QStringLiteral("\u25CF") : QStringLiteral("\u25CB"));
    trashBtn->setEnabled(!locked);
    if (locked) {
        trackCategoryAction("LockCategory");
    } else {
        manager.categoryManager().setActiveCategory(std::nullopt);
        trackCategoryAction("UnlockCategory");
    }
    manager.categoryManager().update(*category);
    NotificationCenter::defaultCenter().post(NotificationName::categoryLockChanged);
}

// --- Clearing

void CategoryListViewController::trashBtnAction()
{
    if (numberOfRows() == 0)
        return;
    const QPointer<CategoryListViewController> self(this);
    TaviPBManager *store = &manager;
    const auto reloadWhenDone = [self] {
        MainQueue::async([self] {
            if (self)
                self->reloadItems();
        });
    };
    if (!seachKeywords.isEmpty()) {
        bool confirmed = false;
        showDestructiveAlert(
            L("Category.Alert.Warning.title"), L("Category.Alert.CategoryFilterItemsClear.message"),
            L("Category.Alert.YES"), L("Category.Alert.NO"), nullptr,
            [&confirmed](ModalResponse response) { confirmed = response == ModalResponse::alertFirstButtonReturn; });
        if (!confirmed)
            return;
        // Exactly the search's matches, read and deleted off the GUI thread.
        const TaviPBManager::ListQuery query = listQuery();
        model->readAsync([store, query, reloadWhenDone] {
            store->deleteItems(TaviPBManager::ListRows{query, {}, {{0, int(store->itemCount(query))}}, {}});
            reloadWhenDone();
        });
        return;
    }
    TrashFilterView filter;
    filter.setCategoryType(category ? std::optional(category->type()) : std::nullopt);
    bool confirmed = false;
    showDestructiveAlert(
        L("Category.Alert.Warning.title"), L("Category.Alert.CategoryItemsClear.message"), L("Category.Alert.YES"),
        L("Category.Alert.NO"), &filter,
        [&confirmed](ModalResponse response) { confirmed = response == ModalResponse::alertFirstButtonReturn; });
    if (!confirmed || !category)
        return;
    const PBCategory cleared = *category;
    const TaviPBManager::ClearOptions options = filter.clearOptions();
    store->clearItemsInBackground(cleared, options, reloadWhenDone);
}

// --- Other windows

void CategoryListViewController::editBtnAction()
{
    if (auto &show = ShellSeams::shared().showCategoryEditor)
        show(category ? std::optional(category->id()) : std::nullopt);
}

void CategoryListViewController::settingsBtnAction()
{
    if (auto &show = ShellSeams::shared().showPreferencesWindow)
        show();
}

void CategoryListViewController::addNoteAction()
{
    auto *editor = new CategoryNoteWindowController(manager);
    placeBesideList(editor);
    editor->show();
    trackNote(editor);
}

void CategoryListViewController::textStyleChangeAction()
{
    TaviSettings &settings = TaviSettings::shared();
    settings.setAlwaysCopyPlainText(!textStyleBtn->isChecked());
    const bool plain = settings.alwaysCopyPlainText();
    textStyleBtn->setText(plain ? QStringLiteral("\u00B6") : QStringLiteral("A"));
    itemsTableView->clearSelection();
    reloadItems();
    Analytics::trackEvent(QStringLiteral("Text_Style"), {{QStringLiteral("UsingPlainText"),
                                                          plain ? QStringLiteral("true") : QStringLiteral("false")}});
}
