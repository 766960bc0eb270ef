#include "core/store/ManagedObjectContext.h"

#include "core/store/ChangeWriter.h"
#include "core/store/ContextFetcher.h"
#include "core/store/StoreDeletions.h"
#include "core/store/StoreFailure.h"
#include "core/store/StoreStatements.h"
#include "platform/Log.h"

#include <SQLiteCpp/Transaction.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <unordered_set>

namespace {
quint64 bit(int index) { return quint64(1) << index; }

QList<ManagedObjectPtr> objectsOf(const std::unordered_map<ManagedObject *, ManagedObjectPtr> &changed)
{
    QList<ManagedObjectPtr> objects;
    objects.reserve(qsizetype(changed.size()));
    for (const auto &entry : changed)
        objects.append(entry.second);
    return objects;
}
} // namespace

ManagedObjectContext::ManagedObjectContext(std::shared_ptr<PersistentStore> store) : m_store(std::move(store)) {}

ManagedObjectContext::ManagedObjectContext(std::shared_ptr<PersistentStore> store, ReadOnly)
    : m_store(std::move(store)),
      m_readOnly(true)
{
}

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
    {
        std::lock_guard storeLock(m_storeMutex);
        m_store = std::move(store);
    }
    noteChange();
}

void ManagedObjectContext::noteChange()
{
    m_unsaved = !m_inserted.isEmpty() || !m_updated.empty() || !m_deleted.empty();
    ++m_generation;
}

bool ManagedObjectContext::refusesChange(const char *operation) const
{
    if (m_readOnly)
        LOG_ERROR("ManagedObjectContext",
                  QStringLiteral("%1 refused: the context only reads").arg(QLatin1String(operation)));
    return m_readOnly;
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
    if (refusesChange("insert"))
        return;
    if (object->m_context && object->m_context != this) {
        LOG_ERROR("ManagedObjectContext::insert()", QStringLiteral("record belongs to another context; not inserted"));
        return;
    }
    if (object->m_context == this) {
        if (object->m_state == ManagedObject::PendingDelete) {
            m_deleted.erase(object.get());
            object->m_state = ManagedObject::Registered;
            if (object->m_dirty)
                markUpdated(*object);
            noteChange();
        }
        return;
    }
    if (object->m_rowId != 0 || object->m_state != ManagedObject::Registered)
        return;
    const EntityDescription &entity = object->entity();
    object->m_values.resize(entity.attributes.size());
    for (size_t i = 0; i < entity.attributes.size(); ++i) {
        const bool set =
            entity.attributes[i].lazy ? bool(object->m_lazyLoaded & bit(int(i))) : bool(object->m_dirty & bit(int(i)));
        if (!set)
            object->m_values[i] = entity.attributes[i].defaultValue;
    }
    object->m_valuesLoaded = true;
    object->m_lazyLoaded = ~quint64(0);
    object->m_context = this;
    object->m_state = ManagedObject::PendingInsert;
    object->m_insertSequence = m_nextSequence++;
    m_inserted.append(object);
    noteChange();
}

void ManagedObjectContext::markUpdated(ManagedObject &object)
{
    if (object.m_context != this || refusesChange("edit"))
        return;
    if (object.m_state == ManagedObject::Registered && object.m_rowId > 0)
        m_updated.emplace(&object, object.shared_from_this());
    noteChange();
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
    noteChange();
}

void ManagedObjectContext::cutLinksTo(ManagedObject &target) { cutLinksTo(target.entity(), {&target}); }

void ManagedObjectContext::cutLinksTo(const EntityDescription &targetEntity,
                                      const std::unordered_set<const ManagedObject *> &targets)
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
    if (object->m_context != this || refusesChange("delete"))
        return;
    if (object->m_state == ManagedObject::PendingInsert) {
        forgetInserted(*object);
        return;
    }
    if (object->m_state != ManagedObject::Registered)
        return;
    object->m_state = ManagedObject::PendingDelete;
    m_updated.erase(object.get());
    m_deleted.emplace(object.get(), object);
    noteChange();
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
    return objectsOf(m_updated);
}

QList<ManagedObjectPtr> ManagedObjectContext::deletedObjects() const
{
    std::lock_guard lock(m_mutex);
    return objectsOf(m_deleted);
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
// --- fetch --------------------------------------------------------------------------------

std::optional<QList<ManagedObjectPtr>> ManagedObjectContext::execute(const FetchRequestBase &request, StoreError *error)
{
    return ContextFetcher(*this).execute(request, error);
}

std::optional<qsizetype> ManagedObjectContext::count(const FetchRequestBase &request, StoreError *error)
{
    return ContextFetcher(*this).count(request, error, false);
}

std::optional<qsizetype> ManagedObjectContext::countOnReader(const FetchRequestBase &request, StoreError *error)
{
    return ContextFetcher(*this).count(request, error, true);
}

bool ManagedObjectContext::readOnReader(const std::function<void(ManagedObjectContext &reader)> &read)
{
    const quint64 generation = m_generation;
    if (m_readOnly)
        return false;
    std::shared_ptr<PersistentStore> store;
    {
        std::lock_guard storeLock(m_storeMutex);
        store = m_store;
    }
    if (!store)
        return false;
    const bool answered = store->withReader([&](PersistentStore &reader) {
        // The reader context borrows the connection for this read only.
        ManagedObjectContext context(std::shared_ptr<PersistentStore>(std::shared_ptr<PersistentStore>(), &reader),
                                     ReadOnly{});
        SQLite::Database &database = reader.database();
        if (const std::shared_ptr<const ChangeSnapshot> changes = beginRead(reader))
            changes->adoptInto(context);
        read(context);
        database.exec("COMMIT");
    });
    // Changes made meanwhile and not written yet would be missing from what was read.
    return answered && (m_generation == generation || readsMatchStore());
}

std::shared_ptr<const ChangeSnapshot> ManagedObjectContext::beginRead(PersistentStore &reader)
{
    SQLite::Database &database = reader.database();
    // The first read fixes the snapshot. A save commits under the save lock, or without it when
    // it inserted a row, which then tells whether the snapshot holds the commit; and changes are
    // copied under the context's lock, which a save holds until it has committed.
    const auto fix = [&] {
        database.exec("BEGIN");
        database.exec("SELECT 1 FROM sqlite_master LIMIT 1");
    };
    std::unique_lock saveLock(m_saveMutex);
    for (;;) {
        if (m_saving) {
            fix();
            if (m_savingCommitted)
                return nullptr;
            if (!m_savingProbe.entity)
                return m_saving; // the commit waits for this lock
            // The commit runs without the lock: the save's first new row tells whether the
            // snapshot holds it.
            const SaveProbe probe = m_savingProbe;
            std::shared_ptr<const ChangeSnapshot> saving = m_saving;
            saveLock.unlock();
            SQLite::Statement &row = reader.statement(StoreStatements::sqlFor(*probe.entity).selectValues);
            row.bind(1, int64_t(probe.rowId));
            const bool committed = row.executeStep();
            row.reset();
            return committed ? nullptr : saving;
        }
        if (readsMatchStore()) {
            fix();
            return nullptr;
        }
        // Unsaved changes that no save writes yet: copied under the context's lock. A save
        // about to write them takes it first and publishes them at once.
        std::unique_lock contextLock(m_mutex, std::try_to_lock);
        if (contextLock.owns_lock()) {
            fix();
            QList<ManagedObjectPtr> inserts, updates, deletes;
            collectChanges(inserts, updates, deletes);
            return std::make_shared<const ChangeSnapshot>(inserts, updates, deletes);
        }
        m_saveChanged.wait_for(saveLock, std::chrono::milliseconds(1));
    }
}

bool ManagedObjectContext::validate(const FetchRequestBase &request, StoreError *error)
{
    return ContextFetcher(*this).validate(request, error);
}

quint64 ManagedObjectContext::generation() const
{
    std::lock_guard lock(m_mutex);
    return m_generation;
}

// --- batch delete and merge ---------------------------------------------------------------

std::optional<QList<qint64>> ManagedObjectContext::executeBatchDelete(const EntityDescription &entity,
                                                                      const std::optional<Predicate> &predicate,
                                                                      StoreError *error)
{
    return StoreDeletions(*this).executeBatchDelete(entity, predicate, error);
}

void ManagedObjectContext::mergeDeletedObjects(const QList<ManagedObjectPtr> &objects)
{
    StoreDeletions(*this).mergeDeletedObjects(objects);
}

void ManagedObjectContext::mergeStoreChanges(const EntityDescription &entity, const QList<qint64> &changedRows,
                                             const QList<qint64> &deletedRows)
{
    StoreDeletions(*this).mergeStoreChanges(entity, changedRows, deletedRows);
}

// --- save ---------------------------------------------------------------------------------

bool ManagedObjectContext::save(StoreError *error)
{
    if (!hasChanges())
        return true;
    ChangeWriter::EncodedTexts texts = ChangeWriter::encodeLargeTexts(*this);
    // Another connection's write (a sync import) is waited for before the lock is taken, so that
    // lists go on reading through the context meanwhile.
    std::shared_ptr<PersistentStore> writer;
    {
        std::lock_guard storeLock(m_storeMutex);
        writer = m_store;
    }
    if (writer)
        writer->waitForWriter();
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

void ManagedObjectContext::collectChanges(QList<ManagedObjectPtr> &inserts, QList<ManagedObjectPtr> &updates,
                                          QList<ManagedObjectPtr> &deletes) const
{
    // Owners before the records they own, so owned rows can point at their owner's new row.
    for (const auto &object : std::as_const(m_inserted))
        if (object->entity().ownerColumn.isEmpty())
            inserts.append(object);
    for (const auto &object : std::as_const(m_inserted))
        if (!object->entity().ownerColumn.isEmpty())
            inserts.append(object);
    for (const auto &entry : m_updated)
        updates.append(entry.second);
    for (const auto &entry : m_deleted)
        deletes.append(entry.second);
}

void ManagedObjectContext::publishSave(std::shared_ptr<const ChangeSnapshot> changes)
{
    {
        std::lock_guard saveLock(m_saveMutex);
        m_saving = std::move(changes);
        m_savingCommitted = false;
        m_savingProbe = {};
    }
    m_saveChanged.notify_all();
}

bool ManagedObjectContext::writeChanges(StoreError *error, ChangeWriter::EncodedTexts &texts, bool &large)
{
    if (!hasChanges())
        return true;
    QList<ManagedObjectPtr> inserts, updates, deletes;
    collectChanges(inserts, updates, deletes);
    qint64 payloadBytes = 0;
    for (const auto *changed : {&inserts, &updates}) {
        for (const auto &object : *changed)
            payloadBytes += object->lazyPayloadBytes();
    }
    // Readers take the changes in while the save writes them; taken back once it has settled its
    // records, or failed.
    publishSave(std::make_shared<const ChangeSnapshot>(inserts, updates, deletes));
    struct Publication {
        ManagedObjectContext &context;
        ~Publication() { context.publishSave(nullptr); }
    } publication{*this};
    if (!ChangeWriter(*this, texts).write(inserts, updates, deletes, error))
        return false;

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
    noteChange();
    large = payloadBytes >= kCheckpointAfterBytes;
    return true;
}

void ManagedObjectContext::commitSave(SQLite::Transaction &transaction, const ManagedObject *firstInsert)
{
    std::unique_lock saveLock(m_saveMutex);
    if (firstInsert && firstInsert->m_rowId > 0) {
        // Readers tell by this row whether their snapshot holds the commit: it runs without the
        // lock (the commit of a large copy rewrites much of the log's frames).
        m_savingProbe = {&firstInsert->entity(), firstInsert->m_rowId};
        saveLock.unlock();
        transaction.commit();
        saveLock.lock();
    } else {
        transaction.commit();
    }
    m_savingCommitted = true;
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
        LOG_WARNING("ManagedObjectContext::checkpoint()",
                    QStringLiteral("Checkpoint failed. ") + storeFailureKind(error));
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
