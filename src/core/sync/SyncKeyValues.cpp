#include "core/sync/SyncKeyValues.h"

#include "core/sync/SyncSegment.h"
#include "platform/Defaults.h"
#include "platform/Log.h"

#include <QJsonArray>

namespace {
QString stampKey(const QString &key) { return QStringLiteral("kv:") + key; }
} // namespace

SyncKeyValues::SyncKeyValues(SyncJournal &journal, const SyncFolder &folder, const SyncKey &key)
    : m_journal(journal),
      m_folder(folder),
      m_key(key)
{
}

SyncStamp SyncKeyValues::stamp(const QString &key)
{
    const QStringList parts = m_journal.meta(stampKey(key)).value_or(QString()).split(QLatin1Char(' '));
    if (parts.size() != 2)
        return {};
    return {parts[0].toLongLong(), parts[1]};
}

void SyncKeyValues::setStamp(const QString &key, const SyncStamp &stamp)
{
    m_journal.setMeta(stampKey(key), QString::number(stamp.time) + QLatin1Char(' ') + stamp.device);
}

void SyncKeyValues::recordLocal(const QStringList &keys, qint64 now)
{
    for (const QString &key : keys)
        setStamp(key, {std::max(now, stamp(key).time + 1), m_journal.deviceId()});
}

std::optional<SyncFailure> SyncKeyValues::exportValues(const QVariantMap &local)
{
    const QString self = m_journal.deviceId();
    QJsonObject values;
    for (auto it = local.cbegin(); it != local.cend(); ++it) {
        SyncStamp written = stamp(it.key());
        if (written.isNull()) {
            written = {1, self};
            setStamp(it.key(), written);
        }
        values.insert(it.key(), QJsonObject{{QStringLiteral("v"), Defaults::encode(it.value())},
                                            {QStringLiteral("t"), double(written.time)},
                                            {QStringLiteral("d"), written.device}});
    }
    const QJsonObject content{{QStringLiteral("format"), SyncFolder::kFormat},
                              {QStringLiteral("device"), self},
                              {QStringLiteral("values"), values}};
    return m_folder.writeFile(self, SyncFolder::kValuesName,
                              SyncSegment::seal(m_key, self, SyncFolder::kValuesName, content));
}

QVariantMap SyncKeyValues::importValues(const QVariantMap &local)
{
    const QString self = m_journal.deviceId();
    QVariantMap changed;
    for (const QString &device : m_folder.devices()) {
        if (device == self)
            continue;
        const std::optional<QByteArray> bytes = m_folder.readFile(device, SyncFolder::kValuesName, kMaxFileBytes);
        if (!bytes)
            continue;
        const std::optional<QJsonObject> content = SyncSegment::open(m_key, device, SyncFolder::kValuesName, *bytes);
        if (!content) {
            // Read again every round: told once for each version of the file.
            const QByteArray version = m_folder.fileVersion(device, SyncFolder::kValuesName);
            if (m_unopened.value(device) != version) {
                m_unopened.insert(device, version);
                LOG_INFO("SyncKeyValues::importValues()",
                         QStringLiteral("values of %1 could not be opened; will retry").arg(device.left(8)));
            }
            continue;
        }
        m_unopened.remove(device);
        const QJsonObject values = content->value(QStringLiteral("values")).toObject();
        for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
            const QJsonObject entry = it.value().toObject();
            const SyncStamp theirs{qint64(entry.value(QStringLiteral("t")).toDouble()),
                                   entry.value(QStringLiteral("d")).toString()};
            bool ok = false;
            const QVariant value = Defaults::decode(entry.value(QStringLiteral("v")), &ok);
            if (!ok || theirs.time < 1 || theirs.device.isEmpty() || it.key().size() > 128)
                continue;
            if (!(stamp(it.key()) < theirs))
                continue;
            setStamp(it.key(), theirs);
            if (local.value(it.key()) != value)
                changed.insert(it.key(), value);
        }
    }
    return changed;
}
