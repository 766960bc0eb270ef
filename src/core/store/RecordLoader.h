#pragma once
// Reads the parts of stored records into them when first used: their values (those of many
// fetched records in one statement), a lazy value whole or only its head, the members of a
// relationship and the owner. A load that fails is counted on the record, which then reads
// defaults and tries again on its next use. Under the context's lock.

#include "core/store/ManagedObject.h"

#include <QList>

#include <utility>

class ManagedObjectContext;

class RecordLoader {
public:
    explicit RecordLoader(ManagedObjectContext &context);

    void prefetchValues(const EntityDescription &entity, const QList<ManagedObjectPtr> &objects);
    // Each false on a store error.
    bool loadValues(ManagedObject &object);
    bool loadLazyValue(ManagedObject &object, int index);
    // A lazy value whole when its length is at most `wholeLimit`, else its first `headLength`
    // characters (bytes for binary values); and its whole length.
    std::pair<StoreValue, qint64> loadLazyPrefix(ManagedObject &object, int index, qint64 headLength,
                                                 qint64 wholeLimit);
    bool loadRelationship(ManagedObject &object, int index);
    bool loadOwner(ManagedObject &object);

private:
    ManagedObjectContext &m_context;
};
