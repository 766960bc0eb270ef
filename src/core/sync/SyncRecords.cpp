#include "core/sync/SyncRecords.h"

#include "core/store/EntityDescription.h"

#include <SQLiteCpp/Statement.h>

namespace {
QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QJsonValue wireValue(const SQLite::Column &column, int type)
{
    if (column.isNull())
        return QJsonValue::Null;
    if (AttributeType(type) == AttributeType::Binary) {
        const QByteArray bytes(static_cast<const char *>(column.getBlob()), column.getBytes());
        return QString::fromLatin1(bytes.toBase64());
    }
    if (column.isInteger())
        return double(column.getInt64());
    return QString::fromStdString(column.getString());
}

void bindWire(SQLite::Statement &statement, int index, const QJsonValue &value, int type)
{
    if (value.isNull() || value.isUndefined()) {
        statement.bind(index);
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
    case AttributeType::Date:
        statement.bind(index, int64_t(value.toDouble()));
        return;
    case AttributeType::String:
    case AttributeType::UUID:
        statement.bind(index, value.toString().toStdString());
        return;
    }
}

bool isBase64(const QString &text)
{
    return QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors).decodingStatus
           == QByteArray::Base64DecodingStatus::Ok;
}
} // namespace

namespace SyncRecords {

qint64 rowIdOf(SQLite::Database &database, const SyncEntity &entity, const QString &id)
{
    SQLite::Statement statement(database, QStringLiteral("SELECT \"pk\" FROM %1 WHERE %2 = ? ORDER BY \"pk\" LIMIT 1")
                                              .arg(quoted(entity.table), quoted(entity.idColumn))
                                              .toStdString());
    statement.bind(1, id.toStdString());
    return statement.executeStep() ? statement.getColumn(0).getInt64() : 0;
}

std::optional<Row> read(SQLite::Database &database, const SyncEntity &entity, const QString &id, qint64 mask)
{
    QStringList columns{QStringLiteral("\"pk\"")};
    for (const QString &attribute : entity.attributes)
        columns << quoted(attribute);
    SQLite::Statement statement(database, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY \"pk\" LIMIT 1")
                                              .arg(columns.join(QLatin1Char(',')), quoted(entity.table), quoted(entity.idColumn))
                                              .toStdString());
    statement.bind(1, id.toStdString());
    if (!statement.executeStep())
        return std::nullopt;
    Row row;
    row.rowId = statement.getColumn(0).getInt64();
    for (int i = 0; i < entity.attributes.size(); ++i)
        if (mask & (qint64(1) << i))
            row.attributes.insert(entity.attributes[i], wireValue(statement.getColumn(i + 1), entity.types[i]));
    if (entity.hasPasteboards && (mask & (qint64(1) << entity.pasteboardsBit()))) {
        SQLite::Statement pasteboards(database, "SELECT \"type\", \"data\" FROM \"PBPasteboardDataRecord\" WHERE \"item\" = ? ORDER BY \"pk\"");
        pasteboards.bind(1, int64_t(row.rowId));
        QJsonArray list;
        while (pasteboards.executeStep())
            list.append(QJsonArray{QString::fromStdString(pasteboards.getColumn(0).getString()),
                                   wireValue(pasteboards.getColumn(1), int(AttributeType::Binary))});
        row.pasteboards = list;
    }
    return row;
}

bool fits(const SyncEntity &entity, int attribute, const QJsonValue &value)
{
    if (value.isNull())
        return true;
    switch (AttributeType(entity.types[attribute])) {
    case AttributeType::Binary:
        return value.isString() && isBase64(value.toString());
    case AttributeType::Boolean:
        return value.isDouble() && (value.toDouble() == 0 || value.toDouble() == 1);
    case AttributeType::Integer64:
    case AttributeType::Date:
        return value.isDouble() && std::abs(value.toDouble()) < 9.0e15 && value.toDouble() == std::floor(value.toDouble());
    case AttributeType::String:
    case AttributeType::UUID:
        return value.isString();
    }
    return false;
}

bool pasteboardsFit(const QJsonValue &value)
{
    if (!value.isArray())
        return false;
    for (const QJsonValue &entry : value.toArray()) {
        const QJsonArray pair = entry.toArray();
        if (pair.size() != 2 || !pair.at(0).isString() || !(pair.at(1).isNull() || (pair.at(1).isString() && isBase64(pair.at(1).toString()))))
            return false;
    }
    return true;
}

qint64 write(SQLite::Database &database, const SyncEntity &entity, const QString &id, qint64 rowId,
             const QJsonObject &attributes)
{
    QStringList names;
    QList<int> indexes;
    for (int i = 0; i < entity.attributes.size(); ++i) {
        if (attributes.contains(entity.attributes[i])) {
            names << quoted(entity.attributes[i]);
            indexes << i;
        }
    }
    if (rowId > 0) {
        if (names.isEmpty())
            return rowId;
        QStringList assignments;
        for (const QString &name : std::as_const(names))
            assignments << name + QStringLiteral(" = ?");
        SQLite::Statement update(database, QStringLiteral("UPDATE %1 SET %2 WHERE \"pk\" = ?")
                                               .arg(quoted(entity.table), assignments.join(QLatin1Char(',')))
                                               .toStdString());
        int bind = 1;
        for (int index : std::as_const(indexes)) {
            const QJsonValue value = attributes.value(entity.attributes[index]);
            // Columns with a default never take a null.
            if (value.isNull() && (AttributeType(entity.types[index]) == AttributeType::Boolean || entity.attributes[index] == QLatin1String("index")))
                update.bind(bind++, int64_t(0));
            else
                bindWire(update, bind++, value, entity.types[index]);
        }
        update.bind(bind, int64_t(rowId));
        update.exec();
        return rowId;
    }
    QStringList placeholders{QStringLiteral("?")};
    names.prepend(quoted(entity.idColumn));
    for (int i = 0; i < indexes.size(); ++i)
        placeholders << QStringLiteral("?");
    SQLite::Statement insert(database, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                           .arg(quoted(entity.table), names.join(QLatin1Char(',')), placeholders.join(QLatin1Char(',')))
                                           .toStdString());
    insert.bind(1, id.toStdString());
    int bind = 2;
    for (int index : std::as_const(indexes)) {
        const QJsonValue value = attributes.value(entity.attributes[index]);
        if (value.isNull() && (AttributeType(entity.types[index]) == AttributeType::Boolean || entity.attributes[index] == QLatin1String("index")))
            insert.bind(bind++, int64_t(0));
        else
            bindWire(insert, bind++, value, entity.types[index]);
    }
    insert.exec();
    return database.getLastInsertRowid();
}

void replacePasteboards(SQLite::Database &database, qint64 itemRowId, const QJsonArray &pasteboards)
{
    SQLite::Statement remove(database, "DELETE FROM \"PBPasteboardDataRecord\" WHERE \"item\" = ?");
    remove.bind(1, int64_t(itemRowId));
    remove.exec();
    SQLite::Statement insert(database, "INSERT INTO \"PBPasteboardDataRecord\" (\"item\", \"type\", \"data\") VALUES (?, ?, ?)");
    for (const QJsonValue &entry : pasteboards) {
        const QJsonArray pair = entry.toArray();
        insert.bind(1, int64_t(itemRowId));
        insert.bind(2, pair.at(0).toString().toStdString());
        bindWire(insert, 3, pair.at(1), int(AttributeType::Binary));
        insert.exec();
        insert.reset();
    }
}
} // namespace SyncRecords
