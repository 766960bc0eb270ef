#include "core/TPBookMarkCacher.h"

#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "core/store/StoreFailure.h"
#include "platform/Bookmark.h"
#include "platform/Log.h"

#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Transaction.h>

#include <QFileInfo>
#include <QReadLocker>
#include <QWriteLocker>

QString authorizedRootPath() { return TaviSettings::shared().isIRM() ? QStringLiteral("/home") : QStringLiteral("/"); }

TPBookMarkCacher &TPBookMarkCacher::shared()
{
    // Never destroyed: its queued work writes the settings, another process-wide object.
    static auto *instance = new TPBookMarkCacher;
    return *instance;
}

TPBookMarkCacher::TPBookMarkCacher(ContextSource context)
    : m_context(context ? std::move(context) : ContextSource([] { return CoreDataStack::shared().managedContext(); })),
      m_serialQueue(QStringLiteral("com.tavi.bookmark"))
{
}

TPBookMarkCacher::~TPBookMarkCacher() { shutDown(); }

void TPBookMarkCacher::shutDown() { m_serialQueue.shutdown(); }

QString TPBookMarkCacher::pathOf(const QUrl &url)
{
    QString path = url.toLocalFile();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

namespace {
const char *const kSelect = R"sql(SELECT "path", "bookmark" FROM "FileBookmark")sql";

// The table earlier versions kept in the settings file; none when there is none or when it
// holds anything but bookmark data (one foreign value spoils the whole stored table).
std::optional<QHash<QString, QByteArray>> tableInSettings()
{
    const std::optional<QVariantMap> stored = TaviSettings::shared().legacyBookmarks();
    if (!stored)
        return std::nullopt;
    const QVariantMap &map = *stored;
    QHash<QString, QByteArray> table;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it.value().metaType() != QMetaType::fromType<QByteArray>())
            return std::nullopt;
        table.insert(it.key(), it.value().toByteArray());
    }
    return table;
}

void readRows(SQLite::Database &database, QHash<QString, QByteArray> &table)
{
    SQLite::Statement rows(database, kSelect);
    while (rows.executeStep()) {
        const SQLite::Column bookmark = rows.getColumn(1);
        table.insert(QString::fromUtf8(rows.getColumn(0).getText()),
                     QByteArray(static_cast<const char *>(bookmark.getBlob()), bookmark.getBytes()));
    }
}
} // namespace

void TPBookMarkCacher::ensureLoaded() const
{
    if (m_loaded.load(std::memory_order_acquire))
        return;
    std::lock_guard loading(m_loadMutex);
    if (m_loaded.load(std::memory_order_relaxed))
        return;
    Table table;
    bool read = false;
    const std::shared_ptr<ManagedObjectContext> context = m_context();
    const std::shared_ptr<PersistentStore> store = context->store();
    try {
        // A reader of its own where the store has a file: the history is not held up meanwhile.
        read = store->withReader([&](PersistentStore &reader) { readRows(reader.database(), table); });
        if (!read) {
            table.clear();
            context->performAndWait([&] { readRows(store->database(), table); });
            read = true;
        }
    } catch (const std::exception &error) {
        LOG_ERROR("TPBookMarkCacher::load()",
                  QStringLiteral("The stored bookmarks could not be read: ") + storeFailureKind(error));
    }
    // Bookmarks an earlier version kept in the settings file move into the store; they leave the
    // settings file only once the store holds them for good.
    if (const std::optional<Table> older = tableInSettings()) {
        Table moved;
        for (auto it = older->cbegin(); it != older->cend(); ++it) {
            if (!table.contains(it.key())) {
                table.insert(it.key(), it.value());
                moved.insert(it.key(), it.value());
            }
        }
        if (read && write(moved, {}) && !store->isTemporary()) {
            TaviSettings::shared().setLegacyBookmarks(std::nullopt);
            LOG_INFO("TPBookMarkCacher::load()",
                     QStringLiteral("%1 bookmarks moved from the settings file into the store").arg(moved.size()));
        }
    }
    {
        QWriteLocker locker(&m_lock);
        m_currentBookMarks = std::move(table);
    }
    m_loaded.store(true, std::memory_order_release);
}

bool TPBookMarkCacher::write(const Table &entries, const QList<QString> &deleted) const
{
    if (entries.isEmpty() && deleted.isEmpty())
        return true;
    const std::shared_ptr<ManagedObjectContext> context = m_context();
    try {
        // A few statements per transaction: the store's connection is shared with the history,
        // so it is never held for long, however many paths one call names.
        auto entry = entries.cbegin();
        qsizetype next = 0;
        while (entry != entries.cend() || next < deleted.size()) {
            context->performAndWait([&] {
                const std::shared_ptr<PersistentStore> store = context->store();
                SQLite::Database &database = store->database();
                SQLite::Transaction transaction(database);
                qsizetype rows = 0;
                SQLite::Statement insert(
                    database, R"sql(INSERT OR REPLACE INTO "FileBookmark" ("path", "bookmark") VALUES (?, ?))sql");
                for (; entry != entries.cend() && rows < kRowsPerTransaction; ++entry, ++rows) {
                    insert.bind(1, entry.key().toStdString());
                    insert.bind(2, entry.value().constData(), int(entry.value().size()));
                    insert.exec();
                    insert.reset();
                }
                SQLite::Statement remove(database, R"sql(DELETE FROM "FileBookmark" WHERE "path" = ?)sql");
                for (; next < deleted.size() && rows < kRowsPerTransaction; ++next, ++rows) {
                    remove.bind(1, deleted.at(next).toStdString());
                    remove.exec();
                    remove.reset();
                }
                transaction.commit();
            });
        }
    } catch (const std::exception &error) {
        LOG_ERROR("TPBookMarkCacher::write()",
                  QStringLiteral("Bookmarks could not be written: ") + storeFailureKind(error));
        return false;
    }
    return true;
}

TPBookMarkCacher::Table TPBookMarkCacher::snapshot() const
{
    ensureLoaded();
    QReadLocker locker(&m_lock);
    return m_currentBookMarks;
}

void TPBookMarkCacher::loadBookMarks()
{
    // The table is read when the load runs, so stores queued before it are restored too.
    m_serialQueue.async([this] { asyncLoadBookMarks(); });
}

void TPBookMarkCacher::asyncLoadBookMarks()
{
    const Table loaded = snapshot();
    QList<QString> dropped;
    qsizetype accessible = 0;
    for (auto it = loaded.cbegin(); it != loaded.cend(); ++it) {
        const QString &path = it.key();
        if (!QFileInfo::exists(path) || !Bookmark::resolve(it.value())) {
            dropped.append(path);
            continue;
        }
        if (Bookmark::startAccessing(path))
            ++accessible;
    }
    // One line for the whole table: no path ever reaches the log.
    LOG_INFO("asyncLoadBookMarks()",
             QStringLiteral("%1 bookmarks restored, %2 readable; %3 gone or no longer the granted location")
                 .arg(loaded.size() - dropped.size())
                 .arg(accessible)
                 .arg(dropped.size()));
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
    ensureLoaded();
    Table made;
    qsizetype failed = 0;
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = pathOf(url);
        if (const auto bookmark = Bookmark::create(path))
            made.insert(path, *bookmark);
        else
            ++failed;
    }
    {
        QWriteLocker locker(&m_lock);
        for (auto it = made.cbegin(); it != made.cend(); ++it)
            m_currentBookMarks.insert(it.key(), it.value());
    }
    write(made, {});
    if (failed > 0)
        LOG_ERROR("store(_:)",
                  QStringLiteral("%1 of %2 bookmarks could not be made (the location is gone or unreadable)")
                      .arg(failed)
                      .arg(urls.size()));
    LOG_DEBUG("store(_:)", QStringLiteral("%1 bookmarks stored").arg(made.size()));
}

void TPBookMarkCacher::deleteBookMarks(const QList<QUrl> &urls)
{
    m_serialQueue.async([this, urls] { deleteWork(urls); });
}

void TPBookMarkCacher::deleteWork(const QList<QUrl> &urls)
{
    const QString root = authorizedRootPath();
    QList<QString> forgotten;
    {
        const Table table = snapshot();
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
    if (paths.isEmpty())
        return;
    ensureLoaded();
    // Erased from the live table, so nothing stored or removed meanwhile is undone.
    {
        QWriteLocker locker(&m_lock);
        for (const QString &path : paths)
            m_currentBookMarks.remove(path);
    }
    write({}, paths);
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
    ensureLoaded();
    QReadLocker locker(&m_lock);
    return m_currentBookMarks.contains(path);
}

void TPBookMarkCacher::waitUntilIdle() { m_serialQueue.drain(); }

void TPBookMarkCacher::stopAccessing(const QByteArray &bookmark, const char *function)
{
    QString error;
    const auto resolved = Bookmark::resolve(bookmark, &error);
    if (!resolved) {
        // The error names the location: the log gets neither.
        TAVI_LOG(LogLevel::Debug, function, QStringLiteral("A bookmark no longer resolves; nothing to release"));
        return;
    }
    Bookmark::stopAccessing(*resolved);
}
