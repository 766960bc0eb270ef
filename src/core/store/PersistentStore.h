#pragma once
// The SQLite file behind the history model "PBHistory": opening, schema versions (PRAGMA
// user_version) and migrations, and a cache of prepared statements. Opening never gives up: a
// file SQLite calls damaged, or another program's database, is renamed aside and a new store
// started; a file written by a newer version, one another program keeps locked past the wait, or
// one that cannot be read or written is left untouched and the session runs on a temporary
// store. Either way the problem is kept for the user to be told. Used under the owning context's
// lock.

#include "core/store/SearchIndex.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <QHash>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct StoreProblem {
    enum class Kind { Damaged, Foreign, NewerVersion, Unwritable, Busy, Unreadable };
    Kind kind;
    QString path;           // the store file
    QString movedAsidePath; // where a damaged or foreign file now is (empty when it could not be moved)
    QString detail;         // the underlying error's kind (storeFailureKind()), never its message
    int foundVersion = 0;

    // A plain-words explanation for the user.
    QString message() const;
};

namespace StoredRowQuery {
class PageAnchors;
}

class PersistentStore {
public:
    static constexpr int kSchemaVersion = 3;
    // How long a connection waits for another one's lock before giving up.
    static constexpr int kBusyTimeoutMs = 5000;
    // How long opening waits, in all, for a lock another program holds on the store.
    static constexpr int kOpenBusyTimeoutMs = 10000;
    static inline const QString kFileName = QStringLiteral("PBHistory.sqlite");

    struct OpenResult {
        std::shared_ptr<PersistentStore> store;
        std::optional<StoreProblem> problem;
    };

    // Opens (creating or migrating) the store file; always yields a usable store.
    static OpenResult open(const QString &path);
    // One more connection to a store file already open at the current version: never migrates,
    // moves or replaces anything, waits its turn for locks; throws when it cannot be used.
    static std::shared_ptr<PersistentStore> openExisting(const QString &path);
    // A store that lives only as long as the process (and is never written to a file).
    static std::shared_ptr<PersistentStore> openTemporary();

    ~PersistentStore();

    const QString &path() const { return m_path; }
    bool isTemporary() const { return m_temporary; }
    SQLite::Database &database() { return *m_database; }
    // On a reader, the index as that reader's snapshot holds it.
    SearchIndex &searchIndex() { return *m_searchIndex; }

    // A prepared statement for `sql`, reset with bindings cleared, kept for reuse. At most a few
    // hundred are kept: the reference holds until the next call.
    SQLite::Statement &statement(const QString &sql);
    // Rows already read at known places of ordered windows, so a deep window starts from the
    // nearest one; used as statement() is.
    StoredRowQuery::PageAnchors &pageAnchors() { return *m_pageAnchors; }

    // A commit that leaves the write-ahead log at this many pages or more has the log copied
    // into the store by a thread of the store's own, so the commit never waits for the copy.
    static constexpr int kCopyLogAfterPages = 1000;
    // While such a copy is still running, a commit that leaves the log this long waits for it
    // and copies the rest itself: the log stays bounded however fast the writes come.
    static constexpr int kCopyLogNowPages = 50000;

    // Copies the write-ahead log into the store file on a connection of its own, without
    // resetting the log, so that readers and writers of every connection go on meanwhile. Any
    // thread, without the owning context's lock. False when it could not run.
    bool copyLogIntoStore();
    // At quit, after the last save: stops the store's own log copies and copies the whole log
    // into the store file, emptying it, so that the file alone holds the history. Writes after it
    // still succeed (their log is copied when SQLite next opens the store). With the owning
    // context's lock. False when the log could not be emptied (another connection still reads).
    bool finishWriting();
    // Stops the search index's builder for good (at quit). Not with the owning context's lock.
    void stopIndexing()
    {
        if (m_searchIndex)
            m_searchIndex->stopBuilding();
    }
    // Runs in copyLogIntoStore() once the log is copied (tests).
    static void setLogCopiedHookForTesting(std::function<void()> hook);
    // Whether a copy started by a commit is queued or running (tests).
    bool isCopyingLog() const;
    // Other lengths than kCopyLogAfterPages and kCopyLogNowPages (tests).
    void setLogCopyLimitsForTesting(int afterPages, int nowPages);

    // Runs `read` with a read-only connection of its own to the store file (one per caller at a
    // time; a few are kept for reuse), so that a long read never holds the owning context's lock.
    // False when the store has no file, or the reader cannot be opened, or `read` threw (logged).
    bool withReader(const std::function<void(PersistentStore &reader)> &read);
    bool isReader() const { return m_reader; }
    // Waits, on a connection of its own, until no other connection holds the store's write lock
    // (at most the busy timeout), so that a save then asks for it without the owning context's
    // lock held for the wait: lists go on reading meanwhile. Any thread, without that lock.
    void waitForWriter();
    // Runs in withReader() before each read, without the reader's lock (tests).
    static void setReaderHookForTesting(std::function<void()> hook);

private:
    // With `indexedBy`, a reader of the store that index belongs to.
    PersistentStore(std::unique_ptr<SQLite::Database> database, QString path, bool temporary,
                    SearchIndex *indexedBy = nullptr);
    static std::unique_ptr<SQLite::Database> openFile(const QString &path);
    // One more connection to the store file at `path`, configured as every one is.
    static std::unique_ptr<SQLite::Database> connectTo(const QString &path, int flags);
    static void configure(SQLite::Database &database);
    static void migrate(SQLite::Database &database, int fromVersion);
    // After each commit of the store's own connection, with the log's length in pages.
    static int logWritten(void *store, struct sqlite3 *database, const char *name, int pages);
    void copyLogInBackground();

    std::unique_ptr<SQLite::Database> m_database;
    QString m_path;
    bool m_temporary;
    bool m_reader;
    QHash<QString, std::shared_ptr<SQLite::Statement>> m_statements;
    std::unique_ptr<StoredRowQuery::PageAnchors> m_pageAnchors;
    std::unique_ptr<SearchIndex> m_searchIndex;
    std::mutex m_checkpointMutex;
    std::unique_ptr<SQLite::Database> m_checkpointConnection; // guarded by m_checkpointMutex
    mutable std::mutex m_copierMutex;
    bool m_copying = false;   // guarded by m_copierMutex
    bool m_copyAgain = false; // guarded by m_copierMutex
    bool m_finished = false;  // guarded by m_copierMutex: no copier thread starts any more
    std::thread m_copier;     // guarded by m_copierMutex
    std::atomic<int> m_copyLogAfterPages = kCopyLogAfterPages;
    std::atomic<int> m_copyLogNowPages = kCopyLogNowPages;
    static constexpr size_t kIdleReaders = 2;
    std::mutex m_readerMutex;
    std::vector<std::unique_ptr<PersistentStore>> m_idleReaders; // guarded by m_readerMutex
    std::mutex m_writerProbeMutex;
    std::unique_ptr<SQLite::Database> m_writerProbe; // guarded by m_writerProbeMutex
};
