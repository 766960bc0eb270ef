#include "AppDelegate.h"

#include "platform/LoginHelper.h"
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

AppDelegate::AppDelegate(DistributedNotificationCenter &center, int timeoutMs, QObject *parent)
    : QObject(parent),
      m_center(center)
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(timeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        qWarning("TaviPaste did not answer within %d s; quitting", int(m_timeout.interval() / 1000));
        terminate(0);
    });
}

void AppDelegate::applicationDidFinishLaunching() { launchMainApplicationIfNeeded(); }

void AppDelegate::terminate(int exitCode)
{
    if (m_terminating)
        return;
    m_terminating = true;
    m_timeout.stop();
    QCoreApplication::exit(exitCode);
}

QString AppDelegate::mainExecutablePath(const QString &helperDirectory)
{
    const QDir own(helperDirectory);
    // Installed, the program is in its own folder; in a build tree beside the helper, under the
    // lowercase name or the old one.
    for (const QString &relative :
         {QStringLiteral(TAVI_PROGRAM_FROM_HELPER), QStringLiteral("tavipaste"), QStringLiteral("TaviPaste")}) {
        const QFileInfo candidate(own.filePath(relative));
        if (candidate.isFile() && candidate.isExecutable())
            return candidate.canonicalFilePath();
    }
    return {};
}

bool AppDelegate::isMainApplicationRunning() { return SingleInstance::isRunning(); }

void AppDelegate::launchMainApplicationIfNeeded()
{
    const bool hasBus = m_center.isConnected();
    if (isMainApplicationRunning()) {
        qInfo("TaviPaste is running already");
        terminate(0);
        return;
    }
    if (hasBus) {
        // Another helper already starting TaviPaste holds the name: leave it to that one.
        if (!m_center.registerName(LoginHelper::kHelperBusName)) {
            qInfo("Another helper is starting TaviPaste: %s", qPrintable(m_center.lastError()));
            terminate(0);
            return;
        }
        // Observed before TaviPaste starts, so its word cannot come too early.
        m_center.addObserver(QStringLiteral("killLauncher"), LoginHelper::kMainIdentifier, [this] {
            qInfo("TaviPaste has started");
            terminate(0);
        });
    }

    const QString program = mainExecutablePath(QCoreApplication::applicationDirPath());
    if (program.isEmpty()) {
        qCritical("TaviPaste's program is missing: looked for %s and tavipaste in %s", TAVI_PROGRAM_FROM_HELPER,
                  qPrintable(QCoreApplication::applicationDirPath()));
        terminate(1);
        return;
    }
    if (!QProcess::startDetached(program, {}, QDir::homePath())) {
        qCritical("Could not start %s", qPrintable(program));
        terminate(1);
        return;
    }
    if (!hasBus) {
        // Nothing can tell this helper when TaviPaste is up: its work is done.
        qWarning("No D-Bus session bus: started TaviPaste without waiting for it");
        terminate(0);
        return;
    }
    m_timeout.start();
}
