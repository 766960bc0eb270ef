#include "core/store/StoredRowQuery.h"

#include "core/store/StoreStatements.h"

#include <SQLiteCpp/Exception.h>
#include <sqlite3.h>

#include <QHash>

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>

namespace StoredRowQuery {
using StoreStatements::bindValue;
using StoreStatements::jsonRows;
using StoreStatements::quoted;
using StoreStatements::report;

namespace {
// The ids of the stored rows of the request, in its order; at most `limit` (< 0: all) after the
// first `offset`.
QString selectSql(const QString &table, const CompiledRequest &compiled, qint64 limit, qint64 offset = 0)
{
    QString sql = QStringLiteral("SELECT \"pk\" FROM ") + table + compiled.where + compiled.order;
    if (limit >= 0 || offset > 0)
        sql += QStringLiteral(" LIMIT ? OFFSET ?");
    return sql;
}

QList<qint64> selectRows(PersistentStore &store, const QString &table, const CompiledRequest &compiled, qint64 limit,
                         qint64 offset = 0)
{
    SQLite::Statement &statement = store.statement(selectSql(table, compiled, limit, offset));
    for (size_t i = 0; i < compiled.bindings.size(); ++i)
        bindValue(statement, int(i) + 1, compiled.bindings[i]);
    if (limit >= 0 || offset > 0) {
        // LIMIT -1: every row after the offset.
        statement.bind(int(compiled.bindings.size()) + 1, int64_t(limit >= 0 ? limit : -1));
        statement.bind(int(compiled.bindings.size()) + 2, int64_t(std::max<qint64>(0, offset)));
    }
    QList<qint64> rows;
    while (statement.executeStep())
        rows.append(statement.getColumn(0).getInt64());
    statement.reset();
    return rows;
}

// The store as the anchors of its windows know it: the changes of its own connection and the
// commits of others.
std::pair<qint64, qint64> storeState(PersistentStore &store)
{
    SQLite::Statement &version = store.statement(QStringLiteral("PRAGMA data_version"));
    const qint64 data = version.executeStep() ? version.getColumn(0).getInt64() : -1;
    version.reset();
    return {qint64(sqlite3_total_changes64(store.database().getHandle())), data};
}

// A window's statement with its bindings, as the anchors tell windows apart.
QString windowKey(const QString &table, const CompiledRequest &compiled)
{
    QString key = table + compiled.where + compiled.order;
    for (const StoreValue &value : compiled.bindings) {
        key += QChar(0) + QString::number(value.index()) + QLatin1Char(':');
        if (const auto *number = std::get_if<qint64>(&value))
            key += QString::number(*number);
        else if (const auto *text = std::get_if<QString>(&value))
            key += *text;
        else if (const auto *bytes = std::get_if<QByteArray>(&value))
            key += QString::fromLatin1(bytes->toHex());
    }
    return key;
}

// " WHERE (condition) AND " or " WHERE ", for a further condition.
QString whereAnd(const CompiledRequest &compiled)
{
    return compiled.expression.isEmpty() ? QStringLiteral(" WHERE ")
                                         : QStringLiteral(" WHERE (") + compiled.expression + QStringLiteral(") AND ");
}

void bindAll(SQLite::Statement &statement, const std::vector<StoreValue> &values, int first = 1)
{
    for (size_t i = 0; i < values.size(); ++i)
        bindValue(statement, first + int(i), values[i]);
}

// The rows of the window that follow the anchor's row, `skip` of them skipped: a walk of the
// order's index from the anchor's keys. Nothing when the anchor is no longer a row of the window
// or a null key stands in the way of the comparison (null keys sort first).
std::optional<QList<qint64>> rowsAfter(PersistentStore &store, const QString &table, const CompiledRequest &compiled,
                                       const QString &key, PageAnchors::Anchor anchor, qint64 limit, qint64 skip)
{
    const QString terms = compiled.terms.join(QStringLiteral(", "));
    const QString where = whereAnd(compiled);
    SQLite::Statement &keysOf = store.statement(QStringLiteral("SELECT ") + terms + QStringLiteral(" FROM ") + table
                                                + where + QStringLiteral("\"pk\" = ?"));
    bindAll(keysOf, compiled.bindings);
    keysOf.bind(int(compiled.bindings.size()) + 1, int64_t(anchor.row));
    std::vector<StoreValue> keys;
    if (keysOf.executeStep()) {
        for (int i = 0; i < compiled.terms.size(); ++i)
            keys.push_back(StoreStatements::readValue(keysOf.getColumn(i)));
    }
    keysOf.reset();
    if (keys.empty()
        || std::any_of(keys.cbegin(), keys.cend(), [](const StoreValue &value) { return value.index() == 0; }))
        return std::nullopt;
    const bool ascending = compiled.ascending.first();
    if (!ascending) {
        // Descending, rows with a null key come after every other; the comparison skips them.
        PageAnchors &anchors = store.pageAnchors();
        std::optional<bool> nulls = anchors.hasNullKeys(key);
        if (!nulls) {
            SQLite::Statement &any = store.statement(QStringLiteral("SELECT 1 FROM ") + table + where + QLatin1Char('(')
                                                     + compiled.terms.join(QStringLiteral(" IS NULL OR "))
                                                     + QStringLiteral(" IS NULL) LIMIT 1"));
            bindAll(any, compiled.bindings);
            nulls = any.executeStep();
            any.reset();
            anchors.setHasNullKeys(key, *nulls);
        }
        if (*nulls)
            return std::nullopt;
    }
    QString places;
    for (size_t i = 0; i <= keys.size(); ++i)
        places += i == 0 ? QStringLiteral("?") : QStringLiteral(", ?");
    SQLite::Statement &statement = store.statement(
        QStringLiteral("SELECT \"pk\" FROM ") + table + where + QLatin1Char('(') + terms + QStringLiteral(", \"pk\") ")
        + (ascending ? QLatin1Char('>') : QLatin1Char('<')) + QStringLiteral(" (") + places + QLatin1Char(')')
        + compiled.order + QStringLiteral(" LIMIT ? OFFSET ?"));
    int column = 1;
    bindAll(statement, compiled.bindings, column);
    column += int(compiled.bindings.size());
    bindAll(statement, keys, column);
    column += int(keys.size());
    statement.bind(column++, int64_t(anchor.row));
    statement.bind(column++, int64_t(limit));
    statement.bind(column, int64_t(skip));
    QList<qint64> rows;
    while (statement.executeStep())
        rows.append(statement.getColumn(0).getInt64());
    statement.reset();
    return rows;
}

// The rows of a window in the request's order: after the nearest row already read before it
// where one is known, else by skipping `offset` rows. Remembers the window's first and last rows.
QList<qint64> orderedRows(PersistentStore &store, const QString &table, const CompiledRequest &compiled, qint64 limit,
                          qint64 offset)
{
    const bool oneWay = !compiled.ascending.isEmpty()
                        && std::all_of(compiled.ascending.cbegin(), compiled.ascending.cend(),
                                       [&](bool ascending) { return ascending == compiled.ascending.first(); });
    if (limit <= 0 || !oneWay)
        return selectRows(store, table, compiled, limit, offset);
    const auto state = storeState(store);
    PageAnchors &anchors = store.pageAnchors();
    const QString key = windowKey(table, compiled);
    std::optional<QList<qint64>> rows;
    if (offset > 0) {
        if (const auto anchor = anchors.before(key, offset, state))
            rows = rowsAfter(store, table, compiled, key, *anchor, limit, offset - anchor->offset - 1);
    }
    if (!rows)
        rows = selectRows(store, table, compiled, limit, offset);
    if (!rows->isEmpty()) {
        anchors.remember(key, {offset, rows->first()}, state);
        anchors.remember(key, {offset + rows->size() - 1, rows->last()}, state);
    }
    return *rows;
}

// Stops a statement after a number of SQLite virtual-machine steps, while it lives.
class StepBudget {
public:
    StepBudget(sqlite3 *handle, qint64 steps) : m_handle(handle), m_calls(steps / kStepsPerCall)
    {
        sqlite3_progress_handler(m_handle, kStepsPerCall, &spend, &m_calls);
    }
    ~StepBudget() { sqlite3_progress_handler(m_handle, 0, nullptr, nullptr); }
    StepBudget(const StepBudget &) = delete;
    StepBudget &operator=(const StepBudget &) = delete;

private:
    static constexpr int kStepsPerCall = 100;
    static int spend(void *calls) { return --*static_cast<qint64 *>(calls) < 0 ? 1 : 0; }
    sqlite3 *m_handle;
    qint64 m_calls;
};

// Whether SQLite answers `sql` by walking an index in its order, rather than sorting the rows it
// finds: only such a walk stops early, after a page. Asked once per statement text.
bool walksInOrder(PersistentStore &store, const QString &sql)
{
    static std::mutex mutex;
    static QHash<QString, bool> known;
    std::lock_guard lock(mutex);
    if (const auto found = known.constFind(sql); found != known.cend())
        return *found;
    SQLite::Statement plan(store.database(), "EXPLAIN QUERY PLAN " + sql.toStdString());
    bool sorts = false;
    while (plan.executeStep())
        sorts = sorts || std::strstr(plan.getColumn(3).getText(), "TEMP B-TREE") != nullptr;
    if (known.size() >= 64)
        known.clear();
    known.insert(sql, !sorts);
    return !sorts;
}

// What `read` returns when it runs within `steps` SQLite steps; nothing when it ran out.
template <typename Read>
auto within(PersistentStore &store, qint64 steps, Read read) -> std::optional<decltype(read())>
{
    try {
        const StepBudget budget(store.database().getHandle(), steps);
        return read();
    } catch (const SQLite::Exception &failure) {
        if (failure.getErrorCode() != SQLITE_INTERRUPT)
            throw;
    }
    return std::nullopt;
}

// The rows of a request, when they are found within `steps` steps.
std::optional<QList<qint64>> selectRowsWithin(PersistentStore &store, const QString &table,
                                              const CompiledRequest &compiled, qint64 limit, qint64 offset,
                                              qint64 steps)
{
    return within(store, steps, [&] { return selectRows(store, table, compiled, limit, offset); });
}

// The number of stored rows matching a request: counted in an index where one answers it.
qsizetype countRows(PersistentStore &store, const FetchRequestBase &request, const CompiledRequest &scan)
{
    const EntityDescription &entity = *request.entity;
    const QString table = quoted(entity.name);
    auto countOf = [&](const CompiledRequest &compiled) {
        SQLite::Statement &statement =
            store.statement(QStringLiteral("SELECT COUNT(*) FROM ") + table + compiled.where);
        for (size_t i = 0; i < compiled.bindings.size(); ++i)
            bindValue(statement, int(i) + 1, compiled.bindings[i]);
        const qint64 value = statement.executeStep() ? statement.getColumn(0).getInt64() : 0;
        statement.reset();
        return qsizetype(value);
    };
    if (!request.predicate)
        return countOf(scan);
    const bool searches = request.predicate->usesSearchIndex(entity) && store.searchIndex().isReady();
    try {
        if (const auto counted = request.predicate->countThroughIndex(entity, store))
            return qsizetype(*counted);
        if (searches) {
            // A short list (the pinned items) is walked, its rows tested against the matches,
            // rather than reading every match's row.
            const SearchIndex::Tuning tuning = SearchIndex::tuning();
            const auto matches = tuning.countWalkSteps > 0
                                     ? request.predicate->indexMatches(entity, store, tuning.sortedUpTo)
                                     : std::nullopt;
            if (matches && matches->found) {
                const auto walk = compileRequest(request, nullptr, Predicate::SearchForm::IndexInOrder, &*matches);
                if (const auto counted = within(store, tuning.countWalkSteps, [&] { return countOf(*walk); }))
                    return *counted;
                return countOf(*compileRequest(request, nullptr, Predicate::SearchForm::Index, &*matches));
            }
            return countOf(*compileRequest(request, nullptr, Predicate::SearchForm::Index));
        }
    } catch (const std::exception &failure) {
        if (!searches)
            throw;
        store.searchIndex().reportFailure(failure);
    }
    return countOf(scan);
}
} // namespace

std::optional<PageAnchors::Anchor> PageAnchors::before(const QString &statement, qint64 offset,
                                                       std::pair<qint64, qint64> state)
{
    follow(state);
    const auto rows = m_rows.constFind(statement);
    if (rows == m_rows.cend())
        return std::nullopt;
    auto nearest = rows->lower_bound(offset);
    if (nearest == rows->cbegin())
        return std::nullopt;
    --nearest;
    return Anchor{nearest->first, nearest->second};
}

void PageAnchors::remember(const QString &statement, Anchor anchor, std::pair<qint64, qint64> state)
{
    follow(state);
    if (!m_rows.contains(statement) && m_rows.size() >= kStatements)
        clear();
    std::map<qint64, qint64> &rows = m_rows[statement];
    if (rows.size() >= kRowsPerStatement)
        rows.clear();
    rows[anchor.offset] = anchor.row;
}

void PageAnchors::clear()
{
    m_rows.clear();
    m_nullKeys.clear();
}

void PageAnchors::follow(std::pair<qint64, qint64> state)
{
    if (state == m_state)
        return;
    clear();
    m_state = state;
}

std::optional<CompiledRequest> compileRequest(const FetchRequestBase &request, StoreError *error,
                                              Predicate::SearchForm form, const Predicate::IndexMatches *matches)
{
    const EntityDescription &entity = *request.entity;
    CompiledRequest compiled;
    QString order;
    for (const SortDescriptor &descriptor : request.sortDescriptors) {
        const int index = entity.attributeIndex(descriptor.key);
        if (index < 0) {
            const QString missing =
                QStringLiteral("keypath %1 not found in entity %2").arg(descriptor.key, entity.name);
            report(error, {missing, {}, missing});
            return std::nullopt;
        }
        compiled.keys << index;
        compiled.ascending << descriptor.ascending;
        // Through the search index the matches drive the query and are sorted, rather than an
        // ordered walk testing every row against them ("+" keeps SQLite off the order's index).
        const AttributeDescription &attribute = entity.attribute(index);
        const QString column = quoted(attribute.column);
        const QString term =
            attribute.readableOrder ? QStringLiteral("tavi_order_key(") + column + QLatin1Char(')') : column;
        compiled.terms << term;
        order += (form == Predicate::SearchForm::Index ? QStringLiteral("+") : QString()) + term
                 + (descriptor.ascending ? QStringLiteral(" ASC, ") : QStringLiteral(" DESC, "));
    }
    if (request.predicate) {
        QString where;
        if (auto problem = request.predicate->compile(entity, where, compiled.bindings, form, matches)) {
            // The predicate's text can hold what was searched for: the log gets the entity only.
            report(error, {*problem,
                           {{QStringLiteral("predicate"), request.predicate->format()}},
                           QStringLiteral("predicate not compiled for %1").arg(entity.name)});
            return std::nullopt;
        }
        compiled.expression = where;
        compiled.where = QStringLiteral(" WHERE ") + where;
    }
    // Ties follow the row order in the direction of the last key, so an index serves the whole order.
    const bool tiesAscending = request.sortDescriptors.isEmpty() || request.sortDescriptors.last().ascending;
    compiled.order = QStringLiteral(" ORDER BY ") + order
                     + (tiesAscending ? QStringLiteral("\"pk\" ASC") : QStringLiteral("\"pk\" DESC"));
    return compiled;
}

// The stored rows of a search request, through the search index when it is ready. A page takes
// the matches' ids from the index first (no further than needed): the list's order is walked
// testing rows against a few, and when that takes too long they are ordered by the list's sort;
// many mean a common keyword, whose page the list's first rows fill, tested by scan, or else
// tested against the matches in the list's order.
QList<qint64> searchRows(PersistentStore &store, const FetchRequestBase &request, const CompiledRequest &scan,
                         qint64 limit, qint64 offset)
{
    const EntityDescription &entity = *request.entity;
    const QString table = quoted(entity.name);
    if (!request.predicate || !request.predicate->usesSearchIndex(entity) || !store.searchIndex().isReady())
        return orderedRows(store, table, scan, limit, offset);
    SearchIndex &index = store.searchIndex();
    const SearchIndex::Tuning tuning = SearchIndex::tuning();
    try {
        Predicate::SearchForm form = Predicate::SearchForm::Index;
        if (limit >= 0) {
            const auto matches = request.predicate->indexMatches(entity, store, tuning.sortedUpTo);
            if (matches && matches->found) {
                const qint64 size = std::max<qint64>(matches->found->size, 1);
                const qint64 steps = tuning.walkStepsPerMatch > std::numeric_limits<qint64>::max() / size
                                         ? std::numeric_limits<qint64>::max()
                                         : tuning.walkStepsPerMatch * size;
                if (steps > 0) {
                    const auto walk = compileRequest(request, nullptr, Predicate::SearchForm::IndexInOrder, &*matches);
                    if (walksInOrder(store, selectSql(table, *walk, limit))) {
                        if (auto rows = selectRowsWithin(store, table, *walk, limit, offset, steps))
                            return *rows;
                    }
                }
                return selectRows(store, table, *compileRequest(request, nullptr, form, &*matches), limit, offset);
            }
            if (matches) {
                const qint64 steps = tuning.scanStepsPerRow * std::max<qint64>(offset + limit, 1);
                if (auto rows = selectRowsWithin(store, table, scan, limit, offset, steps))
                    return *rows;
                form = Predicate::SearchForm::IndexInOrder;
            }
        }
        return selectRows(store, table, *compileRequest(request, nullptr, form), limit, offset);
    } catch (const std::exception &failure) {
        index.reportFailure(failure);
    }
    return selectRows(store, table, scan, limit, offset);
}

qsizetype countStoredRows(PersistentStore &store, const FetchRequestBase &request, const CompiledRequest &compiled,
                          const QList<qint64> &shadowed)
{
    qsizetype total = countRows(store, request, compiled);
    if (shadowed.isEmpty())
        return total;
    const QString where = compiled.expression.isEmpty()
                              ? QStringLiteral(" WHERE ")
                              : QStringLiteral(" WHERE (") + compiled.expression + QStringLiteral(") AND ");
    SQLite::Statement &statement =
        store.statement(QStringLiteral("SELECT COUNT(*) FROM ") + quoted(request.entity->name) + where
                        + QStringLiteral("\"pk\" IN (SELECT value FROM json_each(?))"));
    int column = 1;
    for (const StoreValue &binding : compiled.bindings)
        bindValue(statement, column++, binding);
    statement.bind(column, jsonRows(shadowed).toStdString());
    if (statement.executeStep())
        total -= qsizetype(statement.getColumn(0).getInt64());
    statement.reset();
    return total;
}
} // namespace StoredRowQuery
