#pragma once
// Rows deleted in the store outside a save, taken out of a context: a batch delete of the rows
// matching a predicate (with the rows they own and their links), and rows another connection
// changed or deleted. Loaded records of deleted rows stay registered, marked deleted, until they
// are merged; saves skip them. Under the context's lock.

#include "core/store/FetchRequest.h"
#include "core/store/ManagedObject.h"

#include <QList>

#include <optional>

class ManagedObjectContext;

class StoreDeletions {
public:
    explicit StoreDeletions(ManagedObjectContext &context);

    std::optional<QList<qint64>> executeBatchDelete(const EntityDescription &entity,
                                                    const std::optional<Predicate> &predicate, StoreError *error);
    void mergeDeletedObjects(const QList<ManagedObjectPtr> &objects);
    void mergeStoreChanges(const EntityDescription &entity, const QList<qint64> &changedRows,
                           const QList<qint64> &deletedRows);

private:
    // The stored rows a predicate selected, with the records edited and not saved yet judged by
    // their unsaved values instead, as a fetch judges them.
    void judgeEditsByUnsavedValues(const EntityDescription &entity, const std::optional<Predicate> &predicate,
                                   QList<qint64> &rows);
    void markStoreDeleted(const EntityDescription &entity, const QList<qint64> &rowIds);

    ManagedObjectContext &m_context;
};
