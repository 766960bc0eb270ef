#pragma once
// Large values (a big text, an image, any representation of at least kThreshold bytes) travel as
// sealed blobs in the writing device's folder, named by a keyed hash of their content and written
// once; records carry only a reference {"b": hash, "n": size}. This device remembers the highest
// segment or snapshot number that refers to each of its blobs, so a blob goes once no kept file
// refers to it. Reads check the name, the size and the seal before a byte is used. Sync engine
// thread.

#include "core/sync/SyncFolder.h"
#include "core/sync/SyncJournal.h"

#include <QHash>
#include <QJsonValue>

#include <variant>

class SyncBlobs {
public:
    static constexpr qint64 kThreshold = 256 * 1024;
    static constexpr qint64 kMaxBytes = 1024LL * 1024 * 1024;

    struct Ref {
        QString hash;
        qint64 size = 0;
    };
    // A valid reference (64 hex digits, a size in range), or nothing.
    static std::optional<Ref> refOf(const QJsonValue &value);
    static QJsonObject refValue(const Ref &ref);
    static QString fileName(const QString &hash);
    // Every reference a wire record holds (attributes and pasteboards).
    static QList<Ref> refsIn(const QJsonObject &record);

    SyncBlobs(SyncJournal &journal, const SyncFolder &folder, const SyncKey &key);
    void setBudget(qint64 bytes) { m_budget = bytes; }

    // Writes the blob unless this device already has it. Its use is noted apart, in the writer's
    // own transaction: a writer reads rows while it puts blobs, and may not write to the store then.
    std::variant<Ref, SyncFailure> put(const QByteArray &plain);
    // Notes that this device's file `usedBy` refers to the blob.
    void noteUse(const QString &hash, quint64 usedBy);

    enum class State { Ready, Missing, Damaged };
    // Reads a blob from the device that referred to it (or, content-addressed as it is, from any
    // other device that has it). Damaged: present but not what its name and size promise.
    State fetch(const QString &device, const Ref &ref, QByteArray *plain) const;

    // Removes this device's blobs that only files numbered below `oldestKept` referred to.
    int collect(quint64 oldestKept);

private:
    State fetchFrom(const QString &device, const Ref &ref, QByteArray *plain) const;

    SyncJournal &m_journal;
    const SyncFolder &m_folder;
    const SyncKey &m_key;
    qint64 m_budget = 0;
};
