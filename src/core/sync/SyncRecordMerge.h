#pragma once
// Merges one record of another device into the store through the journal: last writer wins per
// attribute on (time, device); a deletion is final for its record unless the record is inserted
// anew later; links travel as added or removed pairs, and a link whose item or category has not
// arrived waits for it. Refuses malformed records and those stamped too far ahead. Sync engine
// thread, inside the importer's transaction.

#include "core/sync/SyncImporter.h"
#include "core/sync/SyncJournal.h"
#include "core/sync/SyncRecords.h"

#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>

class SyncRecordMerge {
public:
    // Longest record id taken in.
    static constexpr qsizetype kMaxIdLength = 256;

    SyncRecordMerge(SyncJournal &journal, const std::function<qint64()> &now);

    // Why a record must be refused, or nothing when it is well formed.
    std::optional<QString> refusal(const QJsonObject &record) const;
    void apply(const QString &device, const QJsonObject &record, const SyncRecords::BlobContents &blobs,
               SyncImporter::Result &result);
    // Keeps a well-formed record until what it needs arrives.
    void wait(const QString &device, const QJsonObject &record);
    // Whether newer stamps have replaced all a waiting record would write.
    bool isSuperseded(const QString &device, const QJsonObject &record);

private:
    void applyEntity(const SyncEntity &entity, const QString &id, const QString &op, const SyncStamp &stamp,
                     const QJsonObject &record, const SyncRecords::BlobContents &blobs, SyncImporter::Result &result);
    void applyLink(const QString &id, bool linked, const SyncStamp &stamp, SyncImporter::Result &result);
    // Links that arrived before their item or category.
    void applyWaitingLinks(const SyncEntity &entity, const QString &id, SyncImporter::Result &result);
    bool setLink(const QString &itemId, const QString &categoryId, bool linked, SyncImporter::Result &result);

    SyncJournal &m_journal;
    const std::function<qint64()> &m_now;
};
