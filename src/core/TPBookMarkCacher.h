#pragma once
// Bookmarks of the files and folders the user copied or granted: a table from a location's path
// to its bookmark data, kept in the history store's "FileBookmark" table, restored at launch
// (access started again) and released at termination. The table is read on first use (which
// also takes in a table that earlier versions kept in the settings file); storing and deleting
// run in order on the serial queue "com.tavi.bookmark", each call written in one go however many
// paths it names. The table in memory is guarded by a read-write lock.

#include "platform/DispatchQueue.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QReadWriteLock>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class ManagedObjectContext;

// The folder whose bookmark covers everything the user copies: the folder of home folders
// ("/home") when TaviSettings::isIRM() is set, else "/".
QString authorizedRootPath();

class TPBookMarkCacher {
public:
    // Rows written per store transaction: the store's lock is never held for long.
    static constexpr qsizetype kRowsPerTransaction = 1000;

    // Made on first use and never destroyed: shutDown() stops it before the program ends.
    static TPBookMarkCacher &shared();

    // A cache kept in the store of the context given (by default the shared history store's, as
    // it is at each use). Reads nothing until first used. Tests make their own.
    using ContextSource = std::function<std::shared_ptr<ManagedObjectContext>()>;
    explicit TPBookMarkCacher(ContextSource context = {});
    ~TPBookMarkCacher();
    TPBookMarkCacher(const TPBookMarkCacher &) = delete;
    TPBookMarkCacher &operator=(const TPBookMarkCacher &) = delete;

    // Queues the restore: locations that are gone or no longer resolve leave the live table;
    // access to the others is started. Returns at once. Any thread.
    void loadBookMarks();
    // Queues bookmarking each file URL (others are skipped), then writing them. Any thread.
    void store(const QList<QUrl> &urls);
    // Queues stopping access to and forgetting each URL's location, then writing that. The
    // authorised root's bookmark is kept: only remove() drops it. Any thread.
    void deleteBookMarks(const QList<QUrl> &urls);
    // Stops access to and forgets one location, and writes that; on the caller's thread.
    void remove(const QString &path);
    // Stops access to every cached location that exists; the table is unchanged. Caller's thread.
    void stopAccessingResource();
    // Runs the queued work (the table reaches the store) and stops the queue; later requests
    // are dropped. At quit, before the store shuts down; the destructor calls it. Any thread but
    // the queue's.
    void shutDown();
    // Whether the table has an entry for exactly this path. Any thread (the first call may read
    // the stored table).
    bool hasBookMark(const QString &path) const;

    // Waits until the queued work has run (shutdown and tests).
    void waitUntilIdle();

    // The table's key of a file URL: its decoded path without a trailing slash.
    static QString pathOf(const QUrl &url);

private:
    using Table = QHash<QString, QByteArray>;
    Table snapshot() const;
    // Reads the stored table once, taking in the settings file's table of earlier versions.
    void ensureLoaded() const;
    void asyncLoadBookMarks();
    void storeWork(const QList<QUrl> &urls);
    void deleteWork(const QList<QUrl> &urls);
    void forget(const QList<QString> &paths);
    // Writes entries into the stored table and deletes paths from it; false on a store error.
    bool write(const Table &entries, const QList<QString> &deleted) const;
    static void stopAccessing(const QByteArray &bookmark, const char *function);

    ContextSource m_context;
    mutable std::mutex m_loadMutex;
    mutable std::atomic<bool> m_loaded{false};
    mutable QReadWriteLock m_lock;
    mutable Table m_currentBookMarks;
    SerialQueue m_serialQueue;
};
