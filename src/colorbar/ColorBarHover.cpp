#include "colorbar/ColorBarHover.h"

#include "colorbar/CategoryCellView.h"
#include "colorbar/ColorBarLayout.h"
#include "colorbar/MainViewController.h"
#include "core/TaviSettings.h"
#include "platform/DockWindow.h"
#include "platform/FullScreenWindows.h"
#include "platform/MouseUpMonitor.h"

#include <QCursor>
#include <QEvent>
#include <QPointer>
#include <QSinglePointEvent>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>

ColorBarHover::ColorBarHover(MainViewController &bar, ColorBarLayout &layout,
                             const std::vector<CategoryCellView *> &rows, TaviSettings &settings,
                             std::function<void()> pointerLeft)
    : m_bar(bar),
      m_layout(layout),
      m_rows(rows),
      m_settings(settings),
      m_pointerLeft(std::move(pointerLeft))
{
    m_hideTimer = new QTimer(&m_bar);
    m_hideTimer->setSingleShot(true);
    QObject::connect(m_hideTimer, &QTimer::timeout, &m_bar, [this] { m_bar.handlePanelHiddenAction(); });
    m_collapseTimer = new QTimer(&m_bar);
    m_collapseTimer->setSingleShot(true);
    m_collapseTimer->setInterval(MainViewController::kCollapseDelayMs);
    QObject::connect(m_collapseTimer, &QTimer::timeout, &m_bar, [this] { m_bar.collapseExpandedBar(); });
    m_pointerPoll = new QTimer(&m_bar);
    m_pointerPoll->setInterval(MainViewController::kPointerPollMs);
    QObject::connect(m_pointerPoll, &QTimer::timeout, &m_bar, [this] { pointerMoved(QCursor::pos()); });
}

ColorBarHover::~ColorBarHover() = default;

QWidget *ColorBarHover::barWindow() const { return m_bar.window(); }

// --- Auto-hide

void ColorBarHover::scheduleHideTimer()
{
    if (!m_settings.needAutoHideColorBar())
        return;
    const double seconds = m_settings.hideColorBarDuration();
    const double bounded = std::isfinite(seconds) ? std::clamp(seconds, 0.0, 24.0 * 3600) : 3.0;
    m_hideTimer->start(int(std::lround(bounded * 1000)));
}

void ColorBarHover::stopHideTimer() { m_hideTimer->stop(); }

bool ColorBarHover::isHideTimerArmed() const { return m_hideTimer->isActive(); }

int ColorBarHover::hideTimerInterval() const { return m_hideTimer->interval(); }

void ColorBarHover::collapsePanel()
{
    // Without a compositor a fade is an instant change: the bar leaves the screen, and while it
    // should stay reachable, the pointer is watched for over its rectangle.
    m_hideTimer->stop();
    m_panelIsHidden = true;
    barWindow()->hide();
    watchForPointer(m_settings.needShowWhenMouseEntered());
}

void ColorBarHover::showPanel()
{
    watchForPointer(false);
    // Placed while still hidden: the window system maps it once, where it belongs.
    m_bar.updateBarSize();
    m_bar.placeSideBarOnScreen();
    showBarWindow();
    if (m_settings.needAutoHideColorBar())
        scheduleHideTimer();
    else
        m_hideTimer->stop();
    m_panelIsHidden = false;
}

void ColorBarHover::showBarWindow()
{
    if (!m_steppedAside)
        barWindow()->show();
}

void ColorBarHover::toggleSideBarPanel()
{
    if (m_panelIsHidden) {
        showPanel();
    } else {
        collapsePanel();
    }
}

// --- Full-screen windows

void ColorBarHover::followFullScreenWindows()
{
    QScreen *screen = m_layout.placementScreen();
    const bool covered = screen && FullScreenWindows::shared().coversScreen(screen);
    const bool showOver = m_settings.needShowWhenEnterFullscreen();
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

// --- The pointer

void ColorBarHover::watchForPointer(bool watch)
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
        [bar = QPointer<MainViewController>(&m_bar), this](QPoint position) {
            if (bar)
                pointerMoved(position);
        });
    if (m_pointerMovedMonitor == 0)
        m_pointerPoll->start();
}

bool ColorBarHover::isWatchingForPointer() const { return m_pointerMovedMonitor != 0 || m_pointerPoll->isActive(); }

bool ColorBarHover::isPollingForPointer() const { return m_pointerPoll->isActive(); }

void ColorBarHover::pointerMoved(const QPoint &globalPosition)
{
    if (!m_panelIsHidden || !m_settings.needShowWhenMouseEntered()) {
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

void ColorBarHover::barMouseEntered()
{
    m_pointerInside = true;
    m_hideTimer->stop();
    if (m_panelIsHidden && m_settings.needShowWhenMouseEntered()) {
        watchForPointer(false);
        showBarWindow();
        m_panelIsHidden = false;
    }
}

void ColorBarHover::barMouseExited()
{
    m_pointerInside = false;
    if (m_pointerLeft)
        m_pointerLeft();
    scheduleHideTimer();
}

void ColorBarHover::scheduleCollapseTimer()
{
    if (m_bar.isDragAndDropInProgress())
        return;
    m_collapseTimer->start();
}

void ColorBarHover::stopCollapseTimer() { m_collapseTimer->stop(); }

bool ColorBarHover::isCollapseTimerArmed() const { return m_collapseTimer->isActive(); }

void ColorBarHover::watchBarWindow()
{
    // Installing again only moves the filter to the front.
    if (QWindow *handle = barWindow()->windowHandle())
        handle->installEventFilter(&m_bar);
}

void ColorBarHover::windowEvent(QObject *watched, QEvent *event)
{
    // Seen before Qt hands them to the widgets, whose idea of what is under the pointer these same
    // events can mislead; the screen positions they carry are right even when the local ones are not.
    if (watched != barWindow()->windowHandle())
        return;
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove: followPointer(static_cast<QSinglePointEvent *>(event)->globalPosition().toPoint()); break;
    case QEvent::Leave: followPointer(QCursor::pos()); break;
    default: break;
    }
}

void ColorBarHover::followPointer(const QPoint &globalPosition)
{
    if (m_bar.isDragAndDropInProgress()
        || std::any_of(m_rows.begin(), m_rows.end(), [](const CategoryCellView *row) { return row->isPressed(); }))
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
