#include "core/sync/SyncBlobs.h"

#include "platform/Log.h"
#include "platform/Strings.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace {
bool isHash(const QString &text)
{
    if (text.size() != 64)
        return false;
    for (const QChar c : text)
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    return true;
}
} // namespace

std::optional<SyncBlobs::Ref> SyncBlobs::refOf(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue hash = object.value(QStringLiteral("b"));
    const QJsonValue size = object.value(QStringLiteral("n"));
    if (object.size() != 2 || !hash.isString() || !isHash(hash.toString()) || !size.isDouble() || size.toDouble() < 0
        || size.toDouble() > double(kMaxBytes) || size.toDouble() != std::floor(size.toDouble()))
        return std::nullopt;
    return Ref{hash.toString(), qint64(size.toDouble())};
}

QJsonObject SyncBlobs::refValue(const Ref &ref)
{
    return QJsonObject{{QStringLiteral("b"), ref.hash}, {QStringLiteral("n"), double(ref.size)}};
}

QString SyncBlobs::fileName(const QString &hash) { return QStringLiteral("blob-") + hash + QStringLiteral(".tps"); }

QList<SyncBlobs::Ref> SyncBlobs::refsIn(const QJsonObject &record)
{
    QList<Ref> refs;
    const QJsonObject attributes = record.value(QStringLiteral("a")).toObject();
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it)
        if (std::optional<Ref> ref = refOf(it.value()))
            refs.append(*ref);
    for (const QJsonValue &entry : record.value(QStringLiteral("p")).toArray())
        if (std::optional<Ref> ref = refOf(entry.toArray().at(1)))
            refs.append(*ref);
    return refs;
}

SyncBlobs::SyncBlobs(SyncJournal &journal, const SyncFolder &folder, const SyncKey &key)
    : m_journal(journal),
      m_folder(folder),
      m_key(key)
{
}

std::variant<SyncBlobs::Ref, SyncFailure> SyncBlobs::put(const QByteArray &plain)
{
    if (plain.size() > kMaxBytes)
        return SyncFailure{CloudErrorCode::QuotaExceeded, Strings::text("Sync.Error.TooLarge")};
    const Ref ref{m_key.contentHash(plain), plain.size()};
    const QString self = m_journal.deviceId();
    const QString name = fileName(ref.hash);
    // Written once: a file of ours under this name and of its size holds this content (one of
    // another size is a partial copy, left by a restore or a service, and is written anew).
    const QFileInfo existing(m_folder.deviceDirectory(self) + QLatin1Char('/') + name);
    if (!existing.exists() || existing.size() != plain.size() + SyncKey::kSealOverhead) {
        if (std::optional<SyncFailure> failure =
                m_folder.writeFile(self, name, m_key.seal(plain, SyncFolder::associatedData(self, name)), m_budget))
            return *failure;
    }
    return ref;
}

void SyncBlobs::noteUse(const QString &hash, quint64 usedBy)
{
    SQLite::Statement &use = m_journal.statement(
        QStringLiteral("INSERT INTO \"SyncBlob\" (\"hash\", \"lastUse\") VALUES (?, ?) "
                       "ON CONFLICT(\"hash\") DO UPDATE SET \"lastUse\" = max(\"lastUse\", excluded.\"lastUse\")"));
    use.bind(1, hash.toStdString());
    use.bind(2, int64_t(usedBy));
    use.exec();
    use.reset();
}

SyncBlobs::State SyncBlobs::fetchFrom(const QString &device, const Ref &ref, QByteArray *plain) const
{
    const QString name = fileName(ref.hash);
    if (!QFileInfo::exists(m_folder.deviceDirectory(device) + QLatin1Char('/') + name))
        return State::Missing;
    const qint64 sealedSize = ref.size + SyncKey::kSealOverhead;
    const std::optional<QByteArray> bytes = m_folder.readFile(device, name, sealedSize);
    if (!bytes)
        return State::Damaged;
    std::optional<QByteArray> opened = m_key.open(*bytes, SyncFolder::associatedData(device, name));
    if (!opened || opened->size() != ref.size || m_key.contentHash(*opened) != ref.hash)
        return State::Damaged;
    *plain = std::move(*opened);
    return State::Ready;
}

SyncBlobs::State SyncBlobs::fetch(const QString &device, const Ref &ref, QByteArray *plain) const
{
    State state = fetchFrom(device, ref, plain);
    if (state == State::Ready)
        return state;
    for (const QString &other : m_folder.devices()) {
        if (other == device)
            continue;
        if (fetchFrom(other, ref, plain) == State::Ready)
            return State::Ready;
    }
    return state;
}

int SyncBlobs::collect(quint64 oldestKept)
{
    const QString self = m_journal.deviceId();
    QStringList unused;
    {
        SQLite::Statement &query =
            m_journal.statement(QStringLiteral("SELECT \"hash\" FROM \"SyncBlob\" WHERE \"lastUse\" < ?"));
        query.bind(1, int64_t(oldestKept));
        while (query.executeStep())
            unused << QString::fromStdString(query.getColumn(0).getString());
        query.reset();
    }
    for (const QString &hash : std::as_const(unused)) {
        m_folder.removeFile(self, fileName(hash));
        SQLite::Statement &forget = m_journal.statement(QStringLiteral("DELETE FROM \"SyncBlob\" WHERE \"hash\" = ?"));
        forget.bind(1, hash.toStdString());
        forget.exec();
        forget.reset();
    }
    if (!unused.isEmpty())
        LOG_INFO("SyncBlobs::collect()", QStringLiteral("removed %1 blobs no kept file refers to").arg(unused.size()));
    return int(unused.size());
}
