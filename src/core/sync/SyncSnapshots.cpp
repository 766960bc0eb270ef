#include "core/sync/SyncSnapshots.h"

#include "core/store/StoreFailure.h"
#include "core/sync/SyncBlobs.h"
#include "core/sync/SyncRecords.h"
#include "core/sync/SyncSegment.h"
#include "platform/Log.h"

#include <SQLiteCpp/Transaction.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>

namespace {
const QString kLastSnapshot = QStringLiteral("lastSnapshot");
const QString kLastSnapshotAt = QStringLiteral("lastSnapshotAt");
const QString kLastSnapshotBytes = QStringLiteral("lastSnapshotBytes");
const QString kCleanedSnapshot = QStringLiteral("cleanedSnapshot");

// The record that restores what this device last wrote of one clock entry, if anything.
std::optional<QJsonObject> snapshotRecord(SyncJournal &journal, const QString &self, const QString &kind,
                                          const QString &id, const QJsonObject &stamps,
                                          const SyncRecords::LargeValue &large)
{
    if (kind == SyncJournal::kLinkKind) {
        const QJsonArray entry = stamps.value(SyncJournal::kLinked).toArray();
        if (entry.size() != 3 || entry.at(1).toString() != self)
            return std::nullopt;
        return QJsonObject{{QStringLiteral("k"), kind},
                           {QStringLiteral("id"), id},
                           {QStringLiteral("op"), entry.at(2).toBool() ? QStringLiteral("put") : QStringLiteral("del")},
                           {QStringLiteral("t"), entry.at(0)}};
    }
    const SyncEntity *entity = SyncEntity::byKind(kind);
    if (!entity)
        return std::nullopt;
    const SyncStamp tombstone = SyncJournal::stampOf(stamps, SyncJournal::kDeleted);
    if (!tombstone.isNull()) {
        if (tombstone.device != self)
            return std::nullopt;
        return QJsonObject{{QStringLiteral("k"), kind},
                           {QStringLiteral("id"), id},
                           {QStringLiteral("op"), QStringLiteral("del")},
                           {QStringLiteral("t"), double(tombstone.time)}};
    }
    // Values this device wrote and nobody has replaced since (a waiting value is someone else's).
    qint64 mask = 0;
    QJsonObject times;
    qint64 earliest = std::numeric_limits<qint64>::max();
    qint64 latest = 0;
    auto own = [&](const QString &key, int bit) {
        const QJsonArray entry = stamps.value(key).toArray();
        if (entry.size() != 2 || entry.at(1).toString() != self)
            return;
        mask |= qint64(1) << bit;
        const qint64 time = qint64(entry.at(0).toDouble());
        times.insert(key, double(time));
        earliest = std::min(earliest, time);
        latest = std::max(latest, time);
    };
    for (int i = 0; i < entity->attributes.size(); ++i)
        own(entity->attributes[i], i);
    if (entity->hasPasteboards)
        own(QStringLiteral("_pb"), entity->pasteboardsBit());
    const SyncStamp inserted = SyncJournal::stampOf(stamps, SyncJournal::kInserted);
    // Records logged before insertions were stamped count as inserted by whoever wrote them.
    const bool put = inserted.device == self || (inserted.isNull() && mask != 0);
    if (!put && mask == 0)
        return std::nullopt;
    const std::optional<SyncRecords::Row> row = SyncRecords::read(journal, *entity, id, mask, large);
    if (!row)
        return std::nullopt;
    const qint64 time = put ? (inserted.isNull() ? earliest : inserted.time) : latest;
    QJsonObject record{{QStringLiteral("k"), kind},
                       {QStringLiteral("id"), id},
                       {QStringLiteral("op"), put ? QStringLiteral("put") : QStringLiteral("set")},
                       {QStringLiteral("t"), double(time)},
                       {QStringLiteral("a"), row->attributes},
                       {QStringLiteral("ts"), times}};
    if (row->pasteboards)
        record.insert(QStringLiteral("p"), *row->pasteboards);
    return record;
}
} // namespace

SyncSnapshots::SyncSnapshots(SyncJournal &journal, const SyncFolder &folder, const SyncKey &key)
    : m_journal(journal),
      m_folder(folder),
      m_key(key),
      m_now([] { return QDateTime::currentMSecsSinceEpoch(); })
{
}

bool SyncSnapshots::isDue()
{
    const quint64 last = m_journal.meta(kLastSnapshot).value_or(QStringLiteral("0")).toULongLong();
    const quint64 lastSegment =
        m_journal.meta(QStringLiteral("lastSegment")).value_or(QStringLiteral("0")).toULongLong();
    if (lastSegment <= last)
        return false;
    const QString self = m_journal.deviceId();
    int count = 0;
    qint64 bytes = 0;
    for (quint64 number : m_folder.segments(self)) {
        if (number <= last)
            continue;
        if (number > lastSegment) {
            // Not written here (a service's stray copy, another program's file): not ours to count.
            if (!m_foreign.contains(number)) {
                m_foreign.insert(number);
                LOG_WARNING(
                    "SyncSnapshots::isDue()",
                    QStringLiteral("segment %1 in this device's folder was not written here; ignored").arg(number));
            }
            continue;
        }
        ++count;
        bytes += QFileInfo(m_folder.deviceDirectory(self) + QLatin1Char('/') + SyncFolder::segmentName(number)).size();
    }
    const qint64 snapshotBytes = m_journal.meta(kLastSnapshotBytes).value_or(QStringLiteral("0")).toLongLong();
    return count >= kSegmentsPerSnapshot || bytes >= std::max(kMinimumBytes, snapshotBytes);
}

SyncSnapshots::Result SyncSnapshots::compact()
{
    Result result;
    if (isDue())
        result = write();
    if (!result.failure)
        result.removed = cleanUp();
    return result;
}

SyncSnapshots::Result SyncSnapshots::write()
{
    Result result;
    const QString self = m_journal.deviceId();
    SyncBlobs blobs(m_journal, m_folder, m_key);
    QSet<QString> usedBlobs;
    quint64 number = 0;
    int parts = 0;
    qint64 bytes = 0;
    try {
        // One read transaction: the snapshot shows the store as the segments up to `number` left it.
        SQLite::Transaction reading(m_journal.database());
        if (m_journal.database().execAndGet("SELECT count(*) FROM \"SyncChange\"").getInt64() > 0)
            return result; // changes wait to be exported: next time
        number = m_journal.meta(QStringLiteral("lastSegment")).value_or(QStringLiteral("0")).toULongLong();
        if (number == 0 || number <= m_journal.meta(kLastSnapshot).value_or(QStringLiteral("0")).toULongLong())
            return result;
        const SyncRecords::LargeValue large = [&](const QByteArray &value) -> QJsonValue {
            if (result.failure)
                return QJsonValue::Null;
            auto stored = blobs.put(value);
            if (const SyncFailure *failure = std::get_if<SyncFailure>(&stored)) {
                result.failure = *failure;
                return QJsonValue::Null;
            }
            usedBlobs.insert(std::get<SyncBlobs::Ref>(stored).hash);
            return SyncBlobs::refValue(std::get<SyncBlobs::Ref>(stored));
        };
        QJsonArray records;
        qint64 partBytes = 0;
        auto flush = [&] {
            const QString name = SyncFolder::snapshotPartName(number, ++parts);
            const QJsonObject content{{QStringLiteral("format"), SyncFolder::kFormat},
                                      {QStringLiteral("device"), self},
                                      {QStringLiteral("number"), double(number)},
                                      {QStringLiteral("part"), parts},
                                      {QStringLiteral("records"), records}};
            const QByteArray sealed = SyncSegment::seal(m_key, self, name, content);
            bytes += sealed.size();
            if (std::optional<SyncFailure> failure = m_folder.writeFile(self, name, sealed))
                result.failure = failure;
            records = QJsonArray();
            partBytes = 0;
        };
        QString lastKind;
        QString lastId;
        for (bool more = true; more && !result.failure;) {
            struct Entry {
                QString kind, id;
                QJsonObject stamps;
            };
            QList<Entry> entries;
            {
                SQLite::Statement &page = m_journal.statement(QStringLiteral(
                    "SELECT \"kind\", \"gid\", \"stamps\" FROM \"SyncClock\" WHERE (\"kind\", \"gid\") > (?, ?) "
                    "ORDER BY \"kind\", \"gid\" LIMIT 500"));
                page.bind(1, lastKind.toStdString());
                page.bind(2, lastId.toStdString());
                while (page.executeStep())
                    entries.append(
                        {QString::fromStdString(page.getColumn(0).getString()),
                         QString::fromStdString(page.getColumn(1).getString()),
                         QJsonDocument::fromJson(QByteArray::fromStdString(page.getColumn(2).getString())).object()});
                page.reset();
            }
            more = entries.size() == 500;
            for (const Entry &entry : std::as_const(entries)) {
                std::optional<QJsonObject> record =
                    snapshotRecord(m_journal, self, entry.kind, entry.id, entry.stamps, large);
                if (result.failure)
                    break;
                if (!record)
                    continue;
                partBytes += QJsonDocument(*record).toJson(QJsonDocument::Compact).size();
                records.append(*record);
                ++result.records;
                if (records.size() >= m_recordsPerPart || partBytes >= kBytesPerPart) {
                    flush();
                    if (result.failure)
                        break;
                }
            }
            if (!entries.isEmpty()) {
                lastKind = entries.last().kind;
                lastId = entries.last().id;
            }
        }
        if (!result.failure && (!records.isEmpty() || parts == 0))
            flush();
    } catch (const std::exception &failure) {
        LOG_ERROR("SyncSnapshots::write()", QStringLiteral("store error: ") + storeFailureKind(failure));
        result.failure = SyncFailure{CloudErrorCode::InternalError, storeFailureKind(failure)};
    }
    if (result.failure) {
        LOG_WARNING("SyncSnapshots::write()",
                    QStringLiteral("snapshot %1 not written: %2").arg(number).arg(int(result.failure->code)));
        return result;
    }
    // The manifest last: a peer uses the snapshot only once every part is in place.
    const QString name = SyncFolder::snapshotName(number);
    const QJsonObject manifest{{QStringLiteral("format"), SyncFolder::kFormat},
                               {QStringLiteral("device"), self},
                               {QStringLiteral("number"), double(number)},
                               {QStringLiteral("parts"), parts},
                               {QStringLiteral("records"), result.records}};
    if (std::optional<SyncFailure> failure =
            m_folder.writeFile(self, name, SyncSegment::seal(m_key, self, name, manifest))) {
        result.failure = failure;
        return result;
    }
    try {
        SQLite::Transaction transaction(m_journal.database(), SQLite::TransactionBehavior::IMMEDIATE);
        for (const QString &hash : std::as_const(usedBlobs))
            blobs.noteUse(hash, number);
        m_journal.setMeta(kLastSnapshot, QString::number(number));
        m_journal.setMeta(kLastSnapshotAt, QString::number(m_now()));
        m_journal.setMeta(kLastSnapshotBytes, QString::number(bytes));
        transaction.commit();
    } catch (const std::exception &failure) {
        result.failure = SyncFailure{CloudErrorCode::InternalError, storeFailureKind(failure)};
        return result;
    }
    LOG_INFO("SyncSnapshots::write()", QStringLiteral("snapshot %1 written: %2 records in %3 parts, %4 bytes")
                                           .arg(number)
                                           .arg(result.records)
                                           .arg(parts)
                                           .arg(bytes));
    result.number = number;
    return result;
}

int SyncSnapshots::cleanUp()
{
    const quint64 last = m_journal.meta(kLastSnapshot).value_or(QStringLiteral("0")).toULongLong();
    if (last == 0 || m_journal.meta(kCleanedSnapshot).value_or(QStringLiteral("0")).toULongLong() == last)
        return 0;
    if (m_now() - m_journal.meta(kLastSnapshotAt).value_or(QStringLiteral("0")).toLongLong() < kGraceMs)
        return 0;
    const QString self = m_journal.deviceId();
    int removed = 0;
    // Older manifests first, so nobody starts on a snapshot whose parts are going.
    for (quint64 number : m_folder.snapshots(self)) {
        if (number < last) {
            m_folder.removeFile(self, SyncFolder::snapshotName(number));
            ++removed;
        }
    }
    static const QRegularExpression partPattern(
        QRegularExpression::anchoredPattern(QStringLiteral("part-([0-9]{16})-[0-9]{6}\\.tps")));
    for (const QString &name : QDir(m_folder.deviceDirectory(self)).entryList(QDir::Files)) {
        const QRegularExpressionMatch match = partPattern.match(name);
        if (match.hasMatch() && match.captured(1).toULongLong() != last) {
            m_folder.removeFile(self, name);
            ++removed;
        }
    }
    for (quint64 number : m_folder.segments(self)) {
        if (number <= last) {
            m_folder.removeFile(self, SyncFolder::segmentName(number));
            ++removed;
        }
    }
    removed += SyncBlobs(m_journal, m_folder, m_key).collect(last);
    m_journal.setMeta(kCleanedSnapshot, QString::number(last));
    LOG_INFO("SyncSnapshots::cleanUp()",
             QStringLiteral("removed %1 files that snapshot %2 replaced").arg(removed).arg(last));
    return removed;
}
