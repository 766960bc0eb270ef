// TaviPaste: clipboard history for the Linux desktop.

#include "platform/Analytics.h"
#include "platform/Log.h"
#include "platform/PlatformBackends.h"
#include "platform/Strings.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int signal)
{
    const char byte = char(signal);
    (void)!::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop, so the normal shutdown path runs.
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
} // namespace

int main(int argc, char *argv[])
{
    QApplication::setApplicationName(QStringLiteral("TaviPaste"));
    QApplication::setOrganizationName(QStringLiteral("TaviPaste"));
    QApplication::setDesktopFileName(QStringLiteral("tavipaste"));
    QApplication::setApplicationVersion(QStringLiteral(TAVI_VERSION));
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    routeTerminationSignals(app);
    Strings::install();

    Log::setup();
    PlatformBackends::install();
    Analytics::start(QStringLiteral("local"), {Analytics::Service::Analytics, Analytics::Service::Crashes});
    LOG_INFO("main()", QStringLiteral("--> TaviPaste %1 started").arg(QStringLiteral(TAVI_VERSION)));

    const int result = app.exec();
    LOG_INFO("main()", QStringLiteral("<-- TaviPaste quits"));
    Analytics::flush();
    return result;
}
