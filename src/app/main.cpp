// TaviPaste: clipboard history for the Linux desktop.

#include "capture/TaviPBManager.h"
#include "history/HistoryScenes.h"
#include "platform/Analytics.h"
#include "platform/Log.h"
#include "platform/PlatformBackends.h"
#include "platform/Strings.h"
#include "shell/AppActivation.h"
#include "shell/AppDelegate.h"

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <csignal>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};
AppDelegate *g_delegate = nullptr;

void onTerminationSignal(int signal)
{
    const char byte = char(signal);
    (void)!::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM (the session ending, a logout, a kill), SIGINT and SIGHUP end the event loop, so the
// normal shutdown runs and the history is saved.
void routeTerminationSignals(QApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char byte = 0;
        (void)!::read(g_signalPipe[0], &byte, 1);
        LOG_INFO("main()", QStringLiteral("Signal %1 received, quitting").arg(int(byte)));
        app.quit();
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

// Qt ends the process with exit() when the X server goes away (the session ended without
// telling us): save the history from there too, so nothing copied is lost. Only the store is
// touched: it was made before this handler was registered, so it is still alive.
void saveAtExit()
{
    if (g_delegate && !g_delegate->isTerminated())
        g_delegate->pbManager.saveNow();
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication::setApplicationName(QStringLiteral("TaviPaste"));
    QApplication::setOrganizationName(QStringLiteral("TaviPaste"));
    QApplication::setDesktopFileName(QStringLiteral("tavipaste"));
    QApplication::setApplicationVersion(QStringLiteral(TAVI_VERSION));
    PlatformBackends::preferX11();
    // The link preview's web engine shares its GL contexts; this must be set before the application.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    routeTerminationSignals(app);
    Strings::install();
    Log::setup();
    PlatformBackends::install();
    HistoryScenes::registerAll();

    AppDelegate delegate(TaviPBManager::shared());
    delegate.applicationWillFinishLaunching();

    bool wasActive = false;
    QObject::connect(&app, &QGuiApplication::applicationStateChanged, &delegate, [&](Qt::ApplicationState state) {
        const bool active = state == Qt::ApplicationActive;
        if (active && !wasActive) {
            delegate.applicationWillBecomeActive();
        } else if (!active && wasActive) {
            AppActivation::postWillResignActive();
            delegate.applicationWillResignActive();
        }
        wasActive = active;
    });
    // The desktop session is ending: save now, the session may not wait for the quit.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &delegate, [&](QSessionManager &) {
        delegate.pbManager.saveNow();
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, [&] { delegate.applicationWillTerminate(); });

    delegate.applicationDidFinishLaunching();
    g_delegate = &delegate;
    std::atexit(saveAtExit);
    const int result = app.exec();
    delegate.applicationWillTerminate();
    g_delegate = nullptr;
    Analytics::flush();
    return result;
}
