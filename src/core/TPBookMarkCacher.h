#pragma once
// Bookmarks of the files and folders the user copied or granted: a table from a location's path
// to its bookmark data, kept in the standard defaults under "kTPBookMarks", restored at launch
// (access started again) and released at termination. Loading, storing and deleting run in order
// on the serial queue "com.tavi.bookmark"; the table is guarded by a read-write lock.

#include "platform/DispatchQueue.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QReadWriteLock>
#include <QString>
#include <QUrl>

// The folder whose bookmark covers everything the user copies: the folder of home folders
// ("/home") when AppValues::isIRM() is set, else "/".
QString authorizedRootPath();

class TPBookMarkCacher {
public:
    static inline const QString kDefaultsKey = QStringLiteral("kTPBookMarks");

    // Made on first use and never destroyed: shutDown() stops it before the program ends.
    static TPBookMarkCacher &shared();

    // Reads the stored table (access is not started). Tests make their own.
    TPBookMarkCacher();
    ~TPBookMarkCacher();
    TPBookMarkCacher(const TPBookMarkCacher &) = delete;
    TPBookMarkCacher &operator=(const TPBookMarkCacher &) = delete;

    // Queues the restore: locations that are gone or no longer resolve leave the live table;
    // access to the others is started. Returns at once. Any thread.
    void loadBookMarks();
    // Queues bookmarking each file URL (others are skipped), then persisting the table. Any thread.
    void store(const QList<QUrl> &urls);
    // Queues stopping access to and forgetting each URL's location, then persisting the table.
    // The authorised root's bookmark is kept: only remove() drops it. Any thread.
    void deleteBookMarks(const QList<QUrl> &urls);
    // Stops access to and forgets one location, and persists the table; on the caller's thread.
    void remove(const QString &path);
    // Stops access to every cached location that exists; the table is unchanged. Caller's thread.
    void stopAccessingResource();
    // Runs the queued work (the table reaches the settings) and stops the queue; later requests
    // are dropped. At quit; the destructor calls it. Any thread but the queue's.
    void shutDown();
    // Whether the table has an entry for exactly this path. Any thread.
    bool hasBookMark(const QString &path) const;

    // Waits until the queued work has run (shutdown and tests).
    void waitUntilIdle();

    // The table's key of a file URL: its decoded path without a trailing slash.
    static QString pathOf(const QUrl &url);

private:
    using Table = QHash<QString, QByteArray>;
    Table snapshot() const;
    void asyncLoadBookMarks();
    void storeWork(const QList<QUrl> &urls);
    void deleteWork(const QList<QUrl> &urls);
    void forget(const QList<QString> &paths);
    void persistLocked();
    static void stopAccessing(const QByteArray &bookmark, const char *function);

    mutable QReadWriteLock m_lock;
    Table m_currentBookMarks;
    SerialQueue m_serialQueue;
};
