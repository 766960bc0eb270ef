#include "core/sync/SyncExporter.h"

#include "core/store/StoreFailure.h"
#include "core/sync/SyncBlobs.h"
#include "core/sync/SyncRecords.h"
#include "core/sync/SyncSegment.h"
#include "platform/Log.h"

#include <SQLiteCpp/Transaction.h>

#include <QDateTime>
#include <QJsonArray>
#include <QSet>

#include <map>

namespace {
struct Pending {
    QString kind;
    QString id;
    int op = SyncJournal::Update;
    qint64 mask = 0;
    qint64 at = 0;
};
} // namespace

SyncExporter::SyncExporter(SyncJournal &journal, const SyncFolder &folder, const SyncKey &key)
    : m_journal(journal),
      m_folder(folder),
      m_key(key)
{
}

SyncExporter::Result SyncExporter::exportChanges()
{
    Result result;
    try {
        while (!result.failure && exportOne(result)) {}
    } catch (const std::exception &failure) {
        LOG_ERROR("SyncExporter::exportChanges()", QStringLiteral("store error: ") + storeFailureKind(failure));
        result.failure = SyncFailure{CloudErrorCode::InternalError, storeFailureKind(failure)};
    }
    return result;
}

bool SyncExporter::exportOne(Result &result)
{
    SQLite::Database &database = m_journal.database();
    const QString self = m_journal.deviceId();

    // Coalesce the oldest logged changes into at most kMaxRecords records, in order of first change.
    std::vector<Pending> pending;
    std::map<std::pair<QString, QString>, size_t> byId;
    qint64 lastSeq = 0;
    {
        SQLite::Statement changes(database, "SELECT \"seq\", \"entity\", \"gid\", \"mask\", \"op\", \"at\" FROM "
                                            "\"SyncChange\" ORDER BY \"seq\" LIMIT 20000");
        while (changes.executeStep()) {
            const QString kind = QString::fromStdString(changes.getColumn(1).getString());
            const QString id = QString::fromStdString(changes.getColumn(2).getString());
            const auto key = std::make_pair(kind, id);
            auto found = byId.find(key);
            if (found == byId.end()) {
                if (int(pending.size()) >= kMaxRecords)
                    break;
                found = byId.emplace(key, pending.size()).first;
                pending.push_back({kind, id, SyncJournal::Update, 0, 0});
            }
            lastSeq = changes.getColumn(0).getInt64();
            Pending &entry = pending[found->second];
            const int op = changes.getColumn(4).getInt();
            const qint64 mask = changes.getColumn(3).getInt64();
            entry.at = std::max<qint64>(entry.at, changes.getColumn(5).getInt64());
            if (op == SyncJournal::Insert) {
                entry.op = SyncJournal::Insert;
                entry.mask = -1;
            } else if (op == SyncJournal::Update) {
                if (entry.op == SyncJournal::Delete)
                    entry.op = SyncJournal::Insert, entry.mask = -1;
                else
                    entry.mask |= mask;
            } else {
                entry.op = op;
            }
        }
    }
    if (pending.empty())
        return false;

    const quint64 number =
        m_journal.meta(QStringLiteral("lastSegment")).value_or(QStringLiteral("0")).toULongLong() + 1;
    SyncBlobs blobs(m_journal, m_folder, m_key);
    blobs.setBudget(m_budget);
    std::optional<SyncFailure> blobFailure;
    bool tooLarge = false;
    // Called while a row is read: the blobs' use is noted with the segment, not amid the read.
    QSet<QString> usedBlobs;
    const SyncRecords::LargeValue large = [&](const QByteArray &bytes) -> QJsonValue {
        if (bytes.size() > SyncBlobs::kMaxBytes)
            tooLarge = true;
        if (blobFailure || tooLarge)
            return QJsonValue::Null;
        auto stored = blobs.put(bytes);
        if (const SyncFailure *failure = std::get_if<SyncFailure>(&stored)) {
            blobFailure = *failure;
            return QJsonValue::Null;
        }
        usedBlobs.insert(std::get<SyncBlobs::Ref>(stored).hash);
        return SyncBlobs::refValue(std::get<SyncBlobs::Ref>(stored));
    };

    // Changes logged up to here are in the rows read below: later updates they cover need not
    // travel again (a large save logs its items' inserts long before their pasteboards).
    const qint64 readAfter = m_journal.lastChange();
    QHash<QPair<QString, QString>, qint64> readMasks;
    QJsonArray records;
    QHash<QPair<QString, QString>, QJsonObject> newStamps;
    qint64 bytes = 0;
    bool cutShort = false;
    for (const Pending &entry : pending) {
        QJsonObject stamps = m_journal.stamps(entry.kind, entry.id);
        qint64 latest = 0;
        for (auto it = stamps.constBegin(); it != stamps.constEnd(); ++it)
            latest = std::max(latest, SyncJournal::stampOf(stamps, it.key()).time);
        const SyncStamp stamp{std::max({entry.at, latest + 1, qint64(1)}), self};
        QJsonObject record{{QStringLiteral("k"), entry.kind},
                           {QStringLiteral("id"), entry.id},
                           {QStringLiteral("t"), double(stamp.time)}};

        if (entry.kind == SyncJournal::kLinkKind) {
            const bool linked = entry.op == SyncJournal::LinkAdd;
            record.insert(QStringLiteral("op"), linked ? QStringLiteral("put") : QStringLiteral("del"));
            stamps.insert(SyncJournal::kLinked, QJsonArray{double(stamp.time), self, linked});
        } else if (const SyncEntity *entity = SyncEntity::byKind(entry.kind)) {
            if (entry.op == SyncJournal::Delete) {
                record.insert(QStringLiteral("op"), QStringLiteral("del"));
                stamps = QJsonObject{{SyncJournal::kDeleted, SyncJournal::stampValue(stamp)}};
            } else {
                tooLarge = false;
                const std::optional<SyncRecords::Row> row =
                    SyncRecords::read(m_journal, *entity, entry.id, entry.mask, large);
                if (tooLarge) {
                    // Larger than any blob may be: it stays on this machine only.
                    LOG_WARNING("SyncExporter::exportOne()",
                                QStringLiteral("a %1 with a value over %2 bytes is too large to sync")
                                    .arg(entry.kind)
                                    .arg(SyncBlobs::kMaxBytes));
                    result.skipped.append(entry.id);
                    continue;
                }
                if (blobFailure) {
                    result.failure = blobFailure; // the changes stay logged for the next try
                    return false;
                }
                if (!row)
                    continue; // deleted since; its delete is logged after this change
                record.insert(QStringLiteral("op"),
                              entry.op == SyncJournal::Insert ? QStringLiteral("put") : QStringLiteral("set"));
                record.insert(QStringLiteral("a"), row->attributes);
                if (row->pasteboards)
                    record.insert(QStringLiteral("p"), *row->pasteboards);
                for (auto it = row->attributes.constBegin(); it != row->attributes.constEnd(); ++it)
                    stamps.insert(it.key(), SyncJournal::stampValue(stamp));
                if (row->pasteboards)
                    stamps.insert(QStringLiteral("_pb"), SyncJournal::stampValue(stamp));
                if (entry.op == SyncJournal::Insert)
                    stamps.insert(SyncJournal::kInserted, SyncJournal::stampValue(stamp));
                stamps.remove(SyncJournal::kDeleted);
            }
        } else {
            continue;
        }
        const qint64 size = QJsonDocument(record).toJson(QJsonDocument::Compact).size();
        if (size > kMaxSegmentBytes) {
            // One record larger than a segment may be: it stays on this machine only.
            LOG_WARNING("SyncExporter::exportOne()",
                        QStringLiteral("a %1 of %2 bytes is too large to sync").arg(entry.kind).arg(size));
            result.skipped.append(entry.id);
            continue;
        }
        bytes += size;
        records.append(record);
        newStamps.insert({entry.kind, entry.id}, stamps);
        if (entry.kind != SyncJournal::kLinkKind && entry.op != SyncJournal::Delete)
            readMasks.insert({entry.kind, entry.id}, entry.op == SyncJournal::Insert ? -1 : entry.mask);
        if (bytes > kMaxSegmentBytes) {
            cutShort = true; // the rest stays logged for the next segment
            break;
        }
    }

    if (!records.isEmpty()) {
        const QString name = SyncFolder::segmentName(number);
        const QJsonObject segment{{QStringLiteral("format"), SyncFolder::kFormat},
                                  {QStringLiteral("device"), self},
                                  {QStringLiteral("number"), double(number)},
                                  {QStringLiteral("records"), records}};
        if (std::optional<SyncFailure> failure =
                m_folder.writeFile(self, name, SyncSegment::seal(m_key, self, name, segment), m_budget)) {
            result.failure = failure;
            return false;
        }
    }
    // Which log rows went out: all up to lastSeq, unless the size cut stopped early.
    SQLite::Transaction transaction(database, SQLite::TransactionBehavior::IMMEDIATE);
    for (const QString &hash : std::as_const(usedBlobs))
        blobs.noteUse(hash, number);
    for (auto it = newStamps.cbegin(); it != newStamps.cend(); ++it)
        m_journal.setStamps(it.key().first, it.key().second, it.value());
    if (!cutShort) {
        SQLite::Statement forget(database, "DELETE FROM \"SyncChange\" WHERE \"seq\" <= ?");
        forget.bind(1, int64_t(lastSeq));
        forget.exec();
    } else {
        // Forget only the changes of the records that were written.
        SQLite::Statement forget(database,
                                 "DELETE FROM \"SyncChange\" WHERE \"seq\" <= ? AND \"entity\" = ? AND \"gid\" = ?");
        for (auto it = newStamps.cbegin(); it != newStamps.cend(); ++it) {
            forget.bind(1, int64_t(lastSeq));
            forget.bind(2, it.key().first.toStdString());
            forget.bind(3, it.key().second.toStdString());
            forget.exec();
            forget.reset();
        }
    }
    SQLite::Statement covered(database, "DELETE FROM \"SyncChange\" WHERE \"entity\" = ? AND \"gid\" = ? AND "
                                        "\"seq\" > ? AND \"seq\" <= ? AND \"op\" = 1 AND (\"mask\" & ?) = \"mask\"");
    for (auto it = readMasks.cbegin(); it != readMasks.cend(); ++it) {
        covered.bind(1, it.key().first.toStdString());
        covered.bind(2, it.key().second.toStdString());
        covered.bind(3, int64_t(lastSeq));
        covered.bind(4, int64_t(readAfter));
        covered.bind(5, int64_t(it.value()));
        covered.exec();
        covered.reset();
    }
    if (!records.isEmpty())
        m_journal.setMeta(QStringLiteral("lastSegment"), QString::number(number));
    transaction.commit();
    result.records += int(records.size());
    result.segments += records.isEmpty() ? 0 : 1;
    return true;
}
