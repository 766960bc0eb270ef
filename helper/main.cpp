// TaviPasteHelper: starts TaviPaste when the user logs in.

#include "AppDelegate.h"

#include "platform/LoginHelper.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("TaviPasteHelper"));
    qSetMessagePattern(QStringLiteral("TaviPasteHelper: %{message}"));
    // Tests shorten the wait; nothing makes it longer.
    int timeoutMs = LoginHelper::kHelperTimeoutMs;
    bool ok = false;
    const int requested = qEnvironmentVariableIntValue("TAVI_HELPER_TIMEOUT_MS", &ok);
    if (ok && requested > 0)
        timeoutMs = std::min(requested, timeoutMs);

    AppDelegate delegate(DistributedNotificationCenter::defaultCenter(), timeoutMs);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return app.exec();
}
