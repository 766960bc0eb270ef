#include "core/sync/SyncImporter.h"

#include "core/store/SearchIndex.h"
#include "core/store/StoreFailure.h"
#include "core/sync/SyncRecordMerge.h"
#include "core/sync/SyncRecords.h"
#include "core/sync/SyncSegment.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"

#include <SQLiteCpp/Transaction.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <condition_variable>
#include <ctime>
#include <mutex>
#include <utility>

namespace {
constexpr qsizetype kMaxRecordsPerSegment = 100000;
constexpr double kMaxSnapshotParts = 100000;
constexpr int kWaitingPerRound = 200;

QString logName(const QString &device, quint64 number)
{
    return device.left(8) + QLatin1Char('/') + QString::number(number);
}

// Whether a file's number field names the number it is filed under (as the writer wrote it).
bool isNumber(const QJsonValue &value, quint64 number)
{
    return value.isDouble() && value.toDouble() == double(number);
}

QString skippedKey(const QString &device) { return QStringLiteral("skipped:") + device; }

// The processor time this thread has used, in microseconds.
qint64 threadCpuMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}
} // namespace

struct SyncImporter::Ahead {
    QString device;
    QString name;
    std::mutex mutex;
    std::condition_variable doneSignal;
    bool done = false;
    OpenedFile file;
};

SyncImporter::SyncImporter(SyncJournal &journal, const SyncFolder &folder, const SyncKey &key)
    : m_journal(journal),
      m_folder(folder),
      m_key(key),
      m_blobs(journal, folder, key),
      m_now([] { return QDateTime::currentMSecsSinceEpoch(); }),
      m_reader(std::make_unique<SerialQueue>(QStringLiteral("com.tavi.syncRead")))
{
}

SyncImporter::~SyncImporter() = default;

SyncImporter::OpenedFile SyncImporter::openFile(const QString &device, const QString &name)
{
    const std::shared_ptr<Ahead> ahead = std::exchange(m_ahead, nullptr);
    if (ahead && ahead->device == device && ahead->name == name) {
        std::unique_lock lock(ahead->mutex);
        ahead->doneSignal.wait(lock, [&] { return ahead->done; });
        if (ahead->file.content)
            return std::move(ahead->file);
    }
    return readAndOpen(m_folder, m_key, device, name);
}

SyncImporter::OpenedFile SyncImporter::readAndOpen(const SyncFolder &folder, const SyncKey &key, const QString &device,
                                                   const QString &name)
{
    OpenedFile file;
    file.bytes = folder.readFile(device, name);
    if (file.bytes)
        file.content = SyncSegment::open(key, device, name, *file.bytes, &file.error);
    return file;
}

void SyncImporter::readAhead(const QString &device, const QString &name)
{
    auto ahead = std::make_shared<Ahead>();
    ahead->device = device;
    ahead->name = name;
    m_ahead = ahead;
    // The folder and the key outlive the reader's thread, which is joined first.
    m_reader->async([ahead, &folder = m_folder, &key = m_key] {
        OpenedFile file = readAndOpen(folder, key, ahead->device, ahead->name);
        std::lock_guard lock(ahead->mutex);
        ahead->file = std::move(file);
        ahead->done = true;
        ahead->doneSignal.notify_all();
    });
}

SyncImporter::Result SyncImporter::importChanges(int recordBudget)
{
    Result result;
    const QString self = m_journal.deviceId();
    if (!QFileInfo(m_folder.path()).isDir()) {
        result.failure = m_folder.missingFolder();
        return result;
    }
    try {
        retryWaiting(result);
    } catch (const std::exception &failure) {
        LOG_ERROR("SyncImporter::importChanges()",
                  QStringLiteral("waiting records could not be stored: ") + storeFailureKind(failure));
    }
    for (const QString &device : m_folder.devices()) {
        if (device == self)
            continue;
        try {
            const Files files{m_folder.segments(device), m_folder.snapshots(device)};
            quint64 cursor = m_journal.cursor(device);
            while (!result.failure) {
                if (result.records >= recordBudget) {
                    result.more = true;
                    return result;
                }
                const quint64 expected = cursor + 1;
                const bool present = std::binary_search(files.segments.cbegin(), files.segments.cend(), expected);
                const bool snapshotAhead = !files.snapshots.isEmpty() && files.snapshots.last() >= expected;
                Outcome outcome = Outcome::Retry;
                bool triedSnapshot = false;
                // The snapshot when the segments it covers are gone, or to start from it.
                if (snapshotAhead && (!present || cursor == 0)) {
                    outcome = importSnapshot(device, files.snapshots, expected, recordBudget, result);
                    triedSnapshot = true;
                }
                if (outcome == Outcome::Retry && present) {
                    outcome = importSegment(device, expected, files, result);
                    if (outcome == Outcome::Retry && snapshotAhead && !triedSnapshot)
                        outcome = importSnapshot(device, files.snapshots, expected, recordBudget, result);
                }
                if (outcome != Outcome::Applied)
                    break; // a segment in between has not arrived yet, or cannot be read yet
                const quint64 reached = m_journal.cursor(device);
                if (reached <= cursor && result.records < recordBudget) {
                    LOG_WARNING("SyncImporter::importChanges()",
                                QStringLiteral("reading past %1 made no progress; left for the next round")
                                    .arg(logName(device, cursor)));
                    break;
                }
                cursor = reached;
            }
            if (!result.failure)
                retrySkipped(device, files, recordBudget, result);
        } catch (const std::exception &failure) {
            LOG_ERROR("SyncImporter::importChanges()", QStringLiteral("the read position of %1 could not be stored: %2")
                                                           .arg(device.left(8), storeFailureKind(failure)));
            result.failure = SyncFailure{CloudErrorCode::InternalError, storeFailureKind(failure)};
        }
        if (result.failure)
            break;
    }
    return result;
}

SyncImporter::Outcome SyncImporter::importSegment(const QString &device, quint64 number, const Files &files,
                                                  Result &result)
{
    const QString name = SyncFolder::segmentName(number);
    OpenedFile file = openFile(device, name);
    const std::optional<QByteArray> &bytes = file.bytes;
    if (!bytes && !QFileInfo(m_folder.path()).isDir()) {
        result.failure = m_folder.missingFolder();
        return Outcome::Stop;
    }
    const SyncSegment::OpenError error = file.error;
    const std::optional<QJsonObject> &segment = file.content;
    if (segment && std::binary_search(files.segments.cbegin(), files.segments.cend(), number + 1))
        readAhead(device, SyncFolder::segmentName(number + 1));
    if (error == SyncSegment::OpenError::NewerFormat) {
        if (isNews(device + QLatin1Char('/') + name, QByteArrayLiteral("newer format")))
            LOG_INFO("SyncImporter::importSegment()",
                     QStringLiteral("segment %1 is of a newer format; left for a newer version")
                         .arg(logName(device, number)));
        return Outcome::Stop;
    }
    if (error == SyncSegment::OpenError::Unreadable)
        return waitFor(device, number, bytes, files);
    m_unopened.remove(device + QLatin1Char('/') + name);
    m_logged.remove(device + QLatin1Char('/') + name);
    const QJsonValue records = segment ? segment->value(QStringLiteral("records")) : QJsonValue();
    if (!segment || !isNumber(segment->value(QStringLiteral("number")), number) || !records.isArray()
        || records.toArray().size() > kMaxRecordsPerSegment) {
        // Sealed at its place by a holder of the key: it is whole, and will not become readable.
        LOG_WARNING("SyncImporter::importSegment()",
                    QStringLiteral("segment %1 is malformed; skipped").arg(logName(device, number)));
        m_journal.setCursor(device, number);
        return Outcome::Applied;
    }
    if (!applyRecords(
            device, records.toArray(), [&] { m_journal.setCursor(device, number); }, result))
        return Outcome::Stop;
    ++result.segments;
    return Outcome::Applied;
}

SyncImporter::Outcome SyncImporter::waitFor(const QString &device, quint64 number,
                                            const std::optional<QByteArray> &bytes, const Files &files)
{
    const QString name = SyncFolder::segmentName(number);
    const QString key = device + QLatin1Char('/') + name;
    const QByteArray fileVersion = m_folder.fileVersion(device, name);
    const QByteArray version =
        fileVersion + '/'
        + (bytes ? QCryptographicHash::hash(*bytes, QCryptographicHash::Md5).toHex() : QByteArrayLiteral("unread"));
    const qint64 now = m_now();
    const auto found = m_unopened.constFind(key);
    if (found == m_unopened.cend() || found->version != version) {
        // New, or changed since the last round: the time to give up on it starts again.
        m_unopened.insert(key, {version, now});
        LOG_INFO("SyncImporter::waitFor()",
                 QStringLiteral("segment %1 (%2 bytes) cannot be opened yet: a partial copy, or not sealed for "
                                "this place; waiting for it")
                     .arg(logName(device, number))
                     .arg(bytes ? bytes->size() : -1));
        return Outcome::Retry;
    }
    const qint64 unchangedMs = now - found->since;
    if (unchangedMs < kGiveUpMs)
        return Outcome::Retry;
    // Read past only when the device evidently went on (a later segment of it opens) and no
    // snapshot that opens stands in for this one.
    for (quint64 snapshot : files.snapshots)
        if (snapshot >= number && opens(device, SyncFolder::snapshotName(snapshot), SyncSegment::kMaxManifestBytes))
            return Outcome::Retry;
    const bool wentOn = std::any_of(files.segments.cbegin(), files.segments.cend(), [&](quint64 later) {
        return later > number && opens(device, SyncFolder::segmentName(later), SyncFolder::kMaxFileBytes);
    });
    if (!wentOn)
        return Outcome::Retry;
    QMap<quint64, QByteArray> skipped = this->skipped(device);
    skipped.insert(number, fileVersion);
    SQLite::Transaction transaction(m_journal.database(), SQLite::TransactionBehavior::IMMEDIATE);
    setSkipped(device, skipped);
    m_journal.setCursor(device, number);
    transaction.commit();
    m_unopened.remove(key);
    LOG_WARNING("SyncImporter::waitFor()",
                QStringLiteral("segment %1 stayed unopened for %2 s while later ones are whole; read past it "
                               "for now, and read when it changes")
                    .arg(logName(device, number))
                    .arg(unchangedMs / 1000));
    return Outcome::Applied;
}

bool SyncImporter::opens(const QString &device, const QString &name, qint64 cap) const
{
    const std::optional<QByteArray> bytes = m_folder.readFile(device, name, cap);
    return bytes && m_key.open(*bytes, SyncFolder::associatedData(device, name));
}

QMap<quint64, QByteArray> SyncImporter::skipped(const QString &device)
{
    QMap<quint64, QByteArray> skipped;
    const QJsonObject stored =
        QJsonDocument::fromJson(m_journal.meta(skippedKey(device)).value_or(QString()).toUtf8()).object();
    for (auto it = stored.constBegin(); it != stored.constEnd(); ++it)
        if (const quint64 number = it.key().toULongLong())
            skipped.insert(number, it.value().toString().toLatin1());
    return skipped;
}

void SyncImporter::setSkipped(const QString &device, const QMap<quint64, QByteArray> &skipped)
{
    QJsonObject stored;
    for (auto it = skipped.cbegin(); it != skipped.cend(); ++it)
        stored.insert(QString::number(it.key()), QString::fromLatin1(it.value()));
    m_journal.setMeta(skippedKey(device),
                      stored.isEmpty() ? QString()
                                       : QString::fromUtf8(QJsonDocument(stored).toJson(QJsonDocument::Compact)));
}

void SyncImporter::retrySkipped(const QString &device, const Files &files, int recordBudget, Result &result)
{
    const QMap<quint64, QByteArray> skipped = this->skipped(device);
    for (auto it = skipped.cbegin(); it != skipped.cend(); ++it) {
        const quint64 number = it.key();
        const QString name = SyncFolder::segmentName(number);
        const QByteArray version = m_folder.fileVersion(device, name);
        if (version.isEmpty() || version == it.value())
            continue; // unchanged since, or gone (a snapshot stands in for it then)
        if (result.records >= recordBudget) {
            result.more = true;
            return;
        }
        const std::optional<QByteArray> bytes = m_folder.readFile(device, name);
        SyncSegment::OpenError error = SyncSegment::OpenError::Unreadable;
        const std::optional<QJsonObject> segment =
            bytes ? SyncSegment::open(m_key, device, name, *bytes, &error) : std::nullopt;
        if (!segment && error != SyncSegment::OpenError::Malformed) {
            // Changed, but still not whole: read again when it changes next.
            QMap<quint64, QByteArray> now = this->skipped(device);
            now.insert(number, version);
            setSkipped(device, now);
            LOG_INFO("SyncImporter::retrySkipped()",
                     QStringLiteral("segment %1 changed but cannot be opened yet").arg(logName(device, number)));
            continue;
        }
        const QJsonValue records = segment ? segment->value(QStringLiteral("records")) : QJsonValue();
        const bool wellFormed = segment && isNumber(segment->value(QStringLiteral("number")), number)
                                && records.isArray() && records.toArray().size() <= kMaxRecordsPerSegment;
        if (!wellFormed)
            LOG_WARNING("SyncImporter::retrySkipped()",
                        QStringLiteral("segment %1 is malformed; skipped").arg(logName(device, number)));
        auto forget = [&] {
            QMap<quint64, QByteArray> now = this->skipped(device);
            now.remove(number);
            setSkipped(device, now);
        };
        if (!applyRecords(device, wellFormed ? records.toArray() : QJsonArray(), forget, result))
            return;
        if (wellFormed) {
            LOG_INFO("SyncImporter::retrySkipped()",
                     QStringLiteral("segment %1 read after all").arg(logName(device, number)));
            ++result.segments;
        }
    }
    // What is still missing: a snapshot that covers it stands in for it.
    const QMap<quint64, QByteArray> left = this->skipped(device);
    if (left.isEmpty() || files.snapshots.isEmpty() || files.snapshots.last() < left.firstKey()
        || result.records >= recordBudget)
        return;
    importSnapshot(device, files.snapshots, left.firstKey(), recordBudget, result);
    if (result.records >= recordBudget)
        result.more = true;
}

bool SyncImporter::isNews(const QString &key, const QByteArray &state)
{
    const auto found = m_logged.constFind(key);
    if (found != m_logged.cend() && *found == state)
        return false;
    m_logged.insert(key, state);
    return true;
}

SyncImporter::Outcome SyncImporter::importSnapshot(const QString &device, const QList<quint64> &snapshots, quint64 from,
                                                   int recordBudget, Result &result)
{
    for (auto it = snapshots.crbegin(); it != snapshots.crend() && *it >= from; ++it) {
        const quint64 number = *it;
        const QString name = SyncFolder::snapshotName(number);
        const std::optional<QByteArray> bytes = m_folder.readFile(device, name, SyncSegment::kMaxManifestBytes);
        SyncSegment::OpenError error = SyncSegment::OpenError::Unreadable;
        const std::optional<QJsonObject> manifest =
            bytes ? SyncSegment::open(m_key, device, name, *bytes, &error) : std::nullopt;
        if (error == SyncSegment::OpenError::NewerFormat)
            return Outcome::Stop;
        const QJsonValue parts = manifest ? manifest->value(QStringLiteral("parts")) : QJsonValue();
        if (manifest && isNumber(manifest->value(QStringLiteral("number")), number) && parts.isDouble()
            && parts.toDouble() >= 1 && parts.toDouble() <= kMaxSnapshotParts
            && parts.toDouble() == std::floor(parts.toDouble()))
            return applySnapshot(device, number, int(parts.toDouble()), recordBudget, result);
        // Not arrived whole yet, or not a snapshot of ours: an older one stands in meanwhile.
        if (isNews(device + QLatin1Char('/') + name, m_folder.fileVersion(device, name)))
            LOG_INFO("SyncImporter::importSnapshot()",
                     QStringLiteral("snapshot %1 cannot be read yet; will retry").arg(logName(device, number)));
    }
    return Outcome::Retry;
}

SyncImporter::Outcome SyncImporter::applySnapshot(const QString &device, quint64 number, int parts, int recordBudget,
                                                  Result &result)
{
    // Parts already applied in earlier rounds, when they were of this snapshot.
    const QString progressKey = QStringLiteral("snapshot:") + device;
    const QStringList progress = m_journal.meta(progressKey).value_or(QString()).split(QLatin1Char(':'));
    int part = progress.size() == 2 && progress[0].toULongLong() == number ? std::max(progress[1].toInt(), 0) + 1 : 1;
    for (; part <= parts; ++part) {
        if (result.records >= recordBudget)
            return Outcome::Applied; // go on from here next round
        const QString partName = SyncFolder::snapshotPartName(number, part);
        const OpenedFile file = openFile(device, partName);
        const SyncSegment::OpenError error = file.error;
        const std::optional<QJsonObject> &content = file.content;
        if (content && part < parts)
            readAhead(device, SyncFolder::snapshotPartName(number, part + 1));
        if (!content && error != SyncSegment::OpenError::Malformed) {
            // Not arrived, half copied, or removed while read (a newer snapshot replaced it).
            if (isNews(device + QLatin1Char('/') + partName, m_folder.fileVersion(device, partName)))
                LOG_INFO("SyncImporter::applySnapshot()",
                         QStringLiteral("part %1 of snapshot %2 cannot be read yet; will retry")
                             .arg(part)
                             .arg(logName(device, number)));
            return Outcome::Retry;
        }
        m_logged.remove(device + QLatin1Char('/') + partName);
        const QJsonValue records = content ? content->value(QStringLiteral("records")) : QJsonValue();
        const bool wellFormed = content && isNumber(content->value(QStringLiteral("number")), number)
                                && content->value(QStringLiteral("part")) == QJsonValue(part) && records.isArray()
                                && records.toArray().size() <= kMaxRecordsPerSegment;
        if (!wellFormed)
            LOG_WARNING(
                "SyncImporter::applySnapshot()",
                QStringLiteral("part %1 of snapshot %2 is malformed; skipped").arg(part).arg(logName(device, number)));
        const bool last = part == parts;
        auto finish = [&] {
            if (last) {
                // Also read as a stand-in for skipped segments, behind the read position.
                m_journal.setCursor(device, std::max(m_journal.cursor(device), number));
                QMap<quint64, QByteArray> skipped = this->skipped(device);
                if (!skipped.isEmpty() && skipped.firstKey() <= number) {
                    while (!skipped.isEmpty() && skipped.firstKey() <= number)
                        skipped.erase(skipped.begin());
                    setSkipped(device, skipped);
                }
                m_journal.setMeta(progressKey, QString());
            } else {
                m_journal.setMeta(progressKey, QStringLiteral("%1:%2").arg(number).arg(part));
            }
        };
        if (!applyRecords(device, wellFormed ? records.toArray() : QJsonArray(), finish, result))
            return Outcome::Stop;
    }
    LOG_INFO("SyncImporter::applySnapshot()", QStringLiteral("snapshot %1 applied").arg(logName(device, number)));
    ++result.segments;
    return Outcome::Applied;
}

bool SyncImporter::applyRecords(const QString &device, const QJsonArray &records, const std::function<void()> &finish,
                                Result &result)
{
    qsizetype next = 0;
    do {
        // Blobs are read before the transaction, so the store is not held while files are read.
        struct Entry {
            QJsonObject record;
            SyncRecords::BlobContents blobs;
            bool waits = false; // a blob it needs is missing or damaged
        };
        QList<Entry> batch;
        qint64 blobBytes = 0;
        while (next < records.size() && batch.size() < kRecordsPerTransaction && blobBytes < kBlobBytesPerTransaction) {
            Entry entry{records.at(next++).toObject(), {}, false};
            SyncBlobs::State state = SyncBlobs::State::Ready;
            if (!fetchBlobs(device, entry.record, entry.blobs, &state)) {
                if (state == SyncBlobs::State::Damaged)
                    result.partialErrors.insert(
                        entry.record.value(QStringLiteral("id")).toString().left(SyncRecordMerge::kMaxIdLength),
                        QStringLiteral("damaged data"));
                entry.waits = true;
            }
            for (const QByteArray &bytes : std::as_const(entry.blobs))
                blobBytes += bytes.size();
            batch.append(std::move(entry));
        }
        // Short transactions, so the store's own writes never wait long for the lock; at least
        // one, so that `finish` runs for a file without records too.
        qsizetype done = 0;
        try {
            do {
                Result applied;
                QElapsedTimer held;
                held.start();
                const qint64 heldFrom = threadCpuMicroseconds();
                SQLite::Transaction transaction(m_journal.database(), SQLite::TransactionBehavior::IMMEDIATE);
                // What an import writes is not a local change: it must not travel back.
                m_journal.setLogging(false);
                const std::optional<qint64> deferred = SearchIndex::deferInserts(m_journal.database());
                while (done < batch.size()) {
                    const Entry &entry = batch.at(done++);
                    if (entry.waits)
                        SyncRecordMerge(m_journal, m_now).wait(device, entry.record);
                    else
                        SyncRecordMerge(m_journal, m_now).apply(device, entry.record, entry.blobs, applied);
                    if (threadCpuMicroseconds() - heldFrom >= kTransactionMs * 1000
                        || held.elapsed() >= kTransactionClockMs)
                        break;
                }
                if (done == batch.size() && next >= records.size())
                    finish();
                if (deferred)
                    SearchIndex::indexDeferred(m_journal.database(), *deferred);
                m_journal.setLogging(true);
                transaction.commit();
                result.takeChanges(applied);
            } while (done < batch.size());
        } catch (const std::exception &failure) {
            LOG_ERROR("SyncImporter::applyRecords()", QStringLiteral("records from %1 could not be stored: %2")
                                                          .arg(device.left(8), storeFailureKind(failure)));
            result.failure = SyncFailure{CloudErrorCode::InternalError, storeFailureKind(failure)};
            return false;
        }
        result.records += int(batch.size());
    } while (next < records.size());
    return true;
}

void SyncImporter::Result::takeChanges(const Result &applied)
{
    for (auto it = applied.changedRows.cbegin(); it != applied.changedRows.cend(); ++it)
        changedRows[it.key()] += it.value();
    for (auto it = applied.deletedRows.cbegin(); it != applied.deletedRows.cend(); ++it)
        deletedRows[it.key()] += it.value();
    for (auto it = applied.partialErrors.cbegin(); it != applied.partialErrors.cend(); ++it)
        partialErrors.insert(it.key(), it.value());
}

bool SyncImporter::fetchBlobs(const QString &device, const QJsonObject &record, SyncRecords::BlobContents &blobs,
                              SyncBlobs::State *state)
{
    for (const SyncBlobs::Ref &ref : SyncBlobs::refsIn(record)) {
        if (blobs.contains(ref.hash))
            continue;
        QByteArray plain;
        *state = m_blobs.fetch(device, ref, &plain);
        const QString key = QStringLiteral("blob:") + ref.hash;
        if (*state != SyncBlobs::State::Ready) {
            // Told once per blob and state: the record is tried again every round.
            if (isNews(key, QByteArray::number(int(*state))))
                LOG_WARNING("SyncImporter::fetchBlobs()",
                            QStringLiteral("a blob of %1 bytes from %2 is %3; its record waits")
                                .arg(ref.size)
                                .arg(device.left(8))
                                .arg(*state == SyncBlobs::State::Damaged ? QStringLiteral("damaged")
                                                                         : QStringLiteral("missing")));
            return false;
        }
        m_logged.remove(key);
        blobs.insert(ref.hash, plain);
    }
    return true;
}

void SyncImporter::retryWaiting(Result &result)
{
    struct Waiting {
        qint64 seq;
        QString device;
        QJsonObject record;
    };
    QList<Waiting> waiting;
    {
        // A page per round, on from where the last one ended: records that wait for good do not
        // keep the ones behind them from being tried.
        SQLite::Statement &query =
            m_journal.statement(QStringLiteral("SELECT \"seq\", \"device\", \"record\" FROM \"SyncWaiting\" WHERE "
                                               "\"seq\" > ? ORDER BY \"seq\" LIMIT %1")
                                    .arg(kWaitingPerRound));
        query.bind(1, int64_t(m_waitingAfter));
        while (query.executeStep())
            waiting.append(
                {query.getColumn(0).getInt64(), QString::fromStdString(query.getColumn(1).getString()),
                 QJsonDocument::fromJson(QByteArray::fromStdString(query.getColumn(2).getString())).object()});
        query.reset();
    }
    m_waitingAfter = waiting.size() < kWaitingPerRound ? 0 : waiting.last().seq;
    for (const Waiting &entry : std::as_const(waiting)) {
        SyncRecords::BlobContents blobs;
        SyncBlobs::State state = SyncBlobs::State::Ready;
        const bool superseded = SyncRecordMerge(m_journal, m_now).isSuperseded(entry.device, entry.record);
        const SyncEntity *entity = SyncEntity::byKind(entry.record.value(QStringLiteral("k")).toString());
        if (!superseded && entity && entry.record.value(QStringLiteral("op")).toString() == QLatin1String("set")
            && SyncRecords::rowIdOf(m_journal, *entity, entry.record.value(QStringLiteral("id")).toString()) == 0)
            continue; // an edit whose record has not arrived yet
        if (!superseded && !fetchBlobs(entry.device, entry.record, blobs, &state)) {
            if (state == SyncBlobs::State::Damaged)
                result.partialErrors.insert(
                    entry.record.value(QStringLiteral("id")).toString().left(SyncRecordMerge::kMaxIdLength),
                    QStringLiteral("damaged data"));
            continue;
        }
        Result applied;
        SQLite::Transaction transaction(m_journal.database(), SQLite::TransactionBehavior::IMMEDIATE);
        m_journal.setLogging(false);
        if (!superseded)
            SyncRecordMerge(m_journal, m_now).apply(entry.device, entry.record, blobs, applied);
        SQLite::Statement &done = m_journal.statement(QStringLiteral("DELETE FROM \"SyncWaiting\" WHERE \"seq\" = ?"));
        done.bind(1, int64_t(entry.seq));
        done.exec();
        done.reset();
        m_journal.setLogging(true);
        transaction.commit();
        result.takeChanges(applied);
        result.records += applied.records;
    }
}
