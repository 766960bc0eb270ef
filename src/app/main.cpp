// TaviPaste: clipboard history for the Linux desktop.

#include "capture/TaviPBManager.h"
#include "colorbar/ColorBarScenes.h"
#include "core/TPBookMarkCacher.h"
#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "core/sync/FolderCloudMirror.h"
#include "history/HistoryScenes.h"
#include "history/PBHUDWindowController.h"
#include "platform/Analytics.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/Log.h"
#include "platform/Memory.h"
#include "platform/Paths.h"
#include "platform/PlatformBackends.h"
#include "platform/QtMessages.h"
#include "platform/SingleInstance.h"
#include "platform/Strings.h"
#include "preferences/PreferencesScenes.h"
#include "shell/AppActivation.h"
#include "shell/AppDelegate.h"
#include "shell/ShellSeams.h"

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
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

// The process-wide objects stop here, in this order, while every one of them is alive: capture
// first (its last changes are written), then the bookmark queue, the store's mirror (the sync
// engine may still write key-values), the settings, analytics and the log. None of them is
// destroyed at exit, so nothing depends on the order of static destruction.
void shutDownProcessWideObjects()
{
    TaviPBManager::shared().shutDown();
    TPBookMarkCacher::shared().shutDown();
    CoreDataStack::shutDownShared();
    TaviSettings::shared().flush();
    CloudKeyValueStore::shared().storage().flush();
    Analytics::flush();
    Log::shutDown();
}

// Qt ends the process with exit() when the X server goes away (the session ended without
// telling us): the history is saved and everything shut down just before, when Qt reports it,
// or else from exit() itself. The objects touched are never destroyed, so they are still alive.
// The X threads and capture stop first, so that nothing is written after "History saved".
// False when the history could not be saved.
bool finishBeforeExit()
{
    if (!g_delegate)
        return true; // main has shut down
    PlatformBackends::stopDisplayThreads();
    g_delegate->pbManager.shutDown();
    TPBookMarkCacher::shared().waitUntilIdle();
    const bool saved = g_delegate->isTerminated() || g_delegate->pbManager.saveNow();
    CoreDataStack::shutDownShared(); // sync stops before the outcome is logged
    if (!g_delegate->isTerminated())
        LOG_INFO("main()", saved ? QStringLiteral("History saved") : QStringLiteral("History not saved"));
    g_delegate = nullptr;
    shutDownProcessWideObjects();
    return saved;
}

// The X server went away under the program: its session ended, which is no failure of its own.
// The status says whether everything was saved: 0 as after a logout, 1 when the history was not.
void endWithTheDisplay()
{
    LOG_WARNING("main()", QStringLiteral("The X server is gone; saving the history and quitting"));
    std::exit(finishBeforeExit() ? 0 : 1);
}
void tellUser(const QString &sentence)
{
    std::fprintf(stderr, "%s\n", sentence.toLocal8Bit().constData());
    std::fflush(stderr);
}

// The request of a second launch: the panel is shown, never hidden.
void showQuickPastePanel()
{
    PBHUDWindowController *panel = PBHUDWindowController::shared();
    if (panel && panel->isVisible())
        panel->showAndActivate();
    else
        PBHUDWindowController::toggle();
}
} // namespace

int main(int argc, char *argv[])
{
    // Standard output and error may be a pipe whose reader is gone (the login helper that started
    // us has quit, a closed terminal): writing there fails instead of ending the program.
    std::signal(SIGPIPE, SIG_IGN);
    Memory::returnLargeBlocksAtOnce();
    QApplication::setApplicationName(QStringLiteral("TaviPaste"));
    QApplication::setOrganizationName(QStringLiteral("TaviPaste"));
    QApplication::setDesktopFileName(QStringLiteral("tavipaste"));
    QApplication::setApplicationVersion(QStringLiteral(TAVI_VERSION));
    PlatformBackends::preferX11();
    if (!PlatformBackends::hasDisplay()) {
        // Said in plain words, instead of the toolkit's abort.
        QCoreApplication core(argc, argv);
        Strings::install();
        tellUser(L("App.noDisplay"));
        return 1;
    }
    // No GL context is made at start (the one the link preview's web engine shares costs the start
    // a driver and tens of MB): the link view module makes it before its first page.
    QApplication app(argc, argv);
    Strings::install();
    // Before anything captures, grabs keys or opens the store or the log: a second TaviPaste
    // leaves all of that to the first.
    const std::unique_ptr<SingleInstance> instance = SingleInstance::claim();
    if (!instance) {
        const bool shown = SingleInstance::showQuickPastePanel();
        tellUser(shown ? L("App.alreadyRunningPanelShown") : L("App.alreadyRunning"));
        return 0;
    }
    app.setQuitOnLastWindowClosed(false);
    routeTerminationSignals(app);
    Paths::tightenPrivateFolders();
    Log::setup();
    QtMessages::install();
    PlatformBackends::install();
    FolderCloudMirror::install();
    HistoryScenes::registerAll();
    ColorBarScenes::registerAll();
    PreferencesScenes::registerAll();
    // "killLauncher" and "killHelper" reach the login helper over the session bus.
    ShellSeams::shared().postDistributedNotification = [](const QString &name, const QString &object) {
        DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
        if (!center.post(name, object))
            LOG_WARNING("main()",
                        QStringLiteral("Could not tell the login helper \"%1\": %2").arg(name, center.lastError()));
    };

    ShellSeams::shared().stopStore = [] { CoreDataStack::shutDownShared(); };

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
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &delegate,
                     [&](QSessionManager &) { delegate.pbManager.saveNow(); });
    // Capture stops first (a large copy at its next item), so nothing follows "History saved".
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, [&] {
        delegate.pbManager.shutDown();
        delegate.applicationWillTerminate();
    });

    delegate.applicationDidFinishLaunching();
    ColorBarScenes::showColorBar();
    instance->setQuickPastePanelHandler(showQuickPastePanel);
    // Built while the program idles, before its hot key comes.
    PBHUDWindowController::prepare();
    g_delegate = &delegate;
    QtMessages::setDisplayLostHandler(endWithTheDisplay);
    std::atexit([] { finishBeforeExit(); });
    const int result = app.exec();
    delegate.pbManager.shutDown();
    delegate.applicationWillTerminate();
    g_delegate = nullptr;
    shutDownProcessWideObjects();
    return result;
}
