#include "history/CategoryListViewController.h"

#include "controls/SpinningProgressIndicatorLayer.h"
#include "core/Debounce.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "core/TaviSettings.h"
#include "history/CategoryListModel.h"
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
#include "history/WindowPlacement.h"
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
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

void track(const char *event)
{
    Analytics::trackEvent(QString::fromLatin1(event));
}

// The header bar: painted in the category's background colour.
class HeaderView : public QWidget {
public:
    using QWidget::QWidget;
    QColor background;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), background);
    }
};

QToolButton *makeButton(QWidget *parent, const char *objectName, const QString &glyph, const char *toolTipKey = nullptr)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setText(glyph);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(26, 26);
    QFont font = button->font();
    font.setPixelSize(15);
    button->setFont(font);
    if (toolTipKey)
        button->setToolTip(L(toolTipKey));
    return button;
}

// Who may be the header's text and button colour on its background.
QColor readable(const QColor &foreground)
{
    return foreground.isValid() ? foreground : QColor(Qt::white);
}

} // namespace

CategoryListViewController::CategoryListViewController(TaviPBManager &manager, QWidget *parent)
    : QWidget(parent), manager(manager)
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

CategoryListViewController::~CategoryListViewController()
{
    removeKeyEventMonitor();
    delete m_popover;
}

// --- Set-up

void CategoryListViewController::setupUI()
{
    LOG_DEBUG("setupUI()", QStringLiteral("--> CategoryListViewController setupUI"));
    auto *header = new HeaderView(this);
    header->background = ColorAssets::namedOr(QStringLiteral("Pomegranate"), QColor());
    naviView = header;
    naviView->setObjectName(QStringLiteral("naviView"));
    naviView->setFixedHeight(76);
    categoryNameLabel = new QLabel(naviView);
    categoryNameLabel->setObjectName(QStringLiteral("categoryNameLabel"));
    categoryNameLabel->setTextFormat(Qt::PlainText);
    QFont nameFont = categoryNameLabel->font();
    nameFont.setPixelSize(16);
    nameFont.setBold(true);
    categoryNameLabel->setFont(nameFont);
    itemSearchTextfield = new QLineEdit(naviView);
    itemSearchTextfield->setObjectName(QStringLiteral("itemSearchTextfield"));
    itemSearchTextfield->setPlaceholderText(L("Category.List.Search.placeholder"));
    itemSearchTextfield->setClearButtonEnabled(true);

    rightTopPanel = new QWidget(naviView);
    rightTopPanel->setObjectName(QStringLiteral("rightTopPanel"));
    noteAddBtn = makeButton(rightTopPanel, "noteAddBtn", QStringLiteral("+"), "ToolTip.List.NewNote");
    textStyleBtn = makeButton(rightTopPanel, "textStyleBtn", QStringLiteral("\u00B6"), "ToolTip.List.Style");
    sortTypeBtn = makeButton(rightTopPanel, "sortTypeBtn", QStringLiteral("\u2261"), "ToolTip.List.Sort");
    orderBtn = makeButton(rightTopPanel, "orderBtn", QStringLiteral("\u21C5"), "ToolTip.List.Order");
    activeBtn = makeButton(rightTopPanel, "activeBtn", QStringLiteral("\u2606"), "ToolTip.List.AutoTag");
    lockBtn = makeButton(rightTopPanel, "lockBtn", QStringLiteral("\u25CB"), "ToolTip.List.Lock");
    trashBtn = makeButton(rightTopPanel, "trashBtn", L("Category.List.Clear"), "ToolTip.List.Delete");
    trashBtn->setAccessibleName(L("ToolTip.List.Delete"));
    trashBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    trashBtn->setMinimumWidth(0);
    trashBtn->setMaximumWidth(QWIDGETSIZE_MAX);
    trashBtn->setFont(font());
    floatingBtn = makeButton(rightTopPanel, "floatingBtn", QStringLiteral("\u21A5"), "ToolTip.List.Top");
    editBtn = makeButton(rightTopPanel, "editBtn", QStringLiteral("\u270E"), "ToolTip.List.Edit");
    settingsBtn = makeButton(rightTopPanel, "settingsBtn", QStringLiteral("\u2699"), "ToolTip.List.Settings");
    for (QToolButton *toggle : {textStyleBtn, orderBtn, activeBtn, lockBtn, floatingBtn})
        toggle->setCheckable(true);
    auto *buttons = new QHBoxLayout(rightTopPanel);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    for (QToolButton *button : {noteAddBtn, textStyleBtn, sortTypeBtn, orderBtn, activeBtn, lockBtn, trashBtn, floatingBtn, editBtn, settingsBtn})
        buttons->addWidget(button);

    selectionStackView = new QWidget(naviView);
    selectionStackView->setObjectName(QStringLiteral("selectionStackView"));
    selectedItemsLabel = new QLabel(selectionStackView);
    selectedItemsLabel->setObjectName(QStringLiteral("selectedItemsLabel"));
    selectionDeleteBtn = makeButton(selectionStackView, "selectionDeleteBtn", QString(), "Category.List.DeleteSelection");
    auto *selection = new QHBoxLayout(selectionStackView);
    selection->setContentsMargins(0, 0, 0, 0);
    selection->addWidget(selectedItemsLabel);
    selection->addWidget(selectionDeleteBtn);
    selectionStackView->hide();
    closeBtn = makeButton(naviView, "closeBtn", QString(), "ToolTip.List.Close");
    closeBtn->setAccessibleName(L("ToolTip.List.Close"));

    auto *top = new QHBoxLayout;
    top->addWidget(categoryNameLabel, 1);
    top->addWidget(rightTopPanel);
    top->addWidget(selectionStackView);
    top->addSpacing(4);
    top->addWidget(closeBtn);
    auto *headerLayout = new QVBoxLayout(naviView);
    headerLayout->setContentsMargins(12, 8, 8, 8);
    headerLayout->setSpacing(6);
    headerLayout->addLayout(top);
    headerLayout->addWidget(itemSearchTextfield);

    model = new CategoryListModel(manager, this);
    itemsTableView = new CategoryListTableView(this);
    itemsTableView->setModel(model);
    m_delegate = new PasteItemDelegate(itemsTableView);
    itemsTableView->setItemDelegate(m_delegate);
    itemsTableView->setLiteMode(TaviSettings::shared().enableLiteMode());
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
    applyTint(readable(QColor()));

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
    connect(&RowIcons::shared(), &RowIcons::iconReady, itemsTableView->viewport(), [this] { itemsTableView->viewport()->update(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { m_delegate->forgetRows(); });
    connect(model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
        if (roles.contains(CategoryListModel::RichTitleRole))
            m_delegate->forgetRows();
    });
    LOG_DEBUG("setupUI()", QStringLiteral("<-- CategoryListViewController setupUI done"));
}

void CategoryListViewController::registerObservers()
{
    const auto itemsChanged = [this](const Notification &notification) {
        // The payload is a map of category ids to the items filed under them.
        if (notification.info().typeId() == QMetaType::QVariantMap)
            refetchFromNotification();
    };
    m_observers.observe(NotificationName::historyDidAddNewItem, itemsChanged);
    m_observers.observe(NotificationName::historyItemDidUpdate, itemsChanged);
    m_observers.observe(NotificationName::categorySettingsUpdated, [this](const Notification &notification) {
        if (!notification.info().canConvert<PBCategory>())
            return;
        const auto updated = notification.info().value<PBCategory>();
        if (category && category->id() == updated.id())
            updateUI(updated);
    });
    // An item tagged or untagged may join or leave the list: the rows are read again, so a row's
    // delete button never acts on another item.
    m_observers.observe(NotificationName::categoryTagStatusChanged, [this](const Notification &notification) {
        if (notification.info().canConvert<PBItem>())
            fetchItems();
    });
    m_observers.observe(NotificationName::categoryActiveStatusChanged, [this](const Notification &) { updateStar(); });
    m_observers.observe(NotificationName::historyItemsDidClear, [this](const Notification &) { refetchFromNotification(); });
    m_observers.observe(NotificationName::historyItemDidDeleteFromHUD, [this](const Notification &n) { handleDeleteFromHUD(n); });
    m_observers.observe(NotificationName::didRemovedCustomCategory, [this](const Notification &) { refetchFromNotification(); });
    m_observers.observe(NotificationName::categoryListLiteModeChanged, [this](const Notification &) { layoutModeChanged(); });
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
    auto *header = static_cast<HeaderView *>(naviView);
    header->background = shown.backgroundColor();
    header->update();
    const QColor foreground = readable(shown.foregroundColor());
    const QString labelStyle = QStringLiteral("color: %1;").arg(foreground.name());
    categoryNameLabel->setStyleSheet(labelStyle);
    selectedItemsLabel->setStyleSheet(labelStyle);
    categoryNameLabel->setText(shown.name());

    const PBDefaultCategory kind = shown.type();
    const bool text = kind == PBDefaultCategory::text;
    const bool note = kind == PBDefaultCategory::note;
    const bool custom = kind == PBDefaultCategory::custom;
    const bool all = kind == PBDefaultCategory::all;
    noteAddBtn->setVisible(note);
    textStyleBtn->setVisible(text);
    sortTypeBtn->setVisible(text || note);
    orderBtn->setVisible(text || note);
    activeBtn->setVisible(custom);
    lockBtn->setVisible(!all && !note && !custom);

    TaviSettings &settings = TaviSettings::shared();
    if (text)
        orderBtn->setChecked(settings.textOrderAscending());
    else if (note)
        orderBtn->setChecked(settings.noteOrderAscending());
    const bool plain = settings.alwaysCopyPlainText();
    textStyleBtn->setChecked(!plain);
    textStyleBtn->setText(plain ? QStringLiteral("\u00B6") : QStringLiteral("A"));
    updateStar();
    lockBtn->setChecked(shown.isLocked());
    lockBtn->setText(shown.isLocked() ? QStringLiteral("\u25CF") : QStringLiteral("\u25CB"));
    trashBtn->setEnabled(!shown.isLocked());
    applyTint(foreground);

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

void CategoryListViewController::applyTint(const QColor &color)
{
    const QString style = QStringLiteral("QToolButton { color: %1; border: none; } QToolButton:checked { background: rgba(255,255,255,60); border-radius: 4px; }"
                                         " QToolButton:disabled { color: %2; }")
                              .arg(color.name(), QColor(color.red(), color.green(), color.blue(), 90).name(QColor::HexArgb));
    for (QToolButton *button : {trashBtn, floatingBtn, editBtn, settingsBtn, noteAddBtn, textStyleBtn, activeBtn, lockBtn, orderBtn,
                                sortTypeBtn, selectionDeleteBtn, closeBtn})
        button->setStyleSheet(style);
    trashBtn->setIcon(symbolIcon(QStringLiteral("trash"), color));
    selectionDeleteBtn->setIcon(trashBtn->icon());
    closeBtn->setIcon(symbolIcon(QStringLiteral("close"), color));
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
        query.order = {sortKey(static_cast<RecordSorter>(rawValue(settings.textSortType()))), settings.textOrderAscending()};
    } else if (kind == PBDefaultCategory::note) {
        const NoteSorter sorter = settings.noteSortType();
        query.order.key = sorter == NoteSorter::createAt ? QStringLiteral("createdAt")
            : sorter == NoteSorter::title                ? QStringLiteral("text")
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

bool CategoryListViewController::isLoading() const
{
    return m_loading || model->isFetching();
}

int CategoryListViewController::numberOfRows() const
{
    return model->rowCount();
}

PBItem CategoryListViewController::itemAt(int row)
{
    return model->item(row);
}

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
    ++m_previewRequest;
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

void CategoryListViewController::previewRow(int row)
{
    const QList<int> rows = itemsTableView->selectedRows();
    if (row < 0 || rows.size() != 1 || rows.first() != row || !isVisible())
        return;
    // A sheet the list opened stands where the preview would.
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal->parentWidget() == window())
        return;
    const PBItem item = itemAt(row);
    if (item.uuid().isNull())
        return;
    showPreviewFor(item, row);
}

void CategoryListViewController::showPreviewFor(const PBItem &item, int row)
{
    const auto primary = item.primaryCategory();
    const PBDefaultCategory kind = primary ? primary->type() : PBDefaultCategory::unknown;
    Analytics::trackEvent(QStringLiteral("SingleClick_Preview"), {{QStringLiteral("type"), rawValue(kind)}});
    const quint64 request = ++m_previewRequest;
    const QPointer<CategoryListViewController> self(this);
    TaviPBManager *store = &manager;
    // Whole items (their stored representations) and decoded images are read off the GUI thread;
    // what arrives after the selection moved on is dropped.
    const auto whenCurrent = [self, request](auto show) {
        return [self, request, show](auto &&...args) {
            if (self && self->m_previewRequest == request)
                show(args...);
        };
    };
    switch (kind) {
    case PBDefaultCategory::text: {
        const auto show = whenCurrent([self, row](const PBItem &full) {
            if (!full.dataProvider())
                return;
            self->textContentViewController()->configure(*full.dataProvider());
            self->showInPopover(self->textContentViewController(), row);
        });
        model->readAsync([store, item, show] {
            const PBItem full = store->loadFullItem(item);
            MainQueue::async([show, full] { show(full); });
        });
        return;
    }
    case PBDefaultCategory::link:
        linkContentViewController()->configure(item.dataProvider() ? item.dataProvider()->representedText() : QString());
        showInPopover(linkContentViewController(), row);
        return;
    case PBDefaultCategory::image:
    case PBDefaultCategory::file:
    case PBDefaultCategory::note:
    case PBDefaultCategory::other: {
        if (!item.dataProvider())
            return;
        if (const auto *file = item.dataProvider()->as<PBFileItemProvider>()) {
            filePreviewViewController()->configure(file->url());
            showInPopover(filePreviewViewController(), row);
            return;
        }
        const bool other = item.dataProvider()->is<PBOtherItemProvider>();
        if (!other && !item.dataProvider()->is<PBImageItemProvider>())
            return;
        const auto show = whenCurrent([self, row, other](const PBItem &full, const QImage &image) {
            if (!image.isNull()) {
                self->imagePreviewViewController()->configure(image);
                self->showInPopover(self->imagePreviewViewController(), row);
            } else if (other && full.dataProvider()) {
                self->textContentViewController()->configure(*full.dataProvider());
                self->showInPopover(self->textContentViewController(), row);
            } else {
                LOG_INFO("showPreview(anchor:)", QStringLiteral("A copied image does not decode; no preview"));
            }
        });
        model->readAsync([store, item, show] {
            const PBItem full = store->loadFullItem(item);
            const QImage image = full.dataProvider()
                ? ImagePreviewViewController::decodeForPreview(full.dataProvider()->accosicatedData().toByteArray())
                : QImage();
            MainQueue::async([show, full, image] { show(full, image); });
        });
        return;
    }
    case PBDefaultCategory::all:
    case PBDefaultCategory::custom:
    case PBDefaultCategory::email:
    case PBDefaultCategory::unknown:
        return;
    }
}

QRect CategoryListViewController::globalRowRect(int row) const
{
    const QRect local = itemsTableView->visualRect(model->index(row));
    return QRect(itemsTableView->viewport()->mapToGlobal(local.topLeft()), local.size());
}

void CategoryListViewController::showInPopover(QWidget *content, int row)
{
    if (!isVisible())
        return;
    contentPopover()->show(content, globalRowRect(row));
}

void CategoryListViewController::closePreview()
{
    if (m_popover && m_popover->isVisible())
        m_popover->close();
}

void CategoryListViewController::placeBesideList(QWidget *window)
{
    // A preview still being read is not shown either.
    ++m_previewRequest;
    closePreview();
    WindowPlacement::placeBeside(window, this);
}

PreviewPopover *CategoryListViewController::contentPopover()
{
    if (!m_popover)
        m_popover = new PreviewPopover;
    return m_popover;
}

TextContentViewController *CategoryListViewController::textContentViewController()
{
    if (!m_textPreview)
        m_textPreview = new TextContentViewController(contentPopover());
    return m_textPreview;
}

LinkContentViewController *CategoryListViewController::linkContentViewController()
{
    if (!m_linkPreview)
        m_linkPreview = new LinkContentViewController(contentPopover());
    return m_linkPreview;
}

FilePreviewViewController *CategoryListViewController::filePreviewViewController()
{
    if (!m_filePreview)
        m_filePreview = new FilePreviewViewController(contentPopover());
    return m_filePreview;
}

ImagePreviewViewController *CategoryListViewController::imagePreviewViewController()
{
    if (!m_imagePreview)
        m_imagePreview = new ImagePreviewViewController(contentPopover());
    return m_imagePreview;
}

bool CategoryListViewController::ownsWindow(const QWidget *candidate) const
{
    if (!candidate)
        return false;
    if (candidate == m_popover)
        return true;
    for (const QWidget *parent = candidate; parent; parent = parent->parentWidget()) {
        if (parent == window())
            return true;
    }
    return false;
}

// --- Keyboard

void CategoryListViewController::addKeyEventMonitor()
{
    if (m_keyMonitorInstalled)
        return;
    itemSearchTextfield->installEventFilter(this);
    itemsTableView->installEventFilter(this);
    m_keyMonitorInstalled = true;
}

void CategoryListViewController::removeKeyEventMonitor()
{
    if (!m_keyMonitorInstalled)
        return;
    itemSearchTextfield->removeEventFilter(this);
    itemsTableView->removeEventFilter(this);
    m_keyMonitorInstalled = false;
}

bool CategoryListViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && m_keyMonitorInstalled && (watched == itemSearchTextfield || watched == itemsTableView)) {
        // Keys meant for the list's own sheets and dialogs never act on its rows.
        if (!QApplication::activeModalWidget() && static_cast<QWidget *>(watched)->window() == window())
            handleKeyDown(watched, static_cast<QKeyEvent *>(event));
    }
    return QWidget::eventFilter(watched, event);
}

bool CategoryListViewController::handleKeyDown(QObject *receiver, QKeyEvent *event)
{
    const bool control = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_C:
        track("ListVC_CommandAndC");
        if (control)
            pasteSelectedItems();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        track("ListVC_UsingReturn");
        pasteSelectedItems();
        return true;
    case Qt::Key_Backspace:
        track("ListVC_CommandAndDelete");
        if (control)
            deleteSelectedItems();
        return true;
    case Qt::Key_Delete:
        track("ListVC_CommandAndDelete");
        // In the search field the key edits the search.
        if (receiver != itemSearchTextfield)
            deleteSelectedItems();
        return true;
    case Qt::Key_Down:
        track("ListVC_KeyBoardSelection");
        moveSelection(false);
        return true;
    case Qt::Key_Up:
        track("ListVC_KeyBoardSelection");
        moveSelection(true);
        return true;
    case Qt::Key_Home:
    case Qt::Key_End:
        // In a search field with text the keys move its cursor.
        if (receiver == itemSearchTextfield && !itemSearchTextfield->text().isEmpty())
            return false;
        Q_FALLTHROUGH();
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        track("ListVC_KeyBoardSelection");
        jumpSelection(Qt::Key(event->key()));
        return true;
    case Qt::Key_Escape:
        window()->close();
        return true;
    default:
        return false;
    }
}

void CategoryListViewController::jumpSelection(Qt::Key key)
{
    const int count = model->rowCount();
    if (count == 0)
        return;
    const QList<int> rows = itemsTableView->selectedRows();
    const QModelIndex current = itemsTableView->currentIndex();
    const int from = rows.size() == 1 ? rows.first() : current.isValid() && !rows.isEmpty() ? current.row() : -1;
    const int page = itemsTableView->rowsPerPage();
    int to = 0;
    switch (key) {
    case Qt::Key_Home: to = 0; break;
    case Qt::Key_End: to = count - 1; break;
    // Without a selection the first row is taken, as the arrow keys do.
    case Qt::Key_PageUp: to = from < 0 ? 0 : from - page; break;
    case Qt::Key_PageDown: to = from < 0 ? 0 : from + page; break;
    default: return;
    }
    itemsTableView->selectRowAlone(std::clamp(to, 0, count - 1));
}

void CategoryListViewController::moveSelection(bool up)
{
    const int count = model->rowCount();
    if (count == 0)
        return;
    const QList<int> rows = itemsTableView->selectedRows();
    if (rows.isEmpty()) {
        itemsTableView->selectRowAlone(0);
        return;
    }
    if (rows.size() != 1)
        return;
    const int next = rows.first() + (up ? -1 : 1);
    if (next < 0 || next >= count)
        return;
    itemsTableView->selectRowAlone(next);
}

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
    refreshQuickSelection();
    // The store's work runs on the list's queue, off the GUI thread; the rows are read again
    // once it is done (and not before the removal was seen).
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
    if (!notification.info().canConvert<PBItem>())
        return;
    const int row = model->rowOf(notification.info().value<PBItem>().uuid());
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
