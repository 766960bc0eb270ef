#pragma once
// The history's search index: the trigrams of each word (SQLite FTS5 with SearchTokenizer,
// positions kept, no copy of the text) of the folded text and application name of every item,
// folded as CONTAINS[cd] folds. A keyword without white space is answered by the index alone;
// one with white space takes the items holding its longer words, which the scan checks. Triggers
// on the item table keep it in step with every insert, edit and delete in the same transaction.
// An item whose text or name is longer than kIndexedBytes, or holds a NUL, stays out of the index
// and is listed apart, so every search checks it by scan. A store that predates the index, or
// whose index is damaged, builds it in the background on a connection of its own; until it is
// complete every search scans. Owned by its PersistentStore; the query helpers run on the
// store's connection under the owning context's lock. A reader's index (readerOf()) answers the
// same queries on a read-only connection, in that connection's snapshot, and builds nothing.

#include "core/store/EntityDescription.h"
#include "core/store/SearchIndexSchema.h"

#include <SQLiteCpp/Database.h>

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class SearchIndex {
public:
    // Longest text (UTF-8 bytes) of an item that goes into the index.
    static constexpr qsizetype kIndexedBytes = SearchIndexSchema::kIndexedBytes;
    // The shortest folded keyword (in characters) the index answers; shorter ones are scanned.
    static constexpr int kShortestKeyword = 3;

    using ConnectionFactory = std::function<std::unique_ptr<SQLite::Database>()>;

    // How a page of a search is found. Up to `sortedUpTo` matches (the index's candidates), their
    // ids are taken from the index once. The list is then walked in its order (its sort's index)
    // testing each row against the ids, for at most `walkStepsPerMatch` SQLite steps per match:
    // the walk reads the order's index only, where ordering the matches reads each of their rows,
    // which is slow while those rows are not yet in memory. A walk that does not fill the page
    // within that gives up, and the matches are ordered by the list's sort. A count walks at most
    // `countWalkSteps` steps (a short list, such as the pinned items), else it counts the matches.
    // With more matches, a keyword that many items hold: the list is walked in its order testing
    // each row by scan, for at most `scanStepsPerRow` SQLite steps per wanted row, which fills a
    // page of a common keyword from its first rows; when that is not enough, the walk tests rows
    // against the index's matches instead.
    struct Tuning {
        qint64 sortedUpTo = 4000;
        qint64 scanStepsPerRow = 1000;
        qint64 walkStepsPerMatch = 1000;
        qint64 countWalkSteps = 20000;
    };
    static Tuning tuning();
    // For tests and benchmarks: the answers stay the same, only the road to them changes.
    static void setTuning(Tuning tuning);

    // How the background builder bears failures, on its own thread. A store another connection
    // holds locked for writing is waited out however long the lock is held: each statement waits
    // up to `busyWait` (less when the index is destroyed meanwhile), the step is tried again after
    // `retryPause`. Other failures are tried again every `retryPause` on a new connection, until
    // they have gone on for `giveUpAfter` without a step done; then searches scan.
    struct Patience {
        std::chrono::milliseconds busyWait{5000};
        std::chrono::milliseconds retryPause{500};
        std::chrono::milliseconds giveUpAfter{60000};
    };
    static Patience patience();
    // For tests.
    static void setPatience(Patience patience);

    // Creates the index's tables and triggers (a schema migration). The index starts complete on
    // an empty item table and empty otherwise, to be built by start().
    static void createSchema(SQLite::Database &database);
    // The SQL functions the triggers use, on every connection to the store.
    static void registerFunctions(SQLite::Database &database);

    // `openConnection` gives the background builder its own connection to the store file; without
    // one (a store that has no file) the index is built at once on `database`.
    SearchIndex(SQLite::Database &database, ConnectionFactory openConnection);
    // The index as read on a read-only connection `database` to the store `owner` indexes: ready
    // when `owner` has not failed and the connection's snapshot holds it complete; a failure
    // through it has `owner` build the index anew. Lives no longer than `owner`.
    static std::unique_ptr<SearchIndex> readerOf(SQLite::Database &database, SearchIndex &owner);
    ~SearchIndex();
    // Stops the builder for good and waits for it (at quit): the index is brought up to date at
    // the next start. Not with the owning context's lock.
    void stopBuilding();
    SearchIndex(const SearchIndex &) = delete;
    SearchIndex &operator=(const SearchIndex &) = delete;

    // Whether searches can go through the index now.
    bool isReady();
    // Waits until the index is complete (tests, benchmarks); false after `timeoutMs`.
    bool waitUntilReady(int timeoutMs);

    // Items the index found for a keyword: their ids as a JSON array, and whether they are exactly
    // its matches or candidates for the scan to check.
    struct Matches {
        QString ids;
        qint64 size = 0;
        bool exact = false;
        // Whether items kept out of the index exist, which the scan checks.
        bool kept = true;
    };
    // Whether the index can answer "any of `keys` CONTAINS[cd] `keyword`" on `entity`.
    static bool canAnswer(const EntityDescription &entity, const QStringList &keys, const QString &keyword);
    // Appends a condition on "pk" selecting the items that match, through the index. `scan` is
    // the condition the plain scan uses (with its bindings): it checks the items kept out of the
    // index. With `inOrder`, the condition keeps SQLite from driving the query by it, so a
    // query ordered by an index walks that index and tests each item against the matches.
    // `matches`, from matchingIds(), stands for the index's answer when given.
    static void appendCondition(const QStringList &keys, const QString &keyword, const QString &scan,
                                const std::vector<StoreValue> &scanBindings, bool inOrder, QString &sql,
                                std::vector<StoreValue> &bindings, const Matches *matches = nullptr);
    // The number of matching items, counted in the index.
    qint64 count(const QStringList &keys, const QString &keyword, const QString &scan,
                 const std::vector<StoreValue> &scanBindings);
    // The items the index offers for the keyword, when there are at most `cap` of them with the
    // items kept out of the index; none when there are more. Those holding each of its words are
    // found first (quick, but only candidates unless it is one word), then those holding it whole.
    std::optional<Matches> matchingIds(const QString &keyword, qint64 cap);

    // Many inserts in one transaction (an import): inside it, deferInserts() keeps the rows
    // inserted next out of the index, and indexDeferred() adds them in one pass before the commit,
    // far quicker than one index update per row. Nothing when the index is still being built (its
    // builder takes the new rows then). Other connections never see the index incomplete.
    static std::optional<qint64> deferInserts(SQLite::Database &database);
    static void indexDeferred(SQLite::Database &database, qint64 deferredAfter);

    // Called inside the transaction that is about to delete most of a large table of `entity`:
    // for the history, the index is emptied and the rest built again in the background, far
    // quicker than taking each item out of it.
    void willDeleteMostOf(SQLite::Database &database, const EntityDescription &entity);

    // Whether a failed statement failed in the index (so that writes may go on without it).
    static bool isIndexFailure(const std::exception &error);
    // A statement through the index failed: searches scan from now on and the index is built anew.
    // Called while `error` is being handled; on a reader's index, a failure that is not the
    // index's own is thrown on.
    void reportFailure(const std::exception &error);

private:
    enum class Step { More, Done };
    SearchIndex(SQLite::Database &database, SearchIndex *owner);
    // Has the builder drop the index and build it anew; searches scan meanwhile.
    void rebuildInBackground();
    void verifySchema(SQLite::Database &database);
    void disable(SQLite::Database &database);
    static void reset(SQLite::Database &database);
    static Step buildStep(SQLite::Database &database, int rows);
    // Indexes the items with upTo < "pk" <= through and records the new watermark.
    static void indexRows(SQLite::Database &database, qint64 upTo, qint64 through, qint64 watermark);
    static bool isConsistent(SQLite::Database &database);
    void run();
    // The builder connection's busy handler: waits in short slices, up to Patience::busyWait.
    static int waitWhileBusy(void *index, int attempts);

    SQLite::Database &m_database;
    SearchIndex *const m_owner = nullptr; // for a reader's index
    ConnectionFactory m_openConnection;
    std::atomic<bool> m_failed{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_rebuild = false;
    bool m_resume = false;
    std::thread m_builder;
};
