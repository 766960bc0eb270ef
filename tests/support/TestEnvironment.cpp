#include "support/TestEnvironment.h"

#include "platform/Analytics.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/Defaults.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QMutex>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {
const char *const kVariables[4] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"};
const char *const kFolders[4] = {"config", "data", "state", "cache"};
} // namespace

ScopedXdgHome::ScopedXdgHome()
{
    for (int i = 0; i < 4; ++i) {
        m_saved[i] = qgetenv(kVariables[i]);
        qputenv(kVariables[i], (m_dir.path() + QLatin1Char('/') + QLatin1String(kFolders[i])).toLocal8Bit());
    }
    Defaults::resetStandard();
    CloudKeyValueStore::resetShared();
    Analytics::resetForTesting();
}

ScopedXdgHome::~ScopedXdgHome()
{
    for (int i = 0; i < 4; ++i)
        qputenv(kVariables[i], m_saved[i]);
    Defaults::resetStandard();
    CloudKeyValueStore::resetShared();
    Analytics::resetForTesting();
}

QByteArray pngOf(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QStringList entriesWiderThanPrivate(const QStringList &roots)
{
    QStringList wider;
    auto check = [&](const QString &path) {
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || S_ISLNK(info.st_mode))
            return;
        const mode_t expected = S_ISDIR(info.st_mode) ? 0700 : 0600;
        if ((info.st_mode & 07777) != expected)
            wider.append(path + QStringLiteral(" %1").arg(info.st_mode & 07777, 0, 8));
    };
    for (const QString &root : roots) {
        if (!QFileInfo::exists(root))
            continue;
        check(root);
        QDirIterator entries(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                             QDirIterator::Subdirectories);
        while (entries.hasNext())
            check(entries.next());
    }
    return wider;
}

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

bool waitPastTimersDueWithin(int intervalMs, int timeoutMs)
{
    bool fired = false;
    QTimer marker;
    marker.setSingleShot(true);
    marker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&marker, &QTimer::timeout, [&fired] { fired = true; });
    marker.start(intervalMs);
    return waitUntil([&fired] { return fired; }, intervalMs + timeoutMs);
}

namespace {
QStringList &foldersLeftForTheEnd()
{
    static auto *folders = new QStringList;
    return *folders;
}
} // namespace

void removeWhenTheTestsEnd(const QString &folder) { foldersLeftForTheEnd().append(folder); }

void removeFoldersLeftForTheEnd()
{
    // What the settings still hold is written now, so that no write makes a folder again later.
    Defaults::standard().flush();
    for (const QString &folder : std::as_const(foldersLeftForTheEnd()))
        QDir(folder).removeRecursively();
    foldersLeftForTheEnd().clear();
}

void waitForTheClockToMove()
{
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    while (QDateTime::currentMSecsSinceEpoch() <= start)
        QThread::yieldCurrentThread();
}

struct RecordedEventsState {
    mutable QMutex mutex;
    QList<RecordedEvents::Event> events;
};

RecordedEvents::RecordedEvents() : m_state(std::make_shared<RecordedEventsState>())
{
    Analytics::setEventObserver([state = m_state](const QString &name, const EventProperties &properties) {
        QMutexLocker lock(&state->mutex);
        state->events.append({name, properties});
    });
}

RecordedEvents::~RecordedEvents() { Analytics::setEventObserver({}); }

QList<RecordedEvents::Event> RecordedEvents::events() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->events;
}

QList<RecordedEvents::Event> RecordedEvents::named(const QString &name) const
{
    QList<Event> matching;
    for (const Event &event : events())
        if (event.name == name)
            matching.append(event);
    return matching;
}

ScopedAppVersion::ScopedAppVersion(const QString &version) : m_saved(QCoreApplication::applicationVersion())
{
    QCoreApplication::setApplicationVersion(version);
}

ScopedAppVersion::~ScopedAppVersion() { QCoreApplication::setApplicationVersion(m_saved); }
