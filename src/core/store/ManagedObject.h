#pragma once
// One record of the history model, registered in a ManagedObjectContext. A record fetched from
// the store starts as a fault: only its row id is known, its attributes load on first use,
// payload attributes (lazy) and relationships separately. Changes mark the record updated in
// its context until the next save. All accessors take the context's lock; any thread.

#include "core/store/EntityDescription.h"

#include <QList>
#include <QVariant>

#include <memory>

class ManagedObjectContext;

class ManagedObject : public std::enable_shared_from_this<ManagedObject> {
public:
    virtual ~ManagedObject();
    ManagedObject(const ManagedObject &) = delete;
    ManagedObject &operator=(const ManagedObject &) = delete;

    const EntityDescription &entity() const { return *m_entity; }
    // The context the record is registered in; null once removed (deleted and saved, merged).
    ManagedObjectContext *managedObjectContext() const { return m_context; }
    // The row id in the store; 0 until the record is saved.
    qint64 objectID() const { return m_rowId; }

    bool isInserted() const;
    bool isUpdated() const;
    bool isDeleted() const;
    bool isFault() const;
    bool hasChanges() const;
    // How many times loading this record's values or relationships from the store failed. What
    // such a load yields is a default, not the stored value: a reader compares the count before
    // and after reading to tell an empty record from one it could not read.
    quint32 readFailureCount() const;

    // Generic access by attribute name (tests, sorting, logs).
    QVariant valueForKey(const QString &key) const;
    void setValueForKey(const QString &key, const QVariant &value);

    // The canonical value of attribute `index`, loading it when needed. Context lock held.
    const StoreValue &storeValue(int index);
    // The members of relationship `index`, loading them when needed. Context lock held.
    const QList<std::shared_ptr<ManagedObject>> &relationshipObjects(int index);

protected:
    explicit ManagedObject(const EntityDescription &entity);

    QVariant attribute(int index) const;
    void setAttribute(int index, const QVariant &value);
    // A lazy attribute without loading all of it: the whole value when its length (characters
    // for text, bytes for binary) is at most `wholeLimit`, else its first `headLength`; and
    // whether that is the whole value.
    QVariant attributeHead(int index, qsizetype headLength, qsizetype wholeLimit, bool *whole = nullptr) const;
    QList<std::shared_ptr<ManagedObject>> relationship(int index) const;
    void addToRelationship(int index, const QList<std::shared_ptr<ManagedObject>> &objects);
    void removeFromRelationship(int index, const std::shared_ptr<ManagedObject> &object);
    // The record this one belongs to (entities with an owner column).
    std::shared_ptr<ManagedObject> owner() const;

    template <class T>
    static QList<std::shared_ptr<T>> cast(const QList<std::shared_ptr<ManagedObject>> &objects)
    {
        QList<std::shared_ptr<T>> result;
        result.reserve(objects.size());
        for (const auto &object : objects)
            if (auto typed = std::dynamic_pointer_cast<T>(object))
                result.append(typed);
        return result;
    }

private:
    friend class ManagedObjectContext;
    friend class RecordLoader;
    friend class ContextFetcher;
    friend class StoreDeletions;
    friend class ChangeWriter;
    friend class ChangeSnapshot;

    struct RelationshipState {
        bool loaded = false;
        bool dirty = false;
        QList<std::shared_ptr<ManagedObject>> objects;
    };
    struct Links {
        std::vector<RelationshipState> relationships;
        std::weak_ptr<ManagedObject> owner;
        qint64 ownerRowId = 0;
        bool ownerLoaded = false;
        bool ownerDirty = false;
    };

    enum State : quint8 { Registered = 0, PendingInsert, PendingDelete, StoreDeleted, Removed };

    Links &links();
    // Bytes of the changed lazy values (what a save writes of the payloads).
    qint64 lazyPayloadBytes() const;
    void loadValues();
    void setOwner(const std::shared_ptr<ManagedObject> &owner);

    const EntityDescription *m_entity;
    ManagedObjectContext *m_context = nullptr;
    qint64 m_rowId = 0;
    quint64 m_insertSequence = 0;
    State m_state = Registered;
    bool m_valuesLoaded = false;
    quint16 m_readFailures = 0;
    quint64 m_lazyLoaded = 0;
    quint64 m_dirty = 0;
    std::vector<StoreValue> m_values;
    std::unique_ptr<Links> m_links;
};

using ManagedObjectPtr = std::shared_ptr<ManagedObject>;
