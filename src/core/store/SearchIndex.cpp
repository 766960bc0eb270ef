#include "core/store/SearchIndex.h"

#include "platform/Log.h"

#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <QChar>

#include <chrono>
#include <cstring>
#include <limits>

namespace {
constexpr qint64 kComplete = std::numeric_limits<qint64>::max();
// Rows indexed per background transaction: each holds the write lock for a few tens of ms.
constexpr int kBuildRows = 2000;
// Folded keywords are matched in the index by at most this many characters; longer ones are
// then checked by scan among the items the index finds.
constexpr int kLongestPhrase = 32;

// Changes with the folding (and Qt's Unicode tables): an index folded otherwise is built anew.
QString foldVersion()
{
    return QStringLiteral("1/%1").arg(int(QChar::currentUnicodeVersion()));
}

// The index holds exactly the items with "pk" <= indexedUpTo that are not in the long list,
// each with its current text and name, folded.
const char *const kSchema = R"sql(
CREATE VIRTUAL TABLE "PBItemRecord_search" USING fts5(t, a, content='', tokenize='trigram case_sensitive 1');
CREATE TABLE "PBItemRecord_search_long" ("pk" INTEGER PRIMARY KEY);
CREATE TABLE "PBItemRecord_search_state" ("indexedUpTo" INTEGER NOT NULL, "fold" TEXT NOT NULL);
CREATE TRIGGER "PBItemRecord_search_insert" AFTER INSERT ON "PBItemRecord" WHEN new.INDEXED
BEGIN ADD_NEW END;
CREATE TRIGGER "PBItemRecord_search_delete" AFTER DELETE ON "PBItemRecord" WHEN old.INDEXED
BEGIN REMOVE_OLD END;
CREATE TRIGGER "PBItemRecord_search_update" AFTER UPDATE OF "text", "appName" ON "PBItemRecord" WHEN old.INDEXED
BEGIN REMOVE_OLD ADD_NEW END;
)sql";

const char *const kIndexed = R"sql("pk" <= (SELECT "indexedUpTo" FROM "PBItemRecord_search_state"))sql";
const char *const kAddNew = R"sql(
    INSERT INTO "PBItemRecord_search" (rowid, t, a)
        SELECT new."pk", tavi_fold(new."text", 3), tavi_fold(new."appName", 3)
        WHERE NOT tavi_unindexed(new."text", new."appName");
    INSERT INTO "PBItemRecord_search_long" ("pk") SELECT new."pk" WHERE tavi_unindexed(new."text", new."appName");)sql";
const char *const kRemoveOld = R"sql(
    INSERT INTO "PBItemRecord_search" ("PBItemRecord_search", rowid, t, a)
        SELECT 'delete', old."pk", tavi_fold(old."text", 3), tavi_fold(old."appName", 3)
        WHERE NOT tavi_unindexed(old."text", old."appName");
    DELETE FROM "PBItemRecord_search_long" WHERE "pk" = old."pk";)sql";

const char *const kParts[] = {"PBItemRecord_search", "PBItemRecord_search_long", "PBItemRecord_search_state",
                              "PBItemRecord_search_insert", "PBItemRecord_search_delete",
                              "PBItemRecord_search_update"};

bool tooLongForIndex(sqlite3_value *value)
{
    if (sqlite3_value_type(value) == SQLITE_NULL)
        return false;
    const auto *bytes = static_cast<const char *>(sqlite3_value_blob(value));
    const int size = sqlite3_value_bytes(value);
    return size > SearchIndex::kIndexedBytes || (bytes && std::memchr(bytes, 0, size_t(size)));
}

// tavi_unindexed(text, name): whether the item stays out of the index (too long, or a NUL the
// trigram tokenizer would stop at).
void unindexedFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    bool unindexed = false;
    for (int i = 0; i < argc; ++i)
        unindexed = unindexed || tooLongForIndex(argv[i]);
    sqlite3_result_int(context, unindexed ? 1 : 0);
}

QString column(const QString &key)
{
    return key == QStringLiteral("text") ? QStringLiteral("t") : QStringLiteral("a");
}

QString folded(const QString &keyword)
{
    return StoreValues::fold(keyword, true, true);
}

// The FTS5 query for the folded keyword: a column filter and one quoted phrase, so no character
// of the keyword is query syntax. Sets `truncated` when only the start of the keyword is matched.
QString matchQuery(const QStringList &keys, const QString &keyword, bool &truncated)
{
    QList<uint> characters = folded(keyword).toUcs4();
    truncated = characters.size() > kLongestPhrase;
    if (truncated)
        characters.resize(kLongestPhrase);
    QString phrase = QString::fromUcs4(reinterpret_cast<const char32_t *>(characters.constData()), characters.size());
    phrase.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    QStringList columns;
    for (const QString &key : keys)
        columns << column(key);
    columns.removeDuplicates();
    return QLatin1Char('{') + columns.join(QLatin1Char(' ')) + QStringLiteral("} : \"") + phrase + QLatin1Char('"');
}

void appendAll(std::vector<StoreValue> &to, const std::vector<StoreValue> &from)
{
    to.insert(to.end(), from.begin(), from.end());
}

void bindAll(SQLite::Statement &statement, const std::vector<StoreValue> &values)
{
    int index = 1;
    for (const StoreValue &value : values) {
        if (const auto *text = std::get_if<QString>(&value))
            statement.bind(index, text->toStdString());
        else if (const auto *number = std::get_if<qint64>(&value))
            statement.bind(index, int64_t(*number));
        else if (const auto *bytes = std::get_if<QByteArray>(&value))
            statement.bind(index, static_cast<const void *>(bytes->constData()), int(bytes->size()));
        else
            statement.bind(index);
        ++index;
    }
}

qint64 countOf(SQLite::Database &database, const char *sql)
{
    return database.execAndGet(sql).getInt64();
}
} // namespace

namespace {
std::mutex g_tuningMutex;
SearchIndex::Tuning g_tuning;
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

void SearchIndex::registerFunctions(SQLite::Database &database)
{
    database.createFunction("tavi_unindexed", 2, true, nullptr, &unindexedFunction);
}

void SearchIndex::createSchema(SQLite::Database &database)
{
    QString schema = QString::fromUtf8(kSchema);
    schema.replace(QStringLiteral("INDEXED"), QString::fromUtf8(kIndexed));
    schema.replace(QStringLiteral("ADD_NEW"), QString::fromUtf8(kAddNew));
    schema.replace(QStringLiteral("REMOVE_OLD"), QString::fromUtf8(kRemoveOld));
    database.exec(schema.toStdString());
    SQLite::Statement state(database, R"sql(INSERT INTO "PBItemRecord_search_state" ("indexedUpTo", "fold")
        VALUES (CASE WHEN EXISTS (SELECT 1 FROM "PBItemRecord") THEN 0 ELSE 9223372036854775807 END, ?))sql");
    state.bind(1, foldVersion().toStdString());
    state.exec();
}

SearchIndex::SearchIndex(SQLite::Database &database, ConnectionFactory openConnection)
    : m_database(database), m_openConnection(std::move(openConnection))
{
    verifySchema(database);
    if (!m_openConnection) {
        // A store without a file: small, built here and now.
        try {
            if (m_rebuild)
                reset(database);
            m_rebuild = false;
            while (buildStep(database, kBuildRows) == Step::More) {
            }
        } catch (const std::exception &error) {
            LOG_ERROR("SearchIndex::SearchIndex()", QStringLiteral("search index not built: %1").arg(QString::fromUtf8(error.what())));
            m_failed = true;
        }
        return;
    }
    m_builder = std::thread([this] { run(); });
}

SearchIndex::~SearchIndex()
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
        for (const char *part : kParts) {
            SQLite::Statement query(database, "SELECT count(*) FROM sqlite_master WHERE name = ?");
            query.bind(1, part);
            query.executeStep();
            present += query.getColumn(0).getInt() > 0 ? 1 : 0;
        }
        if (present == int(std::size(kParts))) {
            SQLite::Statement state(database, R"sql(SELECT count(*), max("fold") FROM "PBItemRecord_search_state")sql");
            state.executeStep();
            if (state.getColumn(0).getInt() == 1 && state.getColumn(1).getString() == foldVersion().toStdString())
                return;
        }
        LOG_WARNING("SearchIndex::verifySchema()", QStringLiteral("[-] search index incomplete or folded otherwise; building it anew"));
    } catch (const std::exception &error) {
        LOG_WARNING("SearchIndex::verifySchema()", QStringLiteral("[-] search index unreadable (%1); building it anew")
                                                       .arg(QString::fromUtf8(error.what())));
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
        LOG_ERROR("SearchIndex::disable()", QStringLiteral("could not switch the search index off: %1").arg(QString::fromUtf8(error.what())));
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
    const qint64 upTo = database.execAndGet(R"sql(SELECT "indexedUpTo" FROM "PBItemRecord_search_state")sql").getInt64();
    if (upTo == kComplete)
        return Step::Done;
    SQLite::Statement last(database, R"sql(SELECT max("pk") FROM (SELECT "pk" FROM "PBItemRecord" WHERE "pk" > ? ORDER BY "pk" LIMIT ?))sql");
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
    for (const char *sql : {
             R"sql(INSERT INTO "PBItemRecord_search" (rowid, t, a) SELECT "pk", tavi_fold("text", 3), tavi_fold("appName", 3)
                   FROM "PBItemRecord" WHERE "pk" > ?1 AND "pk" <= ?2 AND NOT tavi_unindexed("text", "appName"))sql",
             R"sql(INSERT INTO "PBItemRecord_search_long" ("pk") SELECT "pk" FROM "PBItemRecord"
                   WHERE "pk" > ?1 AND "pk" <= ?2 AND tavi_unindexed("text", "appName"))sql",
             R"sql(UPDATE "PBItemRecord_search_state" SET "indexedUpTo" = ?2)sql"}) {
        SQLite::Statement statement(database, sql);
        statement.bind(1, int64_t(upTo));
        statement.bind(2, through);
        statement.exec();
    }
    transaction.commit();
    return Step::More;
}

bool SearchIndex::isConsistent(SQLite::Database &database)
{
    SQLite::Transaction snapshot(database, SQLite::TransactionBehavior::DEFERRED);
    const qint64 indexed = countOf(database, R"sql(SELECT count(*) FROM "PBItemRecord_search_docsize")sql");
    const qint64 items = countOf(database, R"sql(SELECT count(*) FROM "PBItemRecord")sql");
    const qint64 kept = countOf(database, R"sql(SELECT count(*) FROM "PBItemRecord_search_long")sql");
    return indexed == items - kept;
}

void SearchIndex::run()
{
    std::unique_ptr<SQLite::Database> database;
    bool checked = false;
    int failures = 0;
    for (;;) {
        bool rebuild = false;
        {
            std::unique_lock lock(m_mutex);
            if (m_stop)
                return;
            rebuild = m_rebuild;
        }
        try {
            if (!database)
                database = m_openConnection();
            if (rebuild) {
                LOG_INFO("SearchIndex::run()", QStringLiteral("[+] building the search index anew"));
                reset(*database);
                {
                    std::lock_guard lock(m_mutex);
                    m_rebuild = false;
                }
                m_failed = false;
            }
            if (buildStep(*database, kBuildRows) == Step::More) {
                failures = 0;
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
            // A busy store or a passing error: try again a little later, give up after a while.
            LOG_WARNING("SearchIndex::run()", QStringLiteral("search index build step failed: %1").arg(QString::fromUtf8(error.what())));
            database.reset();
            if (++failures >= 20) {
                LOG_ERROR("SearchIndex::run()", QStringLiteral("search index not built; searches scan"));
                return;
            }
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, std::chrono::milliseconds(500), [this] { return m_stop; });
        }
    }
}

bool SearchIndex::isReady()
{
    if (m_failed)
        return false;
    try {
        SQLite::Statement state(m_database, R"sql(SELECT "indexedUpTo", "fold" FROM "PBItemRecord_search_state")sql");
        return state.executeStep() && state.getColumn(0).getInt64() == kComplete
            && state.getColumn(1).getString() == foldVersion().toStdString();
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
    if (entity.name != QStringLiteral("PBItemRecord") || keys.isEmpty())
        return false;
    for (const QString &key : keys)
        if (key != QStringLiteral("text") && key != QStringLiteral("appName"))
            return false;
    const QString needle = folded(keyword);
    return !needle.contains(QChar(0)) && needle.toUcs4().size() >= kShortestKeyword;
}

namespace {
// SELECT of the ids of the matching items: the index's matches (checked by scan when only the
// start of the keyword was matched) and the long items that the scan finds.
QString matchingSelect(const QStringList &keys, const QString &keyword, const QString &scan,
                       const std::vector<StoreValue> &scanBindings, std::vector<StoreValue> &bindings)
{
    bool truncated = false;
    const QString query = matchQuery(keys, keyword, truncated);
    const QString indexed = QStringLiteral(R"sql(SELECT rowid FROM "PBItemRecord_search" WHERE "PBItemRecord_search" MATCH ?)sql");
    bindings.push_back(query);
    QString sql;
    if (truncated) {
        sql += QStringLiteral(R"sql(SELECT "pk" FROM "PBItemRecord" WHERE "pk" IN ()sql") + indexed + QStringLiteral(") AND (")
               + scan + QLatin1Char(')');
        appendAll(bindings, scanBindings);
    } else {
        sql += indexed;
    }
    sql += QStringLiteral(R"sql( UNION ALL SELECT "pk" FROM "PBItemRecord" WHERE "pk" IN (SELECT "pk" FROM "PBItemRecord_search_long") AND ()sql")
           + scan + QLatin1Char(')');
    appendAll(bindings, scanBindings);
    return sql;
}
} // namespace

void SearchIndex::appendCondition(const QStringList &keys, const QString &keyword, const QString &scan,
                                  const std::vector<StoreValue> &scanBindings, bool inOrder, QString &sql,
                                  std::vector<StoreValue> &bindings)
{
    sql += (inOrder ? QStringLiteral("+\"pk\" IN (") : QStringLiteral("\"pk\" IN ("))
           + matchingSelect(keys, keyword, scan, scanBindings, bindings) + QLatin1Char(')');
}

qint64 SearchIndex::count(const QStringList &keys, const QString &keyword, const QString &scan,
                          const std::vector<StoreValue> &scanBindings)
{
    bool truncated = false;
    const QString query = matchQuery(keys, keyword, truncated);
    std::vector<StoreValue> bindings{query};
    QString sql = truncated
        ? QStringLiteral(R"sql(SELECT (SELECT count(*) FROM "PBItemRecord" WHERE "pk" IN (SELECT rowid FROM "PBItemRecord_search" WHERE "PBItemRecord_search" MATCH ?) AND ()sql")
              + scan + QStringLiteral("))")
        : QStringLiteral(R"sql(SELECT (SELECT count(*) FROM "PBItemRecord_search" WHERE "PBItemRecord_search" MATCH ?))sql");
    if (truncated)
        appendAll(bindings, scanBindings);
    sql += QStringLiteral(R"sql( + (SELECT count(*) FROM "PBItemRecord" WHERE "pk" IN (SELECT "pk" FROM "PBItemRecord_search_long") AND ()sql")
           + scan + QStringLiteral("))");
    appendAll(bindings, scanBindings);
    SQLite::Statement statement(m_database, sql.toStdString());
    bindAll(statement, bindings);
    statement.executeStep();
    return statement.getColumn(0).getInt64();
}

void SearchIndex::willDelete(SQLite::Database &database, const EntityDescription &entity, qint64 rows)
{
    constexpr qint64 kManyRows = 10000;
    if (!m_openConnection || rows < kManyRows || entity.name != QStringLiteral("PBItemRecord") || !isReady()
        || rows * 2 < countOf(database, R"sql(SELECT count(*) FROM "PBItemRecord")sql"))
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
    LOG_ERROR("SearchIndex::reportFailure()", QStringLiteral("[-] search index failed (%1); searches scan while it is built anew")
                                                  .arg(QString::fromUtf8(error.what())));
    disable(m_database);
    if (!m_openConnection) {
        try {
            reset(m_database);
            while (buildStep(m_database, kBuildRows) == Step::More) {
            }
            m_failed = false;
        } catch (const std::exception &again) {
            LOG_ERROR("SearchIndex::reportFailure()", QStringLiteral("search index not rebuilt: %1").arg(QString::fromUtf8(again.what())));
        }
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_rebuild = true;
    }
    m_wake.notify_all();
}
