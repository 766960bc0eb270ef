#pragma once
// The records that travel in segments: reading a stored record's attributes into the wire form
// and writing wire values back, checking each value's type against the attribute's. A large text
// or binary value travels as a blob reference (see SyncBlobs). Used on the sync engine's thread
// with the journal's connection.

#include "core/sync/SyncJournal.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

#include <functional>

namespace SyncRecords {
// Turns a value of at least SyncBlobs::kThreshold bytes into its wire form (a blob reference).
using LargeValue = std::function<QJsonValue(const QByteArray &bytes)>;
// Blob contents by hash, for writing values that arrived as references.
using BlobContents = QHash<QString, QByteArray>;

// The stored row of a record: attribute -> wire value (only those in `mask`; -1: all), and
// its pasteboards when asked. Absent when no row has the id.
struct Row {
    qint64 rowId = 0;
    QJsonObject attributes;
    std::optional<QJsonArray> pasteboards; // [[type, base64 data or blob reference], ...]
};
std::optional<Row> read(SyncJournal &journal, const SyncEntity &entity, const QString &id, qint64 mask,
                        const LargeValue &large = {});
qint64 rowIdOf(SyncJournal &journal, const SyncEntity &entity, const QString &id);

// Whether a wire value fits the attribute (null always does; a blob reference fits text and data).
bool fits(const SyncEntity &entity, int attribute, const QJsonValue &value);
bool pasteboardsFit(const QJsonValue &value);

// Writes values into an existing row, or inserts a row; returns the row id (0 on failure).
qint64 write(SyncJournal &journal, const SyncEntity &entity, const QString &id, qint64 rowId,
             const QJsonObject &attributes, const BlobContents &blobs = {});
void replacePasteboards(SyncJournal &journal, qint64 itemRowId, const QJsonArray &pasteboards,
                        const BlobContents &blobs = {});
// The same for a row just inserted, which has none yet.
void addPasteboards(SyncJournal &journal, qint64 itemRowId, const QJsonArray &pasteboards,
                    const BlobContents &blobs = {});
} // namespace SyncRecords
