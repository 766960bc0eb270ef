#include "shell/AppActivation.h"

#include "platform/NotificationCenter.h"
#include "platform/Workspace.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace {
QList<QPointer<QWidget>> g_hidden;
bool g_isHidden = false;
bool g_steppingAside = false;

// The step aside ends once the program is active again.
void watchActivation()
{
    static bool watching = false;
    if (watching || !qApp)
        return;
    watching = true;
    QObject::connect(qApp, &QGuiApplication::applicationStateChanged, qApp, [](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            g_steppingAside = false;
    });
}

// The tray icon's window, embedded in the desktop's tray: hidden, it leaves the tray for good
// (showing it again does not embed it again).
bool isTrayIcon(const QWidget *window)
{
    return window->inherits("QSystemTrayIconSys") || window->objectName() == QLatin1String("QSystemTrayIconSys");
}
} // namespace

namespace AppActivation {

void postWillResignActive() { NotificationCenter::defaultCenter().post(kWillResignActive); }

void hide()
{
    watchActivation();
    g_steppingAside = true;
    postWillResignActive();
    // The window manager hands the focus to the other program's window and ours stay where they
    // are; hidden and shown again at once, they might be given the focus right back.
    if (Workspace::shared().activateOtherApplication())
        return;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (!window->isVisible() || window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip)
            continue;
        if (window->testAttribute(Qt::WA_ShowWithoutActivating)
            || (window->windowFlags() & Qt::WindowDoesNotAcceptFocus)
            || (window->windowFlags() & Qt::BypassWindowManagerHint) || isTrayIcon(window))
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

bool isHidden() { return g_isHidden; }

bool isSteppingAside() { return g_isHidden || g_steppingAside; }

void didBecomeActive() { g_steppingAside = false; }

} // namespace AppActivation
