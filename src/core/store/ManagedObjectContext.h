#pragma once
// The one place records live in memory: an identity map of the records loaded from the store and
// their pending inserts, updates and deletes. Fetches see the unsaved changes; save() writes them
// all in one transaction or none. Every operation runs under one reentrant lock, so the context
// may be used synchronously from any thread; performAndWait() groups several operations.
// ContextFetcher answers its fetches and counts, RecordLoader fills its records, ChangeWriter
// writes a save and StoreDeletions takes in rows deleted outside a save. readOnReader() reads
// without the lock, on a read-only context of its own, while the store alone holds this
// context's state, or the store and a copy of its unsaved changes (ChangeSnapshot).

#include "core/store/ChangeSnapshot.h"
#include "core/store/ChangeWriter.h"
#include "core/store/FetchRequest.h"
#include "core/store/ManagedObject.h"
#include "core/store/PersistentStore.h"

#include <QHash>
#include <QList>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace SQLite {
class Transaction;
}

class ManagedObjectContext {
public:
    // A save that writes this many payload bytes checkpoints the write-ahead log afterwards.
    static constexpr qint64 kCheckpointAfterBytes = 4 * 1024 * 1024;

    enum class MergePolicy { Error, PropertyObjectTrump };

    explicit ManagedObjectContext(std::shared_ptr<PersistentStore> store);
    ~ManagedObjectContext();
    ManagedObjectContext(const ManagedObjectContext &) = delete;
    ManagedObjectContext &operator=(const ManagedObjectContext &) = delete;

    std::recursive_mutex &mutex() const { return m_mutex; }
    template <class Work>
    decltype(auto) performAndWait(Work &&work)
    {
        std::lock_guard lock(m_mutex);
        return work();
    }

    std::shared_ptr<PersistentStore> store() const;
    // Moves the context onto another connection to its store file (a rebuilt container).
    void setStore(std::shared_ptr<PersistentStore> store);

    void setMergePolicy(MergePolicy policy);
    MergePolicy mergePolicy() const;
    void setAutomaticallyMergesChangesFromParent(bool merges);
    bool automaticallyMergesChangesFromParent() const;

    template <class T>
    std::shared_ptr<T> insertNewObject()
    {
        auto object = std::make_shared<T>();
        insert(object);
        return object;
    }
    // Registers a new record as a pending insert. Re-inserting a pending delete revives it.
    void insert(const ManagedObjectPtr &object);
    // Marks a record for deletion at the next save (an unsaved one is simply dropped); records
    // it owns go with it, to-many links to it are cut.
    void deleteObject(const ManagedObjectPtr &object);

    bool hasChanges() const;
    QList<ManagedObjectPtr> insertedObjects() const;
    QList<ManagedObjectPtr> updatedObjects() const;
    QList<ManagedObjectPtr> deletedObjects() const;
    // Loaded records still alive, including those removed from the store by a batch delete that
    // was not merged yet.
    int registeredObjectCount() const;

    // Stored matches minus pending deletes plus matching pending inserts, changed records
    // re-tested and placed by the sort; only the request's window is read from the store and
    // made into records. Absent on a store error.
    std::optional<QList<ManagedObjectPtr>> execute(const FetchRequestBase &request, StoreError *error = nullptr);
    // The number of records execute() would return without a window, counted in the store.
    std::optional<qsizetype> count(const FetchRequestBase &request, StoreError *error = nullptr);
    // The same, for a count that takes long (a whole category): the stored rows are counted on
    // one of the store's readers without the context's lock, so that other threads' reads go on
    // meanwhile. Searches through the index, and stores without a file, count as count() does.
    std::optional<qsizetype> countOnReader(const FetchRequestBase &request, StoreError *error = nullptr);
    // Whether the store alone answers reads as this context would: it has no unsaved changes. A
    // save's changes count as unsaved until it has committed them: lists were told of them when
    // they were made, and the store before the save would take them back. Any thread, without
    // the lock.
    bool readsMatchStore() const { return !m_unsaved.load(); }
    // Runs `read` with a read-only context of its own on one of the store's readers, in one read
    // transaction (one snapshot), without this context's lock, so that a save, a batch delete or
    // another connection's write never delays it. The reader takes in a copy of the unsaved
    // changes its snapshot lacks: those of the save that is writing, or else those of the context,
    // copied under its lock (waited for only while another operation than a save holds it).
    // Counts only when nothing changed meanwhile, or nothing is unsaved once it has read. False
    // when it does not count, when the store has no file, or when `read` threw: the caller then
    // reads through this context. The reader's records must not outlive `read`.
    bool readOnReader(const std::function<void(ManagedObjectContext &reader)> &read);
    // A context on a reader: it never registers inserts, edits or deletes, and never saves.
    bool isReadOnly() const { return m_readOnly; }
    // Whether the request can run: its keys exist and its statement compiles.
    bool validate(const FetchRequestBase &request, StoreError *error = nullptr);
    // Moves on with every change of the context's records (inserts, edits, deletes, saves), so
    // results computed at one generation stay valid while it lasts.
    quint64 generation() const;
    template <class T>
    std::optional<QList<std::shared_ptr<T>>> fetch(const FetchRequest<T> &request, StoreError *error = nullptr)
    {
        auto objects = execute(request, error);
        if (!objects)
            return std::nullopt;
        QList<std::shared_ptr<T>> typed;
        typed.reserve(objects->size());
        for (const auto &object : *objects)
            typed.append(std::static_pointer_cast<T>(object));
        return typed;
    }

    // Deletes the matching rows in the store at once, in a transaction of its own, with the rows
    // they own and their links. Matching pending inserts are dropped. Loaded records of deleted
    // rows stay registered, marked deleted, until mergeDeletedObjects(); saves skip them.
    // Returns the deleted row ids, or absent on a store error.
    std::optional<QList<qint64>> executeBatchDelete(const EntityDescription &entity,
                                                    const std::optional<Predicate> &predicate,
                                                    StoreError *error = nullptr);
    // Takes records that were deleted elsewhere out of the context.
    void mergeDeletedObjects(const QList<ManagedObjectPtr> &objects);
    // Takes in rows that another connection changed or deleted: loaded records without unsaved
    // changes read their values and relationships again on next use; deleted ones leave.
    void mergeStoreChanges(const EntityDescription &entity, const QList<qint64> &changedRows,
                           const QList<qint64> &deletedRows);

    // Writes every pending change in one transaction. On failure nothing is written, every
    // change stays pending and the error is returned. Large texts are encoded before the lock is
    // taken, and the log of a large save is copied into the store after it is released.
    bool save(StoreError *error = nullptr);
    // Saves when there are changes; a failure is printed and logged, the changes stay pending.
    void saveContext();

private:
    friend class ManagedObject;
    friend class RecordLoader;
    friend class ContextFetcher;
    friend class StoreDeletions;
    friend class ChangeWriter;
    friend class ChangeSnapshot;
    struct EntityRows {
        QHash<qint64, std::weak_ptr<ManagedObject>> rows;
        qsizetype sweepAt = 4096;
    };

    struct ReadOnly {};
    ManagedObjectContext(std::shared_ptr<PersistentStore> store, ReadOnly);
    // After every change of the records: the generation moves on, the unsaved state is taken again.
    void noteChange();
    // Refuses (logged) a change of a read-only context.
    bool refusesChange(const char *operation) const;
    ManagedObjectPtr objectForRow(const EntityDescription &entity, qint64 rowId);
    ManagedObjectPtr registeredObject(const EntityDescription &entity, qint64 rowId) const;
    // Every unsaved change: inserts (owners before the records they own), edits, deletes.
    void collectChanges(QList<ManagedObjectPtr> &inserts, QList<ManagedObjectPtr> &updates,
                        QList<ManagedObjectPtr> &deletes) const;
    bool writeChanges(StoreError *error, ChangeWriter::EncodedTexts &texts, bool &large);
    // Begins a reader's read transaction and fixes its snapshot of the store; the unsaved changes
    // the snapshot lacks, if any.
    std::shared_ptr<const ChangeSnapshot> beginRead(PersistentStore &reader);
    void publishSave(std::shared_ptr<const ChangeSnapshot> changes);
    // Commits a save's transaction. Readers that take the save's changes in wait for it, unless
    // the save inserted a row (`firstInsert`), by which they tell whether they see the commit.
    void commitSave(SQLite::Transaction &transaction, const ManagedObject *firstInsert);
    // Without the lock held.
    void checkpoint();
    void markUpdated(ManagedObject &object);
    void forgetInserted(ManagedObject &object);
    void cutLinksTo(ManagedObject &object);
    // Takes the targets (records of one entity) out of every loaded to-many relationship, in one pass.
    void cutLinksTo(const EntityDescription &targetEntity, const std::unordered_set<const ManagedObject *> &targets);
    void remove(ManagedObject &object);
    bool isAlive(const ManagedObject &object) const;

    mutable std::recursive_mutex m_mutex;
    // m_store is set with both locks held and read with either.
    mutable std::mutex m_storeMutex;
    std::shared_ptr<PersistentStore> m_store;
    const bool m_readOnly = false;
    MergePolicy m_mergePolicy = MergePolicy::Error;
    bool m_automaticallyMerges = false;
    std::unordered_map<const EntityDescription *, EntityRows> m_registered;
    QList<ManagedObjectPtr> m_inserted;
    std::unordered_map<ManagedObject *, ManagedObjectPtr> m_updated;
    std::unordered_map<ManagedObject *, ManagedObjectPtr> m_deleted;
    std::unordered_map<ManagedObject *, ManagedObjectPtr> m_storeDeleted;
    quint64 m_nextSequence = 1;
    std::atomic<quint64> m_generation{1};
    // Pending inserts, edits or deletes; set before the generation moves, so that a reader that
    // sees the new generation sees it too.
    std::atomic<bool> m_unsaved{false};
    // The changes of the save that is writing, and whether it has committed them. A reader fixes
    // its snapshot of the store holding this lock, so it knows whether that holds the commit.
    mutable std::mutex m_saveMutex;
    std::condition_variable m_saveChanged;
    std::shared_ptr<const ChangeSnapshot> m_saving;
    bool m_savingCommitted = false;
    struct SaveProbe {
        const EntityDescription *entity = nullptr;
        qint64 rowId = 0;
    };
    SaveProbe m_savingProbe;
};
