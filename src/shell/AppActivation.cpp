#include "shell/AppActivation.h"

#include "platform/NotificationCenter.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace {
QList<QPointer<QWidget>> g_hidden;
bool g_isHidden = false;

// The tray icon's window, embedded in the desktop's tray: hidden, it leaves the tray for good
// (showing it again does not embed it again).
bool isTrayIcon(const QWidget *window)
{
    return window->inherits("QSystemTrayIconSys") || window->objectName() == QLatin1String("QSystemTrayIconSys");
}
} // namespace

namespace AppActivation {

void postWillResignActive()
{
    NotificationCenter::defaultCenter().post(kWillResignActive);
}

void hide()
{
    postWillResignActive();
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (!window->isVisible() || window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip)
            continue;
        if (window->testAttribute(Qt::WA_ShowWithoutActivating) || (window->windowFlags() & Qt::WindowDoesNotAcceptFocus)
            || isTrayIcon(window))
            continue;
        // The status icon docked in the tray: hidden, it would leave the tray for good.
        if (window->inherits("QSystemTrayIconSys") || (window->windowFlags() & Qt::BypassWindowManagerHint))
            continue;
        g_hidden.append(window);
        window->hide();
    }
    g_isHidden = true;
}

void unhideWithoutActivation()
{
    const QList<QPointer<QWidget>> hidden = std::exchange(g_hidden, {});
    for (const QPointer<QWidget> &window : hidden) {
        if (!window)
            continue;
        const bool withoutActivating = window->testAttribute(Qt::WA_ShowWithoutActivating);
        window->setAttribute(Qt::WA_ShowWithoutActivating, true);
        window->show();
        window->setAttribute(Qt::WA_ShowWithoutActivating, withoutActivating);
    }
    g_isHidden = false;
}

bool isHidden()
{
    return g_isHidden;
}

} // namespace AppActivation
