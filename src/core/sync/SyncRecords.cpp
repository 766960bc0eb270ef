#include "core/sync/SyncRecords.h"

#include "core/store/EntityDescription.h"
#include "core/store/SqlIdentifier.h"
#include "core/store/StoreStatements.h"
#include "core/sync/SyncBlobs.h"

#include <SQLiteCpp/Statement.h>

namespace {
QJsonValue wireValue(const SQLite::Column &column, int type, const SyncRecords::LargeValue &large)
{
    if (column.isNull())
        return QJsonValue::Null;
    const bool binary = AttributeType(type) == AttributeType::Binary;
    if (binary || AttributeType(type) == AttributeType::String) {
        if (!binary && column.isInteger())
            return double(column.getInt64()); // a number in a text column goes out as it is
        const QByteArray bytes(static_cast<const char *>(column.getBlob()), column.getBytes());
        if (large && bytes.size() >= SyncBlobs::kThreshold)
            return large(bytes);
        return binary ? QJsonValue(QString::fromLatin1(bytes.toBase64())) : QJsonValue(QString::fromUtf8(bytes));
    }
    if (column.isInteger())
        return double(column.getInt64());
    return QString::fromStdString(column.getString());
}

void bindWire(SQLite::Statement &statement, int index, const QJsonValue &value, int type,
              const SyncRecords::BlobContents &blobs)
{
    if (value.isNull() || value.isUndefined()) {
        statement.bind(index);
        return;
    }
    if (const std::optional<SyncBlobs::Ref> ref = SyncBlobs::refOf(value)) {
        const QByteArray bytes = blobs.value(ref->hash);
        if (AttributeType(type) == AttributeType::Binary)
            statement.bind(index, bytes.constData(), int(bytes.size()));
        else
            statement.bind(index, bytes.toStdString());
        return;
    }
    switch (AttributeType(type)) {
    case AttributeType::Binary: {
        const QByteArray bytes = QByteArray::fromBase64(value.toString().toLatin1());
        statement.bind(index, bytes.constData(), int(bytes.size()));
        return;
    }
    case AttributeType::Boolean:
    case AttributeType::Integer64:
    case AttributeType::Date: statement.bind(index, int64_t(value.toDouble())); return;
    case AttributeType::String:
    case AttributeType::UUID: statement.bind(index, value.toString().toStdString()); return;
    }
}

bool isBase64(const QString &text)
{
    return QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors).decodingStatus
           == QByteArray::Base64DecodingStatus::Ok;
}

// The statements an import runs for every record, built once per entity and column set (the
// key: a mask of the attributes written, with the kind of statement in high bits).
constexpr qint64 kUpdateBit = qint64(1) << 61;
constexpr qint64 kInsertBit = qint64(1) << 62;
const QString &cachedSql(const SyncEntity &entity, qint64 key, const std::function<QString()> &build)
{
    thread_local QHash<QPair<const SyncEntity *, qint64>, QString> cache;
    auto it = cache.find({&entity, key});
    if (it == cache.end())
        it = cache.insert({&entity, key}, build());
    return *it;
}

} // namespace

namespace SyncRecords {

qint64 rowIdOf(SyncJournal &journal, const SyncEntity &entity, const QString &id)
{
    SQLite::Statement &statement = journal.statement(cachedSql(entity, -1, [&] {
        return QStringLiteral("SELECT \"pk\" FROM %1 WHERE %2 = ? ORDER BY \"pk\" LIMIT 1")
            .arg(quoted(entity.table), quoted(entity.idColumn));
    }));
    statement.bind(1, id.toStdString());
    const qint64 row = statement.executeStep() ? statement.getColumn(0).getInt64() : 0;
    statement.reset();
    return row;
}

std::optional<Row> read(SyncJournal &journal, const SyncEntity &entity, const QString &id, qint64 mask,
                        const LargeValue &large)
{
    QStringList columns{QStringLiteral("\"pk\"")};
    for (const QString &attribute : entity.attributes)
        columns << quoted(attribute);
    Row row;
    {
        SQLite::Statement &statement =
            journal.statement(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY \"pk\" LIMIT 1")
                                  .arg(columns.join(QLatin1Char(',')), quoted(entity.table), quoted(entity.idColumn)));
        statement.bind(1, id.toStdString());
        if (!statement.executeStep()) {
            statement.reset();
            return std::nullopt;
        }
        row.rowId = statement.getColumn(0).getInt64();
        for (int i = 0; i < entity.attributes.size(); ++i)
            if (mask & (qint64(1) << i))
                row.attributes.insert(entity.attributes[i],
                                      wireValue(statement.getColumn(i + 1), entity.types[i], large));
        statement.reset();
    }
    if (entity.hasPasteboards && (mask & (qint64(1) << entity.pasteboardsBit()))) {
        SQLite::Statement &pasteboards = journal.statement(QStringLiteral(
            "SELECT \"type\", \"data\" FROM \"PBPasteboardDataRecord\" WHERE \"item\" = ? ORDER BY \"pk\""));
        pasteboards.bind(1, int64_t(row.rowId));
        QJsonArray list;
        while (pasteboards.executeStep())
            list.append(QJsonArray{QString::fromStdString(pasteboards.getColumn(0).getString()),
                                   wireValue(pasteboards.getColumn(1), int(AttributeType::Binary), large)});
        pasteboards.reset();
        row.pasteboards = list;
    }
    return row;
}

bool fits(const SyncEntity &entity, int attribute, const QJsonValue &value)
{
    if (value.isNull())
        return true;
    switch (AttributeType(entity.types[attribute])) {
    case AttributeType::Binary: return (value.isString() && isBase64(value.toString())) || SyncBlobs::refOf(value);
    case AttributeType::Boolean: return value.isDouble() && (value.toDouble() == 0 || value.toDouble() == 1);
    case AttributeType::Integer64:
    case AttributeType::Date:
        return value.isDouble() && std::abs(value.toDouble()) < 9.0e15
               && value.toDouble() == std::floor(value.toDouble());
    case AttributeType::String: return value.isString() || SyncBlobs::refOf(value);
    case AttributeType::UUID: return value.isString();
    }
    return false;
}

bool pasteboardsFit(const QJsonValue &value)
{
    if (!value.isArray())
        return false;
    for (const QJsonValue &entry : value.toArray()) {
        const QJsonArray pair = entry.toArray();
        if (pair.size() != 2 || !pair.at(0).isString()
            || !(pair.at(1).isNull() || (pair.at(1).isString() && isBase64(pair.at(1).toString()))
                 || SyncBlobs::refOf(pair.at(1))))
            return false;
    }
    return true;
}

qint64 write(SyncJournal &journal, const SyncEntity &entity, const QString &id, qint64 rowId,
             const QJsonObject &attributes, const BlobContents &blobs)
{
    QList<int> indexes;
    qint64 mask = 0;
    for (int i = 0; i < entity.attributes.size(); ++i) {
        if (attributes.contains(entity.attributes[i])) {
            indexes << i;
            mask |= qint64(1) << i;
        }
    }
    auto names = [&] {
        QStringList names;
        for (int index : std::as_const(indexes))
            names << entity.attributes[index];
        return names;
    };
    auto bindValues = [&](SQLite::Statement &statement, int bind) {
        for (int index : std::as_const(indexes)) {
            const QJsonValue value = attributes.value(entity.attributes[index]);
            if (value.isNull() && !StoreValues::isNull(entity.defaults[index]))
                StoreStatements::bindValue(statement, bind++, entity.defaults[index]);
            else
                bindWire(statement, bind++, value, entity.types[index], blobs);
        }
        return bind;
    };
    if (rowId > 0) {
        if (indexes.isEmpty())
            return rowId;
        SQLite::Statement &update = journal.statement(
            cachedSql(entity, kUpdateBit | mask, [&] { return StoreStatements::updateRowSql(entity.table, names()); }));
        update.bind(bindValues(update, 1), int64_t(rowId));
        update.exec();
        update.reset();
        return rowId;
    }
    SQLite::Statement &insert = journal.statement(cachedSql(entity, kInsertBit | mask, [&] {
        QStringList columns = names();
        columns.prepend(entity.idColumn);
        return StoreStatements::insertRowSql(entity.table, columns);
    }));
    insert.bind(1, id.toStdString());
    bindValues(insert, 2);
    insert.exec();
    insert.reset();
    return journal.database().getLastInsertRowid();
}

void replacePasteboards(SyncJournal &journal, qint64 itemRowId, const QJsonArray &pasteboards,
                        const BlobContents &blobs)
{
    SQLite::Statement &remove =
        journal.statement(QStringLiteral("DELETE FROM \"PBPasteboardDataRecord\" WHERE \"item\" = ?"));
    remove.bind(1, int64_t(itemRowId));
    remove.exec();
    remove.reset();
    addPasteboards(journal, itemRowId, pasteboards, blobs);
}

void addPasteboards(SyncJournal &journal, qint64 itemRowId, const QJsonArray &pasteboards, const BlobContents &blobs)
{
    for (const QJsonValue &entry : pasteboards) {
        const QJsonArray pair = entry.toArray();
        SQLite::Statement &insert = journal.statement(
            QStringLiteral("INSERT INTO \"PBPasteboardDataRecord\" (\"item\", \"type\", \"data\") VALUES (?, ?, ?)"));
        insert.bind(1, int64_t(itemRowId));
        insert.bind(2, pair.at(0).toString().toStdString());
        bindWire(insert, 3, pair.at(1), int(AttributeType::Binary), blobs);
        insert.exec();
        insert.reset();
    }
}
} // namespace SyncRecords
