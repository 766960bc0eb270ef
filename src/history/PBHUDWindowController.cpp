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

PBHUDWindowController::PBHUDWindowController(QWidget *parent) : PBHUDWindowController(TaviPBManager::shared(), parent)
{
}

PBHUDWindowController::PBHUDWindowController(TaviPBManager &manager, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("PBHUDWindowController"));
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("TaviPaste"));
    m_content = new PBHUDViewController(manager, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_content);
    setFixedWidth(kWidth);
    connect(m_content, &PBHUDViewController::tableHeightChanged, this, &PBHUDWindowController::fitToContent);
    connect(m_content, &PBHUDViewController::closeRequested, this, &QWidget::close);
    fitToContent();
}

PBHUDWindowController *PBHUDWindowController::shared() { return g_shared; }

void PBHUDWindowController::toggle()
{
    if (!g_shared) {
        g_shared = SceneRegistry::shared().instantiate<PBHUDWindowController>(QStringLiteral("PBHUD"),
                                                                              QStringLiteral("PBHUDWindowController"));
        if (!g_shared) {
            LOG_ERROR("PBHUDWindowController.toggle()",
                      QStringLiteral("Failed to initialize window controller. Pleas check storyboard."));
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
    m_screen = QGuiApplication::screenAt(QCursor::pos());
    centerOnScreen();
    show();
    raise();
    // The window manager may have placed it on mapping.
    centerOnScreen();
    activateWindow();
}

void PBHUDWindowController::fitToContent()
{
    setFixedHeight(m_content->sizeHint().height());
    if (isVisible())
        centerOnScreen();
}

void PBHUDWindowController::centerOnScreen()
{
    QScreen *screen = m_screen ? m_screen.data() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QPoint center = screen->availableGeometry().center();
    move(center.x() - width() / 2, center.y() - height() / 2);
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
