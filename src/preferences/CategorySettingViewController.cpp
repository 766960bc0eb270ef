#include "preferences/CategorySettingViewController.h"

#include "capture/TaviPBManager.h"
#include "colorbar/MainWindowController.h"
#include "controls/SceneRegistry.h"
#include "controls/TrashFilterNoteView.h"
#include "core/Alert.h"
#include "core/NotificationPayloads.h"
#include "core/PBCategoryManager.h"
#include "history/TrashFilterView.h"
#include "platform/Analytics.h"
#include "platform/DispatchQueue.h"
#include "platform/Strings.h"
#include "preferences/SecondaryText.h"
#include "preferences/SettingCategoryCells.h"
#include "preferences/SettingCategoryLockCell.h"
#include "shell/AppDelegate.h"
#include "shell/ShellSeams.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

bool canBeLocked(PBDefaultCategory kind)
{
    return kind != PBDefaultCategory::all && kind != PBDefaultCategory::note && kind != PBDefaultCategory::custom;
}

// The clear-all confirmation's accessory: whether the notes go too.
std::unique_ptr<TrashFilterNoteView> makeNotesAccessory()
{
    std::unique_ptr<TrashFilterNoteView> view(SceneRegistry::shared().loadFromNib<TrashFilterNoteView>());
    return view ? std::move(view) : std::make_unique<TrashFilterNoteView>();
}

} // namespace

CategorySettingViewController::CategorySettingViewController(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CategorySettingViewController"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    listTableView = new QTableWidget(0, ColumnCount, this);
    listTableView->setObjectName(QStringLiteral("listTableView"));
    listTableView->verticalHeader()->hide();
    listTableView->verticalHeader()->setDefaultSectionSize(kRowHeight);
    listTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    listTableView->setSelectionMode(QAbstractItemView::SingleSelection);
    listTableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listTableView->setShowGrid(false);
    listTableView->setAlternatingRowColors(true);
    const char *headers[ColumnCount] = {
        "Settings.Category.Color", "Settings.Category.Name",    "Settings.Category.Items", "Settings.Category.Active",
        "Settings.Category.Type",  "Settings.Category.Display", "Settings.Category.Lock",  "Settings.Category.Manage"};
    QStringList titles;
    for (const char *key : headers)
        titles.append(L(key));
    listTableView->setHorizontalHeaderLabels(titles);
    QHeaderView *header = listTableView->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    header->setMinimumSectionSize(44);

    lblTips = new QLabel(L("Settings.Category.Tips"), this);
    lblTips->setWordWrap(true);
    SecondaryText::apply(lblTips, SecondaryText::Kind::Help);

    auto *buttons = new QHBoxLayout;
    btnAddCategory = new QPushButton(QStringLiteral("+"), this);
    btnAddCategory->setObjectName(QStringLiteral("btnAddCategory"));
    btnAddCategory->setToolTip(L("Settings.Category.Add"));
    btnDeleteCategory = new QPushButton(QStringLiteral("\u2212"), this);
    btnDeleteCategory->setObjectName(QStringLiteral("btnDeleteCategory"));
    btnDeleteCategory->setToolTip(L("Settings.Category.Delete"));
    btnDeleteCategory->setEnabled(false);
    for (QPushButton *button : {btnAddCategory, btnDeleteCategory})
        button->setFixedSize(28, 24);
    btnClearAll = new QPushButton(L("Settings.Category.ClearAll"), this);
    btnClearAll->setObjectName(QStringLiteral("btnClearAll"));
    buttons->setSpacing(0);
    buttons->addWidget(btnAddCategory);
    buttons->addWidget(btnDeleteCategory);
    buttons->addStretch(1);
    buttons->addWidget(btnClearAll);

    layout->addWidget(listTableView, 1);
    layout->addLayout(buttons);
    layout->addWidget(lblTips);

    connect(btnAddCategory, &QPushButton::clicked, this, &CategorySettingViewController::clickAddCategory);
    connect(btnDeleteCategory, &QPushButton::clicked, this, &CategorySettingViewController::clickDeleteCategory);
    connect(btnClearAll, &QPushButton::clicked, this, &CategorySettingViewController::clearAllAction);
    connect(listTableView, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { listItemDoubleClickAction(row); });
    connect(listTableView, &QTableWidget::itemSelectionChanged, this,
            &CategorySettingViewController::tableViewSelectionDidChange);

    const QPointer<CategorySettingViewController> self(this);
    const auto reload = [self](const Notification &) {
        if (self)
            self->queueReload();
    };
    for (const QString &name : {NotificationName::categoryActiveStatusChanged, NotificationName::categoryHideChanged,
                                NotificationName::categoryLockChanged, NotificationName::colorBarCategoryChanged,
                                NotificationName::categorySettingsUpdated, NotificationName::didRemovedCustomCategory,
                                NotificationName::remoteDataChanged})
        m_observers.observe(name, reload);
    const auto recount = [self](const Notification &) {
        if (self)
            self->queueItemCounts();
    };
    for (const QString &name : {NotificationName::historyDidAddNewItem, NotificationName::historyItemDidUpdate,
                                NotificationName::historyItemsDidClear, NotificationName::historyItemDidDelete})
        m_observers.observe(name, recount);
    reloadData();
}

CategorySettingViewController::~CategorySettingViewController() { m_countQueue.shutdown(); }

PBCategoryManager &CategorySettingViewController::categoryManager() const
{
    if (TaviPBManager *manager = pbManager())
        return manager->categoryManager();
    return PBCategoryManager::shared();
}

TaviPBManager *CategorySettingViewController::pbManager() const
{
    AppDelegate *delegate = AppDelegate::shared();
    return delegate ? &delegate->pbManager : nullptr;
}

void CategorySettingViewController::scheduleSave()
{
    if (TaviPBManager *manager = pbManager())
        manager->saveScheduler().schedule();
}

void CategorySettingViewController::showEvent(QShowEvent *event)
{
    reloadData();
    QWidget::showEvent(event);
}

void CategorySettingViewController::queueReload()
{
    // Cells are replaced on reload: never while one of them is handling its click.
    const QPointer<CategorySettingViewController> self(this);
    MainQueue::async([self] {
        if (self)
            self->reloadData();
    });
}

void CategorySettingViewController::reloadData()
{
    const QString selectedId = selectedCategory ? selectedCategory->id() : QString();
    const QList<PBCategory> categories = categoryManager().categories();
    const std::optional<PBCategory> active = categoryManager().activeCategory();
    QSignalBlocker blocker(listTableView);
    listTableView->clearContents();
    listTableView->setRowCount(int(categories.size()));
    m_rowIds.clear();
    int selectedRow = -1;
    for (int row = 0; row < categories.size(); ++row) {
        m_rowIds.append(categories.at(row).id());
        fillRow(row, categories.at(row), active);
        if (categories.at(row).id() == selectedId)
            selectedRow = row;
    }
    if (selectedRow >= 0)
        listTableView->selectRow(selectedRow);
    else
        listTableView->clearSelection();
    blocker.unblock();
    tableViewSelectionDidChange();
    // Counted here, a million items would hold the GUI thread on every category change.
    queueItemCounts();
}

void CategorySettingViewController::fillRow(int row, const PBCategory &category,
                                            const std::optional<PBCategory> &active)
{
    const QString id = category.id();
    const PBDefaultCategory kind = category.type();
    auto *color = new SettingCategoryColorCell;
    color->setColor(category.backgroundColor());
    listTableView->setCellWidget(row, ColorColumn, color);

    auto *name = new QTableWidgetItem(category.name());
    listTableView->setItem(row, NameColumn, name);
    const auto count = m_counts.constFind(id);
    const QString known = count != m_counts.cend() ? QString::number(*count) : QString();
    auto *items = new QTableWidgetItem(pbManager() ? known : QStringLiteral("–"));
    items->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    listTableView->setItem(row, ItemsColumn, items);
    listTableView->setItem(row, TypeColumn,
                           new QTableWidgetItem(kind == PBDefaultCategory::custom
                                                    ? L("Settings.Category.Type.Custom")
                                                    : L("Settings.Category.Type.Default")));

    auto *activeCell = new SettingCategoryActiveCell;
    activeCell->configure(active && active->id() == id, kind == PBDefaultCategory::custom);
    activeCell->clickHandler = [this, id](bool on) { setActive(id, on); };
    listTableView->setCellWidget(row, ActiveColumn, activeCell);

    auto *display = new SettingCategoryDisplayCell;
    display->btnDisplay->setChecked(!category.isHidden());
    display->btnDisplay->setEnabled(kind != PBDefaultCategory::all);
    display->clickHandler = [this, id](bool hidden) { setHidden(id, hidden); };
    listTableView->setCellWidget(row, DisplayColumn, display);

    auto *lock = new SettingCategoryLockCell;
    lock->btnDisplay->setChecked(category.isLocked());
    lock->btnDisplay->setEnabled(canBeLocked(kind));
    lock->clickHandler = [this, id](bool locked) { setLocked(id, locked); };
    listTableView->setCellWidget(row, LockColumn, lock);

    auto *manage = new SettingCategoryManageCell;
    manage->deleteHandler = [this, id] { clearItems(id); };
    listTableView->setCellWidget(row, ManageColumn, manage);
}

void CategorySettingViewController::queueItemCounts()
{
    // A clear announces each item it took: the rows are counted off the GUI thread, one count at
    // a time, and once more after it when the history changed meanwhile.
    if (m_countsQueued) {
        m_countsAgain = true;
        return;
    }
    TaviPBManager *manager = pbManager();
    if (!manager)
        return;
    m_countsQueued = true;
    const QPointer<CategorySettingViewController> self(this);
    // The categories are read there too: reading them here would wait for any store read.
    m_countQueue.async([self, manager, categories = &categoryManager(), ids = m_rowIds] {
        QHash<QString, qsizetype> counts;
        for (const PBCategory &category : categories->categories()) {
            if (ids.contains(category.id()))
                counts.insert(category.id(), manager->itemCount(category));
        }
        MainQueue::async([self, counts] {
            if (!self)
                return;
            self->m_counts.insert(counts);
            for (int row = 0; row < self->m_rowIds.size(); ++row) {
                QTableWidgetItem *item = self->listTableView->item(row, ItemsColumn);
                const auto count = counts.constFind(self->m_rowIds.at(row));
                if (item && count != counts.cend())
                    item->setText(QString::number(*count));
            }
            self->m_countsQueued = false;
            if (std::exchange(self->m_countsAgain, false))
                self->queueItemCounts();
        });
    });
}

// --- Toggles

void CategorySettingViewController::setActive(const QString &categoryId, bool active)
{
    PBCategoryManager &manager = categoryManager();
    // The previous star goes off before the new one is stored.
    if (const std::optional<PBCategory> previous = manager.activeCategory()) {
        const qsizetype row = m_rowIds.indexOf(previous->id());
        if (row >= 0)
            if (auto *cell =
                    qobject_cast<SettingCategoryActiveCell *>(listTableView->cellWidget(int(row), ActiveColumn)))
                cell->configure(false, true);
    }
    const std::optional<PBCategory> category = manager.categoryWithId(categoryId);
    if (active && category && category->type() == PBDefaultCategory::custom) {
        manager.setActiveCategory(category);
        Analytics::trackEvent(QStringLiteral("Category_Action"),
                              {{QStringLiteral("action"), QStringLiteral("ActiveCustomCategory")}});
    } else {
        manager.setActiveCategory(std::nullopt);
        Analytics::trackEvent(QStringLiteral("Category_Action"),
                              {{QStringLiteral("action"), QStringLiteral("InactiveCustomCategory")}});
    }
}

void CategorySettingViewController::setHidden(const QString &categoryId, bool hidden)
{
    std::optional<PBCategory> category = categoryManager().categoryWithId(categoryId);
    if (!category || category->type() == PBDefaultCategory::all) {
        queueReload();
        return;
    }
    category->setHidden(hidden);
    if (hidden)
        Analytics::trackEvent(QStringLiteral("Category_Hide"),
                              {{QStringLiteral("category"), rawValue(category->type())},
                               {QStringLiteral("source"), QStringLiteral("Settings")}});
    categoryManager().update(*category);
    scheduleSave();
    // The bar lays itself out again on this.
    NotificationCenter::defaultCenter().post(NotificationName::categoryHideChanged);
}

void CategorySettingViewController::setLocked(const QString &categoryId, bool locked)
{
    std::optional<PBCategory> category = categoryManager().categoryWithId(categoryId);
    if (!category || !canBeLocked(category->type())) {
        queueReload();
        return;
    }
    category->setLocked(locked);
    if (locked)
        Analytics::trackEvent(QStringLiteral("Category_Lock"),
                              {{QStringLiteral("category"), rawValue(category->type())},
                               {QStringLiteral("source"), QStringLiteral("Settings")}});
    categoryManager().update(*category);
    scheduleSave();
    NotificationCenter::defaultCenter().post(NotificationName::categorySettingsUpdated, nullptr,
                                             NotificationPayload::ChangedCategory::encode(*category));
}

// --- Clearing

void CategorySettingViewController::clearItems(const QString &categoryId)
{
    const std::optional<PBCategory> category = categoryManager().categoryWithId(categoryId);
    TaviPBManager *manager = pbManager();
    if (!category || !manager)
        return;
    TrashFilterView filter;
    filter.setCategoryType(category->type());
    showDestructiveAlert(L("Category.Alert.Warning.title"), L("Category.Alert.CategoryItemsClear.message"),
                         L("Category.Alert.YES"), L("Category.Alert.NO"), &filter, [&](ModalResponse response) {
                             if (response != ModalResponse::alertFirstButtonReturn)
                                 return;
                             const TaviPBManager::ClearOptions options = filter.clearOptions();
                             const PBCategory target = *category;
                             manager->clearItemsInBackground(target, options);
                         });
}

void CategorySettingViewController::clearAllAction()
{
    TaviPBManager *manager = pbManager();
    if (!manager)
        return;
    const std::unique_ptr<TrashFilterNoteView> notes = makeNotesAccessory();
    showDestructiveAlert(L("Category.Alert.Warning.title"), L("Category.Alert.CategoryItemsClearAll.message"),
                         L("Category.Alert.YES"), L("Category.Alert.NO"), notes.get(), [&](ModalResponse response) {
                             if (response == ModalResponse::alertFirstButtonReturn)
                                 manager->clearAllItemsInBackground(notes->includesNotes());
                         });
}

// --- Adding, editing, deleting

void CategorySettingViewController::clickAddCategory()
{
    if (auto &show = ShellSeams::shared().showCategoryEditor)
        show(std::nullopt);
    Analytics::trackEvent(QStringLiteral("Settings_AddCategory"),
                          {{QStringLiteral("count"), QString::number(categoryManager().numberOfCategories())}});
}

void CategorySettingViewController::listItemDoubleClickAction(int row)
{
    if (row < 0 || row >= m_rowIds.size())
        return;
    if (auto &show = ShellSeams::shared().showCategoryEditor)
        show(m_rowIds.at(row));
}

void CategorySettingViewController::clickDeleteCategory()
{
    if (!selectedCategory || selectedCategory->type() != PBDefaultCategory::custom)
        return;
    const QString id = selectedCategory->id();
    showDestructiveAlert(L("Category.Alert.Warning.title"), L("Category.Alert.CategoryDelete.message"),
                         L("Category.Alert.Delete"), L("Category.Alert.NO"), nullptr,
                         [this, id](ModalResponse response) {
                             if (response != ModalResponse::alertFirstButtonReturn)
                                 return;
                             const std::optional<PBCategory> category = categoryManager().categoryWithId(id);
                             if (!category)
                                 return;
                             categoryManager().deleteCategory(*category);
                             scheduleSave();
                             selectedCategory.reset();
                             reloadData();
                             btnDeleteCategory->setEnabled(false);
                             MainWindowController::relayoutColorBar();
                         });
}

void CategorySettingViewController::tableViewSelectionDidChange()
{
    const QModelIndexList rows = listTableView->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        selectedCategory.reset();
        btnDeleteCategory->setEnabled(false);
        return;
    }
    const int row = rows.constFirst().row();
    selectedCategory = row < m_rowIds.size() ? categoryManager().categoryWithId(m_rowIds.at(row)) : std::nullopt;
    btnDeleteCategory->setEnabled(selectedCategory && selectedCategory->type() == PBDefaultCategory::custom);
}
