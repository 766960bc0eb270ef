#include "colorbar/MainViewController.h"

#include "capture/TaviPBManager.h"
#include "colorbar/CategoryEditWindowController.h"
#include "colorbar/CategoryItemCounts.h"
#include "colorbar/CategoryPasteboardWriter.h"
#include "colorbar/HideCategoryHintWindowController.h"
#include "colorbar/PBScreenMonitor.h"
#include "core/Alert.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "core/PBItem.h"
#include "core/TaviSettings.h"
#include "history/CategoryListViewController.h"
#include "platform/Analytics.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/ColorAssets.h"
#include "platform/Defaults.h"
#include "platform/DispatchQueue.h"
#include "platform/DockWindow.h"
#include "platform/FullScreenWindows.h"
#include "platform/Log.h"
#include "platform/MouseUpMonitor.h"
#include "platform/ShortcutBinder.h"
#include "platform/Strings.h"
#include "shell/AppActivation.h"
#include "shell/AppDelegate.h"

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QGuiApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
const char *const kLogTag = "MainViewController";

} // namespace

// The add button below the rows; also the handle the bar is dragged by.
class AddButtonView : public QWidget {
public:
    explicit AddButtonView(MainViewController *owner) : QWidget(owner), m_owner(owner)
    {
        setObjectName(QStringLiteral("addImageView"));
        setCursor(Qt::PointingHandCursor);
        setToolTip(L("ColorBar.Add.tooltip"));
    }
    bool pressed = false;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor background = ColorAssets::namedOr(QStringLiteral("Asbestos"), QColor(0x7F8C8D));
        if (pressed)
            background.setAlphaF(0.6f);
        const ColorBarMetrics metrics = ColorBarMetrics::current();
        painter.fillPath(ColorBarPlacement::tabShape(QRectF(rect()), metrics.cornerRadius, ColorBarPlacement::roundedSide()), background);
        const double arm = std::max(3.0, width() * 0.28);
        const QPointF centre = QRectF(rect()).center();
        painter.setPen(QPen(Qt::white, std::max(1.5, width() / 10.0), Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(centre.x() - arm, centre.y()), QPointF(centre.x() + arm, centre.y()));
        painter.drawLine(QPointF(centre.x(), centre.y() - arm), QPointF(centre.x(), centre.y() + arm));
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton)
            m_owner->addButtonPressed(event->globalPosition().toPoint());
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        if (event->buttons() & Qt::LeftButton)
            m_owner->mouseDragged(event->globalPosition().toPoint());
    }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton)
            m_owner->addButtonReleased(event->globalPosition().toPoint());
    }
    void contextMenuEvent(QContextMenuEvent *event) override { m_owner->addButtonMenuRequested(event->globalPos()); }

private:
    MainViewController *m_owner;
};

MainViewController::MainViewController(PBCategoryManager &categories, TaviPBManager &history, PBScreenMonitor &monitor,
                                       QWidget *parent)
    : QWidget(parent), m_categoryManager(categories), m_history(history), m_mouseMonitor(monitor)
{
    setObjectName(QStringLiteral("MainViewController"));
    setAcceptDrops(true);
    setMouseTracking(true);
    m_addButton = new AddButtonView(this);
    m_itemCounts = new CategoryItemCounts(history, this);
    m_itemCounts->setHeld(true); // until the bar has appeared
    connect(m_itemCounts, &CategoryItemCounts::countChanged, this, [this](const QString &id) {
        for (CategoryCellView *row : m_rows) {
            if (row->category() && row->category()->id() == id)
                row->itemCountChanged();
        }
    });
    m_hideTimer = new QTimer(this);
    m_hideTimer->setSingleShot(true);
    connect(m_hideTimer, &QTimer::timeout, this, [this] { handlePanelHiddenAction(); });
    m_collapseTimer = new QTimer(this);
    m_collapseTimer->setSingleShot(true);
    m_collapseTimer->setInterval(kCollapseDelayMs);
    connect(m_collapseTimer, &QTimer::timeout, this, [this] { collapseExpandedBar(); });
    m_pointerPoll = new QTimer(this);
    m_pointerPoll->setInterval(kPointerPollMs);
    connect(m_pointerPoll, &QTimer::timeout, this, [this] { pointerMoved(QCursor::pos()); });
}

MainViewController::~MainViewController()
{
    watchForPointer(false);
    m_observers.clear();
    if (CategoryWindowController *list = existingCategoryWindowController(); list && list->delegate == this)
        list->delegate = nullptr;
    if (m_categoryColorPickWindowController)
        delete m_categoryColorPickWindowController.data();
    if (m_hideCategoryHintWC)
        delete m_hideCategoryHintWC.data();
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
    watchBarWindow();
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
    watchBarWindow();
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
    layoutRows();
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

void MainViewController::selectRow(int row)
{
    m_selectedRow = isValidRow(row) ? row : -1;
}

std::optional<int> MainViewController::rowAt(const QPoint &position) const
{
    for (int i = 0; i < int(m_rows.size()); ++i) {
        if (m_rows[size_t(i)]->isVisible() && m_rows[size_t(i)]->geometry().contains(position))
            return i;
    }
    return std::nullopt;
}

QRect MainViewController::addButtonGeometry() const
{
    return m_addButton->geometry();
}

int MainViewController::visibleCategoryCount() const
{
    return int(std::count_if(m_categories.begin(), m_categories.end(), [](const PBCategory &c) { return !c.isHidden(); }));
}

void MainViewController::layoutRows()
{
    const ColorBarMetrics metrics = ColorBarMetrics::current();
    int y = 0;
    for (CategoryCellView *row : m_rows) {
        const int height = row->category() && row->category()->isHidden() ? 0 : metrics.rowHeight;
        row->setGeometry(0, y, width(), height);
        y += height;
    }
    const int x = ColorBarPlacement::isDockedRight() ? width() - metrics.barWidth : 0;
    m_addButton->setGeometry(x, y, metrics.barWidth, metrics.rowHeight);
    updateShape();
}

void MainViewController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutRows();
}

void MainViewController::tabDidResize()
{
    updateShape();
}

void MainViewController::updateShape()
{
    // Without a compositor the window cannot be transparent: its shape is the tabs and the add
    // button, so the space beside a narrow tab never covers other programs or takes their clicks.
    QWidget *window = barWindow();
    if (window == this || window->parentWidget())
        return;
    static const bool canShape = QGuiApplication::platformName() == QLatin1String("xcb");
    if (!canShape)
        return;
    const ColorBarMetrics metrics = ColorBarMetrics::current();
    QRegion region;
    for (CategoryCellView *row : m_rows) {
        // Shaped while the window is hidden too (before it is shown again), when no row is visible.
        if (!row->isHidden())
            region += row->tabRegion().translated(row->pos());
    }
    const QPainterPath add = ColorBarPlacement::tabShape(QRectF(m_addButton->geometry()), metrics.cornerRadius,
                                                         ColorBarPlacement::roundedSide());
    region += QRegion(add.toFillPolygon().toPolygon());
    region.translate(mapTo(window, QPoint()));
    if (region != window->mask())
        window->setMask(region);
}

void MainViewController::paintEvent(QPaintEvent *)
{
    if (!m_dropIndicatorRow)
        return;
    // The gap where a dragged row will land.
    int y = 0;
    for (int i = 0; i < *m_dropIndicatorRow && i < int(m_rows.size()); ++i)
        y += m_rows[size_t(i)]->height();
    QPainter painter(this);
    painter.fillRect(QRect(0, std::max(0, y - 1), width(), 2), QColor(0x2C3E50));
}

// --- Layout

void MainViewController::setWindowWidth(int width)
{
    QWidget *window = barWindow();
    const ColorBarMetrics metrics = ColorBarMetrics::current();
    const int height = metrics.barHeight(visibleCategoryCount());
    QRect frame = window->geometry();
    const int right = frame.x() + frame.width();
    frame.setSize(QSize(width, height));
    if (ColorBarPlacement::isDockedRight())
        frame.moveLeft(right - width);
    if (frame != window->geometry())
        window->setGeometry(frame);
}

void MainViewController::updateBarSize()
{
    reloadData();
    setWindowWidth(ColorBarMetrics::current().barWidth);
    layoutRows();
}

QScreen *MainViewController::placementScreen() const
{
    if (QScreen *screen = m_mouseMonitor.currentScreen())
        return screen;
    // Not shown yet, so no screen taken: the one the window is made on.
    return barWindow()->screen() ? barWindow()->screen() : QGuiApplication::primaryScreen();
}

int MainViewController::barTop(QScreen *screen, int height)
{
    const QRect frame = screen->geometry();
    const QString key = ColorBarPlacement::originKey(screen);
    const std::optional<double> remembered = ColorBarPlacement::rememberedTop(key);
    if (remembered && ColorBarPlacement::isAcceptableTop(*remembered, frame, height))
        return int(std::lround(*remembered));
    const int top = ColorBarPlacement::centredTop(frame, height);
    Defaults::standard().setValue(key, double(top));
    return top;
}

void MainViewController::placeSideBarOnScreen()
{
    QScreen *screen = placementScreen();
    if (!screen)
        return;
    QWidget *window = barWindow();
    const ColorBarMetrics metrics = ColorBarMetrics::current();
    const int height = window->height();
    const int x = ColorBarPlacement::dockedX(screen->availableGeometry(), ColorBarPlacement::isDockedRight(), metrics.barWidth);
    const QRect place(x, barTop(screen, height), metrics.barWidth, height);
    if (place != window->geometry())
        window->setGeometry(place);
    m_edgeCorrections = 0;
    layoutRows();
}

void MainViewController::keepDockedEdge()
{
    QScreen *screen = m_mouseMonitor.currentScreen();
    QWidget *window = barWindow();
    if (!screen || m_edgeCorrections >= 5)
        return;
    const int x = ColorBarPlacement::dockedX(screen->availableGeometry(), ColorBarPlacement::isDockedRight(), window->width());
    if (window->x() == x)
        return;
    ++m_edgeCorrections;
    // Back to the bar's own top, not the one reported with the move: a report can be an old one,
    // from before the bar was last placed.
    window->move(x, barTop(screen, window->height()));
}

void MainViewController::updateBarCorners()
{
    m_addButton->update();
    updateShape();
}

void MainViewController::collapseExpandedBar()
{
    const ColorBarMetrics metrics = ColorBarMetrics::current();
    if (barWindow()->width() == metrics.expandedWidth)
        setWindowWidth(metrics.barWidth);
}

void MainViewController::widenWindow()
{
    setWindowWidth(ColorBarMetrics::current().expandedWidth);
}

void MainViewController::flashDidEnd()
{
    const ColorBarMetrics metrics = ColorBarMetrics::current();
    for (CategoryCellView *row : m_rows) {
        if (row->isMouseIn() || row->isAnimating() || row->tabWidth() > metrics.barWidth)
            return;
    }
    setWindowWidth(metrics.barWidth);
}

// --- Lists

bool MainViewController::isRowStillStored(int row)
{
    const std::optional<PBCategory> category = categoryAt(row);
    if (!category || m_categoryManager.categoryWithId(category->id()))
        return true;
    // Removed elsewhere since the rows were made (another window, another machine): the rows are
    // made again and the bar takes its new height, once the clicked row has finished its event.
    m_selectedRow = -1;
    QTimer::singleShot(0, this, [this] {
        updateBarSize();
        placeSideBarOnScreen();
    });
    return false;
}

void MainViewController::openCategoryList()
{
    LOG_DEBUG(kLogTag, QStringLiteral("--> Open Category List"));
    if (!isRowStillStored(m_selectedRow))
        return;
    CategoryWindowController *list = sharedCategoryWindowController();
    if (!list)
        return;
    list->delegate = this;
    if (list->isVisible())
        list->raise();
    if (QScreen *screen = m_mouseMonitor.currentScreen()) {
        const ColorBarMetrics metrics = ColorBarMetrics::current();
        const QRect visible = screen->availableGeometry();
        const int listWidth = list->width();
        const int x = ColorBarPlacement::isDockedRight() ? visible.x() + visible.width() - listWidth - metrics.barWidth
                                                        : visible.x() + metrics.barWidth;
        const std::optional<PBCategory> category = categoryAt(m_selectedRow);
        if (!category)
            return;
        const QRect bar = barWindow()->geometry();
        int y = bar.y() + (bar.height() - list->height()) / 2;
        // Kept within the screen's usable area when the bar sits near an end.
        y = std::clamp(y, visible.top(), std::max(visible.top(), visible.top() + visible.height() - list->height()));
        list->move(x, y);
        list->showCategory(*category);
    }
    LOG_DEBUG(kLogTag, QStringLiteral("<-- Did Open Category List"));
}

void MainViewController::tableViewDidClickRow(int row)
{
    if (!isValidRow(row) || !isRowStillStored(row))
        return;
    selectRow(row);
    openCategoryList();
    m_selectedIndexCache = row;
}

void MainViewController::categoryListWindowWillClose(const PBCategory &category)
{
    if (!m_isSelectByShortcut)
        m_selectedIndexCache = -1;
    for (int i = 0; i < numberOfRows(); ++i) {
        if (m_categories.at(i).id() == category.id()) {
            if (m_selectedRow == i)
                m_selectedRow = -1;
            break;
        }
    }
}

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

void MainViewController::scheduleHideTimer()
{
    TaviSettings &settings = TaviSettings::shared();
    if (!settings.needAutoHideColorBar())
        return;
    const double seconds = settings.hideColorBarDuration();
    const double bounded = std::isfinite(seconds) ? std::clamp(seconds, 0.0, 24.0 * 3600) : 3.0;
    m_hideTimer->start(int(std::lround(bounded * 1000)));
}

bool MainViewController::isHideTimerArmed() const
{
    return m_hideTimer->isActive();
}

int MainViewController::hideTimerInterval() const
{
    return m_hideTimer->interval();
}

void MainViewController::collapsePanel()
{
    // Without a compositor a fade is an instant change: the bar leaves the screen, and while it
    // should stay reachable, the pointer is watched for over its rectangle.
    m_hideTimer->stop();
    m_panelIsHidden = true;
    barWindow()->hide();
    watchForPointer(TaviSettings::shared().needShowWhenMouseEntered());
}

void MainViewController::showPanel()
{
    watchForPointer(false);
    // Placed while still hidden: the window system maps it once, where it belongs.
    updateBarSize();
    placeSideBarOnScreen();
    showBarWindow();
    if (TaviSettings::shared().needAutoHideColorBar())
        scheduleHideTimer();
    else
        m_hideTimer->stop();
    m_panelIsHidden = false;
}

void MainViewController::showBarWindow()
{
    if (!m_steppedAside)
        barWindow()->show();
}

void MainViewController::followFullScreenWindows()
{
    QScreen *screen = placementScreen();
    const bool covered = screen && FullScreenWindows::shared().coversScreen(screen);
    const bool showOver = TaviSettings::shared().needShowWhenEnterFullscreen();
    const bool above = covered && showOver;
    // Before a show below, so that the bar is mapped once, already out of the window manager's hands.
    if (above)
        DockWindow::keepAboveFullScreenWindows(barWindow(), true);
    const bool stepAside = covered && !showOver;
    if (stepAside != m_steppedAside) {
        m_steppedAside = stepAside;
        if (stepAside)
            barWindow()->hide();
        else if (!m_panelIsHidden)
            showPanel();
    }
    // Raises a bar shown just now, or gives it back to the window manager.
    DockWindow::keepAboveFullScreenWindows(barWindow(), above);
}

void MainViewController::toggleSideBarPanel()
{
    if (m_panelIsHidden) {
        showPanel();
    } else {
        collapsePanel();
    }
}

void MainViewController::watchForPointer(bool watch)
{
    // Told of the pointer's moves, the hidden bar costs nothing while the pointer rests; it polls
    // only where the platform cannot tell it.
    if (!watch) {
        m_pointerPoll->stop();
        if (m_pointerMovedMonitor != 0)
            MouseUpMonitor::shared().removeMonitor(m_pointerMovedMonitor);
        m_pointerMovedMonitor = 0;
        return;
    }
    if (isWatchingForPointer())
        return;
    m_pointerMovedMonitor = MouseUpMonitor::shared().addGlobalMouseMovedMonitor(
        [self = QPointer<MainViewController>(this)](QPoint position) {
            if (self)
                self->pointerMoved(position);
        });
    if (m_pointerMovedMonitor == 0)
        m_pointerPoll->start();
}

bool MainViewController::isWatchingForPointer() const
{
    return m_pointerMovedMonitor != 0 || m_pointerPoll->isActive();
}

bool MainViewController::isPollingForPointer() const
{
    return m_pointerPoll->isActive();
}

void MainViewController::pointerMoved(const QPoint &globalPosition)
{
    if (!m_panelIsHidden || !TaviSettings::shared().needShowWhenMouseEntered()) {
        watchForPointer(false);
        return;
    }
    if (!barWindow()->geometry().contains(globalPosition))
        return;
    watchForPointer(false);
    showBarWindow();
    m_panelIsHidden = false;
    barMouseEntered();
}

void MainViewController::barMouseEntered()
{
    m_pointerInside = true;
    m_hideTimer->stop();
    if (m_panelIsHidden && TaviSettings::shared().needShowWhenMouseEntered()) {
        watchForPointer(false);
        showBarWindow();
        m_panelIsHidden = false;
    }
}

void MainViewController::barMouseExited()
{
    m_pointerInside = false;
    if (m_pendingReload) {
        m_pendingReload = false;
        reloadData();
    }
    scheduleHideTimer();
}

void MainViewController::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    followPointer(QCursor::pos());
}

void MainViewController::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    followPointer(QCursor::pos());
}

void MainViewController::pointerCrossedTab()
{
    followPointer(QCursor::pos());
}

void MainViewController::watchBarWindow()
{
    // Installing again only moves the filter to the front.
    if (QWindow *handle = barWindow()->windowHandle())
        handle->installEventFilter(this);
}

bool MainViewController::eventFilter(QObject *watched, QEvent *event)
{
    // Seen before Qt hands them to the widgets, whose idea of what is under the pointer these same
    // events can mislead; the screen positions they carry are right even when the local ones are not.
    if (watched == barWindow()->windowHandle()) {
        switch (event->type()) {
        case QEvent::Enter:
        case QEvent::MouseMove:
            followPointer(static_cast<QSinglePointEvent *>(event)->globalPosition().toPoint());
            break;
        case QEvent::Leave:
            followPointer(QCursor::pos());
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainViewController::followPointer(const QPoint &globalPosition)
{
    if (m_isInDragAndDrop || std::any_of(m_rows.begin(), m_rows.end(), [](const CategoryCellView *row) { return row->isPressed(); }))
        return;
    QWidget *window = barWindow();
    const bool shown = window->isVisible() && !m_panelIsHidden;
    CategoryCellView *under = nullptr;
    for (CategoryCellView *row : m_rows) {
        const QRect tab = row->tabGeometry();
        if (shown && row->isVisible() && QRect(row->mapToGlobal(tab.topLeft()), tab.size()).contains(globalPosition)) {
            under = row;
            break;
        }
    }
    // Leaves before enters, as the window system orders them; each call reads the row's state
    // afresh, since a row that opens moves the window and may bring this back in.
    for (CategoryCellView *row : m_rows) {
        if (row != under && row->isMouseIn())
            row->pointerExited();
    }
    if (under && !under->isMouseIn())
        under->pointerEntered();
    const QRegion shape = window->mask().isEmpty() ? QRegion(window->rect()) : window->mask();
    const bool inside = shown && (under || shape.translated(window->mapToGlobal(QPoint())).contains(globalPosition));
    if (inside && !m_pointerInside)
        barMouseEntered();
    else if (!inside && m_pointerInside)
        barMouseExited();
}

void MainViewController::scheduleCollapseTimer()
{
    if (m_isInDragAndDrop)
        return;
    m_collapseTimer->start();
}

bool MainViewController::isCollapseTimerArmed() const
{
    return m_collapseTimer->isActive();
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
    binder.registerDefaultShortcuts({{kShowCategoryAllShortcutKey, Shortcut(0, Shortcut::kShift | Shortcut::kCommand)}});
    bind(kShowCategoryAllShortcutKey, &MainViewController::selectAllCategory);
}

void MainViewController::selectPreviousCategory()
{
    // The list may have shrunk since the row was opened.
    const int rows = numberOfRows();
    if (m_selectedIndexCache <= 0 || rows == 0)
        return;
    const int row = std::min(m_selectedIndexCache, rows) - 1;
    m_isSelectByShortcut = true;
    selectRow(row);
    m_isSelectByShortcut = false;
    m_selectedIndexCache = row;
    openCategoryList();
}

void MainViewController::selectNextCategory()
{
    const int rows = numberOfRows();
    if (m_selectedIndexCache >= rows - 1)
        return;
    const int row = std::max(-1, m_selectedIndexCache) + 1;
    m_isSelectByShortcut = true;
    selectRow(row);
    m_isSelectByShortcut = false;
    m_selectedIndexCache = row;
    openCategoryList();
}

void MainViewController::selectAllCategory()
{
    for (int i = 0; i < numberOfRows(); ++i) {
        if (m_categories.at(i).type() == PBDefaultCategory::all) {
            selectRow(i);
            m_selectedIndexCache = i;
            openCategoryList();
            return;
        }
    }
}

// --- New items and remote changes

void MainViewController::handleDidAddNewItem(const Notification &notification)
{
    const QVariant payload = notification.userInfo.value(NotificationKey::items);
    if (!payload.canConvert<QList<PBItem>>())
        return;
    if (!TaviSettings::shared().animateWhenAddItem() || m_panelIsHidden)
        return;
    // Each row flashes once for the copy, however many of its items it holds.
    QList<PBDefaultCategory> kinds; // a few kinds at most
    for (const PBItem &item : payload.value<QList<PBItem>>()) {
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
    if (m_pointerInside) {
        m_pendingReload = true;
        return;
    }
    MainQueue::async([self = QPointer<MainViewController>(this)] {
        if (!self)
            return;
        if (self->m_pointerInside)
            self->m_pendingReload = true;
        else
            self->reloadData();
    });
}

void MainViewController::observeNotifications()
{
    const QPointer<MainViewController> self(this);
    const auto observe = [&](const QString &name, std::function<void(MainViewController &, const Notification &)> handler) {
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
        if (n.info().typeId() == QMetaType::Bool)
            bar.followFullScreenWindows();
    });
    connect(&FullScreenWindows::shared(), &FullScreenWindows::changed, this, [this] { followFullScreenWindows(); });
    observe(NotificationName::categorySettingsUpdated, [](MainViewController &bar, const Notification &) { bar.reloadData(); });
    observe(NotificationName::colorBarAutoHideSwitch, [](MainViewController &bar, const Notification &n) {
        if (n.info().typeId() == QMetaType::Bool)
            bar.showPanel();
    });
    observe(NotificationName::colorBarShowWhenMouseEntered, [](MainViewController &bar, const Notification &n) {
        if (n.info().typeId() != QMetaType::Bool)
            return;
        if (n.info().toBool())
            bar.updateBarSize();
        else if (TaviSettings::shared().needAutoHideColorBar() && bar.m_panelIsHidden)
            bar.watchForPointer(false);
    });
    observe(NotificationName::colorBarDelayChanged, [](MainViewController &bar, const Notification &n) {
        if (n.info().typeId() != QMetaType::Double)
            return;
        bar.m_hideTimer->stop();
        bar.scheduleHideTimer();
    });
    observe(NotificationName::colorBarAppearanceChanged, [](MainViewController &bar, const Notification &) {
        bar.updateBarCorners();
        bar.reloadData();
    });
    const auto relayout = [](MainViewController &bar, const Notification &n) {
        if (!n.info().isValid())
            return;
        bar.showPanel();
        bar.updateBarCorners();
        bar.reloadData();
    };
    observe(NotificationName::colorBarSizeChanged, relayout);
    observe(NotificationName::colorBarPositionChanged, relayout);
    // A category hidden or shown again elsewhere (the preferences' category pane).
    observe(NotificationName::categoryHideChanged, [](MainViewController &bar, const Notification &) {
        bar.updateBarSize();
        bar.placeSideBarOnScreen();
        bar.reloadData();
    });
    observe(NotificationName::colorBarMouseEntered, [](MainViewController &bar, const Notification &) { bar.m_collapseTimer->stop(); });
    observe(NotificationName::colorBarMouseExited, [](MainViewController &bar, const Notification &) { bar.scheduleCollapseTimer(); });
    observe(NotificationName::categoryActiveStatusChanged, [](MainViewController &bar, const Notification &) { bar.reloadData(); });
    observe(NotificationName::remoteDataChanged, [](MainViewController &bar, const Notification &) { bar.remoteDataChanged(); });
    observe(NotificationName::historyDidAddNewItem, [](MainViewController &bar, const Notification &n) { bar.handleDidAddNewItem(n); });
    observe(AppActivation::kWillResignActive, [](MainViewController &bar, const Notification &) { bar.remoteDataChanged(); });
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
        connect(app, &QGuiApplication::screenRemoved, this, [this] {
            QTimer::singleShot(0, this, [this] { placeSideBarOnScreen(); });
        });
    }
}

// --- Row menu

QMenu *MainViewController::rowMenu(int row)
{
    const std::optional<PBCategory> category = categoryAt(row);
    if (!category)
        return nullptr;
    m_selectedCategory = category;
    if (!m_rowMenu) {
        m_rowMenu = new QMenu(this);
        m_rowMenu->setObjectName(QStringLiteral("categoryRowMenu"));
    }
    m_rowMenu->clear();
    QAction *edit = m_rowMenu->addAction(L("ColorBar.Menu.Edit"));
    edit->setObjectName(QStringLiteral("editCategoryMenuItem"));
    connect(edit, &QAction::triggered, this, [this, row] { editCategory(row); });
    QAction *hide = m_rowMenu->addAction(L("ColorBar.Menu.Hide"));
    hide->setObjectName(QStringLiteral("categoryHideMenuItem"));
    hide->setVisible(category->type() != PBDefaultCategory::all);
    connect(hide, &QAction::triggered, this, [this] { hideCategoryFromMenu(); });
    QAction *remove = m_rowMenu->addAction(L("ColorBar.Menu.Remove"));
    remove->setObjectName(QStringLiteral("categoryRemoveMenuItem"));
    remove->setVisible(category->type() == PBDefaultCategory::custom);
    connect(remove, &QAction::triggered, this, [this] { confirmRemoveCategory(); });
    return m_rowMenu;
}

void MainViewController::rowMenuRequested(CategoryCellView *row, const QPoint &globalPosition)
{
    const auto it = std::find(m_rows.begin(), m_rows.end(), row);
    if (it == m_rows.end())
        return;
    if (QMenu *menu = rowMenu(int(it - m_rows.begin())))
        menu->popup(globalPosition);
}

CategoryEditWindowController *MainViewController::categoryColorPickWindowController()
{
    if (!m_categoryColorPickWindowController) {
        m_categoryColorPickWindowController = new CategoryEditWindowController(m_categoryManager);
        m_categoryColorPickWindowController->changedBlick = [self = QPointer<MainViewController>(this)](bool isNew,
                                                                                                         const PBCategory &) {
            announceCategoryEdited(self, isNew);
        };
    }
    return m_categoryColorPickWindowController;
}

void MainViewController::editCategory(int row)
{
    const std::optional<PBCategory> category = categoryAt(row);
    if (!category)
        return;
    categoryColorPickWindowController()->present(*category);
}

void MainViewController::confirmRemoveCategory()
{
    if (!m_selectedCategory)
        return;
    showDestructiveAlert(L("Category.Alert.Warning.title"), L("Category.Alert.CategoryDelete.message"), L("Category.Alert.YES"),
                         L("Category.Alert.NO"), nullptr, [this](ModalResponse response) {
                             if (response == ModalResponse::alertFirstButtonReturn)
                                 removeCategory();
                         });
}

void MainViewController::removeCategory()
{
    CategoryWindowController *list = sharedCategoryWindowController();
    if (!list)
        return;
    const std::optional<PBCategory> &shown = list->contentViewController()->category;
    const bool sameCategory = (!shown && !m_selectedCategory) || (shown && m_selectedCategory && shown->id() == m_selectedCategory->id());
    if (sameCategory && list->isVisible())
        list->close();
    if (!m_selectedCategory)
        return;
    const std::optional<PBCategory> stored = m_categoryManager.categoryWithId(m_selectedCategory->id());
    if (!stored)
        return;
    m_categoryManager.deleteCategory(*stored);
    m_history.saveScheduler().schedule();
    m_selectedCategory.reset();
    updateBarSize();
    placeSideBarOnScreen();
    reloadData();
    NotificationCenter::defaultCenter().post(NotificationName::colorBarCategoryChanged);
}

void MainViewController::hideCategoryFromMenu()
{
    if (!m_selectedCategory)
        return;
    PBCategory category = *m_selectedCategory;
    category.setHidden(true);
    m_categoryManager.update(category);
    m_history.saveScheduler().schedule();
    updateBarSize();
    placeSideBarOnScreen();
    reloadData();
    NotificationCenter::defaultCenter().post(NotificationName::categoryHideChanged);
    if (TaviSettings::shared().needShowHideCategoryTips()) {
        if (m_hideCategoryHintWC)
            m_hideCategoryHintWC->close();
        m_hideCategoryHintWC = new HideCategoryHintWindowController;
        m_hideCategoryHintWC->adjustSize();
        if (QScreen *screen = m_mouseMonitor.currentScreen() ? m_mouseMonitor.currentScreen() : QGuiApplication::primaryScreen())
            m_hideCategoryHintWC->move(screen->availableGeometry().center() - m_hideCategoryHintWC->rect().center());
        m_hideCategoryHintWC->show();
        m_hideCategoryHintWC->raise();
        m_hideCategoryHintWC->activateWindow();
    }
    Analytics::trackEvent(QStringLiteral("Category_Hide"),
                          {{QStringLiteral("category"), rawValue(category.type())}, {QStringLiteral("source"), QStringLiteral("RightClickMenu")}});
}

// --- The add button

void MainViewController::addButtonPressed(const QPoint &)
{
    m_dragStartOriginY = barWindow()->y();
    m_addButton->pressed = true;
    m_addButton->update();
    m_addViewClicked = true;
}

void MainViewController::mouseDragged(const QPoint &globalPosition)
{
    QWidget *window = barWindow();
    const QPoint inWindow = globalPosition - window->geometry().topLeft();
    const QRect addInWindow(m_addButton->mapTo(window, QPoint()), m_addButton->size());
    QScreen *screen = m_mouseMonitor.currentScreen();
    if (!screen)
        return;
    const QRect frame = screen->geometry();
    if (addInWindow.contains(inWindow) && !m_viewIsInDragging) {
        m_startOffset = inWindow.y();
        const int top = globalPosition.y() - m_startOffset;
        if (top + window->height() > frame.top() + frame.height())
            return;
        m_viewIsInDragging = true;
    }
    if (!m_viewIsInDragging)
        return; // a stray move outside the button never writes a position
    moveBarTo(globalPosition.y() - m_startOffset);
}

void MainViewController::moveBarTo(int top)
{
    QScreen *screen = m_mouseMonitor.currentScreen();
    if (!screen)
        return;
    QWidget *window = barWindow();
    const QRect frame = screen->geometry();
    if (top < frame.top() + ColorBarPlacement::kTopMargin)
        return;
    const int x = ColorBarPlacement::dockedX(screen->availableGeometry(), ColorBarPlacement::isDockedRight(), window->width());
    if (top + window->height() <= frame.top() + frame.height() - ColorBarPlacement::kBottomMargin)
        window->move(x, top);
    // The top the bar actually has, so the remembered value always lies within the bounds.
    Defaults::standard().setValue(ColorBarPlacement::originKey(screen), double(window->y()));
}

void MainViewController::addButtonReleased(const QPoint &globalPosition)
{
    if (m_addViewClicked) {
        m_addButton->pressed = false;
        m_addButton->update();
        m_addViewClicked = false;
    }
    QWidget *window = barWindow();
    const QRect addGlobal(m_addButton->mapToGlobal(QPoint()), m_addButton->size());
    if (addGlobal.contains(globalPosition) && std::abs(window->y() - m_dragStartOriginY) < 3 && !m_panelIsHidden)
        categoryColorPickWindowController()->present();
    m_viewIsInDragging = false;
}

void MainViewController::addButtonMenuRequested(const QPoint &globalPosition)
{
    if (AppDelegate *delegate = AppDelegate::shared(); delegate && delegate->statusBarMenu)
        delegate->statusBarMenu->popup(globalPosition);
}

// --- Clicks and drags of rows

QString MainViewController::activeCategoryId() const
{
    return TaviSettings::shared().activeCategoryID();
}

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
    const int index = int(it - m_rows.begin());
    auto *drag = new QDrag(this);
    drag->setMimeData(CategoryPasteboardWriter(*row->category(), index).mimeData());
    QPixmap image(row->tabGeometry().size());
    image.fill(row->category()->backgroundColor());
    drag->setPixmap(image);
    LOG_DEBUG(kLogTag, QStringLiteral("----begin drag----"));
    m_isInDragAndDrop = true;
    drag->exec(Qt::MoveAction);
    m_isInDragAndDrop = false;
    LOG_DEBUG(kLogTag, QStringLiteral("----end drag----"));
}

int MainViewController::dropRowAt(const QPoint &position) const
{
    for (int i = 0; i < int(m_rows.size()); ++i) {
        const CategoryCellView *row = m_rows[size_t(i)];
        if (!row->isVisible())
            continue;
        if (position.y() < row->y() + row->height() / 2)
            return i;
    }
    return numberOfRows();
}

bool MainViewController::validateCategoryDrop(const QObject *source, const QMimeData *data) const
{
    return source == this && data && data->hasFormat(CategoryPasteboardWriter::kIndexType);
}

bool MainViewController::acceptCategoryDrop(const QObject *source, const QMimeData *data, int row)
{
    if (!validateCategoryDrop(source, data) || row < 0 || row > numberOfRows())
        return false;
    const QList<PBCategory> current = m_categoryManager.categories();
    const std::optional<QList<int>> dragged = CategoryPasteboardWriter::draggedRows(data, current);
    if (!dragged)
        return false;
    m_categoryManager.reorder(reorderedCategories(current, *dragged, row));
    m_history.saveScheduler().schedule();
    Analytics::trackEvent(QStringLiteral("Category_Action"), {{QStringLiteral("action"), QStringLiteral("SortCategories")}});
    m_selectedRow = -1;
    reloadData();
    NotificationCenter::defaultCenter().post(NotificationName::colorBarCategoryChanged);
    return true;
}

void MainViewController::dragEnterEvent(QDragEnterEvent *event)
{
    if (validateCategoryDrop(event->source(), event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainViewController::dragMoveEvent(QDragMoveEvent *event)
{
    if (!validateCategoryDrop(event->source(), event->mimeData())) {
        event->ignore();
        return;
    }
    m_dropIndicatorRow = dropRowAt(event->position().toPoint());
    update();
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void MainViewController::dragLeaveEvent(QDragLeaveEvent *)
{
    m_dropIndicatorRow.reset();
    update();
}

void MainViewController::dropEvent(QDropEvent *event)
{
    m_dropIndicatorRow.reset();
    update();
    const int row = dropRowAt(event->position().toPoint());
    if (acceptCategoryDrop(event->source(), event->mimeData(), row)) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}
