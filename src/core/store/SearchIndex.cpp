#include "core/store/SearchIndex.h"

#include "core/store/SearchIndexQuery.h"
#include "core/store/SearchIndexSchema.h"
#include "core/store/SearchTokenizer.h"
#include "core/store/StoreFailure.h"
#include "core/store/StoreStatements.h"
#include "platform/Log.h"

#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <QChar>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <utility>

namespace {
constexpr qint64 kComplete = std::numeric_limits<qint64>::max();
// Rows indexed per background transaction: each holds the write lock for a few tens of ms.
constexpr int kBuildRows = 2000;
void appendAll(std::vector<StoreValue> &to, const std::vector<StoreValue> &from)
{
    to.insert(to.end(), from.begin(), from.end());
}

void bindAll(SQLite::Statement &statement, const std::vector<StoreValue> &values)
{
    for (size_t i = 0; i < values.size(); ++i)
        StoreStatements::bindValue(statement, int(i) + 1, values[i]);
}

qint64 countOf(SQLite::Database &database, const char *sql) { return database.execAndGet(sql).getInt64(); }
} // namespace

namespace {
std::mutex g_tuningMutex;
SearchIndex::Tuning g_tuning;
SearchIndex::Patience g_patience;

// Another connection holds the write lock (or, in shared-cache mode, a table lock).
bool isBusy(const std::exception &error)
{
    const auto *sqlite = dynamic_cast<const SQLite::Exception *>(&error);
    const int code = sqlite ? (sqlite->getExtendedErrorCode() & 0xff) : SQLITE_OK;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}
} // namespace

SearchIndex::Tuning SearchIndex::tuning()
{
    std::lock_guard lock(g_tuningMutex);
    return g_tuning;
}

void SearchIndex::setTuning(Tuning tuning)
{
    std::lock_guard lock(g_tuningMutex);
    g_tuning = tuning;
}

SearchIndex::Patience SearchIndex::patience()
{
    std::lock_guard lock(g_tuningMutex);
    return g_patience;
}

void SearchIndex::setPatience(Patience patience)
{
    std::lock_guard lock(g_tuningMutex);
    g_patience = patience;
}

void SearchIndex::registerFunctions(SQLite::Database &database) { SearchIndexSchema::registerFunctions(database); }

void SearchIndex::createSchema(SQLite::Database &database) { SearchIndexSchema::create(database); }

SearchIndex::SearchIndex(SQLite::Database &database, ConnectionFactory openConnection)
    : m_database(database),
      m_openConnection(std::move(openConnection))
{
    verifySchema(database);
    if (!m_openConnection) {
        // A store without a file: small, built here and now.
        try {
            if (m_rebuild)
                reset(database);
            m_rebuild = false;
            while (buildStep(database, kBuildRows) == Step::More) {}
        } catch (const std::exception &error) {
            LOG_ERROR("SearchIndex::SearchIndex()",
                      QStringLiteral("search index not built: %1").arg(storeFailureKind(error)));
            m_failed = true;
        }
        return;
    }
    m_builder = std::thread([this] { run(); });
}

SearchIndex::SearchIndex(SQLite::Database &database, SearchIndex *owner) : m_database(database), m_owner(owner) {}

std::unique_ptr<SearchIndex> SearchIndex::readerOf(SQLite::Database &database, SearchIndex &owner)
{
    return std::unique_ptr<SearchIndex>(new SearchIndex(database, &owner));
}

SearchIndex::~SearchIndex() { stopBuilding(); }

void SearchIndex::stopBuilding()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_builder.joinable())
        m_builder.join();
}

void SearchIndex::verifySchema(SQLite::Database &database)
{
    try {
        int present = 0;
        for (const char *part : SearchIndexSchema::parts()) {
            SQLite::Statement query(database, "SELECT count(*) FROM sqlite_master WHERE name = ?");
            query.bind(1, part);
            query.executeStep();
            present += query.getColumn(0).getInt() > 0 ? 1 : 0;
        }
        if (present == int(SearchIndexSchema::parts().size())) {
            SQLite::Statement state(database, R"sql(SELECT count(*), max("fold") FROM "PBItemRecord_search_state")sql");
            state.executeStep();
            if (state.getColumn(0).getInt() == 1
                && state.getColumn(1).getString() == SearchIndexSchema::foldVersion().toStdString())
                return;
        }
        LOG_WARNING("SearchIndex::verifySchema()",
                    QStringLiteral("[-] search index incomplete or folded otherwise; building it anew"));
    } catch (const std::exception &error) {
        LOG_WARNING("SearchIndex::verifySchema()",
                    QStringLiteral("[-] search index unreadable (%1); building it anew").arg(storeFailureKind(error)));
    }
    disable(database);
    m_rebuild = true;
}

void SearchIndex::disable(SQLite::Database &database)
{
    // The triggers go at once (cheap), so no write can fail on a broken index; the builder drops
    // the rest and starts over.
    m_failed = true;
    try {
        SQLite::Transaction transaction(database, SQLite::TransactionBehavior::IMMEDIATE);
        database.exec(R"sql(
DROP TRIGGER IF EXISTS "PBItemRecord_search_insert";
DROP TRIGGER IF EXISTS "PBItemRecord_search_delete";
DROP TRIGGER IF EXISTS "PBItemRecord_search_update";
DROP TABLE IF EXISTS "PBItemRecord_search_state";)sql");
        transaction.commit();
    } catch (const std::exception &error) {
        LOG_ERROR("SearchIndex::disable()",
                  QStringLiteral("could not switch the search index off: %1").arg(storeFailureKind(error)));
    }
}

void SearchIndex::reset(SQLite::Database &database)
{
    SQLite::Transaction transaction(database, SQLite::TransactionBehavior::IMMEDIATE);
    database.exec(R"sql(
DROP TRIGGER IF EXISTS "PBItemRecord_search_insert";
DROP TRIGGER IF EXISTS "PBItemRecord_search_delete";
DROP TRIGGER IF EXISTS "PBItemRecord_search_update";
DROP TABLE IF EXISTS "PBItemRecord_search_state";
DROP TABLE IF EXISTS "PBItemRecord_search_long";
DROP TABLE IF EXISTS "PBItemRecord_search";)sql");
    createSchema(database);
    transaction.commit();
}

SearchIndex::Step SearchIndex::buildStep(SQLite::Database &database, int rows)
{
    SQLite::Transaction transaction(database, SQLite::TransactionBehavior::IMMEDIATE);
    const qint64 upTo =
        database.execAndGet(R"sql(SELECT "indexedUpTo" FROM "PBItemRecord_search_state")sql").getInt64();
    if (upTo == kComplete)
        return Step::Done;
    SQLite::Statement last(
        database,
        R"sql(SELECT max("pk") FROM (SELECT "pk" FROM "PBItemRecord" WHERE "pk" > ? ORDER BY "pk" LIMIT ?))sql");
    last.bind(1, int64_t(upTo));
    last.bind(2, rows);
    last.executeStep();
    if (last.getColumn(0).isNull()) {
        database.exec(R"sql(UPDATE "PBItemRecord_search_state" SET "indexedUpTo" = 9223372036854775807)sql");
        transaction.commit();
        return Step::Done;
    }
    const int64_t through = last.getColumn(0).getInt64();
    last.reset();
    indexRows(database, upTo, through, through);
    transaction.commit();
    return Step::More;
}

void SearchIndex::indexRows(SQLite::Database &database, qint64 upTo, qint64 through, qint64 watermark)
{
    for (const char *sql : {
             R"sql(INSERT INTO "PBItemRecord_search" (rowid, t) SELECT "pk", tavi_search_text("text", "appName")
                   FROM "PBItemRecord" WHERE "pk" > ?1 AND "pk" <= ?2 AND NOT tavi_unindexed("text", "appName"))sql",
             R"sql(INSERT INTO "PBItemRecord_search_long" ("pk") SELECT "pk" FROM "PBItemRecord"
                   WHERE "pk" > ?1 AND "pk" <= ?2 AND tavi_unindexed("text", "appName"))sql",
             R"sql(UPDATE "PBItemRecord_search_state" SET "indexedUpTo" = ?3)sql"}) {
        SQLite::Statement statement(database, sql);
        statement.bind(1, int64_t(upTo));
        statement.bind(2, int64_t(through));
        if (statement.getBindParameterCount() >= 3)
            statement.bind(3, int64_t(watermark));
        statement.exec();
    }
}

std::optional<qint64> SearchIndex::deferInserts(SQLite::Database &database)
{
    // No state table: the index is switched off while it is built anew.
    if (database.execAndGet(R"sql(SELECT count(*) FROM sqlite_master WHERE "name" = 'PBItemRecord_search_state')sql")
            .getInt()
        == 0)
        return std::nullopt;
    SQLite::Statement state(database, R"sql(SELECT "indexedUpTo" FROM "PBItemRecord_search_state")sql");
    if (!state.executeStep() || state.getColumn(0).getInt64() != kComplete)
        return std::nullopt;
    state.reset();
    const qint64 last = database.execAndGet(R"sql(SELECT coalesce(max("pk"), 0) FROM "PBItemRecord")sql").getInt64();
    SQLite::Statement defer(database, R"sql(UPDATE "PBItemRecord_search_state" SET "indexedUpTo" = ?)sql");
    defer.bind(1, int64_t(last));
    defer.exec();
    return last;
}

void SearchIndex::indexDeferred(SQLite::Database &database, qint64 deferredAfter)
{
    indexRows(database, deferredAfter, kComplete, kComplete);
}

bool SearchIndex::isConsistent(SQLite::Database &database)
{
    SQLite::Transaction snapshot(database, SQLite::TransactionBehavior::DEFERRED);
    const qint64 indexed = countOf(database, R"sql(SELECT count(*) FROM "PBItemRecord_search_docsize")sql");
    const qint64 items = countOf(database, R"sql(SELECT count(*) FROM "PBItemRecord")sql");
    const qint64 kept = countOf(database, R"sql(SELECT count(*) FROM "PBItemRecord_search_long")sql");
    return indexed == items - kept;
}

int SearchIndex::waitWhileBusy(void *index, int attempts)
{
    constexpr std::chrono::milliseconds kSlice(10);
    auto &self = *static_cast<SearchIndex *>(index);
    std::unique_lock lock(self.m_mutex);
    if (self.m_stop || attempts * kSlice >= patience().busyWait)
        return 0;
    self.m_wake.wait_for(lock, kSlice, [&self] { return self.m_stop; });
    return self.m_stop ? 0 : 1;
}

void SearchIndex::run()
{
    std::unique_ptr<SQLite::Database> database;
    bool checked = false;
    bool waiting = false; // for another connection's write lock
    // Since when steps fail for other reasons than a busy store; none while they go through.
    std::optional<std::chrono::steady_clock::time_point> failingSince;
    for (;;) {
        bool rebuild = false;
        {
            std::unique_lock lock(m_mutex);
            if (m_stop)
                return;
            rebuild = m_rebuild;
        }
        try {
            if (!database) {
                database = m_openConnection();
                sqlite3_busy_handler(database->getHandle(), &SearchIndex::waitWhileBusy, this);
            }
            if (rebuild) {
                LOG_INFO("SearchIndex::run()", QStringLiteral("[+] building the search index anew"));
                reset(*database);
                {
                    std::lock_guard lock(m_mutex);
                    m_rebuild = false;
                }
                m_failed = false;
            }
            const Step step = buildStep(*database, kBuildRows);
            failingSince.reset();
            if (std::exchange(waiting, false))
                LOG_INFO("SearchIndex::run()",
                         QStringLiteral("[+] the store's write lock is free; the search index is built on"));
            if (step == Step::More) {
                // Leaves a moment for the writes of the program between two steps.
                std::unique_lock lock(m_mutex);
                m_wake.wait_for(lock, std::chrono::milliseconds(2), [this] { return m_stop; });
                continue;
            }
            if (!checked) {
                checked = true;
                if (!isConsistent(*database)) {
                    LOG_WARNING("SearchIndex::run()", QStringLiteral("[-] search index out of step with the items"));
                    std::lock_guard lock(m_mutex);
                    m_rebuild = true;
                    continue;
                }
                LOG_INFO("SearchIndex::run()", QStringLiteral("[+] search index complete"));
            }
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || m_rebuild || m_resume; });
            m_resume = false;
        } catch (const std::exception &error) {
            const auto now = std::chrono::steady_clock::now();
            if (isBusy(error)) {
                // A passing state of a store that works: waited out, the connection kept.
                failingSince.reset();
                if (!std::exchange(waiting, true))
                    LOG_WARNING("SearchIndex::run()",
                                QStringLiteral("[-] the store is locked by another connection; the search "
                                               "index waits for it while searches scan"));
            } else {
                LOG_WARNING("SearchIndex::run()",
                            QStringLiteral("search index build step failed: ") + storeFailureKind(error));
                database.reset();
                if (!failingSince)
                    failingSince = now;
                if (now - *failingSince >= patience().giveUpAfter) {
                    LOG_ERROR("SearchIndex::run()", QStringLiteral("search index not built; searches scan"));
                    return;
                }
            }
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, patience().retryPause, [this] { return m_stop; });
        }
    }
}

bool SearchIndex::isReady()
{
    if (m_failed || (m_owner && m_owner->m_failed))
        return false;
    try {
        SQLite::Statement state(m_database, R"sql(SELECT "indexedUpTo", "fold" FROM "PBItemRecord_search_state")sql");
        return state.executeStep() && state.getColumn(0).getInt64() == kComplete
               && state.getColumn(1).getString() == SearchIndexSchema::foldVersion().toStdString();
    } catch (const std::exception &) {
        return false;
    }
}

bool SearchIndex::waitUntilReady(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!isReady()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool SearchIndex::canAnswer(const EntityDescription &entity, const QStringList &keys, const QString &keyword)
{
    // The index holds the text and the application name together.
    if (entity.name != QStringLiteral("PBItemRecord") || keys.size() != 2 || !keys.contains(QStringLiteral("text"))
        || !keys.contains(QStringLiteral("appName")))
        return false;
    return indexQuery(keyword).has_value();
}

namespace {
const char *const kLongItems =
    R"sql(SELECT "pk" FROM "PBItemRecord" WHERE "pk" IN (SELECT "pk" FROM "PBItemRecord_search_long") AND ()sql";

// SELECT of the ids of the matching items: the index's matches (checked by scan when they are
// only candidates) and the long items that the scan finds.
QString matchingSelect(const QString &keyword, const QString &scan, const std::vector<StoreValue> &scanBindings,
                       std::vector<StoreValue> &bindings)
{
    const IndexQuery query = indexQuery(keyword).value();
    const QString indexed =
        QStringLiteral(R"sql(SELECT rowid FROM "PBItemRecord_search" WHERE "PBItemRecord_search" MATCH ?)sql");
    bindings.push_back(query.match);
    QString sql;
    if (!query.exact) {
        sql += QStringLiteral(R"sql(SELECT "pk" FROM "PBItemRecord" WHERE "pk" IN ()sql") + indexed
               + QStringLiteral(") AND (") + scan + QLatin1Char(')');
        appendAll(bindings, scanBindings);
    } else {
        sql += indexed;
    }
    sql += QStringLiteral(" UNION ALL ") + QString::fromUtf8(kLongItems) + scan + QLatin1Char(')');
    appendAll(bindings, scanBindings);
    return sql;
}
} // namespace

void SearchIndex::appendCondition(const QStringList &, const QString &keyword, const QString &scan,
                                  const std::vector<StoreValue> &scanBindings, bool inOrder, QString &sql,
                                  std::vector<StoreValue> &bindings, const Matches *matches)
{
    if (matches) {
        // The ids drive the query (or, in order, each row walked is tested against them), each
        // item read once and tested by scan where the ids are only candidates; the long items, if
        // any, are tested by scan.
        const QString pk = inOrder ? QStringLiteral("+\"pk\"") : QStringLiteral("\"pk\"");
        const QString ids = pk + QStringLiteral(R"sql( IN (SELECT value FROM json_each(?)))sql");
        const QString kept = pk + QStringLiteral(R"sql( IN (SELECT "pk" FROM "PBItemRecord_search_long"))sql");
        bindings.push_back(matches->ids);
        if (!matches->kept)
            sql += matches->exact ? ids : QStringLiteral("(%1 AND (%2))").arg(ids, scan);
        else if (matches->exact)
            sql += QStringLiteral("(%1 OR (%2 AND (%3)))").arg(ids, kept, scan);
        else
            sql += QStringLiteral("((%1 OR %2) AND (%3))").arg(ids, kept, scan);
        if (matches->kept || !matches->exact)
            appendAll(bindings, scanBindings);
        return;
    }
    sql += (inOrder ? QStringLiteral("+\"pk\" IN (") : QStringLiteral("\"pk\" IN ("))
           + matchingSelect(keyword, scan, scanBindings, bindings) + QLatin1Char(')');
}

qint64 SearchIndex::count(const QStringList &, const QString &keyword, const QString &scan,
                          const std::vector<StoreValue> &scanBindings)
{
    const IndexQuery query = indexQuery(keyword).value();
    std::vector<StoreValue> bindings{query.match};
    QString sql =
        query.exact
            ? QStringLiteral(
                R"sql(SELECT (SELECT count(*) FROM "PBItemRecord_search" WHERE "PBItemRecord_search" MATCH ?))sql")
            : QStringLiteral(
                  R"sql(SELECT (SELECT count(*) FROM "PBItemRecord" WHERE "pk" IN (SELECT rowid FROM "PBItemRecord_search" WHERE "PBItemRecord_search" MATCH ?) AND ()sql")
                  + scan + QStringLiteral("))");
    if (!query.exact)
        appendAll(bindings, scanBindings);
    sql += QStringLiteral(" + (SELECT count(*) FROM (") + QString::fromUtf8(kLongItems) + scan + QStringLiteral(")))");
    appendAll(bindings, scanBindings);
    SQLite::Statement statement(m_database, sql.toStdString());
    bindAll(statement, bindings);
    statement.executeStep();
    return statement.getColumn(0).getInt64();
}

std::optional<SearchIndex::Matches> SearchIndex::matchingIds(const QString &keyword, qint64 cap)
{
    const qint64 kept = countOf(m_database, R"sql(SELECT count(*) FROM "PBItemRecord_search_long")sql");
    if (kept > cap)
        return std::nullopt;
    const IndexQuery query = indexQuery(keyword).value();
    SQLite::Statement statement(
        m_database, R"sql(SELECT rowid FROM "PBItemRecord_search" WHERE "PBItemRecord_search" MATCH ?1 LIMIT ?2)sql");
    qint64 size = 0;
    const auto found = [&](const QString &match) -> std::optional<QString> {
        statement.reset();
        statement.bind(1, match.toStdString());
        statement.bind(2, int64_t(std::min(cap - kept, std::numeric_limits<qint64>::max() - 1)) + 1);
        QByteArray ids("[");
        qint64 rows = 0;
        while (statement.executeStep()) {
            if (++rows > cap - kept)
                return std::nullopt;
            if (rows > 1)
                ids += ',';
            ids += QByteArray::number(qint64(statement.getColumn(0).getInt64()));
        }
        size = rows;
        return QString::fromLatin1(ids + ']');
    };
    if (auto ids = found(query.words))
        return Matches{*ids, size, query.wordsExact, kept > 0};
    if (query.words == query.match)
        return std::nullopt;
    if (auto ids = found(query.match))
        return Matches{*ids, size, query.exact, kept > 0};
    return std::nullopt;
}

void SearchIndex::willDeleteMostOf(SQLite::Database &database, const EntityDescription &entity)
{
    if (m_owner || !m_openConnection || entity.name != QStringLiteral("PBItemRecord") || !isReady())
        return;
    // In the caller's transaction: the index restarts empty (the remaining items, if any, to be
    // built), so the delete triggers find nothing to do.
    database.exec(R"sql(
DROP TRIGGER "PBItemRecord_search_insert"; DROP TRIGGER "PBItemRecord_search_delete";
DROP TRIGGER "PBItemRecord_search_update"; DROP TABLE "PBItemRecord_search_state";
DROP TABLE "PBItemRecord_search_long"; DROP TABLE "PBItemRecord_search";)sql");
    createSchema(database);
    {
        std::lock_guard lock(m_mutex);
        m_resume = true;
    }
    m_wake.notify_all();
}

bool SearchIndex::isIndexFailure(const std::exception &error)
{
    const QString message = QString::fromUtf8(error.what());
    if (message.contains(QStringLiteral("fts5")) || message.contains(QStringLiteral("PBItemRecord_search"))
        || message.contains(QStringLiteral("tavi_unindexed")))
        return true;
    const auto *sqlite = dynamic_cast<const SQLite::Exception *>(&error);
    return sqlite && sqlite->getExtendedErrorCode() == SQLITE_CORRUPT_VTAB;
}

void SearchIndex::reportFailure(const std::exception &error)
{
    // A reader's own trouble (its connection busy or failing) is no damage to the index: the read
    // fails, and the caller reads through the store's connection instead.
    if (m_owner && !isIndexFailure(error))
        throw;
    LOG_ERROR("SearchIndex::reportFailure()",
              QStringLiteral("[-] search index failed (%1); searches scan while it is built anew")
                  .arg(storeFailureKind(error)));
    if (m_owner) {
        // A reader cannot switch the triggers off: the builder drops them with the index.
        m_owner->rebuildInBackground();
        return;
    }
    disable(m_database);
    if (!m_openConnection) {
        try {
            reset(m_database);
            while (buildStep(m_database, kBuildRows) == Step::More) {}
            m_failed = false;
        } catch (const std::exception &again) {
            LOG_ERROR("SearchIndex::reportFailure()",
                      QStringLiteral("search index not rebuilt: %1").arg(storeFailureKind(again)));
        }
        return;
    }
    rebuildInBackground();
}

void SearchIndex::rebuildInBackground()
{
    m_failed = true;
    {
        std::lock_guard lock(m_mutex);
        m_rebuild = true;
    }
    m_wake.notify_all();
}
