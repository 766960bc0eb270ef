#include "colorbar/MainViewController.h"

#include "capture/TaviPBManager.h"
#include "colorbar/AddButtonView.h"
#include "colorbar/CategoryItemCounts.h"
#include "colorbar/PBScreenMonitor.h"
#include "core/NotificationNames.h"
#include "core/NotificationPayloads.h"
#include "core/PBCategoryManager.h"
#include "core/PBItem.h"
#include "core/TaviSettings.h"
#include "history/CategoryListViewController.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/DispatchQueue.h"
#include "platform/FullScreenWindows.h"
#include "platform/Log.h"
#include "platform/ShortcutBinder.h"
#include "shell/AppActivation.h"
#include "shell/AppDelegate.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <utility>

MainViewController::MainViewController(PBCategoryManager &categories, TaviPBManager &history, PBScreenMonitor &monitor,
                                       QWidget *parent)
    : QWidget(parent),
      m_categoryManager(categories),
      m_history(history),
      m_settings(TaviSettings::shared()),
      m_mouseMonitor(monitor)
{
    setObjectName(QStringLiteral("MainViewController"));
    setAcceptDrops(true);
    setMouseTracking(true);
    m_addButton = new AddButtonView(*this, monitor);
    m_itemCounts = new CategoryItemCounts(history, this);
    m_itemCounts->setHeld(true); // until the bar has appeared
    connect(m_itemCounts, &CategoryItemCounts::countChanged, this, [this](const QString &id) {
        for (CategoryCellView *row : m_rows) {
            if (row->category() && row->category()->id() == id)
                row->itemCountChanged();
        }
    });
    m_layout = std::make_unique<ColorBarLayout>(*this, m_categories, m_rows, *m_addButton, monitor);
    m_hover = std::make_unique<ColorBarHover>(*this, *m_layout, m_rows, m_settings, [this] {
        if (m_pendingReload) {
            m_pendingReload = false;
            reloadData();
        }
    });
    m_rowDrag = std::make_unique<ColorBarRowDrag>(*this, m_rows, categories, history);
    m_rowMenu = std::make_unique<ColorBarRowMenu>(*this, categories, history, m_settings, monitor);
    m_listOpener = std::make_unique<ColorBarListOpener>(*this, m_categories, categories, monitor);
}

MainViewController::~MainViewController()
{
    m_hover->watchForPointer(false);
    m_observers.clear();
    if (CategoryWindowController *list = existingCategoryWindowController(); list && list->delegate == this)
        list->delegate = nullptr;
    m_rowMenu.reset();
    // The rows go before the collaborators they call, out of the list those walk.
    qDeleteAll(std::exchange(m_rows, {}));
}

void MainViewController::viewDidLoad()
{
    if (m_loaded)
        return;
    m_loaded = true;
    bindCategoryShortcuts();
    observeNotifications();
    m_mouseMonitor.barScreen = [self = QPointer<MainViewController>(this)]() -> QScreen * {
        return self && self->barWindow()->windowHandle() ? self->barWindow()->screen() : nullptr;
    };
    m_hover->watchBarWindow();
    updateBarSize();
    updateBarCorners();
}

void MainViewController::viewWillAppear()
{
    updateBarSize();
    placeSideBarOnScreen();
}

void MainViewController::viewDidAppear()
{
    m_hover->watchBarWindow();
    m_mouseMonitor.updateCurrentScreen(barWindow()->frameGeometry());
    scheduleHideTimer();
    updateBarSize();
    placeSideBarOnScreen();
    followFullScreenWindows();
    m_itemCounts->setHeld(false);
}

// --- Rows

void MainViewController::reloadData()
{
    m_categories = m_categoryManager.categories();
    m_itemCounts->setCategories(m_categories);
    while (m_rows.size() > size_t(m_categories.size())) {
        delete m_rows.back();
        m_rows.pop_back();
    }
    while (m_rows.size() < size_t(m_categories.size())) {
        auto *row = new CategoryCellView(*this, this);
        row->setObjectName(QStringLiteral("CategoryCellView"));
        m_rows.push_back(row);
    }
    for (int i = 0; i < numberOfRows(); ++i)
        m_rows[size_t(i)]->configure(m_categories.at(i));
    if (!isValidRow(m_selectedRow))
        m_selectedRow = -1;
    m_layout->layoutRows();
}

std::optional<PBCategory> MainViewController::categoryAt(int row) const
{
    if (!isValidRow(row))
        return std::nullopt;
    return m_categories.at(row);
}

CategoryCellView *MainViewController::rowView(int row) const
{
    return isValidRow(row) && size_t(row) < m_rows.size() ? m_rows[size_t(row)] : nullptr;
}

void MainViewController::selectRow(int row) { m_selectedRow = isValidRow(row) ? row : -1; }

std::optional<int> MainViewController::rowAt(const QPoint &position) const
{
    for (int i = 0; i < int(m_rows.size()); ++i) {
        if (m_rows[size_t(i)]->isVisible() && m_rows[size_t(i)]->geometry().contains(position))
            return i;
    }
    return std::nullopt;
}

QRect MainViewController::addButtonGeometry() const { return m_addButton->geometry(); }

void MainViewController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_layout->layoutRows();
}

void MainViewController::paintEvent(QPaintEvent *) { m_rowDrag->paintIndicator(); }

// --- Layout

void MainViewController::updateBarSize()
{
    reloadData();
    m_layout->setWindowWidth(ColorBarMetrics::current().barWidth);
    m_layout->layoutRows();
}

void MainViewController::updateBarCorners()
{
    m_addButton->update();
    m_layout->updateShape();
}

// --- Lists

void MainViewController::handleCategoryEdited(bool isNew)
{
    m_history.saveScheduler().schedule();
    if (isNew) {
        updateBarSize();
        placeSideBarOnScreen();
        reloadData();
        NotificationCenter::defaultCenter().post(NotificationName::colorBarCategoryChanged);
    } else {
        reloadData();
    }
}

void MainViewController::announceCategoryEdited(MainViewController *bar, bool isNew)
{
    if (bar)
        bar->handleCategoryEdited(isNew);
    else if (isNew)
        NotificationCenter::defaultCenter().post(NotificationName::colorBarCategoryChanged);
}

// --- Auto-hide and hover

void MainViewController::collapsePanel() { m_hover->collapsePanel(); }

void MainViewController::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    m_hover->followPointer(QCursor::pos());
}

void MainViewController::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    m_hover->followPointer(QCursor::pos());
}

void MainViewController::pointerCrossedTab() { m_hover->followPointer(QCursor::pos()); }

bool MainViewController::eventFilter(QObject *watched, QEvent *event)
{
    m_hover->windowEvent(watched, event);
    return QWidget::eventFilter(watched, event);
}

// --- Hot keys

void MainViewController::bindCategoryShortcuts()
{
    ShortcutBinder &binder = ShortcutBinder::shared();
    const QPointer<MainViewController> self(this);
    const auto bind = [&](const QString &key, void (MainViewController::*action)()) {
        binder.bindShortcut(key, [self, action] {
            if (self)
                (self.data()->*action)();
        });
    };
    bind(kActiveColorBarShortcutKey, &MainViewController::toggleSideBarPanel);
    bind(kShowPreviousCategoryShortcutKey, &MainViewController::selectPreviousCategory);
    bind(kShowNextCategoryShortcutKey, &MainViewController::selectNextCategory);
    // Ctrl+Shift+A belongs to browsers and editors: the list opens with Shift+Super+A.
    binder.retireDefault(kShowCategoryAllShortcutKey, Shortcut(0, Shortcut::kControl | Shortcut::kShift));
    binder.registerDefaultShortcuts(
        {{kShowCategoryAllShortcutKey, Shortcut(0, Shortcut::kShift | Shortcut::kCommand)}});
    bind(kShowCategoryAllShortcutKey, &MainViewController::selectAllCategory);
}

// --- New items and remote changes

void MainViewController::handleDidAddNewItem(const Notification &notification)
{
    const std::optional<NotificationPayload::ItemChanges> changes =
        NotificationPayload::ItemChanges::decode(notification);
    if (!changes)
        return;
    if (!m_settings.animateWhenAddItem() || m_hover->panelIsHidden())
        return;
    // Each row flashes once for the copy, however many of its items it holds.
    QList<PBDefaultCategory> kinds; // a few kinds at most
    for (const PBItem &item : std::as_const(changes->items)) {
        const std::optional<PBCategory> primary = item.primaryCategory();
        if (primary && !kinds.contains(primary->type()))
            kinds.append(primary->type());
    }
    for (PBDefaultCategory kind : std::as_const(kinds)) {
        const auto found = std::find_if(m_categories.cbegin(), m_categories.cend(),
                                        [&](const PBCategory &c) { return c.type() == kind; });
        if (found == m_categories.cend())
            continue;
        const int row = int(found - m_categories.cbegin());
        MainQueue::async([self = QPointer<MainViewController>(this), row] {
            if (self)
                self->flashCategoryRow(row);
        });
    }
}

void MainViewController::flashCategoryRow(int row)
{
    if (CategoryCellView *view = rowView(row))
        view->showNewItemFlash();
}

void MainViewController::remoteDataChanged()
{
    // Rows are not rebuilt under the pointer; the change is applied when it leaves.
    if (m_hover->isPointerInside()) {
        m_pendingReload = true;
        return;
    }
    MainQueue::async([self = QPointer<MainViewController>(this)] {
        if (!self)
            return;
        if (self->m_hover->isPointerInside())
            self->m_pendingReload = true;
        else
            self->reloadData();
    });
}

void MainViewController::observeNotifications()
{
    const QPointer<MainViewController> self(this);
    const auto observe = [&](const QString &name,
                             std::function<void(MainViewController &, const Notification &)> handler) {
        m_observers.observe(name, [self, handler](const Notification &notification) {
            if (self)
                handler(*self, notification);
        });
    };
    observe(NotificationName::activeScreenDidChange, [](MainViewController &bar, const Notification &) {
        bar.showPanel();
        bar.followFullScreenWindows();
    });
    // The screen option or the chosen screen changed in the preferences: the bar goes to the screen
    // they now name.
    observe(NotificationName::colorBarScreenOptionChanged, [](MainViewController &bar, const Notification &) {
        bar.placeSideBarOnScreen();
        bar.followFullScreenWindows();
    });
    observe(NotificationName::colorBarShowWhenEnteredFullscreen, [](MainViewController &bar, const Notification &n) {
        if (NotificationPayload::ColorBarSwitch::decode(n))
            bar.followFullScreenWindows();
    });
    connect(&FullScreenWindows::shared(), &FullScreenWindows::changed, this, [this] { followFullScreenWindows(); });
    observe(NotificationName::categorySettingsUpdated,
            [](MainViewController &bar, const Notification &) { bar.reloadData(); });
    observe(NotificationName::colorBarAutoHideSwitch, [](MainViewController &bar, const Notification &n) {
        if (NotificationPayload::ColorBarSwitch::decode(n))
            bar.showPanel();
    });
    observe(NotificationName::colorBarShowWhenMouseEntered, [](MainViewController &bar, const Notification &n) {
        const std::optional<bool> shown = NotificationPayload::ColorBarSwitch::decode(n);
        if (!shown)
            return;
        if (*shown)
            bar.updateBarSize();
        else if (bar.m_settings.needAutoHideColorBar() && bar.m_hover->panelIsHidden())
            bar.m_hover->watchForPointer(false);
    });
    observe(NotificationName::colorBarDelayChanged, [](MainViewController &bar, const Notification &n) {
        if (!NotificationPayload::ColorBarDelay::decode(n))
            return;
        bar.m_hover->stopHideTimer();
        bar.scheduleHideTimer();
    });
    observe(NotificationName::colorBarAppearanceChanged, [](MainViewController &bar, const Notification &) {
        bar.updateBarCorners();
        bar.reloadData();
    });
    const auto relayout = [](MainViewController &bar) {
        bar.showPanel();
        bar.updateBarCorners();
        bar.reloadData();
    };
    observe(NotificationName::colorBarSizeChanged, [relayout](MainViewController &bar, const Notification &n) {
        if (NotificationPayload::ColorBarSize::decode(n))
            relayout(bar);
    });
    observe(NotificationName::colorBarPositionChanged, [relayout](MainViewController &bar, const Notification &n) {
        if (NotificationPayload::ColorBarPosition::decode(n))
            relayout(bar);
    });
    // A category hidden or shown again elsewhere (the preferences' category pane).
    observe(NotificationName::categoryHideChanged, [](MainViewController &bar, const Notification &) {
        bar.updateBarSize();
        bar.placeSideBarOnScreen();
        bar.reloadData();
    });
    observe(NotificationName::colorBarMouseEntered,
            [](MainViewController &bar, const Notification &) { bar.m_hover->stopCollapseTimer(); });
    observe(NotificationName::colorBarMouseExited,
            [](MainViewController &bar, const Notification &) { bar.scheduleCollapseTimer(); });
    observe(NotificationName::categoryActiveStatusChanged,
            [](MainViewController &bar, const Notification &) { bar.reloadData(); });
    observe(NotificationName::remoteDataChanged,
            [](MainViewController &bar, const Notification &) { bar.remoteDataChanged(); });
    observe(NotificationName::historyDidAddNewItem,
            [](MainViewController &bar, const Notification &n) { bar.handleDidAddNewItem(n); });
    observe(AppActivation::kWillResignActive,
            [](MainViewController &bar, const Notification &) { bar.remoteDataChanged(); });
    m_observers.observe(
        CloudKeyValueStore::kDidChangeExternally,
        [self](const Notification &notification) {
            const QStringList keys = notification.userInfo.value(CloudKeyValueStore::kChangedKeys).toStringList();
            if (self && !keys.isEmpty() && keys.first() == QLatin1String("activeCategoryID"))
                self->remoteDataChanged();
        },
        &CloudKeyValueStore::shared());
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                remoteDataChanged();
        });
        const auto watch = [this](QScreen *screen) {
            connect(screen, &QScreen::geometryChanged, this, [this] { placeSideBarOnScreen(); });
            connect(screen, &QScreen::availableGeometryChanged, this, [this] { placeSideBarOnScreen(); });
        };
        for (QScreen *screen : QGuiApplication::screens())
            watch(screen);
        connect(app, &QGuiApplication::screenAdded, this, [this, watch](QScreen *screen) {
            watch(screen);
            placeSideBarOnScreen();
        });
        connect(app, &QGuiApplication::screenRemoved, this,
                [this] { QTimer::singleShot(0, this, [this] { placeSideBarOnScreen(); }); });
    }
}

// --- Row menu

void MainViewController::rowMenuRequested(CategoryCellView *row, const QPoint &globalPosition)
{
    const auto it = std::find(m_rows.begin(), m_rows.end(), row);
    if (it == m_rows.end())
        return;
    if (QMenu *menu = rowMenu(int(it - m_rows.begin())))
        menu->popup(globalPosition);
}

// --- The add button

void MainViewController::addButtonPressed(const QPoint &) { m_addButton->press(); }

void MainViewController::mouseDragged(const QPoint &globalPosition) { m_addButton->dragTo(globalPosition); }

void MainViewController::addButtonReleased(const QPoint &globalPosition)
{
    if (m_addButton->release(globalPosition) && !m_hover->panelIsHidden())
        categoryColorPickWindowController()->present();
}

bool MainViewController::isAddButtonPressed() const { return m_addButton->isPressed(); }

bool MainViewController::isDraggingBar() const { return m_addButton->isDraggingBar(); }

void MainViewController::addButtonMenuRequested(const QPoint &globalPosition)
{
    if (AppDelegate *delegate = AppDelegate::shared(); delegate && delegate->statusBarMenu)
        delegate->statusBarMenu->popup(globalPosition);
}

// --- Clicks and drags of rows

QString MainViewController::activeCategoryId() const { return m_settings.activeCategoryID(); }

std::optional<qsizetype> MainViewController::knownItemCount(const PBCategory &category) const
{
    return m_itemCounts->count(category.id());
}

void MainViewController::rowClicked(CategoryCellView *row)
{
    const auto it = std::find(m_rows.begin(), m_rows.end(), row);
    if (it != m_rows.end())
        tableViewDidClickRow(int(it - m_rows.begin()));
}

void MainViewController::rowDragStarted(CategoryCellView *row)
{
    const auto it = std::find(m_rows.begin(), m_rows.end(), row);
    if (it == m_rows.end() || !row->category())
        return;
    m_rowDrag->start(row, int(it - m_rows.begin()));
}

void MainViewController::dragEnterEvent(QDragEnterEvent *event) { m_rowDrag->dragEnter(event); }

void MainViewController::dragMoveEvent(QDragMoveEvent *event) { m_rowDrag->dragMove(event); }

void MainViewController::dragLeaveEvent(QDragLeaveEvent *) { m_rowDrag->dragLeave(); }

void MainViewController::dropEvent(QDropEvent *event) { m_rowDrag->drop(event); }
