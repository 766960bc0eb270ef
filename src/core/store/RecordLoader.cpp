#include "core/store/RecordLoader.h"

#include "core/store/ManagedObjectContext.h"
#include "core/store/StoreFailure.h"
#include "core/store/StoreStatements.h"
#include "platform/Log.h"

#include <sqlite3.h>

#include <algorithm>

using namespace StoreStatements;

namespace {
quint64 bit(int index) { return quint64(1) << index; }

qint64 codePoints(const char *bytes, qint64 size)
{
    qint64 count = 0;
    for (qint64 i = 0; i < size; ++i)
        count += (static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80;
    return count;
}

// The first `count` code points of UTF-8 bytes, as bytes: never more than there are, never half a
// code point.
qint64 headBytes(const char *bytes, qint64 size, qint64 count)
{
    qint64 seen = 0;
    for (qint64 i = 0; i < size; ++i) {
        if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80 && seen++ == count)
            return i;
    }
    return size;
}

// What "CASE WHEN length(x) <= wholeLimit THEN x ELSE substr(x, 1, headLength) END, length(x)"
// gives, reading only the head of a large value (SQLite would read, and for a text count, all of
// it). None when the value is not a text or blob, so the query answers instead.
std::optional<std::pair<StoreValue, qint64>> readHead(PersistentStore &store, const EntityDescription &entity,
                                                      int index, qint64 rowId, qint64 headLength, qint64 wholeLimit)
{
    const AttributeDescription &attribute = entity.attribute(index);
    const bool text = attribute.type == AttributeType::String;
    if (!text && attribute.type != AttributeType::Binary)
        return std::nullopt;
    sqlite3_blob *blob = nullptr;
    const QByteArray table = entity.name.toUtf8();
    const QByteArray column = attribute.column.toUtf8();
    if (sqlite3_blob_open(store.database().getHandle(), "main", table.constData(), column.constData(), rowId, 0, &blob)
        != SQLITE_OK) {
        sqlite3_blob_close(blob);
        return std::nullopt; // NULL, a number, or no such row
    }
    const qint64 size = sqlite3_blob_bytes(blob);
    // A text of more than four bytes a code point beyond the limit is longer than the limit.
    const qint64 wanted = text ? std::min(size, 4 * std::max(wholeLimit, headLength) + 4)
                               : std::min(size, size <= wholeLimit ? size : headLength);
    QByteArray bytes(qsizetype(std::max<qint64>(wanted, 0)), Qt::Uninitialized);
    const int read = bytes.isEmpty() ? SQLITE_OK : sqlite3_blob_read(blob, bytes.data(), int(bytes.size()), 0);
    sqlite3_blob_close(blob);
    if (read != SQLITE_OK)
        return std::nullopt;
    if (!text)
        return std::pair{StoreValue(bytes), size};
    // Past the part read the text holds more than `wholeLimit` code points; that is all the
    // length tells then.
    const qint64 length = wanted == size ? codePoints(bytes.constData(), size) : size;
    if (length > wholeLimit)
        bytes.truncate(qsizetype(headBytes(bytes.constData(), bytes.size(), headLength)));
    QString value = QString::fromUtf8(bytes);
    if (value.isNull())
        value = QString(QLatin1String(""));
    return std::pair{StoreValue(std::move(value)), length};
}
} // namespace

RecordLoader::RecordLoader(ManagedObjectContext &context) : m_context(context) {}

void RecordLoader::prefetchValues(const EntityDescription &entity, const QList<ManagedObjectPtr> &objects)
{
    QHash<qint64, ManagedObject *> pending;
    for (const ManagedObjectPtr &object : objects) {
        if (!object->m_valuesLoaded && object->m_rowId > 0)
            pending.insert(object->m_rowId, object.get());
    }
    if (pending.size() < 2)
        return;
    const EntitySql &sql = sqlFor(entity);
    try {
        SQLite::Statement &statement = m_context.m_store->statement(sql.selectRowsValues);
        statement.bind(1, jsonRows(pending.keys()).toStdString());
        while (statement.executeStep()) {
            ManagedObject *object = pending.value(statement.getColumn(0).getInt64());
            if (!object || object->m_valuesLoaded)
                continue;
            object->m_values.resize(entity.attributes.size());
            for (int column = 0; column < sql.valueIndexes.size(); ++column) {
                const int index = sql.valueIndexes[column];
                if (!(object->m_dirty & bit(index)))
                    object->m_values[size_t(index)] =
                        StoreValues::coerce(entity.attribute(index).type, readValue(statement.getColumn(column + 1)));
            }
            object->m_valuesLoaded = true;
        }
        statement.reset();
    } catch (const std::exception &error) {
        // The records load their values one by one when read, and report a failure then.
        LOG_WARNING("ManagedObjectContext::prefetchValues()",
                    QStringLiteral("Could not fetch. ") + storeFailureKind(error));
    }
}

bool RecordLoader::loadValues(ManagedObject &object)
{
    const EntityDescription &entity = object.entity();
    const EntitySql &sql = sqlFor(entity);
    bool found = false;
    bool failed = false;
    try {
        SQLite::Statement &statement = m_context.m_store->statement(sql.selectValues);
        statement.bind(1, int64_t(object.m_rowId));
        if (statement.executeStep()) {
            found = true;
            for (int column = 0; column < sql.valueIndexes.size(); ++column) {
                const int index = sql.valueIndexes[column];
                if (!(object.m_dirty & bit(index))) // set while an earlier load had failed
                    object.m_values[size_t(index)] =
                        StoreValues::coerce(entity.attribute(index).type, readValue(statement.getColumn(column)));
            }
        }
        statement.reset();
    } catch (const std::exception &error) {
        LOG_ERROR("ManagedObjectContext::loadValues()", QStringLiteral("Could not fetch. ") + storeFailureKind(error));
        failed = true;
        ++object.m_readFailures;
    }
    if (!found) {
        for (int index : sql.valueIndexes)
            if (!(object.m_dirty & bit(index)))
                object.m_values[size_t(index)] = entity.attribute(index).defaultValue;
    }
    return !failed;
}

bool RecordLoader::loadLazyValue(ManagedObject &object, int index)
{
    const EntityDescription &entity = object.entity();
    StoreValue value = entity.attribute(index).defaultValue;
    bool failed = false;
    try {
        SQLite::Statement &statement = m_context.m_store->statement(sqlFor(entity).selectLazy[index]);
        statement.bind(1, int64_t(object.m_rowId));
        if (statement.executeStep())
            value = StoreValues::coerce(entity.attribute(index).type, readValue(statement.getColumn(0)));
        statement.reset();
    } catch (const std::exception &error) {
        LOG_ERROR("ManagedObjectContext::loadLazyValue()",
                  QStringLiteral("Could not fetch. ") + storeFailureKind(error));
        failed = true;
        ++object.m_readFailures;
    }
    object.m_values[size_t(index)] = std::move(value);
    return !failed;
}

std::pair<StoreValue, qint64> RecordLoader::loadLazyPrefix(ManagedObject &object, int index, qint64 headLength,
                                                           qint64 wholeLimit)
{
    const EntityDescription &entity = object.entity();
    if (std::optional<std::pair<StoreValue, qint64>> head =
            readHead(*m_context.m_store, entity, index, object.m_rowId, headLength, wholeLimit))
        return std::move(*head);
    StoreValue value = entity.attribute(index).defaultValue;
    qint64 length = 0;
    try {
        SQLite::Statement &statement = m_context.m_store->statement(sqlFor(entity).selectLazyPrefix[index]);
        statement.bind(1, int64_t(headLength));
        statement.bind(2, int64_t(wholeLimit));
        statement.bind(3, int64_t(object.m_rowId));
        if (statement.executeStep()) {
            value = StoreValues::coerce(entity.attribute(index).type, readValue(statement.getColumn(0)));
            length = statement.getColumn(1).getInt64();
        }
        statement.reset();
    } catch (const std::exception &error) {
        LOG_ERROR("ManagedObjectContext::loadLazyPrefix()",
                  QStringLiteral("Could not fetch. ") + storeFailureKind(error));
        ++object.m_readFailures;
    }
    return {std::move(value), length};
}

bool RecordLoader::loadRelationship(ManagedObject &object, int index)
{
    const RelationshipDescription &relationship = object.entity().relationships[size_t(index)];
    const EntityDescription &target = relationship.target();
    QString sql;
    if (relationship.kind == RelationshipDescription::Kind::ManyToMany) {
        sql =
            QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                .arg(quoted(relationship.targetColumn), quoted(relationship.linkTable), quoted(relationship.ownColumn));
    } else {
        sql = QStringLiteral("SELECT \"pk\" FROM %1 WHERE %2 = ? ORDER BY \"pk\"")
                  .arg(quoted(target.name), quoted(target.ownerColumn));
    }
    QList<qint64> rows;
    try {
        SQLite::Statement &statement = m_context.m_store->statement(sql);
        statement.bind(1, int64_t(object.m_rowId));
        while (statement.executeStep())
            rows.append(statement.getColumn(0).getInt64());
        statement.reset();
    } catch (const std::exception &error) {
        LOG_ERROR("ManagedObjectContext::loadRelationship()",
                  QStringLiteral("Could not fetch. ") + storeFailureKind(error));
        ++object.m_readFailures;
        return false;
    }
    auto &state = object.links().relationships[size_t(index)];
    for (qint64 row : rows) {
        ManagedObjectPtr member = m_context.objectForRow(target, row);
        if (member->m_state != ManagedObject::Registered)
            continue;
        if (relationship.kind == RelationshipDescription::Kind::OwnedMany) {
            ManagedObject::Links &links = member->links();
            if (links.ownerLoaded && links.ownerRowId != object.m_rowId)
                continue; // moved to another owner, not saved yet
            links.owner = object.shared_from_this();
            links.ownerRowId = object.m_rowId;
            links.ownerLoaded = true;
        }
        if (!state.objects.contains(member))
            state.objects.append(member);
    }
    return true;
}

bool RecordLoader::loadOwner(ManagedObject &object)
{
    ManagedObject::Links &links = object.links();
    try {
        SQLite::Statement &statement = m_context.m_store->statement(sqlFor(object.entity()).selectOwner);
        statement.bind(1, int64_t(object.m_rowId));
        if (statement.executeStep() && !statement.getColumn(0).isNull())
            links.ownerRowId = statement.getColumn(0).getInt64();
        statement.reset();
    } catch (const std::exception &error) {
        LOG_ERROR("ManagedObjectContext::loadOwner()", QStringLiteral("Could not fetch. ") + storeFailureKind(error));
        ++object.m_readFailures;
        return false;
    }
    return true;
}

// --- fetch --------------------------------------------------------------------------------
