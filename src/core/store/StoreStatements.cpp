#include "core/store/StoreStatements.h"

#include "core/store/StoreFailure.h"

#include <SQLiteCpp/Exception.h>
#include <sqlite3.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

#include <mutex>
#include <unordered_map>

namespace StoreStatements {
const EntitySql &sqlFor(const EntityDescription &entity)
{
    static std::mutex mutex;
    static std::unordered_map<const EntityDescription *, EntitySql> cache;
    std::lock_guard lock(mutex);
    auto it = cache.find(&entity);
    if (it != cache.end())
        return it->second;
    EntitySql sql;
    const QString table = quoted(entity.name);
    QStringList eager, all;
    for (int i = 0; i < int(entity.attributes.size()); ++i) {
        const AttributeDescription &attribute = entity.attribute(i);
        all << attribute.column;
        if (attribute.lazy) {
            sql.selectLazy << QStringLiteral("SELECT %1 FROM %2 WHERE \"pk\" = ?").arg(quoted(attribute.column), table);
            sql.selectLazyPrefix << QStringLiteral(
                                        "SELECT CASE WHEN length(%1) <= ?2 THEN %1 ELSE substr(%1, 1, ?1) END, "
                                        "length(%1) FROM %2 WHERE \"pk\" = ?3")
                                        .arg(quoted(attribute.column), table);
        } else {
            sql.selectLazy << QString();
            sql.selectLazyPrefix << QString();
            eager << quoted(attribute.column);
            sql.valueIndexes << i;
        }
    }
    if (!entity.ownerColumn.isEmpty()) {
        all << entity.ownerColumn;
        sql.selectOwner = QStringLiteral("SELECT %1 FROM %2 WHERE \"pk\" = ?").arg(quoted(entity.ownerColumn), table);
    }
    sql.selectValues =
        QStringLiteral("SELECT %1 FROM %2 WHERE \"pk\" = ?").arg(eager.join(QStringLiteral(", ")), table);
    sql.selectRowsValues = QStringLiteral("SELECT \"pk\", %1 FROM %2 WHERE \"pk\" IN (SELECT value FROM json_each(?))")
                               .arg(eager.join(QStringLiteral(", ")), table);
    sql.insert = insertRowSql(entity.name, all);
    sql.deleteRow = QStringLiteral("DELETE FROM %1 WHERE \"pk\" = ?").arg(table);
    return cache.emplace(&entity, std::move(sql)).first->second;
}

QString insertRowSql(const QString &table, const QStringList &columns)
{
    const QStringList marks(columns.size(), QStringLiteral("?"));
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(quoted(table), quoted(columns).join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
}

QString updateRowSql(const QString &table, const QStringList &columns)
{
    return QStringLiteral("UPDATE %1 SET %2 = ? WHERE \"pk\" = ?")
        .arg(quoted(table), quoted(columns).join(QStringLiteral(" = ?, ")));
}

void bindValue(SQLite::Statement &statement, int index, const StoreValue &value)
{
    if (const auto *integer = std::get_if<qint64>(&value)) {
        statement.bind(index, int64_t(*integer));
    } else if (const auto *text = std::get_if<QString>(&value)) {
        statement.bind(index, text->toStdString());
    } else if (const auto *bytes = std::get_if<QByteArray>(&value)) {
        statement.bind(index, static_cast<const void *>(bytes->constData()), int(bytes->size()));
    } else {
        statement.bind(index);
    }
}

StoreValue readValue(const SQLite::Column &column)
{
    switch (column.getType()) {
    case SQLITE_INTEGER: return qint64(column.getInt64());
    case SQLITE_FLOAT: return qint64(column.getDouble());
    case SQLITE_TEXT: {
        QString text = QString::fromUtf8(column.getText(), column.getBytes());
        return text.isNull() ? QString(QLatin1String("")) : text;
    }
    case SQLITE_BLOB: {
        const auto *bytes = static_cast<const char *>(column.getBlob());
        return QByteArray(bytes ? bytes : "", column.getBytes());
    }
    default: return {};
    }
}

QString jsonRows(const QList<qint64> &rows)
{
    QJsonArray array;
    for (qint64 row : rows)
        array.append(row);
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

StoreError storeError(const std::exception &error)
{
    StoreError result;
    result.description = QString::fromUtf8(error.what());
    result.failureKind = storeFailureKind(error);
    if (const auto *sqlite = dynamic_cast<const SQLite::Exception *>(&error)) {
        result.userInfo.insert(QStringLiteral("code"), sqlite->getExtendedErrorCode());
        result.userInfo.insert(QStringLiteral("reason"), QString::fromUtf8(sqlite->getErrorStr()));
    }
    return result;
}

void report(StoreError *target, StoreError error)
{
    if (target)
        *target = std::move(error);
}
BindingsReleased::~BindingsReleased()
{
    m_statement.tryReset();
    try {
        m_statement.clearBindings();
    } catch (const std::exception &) {
        // sqlite3_clear_bindings() has no failure to report
    }
}
} // namespace StoreStatements
