#include "history/CategoryListViewController.h"

#include "controls/SpinningProgressIndicatorLayer.h"
#include "core/Debounce.h"
#include "core/NotificationNames.h"
#include "core/NotificationPayloads.h"
#include "core/PBCategoryManager.h"
#include "core/TaviSettings.h"
#include "history/CategoryListHeader.h"
#include "history/CategoryListKeys.h"
#include "history/CategoryListModel.h"
#include "history/CategoryListPreview.h"
#include "history/CategoryListTableView.h"
#include "history/DragOut.h"
#include "history/FilePreviewViewController.h"
#include "history/ImagePreviewViewController.h"
#include "history/LinkContentViewController.h"
#include "history/NamedImages.h"
#include "history/PasteItemDelegate.h"
#include "history/PasteItemRow.h"
#include "history/PasteRoutine.h"
#include "history/PreviewPopover.h"
#include "history/RowIcons.h"
#include "history/TextContentViewController.h"
#include "platform/Analytics.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/ColorAssets.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "shell/AppActivation.h"
#include "shell/AppDelegate.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

CategoryListViewController::CategoryListViewController(TaviPBManager &manager, QWidget *parent)
    : QWidget(parent),
      manager(manager)
{
    setObjectName(QStringLiteral("CategoryListViewController"));
    setupUI();
    registerObservers();
    const QPointer<CategoryListViewController> self(this);
    m_debouncedPreview = debounce<int>(kPreviewDelay, mainQueueScheduler(), [self](int row) {
        if (self)
            self->previewRow(row);
    });
}

CategoryListViewController::~CategoryListViewController() { removeKeyEventMonitor(); }

// --- Set-up

void CategoryListViewController::setupUI()
{
    LOG_DEBUG("setupUI()", QStringLiteral("--> CategoryListViewController setupUI"));
    m_header = new CategoryListHeader(*this, TaviSettings::shared());

    model = new CategoryListModel(manager, this);
    itemsTableView = new CategoryListTableView(this);
    itemsTableView->setModel(model);
    m_delegate = new PasteItemDelegate(itemsTableView);
    itemsTableView->setItemDelegate(m_delegate);
    itemsTableView->setLiteMode(TaviSettings::shared().enableLiteMode());
    m_preview = std::make_unique<CategoryListPreview>(*this, manager, *model, *itemsTableView);
    m_keys = new CategoryListKeys(*this, *itemSearchTextfield, *itemsTableView);
    loadingProgress = new SpinningProgressIndicatorLayer(this);
    loadingProgress->setObjectName(QStringLiteral("loadingProgress"));
    loadingProgress->setFixedSize(32, 32);
    loadingProgress->hide();
    auto *spinnerBox = new QWidget(this);
    auto *spinnerLayout = new QVBoxLayout(spinnerBox);
    spinnerLayout->addWidget(loadingProgress, 0, Qt::AlignCenter);

    auto *body = new QStackedLayout;
    body->setStackingMode(QStackedLayout::StackAll);
    body->addWidget(itemsTableView);
    body->addWidget(spinnerBox);
    spinnerBox->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(naviView);
    layout->addLayout(body, 1);

    rightClickMenu = new QMenu(this);
    rightClickMenu->setObjectName(QStringLiteral("rightClickMenu"));
    setupRowMenu();
    setupToolbarActions();
    m_header->applyTint(CategoryListHeader::readable(QColor()));

    connect(itemSearchTextfield, &QLineEdit::textChanged, this, &CategoryListViewController::searchTextChanged);
    connect(itemsTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CategoryListViewController::tableViewSelectionDidChange);
    connect(itemsTableView, &CategoryListTableView::deleteClicked, this, &CategoryListViewController::deleteRow);
    connect(itemsTableView, &CategoryListTableView::rowDoubleClicked, this,
            &CategoryListViewController::categoryListItemDoubleClickAction);
    connect(itemsTableView, &CategoryListTableView::pressed, this, &CategoryListViewController::closePreview);
    connect(itemsTableView, &CategoryListTableView::dragRequested, this, &CategoryListViewController::startDrag);
    connect(itemsTableView, &CategoryListTableView::menuRequested, this, [this](int row, const QPoint &at) {
        prepareRowMenu(row);
        if (m_menuTarget.clickedItem)
            rightClickMenu->popup(at);
    });
    connect(selectionDeleteBtn, &QToolButton::clicked, this, &CategoryListViewController::deleteSelectedItems);
    connect(closeBtn, &QToolButton::clicked, this, [this] { window()->close(); });
    connect(&RowIcons::shared(), &RowIcons::iconReady, itemsTableView->viewport(),
            [this] { itemsTableView->viewport()->update(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { m_delegate->forgetRows(); });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                if (roles.contains(CategoryListModel::RichTitleRole))
                    m_delegate->forgetRows();
            });
    LOG_DEBUG("setupUI()", QStringLiteral("<-- CategoryListViewController setupUI done"));
}

void CategoryListViewController::registerObservers()
{
    const auto itemsChanged = [this](const Notification &notification) {
        if (NotificationPayload::ItemChanges::decode(notification))
            refetchFromNotification();
    };
    m_observers.observe(NotificationName::historyDidAddNewItem, itemsChanged);
    m_observers.observe(NotificationName::historyItemDidUpdate, itemsChanged);
    m_observers.observe(NotificationName::categorySettingsUpdated, [this](const Notification &notification) {
        const std::optional<PBCategory> updated = NotificationPayload::ChangedCategory::decode(notification);
        if (updated && category && category->id() == updated->id())
            updateUI(*updated);
    });
    // An item tagged or untagged may join or leave the list: the rows are read again, so a row's
    // delete button never acts on another item.
    m_observers.observe(NotificationName::categoryTagStatusChanged, [this](const Notification &notification) {
        if (NotificationPayload::ChangedItem::decode(notification))
            fetchItems();
    });
    m_observers.observe(NotificationName::categoryActiveStatusChanged, [this](const Notification &) { updateStar(); });
    m_observers.observe(NotificationName::historyItemsDidClear,
                        [this](const Notification &) { refetchFromNotification(); });
    m_observers.observe(NotificationName::historyItemDidDeleteFromHUD,
                        [this](const Notification &n) { handleDeleteFromHUD(n); });
    m_observers.observe(NotificationName::didRemovedCustomCategory,
                        [this](const Notification &) { refetchFromNotification(); });
    m_observers.observe(NotificationName::categoryListLiteModeChanged,
                        [this](const Notification &) { layoutModeChanged(); });
    m_observers.observe(NotificationName::remoteDataChanged, [this](const Notification &) { reloadItems(); });
    m_observers.observe(CloudKeyValueStore::kDidChangeExternally, [this](const Notification &notification) {
        const QStringList keys = notification.userInfo.value(CloudKeyValueStore::kChangedKeys).toStringList();
        if (!keys.isEmpty() && keys.first() == QLatin1String("activeCategoryID"))
            MainQueue::async([self = QPointer<CategoryListViewController>(this)] {
                if (self)
                    self->updateStar();
            });
    });
    m_observers.observe(AppActivation::kWillResignActive, [this](const Notification &) { closePreview(); });
}

// --- The category

void CategoryListViewController::updateUI(const PBCategory &shown)
{
    category = shown;
    m_header->showCategory(shown);
    updateStar();

    itemsTableView->clearSelection();
    showLoadingState();
    fetchItems([this] { endLoadingState(); });
}

void CategoryListViewController::updateStar()
{
    const auto active = manager.categoryManager().activeCategory();
    const bool isActive = active && category && active->id() == category->id();
    activeBtn->setChecked(isActive);
    activeBtn->setText(isActive ? QStringLiteral("\u2605") : QStringLiteral("\u2606"));
}

// --- Fetching

TaviPBManager::ListQuery CategoryListViewController::listQuery() const
{
    TaviPBManager::ListQuery query;
    query.category = category;
    if (!seachKeywords.isEmpty())
        query.search = PBSearchFilter{{seachKeywords}};
    TaviSettings &settings = TaviSettings::shared();
    const PBDefaultCategory kind = category ? category->type() : PBDefaultCategory::unknown;
    if (kind == PBDefaultCategory::text) {
        query.order = {sortKey(static_cast<RecordSorter>(rawValue(settings.textSortType()))),
                       settings.textOrderAscending()};
    } else if (kind == PBDefaultCategory::note) {
        const NoteSorter sorter = settings.noteSortType();
        query.order.key = sorter == NoteSorter::createAt ? QStringLiteral("createdAt")
                          : sorter == NoteSorter::title  ? QStringLiteral("text")
                                                         : QStringLiteral("modifiedAt");
        query.order.ascending = settings.noteOrderAscending();
    }
    return query;
}

void CategoryListViewController::fetchItems(std::function<void()> completion)
{
    if (!category)
        return;
    // The search travels with the request: the history manager's shared filter is never set.
    const QPointer<CategoryListViewController> self(this);
    const QString empty = emptyListText(seachKeywords);
    model->setRichTitles(!TaviSettings::shared().alwaysCopyPlainText());
    model->fetch(listQuery(), [self, empty, completion = std::move(completion)] {
        if (self)
            self->itemsTableView->setEmptyText(empty);
        if (completion)
            completion();
    });
}

QString CategoryListViewController::emptyListText(const QString &search)
{
    if (search.isEmpty())
        return L("Category.List.Empty");
    return L("Category.List.NoMatch").arg(shownSearch(search));
}

void CategoryListViewController::reloadItems()
{
    showLoadingState();
    fetchItems([this] { endLoadingState(); });
}

void CategoryListViewController::refetchFromNotification()
{
    itemsTableView->clearSelection();
    reloadItems();
}

void CategoryListViewController::showLoadingState()
{
    m_loading = true;
    itemsTableView->hide();
    loadingProgress->show();
    loadingProgress->startProgressAnimation();
}

void CategoryListViewController::endLoadingState()
{
    m_loading = false;
    loadingProgress->stopProgressAnimation();
    loadingProgress->hide();
    itemsTableView->show();
    refreshQuickSelection();
}

void CategoryListViewController::refreshQuickSelection()
{
    if (!TaviSettings::shared().enableQuickSelection())
        return;
    if (AppDelegate *delegate = AppDelegate::shared())
        delegate->requestQuickSelectionRefresh();
}

bool CategoryListViewController::isLoading() const { return m_loading || model->isFetching(); }

int CategoryListViewController::numberOfRows() const { return model->rowCount(); }

PBItem CategoryListViewController::itemAt(int row) { return model->item(row); }

void CategoryListViewController::layoutModeChanged()
{
    itemsTableView->setLiteMode(TaviSettings::shared().enableLiteMode());
    m_delegate->forgetRows();
    itemsTableView->doItemsLayout();
    itemsTableView->viewport()->update();
}

void CategoryListViewController::searchTextChanged()
{
    rightTopPanel->show();
    selectionStackView->hide();
    seachKeywords = itemSearchTextfield->text();
    reloadItems();
}

// --- Selection and previews

void CategoryListViewController::tableViewSelectionDidChange()
{
    m_preview->cancel();
    const QList<int> rows = itemsTableView->selectedRows();
    if (rows.size() < 2) {
        rightTopPanel->show();
        selectionStackView->hide();
        if (rows.size() == 1)
            m_debouncedPreview(rows.first());
        else
            closePreview();
        return;
    }
    closePreview();
    rightTopPanel->hide();
    selectionStackView->show();
    selectedItemsLabel->setText(L("Category.List.ItemsSelectedCount").arg(rows.size()));
}

void CategoryListViewController::previewRow(int row) { m_preview->previewRow(row); }

void CategoryListViewController::closePreview() { m_preview->close(); }

void CategoryListViewController::placeBesideList(QWidget *window) { m_preview->placeBesideList(window); }

PreviewPopover *CategoryListViewController::contentPopover() { return m_preview->contentPopover(); }

TextContentViewController *CategoryListViewController::textContentViewController()
{
    return m_preview->textContentViewController();
}

LinkContentViewController *CategoryListViewController::linkContentViewController()
{
    return m_preview->linkContentViewController();
}

FilePreviewViewController *CategoryListViewController::filePreviewViewController()
{
    return m_preview->filePreviewViewController();
}

ImagePreviewViewController *CategoryListViewController::imagePreviewViewController()
{
    return m_preview->imagePreviewViewController();
}

bool CategoryListViewController::ownsWindow(const QWidget *candidate) const { return m_preview->ownsWindow(candidate); }

// --- Keyboard

void CategoryListViewController::addKeyEventMonitor() { m_keys->install(); }

void CategoryListViewController::removeKeyEventMonitor() { m_keys->remove(); }

bool CategoryListViewController::hasKeyEventMonitor() const { return m_keys->isInstalled(); }

// --- Pasting and deleting

QList<PBItem> CategoryListViewController::selectedItemsBottomUp()
{
    QList<int> rows = itemsTableView->selectedRows();
    std::sort(rows.begin(), rows.end(), std::greater<>());
    QList<PBItem> items = model->items(rows);
    items.removeIf([](const PBItem &item) { return item.uuid().isNull(); });
    return items;
}

void CategoryListViewController::pasteSelectedItems()
{
    if (!category)
        return;
    const QList<PBItem> items = selectedItemsBottomUp();
    if (items.isEmpty())
        return;
    PasteRoutine::paste(manager, items, category);
}

void CategoryListViewController::deleteSelectedItems()
{
    QList<int> rows = itemsTableView->selectedRows();
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end(), std::greater<>());
    // Thousands of rows may be selected: the store finds those not in memory by their place in
    // the list, off the GUI thread, without building their items.
    removeAndDelete(model->listRows(rows), rows);
}

void CategoryListViewController::deleteItems(const QList<PBItem> &items)
{
    if (items.isEmpty())
        return;
    // Where the items are now: the rows may have been read again since they were taken.
    TaviPBManager::ListRows named;
    for (const PBItem &item : items)
        named.uuids.append(item.uuid());
    removeAndDelete(named, model->rowsOf(QSet<QUuid>(named.uuids.cbegin(), named.uuids.cend())));
}

void CategoryListViewController::removeAndDelete(const TaviPBManager::ListRows &named, const QList<int> &rows)
{
    itemsTableView->clearSelection();
    model->removeRows(rows);
    // The store's work runs on the list's queue, off the GUI thread; the rows are read again
    // once it is done (and not before the removal was seen). The digit keys follow the store's
    // announcement: read now, they would bind the items going, and wait for the delete's hold.
    const QPointer<CategoryListViewController> self(this);
    TaviPBManager *store = &manager;
    model->readAsync([self, store, named] {
        store->deleteItems(named);
        MainQueue::asyncAfter(kReloadAfterDelete, [self] {
            if (self)
                self->reloadItems();
        });
    });
}

void CategoryListViewController::deleteRow(int row)
{
    const PBItem item = itemAt(row);
    if (item.uuid().isNull())
        return;
    manager.deleteItem(item);
    itemsTableView->selectionModel()->select(model->index(row), QItemSelectionModel::Deselect);
    model->removeRowAt(row);
    refreshQuickSelection();
}

void CategoryListViewController::handleDeleteFromHUD(const Notification &notification)
{
    const std::optional<PBItem> deleted = NotificationPayload::ChangedItem::decode(notification);
    if (!deleted)
        return;
    const int row = model->rowOf(deleted->uuid());
    if (row >= 0)
        model->removeRowAt(row);
}

// --- Drag out

void CategoryListViewController::startDrag(const QList<int> &rows)
{
    if (!category)
        return;
    QList<PBItem> dragged;
    for (const int row : rows)
        dragged.append(itemAt(row));
    DragOut::start(itemsTableView, manager, dragged, category);
}
