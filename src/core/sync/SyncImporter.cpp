#include "core/sync/SyncImporter.h"

#include "core/sync/SyncRecords.h"
#include "core/sync/SyncSegment.h"
#include "platform/Log.h"

#include <SQLiteCpp/Transaction.h>

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QUuid>

namespace {
constexpr qsizetype kMaxRecordsPerSegment = 100000;
constexpr qsizetype kMaxIdLength = 256;

bool isValidId(const SyncEntity &entity, const QString &id)
{
    if (id.isEmpty() || id.size() > kMaxIdLength || id.contains(QLatin1Char('|')))
        return false;
    return &entity != &SyncEntity::item() || !QUuid(id).isNull();
}

QString logName(const QString &device, quint64 number)
{
    return device.left(8) + QLatin1Char('/') + QString::number(number);
}
} // namespace

SyncImporter::SyncImporter(SyncJournal &journal, const SyncFolder &folder, const SyncKey &key)
    : m_journal(journal), m_folder(folder), m_key(key), m_now([] { return QDateTime::currentMSecsSinceEpoch(); })
{
}

SyncImporter::Result SyncImporter::importChanges()
{
    Result result;
    const QString self = m_journal.deviceId();
    if (!QFileInfo(m_folder.path()).isDir()) {
        result.failure = m_folder.missingFolder();
        return result;
    }
    for (const QString &device : m_folder.devices()) {
        if (device == self)
            continue;
        const quint64 cursor = m_journal.cursor(device);
        const QList<quint64> numbers = m_folder.segments(device);
        quint64 expected = cursor + 1;
        for (qsizetype i = 0; i < numbers.size(); ++i) {
            if (numbers[i] < expected)
                continue;
            if (numbers[i] != expected)
                break; // a segment in between has not arrived yet
            const Outcome outcome = importSegment(device, numbers[i], i + 1 < numbers.size(), result);
            if (outcome != Outcome::Applied)
                break;
            ++expected;
        }
        if (result.failure)
            break;
    }
    return result;
}

SyncImporter::Outcome SyncImporter::importSegment(const QString &device, quint64 number, bool laterExists, Result &result)
{
    const QString name = SyncFolder::segmentName(number);
    const QString attemptKey = device + QLatin1Char('/') + name;
    auto dropOrRetry = [&](const char *why) {
        const int attempts = ++m_attempts[attemptKey];
        if (attempts < kAttemptsBeforeDrop || !laterExists) {
            LOG_INFO("SyncImporter::importSegment()", QStringLiteral("segment %1 %2; will retry").arg(logName(device, number), QLatin1String(why)));
            return Outcome::Retry;
        }
        LOG_WARNING("SyncImporter::importSegment()", QStringLiteral("segment %1 %2 after %3 attempts; skipped").arg(logName(device, number), QLatin1String(why)).arg(attempts));
        m_journal.setCursor(device, number);
        m_attempts.remove(attemptKey);
        return Outcome::Applied;
    };

    const std::optional<QByteArray> bytes = m_folder.readFile(device, name);
    if (!bytes) {
        if (!QFileInfo(m_folder.path()).isDir()) {
            result.failure = m_folder.missingFolder();
            return Outcome::Stop;
        }
        return dropOrRetry("could not be read");
    }
    SyncSegment::OpenError error = SyncSegment::OpenError::None;
    const std::optional<QJsonObject> segment = SyncSegment::open(m_key, device, name, *bytes, &error);
    if (error == SyncSegment::OpenError::NewerFormat) {
        LOG_INFO("SyncImporter::importSegment()", QStringLiteral("segment %1 is of a newer format; left for a newer version").arg(logName(device, number)));
        return Outcome::Stop;
    }
    if (error == SyncSegment::OpenError::Unreadable)
        return dropOrRetry("could not be opened (partial copy or another key)");
    const QJsonArray records = segment ? segment->value(QStringLiteral("records")).toArray() : QJsonArray();
    if (!segment || quint64(segment->value(QStringLiteral("number")).toDouble()) != number
        || !segment->value(QStringLiteral("records")).isArray() || records.size() > kMaxRecordsPerSegment) {
        LOG_WARNING("SyncImporter::importSegment()", QStringLiteral("segment %1 is malformed; skipped").arg(logName(device, number)));
        m_journal.setCursor(device, number);
        return Outcome::Applied;
    }

    Result applied;
    try {
        SQLite::Transaction transaction(m_journal.database(), SQLite::TransactionBehavior::IMMEDIATE);
        const qint64 before = m_journal.lastChange();
        for (const QJsonValue &record : records)
            applyRecord(device, record.toObject(), applied);
        // What this import wrote is not a local change: it must not travel back.
        m_journal.forgetChangesAfter(before);
        m_journal.setCursor(device, number);
        transaction.commit();
    } catch (const std::exception &failure) {
        LOG_ERROR("SyncImporter::importSegment()", QStringLiteral("segment %1 could not be stored: %2").arg(logName(device, number), QString::fromUtf8(failure.what())));
        result.failure = SyncFailure{CloudErrorCode::InternalError, QString::fromUtf8(failure.what())};
        return Outcome::Stop;
    }
    m_attempts.remove(attemptKey);
    for (auto it = applied.changedRows.cbegin(); it != applied.changedRows.cend(); ++it)
        result.changedRows[it.key()] += it.value();
    for (auto it = applied.deletedRows.cbegin(); it != applied.deletedRows.cend(); ++it)
        result.deletedRows[it.key()] += it.value();
    for (auto it = applied.partialErrors.cbegin(); it != applied.partialErrors.cend(); ++it)
        result.partialErrors.insert(it.key(), it.value());
    result.records += applied.records;
    ++result.segments;
    return Outcome::Applied;
}

void SyncImporter::applyRecord(const QString &device, const QJsonObject &record, Result &result)
{
    const QString kind = record.value(QStringLiteral("k")).toString();
    const QString id = record.value(QStringLiteral("id")).toString();
    const QString op = record.value(QStringLiteral("op")).toString();
    const QJsonValue time = record.value(QStringLiteral("t"));
    auto refuse = [&](const QString &reason) {
        LOG_WARNING("SyncImporter::applyRecord()", QStringLiteral("a %1 record from %2 refused: %3").arg(kind.left(16), device.left(8), reason));
        if (!id.isEmpty() && id.size() <= kMaxIdLength)
            result.partialErrors.insert(id, reason);
    };
    if (!time.isDouble() || time.toDouble() < 1 || time.toDouble() > 9.0e15) {
        refuse(QStringLiteral("no valid time"));
        return;
    }
    const SyncStamp stamp{qint64(time.toDouble()), device};
    if (stamp.time > m_now() + kFutureToleranceMs) {
        refuse(QStringLiteral("dated in the future"));
        return;
    }
    if (kind == SyncJournal::kLinkKind) {
        const qsizetype bar = id.indexOf(QLatin1Char('|'));
        if (bar <= 0 || !isValidId(SyncEntity::item(), id.left(bar)) || !isValidId(SyncEntity::category(), id.mid(bar + 1))
            || (op != QLatin1String("put") && op != QLatin1String("del"))) {
            refuse(QStringLiteral("malformed link"));
            return;
        }
        applyLink(id, op == QLatin1String("put"), stamp, result);
        ++result.records;
        return;
    }
    const SyncEntity *entity = SyncEntity::byKind(kind);
    if (!entity || !isValidId(*entity, id)
        || (op != QLatin1String("put") && op != QLatin1String("set") && op != QLatin1String("del"))) {
        refuse(QStringLiteral("malformed record"));
        return;
    }
    const QJsonObject attributes = record.value(QStringLiteral("a")).toObject();
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it) {
        const int index = int(entity->attributes.indexOf(it.key()));
        if (index < 0 || !SyncRecords::fits(*entity, index, it.value())) {
            refuse(QStringLiteral("attribute of the wrong kind"));
            return;
        }
    }
    if (record.contains(QStringLiteral("p")) && (!entity->hasPasteboards || !SyncRecords::pasteboardsFit(record.value(QStringLiteral("p"))))) {
        refuse(QStringLiteral("malformed pasteboards"));
        return;
    }
    applyEntity(*entity, id, op, stamp, record, result);
    ++result.records;
}

void SyncImporter::applyEntity(const SyncEntity &entity, const QString &id, const QString &op, const SyncStamp &stamp,
                               const QJsonObject &record, Result &result)
{
    SQLite::Database &database = m_journal.database();
    QJsonObject stamps = m_journal.stamps(entity.kind, id);
    const SyncStamp tombstone = SyncJournal::stampOf(stamps, SyncJournal::kDeleted);
    const qint64 rowId = SyncRecords::rowIdOf(database, entity, id);

    if (op == QLatin1String("del")) {
        if (!tombstone.isNull() && !(tombstone < stamp))
            return;
        m_journal.setStamps(entity.kind, id, QJsonObject{{SyncJournal::kDeleted, SyncJournal::stampValue(stamp)}});
        if (rowId > 0) {
            SQLite::Statement remove(database, QStringLiteral("DELETE FROM \"%1\" WHERE \"%2\" = ?").arg(entity.table, entity.idColumn).toStdString());
            remove.bind(1, id.toStdString());
            remove.exec();
            result.deletedRows[entity.table].append(rowId);
        }
        return;
    }
    // A deletion is final unless the record is inserted anew after it.
    if (!tombstone.isNull() && !(op == QLatin1String("put") && tombstone < stamp))
        return;

    const QJsonObject incoming = record.value(QStringLiteral("a")).toObject();
    const bool hasPasteboards = record.contains(QStringLiteral("p"));
    if (rowId == 0 && op == QLatin1String("set")) {
        // An edit of a record that has not arrived: its values wait in the stamps.
        for (auto it = incoming.constBegin(); it != incoming.constEnd(); ++it)
            if (SyncJournal::stampOf(stamps, it.key()) < stamp)
                stamps.insert(it.key(), QJsonArray{double(stamp.time), stamp.device, it.value()});
        if (hasPasteboards && SyncJournal::stampOf(stamps, QStringLiteral("_pb")) < stamp)
            stamps.insert(QStringLiteral("_pb"), QJsonArray{double(stamp.time), stamp.device, record.value(QStringLiteral("p"))});
        m_journal.setStamps(entity.kind, id, stamps);
        return;
    }

    QJsonObject winners;
    for (auto it = incoming.constBegin(); it != incoming.constEnd(); ++it) {
        if (SyncJournal::stampOf(stamps, it.key()) < stamp) {
            winners.insert(it.key(), it.value());
            stamps.insert(it.key(), SyncJournal::stampValue(stamp));
        }
    }
    std::optional<QJsonArray> pasteboards;
    if (hasPasteboards && SyncJournal::stampOf(stamps, QStringLiteral("_pb")) < stamp) {
        pasteboards = record.value(QStringLiteral("p")).toArray();
        stamps.insert(QStringLiteral("_pb"), SyncJournal::stampValue(stamp));
    }
    if (rowId == 0) {
        // Newer edits that arrived first take their place in the new record.
        for (auto it = stamps.begin(); it != stamps.end(); ++it) {
            const QJsonArray entry = it.value().toArray();
            if (entry.size() != 3)
                continue;
            if (it.key() == QLatin1String("_pb"))
                pasteboards = entry.at(2).toArray();
            else if (entity.attributes.contains(it.key()))
                winners.insert(it.key(), entry.at(2));
            it.value() = QJsonArray{entry.at(0), entry.at(1)};
        }
    }
    stamps.remove(SyncJournal::kDeleted);
    m_journal.setStamps(entity.kind, id, stamps);
    if (winners.isEmpty() && !pasteboards && rowId > 0)
        return;
    const qint64 written = SyncRecords::write(database, entity, id, rowId, winners);
    if (pasteboards && written > 0)
        SyncRecords::replacePasteboards(database, written, *pasteboards);
    result.changedRows[entity.table].append(written);
    if (rowId == 0)
        applyWaitingLinks(entity, id, result);
}

void SyncImporter::applyLink(const QString &id, bool linked, const SyncStamp &stamp, Result &result)
{
    const QJsonObject stamps = m_journal.stamps(SyncJournal::kLinkKind, id);
    if (!(SyncJournal::stampOf(stamps, SyncJournal::kLinked) < stamp))
        return;
    m_journal.setStamps(SyncJournal::kLinkKind, id, QJsonObject{{SyncJournal::kLinked, QJsonArray{double(stamp.time), stamp.device, linked}}});
    const qsizetype bar = id.indexOf(QLatin1Char('|'));
    setLink(id.left(bar), id.mid(bar + 1), linked, result);
}

bool SyncImporter::setLink(const QString &itemId, const QString &categoryId, bool linked, Result &result)
{
    SQLite::Database &database = m_journal.database();
    const qint64 item = SyncRecords::rowIdOf(database, SyncEntity::item(), itemId);
    const qint64 category = SyncRecords::rowIdOf(database, SyncEntity::category(), categoryId);
    if (item == 0 || category == 0)
        return false;
    SQLite::Statement statement(database, linked ? "INSERT OR IGNORE INTO \"PBItemRecord_categories\" (\"item\", \"category\") VALUES (?, ?)"
                                                 : "DELETE FROM \"PBItemRecord_categories\" WHERE \"item\" = ? AND \"category\" = ?");
    statement.bind(1, int64_t(item));
    statement.bind(2, int64_t(category));
    if (statement.exec() > 0) {
        result.changedRows[SyncEntity::item().table].append(item);
        result.changedRows[SyncEntity::category().table].append(category);
    }
    return true;
}

void SyncImporter::applyWaitingLinks(const SyncEntity &entity, const QString &id, Result &result)
{
    SQLite::Database &database = m_journal.database();
    // Item links are found by prefix; category links need a scan (categories arrive rarely).
    const bool item = &entity == &SyncEntity::item();
    SQLite::Statement links(database, item ? "SELECT \"gid\", \"stamps\" FROM \"SyncClock\" WHERE \"kind\" = 'link' AND \"gid\" >= ? AND \"gid\" < ?"
                                           : "SELECT \"gid\", \"stamps\" FROM \"SyncClock\" WHERE \"kind\" = 'link' AND \"gid\" LIKE ? ESCAPE '\\'");
    if (item) {
        links.bind(1, QString(id + QLatin1Char('|')).toStdString());
        links.bind(2, QString(id + QLatin1Char('}')).toStdString());
    } else {
        QString pattern = id;
        pattern.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('%'), QStringLiteral("\\%")).replace(QLatin1Char('_'), QStringLiteral("\\_"));
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
    for (const auto &[link, linked] : std::as_const(waiting)) {
        const qsizetype bar = link.indexOf(QLatin1Char('|'));
        setLink(link.left(bar), link.mid(bar + 1), linked, result);
    }
}
