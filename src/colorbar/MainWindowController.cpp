#include "colorbar/MainWindowController.h"

#include "colorbar/ColorBarMetrics.h"
#include "colorbar/MainViewController.h"
#include "platform/DockWindow.h"
#include "shell/AppDelegate.h"

#include <QMoveEvent>
#include <QPointer>

namespace {
QPointer<MainWindowController> g_bar;
}

MainWindowController::MainWindowController(PBCategoryManager &categories, TaviPBManager &history,
                                           PBScreenMonitor &monitor, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MainWindowController"));
    setWindowTitle(QStringLiteral("TaviPaste Color Bar"));
    m_content = new MainViewController(categories, history, monitor, this);
    windowDidLoad();
}

MainWindowController::~MainWindowController() = default;

void MainWindowController::windowDidLoad()
{
    DockWindow::prepare(this);
    if (AppDelegate *delegate = AppDelegate::shared())
        delegate->mainWindowController = this;
    g_bar = this;
    m_content->viewDidLoad();
}

MainWindowController *MainWindowController::shared()
{
    if (AppDelegate *delegate = AppDelegate::shared()) {
        if (auto *bar = qobject_cast<MainWindowController *>(delegate->mainWindowController.data()))
            return bar;
    }
    return g_bar.data();
}

void MainWindowController::relayoutColorBar()
{
    MainWindowController *bar = shared();
    if (!bar)
        return;
    MainViewController *content = bar->contentViewController();
    content->updateBarSize();
    content->placeSideBarOnScreen();
    content->reloadData();
}

void MainWindowController::showBar()
{
    if (!m_appeared)
        m_content->viewWillAppear();
    show();
}

void MainWindowController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_appeared)
        return;
    m_appeared = true;
    // Once mapped, the bar takes the screen it is on; it was placed before it was shown.
    QMetaObject::invokeMethod(
        m_content, [content = m_content] { content->viewDidAppear(); }, Qt::QueuedConnection);
}

void MainWindowController::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (event->spontaneous())
        QMetaObject::invokeMethod(
            m_content, [content = m_content] { content->keepDockedEdge(); }, Qt::QueuedConnection);
}

void MainWindowController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_content->setGeometry(rect());
}
