#include "shell/RoundedPanelWindow.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <algorithm>

RoundedPanelWindow::RoundedPanelWindow(double cornerRadius, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_cornerRadius(cornerRadius)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void RoundedPanelWindow::showWindow() { show(); }

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

void RoundedPanelWindow::setTitleLabel(QLabel *label)
{
    m_title = label;
    label->setWordWrap(true);
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    label->setFont(titleFont);
}

void RoundedPanelWindow::fitToWidth(int width)
{
    m_preferredWidth = width;
    QLayout *content = layout();
    if (!content)
        return;
    content->activate();
    const int fitted = std::max(width, content->totalMinimumSize().width());
    const int height =
        content->hasHeightForWidth() ? content->totalHeightForWidth(fitted) : content->totalSizeHint().height();
    setFixedSize(fitted, std::max(height, content->totalMinimumSize().height()));
}

void RoundedPanelWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::FontChange && event->type() != QEvent::StyleChange)
        return;
    if (m_title)
        setTitleLabel(m_title);
    // Once the children have taken the new font too.
    if (m_preferredWidth > 0)
        QMetaObject::invokeMethod(
            this, [this] { fitToWidth(m_preferredWidth); }, Qt::QueuedConnection);
}

void RoundedPanelWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
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
