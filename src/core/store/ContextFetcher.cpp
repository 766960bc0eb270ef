#include "core/store/ContextFetcher.h"

#include "core/store/ManagedObjectContext.h"
#include "core/store/RecordLoader.h"
#include "core/store/StoreStatements.h"
#include "core/store/StoredRowQuery.h"

#include <algorithm>
#include <limits>
#include <mutex>

using namespace StoreStatements;
using StoredRowQuery::compileRequest;

namespace {
qint64 tieKey(const ManagedObject &object, quint64 sequence)
{
    return object.objectID() > 0 ? object.objectID() : std::numeric_limits<qint64>::max() / 2 + qint64(sequence);
}
} // namespace

ContextFetcher::ContextFetcher(ManagedObjectContext &context) : m_context(context) {}

bool ContextFetcher::lessThan(ManagedObject &a, ManagedObject &b, const QList<int> &keys, const QList<bool> &ascending)
{
    for (qsizetype i = 0; i < keys.size(); ++i) {
        // As tavi_order_key() orders in SQL.
        const auto sortValue = [&](ManagedObject &object) -> StoreValue {
            StoreValue value = object.storeValue(keys[i]);
            if (const auto *text = std::get_if<QString>(&value);
                text && object.entity().attribute(keys[i]).readableOrder)
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

std::optional<QList<ManagedObjectPtr>> ContextFetcher::execute(const FetchRequestBase &request, StoreError *error)
{
    std::lock_guard lock(m_context.m_mutex);
    PersistentStore &store = *m_context.m_store;
    const EntityDescription &entity = *request.entity;
    auto compiled = compileRequest(request, error);
    if (!compiled)
        return std::nullopt;
    const qsizetype offset = std::max<qsizetype>(0, request.fetchOffset);
    // With a limit only the first offset + limit matches can be part of the window; the store is
    // asked for as many more as there are stored rows whose unsaved state replaces them.
    const qsizetype wanted = request.fetchLimit > 0 ? offset + request.fetchLimit : -1;

    // Without unsaved changes of the entity the store answers the window itself, an offset without
    // a limit too (the oldest items past the newest N: only those rows are read); otherwise every
    // stored row up to its end is needed to merge the changes in.
    const QList<qint64> shadowed = shadowedRows(entity);
    QList<ManagedObjectPtr> changed = changedMatches(request);
    if ((wanted >= 0 || offset > 0) && shadowed.isEmpty() && changed.isEmpty()) {
        QList<ManagedObjectPtr> window;
        try {
            const QList<qint64> rows = StoredRowQuery::searchRows(
                store, request, *compiled, request.fetchLimit > 0 ? request.fetchLimit : -1, offset);
            window.reserve(rows.size());
            for (qint64 row : rows) {
                ManagedObjectPtr object = m_context.objectForRow(entity, row);
                if (object->m_state == ManagedObject::Registered)
                    window.append(std::move(object));
            }
        } catch (const std::exception &failure) {
            report(error, storeError(failure));
            return std::nullopt;
        }
        if (request.includesPropertyValues)
            RecordLoader(m_context).prefetchValues(entity, window);
        return window;
    }

    QList<qint64> rows;
    try {
        rows = StoredRowQuery::searchRows(store, request, *compiled, wanted >= 0 ? wanted + shadowed.size() : -1);
    } catch (const std::exception &failure) {
        report(error, storeError(failure));
        return std::nullopt;
    }

    QList<ManagedObjectPtr> stored;
    stored.reserve(rows.size());
    if (auto &registered = m_context.m_registered[&entity].rows; registered.size() < rows.size())
        registered.reserve(rows.size());
    for (qint64 row : std::as_const(rows)) {
        if (wanted >= 0 && stored.size() >= wanted)
            break;
        ManagedObjectPtr object = m_context.objectForRow(entity, row);
        if (object->m_state != ManagedObject::Registered || m_context.m_updated.count(object.get()))
            continue;
        stored.append(std::move(object));
    }
    if (request.includesPropertyValues || !changed.isEmpty())
        RecordLoader(m_context).prefetchValues(entity, stored);
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

std::optional<qsizetype> ContextFetcher::count(const FetchRequestBase &request, StoreError *error, bool onReader)
{
    std::unique_lock lock(m_context.m_mutex);
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
            const std::shared_ptr<PersistentStore> store = m_context.m_store;
            const quint64 generation = m_context.m_generation;
            qsizetype stored = 0;
            lock.unlock();
            const bool read = store->withReader([&](PersistentStore &reader) {
                stored = StoredRowQuery::countStoredRows(reader, request, *compiled, shadowed);
            });
            lock.lock();
            if (m_context.m_generation != generation)
                continue;
            if (read)
                return stored + changed;
        }
        try {
            return StoredRowQuery::countStoredRows(*m_context.m_store, request, *compiled, shadowed) + changed;
        } catch (const std::exception &failure) {
            report(error, storeError(failure));
            return std::nullopt;
        }
    }
}

bool ContextFetcher::validate(const FetchRequestBase &request, StoreError *error)
{
    std::lock_guard lock(m_context.m_mutex);
    auto compiled = compileRequest(request, error);
    if (!compiled)
        return false;
    try {
        m_context.m_store->statement(QStringLiteral("SELECT \"pk\" FROM ") + quoted(request.entity->name)
                                     + compiled->where + compiled->order);
    } catch (const std::exception &failure) {
        report(error, storeError(failure));
        return false;
    }
    return true;
}

QList<qint64> ContextFetcher::shadowedRows(const EntityDescription &entity) const
{
    QList<qint64> rows;
    for (const auto &entry : m_context.m_updated)
        if (&entry.first->entity() == &entity && entry.first->m_rowId > 0)
            rows.append(entry.first->m_rowId);
    for (const auto &entry : m_context.m_deleted)
        if (&entry.first->entity() == &entity && entry.first->m_rowId > 0)
            rows.append(entry.first->m_rowId);
    return rows;
}

QList<ManagedObjectPtr> ContextFetcher::changedMatches(const FetchRequestBase &request)
{
    const EntityDescription &entity = *request.entity;
    QList<ManagedObjectPtr> changed;
    for (const auto &entry : m_context.m_updated) {
        ManagedObject &object = *entry.second;
        if (&object.entity() == &entity && (!request.predicate || request.predicate->evaluate(object)))
            changed.append(entry.second);
    }
    for (const auto &object : std::as_const(m_context.m_inserted)) {
        if (&object->entity() == &entity && (!request.predicate || request.predicate->evaluate(*object)))
            changed.append(object);
    }
    return changed;
}
