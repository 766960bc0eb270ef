#include "history/CategoryWindowController.h"

#include "capture/TaviPBManager.h"
#include "controls/SceneRegistry.h"
#include "core/TaviSettings.h"
#include "history/CategoryListTableView.h"
#include "history/CategoryListViewController.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "shell/AppActivation.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSizeGrip>
#include <QVBoxLayout>
#include <QWindow>

namespace {
QPointer<CategoryWindowController> g_shared;
} // namespace

CategoryWindowController *sharedCategoryWindowController()
{
    if (!g_shared) {
        g_shared = SceneRegistry::shared().instantiate<CategoryWindowController>(QStringLiteral("Main"));
        if (!g_shared)
            LOG_ERROR("sharedCategoryWindowController()",
                      QStringLiteral("The list window could not be made from its scene"));
    }
    return g_shared;
}

CategoryWindowController *existingCategoryWindowController() { return g_shared; }

CategoryWindowController::CategoryWindowController(QWidget *parent)
    : CategoryWindowController(TaviPBManager::shared(), parent)
{
}

CategoryWindowController::CategoryWindowController(TaviPBManager &manager, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("CategoryWindowController"));
    setWindowTitle(QStringLiteral("TaviPaste"));
    m_content = new CategoryListViewController(manager, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_content);
    auto *grip = new QSizeGrip(this);
    layout->addWidget(grip, 0, Qt::AlignBottom | Qt::AlignRight);
    layout->setSpacing(0);
    resize(kWidth, kHeight);
    setMinimumSize(300, 320);
    connect(m_content, &CategoryListViewController::floatingChanged, this, &CategoryWindowController::setFloating);
    windowDidLoad();
}

void CategoryWindowController::windowDidLoad()
{
    // Moved by its header: presses there start a move.
    m_content->naviView->installEventFilter(this);
    m_content->categoryNameLabel->installEventFilter(this);
}

void CategoryWindowController::showCategory(const PBCategory &category)
{
    m_content->updateUI(category);
    show();
    raise();
    activateWindow();
}

void CategoryWindowController::setFloating(bool floating)
{
    if (m_floating == floating)
        return;
    m_floating = floating;
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, floating);
    if (visible)
        show();
}

void CategoryWindowController::registerOwnedWindow(QWidget *window)
{
    m_ownedWindows.removeAll(nullptr);
    if (window && !m_ownedWindows.contains(window))
        m_ownedWindows.append(window);
}

bool CategoryWindowController::ownsWindow(const QWidget *window) const
{
    if (!window)
        return false;
    if (window == this || m_content->ownsWindow(window))
        return true;
    for (const QPointer<QWidget> &owned : m_ownedWindows) {
        if (owned && (owned == window || owned->isAncestorOf(window)))
            return true;
    }
    return false;
}

void CategoryWindowController::windowDidBecomeMain()
{
    AppActivation::didBecomeActive();
    m_isMain = true;
    m_content->addKeyEventMonitor();
}

void CategoryWindowController::windowDidResignMain(const QWidget *newlyActive)
{
    m_isMain = false;
    // The list's keys never act while another window, its own sheets included, has the keyboard.
    m_content->removeKeyEventMonitor();
    if (ownsWindow(newlyActive))
        return;
    m_content->closePreview();
    // Stepping aside for a paste or a drop is not the user leaving the list.
    if (m_floating || AppActivation::isSteppingAside() || !TaviSettings::shared().needAutoHideWindow())
        return;
    close();
}

void CategoryWindowController::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (isActiveWindow()) {
        windowDidBecomeMain();
        return;
    }
    if (!m_isMain)
        return;
    // The window that takes over is known once the activation has settled.
    const QPointer<CategoryWindowController> self(this);
    MainQueue::async([self] {
        if (self && !self->isActiveWindow() && self->m_isMain)
            self->windowDidResignMain(QApplication::activeWindow());
    });
}

void CategoryWindowController::closeEvent(QCloseEvent *event)
{
    windowWillClose();
    QWidget::closeEvent(event);
}

void CategoryWindowController::windowWillClose()
{
    m_content->removeKeyEventMonitor();
    m_isMain = false;
    if (m_content->category && delegate)
        delegate->categoryListWindowWillClose(*m_content->category);
    for (const QPointer<QWidget> &owned : m_ownedWindows) {
        if (owned && owned->isVisible())
            owned->close();
    }
    m_content->closePreview();
    m_content->itemsTableView->clearSelection();
    m_content->itemsTableView->scrollToTop();
}

void CategoryWindowController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Rounded with or without a compositor: the corners are cut by a mask.
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void CategoryWindowController::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
}

bool CategoryWindowController::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        // The window manager moves it where it can; otherwise the window follows the pointer.
        if (windowHandle() && windowHandle()->startSystemMove())
            return true;
        m_dragOffset = mouse->globalPosition().toPoint() - frameGeometry().topLeft();
        return true;
    }
    case QEvent::MouseMove:
        if (m_dragOffset) {
            move(static_cast<QMouseEvent *>(event)->globalPosition().toPoint() - *m_dragOffset);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_dragOffset) {
            m_dragOffset.reset();
            return true;
        }
        break;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}
