#pragma once
// The records that travel in segments: reading a stored record's attributes into the wire form
// and writing wire values back, checking each value's type against the attribute's. Used on the
// sync engine's thread with the journal's connection.

#include "core/sync/SyncJournal.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

namespace SyncRecords {
// The stored row of a record: attribute -> wire value (only those in `mask`; -1: all), and
// its pasteboards when asked. Absent when no row has the id.
struct Row {
    qint64 rowId = 0;
    QJsonObject attributes;
    std::optional<QJsonArray> pasteboards; // [[type, base64 data], ...]
};
std::optional<Row> read(SQLite::Database &database, const SyncEntity &entity, const QString &id, qint64 mask);
qint64 rowIdOf(SQLite::Database &database, const SyncEntity &entity, const QString &id);

// Whether a wire value fits the attribute (null always does).
bool fits(const SyncEntity &entity, int attribute, const QJsonValue &value);
bool pasteboardsFit(const QJsonValue &value);

// Writes values into an existing row, or inserts a row; returns the row id (0 on failure).
qint64 write(SQLite::Database &database, const SyncEntity &entity, const QString &id, qint64 rowId,
             const QJsonObject &attributes);
void replacePasteboards(SQLite::Database &database, qint64 itemRowId, const QJsonArray &pasteboards);
} // namespace SyncRecords
