#include "core/store/ManagedObjectContext.h"

#include "core/store/StoreFailure.h"
#include "platform/Log.h"

#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <mutex>
#include <unordered_set>

namespace {
QString quoted(const QString &identifier)
{
    return QLatin1Char('"') + identifier + QLatin1Char('"');
}

// Statements of one entity that do not depend on the call.
struct EntitySql {
    QString selectValues;     // non-lazy columns by row id
    QString selectRowsValues; // the row id and non-lazy columns of the rows of a JSON array
    QList<int> valueIndexes;  // attribute index of each selected column
    QString insert;           // every column (and the owner column)
    QString selectOwner;
    QString deleteRow;
    QList<QString> selectLazy; // by attribute index; empty for eager ones
    QList<QString> selectLazyPrefix; // the value when short enough, else its head; and its length
};

const EntitySql &sqlFor(const EntityDescription &entity)
{
    static std::mutex mutex;
    static std::unordered_map<const EntityDescription *, EntitySql> cache;
    std::lock_guard lock(mutex);
    auto it = cache.find(&entity);
    if (it != cache.end())
        return it->second;
    EntitySql sql;
    const QString table = quoted(entity.name);
    QStringList eager, all, marks;
    for (int i = 0; i < int(entity.attributes.size()); ++i) {
        const AttributeDescription &attribute = entity.attribute(i);
        all << quoted(attribute.column);
        marks << QStringLiteral("?");
        if (attribute.lazy) {
            sql.selectLazy << QStringLiteral("SELECT %1 FROM %2 WHERE \"pk\" = ?").arg(quoted(attribute.column), table);
            sql.selectLazyPrefix << QStringLiteral("SELECT CASE WHEN length(%1) <= ?2 THEN %1 ELSE substr(%1, 1, ?1) END, "
                                                   "length(%1) FROM %2 WHERE \"pk\" = ?3")
                                        .arg(quoted(attribute.column), table);
        } else {
            sql.selectLazy << QString();
            sql.selectLazyPrefix << QString();
            eager << quoted(attribute.column);
            sql.valueIndexes << i;
        }
    }
    if (!entity.ownerColumn.isEmpty()) {
        all << quoted(entity.ownerColumn);
        marks << QStringLiteral("?");
        sql.selectOwner = QStringLiteral("SELECT %1 FROM %2 WHERE \"pk\" = ?").arg(quoted(entity.ownerColumn), table);
    }
    sql.selectValues = QStringLiteral("SELECT %1 FROM %2 WHERE \"pk\" = ?").arg(eager.join(QStringLiteral(", ")), table);
    sql.selectRowsValues = QStringLiteral("SELECT \"pk\", %1 FROM %2 WHERE \"pk\" IN (SELECT value FROM json_each(?))")
                               .arg(eager.join(QStringLiteral(", ")), table);
    sql.insert = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                     .arg(table, all.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    sql.deleteRow = QStringLiteral("DELETE FROM %1 WHERE \"pk\" = ?").arg(table);
    return cache.emplace(&entity, std::move(sql)).first->second;
}

void bindValue(SQLite::Statement &statement, int index, const StoreValue &value)
{
    if (const auto *integer = std::get_if<qint64>(&value)) {
        statement.bind(index, int64_t(*integer));
    } else if (const auto *text = std::get_if<QString>(&value)) {
        statement.bind(index, text->toStdString());
    } else if (const auto *bytes = std::get_if<QByteArray>(&value)) {
        statement.bind(index, static_cast<const void *>(bytes->constData()), int(bytes->size()));
    } else {
        statement.bind(index);
    }
}

// The number of code points in UTF-8 bytes (as SQLite's length() counts them).
qint64 codePoints(const char *bytes, qint64 size)
{
    qint64 count = 0;
    for (qint64 i = 0; i < size; ++i)
        count += (static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80;
    return count;
}

// The first `count` code points of UTF-8 bytes, as bytes: never more than there are, never half a
// code point.
qint64 headBytes(const char *bytes, qint64 size, qint64 count)
{
    qint64 seen = 0;
    for (qint64 i = 0; i < size; ++i) {
        if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80 && seen++ == count)
            return i;
    }
    return size;
}

// What "CASE WHEN length(x) <= wholeLimit THEN x ELSE substr(x, 1, headLength) END, length(x)"
// gives, reading only the head of a large value (SQLite would read, and for a text count, all of
// it). None when the value is not a text or blob, so the query answers instead.
std::optional<std::pair<StoreValue, qint64>> readHead(PersistentStore &store, const EntityDescription &entity, int index,
                                                      qint64 rowId, qint64 headLength, qint64 wholeLimit)
{
    const AttributeDescription &attribute = entity.attribute(index);
    const bool text = attribute.type == AttributeType::String;
    if (!text && attribute.type != AttributeType::Binary)
        return std::nullopt;
    sqlite3_blob *blob = nullptr;
    const QByteArray table = entity.name.toUtf8();
    const QByteArray column = attribute.column.toUtf8();
    if (sqlite3_blob_open(store.database().getHandle(), "main", table.constData(), column.constData(), rowId, 0, &blob)
        != SQLITE_OK) {
        sqlite3_blob_close(blob);
        return std::nullopt; // NULL, a number, or no such row
    }
    const qint64 size = sqlite3_blob_bytes(blob);
    // A text of more than four bytes a code point beyond the limit is longer than the limit.
    const qint64 wanted = text ? std::min(size, 4 * std::max(wholeLimit, headLength) + 4)
                               : std::min(size, size <= wholeLimit ? size : headLength);
    QByteArray bytes(qsizetype(std::max<qint64>(wanted, 0)), Qt::Uninitialized);
    const int read = bytes.isEmpty() ? SQLITE_OK : sqlite3_blob_read(blob, bytes.data(), int(bytes.size()), 0);
    sqlite3_blob_close(blob);
    if (read != SQLITE_OK)
        return std::nullopt;
    if (!text)
        return std::pair{StoreValue(bytes), size};
    // Past the part read the text holds more than `wholeLimit` code points; that is all the
    // length tells then.
    const qint64 length = wanted == size ? codePoints(bytes.constData(), size) : size;
    if (length > wholeLimit)
        bytes.truncate(qsizetype(headBytes(bytes.constData(), bytes.size(), headLength)));
    QString value = QString::fromUtf8(bytes);
    if (value.isNull())
        value = QString(QLatin1String(""));
    return std::pair{StoreValue(std::move(value)), length};
}

// Resets a cached statement and drops its bound values when the scope ends, however it ends.
class BindingsReleased {
public:
    explicit BindingsReleased(SQLite::Statement &statement) : m_statement(statement) {}
    ~BindingsReleased()
    {
        m_statement.tryReset();
        try {
            m_statement.clearBindings();
        } catch (const std::exception &) {
            // sqlite3_clear_bindings() has no failure to report
        }
    }
    BindingsReleased(const BindingsReleased &) = delete;
    BindingsReleased &operator=(const BindingsReleased &) = delete;

private:
    SQLite::Statement &m_statement;
};

StoreValue readValue(const SQLite::Column &column)
{
    switch (column.getType()) {
    case SQLITE_INTEGER:
        return qint64(column.getInt64());
    case SQLITE_FLOAT:
        return qint64(column.getDouble());
    case SQLITE_TEXT: {
        QString text = QString::fromUtf8(column.getText(), column.getBytes());
        return text.isNull() ? QString(QLatin1String("")) : text;
    }
    case SQLITE_BLOB: {
        const auto *bytes = static_cast<const char *>(column.getBlob());
        return QByteArray(bytes ? bytes : "", column.getBytes());
    }
    default:
        return {};
    }
}

QString jsonRows(const QList<qint64> &rows)
{
    QJsonArray array;
    for (qint64 row : rows)
        array.append(row);
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

StoreError storeError(const std::exception &error)
{
    StoreError result;
    result.description = QString::fromUtf8(error.what());
    if (const auto *sqlite = dynamic_cast<const SQLite::Exception *>(&error)) {
        result.userInfo.insert(QStringLiteral("code"), sqlite->getExtendedErrorCode());
        result.userInfo.insert(QStringLiteral("reason"), QString::fromUtf8(sqlite->getErrorStr()));
    }
    return result;
}

void report(StoreError *target, StoreError error)
{
    if (target)
        *target = std::move(error);
}

quint64 bit(int index)
{
    return quint64(1) << index;
}

qint64 tieKey(const ManagedObject &object, quint64 sequence)
{
    return object.objectID() > 0 ? object.objectID() : std::numeric_limits<qint64>::max() / 2 + qint64(sequence);
}

// A request as SQL: " WHERE ..." (empty without a predicate) with its bindings, and
// " ORDER BY ..." with the attribute index and direction of each sort key.
struct CompiledRequest {
    QString expression; // the predicate's condition alone
    QString where;
    std::vector<StoreValue> bindings;
    QString order;
    QList<int> keys;
    QList<bool> ascending;
};

std::optional<CompiledRequest> compileRequest(const FetchRequestBase &request, StoreError *error,
                                             Predicate::SearchForm form = Predicate::SearchForm::Scan,
                                             const Predicate::IndexMatches *matches = nullptr)
{
    const EntityDescription &entity = *request.entity;
    CompiledRequest compiled;
    QString order;
    for (const SortDescriptor &descriptor : request.sortDescriptors) {
        const int index = entity.attributeIndex(descriptor.key);
        if (index < 0) {
            report(error, {QStringLiteral("keypath %1 not found in entity %2").arg(descriptor.key, entity.name), {}});
            return std::nullopt;
        }
        compiled.keys << index;
        compiled.ascending << descriptor.ascending;
        // Through the search index the matches drive the query and are sorted, rather than an
        // ordered walk testing every row against them ("+" keeps SQLite off the order's index).
        const AttributeDescription &attribute = entity.attribute(index);
        const QString column = quoted(attribute.column);
        order += (form == Predicate::SearchForm::Index ? QStringLiteral("+") : QString())
                 + (attribute.readableOrder ? QStringLiteral("tavi_order_key(") + column + QLatin1Char(')') : column)
                 + (descriptor.ascending ? QStringLiteral(" ASC, ") : QStringLiteral(" DESC, "));
    }
    if (request.predicate) {
        QString where;
        if (auto problem = request.predicate->compile(entity, where, compiled.bindings, form, matches)) {
            report(error, {*problem, {{QStringLiteral("predicate"), request.predicate->format()}}});
            return std::nullopt;
        }
        compiled.expression = where;
        compiled.where = QStringLiteral(" WHERE ") + where;
    }
    // Ties follow the row order in the direction of the last key, so an index serves the whole order.
    const bool tiesAscending = request.sortDescriptors.isEmpty() || request.sortDescriptors.last().ascending;
    compiled.order = QStringLiteral(" ORDER BY ") + order + (tiesAscending ? QStringLiteral("\"pk\" ASC") : QStringLiteral("\"pk\" DESC"));
    return compiled;
}

// The ids of the stored rows of the request, in its order; at most `limit` (< 0: all) after the
// first `offset` (which needs a limit).
QString selectSql(const QString &table, const CompiledRequest &compiled, qint64 limit)
{
    QString sql = QStringLiteral("SELECT \"pk\" FROM ") + table + compiled.where + compiled.order;
    if (limit >= 0)
        sql += QStringLiteral(" LIMIT ? OFFSET ?");
    return sql;
}

QList<qint64> selectRows(PersistentStore &store, const QString &table, const CompiledRequest &compiled, qint64 limit,
                         qint64 offset = 0)
{
    SQLite::Statement &statement = store.statement(selectSql(table, compiled, limit));
    for (size_t i = 0; i < compiled.bindings.size(); ++i)
        bindValue(statement, int(i) + 1, compiled.bindings[i]);
    if (limit >= 0) {
        statement.bind(int(compiled.bindings.size()) + 1, int64_t(limit));
        statement.bind(int(compiled.bindings.size()) + 2, int64_t(std::max<qint64>(0, offset)));
    }
    QList<qint64> rows;
    while (statement.executeStep())
        rows.append(statement.getColumn(0).getInt64());
    statement.reset();
    return rows;
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
std::optional<QList<qint64>> selectRowsWithin(PersistentStore &store, const QString &table, const CompiledRequest &compiled,
                                              qint64 limit, qint64 offset, qint64 steps)
{
    return within(store, steps, [&] { return selectRows(store, table, compiled, limit, offset); });
}

// The stored rows of a search request, through the search index when it is ready. A page takes
// the matches' ids from the index first (no further than needed): the list's order is walked
// testing rows against a few, and when that takes too long they are ordered by the list's sort;
// many mean a common keyword, whose page the list's first rows fill, tested by scan, or else
// tested against the matches in the list's order.
QList<qint64> searchRows(PersistentStore &store, const FetchRequestBase &request, const CompiledRequest &scan, qint64 limit,
                         qint64 offset = 0)
{
    const EntityDescription &entity = *request.entity;
    const QString table = quoted(entity.name);
    SearchIndex &index = store.searchIndex();
    if (!request.predicate || !request.predicate->usesSearchIndex(entity) || !index.isReady())
        return selectRows(store, table, scan, limit, offset);
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

// The number of stored rows matching a request: counted in an index where one answers it.
qsizetype countRows(PersistentStore &store, const FetchRequestBase &request, const CompiledRequest &scan)
{
    const EntityDescription &entity = *request.entity;
    const QString table = quoted(entity.name);
    auto countOf = [&](const CompiledRequest &compiled) {
        SQLite::Statement &statement = store.statement(QStringLiteral("SELECT COUNT(*) FROM ") + table + compiled.where);
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
            const auto matches = tuning.countWalkSteps > 0 ? request.predicate->indexMatches(entity, store, tuning.sortedUpTo)
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

QString StoreError::userInfoText() const
{
    QStringList parts;
    for (auto it = userInfo.cbegin(); it != userInfo.cend(); ++it)
        parts << it.key() + QStringLiteral(": ") + it.value().toString();
    return QLatin1Char('{') + parts.join(QStringLiteral(", ")) + QLatin1Char('}');
}

ManagedObjectContext::ManagedObjectContext(std::shared_ptr<PersistentStore> store) : m_store(std::move(store)) {}

ManagedObjectContext::~ManagedObjectContext()
{
    std::lock_guard lock(m_mutex);
    for (auto &[entity, rows] : m_registered)
        for (const auto &weak : std::as_const(rows.rows))
            if (auto object = weak.lock())
                object->m_context = nullptr;
    for (const auto &object : std::as_const(m_inserted))
        object->m_context = nullptr;
}

std::shared_ptr<PersistentStore> ManagedObjectContext::store() const
{
    std::lock_guard lock(m_mutex);
    return m_store;
}

void ManagedObjectContext::setStore(std::shared_ptr<PersistentStore> store)
{
    std::lock_guard lock(m_mutex);
    m_store = std::move(store);
    ++m_generation;
}

void ManagedObjectContext::setMergePolicy(MergePolicy policy)
{
    std::lock_guard lock(m_mutex);
    m_mergePolicy = policy;
}

ManagedObjectContext::MergePolicy ManagedObjectContext::mergePolicy() const
{
    std::lock_guard lock(m_mutex);
    return m_mergePolicy;
}

void ManagedObjectContext::setAutomaticallyMergesChangesFromParent(bool merges)
{
    std::lock_guard lock(m_mutex);
    m_automaticallyMerges = merges;
}

bool ManagedObjectContext::automaticallyMergesChangesFromParent() const
{
    std::lock_guard lock(m_mutex);
    return m_automaticallyMerges;
}

// --- registration -------------------------------------------------------------------------

ManagedObjectPtr ManagedObjectContext::registeredObject(const EntityDescription &entity, qint64 rowId) const
{
    auto entityRows = m_registered.find(&entity);
    if (entityRows == m_registered.end())
        return nullptr;
    auto it = entityRows->second.rows.constFind(rowId);
    return it == entityRows->second.rows.cend() ? nullptr : it->lock();
}

ManagedObjectPtr ManagedObjectContext::objectForRow(const EntityDescription &entity, qint64 rowId)
{
    EntityRows &entityRows = m_registered[&entity];
    auto it = entityRows.rows.find(rowId);
    if (it != entityRows.rows.end()) {
        if (auto object = it->lock())
            return object;
    }
    ManagedObjectPtr object = entity.make();
    object->m_context = this;
    object->m_rowId = rowId;
    entityRows.rows.insert(rowId, object);
    if (entityRows.rows.size() > entityRows.sweepAt) {
        entityRows.rows.removeIf([](const auto &entry) { return entry.value().expired(); });
        entityRows.sweepAt = std::max<qsizetype>(4096, entityRows.rows.size() * 2);
    }
    return object;
}

bool ManagedObjectContext::isAlive(const ManagedObject &object) const
{
    return object.m_context == this
           && (object.m_state == ManagedObject::Registered || object.m_state == ManagedObject::PendingInsert);
}

void ManagedObjectContext::insert(const ManagedObjectPtr &object)
{
    if (!object)
        return;
    std::lock_guard lock(m_mutex);
    if (object->m_context && object->m_context != this) {
        LOG_ERROR("ManagedObjectContext::insert()", QStringLiteral("record belongs to another context; not inserted"));
        return;
    }
    if (object->m_context == this) {
        if (object->m_state == ManagedObject::PendingDelete) {
            ++m_generation;
            m_deleted.erase(object.get());
            object->m_state = ManagedObject::Registered;
            if (object->m_dirty)
                markUpdated(*object);
        }
        return;
    }
    if (object->m_rowId != 0 || object->m_state != ManagedObject::Registered)
        return;
    const EntityDescription &entity = object->entity();
    object->m_values.resize(entity.attributes.size());
    for (size_t i = 0; i < entity.attributes.size(); ++i) {
        const bool set = entity.attributes[i].lazy ? bool(object->m_lazyLoaded & bit(int(i))) : bool(object->m_dirty & bit(int(i)));
        if (!set)
            object->m_values[i] = entity.attributes[i].defaultValue;
    }
    object->m_valuesLoaded = true;
    object->m_lazyLoaded = ~quint64(0);
    object->m_context = this;
    object->m_state = ManagedObject::PendingInsert;
    object->m_insertSequence = m_nextSequence++;
    m_inserted.append(object);
    ++m_generation;
}

void ManagedObjectContext::markUpdated(ManagedObject &object)
{
    if (object.m_context == this)
        ++m_generation;
    if (object.m_context == this && object.m_state == ManagedObject::Registered && object.m_rowId > 0)
        m_updated.emplace(&object, object.shared_from_this());
}

void ManagedObjectContext::remove(ManagedObject &object)
{
    ManagedObjectPtr keep = object.shared_from_this();
    if (object.m_rowId > 0) {
        auto entityRows = m_registered.find(&object.entity());
        if (entityRows != m_registered.end()) {
            auto it = entityRows->second.rows.find(object.m_rowId);
            if (it != entityRows->second.rows.end() && it->lock().get() == &object)
                entityRows->second.rows.erase(it);
        }
    }
    m_updated.erase(&object);
    m_deleted.erase(&object);
    m_storeDeleted.erase(&object);
    m_inserted.removeOne(keep);
    object.m_state = ManagedObject::Removed;
    object.m_context = nullptr;
    ++m_generation;
}

void ManagedObjectContext::cutLinksTo(ManagedObject &target)
{
    cutLinksTo(target.entity(), {&target});
}

void ManagedObjectContext::cutLinksTo(const EntityDescription &targetEntity, const std::unordered_set<const ManagedObject *> &targets)
{
    if (targets.empty())
        return;
    auto cut = [&](ManagedObject &holder) {
        if (!holder.m_links)
            return;
        for (size_t i = 0; i < holder.entity().relationships.size(); ++i) {
            const RelationshipDescription &relationship = holder.entity().relationships[i];
            if (&relationship.target() == &targetEntity && holder.m_links->relationships[i].loaded)
                holder.m_links->relationships[i].objects.removeIf(
                    [&](const ManagedObjectPtr &member) { return targets.count(member.get()) > 0; });
        }
    };
    for (auto &[entity, rows] : m_registered) {
        bool links = false;
        for (const RelationshipDescription &relationship : entity->relationships)
            links = links || &relationship.target() == &targetEntity;
        if (!links)
            continue;
        for (const auto &weak : std::as_const(rows.rows))
            if (auto holder = weak.lock())
                cut(*holder);
    }
    for (const auto &holder : std::as_const(m_inserted))
        cut(*holder);
}

void ManagedObjectContext::forgetInserted(ManagedObject &object)
{
    ManagedObjectPtr keep = object.shared_from_this();
    const EntityDescription &entity = object.entity();
    for (size_t i = 0; i < entity.relationships.size(); ++i) {
        if (entity.relationships[i].kind != RelationshipDescription::Kind::OwnedMany)
            continue;
        const auto children = object.relationshipObjects(int(i));
        for (const auto &child : children)
            deleteObject(child);
    }
    cutLinksTo(object);
    remove(object);
}

void ManagedObjectContext::deleteObject(const ManagedObjectPtr &object)
{
    if (!object)
        return;
    std::lock_guard lock(m_mutex);
    if (object->m_context != this)
        return;
    if (object->m_state == ManagedObject::PendingInsert) {
        forgetInserted(*object);
        return;
    }
    if (object->m_state != ManagedObject::Registered)
        return;
    object->m_state = ManagedObject::PendingDelete;
    ++m_generation;
    m_updated.erase(object.get());
    m_deleted.emplace(object.get(), object);
    const EntityDescription &entity = object->entity();
    for (size_t i = 0; i < entity.relationships.size(); ++i) {
        if (entity.relationships[i].kind != RelationshipDescription::Kind::OwnedMany)
            continue;
        const auto children = object->relationshipObjects(int(i));
        for (const auto &child : children)
            deleteObject(child);
    }
    cutLinksTo(*object);
}

bool ManagedObjectContext::hasChanges() const
{
    std::lock_guard lock(m_mutex);
    return !m_inserted.isEmpty() || !m_updated.empty() || !m_deleted.empty();
}

QList<ManagedObjectPtr> ManagedObjectContext::insertedObjects() const
{
    std::lock_guard lock(m_mutex);
    return m_inserted;
}

QList<ManagedObjectPtr> ManagedObjectContext::updatedObjects() const
{
    std::lock_guard lock(m_mutex);
    QList<ManagedObjectPtr> objects;
    for (const auto &entry : m_updated)
        objects.append(entry.second);
    return objects;
}

QList<ManagedObjectPtr> ManagedObjectContext::deletedObjects() const
{
    std::lock_guard lock(m_mutex);
    QList<ManagedObjectPtr> objects;
    for (const auto &entry : m_deleted)
        objects.append(entry.second);
    return objects;
}

int ManagedObjectContext::registeredObjectCount() const
{
    std::lock_guard lock(m_mutex);
    int count = int(m_inserted.size());
    for (const auto &[entity, rows] : m_registered)
        for (const auto &weak : std::as_const(rows.rows))
            count += weak.expired() ? 0 : 1;
    return count;
}

// --- faults -------------------------------------------------------------------------------

void ManagedObjectContext::prefetchValues(const EntityDescription &entity, const QList<ManagedObjectPtr> &objects)
{
    QHash<qint64, ManagedObject *> pending;
    for (const ManagedObjectPtr &object : objects) {
        if (!object->m_valuesLoaded && object->m_rowId > 0)
            pending.insert(object->m_rowId, object.get());
    }
    if (pending.size() < 2)
        return;
    const EntitySql &sql = sqlFor(entity);
    try {
        SQLite::Statement &statement = m_store->statement(sql.selectRowsValues);
        statement.bind(1, jsonRows(pending.keys()).toStdString());
        while (statement.executeStep()) {
            ManagedObject *object = pending.value(statement.getColumn(0).getInt64());
            if (!object || object->m_valuesLoaded)
                continue;
            object->m_values.resize(entity.attributes.size());
            for (int column = 0; column < sql.valueIndexes.size(); ++column) {
                const int index = sql.valueIndexes[column];
                if (!(object->m_dirty & bit(index)))
                    object->m_values[size_t(index)] =
                        StoreValues::coerce(entity.attribute(index).type, readValue(statement.getColumn(column + 1)));
            }
            object->m_valuesLoaded = true;
        }
        statement.reset();
    } catch (const std::exception &error) {
        // The records load their values one by one when read, and report a failure then.
        LOG_WARNING("ManagedObjectContext::prefetchValues()", QStringLiteral("Could not fetch. ") + storeFailureKind(error));
    }
}

bool ManagedObjectContext::loadValues(ManagedObject &object)
{
    const EntityDescription &entity = object.entity();
    const EntitySql &sql = sqlFor(entity);
    bool found = false;
    bool failed = false;
    try {
        SQLite::Statement &statement = m_store->statement(sql.selectValues);
        statement.bind(1, int64_t(object.m_rowId));
        if (statement.executeStep()) {
            found = true;
            for (int column = 0; column < sql.valueIndexes.size(); ++column) {
                const int index = sql.valueIndexes[column];
                if (!(object.m_dirty & bit(index))) // set while an earlier load had failed
                    object.m_values[size_t(index)] = StoreValues::coerce(entity.attribute(index).type, readValue(statement.getColumn(column)));
            }
        }
        statement.reset();
    } catch (const std::exception &error) {
        LOG_ERROR("ManagedObjectContext::loadValues()", QStringLiteral("Could not fetch. ") + storeFailureKind(error));
        failed = true;
        ++object.m_readFailures;
    }
    if (!found) {
        for (int index : sql.valueIndexes)
            if (!(object.m_dirty & bit(index)))
                object.m_values[size_t(index)] = entity.attribute(index).defaultValue;
    }
    return !failed;
}

bool ManagedObjectContext::loadLazyValue(ManagedObject &object, int index)
{
    const EntityDescription &entity = object.entity();
    StoreValue value = entity.attribute(index).defaultValue;
    bool failed = false;
    try {
        SQLite::Statement &statement = m_store->statement(sqlFor(entity).selectLazy[index]);
        statement.bind(1, int64_t(object.m_rowId));
        if (statement.executeStep())
            value = StoreValues::coerce(entity.attribute(index).type, readValue(statement.getColumn(0)));
        statement.reset();
    } catch (const std::exception &error) {
        LOG_ERROR("ManagedObjectContext::loadLazyValue()", QStringLiteral("Could not fetch. ") + storeFailureKind(error));
        failed = true;
        ++object.m_readFailures;
    }
    object.m_values[size_t(index)] = std::move(value);
    return !failed;
}

std::pair<StoreValue, qint64> ManagedObjectContext::loadLazyPrefix(ManagedObject &object, int index, qint64 headLength,
                                                                   qint64 wholeLimit)
{
    const EntityDescription &entity = object.entity();
    if (std::optional<std::pair<StoreValue, qint64>> head = readHead(*m_store, entity, index, object.m_rowId, headLength, wholeLimit))
        return std::move(*head);
    StoreValue value = entity.attribute(index).defaultValue;
    qint64 length = 0;
    try {
        SQLite::Statement &statement = m_store->statement(sqlFor(entity).selectLazyPrefix[index]);
        statement.bind(1, int64_t(headLength));
        statement.bind(2, int64_t(wholeLimit));
        statement.bind(3, int64_t(object.m_rowId));
        if (statement.executeStep()) {
            value = StoreValues::coerce(entity.attribute(index).type, readValue(statement.getColumn(0)));
            length = statement.getColumn(1).getInt64();
        }
        statement.reset();
    } catch (const std::exception &error) {
        LOG_ERROR("ManagedObjectContext::loadLazyPrefix()", QStringLiteral("Could not fetch. ") + storeFailureKind(error));
        ++object.m_readFailures;
    }
    return {std::move(value), length};
}

bool ManagedObjectContext::loadRelationship(ManagedObject &object, int index)
{
    const RelationshipDescription &relationship = object.entity().relationships[size_t(index)];
    const EntityDescription &target = relationship.target();
    QString sql;
    if (relationship.kind == RelationshipDescription::Kind::ManyToMany) {
        sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                  .arg(quoted(relationship.targetColumn), quoted(relationship.linkTable), quoted(relationship.ownColumn));
    } else {
        sql = QStringLiteral("SELECT \"pk\" FROM %1 WHERE %2 = ? ORDER BY \"pk\"")
                  .arg(quoted(target.name), quoted(target.ownerColumn));
    }
    QList<qint64> rows;
    try {
        SQLite::Statement &statement = m_store->statement(sql);
        statement.bind(1, int64_t(object.m_rowId));
        while (statement.executeStep())
            rows.append(statement.getColumn(0).getInt64());
        statement.reset();
    } catch (const std::exception &error) {
        LOG_ERROR("ManagedObjectContext::loadRelationship()", QStringLiteral("Could not fetch. ") + storeFailureKind(error));
        ++object.m_readFailures;
        return false;
    }
    auto &state = object.links().relationships[size_t(index)];
    for (qint64 row : rows) {
        ManagedObjectPtr member = objectForRow(target, row);
        if (member->m_state != ManagedObject::Registered)
            continue;
        if (relationship.kind == RelationshipDescription::Kind::OwnedMany) {
            ManagedObject::Links &links = member->links();
            if (links.ownerLoaded && links.ownerRowId != object.m_rowId)
                continue; // moved to another owner, not saved yet
            links.owner = object.shared_from_this();
            links.ownerRowId = object.m_rowId;
            links.ownerLoaded = true;
        }
        if (!state.objects.contains(member))
            state.objects.append(member);
    }
    return true;
}

bool ManagedObjectContext::loadOwner(ManagedObject &object)
{
    ManagedObject::Links &links = object.links();
    try {
        SQLite::Statement &statement = m_store->statement(sqlFor(object.entity()).selectOwner);
        statement.bind(1, int64_t(object.m_rowId));
        if (statement.executeStep() && !statement.getColumn(0).isNull())
            links.ownerRowId = statement.getColumn(0).getInt64();
        statement.reset();
    } catch (const std::exception &error) {
        LOG_ERROR("ManagedObjectContext::loadOwner()", QStringLiteral("Could not fetch. ") + storeFailureKind(error));
        ++object.m_readFailures;
        return false;
    }
    return true;
}

// --- fetch --------------------------------------------------------------------------------

bool ManagedObjectContext::lessThan(ManagedObject &a, ManagedObject &b, const QList<int> &keys,
                                    const QList<bool> &ascending)
{
    for (qsizetype i = 0; i < keys.size(); ++i) {
        // As tavi_order_key() orders in SQL.
        const auto sortValue = [&](ManagedObject &object) -> StoreValue {
            StoreValue value = object.storeValue(keys[i]);
            if (const auto *text = std::get_if<QString>(&value); text && object.entity().attribute(keys[i]).readableOrder)
                return StoreValues::readableOrderKey(*text);
            return value;
        };
        const int order = StoreValues::compare(sortValue(a), sortValue(b));
        if (order != 0)
            return ascending[i] ? order < 0 : order > 0;
    }
    const qint64 x = tieKey(a, a.m_insertSequence), y = tieKey(b, b.m_insertSequence);
    return ascending.isEmpty() || ascending.last() ? x < y : x > y;
}

std::optional<QList<ManagedObjectPtr>> ManagedObjectContext::execute(const FetchRequestBase &request, StoreError *error)
{
    std::lock_guard lock(m_mutex);
    const EntityDescription &entity = *request.entity;
    auto compiled = compileRequest(request, error);
    if (!compiled)
        return std::nullopt;
    const qsizetype offset = std::max<qsizetype>(0, request.fetchOffset);
    // With a limit only the first offset + limit matches can be part of the window; the store is
    // asked for as many more as there are stored rows whose unsaved state replaces them.
    const qsizetype wanted = request.fetchLimit > 0 ? offset + request.fetchLimit : -1;

    // Without unsaved changes of the entity the store answers the window itself; otherwise every
    // stored row up to its end is needed to merge the changes in.
    const QList<qint64> shadowed = shadowedRows(entity);
    QList<ManagedObjectPtr> changed = changedMatches(request);
    if (wanted >= 0 && shadowed.isEmpty() && changed.isEmpty()) {
        QList<ManagedObjectPtr> window;
        try {
            const QList<qint64> rows = searchRows(*m_store, request, *compiled, request.fetchLimit, offset);
            window.reserve(rows.size());
            for (qint64 row : rows) {
                ManagedObjectPtr object = objectForRow(entity, row);
                if (object->m_state == ManagedObject::Registered)
                    window.append(std::move(object));
            }
        } catch (const std::exception &failure) {
            report(error, storeError(failure));
            return std::nullopt;
        }
        if (request.includesPropertyValues)
            prefetchValues(entity, window);
        return window;
    }

    QList<qint64> rows;
    try {
        rows = searchRows(*m_store, request, *compiled, wanted >= 0 ? wanted + shadowed.size() : -1);
    } catch (const std::exception &failure) {
        report(error, storeError(failure));
        return std::nullopt;
    }

    QList<ManagedObjectPtr> stored;
    stored.reserve(rows.size());
    if (auto &registered = m_registered[&entity].rows; registered.size() < rows.size())
        registered.reserve(rows.size());
    for (qint64 row : std::as_const(rows)) {
        if (wanted >= 0 && stored.size() >= wanted)
            break;
        ManagedObjectPtr object = objectForRow(entity, row);
        if (object->m_state != ManagedObject::Registered || m_updated.count(object.get()))
            continue;
        stored.append(std::move(object));
    }
    if (request.includesPropertyValues || !changed.isEmpty())
        prefetchValues(entity, stored);
    auto window = [&](QList<ManagedObjectPtr> objects) {
        if (offset == 0 && (wanted < 0 || objects.size() <= wanted))
            return objects;
        return objects.mid(offset, request.fetchLimit > 0 ? request.fetchLimit : -1);
    };

    // Unsaved changes: changed records are tested again, pending inserts tested for the first time.
    if (changed.isEmpty())
        return window(std::move(stored));

    const QList<int> &keys = compiled->keys;
    const QList<bool> &ascending = compiled->ascending;
    auto less = [&](const ManagedObjectPtr &a, const ManagedObjectPtr &b) { return lessThan(*a, *b, keys, ascending); };
    std::sort(changed.begin(), changed.end(), less);
    if (wanted >= 0 && changed.size() > wanted)
        changed.resize(wanted);
    QList<ManagedObjectPtr> merged;
    merged.reserve(stored.size() + changed.size());
    auto from = stored.cbegin();
    for (const auto &object : std::as_const(changed)) {
        auto position = std::upper_bound(from, stored.cend(), object, less);
        merged.append(QList<ManagedObjectPtr>(from, position));
        merged.append(object);
        from = position;
    }
    merged.append(QList<ManagedObjectPtr>(from, stored.cend()));
    return window(std::move(merged));
}

namespace {
// The stored rows matching a request, less those of `shadowed` (rows the context holds edited or
// deleted, which count as they are now, not as stored).
qsizetype countStoredRows(PersistentStore &store, const FetchRequestBase &request, const CompiledRequest &compiled,
                          const QList<qint64> &shadowed)
{
    qsizetype total = countRows(store, request, compiled);
    if (shadowed.isEmpty())
        return total;
    const QString where = compiled.expression.isEmpty()
                              ? QStringLiteral(" WHERE ")
                              : QStringLiteral(" WHERE (") + compiled.expression + QStringLiteral(") AND ");
    SQLite::Statement &statement = store.statement(QStringLiteral("SELECT COUNT(*) FROM ") + quoted(request.entity->name) + where
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
} // namespace

std::optional<qsizetype> ManagedObjectContext::count(const FetchRequestBase &request, StoreError *error)
{
    return countMatching(request, error, false);
}

std::optional<qsizetype> ManagedObjectContext::countOnReader(const FetchRequestBase &request, StoreError *error)
{
    return countMatching(request, error, true);
}

std::optional<qsizetype> ManagedObjectContext::countMatching(const FetchRequestBase &request, StoreError *error, bool onReader)
{
    std::unique_lock lock(m_mutex);
    const EntityDescription &entity = *request.entity;
    // Counted again under the lock when the context changed while the reader counted, since the
    // stored count must agree with the unsaved changes added to it.
    bool outsideLock = onReader && (!request.predicate || !request.predicate->usesSearchIndex(entity));
    for (;;) {
        auto compiled = compileRequest(request, error);
        if (!compiled)
            return std::nullopt;
        const QList<qint64> shadowed = shadowedRows(entity);
        const qsizetype changed = changedMatches(request).size();
        if (outsideLock) {
            outsideLock = false;
            const std::shared_ptr<PersistentStore> store = m_store;
            const quint64 generation = m_generation;
            qsizetype stored = 0;
            lock.unlock();
            const bool read = store->withReader(
                [&](PersistentStore &reader) { stored = countStoredRows(reader, request, *compiled, shadowed); });
            lock.lock();
            if (m_generation != generation)
                continue;
            if (read)
                return stored + changed;
        }
        try {
            return countStoredRows(*m_store, request, *compiled, shadowed) + changed;
        } catch (const std::exception &failure) {
            report(error, storeError(failure));
            return std::nullopt;
        }
    }
}

bool ManagedObjectContext::validate(const FetchRequestBase &request, StoreError *error)
{
    std::lock_guard lock(m_mutex);
    auto compiled = compileRequest(request, error);
    if (!compiled)
        return false;
    try {
        m_store->statement(QStringLiteral("SELECT \"pk\" FROM ") + quoted(request.entity->name) + compiled->where
                           + compiled->order);
    } catch (const std::exception &failure) {
        report(error, storeError(failure));
        return false;
    }
    return true;
}

quint64 ManagedObjectContext::generation() const
{
    std::lock_guard lock(m_mutex);
    return m_generation;
}

QList<qint64> ManagedObjectContext::shadowedRows(const EntityDescription &entity) const
{
    QList<qint64> rows;
    for (const auto &entry : m_updated)
        if (&entry.first->entity() == &entity && entry.first->m_rowId > 0)
            rows.append(entry.first->m_rowId);
    for (const auto &entry : m_deleted)
        if (&entry.first->entity() == &entity && entry.first->m_rowId > 0)
            rows.append(entry.first->m_rowId);
    return rows;
}

QList<ManagedObjectPtr> ManagedObjectContext::changedMatches(const FetchRequestBase &request)
{
    const EntityDescription &entity = *request.entity;
    QList<ManagedObjectPtr> changed;
    for (const auto &entry : m_updated) {
        ManagedObject &object = *entry.second;
        if (&object.entity() == &entity && (!request.predicate || request.predicate->evaluate(object)))
            changed.append(entry.second);
    }
    for (const auto &object : std::as_const(m_inserted)) {
        if (&object->entity() == &entity && (!request.predicate || request.predicate->evaluate(*object)))
            changed.append(object);
    }
    return changed;
}

// --- batch delete and merge ---------------------------------------------------------------

void ManagedObjectContext::markStoreDeleted(const EntityDescription &entity, const QList<qint64> &rowIds)
{
    std::unordered_set<const ManagedObject *> marked;
    for (qint64 row : rowIds) {
        ManagedObjectPtr object = registeredObject(entity, row);
        if (!object || (object->m_state != ManagedObject::Registered && object->m_state != ManagedObject::PendingDelete))
            continue;
        m_updated.erase(object.get());
        m_deleted.erase(object.get());
        object->m_state = ManagedObject::StoreDeleted;
        m_storeDeleted.emplace(object.get(), object);
        marked.insert(object.get());
    }
    cutLinksTo(entity, marked);
}

std::optional<QList<qint64>> ManagedObjectContext::executeBatchDelete(const EntityDescription &entity,
                                                                      const std::optional<Predicate> &predicate,
                                                                      StoreError *error)
{
    std::lock_guard lock(m_mutex);
    FetchRequestBase request(entity);
    request.predicate = predicate;
    const std::optional<CompiledRequest> compiled = compileRequest(request, error);
    if (!compiled)
        return std::nullopt;
    const QString sql = QStringLiteral("SELECT \"pk\" FROM ") + quoted(entity.name) + compiled->where;
    const std::vector<StoreValue> &bindings = compiled->bindings;
    QList<qint64> rows;
    std::vector<std::pair<const EntityDescription *, QList<qint64>>> ownedRows;
    for (int attempt = 0;; ++attempt) try {
        rows.clear();
        ownedRows.clear();
        SQLite::Database &database = m_store->database();
        SQLite::Transaction transaction(database, SQLite::TransactionBehavior::IMMEDIATE);
        {
            SQLite::Statement select(database, sql.toStdString());
            for (size_t i = 0; i < bindings.size(); ++i)
                bindValue(select, int(i) + 1, bindings[i]);
            while (select.executeStep())
                rows.append(select.getColumn(0).getInt64());
        }
        const QString ids = jsonRows(rows);
        for (const RelationshipDescription &relationship : entity.relationships) {
            if (relationship.kind != RelationshipDescription::Kind::OwnedMany)
                continue;
            const EntityDescription &target = relationship.target();
            SQLite::Statement children(database, QStringLiteral("SELECT \"pk\" FROM %1 WHERE %2 IN (SELECT value FROM json_each(?))")
                                                     .arg(quoted(target.name), quoted(target.ownerColumn))
                                                     .toStdString());
            children.bind(1, ids.toStdString());
            QList<qint64> childRows;
            while (children.executeStep())
                childRows.append(children.getColumn(0).getInt64());
            ownedRows.emplace_back(&target, childRows);
        }
        m_store->searchIndex().willDelete(database, entity, rows.size());
        SQLite::Statement remove(database, QStringLiteral("DELETE FROM %1 WHERE \"pk\" IN (SELECT value FROM json_each(?))")
                                               .arg(quoted(entity.name))
                                               .toStdString());
        remove.bind(1, ids.toStdString());
        remove.exec();
        transaction.commit();
        break;
    } catch (const std::exception &failure) {
        if (attempt == 0 && SearchIndex::isIndexFailure(failure)) {
            m_store->searchIndex().reportFailure(failure);
            continue;
        }
        report(error, storeError(failure));
        return std::nullopt;
    }
    ++m_generation;
    markStoreDeleted(entity, rows);
    for (const auto &[target, childRows] : ownedRows)
        markStoreDeleted(*target, childRows);
    // Pending inserts that match go too, and so do new records owned by a deleted one.
    const QList<ManagedObjectPtr> inserted = m_inserted;
    for (const auto &object : inserted) {
        if (object->m_state != ManagedObject::PendingInsert)
            continue;
        bool drop = &object->entity() == &entity && (!predicate || predicate->evaluate(*object));
        if (!drop && object->m_links && !object->entity().ownerColumn.isEmpty()) {
            auto owner = object->m_links->owner.lock();
            drop = owner && owner->m_state == ManagedObject::StoreDeleted;
        }
        if (drop)
            forgetInserted(*object);
    }
    return rows;
}

void ManagedObjectContext::mergeDeletedObjects(const QList<ManagedObjectPtr> &objects)
{
    std::lock_guard lock(m_mutex);
    std::unordered_map<const EntityDescription *, std::unordered_set<qint64>> merged;
    std::unordered_map<const EntityDescription *, std::unordered_set<const ManagedObject *>> cuts;
    QList<ManagedObjectPtr> removed;
    for (const auto &object : objects) {
        if (!object || object->m_context != this || object->m_rowId <= 0)
            continue;
        merged[&object->entity()].insert(object->m_rowId);
        cuts[&object->entity()].insert(object.get());
        removed.append(object);
    }
    // Owned records the batch delete took with them go too.
    for (const auto &entry : m_storeDeleted) {
        const ManagedObject &candidate = *entry.second;
        if (!candidate.m_links || !candidate.entity().ownerEntity)
            continue;
        const auto owners = merged.find(&candidate.entity().ownerEntity());
        if (owners != merged.end() && &candidate.entity() != owners->first
            && owners->second.count(candidate.m_links->ownerRowId))
            removed.prepend(entry.second);
    }
    for (const auto &[entity, targets] : cuts)
        cutLinksTo(*entity, targets);
    for (const auto &object : std::as_const(removed))
        if (object->m_context == this)
            remove(*object);
}

void ManagedObjectContext::mergeStoreChanges(const EntityDescription &entity, const QList<qint64> &changedRows,
                                             const QList<qint64> &deletedRows)
{
    std::lock_guard lock(m_mutex);
    for (qint64 row : changedRows) {
        ManagedObjectPtr object = registeredObject(entity, row);
        if (!object || object->m_state != ManagedObject::Registered || m_updated.count(object.get()))
            continue;
        object->m_valuesLoaded = false;
        object->m_lazyLoaded = 0;
        if (object->m_links) {
            for (auto &relationship : object->m_links->relationships) {
                if (!relationship.dirty) {
                    relationship.loaded = false;
                    relationship.objects.clear();
                }
            }
        }
    }
    QList<ManagedObjectPtr> deleted;
    for (qint64 row : deletedRows)
        if (ManagedObjectPtr object = registeredObject(entity, row))
            deleted.append(object);
    markStoreDeleted(entity, deletedRows);
    mergeDeletedObjects(deleted);
    ++m_generation;
}

// --- save ---------------------------------------------------------------------------------

ManagedObjectContext::EncodedTexts ManagedObjectContext::encodeLargeTexts() const
{
    // Below this many characters encoding under the lock costs less than looking ahead.
    constexpr qsizetype kLargeText = 64 * 1024;
    QList<QString> large;
    {
        std::lock_guard lock(m_mutex);
        auto collect = [&](const ManagedObject &object) {
            const auto &attributes = object.entity().attributes;
            for (size_t i = 0; i < attributes.size() && i < object.m_values.size(); ++i) {
                const auto *text = std::get_if<QString>(&object.m_values[i]);
                if (text && (object.m_dirty & bit(int(i)) || object.m_state == ManagedObject::PendingInsert)
                    && text->size() >= kLargeText)
                    large.append(*text);
            }
        };
        for (const auto &object : std::as_const(m_inserted))
            collect(*object);
        for (const auto &entry : m_updated)
            collect(*entry.second);
    }
    // The copies share the texts' data, so no other text can take their address meanwhile.
    EncodedTexts texts;
    for (const QString &text : std::as_const(large))
        texts.emplace(text.constData(), std::pair(text, text.toStdString()));
    return texts;
}

std::string ManagedObjectContext::encoded(const QString &text, EncodedTexts &texts)
{
    const auto found = texts.find(text.constData());
    if (found == texts.end() || found->second.first.size() != text.size())
        return text.toStdString();
    std::string result = std::move(found->second.second);
    texts.erase(found); // a text written twice is encoded again
    return result;
}

void ManagedObjectContext::insertRow(ManagedObject &object, EncodedTexts &encodedTexts)
{
    const EntityDescription &entity = object.entity();
    SQLite::Statement &statement = m_store->statement(sqlFor(entity).insert);
    // Payloads are bound without another copy; the encoded texts live until the row is written.
    std::vector<std::string> texts;
    texts.reserve(entity.attributes.size());
    // The statement stays cached: it must not keep the payloads once the row is written.
    const BindingsReleased released(statement);
    int column = 1;
    for (size_t i = 0; i < entity.attributes.size(); ++i, ++column) {
        const StoreValue &value = object.m_values[i];
        if (const auto *text = std::get_if<QString>(&value)) {
            texts.push_back(encoded(*text, encodedTexts));
            statement.bindNoCopy(column, texts.back());
        } else if (const auto *bytes = std::get_if<QByteArray>(&value)) {
            statement.bindNoCopy(column, static_cast<const void *>(bytes->constData()), int(bytes->size()));
        } else {
            bindValue(statement, column, value);
        }
    }
    if (!entity.ownerColumn.isEmpty()) {
        auto owner = object.m_links ? object.m_links->owner.lock() : nullptr;
        if (owner && isAlive(*owner) && owner->m_rowId > 0)
            statement.bind(column, int64_t(owner->m_rowId));
        else
            statement.bind(column);
    }
    statement.exec();
    statement.reset();
    object.m_rowId = m_store->database().getLastInsertRowid();
}

void ManagedObjectContext::updateRow(ManagedObject &object, EncodedTexts &encodedTexts)
{
    const EntityDescription &entity = object.entity();
    QStringList assignments;
    std::vector<StoreValue> values;
    for (size_t i = 0; i < entity.attributes.size(); ++i) {
        if (object.m_dirty & bit(int(i))) {
            assignments << quoted(entity.attributes[i].column) + QStringLiteral(" = ?");
            values.push_back(object.m_values[i]);
        }
    }
    if (object.m_links && object.m_links->ownerDirty && !entity.ownerColumn.isEmpty()) {
        auto owner = object.m_links->owner.lock();
        assignments << quoted(entity.ownerColumn) + QStringLiteral(" = ?");
        values.push_back(owner && isAlive(*owner) && owner->m_rowId > 0 ? StoreValue(owner->m_rowId) : StoreValue());
    }
    if (assignments.isEmpty())
        return;
    SQLite::Statement statement(m_store->database(), QStringLiteral("UPDATE %1 SET %2 WHERE \"pk\" = ?")
                                                         .arg(quoted(entity.name), assignments.join(QStringLiteral(", ")))
                                                         .toStdString());
    int column = 1;
    std::vector<std::string> texts;
    texts.reserve(values.size());
    for (const StoreValue &value : values) {
        if (const auto *text = std::get_if<QString>(&value)) {
            texts.push_back(encoded(*text, encodedTexts));
            statement.bindNoCopy(column++, texts.back());
        } else {
            bindValue(statement, column++, value);
        }
    }
    statement.bind(column, int64_t(object.m_rowId));
    statement.exec();
}

void ManagedObjectContext::writeLinks(ManagedObject &object)
{
    if (!object.m_links)
        return;
    const EntityDescription &entity = object.entity();
    const bool inserted = object.m_state == ManagedObject::PendingInsert;
    for (size_t i = 0; i < entity.relationships.size(); ++i) {
        const RelationshipDescription &relationship = entity.relationships[i];
        const auto &state = object.m_links->relationships[i];
        if (relationship.kind != RelationshipDescription::Kind::ManyToMany || !(state.dirty || inserted))
            continue;
        // Links changed before the stored ones could be read: rewriting them now would drop the
        // stored ones, so the save waits until they can be read.
        if (!state.loaded) {
            if (!loadRelationship(object, int(i)))
                throw std::runtime_error("the stored links of a changed record could not be read");
            object.m_links->relationships[i].loaded = true;
        }
        if (!inserted) {
            SQLite::Statement &clear = m_store->statement(
                QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(quoted(relationship.linkTable), quoted(relationship.ownColumn)));
            clear.bind(1, int64_t(object.m_rowId));
            clear.exec();
            clear.reset();
        }
        for (const auto &member : state.objects) {
            if (!isAlive(*member) || member->m_rowId <= 0)
                continue;
            SQLite::Statement &link = m_store->statement(QStringLiteral("INSERT OR IGNORE INTO %1 (%2, %3) VALUES (?, ?)")
                                                             .arg(quoted(relationship.linkTable), quoted(relationship.ownColumn),
                                                                  quoted(relationship.targetColumn)));
            link.bind(1, int64_t(object.m_rowId));
            link.bind(2, int64_t(member->m_rowId));
            link.exec();
            link.reset();
        }
    }
}

bool ManagedObjectContext::save(StoreError *error)
{
    if (!hasChanges())
        return true;
    EncodedTexts texts = encodeLargeTexts();
    bool large = false;
    {
        std::lock_guard lock(m_mutex);
        if (!writeChanges(error, texts, large))
            return false;
    }
    if (large)
        checkpoint();
    return true;
}

bool ManagedObjectContext::writeChanges(StoreError *error, EncodedTexts &texts, bool &large)
{
    if (!hasChanges())
        return true;
    // Owners before the records they own, so owned rows can point at their owner's new row.
    QList<ManagedObjectPtr> inserts;
    for (const auto &object : std::as_const(m_inserted))
        if (object->entity().ownerColumn.isEmpty())
            inserts.append(object);
    for (const auto &object : std::as_const(m_inserted))
        if (!object->entity().ownerColumn.isEmpty())
            inserts.append(object);
    QList<ManagedObjectPtr> updates;
    for (const auto &entry : m_updated)
        updates.append(entry.second);
    QList<ManagedObjectPtr> deletes;
    for (const auto &entry : m_deleted)
        deletes.append(entry.second);
    qint64 payloadBytes = 0;
    for (const auto *changed : {&inserts, &updates}) {
        for (const auto &object : *changed)
            payloadBytes += object->lazyPayloadBytes();
    }

    // A broken search index never keeps the history from being saved: it is switched off (to be
    // built anew) and the save tried once more.
    for (int attempt = 0;; ++attempt) try {
        SQLite::Transaction transaction(m_store->database(), SQLite::TransactionBehavior::IMMEDIATE);
        for (const auto &object : std::as_const(inserts))
            insertRow(*object, texts);
        for (const auto &object : std::as_const(updates))
            updateRow(*object, texts);
        for (const auto &object : std::as_const(inserts))
            writeLinks(*object);
        for (const auto &object : std::as_const(updates))
            writeLinks(*object);
        for (const auto &object : std::as_const(deletes)) {
            SQLite::Statement &statement = m_store->statement(sqlFor(object->entity()).deleteRow);
            statement.bind(1, int64_t(object->m_rowId));
            statement.exec();
            statement.reset();
        }
        transaction.commit();
        break;
    } catch (const std::exception &failure) {
        for (const auto &object : std::as_const(inserts))
            object->m_rowId = 0;
        if (attempt == 0 && SearchIndex::isIndexFailure(failure)) {
            m_store->searchIndex().reportFailure(failure);
            continue;
        }
        report(error, storeError(failure));
        return false;
    }

    auto settle = [](ManagedObject &object) {
        object.m_dirty = 0;
        // Written payloads are read again from the store when next asked for, not kept.
        const auto &attributes = object.entity().attributes;
        for (size_t i = 0; i < attributes.size() && i < object.m_values.size(); ++i) {
            if (attributes[i].lazy)
                object.m_values[i] = StoreValue();
        }
        object.m_lazyLoaded = 0;
        if (object.m_links) {
            for (auto &state : object.m_links->relationships)
                state.dirty = false;
            object.m_links->ownerDirty = false;
            if (auto owner = object.m_links->owner.lock())
                object.m_links->ownerRowId = owner->m_rowId;
        }
    };
    for (const auto &object : std::as_const(inserts)) {
        object->m_state = ManagedObject::Registered;
        m_registered[&object->entity()].rows.insert(object->m_rowId, object);
        settle(*object);
    }
    for (const auto &object : std::as_const(updates))
        settle(*object);
    for (const auto &object : std::as_const(deletes))
        remove(*object);
    m_inserted.clear();
    m_updated.clear();
    ++m_generation;
    large = payloadBytes >= kCheckpointAfterBytes;
    return true;
}

void ManagedObjectContext::checkpoint()
{
    // A large write leaves a write-ahead log as large. Its pages are copied into the store on a
    // connection of their own while the lock is free; then this connection empties the log, which
    // takes little once it is copied. Emptied here: emptying it from another connection would
    // leave a read open here on a log that is gone, and its next write would fail as locked.
    const std::shared_ptr<PersistentStore> copied = store();
    if (copied)
        copied->copyLogIntoStore();
    std::lock_guard lock(m_mutex);
    if (!m_store)
        return;
    try {
        m_store->database().exec("PRAGMA wal_checkpoint(TRUNCATE)");
    } catch (const std::exception &error) {
        LOG_WARNING("ManagedObjectContext::checkpoint()", QStringLiteral("Checkpoint failed. ") + storeFailureKind(error));
    }
}

void ManagedObjectContext::saveContext()
{
    std::lock_guard lock(m_mutex);
    if (!hasChanges())
        return;
    StoreError error;
    if (!save(&error)) {
        LOG_ERROR("saveContext()", QStringLiteral("Unresolved error ") + error.text());
    }
}
