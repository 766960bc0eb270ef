#include "core/sync/SyncRecordMerge.h"

#include "core/store/PBItemRecord.h"
#include "core/store/StoreStatements.h"
#include "platform/Log.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace {
bool isValidId(const SyncEntity &entity, const QString &id)
{
    if (id.isEmpty() || id.size() > SyncRecordMerge::kMaxIdLength || id.contains(QLatin1Char('|')))
        return false;
    return &entity != &SyncEntity::item() || !QUuid(id).isNull();
}
} // namespace

SyncRecordMerge::SyncRecordMerge(SyncJournal &journal, const std::function<qint64()> &now)
    : m_journal(journal),
      m_now(now)
{
}

void SyncRecordMerge::wait(const QString &device, const QJsonObject &record)
{
    if (refusal(record))
        return;
    SQLite::Statement &statement =
        m_journal.statement(QStringLiteral("INSERT INTO \"SyncWaiting\" (\"device\", \"record\") VALUES (?, ?)"));
    statement.bind(1, device.toStdString());
    statement.bind(2, QJsonDocument(record).toJson(QJsonDocument::Compact).toStdString());
    statement.exec();
    statement.reset();
}

bool SyncRecordMerge::isSuperseded(const QString &device, const QJsonObject &record)
{
    const SyncEntity *entity = SyncEntity::byKind(record.value(QStringLiteral("k")).toString());
    if (!entity)
        return true;
    const QJsonObject stamps = m_journal.stamps(entity->kind, record.value(QStringLiteral("id")).toString());
    const SyncStamp stamp{qint64(record.value(QStringLiteral("t")).toDouble()), device};
    const QString op = record.value(QStringLiteral("op")).toString();
    const SyncStamp tombstone = SyncJournal::stampOf(stamps, SyncJournal::kDeleted);
    if (!tombstone.isNull() && !(op == QLatin1String("put") && tombstone < stamp))
        return true;
    const QJsonObject times = record.value(QStringLiteral("ts")).toObject();
    QStringList keys = record.value(QStringLiteral("a")).toObject().keys();
    if (record.contains(QStringLiteral("p")))
        keys << QStringLiteral("_pb");
    if (op == QLatin1String("put")
        && SyncRecords::rowIdOf(m_journal, *entity, record.value(QStringLiteral("id")).toString()) == 0)
        return false; // the record itself has not arrived
    for (const QString &key : std::as_const(keys)) {
        const SyncStamp own{times.contains(key) ? qint64(times.value(key).toDouble()) : stamp.time, device};
        if (SyncJournal::stampOf(stamps, key) < own)
            return false;
    }
    return true;
}

std::optional<QString> SyncRecordMerge::refusal(const QJsonObject &record) const
{
    const QString kind = record.value(QStringLiteral("k")).toString();
    const QString id = record.value(QStringLiteral("id")).toString();
    const QString op = record.value(QStringLiteral("op")).toString();
    const QJsonValue time = record.value(QStringLiteral("t"));
    auto validTime = [this](const QJsonValue &value) {
        return value.isDouble() && value.toDouble() >= 1 && value.toDouble() <= 9.0e15;
    };
    if (!validTime(time))
        return QStringLiteral("no valid time");
    if (qint64(time.toDouble()) > m_now() + SyncImporter::kFutureToleranceMs)
        return QStringLiteral("dated in the future");
    if (kind == SyncJournal::kLinkKind) {
        const qsizetype bar = id.indexOf(QLatin1Char('|'));
        if (bar <= 0 || !isValidId(SyncEntity::item(), id.left(bar))
            || !isValidId(SyncEntity::category(), id.mid(bar + 1))
            || (op != QLatin1String("put") && op != QLatin1String("del")))
            return QStringLiteral("malformed link");
        return std::nullopt;
    }
    const SyncEntity *entity = SyncEntity::byKind(kind);
    if (!entity || !isValidId(*entity, id)
        || (op != QLatin1String("put") && op != QLatin1String("set") && op != QLatin1String("del")))
        return QStringLiteral("malformed record");
    const QJsonObject attributes = record.value(QStringLiteral("a")).toObject();
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it) {
        const int index = int(entity->attributes.indexOf(it.key()));
        if (index < 0 || !SyncRecords::fits(*entity, index, it.value()))
            return QStringLiteral("attribute of the wrong kind");
    }
    if (record.contains(QStringLiteral("p"))
        && (!entity->hasPasteboards || !SyncRecords::pasteboardsFit(record.value(QStringLiteral("p")))))
        return QStringLiteral("malformed pasteboards");
    // Times of single attributes (a snapshot's records): known names, valid, not in the future.
    const QJsonObject times = record.value(QStringLiteral("ts")).toObject();
    for (auto it = times.constBegin(); it != times.constEnd(); ++it) {
        if ((!attributes.contains(it.key())
             && !(it.key() == QLatin1String("_pb") && record.contains(QStringLiteral("p"))))
            || !validTime(it.value()))
            return QStringLiteral("malformed attribute time");
        if (qint64(it.value().toDouble()) > m_now() + SyncImporter::kFutureToleranceMs)
            return QStringLiteral("dated in the future");
    }
    return std::nullopt;
}

void SyncRecordMerge::apply(const QString &device, const QJsonObject &record, const SyncRecords::BlobContents &blobs,
                            SyncImporter::Result &result)
{
    const QString kind = record.value(QStringLiteral("k")).toString();
    const QString id = record.value(QStringLiteral("id")).toString();
    if (const std::optional<QString> reason = refusal(record)) {
        LOG_WARNING("SyncImporter::applyRecord()",
                    QStringLiteral("a %1 record from %2 refused: %3").arg(kind.left(16), device.left(8), *reason));
        if (!id.isEmpty() && id.size() <= kMaxIdLength)
            result.partialErrors.insert(id, *reason);
        return;
    }
    const QString op = record.value(QStringLiteral("op")).toString();
    const SyncStamp stamp{qint64(record.value(QStringLiteral("t")).toDouble()), device};
    if (kind == SyncJournal::kLinkKind)
        applyLink(id, op == QLatin1String("put"), stamp, result);
    else
        applyEntity(*SyncEntity::byKind(kind), id, op, stamp, record, blobs, result);
    ++result.records;
}

void SyncRecordMerge::applyEntity(const SyncEntity &entity, const QString &id, const QString &op,
                                  const SyncStamp &stamp, const QJsonObject &record,
                                  const SyncRecords::BlobContents &blobs, SyncImporter::Result &result)
{
    QJsonObject stamps = m_journal.stamps(entity.kind, id);
    const SyncStamp tombstone = SyncJournal::stampOf(stamps, SyncJournal::kDeleted);
    const qint64 rowId = SyncRecords::rowIdOf(m_journal, entity, id);

    if (op == QLatin1String("del")) {
        if (!tombstone.isNull() && !(tombstone < stamp))
            return;
        // A record inserted anew after this deletion stays.
        if (stamp < SyncJournal::stampOf(stamps, SyncJournal::kInserted))
            return;
        m_journal.setStamps(entity.kind, id, QJsonObject{{SyncJournal::kDeleted, SyncJournal::stampValue(stamp)}});
        if (rowId > 0) {
            SQLite::Statement &remove = m_journal.statement(
                QStringLiteral("DELETE FROM \"%1\" WHERE \"%2\" = ?").arg(entity.table, entity.idColumn));
            remove.bind(1, id.toStdString());
            remove.exec();
            remove.reset();
            result.deletedRows[entity.table].append(rowId);
        }
        return;
    }
    // A deletion is final unless the record is inserted anew after it.
    if (!tombstone.isNull() && !(op == QLatin1String("put") && tombstone < stamp))
        return;

    const QJsonObject incoming = record.value(QStringLiteral("a")).toObject();
    const QJsonObject times = record.value(QStringLiteral("ts")).toObject();
    auto stampFor = [&](const QString &key) {
        return times.contains(key) ? SyncStamp{qint64(times.value(key).toDouble()), stamp.device} : stamp;
    };
    const bool hasPasteboards = record.contains(QStringLiteral("p"));
    if (rowId == 0 && op == QLatin1String("set") && !blobs.isEmpty()) {
        wait(stamp.device, record); // with its blobs, until the record arrives
        return;
    }
    if (rowId == 0 && op == QLatin1String("set")) {
        // An edit of a record that has not arrived: its values wait in the stamps.
        for (auto it = incoming.constBegin(); it != incoming.constEnd(); ++it) {
            const SyncStamp own = stampFor(it.key());
            if (SyncJournal::stampOf(stamps, it.key()) < own)
                stamps.insert(it.key(), QJsonArray{double(own.time), own.device, it.value()});
        }
        const SyncStamp own = stampFor(QStringLiteral("_pb"));
        if (hasPasteboards && SyncJournal::stampOf(stamps, QStringLiteral("_pb")) < own)
            stamps.insert(QStringLiteral("_pb"),
                          QJsonArray{double(own.time), own.device, record.value(QStringLiteral("p"))});
        m_journal.setStamps(entity.kind, id, stamps);
        return;
    }

    // The stamps this record wins, written over the stored ones at the end. Nearly always it
    // wins every attribute: the incoming values are then written as they are.
    QMap<QString, SyncStamp> newer;
    QJsonObject winners = incoming;
    for (auto it = incoming.constBegin(); it != incoming.constEnd(); ++it) {
        const SyncStamp own = stampFor(it.key());
        if (SyncJournal::stampOf(stamps, it.key()) < own)
            newer.insert(it.key(), own);
        else
            winners.remove(it.key());
    }
    std::optional<QJsonArray> pasteboards;
    if (hasPasteboards && SyncJournal::stampOf(stamps, QStringLiteral("_pb")) < stampFor(QStringLiteral("_pb"))) {
        pasteboards = record.value(QStringLiteral("p")).toArray();
        newer.insert(QStringLiteral("_pb"), stampFor(QStringLiteral("_pb")));
    }
    if (rowId == 0) {
        // Newer edits that arrived first take their place in the new record.
        for (auto it = stamps.begin(); it != stamps.end(); ++it) {
            const QJsonArray entry = it.value().toArray();
            if (entry.size() != 3 || newer.contains(it.key()))
                continue;
            if (it.key() == QLatin1String("_pb"))
                pasteboards = entry.at(2).toArray();
            else if (entity.attributes.contains(it.key()))
                winners.insert(it.key(), entry.at(2));
            it.value() = QJsonArray{entry.at(0), entry.at(1)};
        }
    }
    if (op == QLatin1String("put") && SyncJournal::stampOf(stamps, SyncJournal::kInserted) < stamp)
        newer.insert(SyncJournal::kInserted, stamp);
    stamps.remove(SyncJournal::kDeleted);
    m_journal.setStamps(entity.kind, id, stamps, newer);
    if (winners.isEmpty() && !pasteboards && rowId > 0)
        return;
    // Deleted here and not exported yet: the deletion goes out stamped after what the stamps now
    // hold, and wins everywhere; bringing the row back would keep it here alone.
    if (rowId == 0 && m_journal.pendingOperation(entity.kind, id) == SyncJournal::Delete)
        return;
    const qint64 written = SyncRecords::write(m_journal, entity, id, rowId, winners, blobs);
    if (pasteboards && written > 0 && rowId == 0)
        SyncRecords::addPasteboards(m_journal, written, *pasteboards, blobs);
    else if (pasteboards && written > 0)
        SyncRecords::replacePasteboards(m_journal, written, *pasteboards, blobs);
    result.changedRows[entity.table].append(written);
    if (rowId == 0)
        applyWaitingLinks(entity, id, result);
}

void SyncRecordMerge::applyLink(const QString &id, bool linked, const SyncStamp &stamp, SyncImporter::Result &result)
{
    const QJsonObject stamps = m_journal.stamps(SyncJournal::kLinkKind, id);
    if (!(SyncJournal::stampOf(stamps, SyncJournal::kLinked) < stamp))
        return;
    m_journal.setStamps(SyncJournal::kLinkKind, id,
                        QJsonObject{{SyncJournal::kLinked, QJsonArray{double(stamp.time), stamp.device, linked}}});
    // Linked or unlinked here and not exported yet: that goes out stamped later and wins.
    if (m_journal.pendingOperation(SyncJournal::kLinkKind, id))
        return;
    const qsizetype bar = id.indexOf(QLatin1Char('|'));
    setLink(id.left(bar), id.mid(bar + 1), linked, result);
}

bool SyncRecordMerge::setLink(const QString &itemId, const QString &categoryId, bool linked,
                              SyncImporter::Result &result)
{
    const qint64 item = SyncRecords::rowIdOf(m_journal, SyncEntity::item(), itemId);
    const qint64 category = SyncRecords::rowIdOf(m_journal, SyncEntity::category(), categoryId);
    if (item == 0 || category == 0)
        return false;
    using StoreStatements::quoted;
    const RelationshipDescription &link = PBItemRecord::categoriesLink();
    const QString table = quoted(link.linkTable), itemColumn = quoted(link.ownColumn),
                  categoryColumn = quoted(link.targetColumn);
    SQLite::Statement &statement = m_journal.statement(
        linked
            ? QStringLiteral("INSERT OR IGNORE INTO %1 (%2, %3) VALUES (?, ?)").arg(table, itemColumn, categoryColumn)
            : QStringLiteral("DELETE FROM %1 WHERE %2 = ? AND %3 = ?").arg(table, itemColumn, categoryColumn));
    statement.bind(1, int64_t(item));
    statement.bind(2, int64_t(category));
    const int changes = statement.exec();
    statement.reset();
    if (changes > 0) {
        result.changedRows[SyncEntity::item().table].append(item);
        result.changedRows[SyncEntity::category().table].append(category);
    }
    return true;
}

void SyncRecordMerge::applyWaitingLinks(const SyncEntity &entity, const QString &id, SyncImporter::Result &result)
{
    // Item links are found by prefix; category links need a scan (categories arrive rarely).
    const bool item = &entity == &SyncEntity::item();
    SQLite::Statement &links = m_journal.statement(
        item ? QStringLiteral(
            "SELECT \"gid\", \"stamps\" FROM \"SyncClock\" WHERE \"kind\" = 'link' AND \"gid\" >= ? AND \"gid\" < ?")
             : QStringLiteral("SELECT \"gid\", \"stamps\" FROM \"SyncClock\" WHERE \"kind\" = 'link' AND \"gid\" LIKE "
                              "? ESCAPE '\\'"));
    if (item) {
        links.bind(1, QString(id + QLatin1Char('|')).toStdString());
        links.bind(2, QString(id + QLatin1Char('}')).toStdString());
    } else {
        QString pattern = id;
        pattern.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('%'), QStringLiteral("\\%"))
            .replace(QLatin1Char('_'), QStringLiteral("\\_"));
        links.bind(1, QString(QStringLiteral("%|") + pattern).toStdString());
    }
    QList<QPair<QString, bool>> waiting;
    while (links.executeStep()) {
        const QJsonArray entry = QJsonDocument::fromJson(QByteArray::fromStdString(links.getColumn(1).getString()))
                                     .object()
                                     .value(SyncJournal::kLinked)
                                     .toArray();
        if (entry.size() == 3)
            waiting.append({QString::fromStdString(links.getColumn(0).getString()), entry.at(2).toBool()});
    }
    links.reset();
    for (const auto &[link, linked] : std::as_const(waiting)) {
        const qsizetype bar = link.indexOf(QLatin1Char('|'));
        setLink(link.left(bar), link.mid(bar + 1), linked, result);
    }
}
