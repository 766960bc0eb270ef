#pragma once
// A value copy of a context's unsaved changes, taken under its lock: by a save as it starts, or
// by a read while no save runs. A read on one of the store's readers takes them in as its own
// unsaved changes, so it sees what the context shows without waiting for a save. Payloads are
// shared with the context's records, not copied.

#include "core/store/ManagedObject.h"

#include <QList>

#include <utility>
#include <vector>

class ManagedObjectContext;

class ChangeSnapshot {
public:
    // Context lock held; `inserts`, `updates` and `deletes` are every unsaved change.
    ChangeSnapshot(const QList<ManagedObjectPtr> &inserts, const QList<ManagedObjectPtr> &updates,
                   const QList<ManagedObjectPtr> &deletes);
    // Makes the changes the unsaved changes of `reader`, a read-only context made for one read.
    void adoptInto(ManagedObjectContext &reader) const;

private:
    // A stored row, or one of the snapshot's inserts.
    struct Member {
        qint64 rowId = 0;
        int insert = -1;
    };
    struct Relationship {
        bool loaded = false;
        bool dirty = false;
        QList<Member> members;
    };
    struct Record {
        const EntityDescription *entity = nullptr;
        qint64 rowId = 0;
        quint64 insertSequence = 0;
        bool valuesLoaded = false;
        quint64 lazyLoaded = 0;
        quint64 dirty = 0;
        std::vector<StoreValue> values;
        bool hasLinks = false;
        std::vector<Relationship> relationships;
        Member owner;
        bool ownerLoaded = false;
        bool ownerDirty = false;
    };

    void fill(const Record &record, ManagedObject &object, ManagedObjectContext &reader,
              const std::vector<ManagedObjectPtr> &inserted) const;

    std::vector<Record> m_inserts;
    std::vector<Record> m_updates;
    std::vector<std::pair<const EntityDescription *, qint64>> m_deletes;
};
