#include "history/PreviewPopover.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

PreviewPopover::PreviewPopover(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("contentPopover"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
}

QPoint PreviewPopover::placement(const QSize &size, const QRect &anchor, const QRect &available)
{
    int x = anchor.right() + 1 + kGap;
    if (x + size.width() > available.right() + 1 && anchor.left() - kGap - size.width() >= available.left())
        x = anchor.left() - kGap - size.width();
    int y = anchor.center().y() - size.height() / 2;
    x = std::clamp(x, available.left(), std::max(available.left(), available.right() + 1 - size.width()));
    y = std::clamp(y, available.top(), std::max(available.top(), available.bottom() + 1 - size.height()));
    return {x, y};
}

void PreviewPopover::show(QWidget *content, const QRect &anchor)
{
    auto *box = static_cast<QVBoxLayout *>(layout());
    if (m_content != content) {
        if (m_content) {
            m_content->hide();
            box->removeWidget(m_content);
        }
        m_content = content;
        content->setParent(this);
        box->addWidget(content);
    }
    content->show();
    adjustSize();
    QScreen *screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(anchor.topLeft(), QSize(4000, 4000));
    move(placement(size(), anchor, available));
    QWidget::show();
    raise();
}

void PreviewPopover::close()
{
    if (m_content)
        m_content->hide();
    hide();
}

void PreviewPopover::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
