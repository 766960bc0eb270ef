#include "core/sync/SyncJournal.h"

#include "core/store/PBCategoryRecord.h"
#include "core/store/PBItemRecord.h"
#include "core/store/SqlIdentifier.h"
#include "core/store/StoreFailure.h"
#include "platform/Log.h"

#include <SQLiteCpp/Transaction.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

#include <cmath>

namespace {
SyncEntity describe(const QString &kind, const EntityDescription &entity, const QString &idColumn, bool pasteboards)
{
    SyncEntity sync{kind, entity.name, idColumn, {}, {}, {}, pasteboards};
    for (const AttributeDescription &attribute : entity.attributes) {
        if (attribute.column == idColumn)
            continue;
        sync.attributes.append(attribute.column);
        sync.types.append(int(attribute.type));
        sync.defaults.append(attribute.defaultValue);
    }
    return sync;
}

bool isPlainName(const QString &text)
{
    for (const QChar c : text)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_') && c != QLatin1Char('-'))
            return false;
    return !text.isEmpty();
}

// Stamps as compact JSON. Nearly every entry is [time, device] with plain names: written
// directly, several times quicker than through QJsonDocument; anything else takes that road.
QByteArray encodeStamps(const QJsonObject &stamps)
{
    QByteArray json;
    json.reserve(stamps.size() * 64);
    json += '{';
    for (auto it = stamps.constBegin(); it != stamps.constEnd(); ++it) {
        const QJsonValue value = it.value();
        const QJsonArray entry = value.toArray();
        const double time = entry.size() == 2 ? entry.at(0).toDouble(-1) : -1;
        const QString device = entry.size() == 2 ? entry.at(1).toString() : QString();
        if (!value.isArray() || time < 0 || time > 9.0e15 || time != std::floor(time) || !isPlainName(device)
            || !isPlainName(it.key()))
            return QJsonDocument(stamps).toJson(QJsonDocument::Compact);
        if (json.size() > 1)
            json += ',';
        json +=
            '"' + it.key().toLatin1() + "\":[" + QByteArray::number(qint64(time)) + ",\"" + device.toLatin1() + "\"]";
    }
    json += '}';
    return json;
}

// The same for stamps all of the form [time, device] (a record's first stamps): written directly,
// or empty when one is not of the plain form.
QByteArray encodePlainStamps(const QMap<QString, SyncStamp> &stamps)
{
    QByteArray json;
    json.reserve(stamps.size() * 64);
    json += '{';
    const QString *checked = nullptr;
    for (auto it = stamps.constBegin(); it != stamps.constEnd(); ++it) {
        const SyncStamp &stamp = it.value();
        if (stamp.time < 0 || double(stamp.time) > 9.0e15 || !isPlainName(it.key()))
            return {};
        if (!checked || stamp.device != *checked) {
            if (!isPlainName(stamp.device))
                return {};
            checked = &stamp.device;
        }
        if (json.size() > 1)
            json += ',';
        json += '"';
        json += it.key().toLatin1();
        json += "\":[";
        json += QByteArray::number(stamp.time);
        json += ",\"";
        json += stamp.device.toLatin1();
        json += "\"]";
    }
    json += '}';
    return json;
}

const char *const kNow = "CAST((julianday('now') - 2440587.5) * 86400000 AS INTEGER)";
const char *const kLogging = "(SELECT \"value\" FROM \"SyncMeta\" WHERE \"key\" = 'logging') = '1'";

// Triggers that log each change of an entity: inserts and deletes by id, updates with a mask of
// the attributes that changed.
QStringList triggersFor(const SyncEntity &entity)
{
    const QString table = quoted(entity.table);
    const QString id = quoted(entity.idColumn);
    QStringList maskTerms;
    for (int i = 0; i < entity.attributes.size(); ++i)
        maskTerms << QStringLiteral("((NEW.%1 IS NOT OLD.%1) << %2)").arg(quoted(entity.attributes[i])).arg(i);
    const QString mask = maskTerms.join(QStringLiteral(" | "));
    const QString prefix = QStringLiteral("Sync_") + entity.kind;
    QStringList sql;
    sql << QStringLiteral(
               "CREATE TRIGGER IF NOT EXISTS \"%1_insert\" AFTER INSERT ON %2 WHEN NEW.%3 IS NOT NULL AND %4 "
               "BEGIN INSERT INTO \"SyncChange\" (entity, gid, mask, op, at) VALUES ('%5', NEW.%3, -1, 0, %6); END")
               .arg(prefix, table, id, QLatin1String(kLogging), entity.kind, QLatin1String(kNow));
    sql << QStringLiteral(
               "CREATE TRIGGER IF NOT EXISTS \"%1_update\" AFTER UPDATE ON %2 WHEN NEW.%3 IS NOT NULL AND (%4) != 0 "
               "AND %5 "
               "BEGIN INSERT INTO \"SyncChange\" (entity, gid, mask, op, at) VALUES ('%6', NEW.%3, %4, 1, %7); END")
               .arg(prefix, table, id, mask, QLatin1String(kLogging), entity.kind, QLatin1String(kNow));
    sql << QStringLiteral(
               "CREATE TRIGGER IF NOT EXISTS \"%1_delete\" AFTER DELETE ON %2 WHEN OLD.%3 IS NOT NULL AND %4 "
               "BEGIN INSERT INTO \"SyncChange\" (entity, gid, mask, op, at) VALUES ('%5', OLD.%3, 0, 2, %6); END")
               .arg(prefix, table, id, QLatin1String(kLogging), entity.kind, QLatin1String(kNow));
    return sql;
}

QStringList linkAndPasteboardTriggers()
{
    const int bit = SyncEntity::item().pasteboardsBit();
    const QString itemId = QStringLiteral("(SELECT \"uuid\" FROM \"PBItemRecord\" WHERE \"pk\" = %1.\"item\")");
    const QString categoryId =
        QStringLiteral("(SELECT \"id\" FROM \"PBCategoryRecord\" WHERE \"pk\" = %1.\"category\")");
    QStringList sql;
    for (const auto &[event, row, op] : {std::tuple{"INSERT", "NEW", 3}, std::tuple{"DELETE", "OLD", 4}}) {
        const QString r = QLatin1String(row);
        sql << QStringLiteral("CREATE TRIGGER IF NOT EXISTS \"Sync_link_%1\" AFTER %1 ON %7 "
                              "WHEN %2 IS NOT NULL AND %3 IS NOT NULL AND %4 "
                              "BEGIN INSERT INTO \"SyncChange\" (entity, gid, mask, op, at) VALUES ('link', %2 || '|' "
                              "|| %3, 0, %5, %6); END")
                   .arg(QLatin1String(event), itemId.arg(r), categoryId.arg(r), QLatin1String(kLogging))
                   .arg(op)
                   .arg(QLatin1String(kNow), quoted(PBItemRecord::categoriesLink().linkTable));
        sql << QStringLiteral(
                   "CREATE TRIGGER IF NOT EXISTS \"Sync_pasteboard_%1\" AFTER %1 ON \"PBPasteboardDataRecord\" "
                   "WHEN %2 IS NOT NULL AND %3 "
                   "BEGIN INSERT INTO \"SyncChange\" (entity, gid, mask, op, at) VALUES ('item', %2, %4, 1, %5); END")
                   .arg(QLatin1String(event), itemId.arg(r), QLatin1String(kLogging))
                   .arg(qint64(1) << bit)
                   .arg(QLatin1String(kNow));
    }
    return sql;
}
} // namespace

const SyncEntity &SyncEntity::item()
{
    static const SyncEntity entity =
        describe(QStringLiteral("item"), PBItemRecord::entityDescription(), QStringLiteral("uuid"), true);
    return entity;
}

const SyncEntity &SyncEntity::category()
{
    static const SyncEntity entity =
        describe(QStringLiteral("category"), PBCategoryRecord::entityDescription(), QStringLiteral("id"), false);
    return entity;
}

const SyncEntity *SyncEntity::byKind(const QString &kind)
{
    if (kind == item().kind)
        return &item();
    if (kind == category().kind)
        return &category();
    return nullptr;
}

std::unique_ptr<SyncJournal> SyncJournal::open(const QString &storePath, QString *error)
{
    try {
        auto journal = std::unique_ptr<SyncJournal>(new SyncJournal(PersistentStore::openExisting(storePath)));
        // Records arrive in no order of their ids: with SQLite's small default cache, every write
        // to the id indexes of a large history would go to the disk.
        journal->database().exec("PRAGMA cache_size = -32768");
        // An import rewrites the same index pages in commit after commit: they are copied into
        // the store when the log reaches this size or the import ends (checkpoint()), rather
        // than after every few commits.
        journal->database().exec("PRAGMA wal_autocheckpoint = 16384");
        // Each record's statements fire triggers inside a transaction, so SQLite keeps what they
        // change to undo them alone: in memory, not in a temporary file (SQLite's default past
        // 64 KiB), which wrote about as much again as the log and took a quarter of an import's
        // processor time. Statements here touch a few records each; none sorts a large result.
        journal->database().exec("PRAGMA temp_store = MEMORY");
        journal->database().exec(
            "CREATE TABLE IF NOT EXISTS \"SyncMeta\" (\"key\" TEXT PRIMARY KEY, \"value\" TEXT) WITHOUT ROWID;"
            "CREATE TABLE IF NOT EXISTS \"SyncChange\" (\"seq\" INTEGER PRIMARY KEY AUTOINCREMENT, \"entity\" TEXT NOT "
            "NULL,"
            " \"gid\" TEXT NOT NULL, \"mask\" INTEGER NOT NULL, \"op\" INTEGER NOT NULL, \"at\" INTEGER NOT NULL);"
            "CREATE INDEX IF NOT EXISTS \"SyncChange_id\" ON \"SyncChange\" (\"entity\", \"gid\");"
            // Rows in arrival order, found through a small index: records arrive in no order of
            // their ids, and a table ordered by id would be written all over on every import.
            "CREATE TABLE IF NOT EXISTS \"SyncClock\" (\"kind\" TEXT NOT NULL, \"gid\" TEXT NOT NULL, \"stamps\" TEXT "
            "NOT NULL);"
            "CREATE TABLE IF NOT EXISTS \"SyncBlob\" (\"hash\" TEXT PRIMARY KEY, \"lastUse\" INTEGER NOT NULL) WITHOUT "
            "ROWID;"
            "CREATE TABLE IF NOT EXISTS \"SyncWaiting\" (\"seq\" INTEGER PRIMARY KEY AUTOINCREMENT, \"device\" TEXT "
            "NOT NULL,"
            " \"record\" TEXT NOT NULL);");
        journal->upgradeClock();
        return journal;
    } catch (const std::exception &failure) {
        if (error)
            *error = storeFailureKind(failure);
        return nullptr;
    }
}

SyncJournal::SyncJournal(std::shared_ptr<PersistentStore> store) : m_store(std::move(store)) {}

void SyncJournal::upgradeClock()
{
    SQLite::Transaction transaction(database(), SQLite::TransactionBehavior::IMMEDIATE);
    const std::string sql =
        database().execAndGet("SELECT \"sql\" FROM sqlite_master WHERE \"name\" = 'SyncClock'").getString();
    if (QString::fromStdString(sql).contains(QLatin1String("WITHOUT ROWID"), Qt::CaseInsensitive)) {
        // A clock kept in id order by an earlier version: the same rows, in the new form.
        database().exec(
            "ALTER TABLE \"SyncClock\" RENAME TO \"SyncClockByIdOrder\";"
            "CREATE TABLE \"SyncClock\" (\"kind\" TEXT NOT NULL, \"gid\" TEXT NOT NULL, \"stamps\" TEXT NOT NULL);"
            "INSERT INTO \"SyncClock\" (\"kind\", \"gid\", \"stamps\") SELECT \"kind\", \"gid\", \"stamps\" FROM "
            "\"SyncClockByIdOrder\";"
            "DROP TABLE \"SyncClockByIdOrder\";");
    }
    database().exec("CREATE UNIQUE INDEX IF NOT EXISTS \"SyncClock_id\" ON \"SyncClock\" (\"kind\", \"gid\")");
    transaction.commit();
}

bool SyncJournal::hasTriggers()
{
    return database()
                   .execAndGet(
                       "SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND name LIKE 'Sync\\_%' ESCAPE '\\'")
                   .getInt()
               > 0
           && meta(QStringLiteral("logging")).value_or(QString()) == QLatin1String("1");
}

bool SyncJournal::install()
{
    SQLite::Transaction transaction(database(), SQLite::TransactionBehavior::IMMEDIATE);
    const bool wasOn = hasTriggers();
    QStringList sql =
        triggersFor(SyncEntity::item()) + triggersFor(SyncEntity::category()) + linkAndPasteboardTriggers();
    for (const QString &statement : sql)
        database().exec(statement.toStdString());
    setMeta(QStringLiteral("logging"), QStringLiteral("1"));
    if (!wasOn)
        logEverything();
    transaction.commit();
    return !wasOn;
}

void SyncJournal::uninstall()
{
    SQLite::Transaction transaction(database(), SQLite::TransactionBehavior::IMMEDIATE);
    setMeta(QStringLiteral("logging"), QStringLiteral("0"));
    QStringList names;
    SQLite::Statement triggers(
        database(), "SELECT name FROM sqlite_master WHERE type = 'trigger' AND name LIKE 'Sync\\_%' ESCAPE '\\'");
    while (triggers.executeStep())
        names << QString::fromStdString(triggers.getColumn(0).getString());
    for (const QString &name : std::as_const(names))
        database().exec(QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(quoted(name)).toStdString());
    database().exec("DELETE FROM \"SyncChange\"");
    transaction.commit();
}

void SyncJournal::logEverything()
{
    database().exec("DELETE FROM \"SyncChange\"");
    database().exec(
        QStringLiteral("INSERT INTO \"SyncChange\" (entity, gid, mask, op, at) SELECT 'category', \"id\", -1, 0, %1 "
                       "FROM \"PBCategoryRecord\" WHERE \"id\" IS NOT NULL ORDER BY \"pk\"")
            .arg(QLatin1String(kNow))
            .toStdString());
    database().exec(
        QStringLiteral("INSERT INTO \"SyncChange\" (entity, gid, mask, op, at) SELECT 'item', \"uuid\", -1, 0, "
                       "coalesce(\"modifiedAt\", \"createdAt\", 0) FROM \"PBItemRecord\" WHERE \"uuid\" IS NOT NULL "
                       "ORDER BY \"pk\"")
            .toStdString());
    database().exec(
        QStringLiteral("INSERT INTO \"SyncChange\" (entity, gid, mask, op, at) SELECT 'link', i.\"uuid\" || '|' || "
                       "c.\"id\", 0, 3, "
                       "coalesce(i.\"modifiedAt\", 0) FROM %1 l JOIN \"PBItemRecord\" i ON i.\"pk\" = l.\"item\" "
                       "JOIN \"PBCategoryRecord\" c ON c.\"pk\" = l.\"category\" WHERE i.\"uuid\" IS NOT NULL AND "
                       "c.\"id\" IS NOT NULL")
            .arg(quoted(PBItemRecord::categoriesLink().linkTable))
            .toStdString());
}

void SyncJournal::setLogging(bool on)
{
    setMeta(QStringLiteral("logging"), on ? QStringLiteral("1") : QStringLiteral("0"));
}

std::optional<QString> SyncJournal::meta(const QString &key)
{
    SQLite::Statement &statement =
        m_store->statement(QStringLiteral("SELECT \"value\" FROM \"SyncMeta\" WHERE \"key\" = ?"));
    statement.bind(1, key.toStdString());
    std::optional<QString> value;
    if (statement.executeStep())
        value = QString::fromStdString(statement.getColumn(0).getString());
    statement.reset();
    return value;
}

void SyncJournal::setMeta(const QString &key, const QString &value)
{
    SQLite::Statement &statement =
        m_store->statement(QStringLiteral("INSERT OR REPLACE INTO \"SyncMeta\" (\"key\", \"value\") VALUES (?, ?)"));
    statement.bind(1, key.toStdString());
    statement.bind(2, value.toStdString());
    statement.exec();
    statement.reset();
}

QString SyncJournal::deviceId()
{
    if (!m_deviceId.isEmpty())
        return m_deviceId;
    // Per store, not per machine: two homes on one machine are two devices.
    std::optional<QString> stored = meta(QStringLiteral("device"));
    if (!stored || QUuid(*stored).isNull()) {
        stored = QUuid::createUuid().toString(QUuid::WithoutBraces);
        setMeta(QStringLiteral("device"), *stored);
    }
    m_deviceId = *stored;
    return m_deviceId;
}

quint64 SyncJournal::cursor(const QString &device)
{
    return meta(QStringLiteral("cursor:") + device).value_or(QStringLiteral("0")).toULongLong();
}

void SyncJournal::setCursor(const QString &device, quint64 number)
{
    setMeta(QStringLiteral("cursor:") + device, QString::number(number));
}

QJsonObject SyncJournal::stamps(const QString &kind, const QString &id)
{
    SQLite::Statement &statement =
        m_store->statement(QStringLiteral("SELECT \"stamps\" FROM \"SyncClock\" WHERE \"kind\" = ? AND \"gid\" = ?"));
    statement.bind(1, kind.toStdString());
    statement.bind(2, id.toStdString());
    QJsonObject stamps;
    if (statement.executeStep())
        stamps = QJsonDocument::fromJson(QByteArray::fromStdString(statement.getColumn(0).getString())).object();
    statement.reset();
    return stamps;
}

void SyncJournal::setStamps(const QString &kind, const QString &id, const QJsonObject &stamps)
{
    writeStamps(kind, id, encodeStamps(stamps));
}

void SyncJournal::setStamps(const QString &kind, const QString &id, const QJsonObject &stamps,
                            const QMap<QString, SyncStamp> &newer)
{
    if (stamps.isEmpty()) {
        const QByteArray plain = encodePlainStamps(newer);
        if (!plain.isEmpty()) {
            writeStamps(kind, id, plain);
            return;
        }
    }
    QJsonObject merged = stamps;
    for (auto it = newer.constBegin(); it != newer.constEnd(); ++it)
        merged.insert(it.key(), stampValue(it.value()));
    writeStamps(kind, id, encodeStamps(merged));
}

void SyncJournal::writeStamps(const QString &kind, const QString &id, const QByteArray &encoded)
{
    SQLite::Statement &statement = m_store->statement(
        QStringLiteral("INSERT OR REPLACE INTO \"SyncClock\" (\"kind\", \"gid\", \"stamps\") VALUES (?, ?, ?)"));
    statement.bind(1, kind.toStdString());
    statement.bind(2, id.toStdString());
    statement.bindNoCopy(3, encoded.constData()); // text, alive until exec() returns
    statement.exec();
    statement.reset();
}

SyncStamp SyncJournal::stampOf(const QJsonObject &stamps, const QString &attribute)
{
    const QJsonArray entry = stamps.value(attribute).toArray();
    if (entry.size() < 2)
        return {};
    return {qint64(entry.at(0).toDouble()), entry.at(1).toString()};
}

QJsonArray SyncJournal::stampValue(const SyncStamp &stamp) { return QJsonArray{double(stamp.time), stamp.device}; }

std::optional<SyncJournal::Operation> SyncJournal::pendingOperation(const QString &kind, const QString &id)
{
    SQLite::Statement &statement = m_store->statement(QStringLiteral(
        "SELECT \"op\" FROM \"SyncChange\" WHERE \"entity\" = ? AND \"gid\" = ? ORDER BY \"seq\" DESC LIMIT 1"));
    statement.bind(1, kind.toStdString());
    statement.bind(2, id.toStdString());
    std::optional<Operation> operation;
    if (statement.executeStep())
        operation = Operation(statement.getColumn(0).getInt());
    statement.reset();
    return operation;
}

qint64 SyncJournal::lastChange()
{
    return database().execAndGet("SELECT coalesce(max(\"seq\"), 0) FROM \"SyncChange\"").getInt64();
}

void SyncJournal::forgetChangesAfter(qint64 change)
{
    SQLite::Statement &statement = m_store->statement(QStringLiteral("DELETE FROM \"SyncChange\" WHERE \"seq\" > ?"));
    statement.bind(1, int64_t(change));
    statement.exec();
    statement.reset();
}

void SyncJournal::checkpoint() { database().exec("PRAGMA wal_checkpoint(PASSIVE)"); }
