#pragma once
// The store's side of sync, on a connection of its own to the store file: a change log filled by
// triggers in each change's own transaction (so saves, batch deletes and other connections are all
// seen), the device id, the read position (cursor) per other device, and the last-writer stamp of
// every synced attribute. Used by one thread at a time (the sync engine's).

#include "core/store/EntityDescription.h"
#include "core/store/PersistentStore.h"

#include <QHash>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// An entity as sync sees it: its records keyed by a global id column, the attributes that travel.
struct SyncEntity {
    QString kind; // "item", "category"; links are "link"
    QString table;
    QString idColumn; // the global id
    QStringList attributes;
    QList<int> types;           // AttributeType of each attribute
    QList<StoreValue> defaults; // what a null becomes (null for optional attributes)
    bool hasPasteboards = false;

    static const SyncEntity &item();
    static const SyncEntity &category();
    static const SyncEntity *byKind(const QString &kind);
    // Bit of the pasteboards pseudo-attribute in a change mask.
    int pasteboardsBit() const { return int(attributes.size()); }
};

// Who wrote a value and when; the later (time, then device) wins.
struct SyncStamp {
    qint64 time = 0;
    QString device;
    bool operator<(const SyncStamp &other) const
    {
        return time != other.time ? time < other.time : device < other.device;
    }
    bool isNull() const { return device.isEmpty(); }
};

class SyncJournal {
public:
    static inline const QString kLinkKind = QStringLiteral("link");
    static inline const QString kDeleted = QStringLiteral("_del");
    static inline const QString kInserted = QStringLiteral("_put"); // who inserted the record, and when
    static inline const QString kLinked = QStringLiteral("_in");
    enum Operation { Insert = 0, Update = 1, Delete = 2, LinkAdd = 3, LinkRemove = 4 };

    // Opens a connection to the store file; nothing when it cannot be opened.
    static std::unique_ptr<SyncJournal> open(const QString &storePath, QString *error = nullptr);

    SQLite::Database &database() { return m_store->database(); }
    // A prepared statement kept for reuse (see PersistentStore::statement).
    SQLite::Statement &statement(const QString &sql) { return m_store->statement(sql); }

    // Creates the tables and turns the change triggers on. True when they were off, so changes
    // made meanwhile were not logged and the whole store must be exported again.
    bool install();
    // Turns the change triggers off (sync switched off: nothing may pile up).
    void uninstall();
    // Logs every stored record as inserted (after a gap in the log).
    void logEverything();
    // Pauses the change log inside a transaction that writes what other devices changed.
    void setLogging(bool on);

    QString deviceId();
    std::optional<QString> meta(const QString &key);
    void setMeta(const QString &key, const QString &value);
    quint64 cursor(const QString &device);
    void setCursor(const QString &device, quint64 number);

    // Stamps of one record: attribute -> [time, device] (a pending value rides as a third element).
    QJsonObject stamps(const QString &kind, const QString &id);
    void setStamps(const QString &kind, const QString &id, const QJsonObject &stamps);
    // The stored stamps with `newer` written over them.
    void setStamps(const QString &kind, const QString &id, const QJsonObject &stamps,
                   const QMap<QString, SyncStamp> &newer);
    static SyncStamp stampOf(const QJsonObject &stamps, const QString &attribute);
    static QJsonArray stampValue(const SyncStamp &stamp);

    // Copies what the write-ahead log holds into the store file, as far as readers allow.
    void checkpoint();

    // The latest change of a record logged here and not exported yet, if any.
    std::optional<Operation> pendingOperation(const QString &kind, const QString &id);

    // The highest change number so far (changes an import makes above it are its own).
    qint64 lastChange();
    void forgetChangesAfter(qint64 change);

private:
    explicit SyncJournal(std::shared_ptr<PersistentStore> store);
    void upgradeClock();
    bool hasTriggers();
    void writeStamps(const QString &kind, const QString &id, const QByteArray &encoded);

    std::shared_ptr<PersistentStore> m_store;
    QString m_deviceId;
};
