#include "history/PBHUDWindowController.h"

#include "capture/TaviPBManager.h"
#include "controls/SceneRegistry.h"
#include "history/PBHUDViewController.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>

namespace {
PBHUDWindowController *g_shared = nullptr;
} // namespace

PBHUDWindowController::PBHUDWindowController(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("PBHUDWindowController"));
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("TaviPaste"));
    m_content = new PBHUDViewController(TaviPBManager::shared(), this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_content);
    setFixedWidth(kWidth);
    connect(m_content, &PBHUDViewController::tableHeightChanged, this, &PBHUDWindowController::fitToContent);
    connect(m_content, &PBHUDViewController::closeRequested, this, &QWidget::close);
    fitToContent();
}

PBHUDWindowController *PBHUDWindowController::shared()
{
    return g_shared;
}

void PBHUDWindowController::toggle()
{
    if (!g_shared) {
        g_shared = SceneRegistry::shared().instantiate<PBHUDWindowController>(QStringLiteral("PBHUD"),
                                                                             QStringLiteral("PBHUDWindowController"));
        if (!g_shared) {
            LOG_ERROR("PBHUDWindowController.toggle()", QStringLiteral("Failed to initialize window controller. Pleas check storyboard."));
            return;
        }
    }
    if (g_shared->isVisible()) {
        g_shared->close();
        return;
    }
    g_shared->showAndActivate();
}

void PBHUDWindowController::showAndActivate()
{
    show();
    raise();
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        // Centred with room below for the list to grow.
        const QRect area = screen->availableGeometry();
        move(area.center().x() - width() / 2, area.top() + area.height() / 4);
    }
    activateWindow();
}

void PBHUDWindowController::fitToContent()
{
    setFixedHeight(m_content->sizeHint().height());
}

void PBHUDWindowController::showEvent(QShowEvent *event)
{
    m_content->viewWillAppear();
    QWidget::showEvent(event);
    const QPointer<PBHUDViewController> content(m_content);
    MainQueue::async([content] {
        if (content && content->isVisible())
            content->viewDidAppear();
    });
}

void PBHUDWindowController::hideEvent(QHideEvent *event)
{
    m_content->viewWillDisappear();
    QWidget::hideEvent(event);
}

void PBHUDWindowController::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
    painter.fillPath(path, palette().window());
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.drawPath(path);
}
