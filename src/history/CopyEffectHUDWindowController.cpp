#include "history/CopyEffectHUDWindowController.h"

#include "controls/CheckMarkView.h"
#include "platform/DispatchQueue.h"
#include "platform/Strings.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>

CopyEffectHUDWindowController::CopyEffectHUDWindowController(QWidget *parent, DelayedScheduler scheduler)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
                          | Qt::WindowTransparentForInput),
      m_scheduler(std::move(scheduler))
{
    setObjectName(QStringLiteral("HUDWindowController"));
    setWindowTitle(QStringLiteral("TaviPaste Feedback"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);

    m_checkView = new CheckMarkView(this);
    m_checkView->setObjectName(QStringLiteral("checkView"));
    m_checkView->setFixedSize(64, 64);
    m_label = new QLabel(L("HUD.Copied.Label"), this);
    m_label->setObjectName(QStringLiteral("label"));
    m_label->setAlignment(Qt::AlignCenter);
    QFont labelFont = m_label->font();
    labelFont.setPointSizeF(labelFont.pointSizeF() * 1.3);
    labelFont.setBold(true);
    m_label->setFont(labelFont);
    m_itemsCountLabel = new QLabel(this);
    m_itemsCountLabel->setObjectName(QStringLiteral("itemsCountLabel"));
    m_itemsCountLabel->setAlignment(Qt::AlignCenter);
    m_itemsCountLabel->hide();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->addWidget(m_checkView, 0, Qt::AlignHCenter);
    layout->addWidget(m_label);
    layout->addWidget(m_itemsCountLabel);
    setFixedSize(180, 160);
    windowDidLoad();
}

void CopyEffectHUDWindowController::windowDidLoad()
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, QColor(40, 40, 40));
    setPalette(palette);
}

void CopyEffectHUDWindowController::showWindow()
{
    // Placed before it is shown, so it is mapped once, there.
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    const QPointer<CopyEffectHUDWindowController> self(this);
    // Hidden, not closed: closing a window drops its native window, made again at every copy.
    m_scheduler(std::chrono::milliseconds(kCloseDelayMs), [self] {
        if (self)
            self->hide();
    });
}

void CopyEffectHUDWindowController::animateCheckMark()
{
    m_checkView->removeMarkLayers();
    if (!isVisible())
        return;
    // The view records its rectangle when it is first painted; until then use its own.
    const QRectF rect =
        m_checkView->originalRect.value_or(QRectF(m_checkView->rect())
                                               .adjusted(m_checkView->lineWidth, m_checkView->lineWidth,
                                                         -m_checkView->lineWidth, -m_checkView->lineWidth));
    m_checkView->drawCheckMark(rect);
}

void CopyEffectHUDWindowController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    animateCheckMark();
}

void CopyEffectHUDWindowController::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_checkView->removeMarkLayers();
}

void CopyEffectHUDWindowController::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 10, 10);
    painter.fillPath(path, QColor::fromRgbF(0.8, 0.8, 0.8, 0.8));
}
