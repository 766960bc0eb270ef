#include "core/store/ChangeSnapshot.h"

#include "core/store/ManagedObjectContext.h"

#include <optional>
#include <unordered_map>

ChangeSnapshot::ChangeSnapshot(const QList<ManagedObjectPtr> &inserts, const QList<ManagedObjectPtr> &updates,
                               const QList<ManagedObjectPtr> &deletes)
{
    std::unordered_map<const ManagedObject *, int> insertIndex;
    for (const auto &object : inserts)
        insertIndex.emplace(object.get(), int(insertIndex.size()));
    // Members that left the store (a batch delete not merged yet) or the context are left out.
    const auto member = [&](const ManagedObject &object) -> std::optional<Member> {
        if (object.m_state == ManagedObject::PendingInsert) {
            const auto found = insertIndex.find(&object);
            return found == insertIndex.end() ? std::nullopt : std::optional(Member{0, found->second});
        }
        if ((object.m_state == ManagedObject::Registered || object.m_state == ManagedObject::PendingDelete)
            && object.m_rowId > 0)
            return Member{object.m_rowId, -1};
        return std::nullopt;
    };
    const auto copy = [&](const ManagedObject &object) {
        Record record;
        record.entity = &object.entity();
        record.rowId = object.m_state == ManagedObject::PendingInsert ? 0 : object.m_rowId;
        record.insertSequence = object.m_insertSequence;
        record.valuesLoaded = object.m_valuesLoaded;
        record.lazyLoaded = object.m_lazyLoaded;
        record.dirty = object.m_dirty;
        record.values = object.m_values;
        if (const ManagedObject::Links *links = object.m_links.get()) {
            record.hasLinks = true;
            record.relationships.resize(links->relationships.size());
            for (size_t i = 0; i < links->relationships.size(); ++i) {
                const auto &state = links->relationships[i];
                Relationship &relationship = record.relationships[i];
                relationship.loaded = state.loaded;
                relationship.dirty = state.dirty;
                if (!state.loaded)
                    continue;
                relationship.members.reserve(state.objects.size());
                for (const auto &object : state.objects)
                    if (const auto found = member(*object))
                        relationship.members.append(*found);
            }
            record.ownerLoaded = links->ownerLoaded;
            record.ownerDirty = links->ownerDirty;
            if (const auto owner = links->owner.lock())
                record.owner = member(*owner).value_or(Member{});
            else
                record.owner = Member{links->ownerRowId, -1};
        }
        return record;
    };
    m_inserts.reserve(size_t(inserts.size()));
    for (const auto &object : inserts)
        m_inserts.push_back(copy(*object));
    m_updates.reserve(size_t(updates.size()));
    for (const auto &object : updates)
        m_updates.push_back(copy(*object));
    m_deletes.reserve(size_t(deletes.size()));
    for (const auto &object : deletes)
        m_deletes.emplace_back(&object->entity(), object->m_rowId);
}

void ChangeSnapshot::adoptInto(ManagedObjectContext &reader) const
{
    std::vector<ManagedObjectPtr> inserted;
    inserted.reserve(m_inserts.size());
    for (const Record &record : m_inserts) {
        ManagedObjectPtr object = record.entity->make();
        object->m_context = &reader;
        object->m_state = ManagedObject::PendingInsert;
        object->m_insertSequence = record.insertSequence;
        reader.m_inserted.append(object);
        inserted.push_back(std::move(object));
    }
    // Deleted rows first: links read from the store leave them out.
    for (const auto &[entity, rowId] : m_deletes) {
        ManagedObjectPtr object = reader.objectForRow(*entity, rowId);
        object->m_state = ManagedObject::PendingDelete;
        reader.m_deleted.emplace(object.get(), object);
    }
    for (size_t i = 0; i < m_inserts.size(); ++i)
        fill(m_inserts[i], *inserted[i], reader, inserted);
    for (const Record &record : m_updates) {
        ManagedObjectPtr object = reader.objectForRow(*record.entity, record.rowId);
        fill(record, *object, reader, inserted);
        reader.m_updated.emplace(object.get(), object);
    }
    reader.noteChange();
}

void ChangeSnapshot::fill(const Record &record, ManagedObject &object, ManagedObjectContext &reader,
                          const std::vector<ManagedObjectPtr> &inserted) const
{
    object.m_values = record.values;
    object.m_valuesLoaded = record.valuesLoaded;
    object.m_lazyLoaded = record.lazyLoaded;
    object.m_dirty = record.dirty;
    if (!record.hasLinks)
        return;
    const auto resolve = [&](const Member &member, const EntityDescription &entity) {
        return member.insert >= 0 ? inserted[size_t(member.insert)] : reader.objectForRow(entity, member.rowId);
    };
    ManagedObject::Links &links = object.links();
    const auto &relationships = object.entity().relationships;
    for (size_t i = 0; i < record.relationships.size() && i < relationships.size(); ++i) {
        const Relationship &relationship = record.relationships[i];
        auto &state = links.relationships[i];
        state.loaded = relationship.loaded;
        state.dirty = relationship.dirty;
        state.objects.clear();
        for (const Member &member : relationship.members)
            state.objects.append(resolve(member, relationships[i].target()));
    }
    links.ownerLoaded = record.ownerLoaded;
    links.ownerDirty = record.ownerDirty;
    links.ownerRowId = record.owner.rowId;
    if (record.owner.insert >= 0)
        links.owner = inserted[size_t(record.owner.insert)];
}
