#include "shell/ActiveWindowWatcher.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int kPollMs = 500;

bool isOwnApplication(const RunningApplication &app)
{
    return app.processIdentifier == QCoreApplication::applicationPid()
           || (!app.bundleIdentifier.isEmpty() && app.bundleIdentifier == Workspace::shared().ownBundleIdentifier());
}

} // namespace

ActiveWindowWatcher::ActiveWindowWatcher(std::optional<RunningApplication> &lastActiveApplication, QObject *parent)
    : QObject(parent),
      m_lastActiveApplication(lastActiveApplication)
{
}

ActiveWindowWatcher::~ActiveWindowWatcher() { stop(); }

void ActiveWindowWatcher::noteStartingApplication()
{
    m_lastActiveApplication = Workspace::shared().frontmostApplication();
    m_lastSeen = m_lastActiveApplication;
}

void ActiveWindowWatcher::start()
{
    if (m_pollTimer || m_watching)
        return;
    QPointer<ActiveWindowWatcher> self(this);
    m_watching = Workspace::shared().setFrontmostApplicationObserver([self] {
        QMetaObject::invokeMethod(
            qApp,
            [self] {
                if (self)
                    self->poll();
            },
            Qt::QueuedConnection);
    });
    if (m_watching)
        return;
    m_pollTimer = new QTimer(this);
    m_pollTimer->setInterval(kPollMs);
    connect(m_pollTimer, &QTimer::timeout, this, &ActiveWindowWatcher::poll);
    m_pollTimer->start();
}

void ActiveWindowWatcher::stop()
{
    if (m_pollTimer)
        m_pollTimer->stop();
    if (m_watching)
        Workspace::shared().setFrontmostApplicationObserver(nullptr);
}

void ActiveWindowWatcher::poll()
{
    const std::optional<RunningApplication> frontmost = Workspace::shared().frontmostApplication();
    if (frontmost == m_lastSeen)
        return;
    const std::optional<RunningApplication> deactivated = m_lastSeen;
    m_lastSeen = frontmost;
    if (!deactivated || isOwnApplication(*deactivated))
        return;
    m_lastActiveApplication = deactivated;
    LOG_DEBUG("observeApplicationDeactivation()",
              QStringLiteral("~~~%1~~~%2").arg(deactivated->bundleIdentifier, deactivated->localizedName));
}
