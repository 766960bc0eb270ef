#include "core/store/ManagedObject.h"

#include "core/store/ManagedObjectContext.h"
#include "core/store/RecordLoader.h"

#include <tuple>

namespace {
std::unique_lock<std::recursive_mutex> lockContext(ManagedObjectContext *context)
{
    return context ? std::unique_lock<std::recursive_mutex>(context->mutex())
                   : std::unique_lock<std::recursive_mutex>();
}

quint64 bit(int index) { return quint64(1) << index; }
} // namespace

ManagedObject::ManagedObject(const EntityDescription &entity) : m_entity(&entity)
{
    Q_ASSERT(entity.attributes.size() <= 64);
}

ManagedObject::~ManagedObject() = default;

bool ManagedObject::isInserted() const
{
    auto lock = lockContext(m_context);
    return m_state == PendingInsert;
}

bool ManagedObject::isUpdated() const
{
    ManagedObjectContext *context = m_context;
    auto lock = lockContext(context);
    return context && m_state == Registered && context->m_updated.count(const_cast<ManagedObject *>(this));
}

bool ManagedObject::isDeleted() const
{
    auto lock = lockContext(m_context);
    return m_state == PendingDelete || m_state == StoreDeleted || m_state == Removed;
}

bool ManagedObject::isFault() const
{
    auto lock = lockContext(m_context);
    return m_rowId > 0 && !m_valuesLoaded;
}

bool ManagedObject::hasChanges() const { return isInserted() || isUpdated() || (m_state == PendingDelete); }

quint32 ManagedObject::readFailureCount() const
{
    auto lock = lockContext(m_context);
    return m_readFailures;
}

QVariant ManagedObject::valueForKey(const QString &key) const
{
    const int index = m_entity->attributeIndex(key);
    return index < 0 ? QVariant() : attribute(index);
}

void ManagedObject::setValueForKey(const QString &key, const QVariant &value)
{
    const int index = m_entity->attributeIndex(key);
    if (index >= 0)
        setAttribute(index, value);
}

const StoreValue &ManagedObject::storeValue(int index)
{
    const AttributeDescription &description = m_entity->attribute(index);
    ManagedObjectContext *context = m_context;
    if (m_values.size() != m_entity->attributes.size())
        m_values.resize(m_entity->attributes.size());
    const bool stored = context && m_rowId > 0;
    if (description.lazy) {
        if (!(m_lazyLoaded & bit(index))) {
            bool loaded = true;
            if (stored)
                loaded = RecordLoader(*context).loadLazyValue(*this, index);
            else
                m_values[size_t(index)] = description.defaultValue;
            if (loaded)
                m_lazyLoaded |= bit(index);
        }
    } else if (!m_valuesLoaded) {
        bool loaded = true;
        if (stored) {
            loaded = RecordLoader(*context).loadValues(*this);
        } else {
            for (size_t i = 0; i < m_entity->attributes.size(); ++i)
                if (!m_entity->attributes[i].lazy)
                    m_values[i] = m_entity->attributes[i].defaultValue;
        }
        m_valuesLoaded = loaded;
    }
    return m_values[size_t(index)];
}

QVariant ManagedObject::attribute(int index) const
{
    auto lock = lockContext(m_context);
    auto *self = const_cast<ManagedObject *>(this);
    return StoreValues::toVariant(m_entity->attribute(index).type, self->storeValue(index));
}

QVariant ManagedObject::attributeHead(int index, qsizetype headLength, qsizetype wholeLimit, bool *whole) const
{
    auto lock = lockContext(m_context);
    auto *self = const_cast<ManagedObject *>(this);
    const AttributeDescription &description = m_entity->attribute(index);
    StoreValue value;
    qint64 length = 0;
    if (description.lazy && !(m_lazyLoaded & bit(index)) && m_context && m_rowId > 0) {
        std::tie(value, length) = RecordLoader(*m_context).loadLazyPrefix(*self, index, headLength, wholeLimit);
    } else {
        value = self->storeValue(index);
        if (const auto *text = std::get_if<QString>(&value)) {
            length = text->size();
            if (length > wholeLimit)
                value = text->left(headLength);
        } else if (const auto *bytes = std::get_if<QByteArray>(&value)) {
            length = bytes->size();
            if (length > wholeLimit)
                value = bytes->left(headLength);
        }
    }
    if (whole)
        *whole = length <= wholeLimit;
    return StoreValues::toVariant(description.type, value);
}

qint64 ManagedObject::lazyPayloadBytes() const
{
    qint64 bytes = 0;
    for (size_t i = 0; i < m_entity->attributes.size() && i < m_values.size(); ++i) {
        if (!m_entity->attributes[i].lazy || !(m_dirty & bit(int(i))))
            continue;
        if (const auto *text = std::get_if<QString>(&m_values[i]))
            bytes += text->size() * 2;
        else if (const auto *data = std::get_if<QByteArray>(&m_values[i]))
            bytes += data->size();
    }
    return bytes;
}

void ManagedObject::setAttribute(int index, const QVariant &value)
{
    ManagedObjectContext *context = m_context;
    auto lock = lockContext(context);
    const AttributeDescription &description = m_entity->attribute(index);
    StoreValue stored = StoreValues::fromVariant(description.type, value);
    if (StoreValues::isNull(stored))
        stored = description.defaultValue; // non-optional attributes fall back to their default
    if (description.lazy) {
        if (m_values.size() != m_entity->attributes.size())
            m_values.resize(m_entity->attributes.size());
        m_lazyLoaded |= bit(index);
    } else if (StoreValues::compare(storeValue(index), stored) == 0) {
        return;
    }
    m_values[size_t(index)] = std::move(stored);
    m_dirty |= bit(index);
    if (context)
        context->markUpdated(*this);
}

ManagedObject::Links &ManagedObject::links()
{
    if (!m_links) {
        m_links = std::make_unique<Links>();
        m_links->relationships.resize(m_entity->relationships.size());
    }
    return *m_links;
}

const QList<std::shared_ptr<ManagedObject>> &ManagedObject::relationshipObjects(int index)
{
    RelationshipState &state = links().relationships[size_t(index)];
    if (!state.loaded) {
        ManagedObjectContext *context = m_context;
        state.loaded = !(context && m_rowId > 0) || RecordLoader(*context).loadRelationship(*this, index);
    }
    return state.objects;
}

QList<std::shared_ptr<ManagedObject>> ManagedObject::relationship(int index) const
{
    auto lock = lockContext(m_context);
    return const_cast<ManagedObject *>(this)->relationshipObjects(index);
}

void ManagedObject::addToRelationship(int index, const QList<std::shared_ptr<ManagedObject>> &objects)
{
    ManagedObjectContext *context = m_context;
    auto lock = lockContext(context);
    const RelationshipDescription &description = m_entity->relationships[size_t(index)];
    relationshipObjects(index);
    RelationshipState &state = links().relationships[size_t(index)];
    bool changed = false;
    for (const auto &object : objects) {
        if (!object || &object->entity() != &description.target() || state.objects.contains(object))
            continue;
        if (context && !object->m_context && object->m_rowId == 0 && object->m_state == Registered)
            context->insert(object);
        state.objects.append(object);
        changed = true;
        if (description.kind == RelationshipDescription::Kind::OwnedMany) {
            if (auto previous = object->owner(); previous && previous.get() != this) {
                previous->removeFromRelationship(index, object);
            }
            object->setOwner(shared_from_this());
        }
    }
    if (changed) {
        state.dirty = true;
        if (context)
            context->markUpdated(*this);
    }
}

void ManagedObject::removeFromRelationship(int index, const std::shared_ptr<ManagedObject> &object)
{
    ManagedObjectContext *context = m_context;
    auto lock = lockContext(context);
    relationshipObjects(index);
    RelationshipState &state = links().relationships[size_t(index)];
    if (!state.objects.removeOne(object))
        return;
    state.dirty = true;
    if (context)
        context->markUpdated(*this);
    if (m_entity->relationships[size_t(index)].kind == RelationshipDescription::Kind::OwnedMany)
        object->setOwner(nullptr);
}

std::shared_ptr<ManagedObject> ManagedObject::owner() const
{
    ManagedObjectContext *context = m_context;
    auto lock = lockContext(context);
    if (m_entity->ownerColumn.isEmpty())
        return nullptr;
    auto *self = const_cast<ManagedObject *>(this);
    Links &links = self->links();
    if (!links.ownerLoaded)
        links.ownerLoaded = !(context && m_rowId > 0) || RecordLoader(*context).loadOwner(*self);
    if (auto owner = links.owner.lock())
        return owner;
    if (context && links.ownerRowId > 0) {
        auto owner = context->objectForRow(m_entity->ownerEntity(), links.ownerRowId);
        links.owner = owner;
        return owner;
    }
    return nullptr;
}

void ManagedObject::setOwner(const std::shared_ptr<ManagedObject> &owner)
{
    Links &links = this->links();
    links.owner = owner;
    links.ownerRowId = owner ? owner->m_rowId : 0;
    links.ownerLoaded = true;
    links.ownerDirty = true;
    if (m_context)
        m_context->markUpdated(*this);
}
