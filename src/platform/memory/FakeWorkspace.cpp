#include "platform/memory/FakeWorkspace.h"

#include <QFileIconProvider>
#include <QFileInfo>

std::optional<RunningApplication> FakeWorkspace::frontmostApplication()
{
    std::lock_guard lock(m_mutex);
    return m_frontmost;
}

QList<RunningApplication> FakeWorkspace::runningApplications()
{
    std::lock_guard lock(m_mutex);
    return m_running;
}

QString FakeWorkspace::ownBundleIdentifier() const
{
    std::lock_guard lock(m_mutex);
    return m_ownIdentifier;
}

bool FakeWorkspace::openUrl(const QUrl &url)
{
    std::lock_guard lock(m_mutex);
    if (!url.isValid())
        return false;
    m_opened.append(url);
    return true;
}

QIcon FakeWorkspace::iconForApplication(const QString &) { return QFileIconProvider().icon(QFileIconProvider::File); }

QIcon FakeWorkspace::iconForFile(const QString &path) { return QFileIconProvider().icon(QFileInfo(path)); }

void FakeWorkspace::setFrontmostApplication(std::optional<RunningApplication> application)
{
    std::lock_guard lock(m_mutex);
    m_frontmost = std::move(application);
}

void FakeWorkspace::setRunningApplications(QList<RunningApplication> applications)
{
    std::lock_guard lock(m_mutex);
    m_running = std::move(applications);
}

void FakeWorkspace::setOwnBundleIdentifier(const QString &identifier)
{
    std::lock_guard lock(m_mutex);
    m_ownIdentifier = identifier;
}

RunningApplication FakeWorkspace::ownApplication() const
{
    std::lock_guard lock(m_mutex);
    RunningApplication own;
    own.localizedName = QStringLiteral("TaviPaste");
    own.bundleIdentifier = m_ownIdentifier;
    return own;
}

QList<QUrl> FakeWorkspace::openedUrls() const
{
    std::lock_guard lock(m_mutex);
    return m_opened;
}
