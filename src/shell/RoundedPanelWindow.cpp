#include "shell/RoundedPanelWindow.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

RoundedPanelWindow::RoundedPanelWindow(double cornerRadius, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_cornerRadius(cornerRadius)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void RoundedPanelWindow::showWindow()
{
    show();
}

void RoundedPanelWindow::makeKeyAndOrderFront()
{
    raise();
    activateWindow();
}

void RoundedPanelWindow::center()
{
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void RoundedPanelWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
    painter.fillPath(path, palette().window());
}

void RoundedPanelWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    QWidget::mousePressEvent(event);
}

void RoundedPanelWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragOffset && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - *m_dragOffset);
    QWidget::mouseMoveEvent(event);
}

void RoundedPanelWindow::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragOffset.reset();
    QWidget::mouseReleaseEvent(event);
}
