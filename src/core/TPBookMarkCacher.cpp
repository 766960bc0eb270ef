#include "core/TPBookMarkCacher.h"

#include "core/AppGlobals.h"
#include "platform/Bookmark.h"
#include "platform/Defaults.h"
#include "platform/Log.h"

#include <QFileInfo>
#include <QReadLocker>
#include <QRegularExpression>
#include <QWriteLocker>

QString authorizedRootPath()
{
    return AppValues::isIRM().get() ? QStringLiteral("/home") : QStringLiteral("/");
}

TPBookMarkCacher &TPBookMarkCacher::shared()
{
    // Never destroyed: its queued work writes the settings, another process-wide object.
    static auto *instance = new TPBookMarkCacher;
    return *instance;
}

TPBookMarkCacher::TPBookMarkCacher() : m_serialQueue(QStringLiteral("com.tavi.bookmark"))
{
    const QVariant stored = Defaults::standard().value(kDefaultsKey);
    if (stored.metaType() != QMetaType::fromType<QVariantMap>())
        return;
    const QVariantMap map = stored.toMap();
    Table table;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it.value().metaType() != QMetaType::fromType<QByteArray>())
            return; // one foreign value spoils the whole stored table
        table.insert(it.key(), it.value().toByteArray());
    }
    m_currentBookMarks = std::move(table);
}

TPBookMarkCacher::~TPBookMarkCacher()
{
    shutDown();
}

void TPBookMarkCacher::shutDown()
{
    m_serialQueue.shutdown();
}

QString TPBookMarkCacher::pathOf(const QUrl &url)
{
    QString path = url.toLocalFile();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

TPBookMarkCacher::Table TPBookMarkCacher::snapshot() const
{
    QReadLocker locker(&m_lock);
    return m_currentBookMarks;
}

void TPBookMarkCacher::loadBookMarks()
{
    // The table is read when the load runs, so stores queued before it are restored too.
    m_serialQueue.async([this] { asyncLoadBookMarks(); });
}

namespace {
// A bookmark's error names its file in quotes: the log gets the path's length and hash instead.
QString withoutPaths(const QString &error)
{
    static const QRegularExpression quoted(QStringLiteral("“([^”]*)”"));
    QString result;
    qsizetype from = 0;
    for (QRegularExpressionMatchIterator it = quoted.globalMatch(error); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        result += error.mid(from, match.capturedStart() - from) + Log::redacted(match.captured(1));
        from = match.capturedEnd();
    }
    return result + error.mid(from);
}
} // namespace

void TPBookMarkCacher::asyncLoadBookMarks()
{
    const Table loaded = snapshot();
    QList<QString> dropped;
    for (auto it = loaded.cbegin(); it != loaded.cend(); ++it) {
        const QString &path = it.key();
        if (!QFileInfo::exists(path)) {
            LOG_ERROR("asyncLoadBookMarks()", QStringLiteral("The Bookmark target path ") + Log::redacted(path) + QStringLiteral(" is't exist"));
            dropped.append(path);
            continue;
        }
        QString error;
        const auto resolved = Bookmark::resolve(it.value(), &error);
        if (!resolved) {
            LOG_ERROR("asyncLoadBookMarks()", QStringLiteral("Generate book mark url failed ") + withoutPaths(error));
            dropped.append(path);
            continue;
        }
        const bool accessed = Bookmark::startAccessing(*resolved);
        LOG_DEBUG("asyncLoadBookMarks()", QStringLiteral("Accessed status: ") +
                                              (accessed ? QStringLiteral("true") : QStringLiteral("false")) +
                                              QLatin1Char(' ') + Log::redacted(*resolved));
    }
    // Drop only what was checked here; an entry replaced meanwhile is another bookmark.
    QWriteLocker locker(&m_lock);
    for (const QString &path : std::as_const(dropped)) {
        const auto current = m_currentBookMarks.constFind(path);
        if (current != m_currentBookMarks.constEnd() && current.value() == loaded.value(path))
            m_currentBookMarks.erase(current);
    }
}

void TPBookMarkCacher::store(const QList<QUrl> &urls)
{
    m_serialQueue.async([this, urls] { storeWork(urls); });
}

void TPBookMarkCacher::storeWork(const QList<QUrl> &urls)
{
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = pathOf(url);
        QString error;
        const auto bookmark = Bookmark::create(path, &error);
        if (!bookmark) {
            LOG_ERROR("store(_:)", QStringLiteral("generate book mark failed ") + withoutPaths(error));
            continue;
        }
        {
            QWriteLocker locker(&m_lock);
            m_currentBookMarks.insert(path, *bookmark);
        }
        LOG_DEBUG("store(_:)", QStringLiteral("Store bookmark: ") + Log::redacted(path));
    }
    QWriteLocker locker(&m_lock);
    persistLocked();
}

void TPBookMarkCacher::deleteBookMarks(const QList<QUrl> &urls)
{
    m_serialQueue.async([this, urls] { deleteWork(urls); });
}

void TPBookMarkCacher::deleteWork(const QList<QUrl> &urls)
{
    const QString root = authorizedRootPath();
    const Table table = snapshot();
    QList<QString> forgotten;
    for (const QUrl &url : urls) {
        const QString path = url.isLocalFile() ? pathOf(url) : url.path(QUrl::FullyDecoded);
        if (path == root)
            continue; // the grant of the whole root outlives any item that names it
        const auto found = table.constFind(path);
        if (found == table.constEnd())
            continue;
        if (url.isLocalFile())
            stopAccessing(found.value(), "delete(_:)");
        forgotten.append(path);
    }
    forget(forgotten);
}

void TPBookMarkCacher::remove(const QString &path)
{
    const Table table = snapshot();
    const auto found = table.constFind(path);
    if (found != table.constEnd())
        stopAccessing(found.value(), "remove(_:)");
    forget({path});
}

void TPBookMarkCacher::forget(const QList<QString> &paths)
{
    // Erased from the live table, so nothing stored or removed meanwhile is undone.
    QWriteLocker locker(&m_lock);
    for (const QString &path : paths)
        m_currentBookMarks.remove(path);
    persistLocked();
}

void TPBookMarkCacher::stopAccessingResource()
{
    const Table table = snapshot();
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        if (QFileInfo::exists(it.key()))
            stopAccessing(it.value(), "stopAccessingResource()");
    }
}

bool TPBookMarkCacher::hasBookMark(const QString &path) const
{
    QReadLocker locker(&m_lock);
    return m_currentBookMarks.contains(path);
}

void TPBookMarkCacher::waitUntilIdle()
{
    m_serialQueue.drain();
}

void TPBookMarkCacher::persistLocked()
{
    QVariantMap map;
    for (auto it = m_currentBookMarks.cbegin(); it != m_currentBookMarks.cend(); ++it)
        map.insert(it.key(), it.value());
    Defaults::standard().setValue(kDefaultsKey, map);
}

void TPBookMarkCacher::stopAccessing(const QByteArray &bookmark, const char *function)
{
    QString error;
    const auto resolved = Bookmark::resolve(bookmark, &error);
    if (!resolved) {
        TAVI_LOG(LogLevel::Error, function, QStringLiteral("init bookmark url failed ") + error);
        return;
    }
    Bookmark::stopAccessing(*resolved);
}
