#include "history/PBHUDWindowController.h"

#include "capture/TaviPBManager.h"
#include "controls/SceneRegistry.h"
#include "history/PBHUDCell.h"
#include "history/PBHUDTableView.h"
#include "history/PBHUDViewController.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>

namespace {

PBHUDWindowController *g_shared = nullptr;

// The steps of prepare(), in order; each runs in a turn of the event loop of its own.
enum class Preparation { notStarted, clearIcon, closeIcon, widgets, nativeWindow, polish, drawing, done };
Preparation g_preparation = Preparation::notStarted;
// How long the drawing step waits for the painter's helper threads to be started.
constexpr int kDrawingRetryMs = 10;
constexpr int kDrawingRetries = 50;
int g_drawingRetries = 0;
std::atomic<bool> g_painterThreadsStarted{false};

// The painter splits a tall fill among helper threads, which it starts on first use; a thread of
// the pool starts them with a fill of its own, so that the GUI thread never waits for their start.
void startPainterThreads()
{
    QThreadPool::globalInstance()->start([] {
        QImage column(16, int(PBHUDCell::kRowHeight) * PBHUDViewController::kMaxVisibleRows,
                      QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&column);
        QLinearGradient gradient(0, 0, column.width(), 0);
        gradient.setColorAt(0, Qt::white);
        gradient.setColorAt(1, Qt::gray);
        painter.fillRect(column.rect(), gradient);
        painter.end();
        g_painterThreadsStarted = true;
    });
}

// The shared controller, made when it does not exist; null when the scene cannot be made.
PBHUDWindowController *makeShared()
{
    if (!g_shared) {
        g_shared = SceneRegistry::shared().instantiate<PBHUDWindowController>(QStringLiteral("PBHUD"),
                                                                              QStringLiteral("PBHUDWindowController"));
        if (!g_shared)
            LOG_ERROR("PBHUDWindowController.toggle()",
                      QStringLiteral("Failed to initialize window controller. Pleas check storyboard."));
    }
    return g_shared;
}

// The panel as it is, and a scroll bar as tall as a full list's.
void drawOffScreen(PBHUDWindowController &panel)
{
    QImage image(panel.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    panel.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    const QScrollBar *bar = panel.contentViewController()->historyTableView->verticalScrollBar();
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = Qt::Vertical;
    option.rect =
        QRect(0, 0, bar->sizeHint().width(), int(PBHUDCell::kRowHeight) * PBHUDViewController::kMaxVisibleRows);
    option.maximum = 1000;
    option.pageStep = 10;
    option.subControls = QStyle::SC_All;
    QImage column(option.rect.size(), QImage::Format_ARGB32_Premultiplied);
    column.fill(Qt::transparent);
    QPainter painter(&column);
    bar->style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, bar);
}

// Runs the next step of the preparation and queues the one after it.
void prepareNextStep()
{
    switch (g_preparation) {
    case Preparation::notStarted:
        startPainterThreads();
        g_preparation = Preparation::clearIcon;
        break;
    // The style looks each of its icons up in the icon theme once, on first use: the panel's
    // buttons take these.
    case Preparation::clearIcon:
        QApplication::style()->standardIcon(QStyle::SP_LineEditClearButton);
        g_preparation = Preparation::closeIcon;
        break;
    case Preparation::closeIcon:
        QApplication::style()->standardIcon(QStyle::SP_TitleBarCloseButton);
        g_preparation = Preparation::widgets;
        break;
    case Preparation::widgets: g_preparation = makeShared() ? Preparation::nativeWindow : Preparation::done; break;
    case Preparation::nativeWindow:
        // The X window, with its properties and cursors, made but not mapped.
        if (g_shared && !g_shared->testAttribute(Qt::WA_WState_Created))
            g_shared->winId();
        g_preparation = Preparation::polish;
        break;
    case Preparation::polish:
        if (g_shared && !g_shared->isVisible()) {
            g_shared->ensurePolished();
            for (QWidget *child : g_shared->findChildren<QWidget *>())
                child->ensurePolished();
            if (QLayout *layout = g_shared->layout())
                layout->activate();
        }
        g_preparation = Preparation::drawing;
        break;
    case Preparation::drawing:
        if (!g_painterThreadsStarted && ++g_drawingRetries < kDrawingRetries) {
            QTimer::singleShot(kDrawingRetryMs, qApp, prepareNextStep);
            return;
        }
        // A drawing nobody sees readies the fonts and the style's cached pictures.
        if (g_shared && !g_shared->isVisible())
            drawOffScreen(*g_shared);
        g_preparation = Preparation::done;
        return;
    case Preparation::done: return;
    }
    QTimer::singleShot(0, qApp, prepareNextStep);
}

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
    // Hidden rather than closed: a closed window loses its native window, which the next opening
    // would make again.
    connect(m_content, &PBHUDViewController::closeRequested, this, &QWidget::hide);
    fitToContent();
}

PBHUDWindowController *PBHUDWindowController::shared() { return g_shared; }

void PBHUDWindowController::prepare()
{
    if (g_preparation != Preparation::notStarted || g_shared)
        return;
    prepareNextStep();
}

bool PBHUDWindowController::isPrepared() { return g_preparation == Preparation::done; }

void PBHUDWindowController::toggle()
{
    if (!makeShared())
        return;
    // What the preparation has not done yet, showing does.
    g_preparation = Preparation::done;
    if (g_shared->isVisible()) {
        g_shared->hide();
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
