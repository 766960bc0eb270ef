#include "colorbar/AddButtonView.h"

#include "colorbar/ColorBarMetrics.h"
#include "colorbar/MainViewController.h"
#include "colorbar/PBScreenMonitor.h"
#include "platform/ColorAssets.h"
#include "platform/Strings.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <algorithm>
#include <cstdlib>

AddButtonView::AddButtonView(MainViewController &owner, PBScreenMonitor &monitor)
    : QWidget(&owner),
      m_owner(owner),
      m_monitor(monitor)
{
    setObjectName(QStringLiteral("addImageView"));
    setCursor(Qt::PointingHandCursor);
    setToolTip(L("ColorBar.Add.tooltip"));
}

void AddButtonView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor background = ColorAssets::namedOr(QStringLiteral("Asbestos"), QColor(0x7F8C8D));
    if (m_pressed)
        background.setAlphaF(0.6f);
    const ColorBarMetrics metrics = ColorBarMetrics::current();
    painter.fillPath(
        ColorBarPlacement::tabShape(QRectF(rect()), metrics.cornerRadius, ColorBarPlacement::roundedSide()),
        background);
    const double arm = std::max(3.0, width() * 0.28);
    const QPointF centre = QRectF(rect()).center();
    painter.setPen(QPen(Qt::white, std::max(1.5, width() / 10.0), Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(centre.x() - arm, centre.y()), QPointF(centre.x() + arm, centre.y()));
    painter.drawLine(QPointF(centre.x(), centre.y() - arm), QPointF(centre.x(), centre.y() + arm));
}

void AddButtonView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_owner.addButtonPressed(event->globalPosition().toPoint());
}

void AddButtonView::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        m_owner.mouseDragged(event->globalPosition().toPoint());
}

void AddButtonView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_owner.addButtonReleased(event->globalPosition().toPoint());
}

void AddButtonView::contextMenuEvent(QContextMenuEvent *event) { m_owner.addButtonMenuRequested(event->globalPos()); }

void AddButtonView::press()
{
    m_dragStartOriginY = window()->y();
    m_pressed = true;
    update();
}

void AddButtonView::dragTo(const QPoint &globalPosition)
{
    QWidget *bar = window();
    const QPoint inWindow = globalPosition - bar->geometry().topLeft();
    const QRect addInWindow(mapTo(bar, QPoint()), size());
    QScreen *screen = m_monitor.currentScreen();
    if (!screen)
        return;
    const QRect frame = screen->geometry();
    if (addInWindow.contains(inWindow) && !m_draggingBar) {
        m_startOffset = inWindow.y();
        const int top = globalPosition.y() - m_startOffset;
        if (top + bar->height() > frame.top() + frame.height())
            return;
        m_draggingBar = true;
    }
    if (!m_draggingBar)
        return; // a stray move outside the button never writes a position
    moveBarTo(globalPosition.y() - m_startOffset);
}

void AddButtonView::moveBarTo(int top)
{
    QScreen *screen = m_monitor.currentScreen();
    if (!screen)
        return;
    QWidget *bar = window();
    const QRect frame = screen->geometry();
    if (top < frame.top() + ColorBarPlacement::kTopMargin)
        return;
    const int x =
        ColorBarPlacement::dockedX(screen->availableGeometry(), ColorBarPlacement::isDockedRight(), bar->width());
    if (top + bar->height() <= frame.top() + frame.height() - ColorBarPlacement::kBottomMargin)
        bar->move(x, top);
    // The top the bar actually has, so the remembered value always lies within the bounds.
    ColorBarPlacement::rememberTop(ColorBarPlacement::originKey(screen), bar->y());
}

bool AddButtonView::release(const QPoint &globalPosition)
{
    if (m_pressed) {
        m_pressed = false;
        update();
    }
    const QRect global(mapToGlobal(QPoint()), size());
    const bool click = global.contains(globalPosition) && std::abs(window()->y() - m_dragStartOriginY) < 3;
    m_draggingBar = false;
    return click;
}
