#include "colorbar/ColorBarLayout.h"

#include "colorbar/CategoryCellView.h"
#include "colorbar/ColorBarMetrics.h"
#include "colorbar/PBScreenMonitor.h"
#include "platform/DockWindow.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

ColorBarLayout::ColorBarLayout(QWidget &view, const QList<PBCategory> &categories,
                               const std::vector<CategoryCellView *> &rows, QWidget &addButton,
                               PBScreenMonitor &monitor)
    : m_view(view),
      m_categories(categories),
      m_rows(rows),
      m_addButton(addButton),
      m_monitor(monitor)
{
}

QWidget *ColorBarLayout::barWindow() const { return m_view.window(); }

int ColorBarLayout::visibleCategoryCount() const
{
    return int(
        std::count_if(m_categories.begin(), m_categories.end(), [](const PBCategory &c) { return !c.isHidden(); }));
}

void ColorBarLayout::layoutRows()
{
    const ColorBarMetrics metrics = ColorBarMetrics::current();
    int y = 0;
    for (CategoryCellView *row : m_rows) {
        const int height = row->category() && row->category()->isHidden() ? 0 : metrics.rowHeight;
        row->setGeometry(0, y, m_view.width(), height);
        y += height;
    }
    const int x = ColorBarPlacement::isDockedRight() ? m_view.width() - metrics.barWidth : 0;
    m_addButton.setGeometry(x, y, metrics.barWidth, metrics.rowHeight);
    updateShape();
}

void ColorBarLayout::updateShape()
{
    // Without a compositor the window cannot be transparent: its shape is the tabs and the add
    // button, so the space beside a narrow tab never covers other programs or takes their clicks.
    QWidget *window = barWindow();
    if (window == &m_view || window->parentWidget())
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
    const QPainterPath add = ColorBarPlacement::tabShape(QRectF(m_addButton.geometry()), metrics.cornerRadius,
                                                         ColorBarPlacement::roundedSide());
    region += QRegion(add.toFillPolygon().toPolygon());
    region.translate(m_view.mapTo(window, QPoint()));
    if (region != window->mask())
        window->setMask(region);
}

void ColorBarLayout::setWindowWidth(int width)
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

QScreen *ColorBarLayout::placementScreen() const
{
    if (QScreen *screen = m_monitor.currentScreen())
        return screen;
    // Not shown yet, so no screen taken: the one the window is made on.
    return barWindow()->screen() ? barWindow()->screen() : QGuiApplication::primaryScreen();
}

int ColorBarLayout::barTop(QScreen *screen, int height)
{
    const QRect frame = screen->geometry();
    const QString key = ColorBarPlacement::originKey(screen);
    const std::optional<double> remembered = ColorBarPlacement::rememberedTop(key);
    if (remembered && ColorBarPlacement::isAcceptableTop(*remembered, frame, height))
        return int(std::lround(*remembered));
    const int top = ColorBarPlacement::centredTop(frame, height);
    ColorBarPlacement::rememberTop(key, top);
    return top;
}

void ColorBarLayout::placeSideBarOnScreen()
{
    QScreen *screen = placementScreen();
    if (!screen)
        return;
    QWidget *window = barWindow();
    const ColorBarMetrics metrics = ColorBarMetrics::current();
    const int height = window->height();
    const QRect visible = screen->availableGeometry();
    const bool right = ColorBarPlacement::isDockedRight();
    const int x = ColorBarPlacement::dockedX(visible, right, metrics.barWidth);
    const QRect place(x, barTop(screen, height), metrics.barWidth, height);
    if (place != window->geometry())
        window->setGeometry(place);
    // The bar moves along its edge and widens under the pointer: it keeps the edge's whole strip.
    DockWindow::setReservedArea(window, QRect(ColorBarPlacement::dockedX(visible, right, metrics.expandedWidth),
                                              visible.top(), metrics.expandedWidth, visible.height()));
    m_edgeCorrections = 0;
    layoutRows();
}

void ColorBarLayout::keepDockedEdge()
{
    QScreen *screen = m_monitor.currentScreen();
    QWidget *window = barWindow();
    if (!screen || m_edgeCorrections >= 5)
        return;
    const int x =
        ColorBarPlacement::dockedX(screen->availableGeometry(), ColorBarPlacement::isDockedRight(), window->width());
    if (window->x() == x)
        return;
    ++m_edgeCorrections;
    // Back to the bar's own top, not the one reported with the move: a report can be an old one,
    // from before the bar was last placed.
    window->move(x, barTop(screen, window->height()));
}

void ColorBarLayout::collapseExpandedBar()
{
    const ColorBarMetrics metrics = ColorBarMetrics::current();
    if (barWindow()->width() == metrics.expandedWidth)
        setWindowWidth(metrics.barWidth);
}

void ColorBarLayout::widenWindow() { setWindowWidth(ColorBarMetrics::current().expandedWidth); }

void ColorBarLayout::flashDidEnd()
{
    const ColorBarMetrics metrics = ColorBarMetrics::current();
    for (CategoryCellView *row : m_rows) {
        if (row->isMouseIn() || row->isAnimating() || row->tabWidth() > metrics.barWidth)
            return;
    }
    setWindowWidth(metrics.barWidth);
}
