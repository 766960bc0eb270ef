#include "core/store/StoreDeletions.h"

#include "core/store/ManagedObjectContext.h"
#include "core/store/StoreStatements.h"
#include "core/store/StoredRowQuery.h"

#include <SQLiteCpp/Transaction.h>

#include <mutex>
#include <unordered_map>
#include <unordered_set>

using namespace StoreStatements;
using StoredRowQuery::CompiledRequest;
using StoredRowQuery::compileRequest;

StoreDeletions::StoreDeletions(ManagedObjectContext &context) : m_context(context) {}

void StoreDeletions::markStoreDeleted(const EntityDescription &entity, const QList<qint64> &rowIds)
{
    std::unordered_set<const ManagedObject *> marked;
    for (qint64 row : rowIds) {
        ManagedObjectPtr object = m_context.registeredObject(entity, row);
        if (!object
            || (object->m_state != ManagedObject::Registered && object->m_state != ManagedObject::PendingDelete))
            continue;
        m_context.m_updated.erase(object.get());
        m_context.m_deleted.erase(object.get());
        object->m_state = ManagedObject::StoreDeleted;
        m_context.m_storeDeleted.emplace(object.get(), object);
        marked.insert(object.get());
    }
    m_context.cutLinksTo(entity, marked);
    m_context.noteChange();
}

namespace {
constexpr qint64 kManyRows = 10000;

// Whether deleting `rows` rows takes most of a large table: then its indexes and its links'
// are dropped and built again over what is left, far quicker than taking each row out of each.
// Counted only as far as the answer needs: a full count reads every page of an index.
bool takesMostOf(SQLite::Database &database, const EntityDescription &entity, qsizetype rows)
{
    if (rows < kManyRows)
        return false;
    SQLite::Statement count(
        database,
        QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM %1 LIMIT ?)").arg(quoted(entity.name)).toStdString());
    count.bind(1, int64_t(rows) * 2 + 1);
    return count.executeStep() && int64_t(rows) * 2 >= count.getColumn(0).getInt64();
}

// The statements that make the indexes of these tables, as the store holds them.
std::vector<std::pair<std::string, std::string>> indexesOf(SQLite::Database &database, const QStringList &tables)
{
    SQLite::Statement query(database, R"sql(SELECT "name", "sql" FROM "sqlite_master")sql"
                                      R"sql( WHERE "type" = 'index' AND "tbl_name" = ? AND "sql" IS NOT NULL)sql");
    std::vector<std::pair<std::string, std::string>> indexes;
    for (const QString &table : tables) {
        query.bind(1, table.toStdString());
        while (query.executeStep())
            indexes.emplace_back(query.getColumn(0).getString(), query.getColumn(1).getString());
        query.reset();
    }
    return indexes;
}
} // namespace

void StoreDeletions::judgeEditsByUnsavedValues(const EntityDescription &entity,
                                               const std::optional<Predicate> &predicate, QList<qint64> &rows)
{
    if (!predicate)
        return;
    std::unordered_set<qint64> leaving, joining;
    for (const auto &entry : m_context.m_updated) {
        ManagedObject &object = *entry.second;
        if (&object.entity() != &entity || object.m_rowId <= 0)
            continue;
        (predicate->evaluate(object) ? joining : leaving).insert(object.m_rowId);
    }
    if (leaving.empty() && joining.empty())
        return;
    QList<qint64> judged;
    judged.reserve(rows.size() + qsizetype(joining.size()));
    for (qint64 row : std::as_const(rows)) {
        joining.erase(row);
        if (!leaving.count(row))
            judged.append(row);
    }
    judged.append(QList<qint64>(joining.begin(), joining.end()));
    rows = std::move(judged);
}

std::optional<QList<qint64>> StoreDeletions::executeBatchDelete(const EntityDescription &entity,
                                                                const std::optional<Predicate> &predicate,
                                                                StoreError *error)
{
    std::lock_guard lock(m_context.m_mutex);
    FetchRequestBase request(entity);
    request.predicate = predicate;
    const std::optional<CompiledRequest> compiled = compileRequest(request, error);
    if (!compiled)
        return std::nullopt;
    const QString sql = QStringLiteral("SELECT \"pk\" FROM ") + quoted(entity.name) + compiled->where;
    const std::vector<StoreValue> &bindings = compiled->bindings;
    QList<qint64> rows;
    std::vector<std::pair<const EntityDescription *, QList<qint64>>> ownedRows;
    for (int attempt = 0;; ++attempt)
        try {
            rows.clear();
            ownedRows.clear();
            SQLite::Database &database = m_context.m_store->database();
            SQLite::Transaction transaction(database, SQLite::TransactionBehavior::IMMEDIATE);
            {
                SQLite::Statement select(database, sql.toStdString());
                for (size_t i = 0; i < bindings.size(); ++i)
                    bindValue(select, int(i) + 1, bindings[i]);
                while (select.executeStep())
                    rows.append(select.getColumn(0).getInt64());
            }
            judgeEditsByUnsavedValues(entity, predicate, rows);
            const std::string ids = jsonRows(rows).toStdString();
            // The table's own indexes and those of its links (their keys stay: the cascade goes
            // by them).
            std::vector<std::pair<std::string, std::string>> indexes;
            if (takesMostOf(database, entity, rows.size())) {
                m_context.m_store->searchIndex().willDeleteMostOf(database, entity);
                QStringList tables{entity.name};
                for (const RelationshipDescription &relationship : entity.relationships)
                    if (relationship.kind == RelationshipDescription::Kind::ManyToMany)
                        tables.append(relationship.linkTable);
                indexes = indexesOf(database, tables);
                for (const auto &[name, schema] : indexes)
                    database.exec("DROP INDEX " + quoted(QString::fromStdString(name)).toStdString());
            }
            // The rows they own go with them, and so do their links, by the store's cascade: after
            // each row, so that the sync log records the row's delete alone.
            for (const RelationshipDescription &relationship : entity.relationships) {
                if (relationship.kind != RelationshipDescription::Kind::OwnedMany)
                    continue;
                const EntityDescription &target = relationship.target();
                SQLite::Statement children(
                    database, QStringLiteral("SELECT \"pk\" FROM %1 WHERE %2 IN (SELECT value FROM json_each(?))")
                                  .arg(quoted(target.name), quoted(target.ownerColumn))
                                  .toStdString());
                children.bind(1, ids);
                QList<qint64> childRows;
                while (children.executeStep())
                    childRows.append(children.getColumn(0).getInt64());
                ownedRows.emplace_back(&target, childRows);
            }
            {
                SQLite::Statement remove(
                    database, QStringLiteral("DELETE FROM %1 WHERE \"pk\" IN (SELECT value FROM json_each(?))")
                                  .arg(quoted(entity.name))
                                  .toStdString());
                remove.bind(1, ids);
                remove.exec();
            }
            for (const auto &[name, schema] : indexes)
                database.exec(schema);
            transaction.commit();
            break;
        } catch (const std::exception &failure) {
            if (attempt == 0 && SearchIndex::isIndexFailure(failure)) {
                m_context.m_store->searchIndex().reportFailure(failure);
                continue;
            }
            report(error, storeError(failure));
            return std::nullopt;
        }
    m_context.noteChange();
    markStoreDeleted(entity, rows);
    for (const auto &[target, childRows] : ownedRows)
        markStoreDeleted(*target, childRows);
    // Pending inserts that match go too, and so do new records owned by a deleted one.
    const QList<ManagedObjectPtr> inserted = m_context.m_inserted;
    for (const auto &object : inserted) {
        if (object->m_state != ManagedObject::PendingInsert)
            continue;
        bool drop = &object->entity() == &entity && (!predicate || predicate->evaluate(*object));
        if (!drop && object->m_links && !object->entity().ownerColumn.isEmpty()) {
            auto owner = object->m_links->owner.lock();
            drop = owner && owner->m_state == ManagedObject::StoreDeleted;
        }
        if (drop)
            m_context.forgetInserted(*object);
    }
    return rows;
}

void StoreDeletions::mergeDeletedObjects(const QList<ManagedObjectPtr> &objects)
{
    std::lock_guard lock(m_context.m_mutex);
    std::unordered_map<const EntityDescription *, std::unordered_set<qint64>> merged;
    std::unordered_map<const EntityDescription *, std::unordered_set<const ManagedObject *>> cuts;
    QList<ManagedObjectPtr> removed;
    for (const auto &object : objects) {
        if (!object || object->m_context != &m_context || object->m_rowId <= 0)
            continue;
        merged[&object->entity()].insert(object->m_rowId);
        cuts[&object->entity()].insert(object.get());
        removed.append(object);
    }
    // Owned records the batch delete took with them go too.
    for (const auto &entry : m_context.m_storeDeleted) {
        const ManagedObject &candidate = *entry.second;
        if (!candidate.m_links || !candidate.entity().ownerEntity)
            continue;
        const auto owners = merged.find(&candidate.entity().ownerEntity());
        if (owners != merged.end() && &candidate.entity() != owners->first
            && owners->second.count(candidate.m_links->ownerRowId))
            removed.prepend(entry.second);
    }
    for (const auto &[entity, targets] : cuts)
        m_context.cutLinksTo(*entity, targets);
    for (const auto &object : std::as_const(removed))
        if (object->m_context == &m_context)
            m_context.remove(*object);
}

void StoreDeletions::mergeStoreChanges(const EntityDescription &entity, const QList<qint64> &changedRows,
                                       const QList<qint64> &deletedRows)
{
    std::lock_guard lock(m_context.m_mutex);
    for (qint64 row : changedRows) {
        ManagedObjectPtr object = m_context.registeredObject(entity, row);
        if (!object || object->m_state != ManagedObject::Registered || m_context.m_updated.count(object.get()))
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
        if (ManagedObjectPtr object = m_context.registeredObject(entity, row))
            deleted.append(object);
    markStoreDeleted(entity, deletedRows);
    mergeDeletedObjects(deleted);
    m_context.noteChange();
}
